// The commands and scripts built without a main window: a virtual clock ticks
// the runner, a test link takes the lines and a recording console shows what
// the user would see.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include "atcommands/AtCommands.h"
#include "platform/Cp1251.h"
#include "support/SeamDoubles.h"
#include "support/TestSupport.h"
#include "support/VirtualClock.h"

TEST(AtCommandsAlone, ARunGoesOnWithEachAnswerOnItsClockTellsAFailedWriteAndEndsWithThePort)
{
    ScratchStart start;
    VirtualClock clock;
    RecordingConsole console;
    bool writes = true;
    TestLink link([&](const QByteArray &) { return writes; });
    QWidget page, top;
    QProgressBar gauge;
    bool capture = false;
    int steps = 0;
    AtCommands commands(&page, &top, &gauge, clock, link, console,
                        {[&] {
                             QDir::setCurrent(start.path());
                             return start.path();
                         },
                         [] {}, [&] { ++steps; }, [] { return true; }, [&](bool on) { capture = on; }});
    Write_File(start.file("s.ats"), "AT\r\nAT+CSQ\r\nATI\r\n");
    QDir(start.path()).mkdir("Logs");

    ASSERT_TRUE(commands.Start_Script(start.file("s.ats")));
    EXPECT_TRUE(capture);
    clock.Run_Until(kScriptTickMs);
    EXPECT_EQ(link.written, "AT\r");
    clock.Run_Until(3 * kScriptTickMs);  // an echo is no answer
    commands.Script_Heard("AT\r");
    clock.Run_Until(4 * kScriptTickMs);
    EXPECT_EQ(link.written, "AT\r");
    EXPECT_EQ(commands.Label_Script_Wait->text(), QString::fromUtf8("Ждём ответа: 1 с"));
    commands.Script_Heard("\r\nOK\r\n");
    commands.Log_Received(reinterpret_cast<const std::uint8_t *>("OK"), 2);
    writes = false;
    clock.Run_Until(5 * kScriptTickMs);
    EXPECT_EQ(link.written, "AT\rAT+CSQ\r");
    EXPECT_EQ(gauge.value(), 2);
    EXPECT_EQ(console.messages, QStringList{QString::fromUtf8("Oшибка записи в порт")});
    EXPECT_EQ(Read_File(start.file("Logs/ScriptLog.atl")), "SCRIPT:" + vexa::Cp1251_Encode(start.file("s.ats")) +
                                                               "\r\r\r***********\rCOMMAND:   AT\rOK" +
                                                               "***********\rCOMMAND:   AT+CSQ\r");

    emit link.Closing();
    EXPECT_FALSE(commands.State.Script_Running || capture || commands.Timer2->Active());
    EXPECT_TRUE(console.Screen().endsWith(
        "***SCRIPT END***" + vexa::Cp1251_Encode(QString::fromUtf8("Порт закрыт. Выполнение скрипта прервано.")) +
        '\r'));
    EXPECT_EQ(steps, 4);  // each banner on a line of its own
    EXPECT_TRUE(gauge.isHidden());

    // The buttons above the terminal speak only while the modem holds CTS.
    writes = true;
    link.written.clear();
    commands.SpeedButton_StartClick();
    EXPECT_EQ(link.written, "AT@ZRMSTART\r");
}
