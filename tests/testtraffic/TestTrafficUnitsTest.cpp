// The pieces of the test page that need no window: pauses, frames, the
// shared sent-bytes counter and the flood thread's run loop.

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "serial/CounterText.h"
#include "support/CpuShare.h"
#include "support/TestSupport.h"
#include "testtraffic/TInfinitySenrASCII.h"
#include "testtraffic/TestFrame.h"

TEST(TestFrame, PausesAreExactTextsOrWholeSeconds)
{
    EXPECT_EQ(Pause_Ms("0,1"), 100);
    EXPECT_EQ(Pause_Ms("0,5"), 500);
    EXPECT_EQ(Pause_Ms("1"), 1000);
    EXPECT_EQ(Pause_Ms("30"), 30000);
    EXPECT_EQ(Pause_Ms("600"), 600000);
    EXPECT_EQ(Pause_Ms("0"), 0);
    EXPECT_EQ(Pause_Ms("-2"), -2000);  // a number, but no period: nothing is started
    EXPECT_EQ(Pause_Ms("1,5"), std::nullopt);
    EXPECT_EQ(Pause_Ms("0.1"), std::nullopt);
    EXPECT_EQ(Pause_Ms("abc"), std::nullopt);
    EXPECT_EQ(Pause_Ms(""), std::nullopt);
    EXPECT_EQ(Pause_Ms("2147484"), std::nullopt);  // more seconds than a timer holds
    EXPECT_EQ(Pause_Ms("2147483"), 2147483000);
}

TEST(TestFrame, TextThenTimeThenOneCarriageReturn)
{
    const QByteArray plain = Test_Frame(QString::fromUtf8("Передаваемая строка :)"), std::nullopt);
    EXPECT_EQ(plain.size(), 23);
    EXPECT_EQ(plain, Cp("Передаваемая строка :)") + '\r');

    const QByteArray stamped = Test_Frame("abc", QString("9:05:07"));
    EXPECT_EQ(stamped, QByteArray("abc\xC2\xF0\xE5\xEC\xFF\x3A"
                                  "9:05:07\r"));
    EXPECT_EQ(stamped.size(), 17);

    EXPECT_EQ(Test_Frame("", std::nullopt), QByteArray("\r"));
    const QByteArray array = Ascii_Array();
    ASSERT_EQ(array.size(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(std::uint8_t(array[i]), i);
}

TEST(SharedCounter, TwoThreadsAddWithoutLosingAByte)
{
    SharedCounter counter;
    counter.Set_Text("1000");
    auto adder = [&] {
        for (int i = 0; i < 100000; ++i)
            counter.Add(256);
    };
    std::thread other(adder);
    adder();
    other.join();
    EXPECT_EQ(counter.Text(), QString::number(1000 + 2LL * 100000 * 256));

    // One rewrite of the field is asked for, however many adds come.
    EXPECT_TRUE(counter.Claim_Refresh());
    EXPECT_FALSE(counter.Claim_Refresh());
    counter.Refreshed();
    EXPECT_TRUE(counter.Claim_Refresh());

    counter.Set_Text("lots");
    EXPECT_FALSE(counter.Valid());
    EXPECT_FALSE(counter.Add(1));
    counter.Set_Text("9223372036854775800");
    EXPECT_TRUE(counter.Add(7));
    EXPECT_FALSE(counter.Add(1));
    EXPECT_EQ(counter.Text(), QString("9223372036854775807"));
}

// "Очистить" while the flood counts: a number set never fails an add beside it.
TEST(SharedCounter, SettingANumberNeverFailsAConcurrentAdd)
{
    SharedCounter counter;
    std::atomic<bool> done{false};
    std::atomic<int> adds{0}, failed{0};
    std::thread adding([&] {
        for (; !done; ++adds)
            failed += !counter.Add(256);
    });
    while (adds == 0)
        std::this_thread::yield();
    for (int i = 0; i < 200000; ++i)
        counter.Set_Text(QStringLiteral("0"));
    done = true;
    adding.join();
    EXPECT_EQ(failed, 0);
}

namespace {

// A flood thread with a link the test controls. A failing write takes up
// to `takenWhenFailing` bytes; `counted` adds what a first try counts.
struct FloodBench {
    std::atomic<bool> allowed{true};
    std::atomic<bool> failing{false};
    std::atomic<int> asks{0};
    std::uint32_t takenWhenFailing = 100;
    std::mutex mutex;
    std::vector<std::uint8_t> sent;
    std::size_t counted = 0;

    std::unique_ptr<TInfinitySenrASCII> Start()
    {
        return std::make_unique<TInfinitySenrASCII>(
            TInfinitySenrASCII::Link{[this] {
                                         ++asks;
                                         return allowed.load();
                                     },
                                     [this](const std::uint8_t *bytes, std::uint32_t count, bool retry,
                                            std::uint32_t &taken, const std::atomic<bool> &) {
                                         std::this_thread::sleep_for(std::chrono::microseconds(200));
                                         std::lock_guard<std::mutex> lock(mutex);
                                         counted += retry ? 0 : count;
                                         taken = failing ? std::min(count, takenWhenFailing) : count;
                                         sent.insert(sent.end(), bytes, bytes + taken);
                                         return !failing;
                                     }});
    }
    std::size_t Size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return sent.size();
    }
};

bool Eventually(const std::function<bool()> &condition)
{
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

}  // namespace

TEST(TInfinitySenrASCII, SendsTheArrayPassAfterPassAndSleepsWhileHeldBack)
{
    FloodBench link;
    auto flood = link.Start();
    ASSERT_TRUE(Eventually([&] { return link.Size() >= 256 * 20; }));

    link.allowed = false;
    flood->Wake();
    ASSERT_TRUE(Eventually([&] {
        const std::size_t before = link.Size();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return link.Size() == before;
    }));
    const int asksBefore = link.asks;
    const std::size_t held = link.Size();
    const double cpu = Process_Cpu_Share_While_Sleeping(500);
    std::printf("flood thread held back: %.3f %% of a core, %d looks in 0.5 s\n", cpu * 100, link.asks - asksBefore);
    EXPECT_LT(cpu, 0.25);  // it sleeps; well under 1 % where nothing else runs
    EXPECT_LT(link.asks - asksBefore, 100);
    EXPECT_EQ(link.Size(), held);

    link.allowed = true;
    flood->Wake();
    ASSERT_TRUE(Eventually([&] { return link.Size() > held; }));
    flood.reset();  // terminates and joins
    const std::size_t after = link.Size();
    ASSERT_EQ(after % 256, 0u);
    for (std::size_t i = 0; i < after; ++i)
        ASSERT_EQ(link.sent[i], i % 256) << i;
}

// Each try after a failed write goes on where it stopped and counts nothing.
TEST(TInfinitySenrASCII, AFailedWritePausesTheRunWhichGoesOnAndReleaseEndsAnIdleOneAtOnce)
{
    FloodBench link;
    link.failing = true;
    auto flood = link.Start();
    ASSERT_TRUE(Eventually([&] { return link.Size() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_LE(link.Size(), 4 * 100u);  // a try each recheck, no hammering
    link.failing = false;
    ASSERT_TRUE(Eventually([&] { return link.Size() > 20 * 256; }));  // on by itself
    flood.reset();
    for (std::size_t i = 0; i < link.sent.size(); ++i)
        ASSERT_EQ(link.sent[i], i % 256) << i;
    EXPECT_EQ(link.counted, (link.sent.size() + 255) / 256 * 256);

    link.allowed = false;
    auto idle = link.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto start = std::chrono::steady_clock::now();
    idle.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
}
