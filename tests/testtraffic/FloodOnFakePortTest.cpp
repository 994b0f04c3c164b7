// The ASCII flood thread on the fake port: what it sends, what holds it
// back, every way it ends, how a failed write ends it, and a second writer.

#include <gtest/gtest.h>

#include <cstdio>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "support/CpuShare.h"
#include "testtraffic/TestFrame.h"
#include "testtraffic/TestPageFixture.h"

using namespace vexa;

namespace {

bool Ascending_Arrays(const std::vector<std::uint8_t> &bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != std::uint8_t(i))
            return false;
    return bytes.size() % 256 == 0;
}

}  // namespace

TEST_F(TestPageTest, FloodSendsArraysInOrderAndFollowsCtsAndFlowControl)
{
    Ready();
    ASSERT_EQ(form().Traffic->ComboBox10->currentText(), QString("0"));
    form().Traffic->SpeedButton22->click();
    EXPECT_TRUE(form().Traffic->SendASCII_Active);
    EXPECT_TRUE(form().Traffic->ASCII_Thread_Exists);
    EXPECT_FALSE(form().Traffic->TimerSendWord->Active());
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 20 * 256; }));

    // CTS off: the thread sends nothing and sleeps meanwhile.
    Signals(kMsRlsdOn);
    ASSERT_TRUE(Quiet());
    const std::size_t held = Sent();
    const double idle = Process_Cpu_Share_While_Sleeping(1000);
    std::printf("armed flood with CTS off: %.3f %% of a core\n", idle * 100);
    EXPECT_LT(idle, 0.25);  // under 1 % on a quiet machine; wide margin for a busy one
    EXPECT_EQ(Sent(), held);

    // CTS back: it goes on by itself, also without carrier.
    Signals(kMsCtsOn);
    ASSERT_TRUE(Wait_Until([&] { return Sent() > held + 256; }));

    // Flow control unticked holds it; ticked again, it goes on.
    form().CheckBox1->click();
    ASSERT_TRUE(Quiet());
    const std::size_t unticked = Sent();
    Pump(200);
    EXPECT_EQ(Sent(), unticked);
    form().CheckBox1->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() > unticked + 256; }));

    form().Traffic->SpeedButton21->click();
    EXPECT_FALSE(form().Traffic->SendASCII_Active);
    EXPECT_FALSE(form().Traffic->ASCII_Thread_Exists);
    const std::size_t stopped = Sent();
    Pump(200);
    EXPECT_EQ(Sent(), stopped);
    EXPECT_EQ(Edit14(), std::int64_t(stopped));  // at once, without waiting for a refresh
    EXPECT_TRUE(Ascending_Arrays(Take_Written()));
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

TEST_F(TestPageTest, EveryWayOutEndsTheFloodThread)
{
    Ready();
    auto flood = [&] {
        Take_Written();
        form().Traffic->SpeedButton22->click();
        ASSERT_TRUE(form().Traffic->ASCII_Thread_Exists);
        ASSERT_TRUE(Wait_Until([&] { return Sent() >= 4 * 256; }));
    };
    auto ended = [&](const char *how) {
        EXPECT_FALSE(form().Traffic->ASCII_Thread_Exists) << how;
        EXPECT_FALSE(form().Traffic->SendASCII_Active) << how;
        EXPECT_FALSE(form().Traffic->Flood) << how;
        const std::size_t now = Sent();
        Pump(100);
        EXPECT_EQ(Sent(), now) << how;
    };

    // Leaving the page goes on flooding; entering it again ends the flood.
    flood();
    form().PageControl1->setCurrentIndex(0);
    const std::size_t left = Sent();
    ASSERT_TRUE(Wait_Until([&] { return Sent() > left + 256; }));
    form().PageControl1->setCurrentIndex(3);
    ended("entering the page");
    EXPECT_EQ(form().Traffic->Edit14->text(), QString("0"));

    flood();
    form().SpeedButton26->click();  // "Освободить порт"
    ended("releasing the port");

    form().SpeedButton26->click();  // "Занять порт"
    ASSERT_TRUE(form().Serial->PortHeld);
    flood();
    app->Pick_Port(kOther);  // switching to another port
    ended("switching the port");
    EXPECT_TRUE(form().Serial->PortHeld);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

// A failed write pauses the flood, which goes on by itself; a run says so once.
TEST_F(TestPageTest, AFailedFloodWritePausesTheFloodWhichGoesOnWithOneMessage)
{
    Ready();
    form().Traffic->SpeedButton22->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 4 * 256; }));
    *failWrites = true;
    ASSERT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    Pump(200);
    *failWrites = false;
    const std::size_t failed = Sent();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= failed + 4 * 256; }));
    EXPECT_TRUE(form().Traffic->ASCII_Thread_Exists);
    form().Traffic->SpeedButton21->click();
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Oшибка записи в порт")}));
    EXPECT_EQ(Edit14(), std::int64_t(Sent()));  // the array that failed counted once, however often tried
    EXPECT_TRUE(Ascending_Arrays(Take_Written()));

    // No port at all (the flags keep the last poll): one message, and the
    // flood waits for "Стоп".
    form().SpeedButton26->click();
    ASSERT_FALSE(form().Serial->PortHandle);
    app->catcher.clear();
    form().Traffic->SpeedButton23->click();
    form().Traffic->SpeedButton22->click();
    ASSERT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    Pump(200);
    EXPECT_TRUE(form().Traffic->ASCII_Thread_Exists);
    form().Traffic->SpeedButton21->click();
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Oшибка записи в порт")}));
    EXPECT_EQ(Edit14(), 256);  // handed over once; nothing left since
}

TEST_F(TestPageTest, ACounterThatIsNoNumberIsReportedOnceAndTheFloodGoesOn)
{
    Ready();
    form().Traffic->SpeedButton22->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 4 * 256; }));
    form().Traffic->Edit14->setText("lots");  // typed over while flooding
    ASSERT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    const std::size_t typed = Sent();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= typed + 4 * 256; }));  // the bytes still go out, uncounted
    form().Traffic->SpeedButton21->click();
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].startsWith(QString::fromUtf8("Ошибка при записи в СОM порт ")));
    EXPECT_EQ(form().Traffic->Edit14->text(), QString("lots"));
    EXPECT_TRUE(Ascending_Arrays(Take_Written()));

    // Counting goes on from any number typed in, past 32 bits.
    form().Traffic->Edit14->setText("4294967000");
    form().Traffic->SpeedButton22->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 4 * 256; }));
    form().Traffic->SpeedButton21->click();
    EXPECT_EQ(Edit14(), 4294967000LL + std::int64_t(Sent()));
}

// The flood thread and the main thread write at once, to a port that takes
// the bytes in pieces: every command line and every array arrives whole, and
// a command waits for the array in progress, not for the flood.
TEST_F(TestPageTest, TwoWritersNeverSpliceEachOthersBytesAndTakeTurns)
{
    pieceSize = 16;
    perPiece = std::chrono::microseconds(100);
    Ready();
    form().Traffic->SpeedButton22->click();
    constexpr int kLines = 40;
    std::vector<std::size_t> asked;
    for (int i = 0; i < kLines; ++i) {
        asked.push_back(Sent());
        form().Send_AT_Command("AT+CSQ");
        Pump(5);
    }
    form().Traffic->SpeedButton21->click();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();

    const QByteArray line = Bytes(Take_Written()), command("AT+CSQ\r"), array = Ascii_Array();
    int commands = 0, arrays = 0;
    for (qsizetype at = 0; at < line.size();) {
        if (line.mid(at, command.size()) == command) {
            // The array in progress, or one that began as the command asked.
            EXPECT_LE(std::size_t(at), asked[commands] + 2 * 256) << "command " << commands;
            ++commands;
            at += command.size();
        } else {
            ASSERT_EQ(line.mid(at, 256), array) << "spliced at byte " << at;
            ++arrays;
            at += 256;
        }
    }
    EXPECT_EQ(commands, kLines);
    EXPECT_GT(arrays, kLines);
    EXPECT_EQ(Edit14(), line.size());
}
