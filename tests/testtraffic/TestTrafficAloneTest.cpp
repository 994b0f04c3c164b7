// The test traffic built without a main window: a virtual clock paces the
// string, a test link takes the writes and a recording console shows what
// the user would see.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <atomic>

#include "platform/Cp1251.h"
#include "support/SeamDoubles.h"
#include "support/TestSupport.h"
#include "support/VirtualClock.h"
#include "testtraffic/TestTraffic.h"

TEST(TestTrafficAlone, StringOnItsClockOneBoxPerFailedWriteCountsAndTheFloodEndsWithThePort)
{
    VirtualClock clock;
    RecordingConsole console;
    bool writes = true;
    TestLink link([&](const QByteArray &) { return writes; });
    std::atomic<std::uint32_t> flooded{0};
    QWidget page;
    TestTraffic traffic(&page, clock, link, console,
                        {[] { return true; }, [] { return true; },
                         [&](const std::uint8_t *, std::uint32_t count, bool, const std::atomic<bool> &) {
                             flooded += count;
                             return TestTraffic::Flood_Report{TestTraffic::Flood_Outcome::Written, count, 0};
                         },
                         [](int) {}, [] {}});

    traffic.ComboBox9->setEditText("0,5");
    traffic.SpeedButton20->click();
    clock.Run_Until(1600);
    const QByteArray frame = vexa::Cp1251_Encode(QString::fromUtf8("Передаваемая строка :)")) + '\r';
    EXPECT_EQ(link.written, frame.repeated(3));
    EXPECT_EQ(console.Screen(), frame.repeated(3));
    EXPECT_EQ(console.printed.front().color, kRed);
    writes = false;
    clock.Run_Until(2100);
    EXPECT_EQ(console.messages, QStringList{QString::fromUtf8("Oшибка записи в порт")});
    traffic.SpeedButton19->click();
    EXPECT_TRUE(clock.Active_Timers().empty());

    traffic.Count_Received(reinterpret_cast<const std::uint8_t *>("OK\r\n"), 4);
    EXPECT_EQ(traffic.Edit13->text(), QString("4"));
    EXPECT_EQ(console.printed.back().color, kBlue);

    traffic.Set_Flow_Control(true);
    traffic.ComboBox10->setEditText("0");
    traffic.SpeedButton22->click();
    ASSERT_TRUE(Wait_Until([&] { return flooded >= 4 * 256; }));
    emit link.Closing();
    EXPECT_FALSE(traffic.ASCII_Thread_Exists || traffic.SendASCII_Active || traffic.Flood);
}
