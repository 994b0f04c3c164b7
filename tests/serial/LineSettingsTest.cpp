#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "serial/LineControl.h"
#include "serial/FakePortFixture.h"
#include "serial/PortLists.h"
#include "support/FakeSerialPort.h"
#include "support/SeamDoubles.h"
#include "support/TestSupport.h"

using namespace vexa;

namespace {

QColor Lamp(QLineEdit *lamp) { return lamp->palette().color(QPalette::Base); }

// A user's pick from a box's list.
void Pick(QComboBox *box, const QString &item)
{
    const int index = box->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    box->setCurrentIndex(index);
    emit box->textActivated(item);
}

}  // namespace

TEST_F(FakePortTest, LampsAndSignalFlagsFollowTheModemEveryPoll)
{
    app->Pick_Port(kModem);
    modem->modemStatus = kMsCtsOn | kMsDsrOn;
    form().Timer1Timer();
    EXPECT_EQ(Lamp(form().Edit1), QColor(255, 255, 0));
    EXPECT_EQ(Lamp(form().Edit2), QColor(255, 255, 0));
    EXPECT_EQ(Lamp(form().Edit3), QColor(0, 0, 0));
    EXPECT_EQ(Lamp(form().Edit4), QColor(0, 0, 0));
    EXPECT_TRUE(form().Serial->Line->CTS_On);
    EXPECT_FALSE(form().Serial->Line->DCD_On);
    EXPECT_TRUE(form().Status_Panel_Text(4).startsWith(QString::fromUtf8("Время: ")));

    modem->modemStatus = kMsRingOn | kMsRlsdOn;
    form().Timer1Timer();
    EXPECT_EQ(Lamp(form().Edit1), QColor(0, 0, 0));
    EXPECT_EQ(Lamp(form().Edit3), QColor(255, 255, 0));
    EXPECT_EQ(Lamp(form().Edit4), QColor(0, 255, 255));
    EXPECT_FALSE(form().Serial->Line->CTS_On);
    EXPECT_TRUE(form().Serial->Line->DCD_On);

    // A poll that fails (as on a pseudo-terminal) changes nothing and says nothing.
    modem->failModemStatus = true;
    modem->modemStatus = 0;
    form().Timer1Timer();
    EXPECT_EQ(Lamp(form().Edit4), QColor(0, 255, 255));
    EXPECT_TRUE(form().Serial->Line->DCD_On);
    EXPECT_TRUE(messages().isEmpty());

    // Release: the lamps go dark, the flags keep their last values.
    form().SpeedButton26->click();
    EXPECT_EQ(Lamp(form().Edit4), QColor(0, 0, 0));
    EXPECT_TRUE(form().Serial->Line->DCD_On);
}

TEST_F(FakePortTest, LineSettingChangesAreWrittenAndShown)
{
    app->Pick_Port(kModem);
    Pick(form().ComboBox2, "57600");
    Pick(form().ComboBox3, "7");
    Pick(form().ComboBox4, "Mark");
    Pick(form().ComboBox5, "2");
    EXPECT_EQ(modem->settings.BaudRate, 57600u);
    EXPECT_EQ(modem->settings.ByteSize, 7);
    EXPECT_EQ(modem->settings.Parity, kMarkParity);
    EXPECT_EQ(modem->settings.StopBits, kTwoStopBits);
    EXPECT_EQ(form().Status_Panel_Text(1), QString("57600 7 Mark 2"));

    Pick(form().ComboBox2, "9600");
    EXPECT_FALSE(form().Serial->Line->Speed_Is_115200);
    EXPECT_EQ(form().SpeedButton25->text(), QString::fromUtf8("Переход на 115200"));
    EXPECT_EQ(form().SpeedButton25->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
    EXPECT_TRUE(form().Status_Panel_Text(1).startsWith("9600 "));

    // Typed texts: an unlisted speed writes the settings unchanged, a word is refused.
    form().ComboBox2->setEditText("230400");
    form().ComboBox2Change();
    EXPECT_EQ(modem->settings.BaudRate, 9600u);
    EXPECT_TRUE(form().Status_Panel_Text(1).startsWith("9600 "));
    modem->settings.BaudRate = 19200;
    form().ComboBox2->setEditText("fast");
    form().ComboBox2Change();
    EXPECT_EQ(app->catcher.errors().size(), 1);
    EXPECT_TRUE(form().Status_Panel_Text(1).startsWith("9600 "));  // not refreshed

    // Failures of the read and of the write.
    modem->failSetState = true;
    Pick(form().ComboBox3, "8");
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Ошибка записи настроек ")}));
    modem->failSetState = false;
    app->catcher.clear();
    modem->failGetState = true;
    Pick(form().ComboBox3, "6");
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Ошибка чтения настроек "),
                                       QString::fromUtf8("Ошибка чтеня параметров порта")}));
}

TEST_F(FakePortTest, HandshakeAndDtrBoxesWriteTheirFlagsAlsoWhenTheProgramTicksThem)
{
    modem->settings.fOutxCtsFlow = true;
    modem->settings.fRtsControl = kRtsControlHandshake;
    modem->settings.fDtrControl = kDtrControlDisable;
    app->Pick_Port(kModem);
    EXPECT_TRUE(form().CheckBox1->isChecked());
    EXPECT_FALSE(form().CheckBox2->isChecked());
    EXPECT_EQ(form().Status_Panel_Text(2), QString::fromUtf8("Управление потоком: ВКЛЮЧЕНО"));

    form().CheckBox1->click();
    EXPECT_FALSE(modem->settings.fOutxCtsFlow);
    EXPECT_EQ(modem->settings.fRtsControl, kRtsControlEnable);  // RTS stays raised
    EXPECT_EQ(form().Status_Panel_Text(2), QString::fromUtf8("Управление потоком: ОТКЛЮЧЕНО"));
    form().CheckBox2->click();
    EXPECT_EQ(modem->settings.fDtrControl, kDtrControlEnable);
    form().CheckBox2->click();  // off; a DTR the driver handshakes stays so when ticked
    modem->settings.fDtrControl = kDtrControlHandshake;
    form().CheckBox2->click();
    EXPECT_EQ(modem->settings.fDtrControl, kDtrControlHandshake);

    // A port without handshake: opening it unticks the box, which writes the flags back.
    other->settings.fOutxCtsFlow = false;
    other->settings.fRtsControl = kRtsControlDisable;
    form().CheckBox1->setChecked(true);
    app->Pick_Port(kOther);
    EXPECT_FALSE(form().CheckBox1->isChecked());
    EXPECT_EQ(other->settings.fRtsControl, kRtsControlEnable);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(FakePortTest, BreakAndTheBoxesAfterARelease)
{
    app->Pick_Port(kModem);
    form().CheckBox4->click();
    EXPECT_TRUE(modem->breakOn);
    form().CheckBox4->click();
    EXPECT_FALSE(modem->breakOn);
    EXPECT_TRUE(messages().isEmpty());

    form().SpeedButton26->click();  // release; the controls stay enabled
    form().CheckBox4->click();
    form().CheckBox4->click();
    form().CheckBox2->click();
    EXPECT_EQ(messages().size(), 3);  // read before the next pick
    Pick(form().ComboBox4, "Odd");
    EXPECT_EQ(messages(),
              QStringList({QString::fromUtf8("Сигнал Break не выставлен"), QString::fromUtf8("Сигнал Break не сброшен"),
                           QString::fromUtf8("Ошибка чтения настроек "), QString::fromUtf8("Ошибка чтения настроек "),
                           QString::fromUtf8("Ошибка чтеня параметров порта")}));
}

TEST_F(FakePortTest, SpeedSwitchSendsTheCommandAtTheOldSpeedThenFollows)
{
    app->Pick_Port(kModem);  // at 115200
    form().SpeedButton25->click();
    EXPECT_TRUE(modem->Written().empty());  // CTS off: the modem is not ready

    modem->modemStatus = kMsCtsOn;
    form().Timer1Timer();
    form().SpeedButton25->click();
    const std::vector<std::uint8_t> first = modem->Written();
    const std::string sent(first.begin(), first.end());
    EXPECT_EQ(sent, "AT+IPR=9600\r");
    EXPECT_EQ(modem->settings.BaudRate, 115200u);  // still the old speed
    EXPECT_EQ(form().ComboBox2->currentText(), QString("9600"));
    EXPECT_EQ(form().SpeedButton25->text(), QString::fromUtf8("Переход на 115200"));
    EXPECT_TRUE(form().Timer_ChangeSpped115200_9600->isActive());
    ASSERT_TRUE(Wait_Until([&] { return modem->settings.BaudRate == 9600u; }, 3000));
    EXPECT_FALSE(form().Timer_ChangeSpped115200_9600->isActive());
    EXPECT_TRUE(form().Status_Panel_Text(1).startsWith("115200 "));  // the status bar keeps the old speed

    form().SpeedButton25->click();  // and back up, then a second click before the tick
    form().SpeedButton25->click();
    const std::vector<std::uint8_t> all = modem->Written();
    const std::string both(all.begin(), all.end());
    EXPECT_EQ(both, "AT+IPR=9600\rAT+IPR=115200\rAT+IPR=9600\r");
    EXPECT_EQ(modem->settings.BaudRate, 9600u);
    Pump(700);
    EXPECT_EQ(modem->settings.BaudRate, 9600u);  // the flag named 9600 at the tick
    EXPECT_FALSE(form().Serial->Line->Speed_Is_115200);

    form().ComboBox2->setEditText("115200");  // the box already shows the target: nothing to do
    form().SpeedButton25->click();
    EXPECT_EQ(modem->Written().size(), both.size());
    EXPECT_FALSE(form().Serial->Line->Speed_Is_115200);
}

// The line control alone, on the fake port without a window: a poll lights
// the lamps, a pick writes the speed, the switch asks the modem first.
TEST(LineControlAlone, PollsPicksAndSwitchesOnThePortItIsGiven)
{
    MessageCatcher catcher;
    FakeSerialHub hub;
    const auto line = hub.Add("fake0");
    std::shared_ptr<SerialPort> port = hub.Factory()();
    ASSERT_TRUE(port->open("fake0"));
    QComboBox speed, bits, parity, stop;
    for (QComboBox *box : {&speed, &bits, &parity, &stop})
        box->setEditable(true);
    QCheckBox flow, dtr, brk;
    QLineEdit cts, dsr, ring, dcd;
    QPushButton switcher;
    QTimer poll, switchTick;
    PortSettings settings;
    QStringList panels;
    QList<QByteArray> sent;
    RecordingConsole console;
    LineControl control(
        {&speed, &bits, &parity, &stop, &flow, &dtr, &brk, &cts, &dsr, &ring, &dcd, &switcher, &poll, &switchTick},
        settings, console,
        {[&] { return port; }, [&](int panel, const QString &text) { panels << QString::number(panel) + text; }, [] {},
         [&](const QByteArray &command) { sent << command; }});
    EXPECT_EQ(switcher.text(), QString::fromUtf8("Переход на 9600"));
    line->modemStatus = kMsCtsOn | kMsRlsdOn;
    control.Timer1Timer();
    EXPECT_TRUE(control.CTS_On && control.DCD_On);
    EXPECT_EQ(Lamp(&dcd), QColor(0, 255, 255));
    speed.setEditText("57600");
    control.ComboBox2Change();
    EXPECT_EQ(line->settings.BaudRate, 57600u);
    speed.setEditText("9600");
    control.ComboBox2Change();
    EXPECT_EQ(line->settings.BaudRate, 9600u);
    EXPECT_FALSE(control.Speed_Is_115200);
    EXPECT_TRUE(panels.contains("1" + Line_Status_Text(settings)));  // the status bar shows the new speed
    control.SpeedButtonChangeSpped115200_9600();
    EXPECT_EQ(sent, QList<QByteArray>{"AT+IPR=115200"});
    EXPECT_TRUE(switchTick.isActive());
    control.Timer_ChangeSpped115200_9600Timer();
    EXPECT_EQ(line->settings.BaudRate, 115200u);
    EXPECT_TRUE(console.messages.isEmpty() && console.errors.isEmpty());
    speed.setEditText("fast");  // its box goes through the console, as every other
    control.ComboBox2Change();
    EXPECT_EQ(console.errors, QStringList{QString::fromUtf8("\"fast\" не является целым числом")});
    EXPECT_EQ(catcher.messages(), QStringList());
}
