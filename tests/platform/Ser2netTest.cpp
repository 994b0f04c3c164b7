// The main window on a network port: a real ser2net serving a pty pair, and
// the scripted server for a connection that drops mid-stream.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <future>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "serial/LineControl.h"
#include "NetworkTestHelpers.h"
#include "ScriptedComPortServer.h"
#include "Ser2netServer.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/NetworkSerialPort.h"
#include "support/TestSupport.h"
#include "testtraffic/TestTraffic.h"

namespace {

const QString kPortOpenFailed = QString::fromUtf8("Ошибка открытия порта ");
const QString kWaitFailed = QString::fromUtf8("Ошибка ожидания события ");

void Pick(QComboBox *box, const QString &item)
{
    box->setCurrentIndex(box->findText(item));
    emit box->textActivated(item);
}

void Click_Box(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, box->height() / 2));
}

// The speed the device's own termios holds, as ser2net set it.
speed_t Device_Speed(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct termios2 tio {};
    const int ok = fd >= 0 ? ::ioctl(fd, TCGETS2, &tio) : -1;
    if (fd >= 0)
        ::close(fd);
    return ok == 0 ? tio.c_ospeed : 0;
}

// ser2net up and the window holding its port, picked by name.
class Ser2netWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Ready()) << server.Why_Not().toStdString();
        app.form->show();
        app.Pick_Port(server.Name());
        ASSERT_TRUE(app.form->Serial->PortHeld) << app.catcher.messages().join('|').toStdString();
    }

    Ser2netServer server;
    Application app;
};

}  // namespace

TEST_F(Ser2netWindow, TheServedPortOpensByNameAndCarriesSettingsKeysAndEveryByte)
{
    TForm1 &f = *app.form;
    ASSERT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    EXPECT_TRUE(f.windowTitle().startsWith("Vexa    " + server.Name() + "   "));
    EXPECT_EQ(f.Status_Panel_Text(0), QString::fromUtf8("Порт: ") + server.Name());
    EXPECT_EQ(f.Status_Panel_Text(1), QString("115200 8 None 1"));
    EXPECT_TRUE(f.CheckBox2->isChecked());

    Pick(f.ComboBox2, "9600");
    EXPECT_EQ(f.Status_Panel_Text(1), QString("9600 8 None 1"));
    EXPECT_EQ(Device_Speed(server.Device()), 9600u);
    Pick(f.ComboBox2, "57600");
    EXPECT_EQ(Device_Speed(server.Device()), 57600u);

    f.Clear_Focus();
    QTest::keyClicks(&f, "at");
    QTest::keyClick(&f, Qt::Key_Return);
    EXPECT_EQ(server.Read_Far(3), QByteArray("at\r"));

    const QByteArray all = All_Byte_Values();
    ASSERT_TRUE(f.Write_To_Port(all + all));
    EXPECT_EQ(server.Read_Far(512), all + all);
    server.Write_Far(all + all);
    EXPECT_TRUE(Wait_Until([&] { return app.Work_Char_Log().endsWith(all + all); }));
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// ser2net leaves a DTR request unanswered on a device without modem lines.
TEST_F(Ser2netWindow, AnUnansweredDtrRequestFailsLikeARefusedCallWithoutHangingTheWindow)
{
    TForm1 &f = *app.form;
    ASSERT_TRUE(f.CheckBox2->isChecked());

    QElapsedTimer clock;
    clock.start();
    Click_Box(f.CheckBox2);
    EXPECT_FALSE(f.CheckBox2->isChecked());
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Ошибка записи настроек ")}));
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 3000);

    // Everything else the server answers.
    app.catcher.clear();
    Click_Box(f.CheckBox1);
    Click_Box(f.CheckBox4);
    Click_Box(f.CheckBox4);
    Pick(f.ComboBox2, "19200");
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    EXPECT_EQ(f.Status_Panel_Text(2), QString::fromUtf8("Управление потоком: ВКЛЮЧЕНО"));
    EXPECT_EQ(Device_Speed(server.Device()), 19200u);
}

TEST_F(Ser2netWindow, AStoppedServerReleasesThePortWithOneMessageAndTakeConnectsAgain)
{
    TForm1 &f = *app.form;
    server.Write_Far(QByteArray(4000, 'd'));
    ASSERT_TRUE(Wait_Until([&] { return app.Work_Char_Log().size() == 4000; }));

    server.Kill();
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.messages().isEmpty(); }));
    Pump(300);
    EXPECT_EQ(app.catcher.messages(), QStringList({kWaitFailed}));
    EXPECT_FALSE(f.Serial->PortHeld);
    EXPECT_FALSE(f.Serial->PortHandle);
    EXPECT_EQ(f.SpeedButton26->text(), QString::fromUtf8("Занять порт"));
    EXPECT_LT(Cpu_Seconds_While_Idle(300), 0.1);

    app.catcher.clear();
    QTest::mouseClick(f.SpeedButton26, Qt::LeftButton);  // nobody serves the port now
    EXPECT_EQ(app.catcher.messages(), QStringList({kPortOpenFailed}));
    ASSERT_TRUE(server.Restart());
    app.catcher.clear();
    QTest::mouseClick(f.SpeedButton26, Qt::LeftButton);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    ASSERT_TRUE(f.Serial->PortHeld);
    f.Clear_Focus();
    QTest::keyClicks(&f, "z");
    EXPECT_EQ(server.Read_Far(1), QByteArray("z"));
}

// The flood through ser2net for a few seconds: every byte it counted
// reaches the device, in order, but for the rest of an array that "Стоп" cut.
TEST_F(Ser2netWindow, TheFloodDeliversEveryCountedByteToTheDevice)
{
    TForm1 &f = *app.form;
    f.Timer1->stop();  // the pty behind ser2net has no modem lines: CTS and DCD as a modem holds them
    f.Serial->Line->CTS_On = true;
    f.Serial->Line->DCD_On = true;
    f.PageControl1->setCurrentIndex(3);
    Click_Box(f.CheckBox1);
    ASSERT_TRUE(f.Traffic->Flow_Control);
    // The device reads all the while: a write nobody takes would time out.
    QByteArray far;
    std::atomic<bool> flooding{true};
    std::thread device([&] {
        while (flooding)
            far += server.Drain_Far(100);
        for (QByteArray more; !(more = server.Drain_Far(300)).isEmpty();)
            far += more;
    });
    f.Traffic->SpeedButton22->click();
    Pump(2500);
    f.Traffic->SpeedButton21->click();
    flooding = false;
    device.join();
    std::printf("flood through ser2net: %lld bytes in 2.5 s\n", (long long)far.size());
    EXPECT_GT(far.size(), 64 * 1024);
    EXPECT_GE(f.Traffic->Edit14->text().toLongLong(), far.size());
    EXPECT_LE(f.Traffic->Edit14->text().toLongLong(), far.size() + 256);
    qsizetype wrong = 0;
    while (wrong < far.size() && std::uint8_t(far[wrong]) == std::uint8_t(wrong))
        ++wrong;
    EXPECT_EQ(wrong, far.size()) << "the first byte out of order";
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// A device that takes nothing holds ser2net back, and the connection's
// window shuts; ser2net answers every probe of it, so the link stays open
// for as long as the device holds it off, and what was taken arrives once
// the device reads again.
TEST(Ser2net, ADeviceHeldOffLeavesTheLinkOpen)
{
    Ser2netServer server;
    ASSERT_TRUE(server.Ready()) << server.Why_Not().toStdString();
    vexa::NetworkSerialPort port(vexa::NetworkPortTiming{1000, 3000, 1000});
    ASSERT_TRUE(port.open(server.Name().toStdString()));
    const std::vector<std::uint8_t> chunk(4096, 'h');
    qsizetype taken = 0;
    std::uint32_t took = 0;
    while (port.write(chunk.data(), chunk.size(), took, nullptr))
        taken += took;
    taken += took;  // what the write that failed handed over
    EXPECT_EQ(port.lastError(), ETIMEDOUT);
    auto waiting = std::async(std::launch::async, [&] {
        std::uint32_t mask = 0;
        return port.waitForEvent(mask);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::seconds(3)), std::future_status::timeout);  // three dead-link times
    ASSERT_TRUE(port.isOpen());

    QByteArray far;
    for (QByteArray more; !(more = server.Drain_Far(500)).isEmpty();)
        far += more;
    EXPECT_EQ(far.size(), taken);
    EXPECT_EQ(far.count('h'), far.size());
    ASSERT_TRUE(port.write(reinterpret_cast<const std::uint8_t *>("END"), 3));
    EXPECT_EQ(server.Read_Far(3), QByteArray("END"));
    port.close();
    EXPECT_EQ(waiting.get(), vexa::WaitResult::Closed);
}

TEST(Ser2net, ADeviceTheServerCannotOpenOrServesToAnotherFailsToOpen)
{
    Ser2netServer missing("/dev/vexa-no-such-modem"), server;
    ASSERT_TRUE(missing.Ready()) << missing.Why_Not().toStdString();
    ASSERT_TRUE(server.Ready()) << server.Why_Not().toStdString();
    Application holder;
    Application app;  // the last made catches the messages
    app.Pick_Port(missing.Name());
    EXPECT_EQ(app.catcher.messages(), QStringList({kPortOpenFailed}));
    EXPECT_FALSE(app.form->Serial->PortHeld);
    EXPECT_FALSE(app.form->windowTitle().contains(missing.Name()));

    holder.Pick_Port(server.Name());
    ASSERT_TRUE(holder.form->Serial->PortHeld);
    app.catcher.clear();
    app.Pick_Port(server.Name());
    EXPECT_EQ(app.catcher.messages(), QStringList({kPortOpenFailed}));
    EXPECT_FALSE(app.form->Serial->PortHeld);
}

TEST(NetworkPortWindow, AConnectionDroppedMidStreamGivesOneMessageAndThePortCanBeRetaken)
{
    ScriptedComPortServer server;
    Application app;
    TForm1 &f = *app.form;
    app.Pick_Port(QString::fromStdString(server.Name()));
    ASSERT_TRUE(f.Serial->PortHeld) << app.catcher.messages().join('|').toStdString();
    const QByteArray burst(300000, 'm');
    server.Send_Device(burst);
    server.Drop();
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.messages().isEmpty(); }, 10000));
    Pump(300);
    EXPECT_EQ(app.catcher.messages(), QStringList({kWaitFailed}));
    EXPECT_EQ(app.Work_Char_Log(), burst);  // nothing received before the drop is lost
    EXPECT_FALSE(f.Serial->PortHeld);
    EXPECT_FALSE(f.Serial->ReaderRunning);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_LT(Cpu_Seconds_While_Idle(300), 0.1);

    app.catcher.clear();
    QTest::mouseClick(f.SpeedButton26, Qt::LeftButton);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    ASSERT_TRUE(f.Serial->PortHeld);
    EXPECT_EQ(server.Connections(), 2);
    ASSERT_TRUE(f.Write_To_Port(QByteArray("AT\r")));
    EXPECT_TRUE(server.Wait_For([&] { return server.Device_Bytes() == "AT\r"; }));
}

TEST(NetworkPortWindow, AServerThatNeverAnswersFailsTheOpenInBoundedTime)
{
    ScriptedComPortServer server;
    server.Say_Nothing(true);
    Application app;
    QElapsedTimer clock;
    clock.start();
    app.Pick_Port(QString::fromStdString(server.Name()));
    EXPECT_EQ(app.catcher.messages(), QStringList({kPortOpenFailed}));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(app.form->Serial->PortHeld);
}
