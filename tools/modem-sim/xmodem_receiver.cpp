#include "xmodem_receiver.h"

#include <algorithm>

namespace vexa::modemsim {

namespace {
constexpr char kSoh = 0x01;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr std::string_view kAbort = "\x18\x18";

unsigned char checksum(std::string_view data)
{
    unsigned sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    return static_cast<unsigned char>(sum);
}
} // namespace

XmodemReceiver::XmodemReceiver(Millis nakInterval, XmodemFaults faults)
    : nakInterval_(nakInterval), faults_(faults)
{
    block_.reserve(kBlockSize);
}

std::string XmodemReceiver::start(Millis now)
{
    lastActivity_ = now;
    return std::string(1, kNak);
}

std::string XmodemReceiver::startNext(Millis now, Millis wait)
{
    firstBlockBy_ = now + wait;
    return start(now);
}

Millis XmodemReceiver::deadline() const
{
    const Millis nak = lastActivity_ + nakInterval_;
    return firstBlockBy_ > 0 && blocks_ == 0 ? std::min(nak, firstBlockBy_) : nak;
}

XmodemReceiver::Step XmodemReceiver::feed(std::string_view input, Millis now)
{
    Step step;
    if (!input.empty())
        lastActivity_ = now;
    while (step.consumed < input.size() && outcome_ == Outcome::Running)
        handleByte(static_cast<unsigned char>(input[step.consumed++]), step);
    step.outcome = outcome_;
    return step;
}

XmodemReceiver::Step XmodemReceiver::tick(Millis now)
{
    Step step;
    if (outcome_ == Outcome::Running && firstBlockBy_ > 0 && blocks_ == 0 && now >= firstBlockBy_) {
        finish(Outcome::NoNextImage, {}, step);
    } else if (outcome_ == Outcome::Running && now >= deadline()) {
        lastActivity_ = now;
        block_.clear();
        const int limit = blocks_ == 0 ? kMaxWaitNaks : kMaxRetries;
        if (++failures_ >= limit)
            finish(Outcome::TimedOut, mute_ ? std::string_view() : kAbort, step);
        else if (!mute_)
            step.reply.push_back(kNak);
    }
    step.outcome = outcome_;
    return step;
}

void XmodemReceiver::handleByte(unsigned char byte, Step& step)
{
    if (mute_)
        return;
    if (!block_.empty()) {
        block_.push_back(static_cast<char>(byte));
        if (block_.size() == kBlockSize)
            checkBlock(step);
        return;
    }
    const bool secondCan = sawCan_ && byte == kCan;
    sawCan_ = byte == kCan;
    if (byte == kSoh)
        block_.push_back(static_cast<char>(byte));
    else if (byte == kEot)
        finish(Outcome::Completed, std::string_view(&kAck, 1), step);
    else if (secondCan)
        finish(Outcome::Cancelled, {}, step);
    // Anything else between blocks is line noise; the time-out recovers.
}

void XmodemReceiver::checkBlock(Step& step)
{
    const auto number = static_cast<unsigned char>(block_[1]);
    const auto complement = static_cast<unsigned char>(block_[2]);
    const std::string_view data = std::string_view(block_).substr(3, kDataSize);
    const bool intact = number + complement == 0xFF &&
                        checksum(data) == static_cast<unsigned char>(block_[kBlockSize - 1]);
    if (!intact) {
        reject(step);
    } else if (blocks_ > 0 && number == lastNumber_) {
        // Our ACK got lost and the sender repeats the block: keep one copy.
        step.reply.push_back(kAck);
    } else if (number == static_cast<unsigned char>(lastNumber_ + 1)) {
        accept(data, number, step);
    } else {
        finish(Outcome::OutOfSequence, kAbort, step);
    }
    block_.clear();
}

void XmodemReceiver::accept(std::string_view data, unsigned char number, Step& step)
{
    const std::size_t position = blocks_ + 1;
    if (position == faults_.rejectBlock && rejected_ < faults_.rejectTimes) {
        ++rejected_;
        reject(step);
        return;
    }
    image_.append(data);
    ++blocks_;
    lastNumber_ = number;
    failures_ = 0;
    step.reply.push_back(kAck);
    if (position == faults_.cancelAfter)
        finish(Outcome::Abandoned, kAbort, step);
    mute_ = position == faults_.silentAfter;
}

void XmodemReceiver::reject(Step& step)
{
    if (++failures_ >= kMaxRetries)
        finish(Outcome::TooManyErrors, kAbort, step);
    else
        step.reply.push_back(kNak);
}

void XmodemReceiver::finish(Outcome outcome, std::string_view reply, Step& step)
{
    outcome_ = outcome;
    step.reply.append(reply);
}

const char* describe(XmodemReceiver::Outcome outcome)
{
    switch (outcome) {
    case XmodemReceiver::Outcome::Running: return "running";
    case XmodemReceiver::Outcome::Completed: return "completed";
    case XmodemReceiver::Outcome::Cancelled: return "cancelled by the sender";
    case XmodemReceiver::Outcome::TimedOut: return "timed out";
    case XmodemReceiver::Outcome::OutOfSequence: return "aborted: block out of sequence";
    case XmodemReceiver::Outcome::TooManyErrors: return "aborted: too many bad blocks";
    case XmodemReceiver::Outcome::NoNextImage: return "ended: no further image";
    case XmodemReceiver::Outcome::Abandoned: return "abandoned on purpose (cancel-after)";
    }
    return "unknown";
}

} // namespace vexa::modemsim
