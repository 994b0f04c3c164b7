// The program on real pseudo-terminals: the test plays the modem on the master side.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/PortLock.h"
#include "platform/PosixSerialPort.h"
#include "serial/TReadTheart.h"
#include "support/TestSupport.h"
#include "testtraffic/TestTraffic.h"

TEST(PtyTerminal, TypedKeysReachTheModemAndItsAnswerReachesScreenLogAndView)
{
    Pty pty;
    Application app;
    TForm1 &f = *app.form;
    f.show();
    app.Pick_Port(pty.slavePath());
    ASSERT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    ASSERT_TRUE(f.Serial->PortHeld);

    f.Clear_Focus();
    QTest::keyClicks(&f, "at");
    QTest::keyClick(&f, Qt::Key_Return);
    QTest::keyClick(&f, Qt::Key_Backspace);
    QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
    f.FormKeyPress(QString::fromUtf8("Ж"));
    EXPECT_EQ(pty.read(6), QByteArray("at\r\b\x1a\xc6"));
    EXPECT_TRUE(app.catcher.messages().isEmpty());

    pty.write("OK\r\n");
    ASSERT_TRUE(Wait_Until([&] { return f.Form4->Line_Count() == 4; }));
    EXPECT_EQ(f.Form4->Line(0), QString("79  O"));
    EXPECT_TRUE(app.Work_Char_Log().endsWith("OK\r\n"));
    EXPECT_EQ(f.Cursor_Y, 12);
    EXPECT_EQ(f.Cursor_X, 0);
}

TEST(PtyTerminal, FileAndProgrammingPagesKeepReceivedBytesOffTheScreen)
{
    Pty pty;
    Application app;
    TForm1 &f = *app.form;
    app.Pick_Port(pty.slavePath());
    f.PageControl1->setCurrentIndex(1);
    pty.write("hello");
    Pump(300);
    f.PageControl1->setCurrentIndex(2);
    pty.write("\r\nOK\r\nC");  // bytes that say nothing to a download: no notice either
    Pump(300);
    EXPECT_EQ(f.Form4->Line_Count(), 0);
    EXPECT_TRUE(app.Work_Char_Log().isEmpty());
    EXPECT_TRUE(app.catcher.messages().isEmpty());  // an open port purges without complaint

    f.PageControl1->setCurrentIndex(3);
    pty.write(QByteArray(100, 'b'));
    ASSERT_TRUE(Wait_Until([&] { return f.Traffic->Edit13->text() == "100"; }));
    EXPECT_EQ(f.Form4->Line_Count(), 100);
}

TEST(PtyTerminal, AHeldPortDoesNotOpenTwiceAndReleaseLetsItGo)
{
    Pty pty;
    Application first, second;
    first.Pick_Port(pty.slavePath());
    ASSERT_TRUE(first.form->Serial->PortHeld);
    second.Pick_Port(pty.slavePath());
    EXPECT_EQ(second.catcher.messages(), QStringList({QString::fromUtf8("Ошибка открытия порта ")}));

    first.form->SpeedButton26->click();  // release
    EXPECT_FALSE(first.form->Serial->PortHeld);
    second.catcher.clear();
    second.form->SpeedButton26->setEnabled(true);
    second.form->SpeedButton26->click();  // take: the picker still names the port
    EXPECT_TRUE(second.catcher.messages().isEmpty());
    EXPECT_TRUE(second.form->Serial->PortHeld);

    pty.write("x");
    ASSERT_TRUE(Wait_Until([&] { return second.form->Form4->Line_Count() == 1; }));
    EXPECT_EQ(first.form->Form4->Line_Count(), 0);
}

namespace {

// A program of the test's, ended with it.
struct Program {
    Program(const QString &name, const QStringList &arguments)
    {
        process.start(name, arguments);
        process.waitForStarted();
        pid = int(process.processId());
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished();
    }
    QProcess process;
    int pid = 0;
};

QByteArray Lock_Text(qint64 pid) { return QByteArray::number(pid).rightJustified(10, ' ') + '\n'; }

}  // namespace

// A port another program holds, by a lock file or by flock, is not taken,
// and the box says which program holds it; a lock file whose program is
// gone is taken over. While it holds a port Vexa keeps a lock file of its own.
TEST(PtyTerminal, APortAnotherProgramHoldsIsNamedAndNotTaken)
{
    enum Hold { LockFile, Flock, LeftOver };
    for (const Hold hold : {LockFile, Flock, LeftOver}) {
        Pty pty;
        const std::string device = pty.slavePath().toStdString();
        QFile lock(QString::fromStdString(vexa::Lock_Folders().front() + "/" + vexa::Lock_File_Name(device)));
        Program holder(hold == Flock ? "flock" : "sleep", hold == Flock ? QStringList{pty.slavePath(), "sleep", "30"}
                                                                        : QStringList{hold == LeftOver ? "0" : "30"});
        if (hold == Flock) {
            ASSERT_TRUE(Wait_Until([&] { return vexa::Program_Holding(device).pid == holder.pid; }));
        } else {
            ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
            lock.write(Lock_Text(holder.pid));
            lock.close();
        }
        if (hold == LeftOver)
            holder.process.waitForFinished();
        Application app;
        app.Pick_Port(pty.slavePath());
        if (hold != LeftOver) {
            EXPECT_FALSE(app.form->Serial->PortHeld) << hold;
            EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Ошибка открытия порта ")})) << hold;
            EXPECT_EQ(app.catcher.details(), QStringList({QString::fromUtf8("Порт занят программой %1 (pid %2)")
                                                              .arg(hold == Flock ? "flock" : "sleep")
                                                              .arg(holder.pid)}));
            lock.remove();
            continue;
        }
        ASSERT_TRUE(app.form->Serial->PortHeld);
        ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
        EXPECT_EQ(lock.readAll(), Lock_Text(QCoreApplication::applicationPid()));
        lock.close();
        app.form->SpeedButton26->click();  // release
        EXPECT_FALSE(lock.exists());
    }
}

TEST(PtyTerminal, SwitchingPortsMovesTheReaderToTheNewPort)
{
    Pty a, b;
    Application app;
    TForm1 &f = *app.form;
    app.Pick_Port(a.slavePath());
    app.Pick_Port(b.slavePath());
    ASSERT_TRUE(app.catcher.messages().isEmpty());
    a.write("old");
    b.write("new");
    ASSERT_TRUE(Wait_Until([&] { return f.Form4->Line_Count() == 3; }));
    Pump(200);
    EXPECT_EQ(f.Form4->Line_Count(), 3);
    EXPECT_EQ(f.Form4->Line(0), QString("110  n"));
    f.FormKeyPress("k");
    EXPECT_EQ(b.read(1), QByteArray("k"));
    EXPECT_TRUE(a.drain(100).isEmpty());

    // The old port is free again.
    vexa::PosixSerialPort probe;
    EXPECT_TRUE(probe.open(a.slavePath().toStdString()));
}

TEST(PtyTerminal, ClosingTheModemSideEndsTheReaderWithOneMessage)
{
    Pty pty;
    Application app;
    app.Pick_Port(pty.slavePath());
    pty.closeSlave();
    pty.closeMaster();
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.messages().isEmpty(); }));
    Pump(500);
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Ошибка ожидания события ")}));

    // No thread spins after the loss: the process's CPU time stays still.
    const clock_t before = clock();
    QThread::msleep(300);
    EXPECT_LT(double(clock() - before) / CLOCKS_PER_SEC, 0.15);

    Pty next;
    app.catcher.clear();
    app.Pick_Port(next.slavePath());
    EXPECT_TRUE(app.catcher.messages().isEmpty());
    next.write("z");
    ASSERT_TRUE(Wait_Until([&] { return app.form->Form4->Line_Count() == 1; }));
}

TEST(PtyTerminal, ClosingTheWindowWhileDataStreamsInEndsPromptly)
{
    Pty pty;
    std::atomic<bool> streaming{true};
    auto app = std::make_unique<Application>();
    app->form->show();
    app->Pick_Port(pty.slavePath());
    std::thread modem([&] {
        const QByteArray chunk(4096, 'S');
        while (streaming) {
            if (::write(pty.master(), chunk.constData(), chunk.size()) < 0)
                QThread::msleep(1);
        }
    });
    Pump(300);
    ASSERT_GT(app->form->Form4->Line_Count() + int(app->Work_Char_Log().size()), 0);

    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, app->form.get(), [&] { app->form->close(); });
    QTimer::singleShot(10000, qApp, &QApplication::quit);
    QApplication::exec();
    app.reset();  // the windows go, the reader is stopped and the port closed
    const qint64 elapsed = clock.elapsed();
    streaming = false;
    modem.join();
    RecordProperty("close_ms", int(elapsed));
    EXPECT_LT(elapsed, 3000);  // a hang or deadlock would take the full ten seconds
    vexa::PosixSerialPort probe;
    EXPECT_TRUE(probe.open(pty.slavePath().toStdString()));
}

namespace {

void Pick(QComboBox *box, const QString &item)
{
    box->setCurrentIndex(box->findText(item));
    emit box->textActivated(item);
}

}  // namespace

// A pseudo-terminal keeps speed and stop bits but forces 8 data bits and no
// parity; the status bar shows what the port really does.
TEST(PtyTerminal, LineSettingsReachThePortAndReadBack)
{
    Pty pty;
    Application app;
    TForm1 &f = *app.form;
    f.show();
    app.Pick_Port(pty.slavePath());
    Pick(f.ComboBox2, "57600");
    Pick(f.ComboBox3, "7");
    Pick(f.ComboBox4, "Even");
    Pick(f.ComboBox5, "2");
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    EXPECT_EQ(f.Status_Panel_Text(1), QString("57600 8 None 2"));

    for (const char *speed : {"14400", "256000"}) {
        Pick(f.ComboBox2, speed);
        EXPECT_EQ(f.Status_Panel_Text(1), QString(speed) + " 8 None 2");
    }

    Pick(f.ComboBox5, "1,5");  // with 8 data bits the line cannot
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Ошибка записи настроек ")}));
    EXPECT_EQ(f.Status_Panel_Text(1), QString("256000 8 None 2"));

    // Typed into the box and confirmed with Enter: an unlisted speed leaves
    // the port as it was, and no typed digit reaches the modem.
    app.catcher.clear();
    f.ComboBox2->lineEdit()->setFocus();
    f.ComboBox2->lineEdit()->selectAll();
    QTest::keyClicks(f.ComboBox2->lineEdit(), "230400");
    QTest::keyClick(f.ComboBox2->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(app.catcher.messages().isEmpty());
    EXPECT_EQ(f.Status_Panel_Text(1), QString("256000 8 None 2"));
    f.ComboBox2->lineEdit()->setFocus();
    f.ComboBox2->lineEdit()->selectAll();
    QTest::keyClicks(f.ComboBox2->lineEdit(), "9600");
    QTest::keyClick(f.ComboBox2->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(f.Status_Panel_Text(1), QString("9600 8 None 2"));
    EXPECT_TRUE(pty.drain(200).isEmpty());  // not even the Enter
}

// While the window is busy (here: it runs no events at all) the reader goes
// on taking what the modem sends, up to its queue's bound; the window then
// shows every byte once, in order.
TEST(PtyTerminal, TheReaderReadsOnWhileTheWindowIsBusy)
{
    Pty pty;
    Application app;
    app.Pick_Port(pty.slavePath());
    QByteArray sent;
    for (int i = 0; sent.size() < 160 * 1024; ++i)
        sent += QByteArray::number(i) + ' ';
    qsizetype written = 0;
    QElapsedTimer clock;
    clock.start();
    while (written < sent.size() && clock.elapsed() < 3000) {
        const ssize_t n = ::write(pty.master(), sent.constData() + written, size_t(sent.size() - written));
        written += std::max<ssize_t>(n, 0);
        QThread::msleep(n > 0 ? 0 : 1);
    }
    EXPECT_EQ(written, sent.size());  // a reader waiting for the window leaves the pty full
    ASSERT_TRUE(Wait_Until([&] { return app.Work_Char_Log().size() >= sent.size(); }));
    EXPECT_EQ(app.Work_Char_Log(), sent);
}
