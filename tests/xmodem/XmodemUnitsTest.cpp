// The XMODEM block builder, the sender's decisions and the reply scanner,
// without a window or a port.

#include <gtest/gtest.h>

#include <QByteArrayView>
#include <algorithm>
#include <numeric>
#include <vector>

#include "xmodem/ModemReply.h"
#include "xmodem/XmodemBlock.h"
#include "xmodem/XmodemSender.h"

namespace {

using Step = XmodemSender::Step;

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first)
{
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

int Data_Sum(const XmodemBlockBytes &block) { return std::accumulate(block.begin() + 3, block.begin() + 131, 0) % 256; }

TEST(XmodemBlock, AShortBlockIsPaddedAndThePaddingIsInTheChecksum)
{
    const auto data = Bytes(72, 200);  // the last 72 bytes of a 200-byte file
    const XmodemBlockBytes block = Build_Xmodem_Block(2, data.data(), data.size());
    EXPECT_EQ(block[0], 0x01);
    EXPECT_EQ(block[1], 2);
    EXPECT_EQ(block[2], 253);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), block.begin() + 3));
    EXPECT_TRUE(std::all_of(block.begin() + 3 + 72, block.begin() + 131, [](std::uint8_t b) { return b == 0x1A; }));
    EXPECT_EQ(block[131], Data_Sum(block));
    const int fileBytes = std::accumulate(data.begin(), data.end(), 0);
    EXPECT_EQ(block[131], (fileBytes + 56 * 0x1A) % 256);
}

TEST(XmodemBlock, AFullBlockCarriesNoPaddingAndNumbersWrap)
{
    const auto data = Bytes(128, 0x80);
    const XmodemBlockBytes zero = Build_Xmodem_Block(0, data.data(), data.size());
    EXPECT_EQ(zero[1], 0x00);
    EXPECT_EQ(zero[2], 0xFF);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), zero.begin() + 3));
    EXPECT_EQ(zero[131], Data_Sum(zero));
    const XmodemBlockBytes last = Build_Xmodem_Block(255, data.data(), data.size());
    EXPECT_EQ(last[1], 0xFF);
    EXPECT_EQ(last[2], 0x00);
    EXPECT_EQ(Xmodem_Crc16(reinterpret_cast<const std::uint8_t *>("123456789"), 9), 0x31C3);
}

// Sends every block the sender asks for and acknowledges it; returns the
// numbers and data sizes it asked for.
std::vector<std::pair<int, std::size_t>> Run_Download(XmodemSender &sender, std::int64_t size)
{
    std::vector<std::pair<int, std::size_t>> sent;
    sender.Begin(size);
    Step step = Step::Send_Next;
    while (step == Step::Send_Next) {
        sent.emplace_back(sender.Block_Number(), sender.Next_Data_Size());
        sender.Next_Sent();
        step = sender.On_Ack();
    }
    EXPECT_EQ(step, Step::Send_Eot);
    EXPECT_EQ(sender.On_Ack(), Step::Finished);
    EXPECT_FALSE(sender.Running());
    return sent;
}

TEST(XmodemSender, BlockCountsAndTheTailFollowTheFileSize)
{
    XmodemSender sender;
    using Sent = std::vector<std::pair<int, std::size_t>>;
    EXPECT_EQ(Run_Download(sender, 1), (Sent{{1, 1}}));
    EXPECT_EQ(Run_Download(sender, 128), (Sent{{1, 128}}));
    EXPECT_EQ(Run_Download(sender, 129), (Sent{{1, 128}, {2, 1}}));
    EXPECT_EQ(Run_Download(sender, 200), (Sent{{1, 128}, {2, 72}}));
    EXPECT_EQ(sender.Block_Total(), 2);
    EXPECT_EQ(Run_Download(sender, 256), (Sent{{1, 128}, {2, 128}}));

    const Sent many = Run_Download(sender, 300 * 128 - 5);
    ASSERT_EQ(many.size(), 300u);
    EXPECT_EQ(many[254].first, 255);
    EXPECT_EQ(many[255].first, 0);  // the 256th block
    EXPECT_EQ(many[256].first, 1);
    EXPECT_EQ(many[299].second, 123u);
    EXPECT_EQ(sender.Repeats(), 0);
    // 1024-byte blocks while more than seven 128-byte blocks are left.
    for (const auto &[size, total] : {std::pair(896, 7), std::pair(897, 1), std::pair(1025, 2), std::pair(40000, 40)}) {
        sender.Begin(size, Xmodem_Mode::Crc_1k);
        EXPECT_EQ(sender.Block_Total(), total) << size;
    }
}

// A NAK that crossed block 1 gets a copy the modem did not ask for; each
// copy is acknowledged, and the second ACK must not move the download on.
TEST(XmodemSender, TheSecondAckOfARepeatedBlockIsNotCreditedToTheNext)
{
    XmodemSender sender;
    EXPECT_EQ(sender.On_Nak(), Step::Modem_Ready);
    EXPECT_EQ(sender.On_Ack(), Step::Nothing);
    sender.Begin(300);
    sender.Next_Sent();
    EXPECT_EQ(sender.On_Nak(), Step::Repeat_Block);
    EXPECT_EQ(sender.Repeats(), 1);
    EXPECT_EQ(sender.On_Ack(), Step::Await_Copies);
    EXPECT_EQ(sender.On_Ack(), Step::Send_Next);
    EXPECT_EQ(sender.Block_Number(), 2);
    sender.Next_Sent();
    EXPECT_EQ(sender.On_Nak(), Step::Repeat_Block);
    EXPECT_EQ(sender.On_Reply({Modem_Reply::Ack, 2, 1}), Step::Send_Next);  // both answers in one chunk
    sender.Next_Sent();
    EXPECT_EQ(sender.On_Nak(), Step::Repeat_Block);  // the modem's own rejection: no second answer
    EXPECT_EQ(sender.On_Ack(), Step::Await_Copies);
    EXPECT_EQ(sender.Copies_Waited(), Step::Send_Eot);
    EXPECT_EQ(sender.On_Ack(), Step::Finished);
}

TEST(XmodemSender, TheSameBlockRejectedTenTimesInARowEndsTheDownload)
{
    XmodemSender sender;
    sender.Begin(1000);
    sender.Next_Sent();
    // Rejections before an ACK do not count against the next block.
    for (int i = 1; i < XmodemSender::kRejectLimit; ++i)
        ASSERT_EQ(sender.On_Nak(), Step::Repeat_Block);
    ASSERT_EQ(sender.On_Ack(), Step::Await_Copies);
    ASSERT_EQ(sender.Copies_Waited(), Step::Send_Next);
    sender.Next_Sent();
    for (int i = 1; i < XmodemSender::kRejectLimit; ++i)
        ASSERT_EQ(sender.On_Nak(), Step::Repeat_Block) << i;
    EXPECT_EQ(sender.On_Nak(), Step::Block_Rejected);
    EXPECT_FALSE(sender.Running());
    EXPECT_EQ(sender.Repeats(), 2 * (XmodemSender::kRejectLimit - 1));
}

TEST(XmodemSender, ARejectedEotIsSentAgainUpToTheLimit)
{
    XmodemSender sender;
    sender.Begin(10);
    sender.Next_Sent();
    ASSERT_EQ(sender.On_Ack(), Step::Send_Eot);
    EXPECT_EQ(sender.phase(), XmodemSender::Phase::Ending);
    for (int i = 1; i < XmodemSender::kRejectLimit; ++i)
        ASSERT_EQ(sender.On_Nak(), Step::Repeat_Eot);
    EXPECT_EQ(sender.On_Nak(), Step::Eot_Rejected);
    EXPECT_FALSE(sender.Running());
    EXPECT_EQ(sender.Repeats(), 0);  // EOT is no block
}

Modem_Answer Answer(const QByteArrayView bytes, bool &can)
{
    return Scan_Reply(reinterpret_cast<const std::uint8_t *>(bytes.data()), static_cast<std::uint32_t>(bytes.size()),
                      can);
}

Modem_Reply Scan(const QByteArrayView bytes, bool &can) { return Answer(bytes, can).reply; }

TEST(ModemReply, AckWinsOverNakAndOtherBytesAreNoise)
{
    bool can = false;
    EXPECT_EQ(Scan("\x15\x06", can), Modem_Reply::Ack);
    EXPECT_EQ(Scan("\x06\x15", can), Modem_Reply::Ack);
    EXPECT_EQ(Scan("C\x15\x04", can), Modem_Reply::Nak);
    EXPECT_EQ(Scan("\r\nOK\r\nC\x04\x01\x1A", can), Modem_Reply::None);
    EXPECT_EQ(Scan("", can), Modem_Reply::None);
    EXPECT_EQ(Scan("C", can), Modem_Reply::Crc_Request);
    EXPECT_EQ(Scan("CC\x18", can), Modem_Reply::Crc_Request);
    EXPECT_EQ(Scan("+CREG: 1\r\n", can), Modem_Reply::None);
    const Modem_Answer answer = Answer("\x15\x06\x06\x15", can);
    EXPECT_EQ(answer.answers, 2);
    EXPECT_EQ(answer.after_ack, 1);
}

TEST(ModemReply, TwoCansInARowCancelEvenAcrossChunks)
{
    bool can = false;
    EXPECT_EQ(Scan("\x18"
                   "A\x06\x18",
                   can),
              Modem_Reply::Ack);  // single CANs are noise
    EXPECT_TRUE(can);
    EXPECT_EQ(Scan("\x18", can), Modem_Reply::Cancel);
    can = false;
    EXPECT_EQ(Scan("\x06\x18\x18\x08\x08", can), Modem_Reply::Cancel);
    EXPECT_FALSE(can);
    EXPECT_EQ(Scan("\x18\x15", can), Modem_Reply::Nak);
    EXPECT_FALSE(can);
}

TEST(XmodemSender, ACancelEndsOnlyARunningDownloadAndNoiseChangesNothing)
{
    XmodemSender sender;
    EXPECT_EQ(sender.On_Reply({Modem_Reply::Cancel}), XmodemSender::Step::Nothing);
    EXPECT_EQ(sender.On_Nak(), XmodemSender::Step::Modem_Ready);
    sender.Begin(300);
    sender.Next_Sent();
    EXPECT_EQ(sender.On_Reply({Modem_Reply::None}), XmodemSender::Step::Nothing);
    EXPECT_EQ(sender.On_Ack(), XmodemSender::Step::Send_Next);
    EXPECT_EQ(sender.On_Reply({Modem_Reply::Cancel}), XmodemSender::Step::Cancelled);
}

}  // namespace
