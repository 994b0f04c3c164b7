// The firmware download as the modem drives it: each chunk of the modem's
// bytes goes through the reply scanner into the download's state machine,
// and every step it asks for is taken as the programming page takes it, on
// a firmware file held in memory. A NAK while no download runs starts the
// next one, so one input may carry several downloads of different sizes,
// in each mode by turns.

#include <vector>

#include "fuzz/FuzzSupport.h"
#include "xmodem/ModemReply.h"
#include "xmodem/XmodemBlock.h"
#include "xmodem/XmodemSender.h"

namespace {

// Sizes around the block size, and one whose block numbers wrap past 255.
constexpr std::int64_t kSizes[] = {1, 127, 128, 129, 1000, 256 * 128 + 5, 1025, 1024 * 3 + 897};
constexpr Xmodem_Mode kModes[] = {Xmodem_Mode::Checksum, Xmodem_Mode::Crc, Xmodem_Mode::Crc_1k};

class Download {
public:
    void On_Chunk(const std::uint8_t *bytes, std::size_t count)
    {
        Take(sender_.On_Reply(Scan_Reply(bytes, static_cast<std::uint32_t>(count), canPending_)));
        Check(sender_.Blocks_Sent_Counter() - 1 <= sender_.Block_Total(), "no more blocks go out than the file has");
    }

private:
    using Step = XmodemSender::Step;

    void Take(Step step)
    {
        switch (step) {
        case Step::Nothing: break;
        case Step::Modem_Ready: Begin(); break;
        case Step::Send_Next: Send_Next(); break;
        case Step::Repeat_Block: Check(blocksSent_ > 0, "only a block that went out is repeated"); break;
        case Step::Rebuild_Block:
            // The modem asked for the other check before its first ACK: block 1
            // is read and built again from the file's start.
            Check(blocksSent_ == 1, "only block 1 is built again, and only before an ACK");
            read_ = 0;
            blocksSent_ = 0;
            Send_Next();
            break;
        case Step::Await_Copies:
            Check(blocksSent_ > 0 && sender_.Repeats() > 0, "only a repeated block waits for its copies");
            Take(sender_.Copies_Waited());
            break;
        case Step::Send_Eot:
        case Step::Repeat_Eot: Check(read_ == size_, "the EOT follows the whole file"); break;
        case Step::Finished:
            Check(read_ == size_ && !sender_.Running(), "a finished download sent the whole file");
            break;
        case Step::Block_Rejected:
        case Step::Eot_Rejected:
        case Step::Cancelled: sender_.Stop(); break;
        }
    }

    void Begin()
    {
        const Xmodem_Mode mode = kModes[downloads_ % (sizeof kModes / sizeof kModes[0])];
        size_ = kSizes[downloads_++ % (sizeof kSizes / sizeof kSizes[0])];
        file_.resize(static_cast<std::size_t>(size_));
        for (std::size_t i = 0; i < file_.size(); ++i)
            file_[i] = static_cast<std::uint8_t>(i * 7);
        read_ = 0;
        blocksSent_ = 0;
        sender_.Begin(size_, mode);
        Check(mode == Xmodem_Mode::Crc_1k || sender_.Block_Total() == (size_ + 127) / 128,
              "a file of n bytes takes n/128 blocks, rounded up");
        Send_Next();
    }

    void Send_Next()
    {
        const std::size_t wanted = sender_.Next_Data_Size();
        const std::size_t size = sender_.Next_Block_Size();
        Check(wanted >= 1 && wanted <= size, "a block carries 1 to its size of file bytes");
        Check(size == kXmodemDataSize || (sender_.Mode() == Xmodem_Mode::Crc_1k && wanted > 7 * kXmodemDataSize),
              "a 1024-byte block only when asked for, and only when 128-byte blocks would not be shorter");
        Check(read_ + std::int64_t(wanted) <= size_, "a block never reads past the file's end");
        Check(sender_.Block_Number() == static_cast<std::uint8_t>(sender_.Blocks_Sent_Counter()),
              "the block number is the block's position modulo 256");
        const auto block = Build_Block(sender_.Block_Number(), size, sender_.Mode(), file_.data() + read_, wanted);
        Check(block[0] == (size == kXmodemDataSize ? kSoh : kStx) && std::uint8_t(block[1] + block[2]) == 0xFF,
              "a block has its header");
        read_ += std::int64_t(wanted);
        ++blocksSent_;
        sender_.Next_Sent();
    }

    XmodemSender sender_;
    bool canPending_ = false;
    std::vector<std::uint8_t> file_;
    std::int64_t size_ = 0, read_ = 0, blocksSent_ = 0;
    std::size_t downloads_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    Download download;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) { download.On_Chunk(chunk, length); });
    return 0;
}
