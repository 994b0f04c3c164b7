#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexa::modemsim {

using Millis = std::int64_t;

// XMODEM receiver, checksum variant, 128-byte blocks. Pure: the caller feeds
// bytes and the time, and sends the reply bytes it gets back.
//
// Silence of one NAK interval discards any partial block and sends NAK. The
// receiver gives up (sending CAN CAN) after kMaxWaitNaks NAKs while waiting
// for the first block, or after kMaxRetries consecutive time-outs or bad
// blocks later on; two CANs from the sender cancel at once. An out-of-sequence
// block number means the two sides lost step, so that aborts too.
class XmodemReceiver {
public:
    static constexpr int kMaxWaitNaks = 40;
    static constexpr int kMaxRetries = 10;
    static constexpr std::size_t kBlockSize = 132;
    static constexpr std::size_t kDataSize = 128;

    enum class Outcome { Running, Completed, Cancelled, TimedOut, OutOfSequence, TooManyErrors };

    struct Step {
        std::string reply;
        std::size_t consumed = 0; // input bytes used; the rest is no longer XMODEM
        Outcome outcome = Outcome::Running;
    };

    explicit XmodemReceiver(Millis nakInterval);

    // The first NAK that asks the sender to begin.
    std::string start(Millis now);
    Step feed(std::string_view input, Millis now);
    // Call at or after deadline(); sends NAK or gives up.
    Step tick(Millis now);

    Millis deadline() const { return lastActivity_ + nakInterval_; }
    // All data of the accepted blocks, padding included.
    const std::string& image() const { return image_; }
    std::size_t blocks() const { return blocks_; }

private:
    void handleByte(unsigned char byte, Step& step);
    void checkBlock(Step& step);
    void reject(Step& step);
    void finish(Outcome outcome, std::string_view reply, Step& step);

    Millis nakInterval_;
    Millis lastActivity_ = 0;
    Outcome outcome_ = Outcome::Running;
    std::string block_;
    std::string image_;
    std::size_t blocks_ = 0;
    unsigned char lastNumber_ = 0;
    int failures_ = 0;
    bool sawCan_ = false;
};

const char* describe(XmodemReceiver::Outcome outcome);

} // namespace vexa::modemsim
