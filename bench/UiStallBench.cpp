// How long the window's event loop can be kept from turning while
// everything runs at once, each in a window of its own in one process (one
// main thread for all): the ASCII flood at full speed out, modem text
// streaming in as fast as a pty carries it with the ASCII view open, an
// XMODEM download into the simulated modem again and again, and the test
// string every second. A precise 1 ms timer notes every turn of the loop;
// the longest gap between two turns is the stall a user would feel.
//
//   ui_stall_bench [seconds]     how long everything runs, 10 unless given
//
// With VEXA_STALL_TRACE set it also names the ten longest events the loop
// handled (receiver and event type), to show where a gap comes from.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <thread>
#include <utility>
#include <vector>
#include <unistd.h>

#include "serial/LineControl.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"

namespace {

enum Page { Commands = 0, Programming = 2, Test = 3 };

// A pty whose far side a thread of its own serves: it reads whatever comes,
// and with a text given writes it again and again as fast as the pty takes.
class Far_End {
public:
    explicit Far_End(QByteArray text = {}) : text_(std::move(text))
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            std::abort();
        name_ = ::ptsname(master_);
        keep_ = ::open(name_.constData(), O_RDWR | O_NOCTTY);  // no hang-up between opens
        thread_ = std::thread([this] { Run(); });
    }
    ~Far_End()
    {
        stop_ = true;
        thread_.join();
        ::close(keep_);
        ::close(master_);
    }
    QString Name() const { return QString::fromLatin1(name_); }

private:
    void Run()
    {
        static thread_local char sink[65536];
        qsizetype at = 0;
        while (!stop_) {
            pollfd p{master_, short(POLLIN | (text_.isEmpty() ? 0 : POLLOUT)), 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            if (p.revents & POLLIN)
                (void)!::read(master_, sink, sizeof sink);
            if (p.revents & POLLOUT) {
                const ssize_t n = ::write(master_, text_.constData() + at, text_.size() - at);
                if (n > 0)
                    at = (at + n) % text_.size();
            }
        }
    }
    QByteArray text_;
    int master_ = -1, keep_ = -1;
    QByteArray name_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

template <typename W>
W *Control(TForm1 &form, const char *name)
{
    W *found = form.findChild<W *>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no control %s\n", name);
        std::exit(2);
    }
    return found;
}

std::unique_ptr<TForm1> Window_On(const QString &port, Page page)
{
    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->show();
    form->ComboBox1->lineEdit()->selectAll();
    form->ComboBox1->lineEdit()->insert(port);
    form->PageControl1->setCurrentIndex(page);
    return form;
}

void Serve_Events(int ms, const std::function<void()> &each = {})
{
    QEventLoop loop;
    QTimer tick;
    if (each)
        QObject::connect(&tick, &QTimer::timeout, &loop, each);
    tick.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The simulated modem on a pty of its own, in download mode on request.
class Simulated_Modem {
public:
    explicit Simulated_Modem(const QString &store)
    {
        QDir().mkpath(store);
        process_.start(QStringLiteral(VEXA_MODEM_SIM),
                       {"--no-link", "--quiet", "--store", store, "--nak-interval", "200", "--crc"});
        const QRegularExpression announced(QStringLiteral("modem on (\\S+)"));
        while (port_.isEmpty() && process_.waitForReadyRead(5000))
            if (const auto m = announced.match(QString::fromLocal8Bit(process_.readAllStandardOutput())); m.hasMatch())
                port_ = m.captured(1);
        if (port_.isEmpty())
            std::exit(2);
    }
    ~Simulated_Modem()
    {
        process_.terminate();
        process_.waitForFinished(3000);
    }
    QString Port() const { return port_; }

private:
    QProcess process_;
    QString port_;
};

// Starts the next download whenever the page is free again: the modem is
// asked for download mode, and "Прошить" pressed once it is ready.
class Download_Loop {
public:
    Download_Loop(TForm1 &form, QString file) : form_(form), file_(std::move(file)) {}
    void Turn()
    {
        QAbstractButton *flash = Control<QAbstractButton>(form_, "SpeedButton15");
        if (!form_.PageControl1->isEnabled())
            return;  // a download runs
        if (flash->isVisible()) {
            Control<QLineEdit>(form_, "Edit7")->setText(file_);
            flash->click();
            ++started_;
        } else if (asked_.isValid() == false || asked_.elapsed() > 1000) {
            form_.Send_AT_Command("AT+WDWL");
            asked_.start();
        }
    }
    int Started() const { return started_; }

private:
    TForm1 &form_;
    QString file_;
    QElapsedTimer asked_;
    int started_ = 0;
};

// Times every event the application hands out; only the outermost call of
// a nesting counts, so a long event is charged once.
class Timed_Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!tracing || depth_ > 0)
            return QApplication::notify(receiver, event);
        ++depth_;
        QElapsedTimer t;
        t.start();
        const int type = event->type();
        QString who =
            QString::fromLatin1(receiver->metaObject()->className()) + QLatin1Char(' ') + receiver->objectName();
        if (QObject *parent = receiver->parent(); parent && receiver->objectName().isEmpty())
            who += QStringLiteral(" in ") + QString::fromLatin1(parent->metaObject()->className()) + QLatin1Char(' ') +
                   parent->objectName();
        const bool done = QApplication::notify(receiver, event);
        const qint64 us = t.nsecsElapsed() / 1000;
        --depth_;
        if (us > 5000) {
            longest_.push_back({us, who + QStringLiteral(" event %1").arg(type)});
            std::sort(longest_.begin(), longest_.end(), [](auto &a, auto &b) { return a.first > b.first; });
            if (longest_.size() > 10)
                longest_.pop_back();
        }
        return done;
    }
    void Print_Longest() const
    {
        for (const auto &[us, what] : longest_)
            std::printf("  %7.1f ms  %s\n", double(us) / 1000.0, qPrintable(what));
    }
    bool tracing = false;

private:
    int depth_ = 0;
    std::vector<std::pair<qint64, QString>> longest_;
};

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says at every slide that it cannot shape a window.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    Timed_Application app(argc, argv);
    bool running = false;
    vexa::Set_Message_Sink([&running](vexa::MessageKind, const QString &text) {
        if (running)
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir start;
    QDir::setCurrent(start.path());
    QDir().mkpath(QStringLiteral("Logs/WorkChar"));
    const QString firmware = start.filePath(QStringLiteral("firmware.bin"));
    {
        QFile file(firmware);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(64 * 1024, '\x5A'));
    }

    Far_End floodEnd, stringEnd;
    Far_End textEnd(
        QByteArray("+CMGL: 1,\"REC READ\",\"+79001234567\",,\"26/12/09,10:00:00+12\"\r\n"
                   "Modem text as fast as the line carries it, 0123456789\r\n"));
    Simulated_Modem modem(start.filePath(QStringLiteral("store")));

    auto flood = Window_On(floodEnd.Name(), Test);
    auto text = Window_On(textEnd.Name(), Commands);
    auto programming = Window_On(modem.Port(), Programming);
    auto testString = Window_On(stringEnd.Name(), Test);
    text->ASCII1Click();
    Control<QCheckBox>(*flood, "CheckBox1")->setChecked(true);
    flood->Serial->Line->CTS_On = flood->Serial->Line->DCD_On = true;  // a pty has no modem lines to poll
    Control<QAbstractButton>(*flood, "SpeedButton22")->click();
    running = true;
    testString->Serial->Line->CTS_On = testString->Serial->Line->DCD_On = true;
    Control<QLineEdit>(*testString, "Edit12")->setText(QStringLiteral("ТЕСТОВАЯ СТРОКА"));
    Control<QCheckBox>(*testString, "CheckBox5")->setChecked(true);
    Control<QComboBox>(*testString, "ComboBox9")->setEditText(QStringLiteral("1"));  // seconds
    Control<QAbstractButton>(*testString, "SpeedButton20")->click();
    Download_Loop downloads(*programming, firmware);

    QElapsedTimer since;
    qint64 longest = 0, over50 = 0, turns = 0;
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    QObject::connect(&meter, &QTimer::timeout, [&] {
        const qint64 gap = since.restart();
        longest = std::max(longest, gap);
        over50 += gap > 50;
        ++turns;
    });
    Serve_Events(500, [&] { downloads.Turn(); });  // everything under way
    since.start();
    meter.start(1);
    app.tracing = qEnvironmentVariableIsSet("VEXA_STALL_TRACE");
    Serve_Events(seconds * 1000, [&] { downloads.Turn(); });
    meter.stop();
    app.tracing = false;

    Control<QAbstractButton>(*flood, "SpeedButton21")->click();
    Control<QAbstractButton>(*testString, "SpeedButton19")->click();
    std::printf("everything at once for %d s: %lld turns of the loop, %lld gaps over 50 ms, %d downloads\n", seconds,
                turns, over50, downloads.Started());
    std::printf("sent by the flood %s bytes, by the test string %s bytes\n",
                qPrintable(Control<QLineEdit>(*flood, "Edit14")->text()),
                qPrintable(Control<QLineEdit>(*testString, "Edit14")->text()));
    std::printf("longest gap of the event loop        %10lld ms\n", longest);
    if (qEnvironmentVariableIsSet("VEXA_STALL_TRACE")) {
        std::printf("longest events:\n");
        app.Print_Longest();
    }
    std::printf("ui-stall ratio %.2f\n", 100.0 / double(std::max<qint64>(longest, 1)));
    return 0;
}
