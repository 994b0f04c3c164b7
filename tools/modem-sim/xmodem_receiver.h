#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::modemsim {

using Millis = std::int64_t;

// Faults a test can ask for, counted in blocks of one image (1 is the first
// block; 0 leaves the fault off).
struct XmodemFaults {
    std::size_t rejectBlock = 0;  // NAK this intact block ...
    int rejectTimes = 0;          // ... this many times
    std::size_t silentAfter = 0;  // after ACKing this block, answer nothing
    std::size_t cancelAfter = 0;  // ACK this block, then send CAN CAN
};

// How the receiver asks for an image: with NAK for checksum blocks of 128
// data bytes, or with 'C' for CRC-16 blocks of 128 (SOH) or 1024 (STX); and,
// while it waits for the first block, again every `period` on a clock of its
// own, whatever arrives meanwhile, as real receivers do (0: only when its
// time-out ends a silence). Some bootloaders ask 'C' a few times and then
// fall back to NAK and checksum blocks (fallbackAfter; 0: never). A careful
// receiver answers a bad block, or a byte where a block should begin, only
// once the line has been quiet for `purge`, so that the rest of a spoilt
// transmission is not read as blocks or an EOT (0: at once).
struct XmodemAsking {
    bool crc = false;
    Millis period = 0;
    int fallbackAfter = 0;
    Millis purge = 0;
};

// XMODEM receiver, checksum or CRC variant. Pure: the caller feeds bytes and
// the time, and sends the reply bytes it gets back.
//
// Silence of one NAK interval discards any partial block and sends NAK. The
// receiver gives up (sending CAN CAN) after kMaxWaitNaks NAKs while waiting
// for the first block, or after kMaxRetries consecutive time-outs or bad
// blocks later on; two CANs from the sender cancel at once. A CRC receiver
// asks again with 'C' until it holds the first block, then rejects with NAK. An out-of-sequence
// block number means the two sides lost step, so that aborts too. A receiver
// made for the next image of a group (startNext) gives up quietly when no
// first block comes within its wait. A muted receiver (silent-after) answers
// nothing and gives up without a word after kMaxRetries silent intervals.
class XmodemReceiver {
public:
    static constexpr int kMaxWaitNaks = 40;
    static constexpr int kMaxRetries = 10;
    static constexpr std::size_t kBlockSize = 132;
    static constexpr std::size_t kDataSize = 128;
    static constexpr std::size_t kLongDataSize = 1024;

    enum class Outcome {
        Running,
        Completed,
        Cancelled,
        TimedOut,
        OutOfSequence,
        TooManyErrors,
        NoNextImage,  // startNext's wait ended without a first block
        Abandoned,    // the cancel-after fault
    };

    struct Step {
        std::string reply;
        std::size_t consumed = 0;  // input bytes used; the rest is no longer XMODEM
        Outcome outcome = Outcome::Running;
    };

    explicit XmodemReceiver(Millis nakInterval, XmodemFaults faults = {}, XmodemAsking asking = {});

    // The first NAK that asks the sender to begin.
    std::string start(Millis now);
    // The same, for the next image of a group: waits at most `wait` for its
    // first block.
    std::string startNext(Millis now, Millis wait);
    Step feed(std::string_view input, Millis now);
    // Call at or after deadline(); sends NAK or gives up.
    Step tick(Millis now);

    Millis deadline() const;
    // Back at the line after work of its own (storing a block): the silence
    // it waits out starts again.
    void resume(Millis now) { lastActivity_ = now; }
    Outcome outcome() const { return outcome_; }
    // All data of the accepted blocks, padding included.
    const std::string &image() const { return image_; }
    std::size_t blocks() const { return blocks_; }

private:
    void handleByte(unsigned char byte, Step &step);
    void checkBlock(Step &step);
    void accept(std::string_view data, unsigned char number, Step &step);
    void reject(Step &step);
    void finish(Outcome outcome, std::string_view reply, Step &step);
    char request();
    bool asking() const { return asking_.period > 0 && blocks_ == 0; }

    Millis nakInterval_;
    XmodemFaults faults_;
    XmodemAsking asking_;
    bool crc_;          // the check it takes now
    int crcAsked_ = 0;  // 'C' requests so far
    Millis lastActivity_ = 0;
    Millis nextAsk_ = 0;
    Millis firstBlockBy_ = 0;  // 0: no limit
    int rejected_ = 0;         // by the reject fault
    bool mute_ = false;        // by the silent-after fault
    Outcome outcome_ = Outcome::Running;
    std::string block_;
    std::size_t blockSize_ = 0;  // of the block begun, header and check included
    std::string image_;
    std::size_t blocks_ = 0;
    unsigned char lastNumber_ = 0;
    int failures_ = 0;
    bool sawCan_ = false;
    bool purging_ = false;
};

const char *describe(XmodemReceiver::Outcome outcome);

}  // namespace vexa::modemsim
