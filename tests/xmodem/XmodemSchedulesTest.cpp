// The download on simulated lines: named schedules that once went wrong,
// and random ones from fixed seeds, each checked for every invariant.
//   VEXA_XMODEM_SCHEDULES=N  runs N seeds instead of 3000 (the long run)
//   VEXA_XMODEM_SEED=S       replays seed S with every byte and line

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTemporaryDir>
#include <QWidget>

#include "support/SeamDoubles.h"
#include "support/TestSupport.h"
#include "support/VirtualClock.h"
#include "xmodem/FirmwareDownload.h"
#include "xmodem/XmodemSchedules.h"

using namespace xmodem_sim;

namespace {

struct Named_Schedule {
    const char *name;
    Schedule (*make)();
    bool whole;  // the download ends with the whole image; else it fails
};

// A 'C' that leaves the receiver 20 ms before block 1 reaches it, 400 ms
// away each way: block 1 goes out twice, and the copy's ACK comes a round
// trip after the first ACK. The receiver then rejects the last block once.
Schedule Crossing_On_A_Slow_Line()
{
    Schedule s;
    s.size = 3 * 128;
    s.asking = {true, 3000};
    s.to_modem.delay_ms = s.to_vexa.delay_ms = 400;
    s.faults = {3, 1};
    s.press_after_ms = 3000 + 20 - 411 - 400;  // ready at 400 ms; block 1 arrives 411 ms after the press
    return s;
}

// rx -c asks 'C'; one noise byte 0x15 reaches Vexa before "Прошить".
Schedule Noise_Nak_Before_A_Crc_Start()
{
    Schedule s;
    s.asking.crc = true;
    s.noise = {{100, "\x15"}};
    s.press_after_ms = 500;
    return s;
}

// A bootloader asks 'C' three times and falls back to NAK while block 1, in
// CRC, is on its way.
Schedule Fallback_While_Block_One_Travels()
{
    Schedule s;
    s.asking = {true, 1000, 3};
    s.to_modem.delay_ms = s.to_vexa.delay_ms = 1000;
    s.press_after_ms = 2100;
    return s;
}

// Random schedules that once broke an invariant.
template <std::uint64_t seed>
Schedule Seed()
{
    return Random_Schedule(seed);
}

void PrintTo(const Named_Schedule &n, std::ostream *out) { *out << n.name; }

class Named_Schedules : public ::testing::TestWithParam<Named_Schedule> {};

TEST_P(Named_Schedules, EndAsTheyShould)
{
    QStringList trace;
    const Schedule_Run run = Run_Schedule(GetParam().make(), [&](const QString &line) { trace << line; });
    EXPECT_EQ(run.Fault().toStdString(), "") << trace.join('\n').toStdString();
    EXPECT_EQ(run.complete && run.image_whole, GetParam().whole) << trace.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    XmodemSchedules, Named_Schedules,
    ::testing::Values(Named_Schedule{"CrossingOnASlowLine", Crossing_On_A_Slow_Line, true},
                      Named_Schedule{"NoiseNakBeforeACrcStart", Noise_Nak_Before_A_Crc_Start, true},
                      Named_Schedule{"FallbackWhileBlockOneTravels", Fallback_While_Block_One_Travels, true},
                      // Three copies of a long block 1 at 9600 bit/s: their answers come a block apart.
                      Named_Schedule{"CopiesQueuedOnASlowLine", Seed<13876>, true},
                      // A noise NAK while a copy's ACK is on its way.
                      Named_Schedule{"NoiseNakWhileCopiesAreAnswered", Seed<200>, true},
                      // Block 1 went with 1024 bytes, then with 128 at a NAK; a 'C' follows.
                      Named_Schedule{"NakAfterALongBlockOne", Seed<1679>, true},
                      // A noise 'C' after a checksum receiver took block 1: later blocks fail, none is lost.
                      Named_Schedule{"NoiseCAfterAChecksumStart", Seed<14903>, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(XmodemSchedules, TheFixedSeedsKeepEveryInvariant)
{
    if (const QByteArray seed = qgetenv("VEXA_XMODEM_SEED"); !seed.isEmpty()) {
        const auto run = Run_Schedule(Random_Schedule(seed.toULongLong()),
                                      [](const QString &line) { std::printf("%s\n", qPrintable(line)); });
        EXPECT_EQ(run.Fault().toStdString(), "");
        return;
    }
    const std::uint64_t count =
        qEnvironmentVariableIsSet("VEXA_XMODEM_SCHEDULES") ? qgetenv("VEXA_XMODEM_SCHEDULES").toULongLong() : 3000;
    std::uint64_t falseCompletes = 0, whole = 0;
    for (std::uint64_t seed = 1; seed <= count; ++seed) {
        const Schedule_Run run = Run_Schedule(Random_Schedule(seed));
        falseCompletes += run.False_Complete();
        whole += run.complete && run.image_whole;
        if (!run.Fault().isEmpty())
            ADD_FAILURE() << "seed " << seed << ": " << run.Fault().toStdString() << "; replay with VEXA_XMODEM_SEED";
    }
    std::printf("schedules %llu, false completes %llu, whole images %llu\n", (unsigned long long)count,
                (unsigned long long)falseCompletes, (unsigned long long)whole);
    // The schedules prove little if nearly every download fails.
    EXPECT_GT(whole, count / 2);
}

// A group waits for the modem to ask before each file, also before its first
// one right after a finished download.
TEST(XmodemSchedules, AGroupWaitsForTheModemsRequest)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("a.bin");
    Write_File(file, "abc");
    VirtualClock clock;
    RecordingConsole console;
    TestLink link;
    QWidget page;
    FirmwareDownload fw(&page, clock, link, console,
                        {[](bool) {}, [] {}, [&](const char *, const QString &) { return file; }, [] {}});
    const auto hear = [&](const char *bytes) {
        fw.Scan_Modem_Reply(reinterpret_cast<const std::uint8_t *>(bytes), std::uint32_t(qstrlen(bytes)));
        clock.Run_Until(clock.Now_Ms() + 2000);
    };
    hear("\x15");
    fw.Show_Firmware_File(file, true);
    fw.SpeedButton15Click();
    for (const char *ack : {"\x06", "\x06"})
        hear(ack);
    ASSERT_TRUE(console.Screen().endsWith(Cp("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r")));
    fw.SpeedButton17Click();
    fw.CheckListBox1->item(0)->setCheckState(Qt::Checked);
    const int before = link.written.size();
    fw.SpeedButton16Click();
    clock.Run_Until(clock.Now_Ms() + 1000);
    EXPECT_EQ(link.written.size(), before);
    hear("C");
    EXPECT_EQ(link.written.mid(before), QByteArray("\x01\x01\xFE"
                                                   "abc") +
                                            QByteArray(125, '\x1A') + link.written.right(2));
}

}  // namespace
