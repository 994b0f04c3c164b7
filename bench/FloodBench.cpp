// Prints how fast the ASCII flood fills a pseudo-terminal whose other side is
// read as fast as possible, against a bare loop writing the same 256-byte
// array to the same pty; what the armed flood costs while CTS holds it; and
// last, the flood's rate over the bare loop's.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "serial/LineControl.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "testtraffic/TestFrame.h"
#include "tests/support/CpuShare.h"
#include "testtraffic/TestTraffic.h"

namespace {

// Short rounds, taken in turns and summed, so that whatever else the
// machine does weighs on both sides alike.
constexpr int kRoundMs = 300;
constexpr int kRounds = 8;

// The far side of the pty, read on a thread of its own as fast as it comes.
class Drain {
public:
    explicit Drain(int master) : master_(master), thread_([this] { Run(); }) {}
    ~Drain()
    {
        stop_ = true;
        thread_.join();
    }
    std::uint64_t Read() const { return read_; }

private:
    void Run()
    {
        static char buf[65536];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                const ssize_t n = ::read(master_, buf, sizeof buf);
                if (n > 0)
                    read_ += std::uint64_t(n);
            }
        }
    }
    int master_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> read_{0};
    std::thread thread_;
};

// The bytes that reached the far side, and the seconds it took, summed.
struct Tally {
    double bytes = 0, seconds = 0;
    double Rate() const { return bytes / seconds; }
};

template <typename F>
void Measure(Tally &tally, const Drain &drain, F run)
{
    const std::uint64_t before = drain.Read();
    QElapsedTimer clock;
    clock.start();
    run();
    tally.bytes += double(drain.Read() - before);
    tally.seconds += double(clock.nsecsElapsed()) / 1e9;
}

void Bare_Loop(const char *slave)
{
    const int fd = ::open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const QByteArray array = Ascii_Array();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kRoundMs) {
        for (qsizetype done = 0; done < array.size();) {
            const ssize_t n = ::write(fd, array.constData() + done, array.size() - done);
            if (n > 0) {
                done += n;
                continue;
            }
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
    ::close(fd);
}

// The main thread waits for its events, as the program's own loop does.
void Serve_Events(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A box would wait for a user who is not there: messages go to the output.
    vexa::Set_Message_Sink(
        [](vexa::MessageKind, const QString &text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
    QTemporaryDir start;
    QDir::setCurrent(start.path());
    std::unique_ptr<TForm1> form(Create_Application_Forms());

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pty");
        return 1;
    }
    const QByteArray slave = ::ptsname(master);
    // Open the slave once for the whole run, so the pty never hangs up between rounds.
    const int keep = ::open(slave.constData(), O_RDWR | O_NOCTTY);
    Drain drain(master);

    form->ComboBox1->lineEdit()->selectAll();
    form->ComboBox1->lineEdit()->insert(QString::fromLatin1(slave));
    form->PageControl1->setCurrentIndex(3);
    form->CheckBox1->setChecked(true);
    form->SpeedButton26->click();  // released: the bare loop has the pty to itself

    Tally bare, flood;
    for (int round = 0; round < kRounds; ++round) {
        Measure(bare, drain, [&] { Bare_Loop(slave.constData()); });
        form->SpeedButton26->click();                                    // taken again
        form->Serial->Line->CTS_On = form->Serial->Line->DCD_On = true;  // a pty has no modem lines to poll
        Measure(flood, drain, [&] {
            form->Traffic->SpeedButton22->click();
            Serve_Events(kRoundMs);
            form->Traffic->SpeedButton21->click();
        });
        form->SpeedButton26->click();
    }

    form->SpeedButton26->click();
    form->Serial->Line->CTS_On = false;
    form->Traffic->SpeedButton22->click();
    const double idle = Process_Cpu_Share_While_Sleeping(2000);
    form->Traffic->SpeedButton21->click();
    form->SpeedButton26->click();

    std::printf("bare loop into the pty              %10.1f KiB/s\n", bare.Rate() / 1024);
    std::printf("flood into the pty                  %10.1f KiB/s\n", flood.Rate() / 1024);
    std::printf("armed flood with CTS off            %10.3f %% of a core\n", idle * 100);
    std::printf("flood ratio %.2f\n", flood.Rate() / bare.Rate());
    ::close(keep);
    return 0;
}
