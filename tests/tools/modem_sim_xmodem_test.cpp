#include "xmodem_receiver.h"

#include <gtest/gtest.h>

#include <string>

using namespace vexa::modemsim;
using Outcome = XmodemReceiver::Outcome;

namespace {

const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kCan = "\x18";
const std::string kEot = "\x04";
constexpr Millis kInterval = 1000;

std::string dataFor(int number)
{
    std::string data(XmodemReceiver::kDataSize, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(number * 7 + i * 13);
    return data;
}

std::string block(int number, const std::string &data)
{
    std::string bytes = "\x01";
    bytes.push_back(static_cast<char>(number));
    bytes.push_back(static_cast<char>(255 - (number & 0xFF)));
    bytes += data;
    unsigned sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    bytes.push_back(static_cast<char>(sum));
    return bytes;
}

std::string block(int number) { return block(number, dataFor(number)); }

class ModemSimXmodem : public testing::Test {
protected:
    ModemSimXmodem() { EXPECT_EQ(receiver.start(0), kNak); }

    std::string feed(const std::string &bytes) { return receiver.feed(bytes, now).reply; }

    XmodemReceiver receiver{kInterval};
    Millis now = 0;
};

TEST_F(ModemSimXmodem, NaksEachIntervalUntilTheFirstBlockThenGivesUp)
{
    EXPECT_EQ(receiver.tick(kInterval - 1).reply, "");
    EXPECT_EQ(receiver.tick(kInterval).reply, kNak);
    EXPECT_EQ(receiver.deadline(), 2 * kInterval);

    int naks = 1;
    XmodemReceiver::Step step;
    while ((step = receiver.tick(now = receiver.deadline())).outcome == Outcome::Running)
        naks += step.reply == kNak;
    EXPECT_EQ(naks, XmodemReceiver::kMaxWaitNaks - 1);
    EXPECT_EQ(step.reply, kCan + kCan);
}

TEST_F(ModemSimXmodem, GoodBlocksAreAckedAndEotCompletesTheImage)
{
    EXPECT_EQ(feed(block(1)), kAck);
    EXPECT_EQ(feed(block(2)), kAck);
    const auto step = receiver.feed(kEot + "AT\r", now);
    EXPECT_EQ(step.reply, kAck);
    EXPECT_EQ(step.outcome, Outcome::Completed);
    EXPECT_EQ(step.consumed, 1u);  // the rest is for command mode
    EXPECT_EQ(receiver.image(), dataFor(1) + dataFor(2));
}

TEST_F(ModemSimXmodem, BlockSplitIntoSingleBytesIsAckedOnce)
{
    const std::string bytes = block(1);
    std::string replies;
    for (char c : bytes)
        replies += feed(std::string(1, c));
    EXPECT_EQ(replies, kAck);
    EXPECT_EQ(receiver.image(), dataFor(1));
}

TEST_F(ModemSimXmodem, DamagedBlocksAreNakedAndNotStored)
{
    std::string badSum = block(1);
    badSum.back() = static_cast<char>(badSum.back() + 1);
    std::string badComplement = block(1);
    badComplement[2] = static_cast<char>(badComplement[2] ^ 0x01);
    std::string badData = block(1);
    badData[50] = static_cast<char>(badData[50] ^ 0x40);

    EXPECT_EQ(feed(badSum), kNak);
    EXPECT_EQ(feed(badComplement), kNak);
    EXPECT_EQ(feed(badData), kNak);
    EXPECT_EQ(receiver.blocks(), 0u);
    EXPECT_EQ(feed(block(1)), kAck);
    EXPECT_EQ(receiver.image(), dataFor(1));
}

TEST_F(ModemSimXmodem, RepeatedBlockIsAckedButStoredOnce)
{
    EXPECT_EQ(feed(block(1)), kAck);
    EXPECT_EQ(feed(block(1)), kAck);
    EXPECT_EQ(feed(block(2)), kAck);
    EXPECT_EQ(receiver.blocks(), 2u);
    EXPECT_EQ(receiver.image(), dataFor(1) + dataFor(2));
}

TEST_F(ModemSimXmodem, BlockNumberWrapsAfter255)
{
    std::string expected;
    for (int n = 1; n <= 300; ++n) {
        ASSERT_EQ(feed(block(n % 256)), kAck) << n;
        expected += dataFor(n % 256);
    }
    EXPECT_EQ(receiver.image(), expected);
}

TEST_F(ModemSimXmodem, OutOfSequenceBlockAborts)
{
    feed(block(1));
    const auto step = receiver.feed(block(3), now);
    EXPECT_EQ(step.reply, kCan + kCan);
    EXPECT_EQ(step.outcome, Outcome::OutOfSequence);
}

TEST_F(ModemSimXmodem, TwoCansCancelButOneIsNoise)
{
    EXPECT_EQ(feed(kCan + block(1)), kAck);
    const auto step = receiver.feed(kCan + kCan + kCan, now);
    EXPECT_EQ(step.outcome, Outcome::Cancelled);
    EXPECT_EQ(step.consumed, 2u);
}

TEST_F(ModemSimXmodem, SilenceDiscardsAPartialBlockThenGivesUp)
{
    feed(block(1));
    feed(block(2).substr(0, 60));
    now = receiver.deadline();
    EXPECT_EQ(receiver.tick(now).reply, kNak);
    // The sender repeats the whole block; the 60 stale bytes must be gone.
    EXPECT_EQ(feed(block(2)), kAck);
    EXPECT_EQ(receiver.image(), dataFor(1) + dataFor(2));

    XmodemReceiver::Step step;
    for (int i = 0; i < XmodemReceiver::kMaxRetries; ++i)
        step = receiver.tick(now += kInterval);
    EXPECT_EQ(step.outcome, Outcome::TimedOut);
    EXPECT_EQ(step.reply, kCan + kCan);
}

TEST_F(ModemSimXmodem, TooManyBadBlocksAbort)
{
    std::string bad = block(1);
    bad.back() = static_cast<char>(bad.back() + 1);
    for (int i = 1; i < XmodemReceiver::kMaxRetries; ++i)
        ASSERT_EQ(feed(bad), kNak);
    const auto step = receiver.feed(bad, now);
    EXPECT_EQ(step.outcome, Outcome::TooManyErrors);
    EXPECT_EQ(step.reply, kCan + kCan);
}

TEST(ModemSimXmodemNextImage, WaitsForTheNextImageThenGivesUpQuietly)
{
    XmodemReceiver next{kInterval};
    EXPECT_EQ(next.startNext(0, 2500), kNak);
    EXPECT_EQ(next.tick(kInterval).reply, kNak);
    EXPECT_EQ(next.tick(2 * kInterval).reply, kNak);
    EXPECT_EQ(next.deadline(), 2500);
    const auto step = next.tick(2500);
    EXPECT_EQ(step.outcome, Outcome::NoNextImage);
    EXPECT_EQ(step.reply, "");
}

TEST(ModemSimXmodemNextImage, AFirstBlockInTimeIsTakenAsUsual)
{
    XmodemReceiver next{kInterval};
    next.startNext(0, 2500);
    EXPECT_EQ(next.feed(block(1), 2000).reply, kAck);
    // Once the image has begun, the wait no longer applies.
    EXPECT_EQ(next.deadline(), 2000 + kInterval);
    EXPECT_EQ(next.tick(3000).reply, kNak);
    EXPECT_EQ(next.feed(kEot, 3100).outcome, Outcome::Completed);
}

TEST(ModemSimXmodemFaults, RejectsAnIntactBlockAsOftenAsAsked)
{
    XmodemReceiver receiver{kInterval, XmodemFaults{2, 3, 0, 0}};
    receiver.start(0);
    EXPECT_EQ(receiver.feed(block(1), 0).reply, kAck);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(receiver.feed(block(2), 0).reply, kNak) << i;
    EXPECT_EQ(receiver.feed(block(2), 0).reply, kAck);
    EXPECT_EQ(receiver.image(), dataFor(1) + dataFor(2));
}

TEST(ModemSimXmodemFaults, EndlessRejectionEndsLikeABadLine)
{
    XmodemReceiver receiver{kInterval, XmodemFaults{1, 1000, 0, 0}};
    receiver.start(0);
    for (int i = 1; i < XmodemReceiver::kMaxRetries; ++i)
        ASSERT_EQ(receiver.feed(block(1), 0).reply, kNak);
    const auto step = receiver.feed(block(1), 0);
    EXPECT_EQ(step.reply, kCan + kCan);
    EXPECT_EQ(step.outcome, Outcome::TooManyErrors);
}

TEST(ModemSimXmodemFaults, SilentAfterABlockAnswersNothingThenGivesUpWithoutAWord)
{
    XmodemReceiver receiver{kInterval, XmodemFaults{0, 0, 2, 0}};
    receiver.start(0);
    EXPECT_EQ(receiver.feed(block(1), 0).reply, kAck);
    EXPECT_EQ(receiver.feed(block(2), 0).reply, kAck);
    EXPECT_EQ(receiver.feed(block(3) + kEot + kCan + kCan, 0).reply, "");
    XmodemReceiver::Step step;
    Millis now = 0;
    std::string replies;
    for (int i = 0; i < XmodemReceiver::kMaxRetries; ++i) {
        step = receiver.tick(now += kInterval);
        replies += step.reply;
    }
    EXPECT_EQ(replies, "");
    EXPECT_EQ(step.outcome, Outcome::TimedOut);
    EXPECT_EQ(receiver.image(), dataFor(1) + dataFor(2));
}

TEST(ModemSimXmodemFaults, CancelAfterABlockAcknowledgesItThenCancels)
{
    XmodemReceiver receiver{kInterval, XmodemFaults{0, 0, 0, 2}};
    receiver.start(0);
    EXPECT_EQ(receiver.feed(block(1), 0).reply, kAck);
    const auto step = receiver.feed(block(2) + block(3), 0);
    EXPECT_EQ(step.reply, kAck + kCan + kCan);
    EXPECT_EQ(step.outcome, Outcome::Abandoned);
    EXPECT_EQ(step.consumed, XmodemReceiver::kBlockSize);
}

TEST(ModemSimXmodemAsking, AsksOnItsOwnClockUntilTheFirstBlock)
{
    XmodemReceiver receiver{kInterval, {}, XmodemAsking{false, 100}};
    receiver.start(0);
    EXPECT_EQ(receiver.feed("noise", 50).reply, "");
    EXPECT_EQ(receiver.tick(100).reply, kNak);  // whatever arrived meanwhile
    EXPECT_EQ(receiver.tick(230).reply, kNak);
    EXPECT_EQ(receiver.feed(block(1), 250).reply, kAck);
    EXPECT_EQ(receiver.deadline(), 250 + kInterval);
}

}  // namespace
