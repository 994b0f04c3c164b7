#include "xmodem_receiver.h"

#include <algorithm>

namespace vexa::modemsim {

namespace {
constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr char kCrcRequest = 'C';
constexpr std::string_view kAbort = "\x18\x18";

unsigned char checksum(std::string_view data)
{
    unsigned sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    return static_cast<unsigned char>(sum);
}

// CRC-16 of XMODEM: polynomial 0x1021, initial value 0.
unsigned crc16(std::string_view data)
{
    unsigned crc = 0;
    for (char c : data) {
        crc ^= static_cast<unsigned>(static_cast<unsigned char>(c)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1) & 0xFFFF;
    }
    return crc;
}
}  // namespace

XmodemReceiver::XmodemReceiver(Millis nakInterval, XmodemFaults faults, XmodemAsking asking)
    : nakInterval_(nakInterval), faults_(faults), asking_(asking), crc_(asking.crc)
{
    block_.reserve(3 + kLongDataSize + 2);
}

std::string XmodemReceiver::start(Millis now)
{
    lastActivity_ = now;
    nextAsk_ = now + asking_.period;
    return std::string(1, request());
}

char XmodemReceiver::request()
{
    if (crc_ && blocks_ == 0 && asking_.fallbackAfter > 0 && crcAsked_ >= asking_.fallbackAfter)
        crc_ = false;
    if (!crc_ || blocks_ > 0)
        return kNak;
    ++crcAsked_;
    return kCrcRequest;
}

std::string XmodemReceiver::startNext(Millis now, Millis wait)
{
    firstBlockBy_ = now + wait;
    return start(now);
}

Millis XmodemReceiver::deadline() const
{
    if (purging_)
        return lastActivity_ + asking_.purge;
    Millis next = lastActivity_ + nakInterval_;
    if (firstBlockBy_ > 0 && blocks_ == 0)
        next = std::min(next, firstBlockBy_);
    return asking() ? std::min(next, nextAsk_) : next;
}

XmodemReceiver::Step XmodemReceiver::feed(std::string_view input, Millis now)
{
    Step step;
    if (!input.empty())
        lastActivity_ = now;
    while (step.consumed < input.size() && outcome_ == Outcome::Running && !purging_)
        handleByte(static_cast<unsigned char>(input[step.consumed++]), step);
    if (purging_)
        step.consumed = input.size();  // dropped while the line falls quiet
    step.outcome = outcome_;
    return step;
}

XmodemReceiver::Step XmodemReceiver::tick(Millis now)
{
    Step step;
    if (outcome_ == Outcome::Running && purging_) {
        if (now >= lastActivity_ + asking_.purge) {
            purging_ = false;
            step.reply.push_back(request());
        }
    } else if (outcome_ == Outcome::Running && firstBlockBy_ > 0 && blocks_ == 0 && now >= firstBlockBy_) {
        finish(Outcome::NoNextImage, {}, step);
    } else if (outcome_ == Outcome::Running && now >= lastActivity_ + nakInterval_) {
        lastActivity_ = now;
        block_.clear();
        const int limit = blocks_ == 0 ? kMaxWaitNaks : kMaxRetries;
        if (++failures_ >= limit)
            finish(Outcome::TimedOut, mute_ ? std::string_view() : kAbort, step);
        else if (!mute_)
            step.reply.push_back(request());
    } else if (outcome_ == Outcome::Running && asking() && now >= nextAsk_ && block_.empty()) {
        step.reply.push_back(request());
    }
    while (asking() && nextAsk_ <= now)
        nextAsk_ += asking_.period;
    step.outcome = outcome_;
    return step;
}

void XmodemReceiver::handleByte(unsigned char byte, Step &step)
{
    if (mute_)
        return;
    if (!block_.empty()) {
        block_.push_back(static_cast<char>(byte));
        if (block_.size() == blockSize_)
            checkBlock(step);
        return;
    }
    const bool secondCan = sawCan_ && byte == kCan;
    sawCan_ = byte == kCan;
    if (byte == kSoh || (crc_ && byte == kStx)) {
        blockSize_ = 3 + (byte == kStx ? kLongDataSize : kDataSize) + (crc_ ? 2 : 1);
        block_.push_back(static_cast<char>(byte));
    } else if (byte == kEot) {
        finish(Outcome::Completed, std::string_view(&kAck, 1), step);
    } else if (secondCan) {
        finish(Outcome::Cancelled, {}, step);
    } else if (byte != kCan) {
        // Line noise, or the rest of a spoilt block: a careful receiver lets
        // the line fall quiet and asks again; otherwise its time-out recovers.
        purging_ = asking_.purge > 0 && blocks_ > 0;
    }
}

void XmodemReceiver::checkBlock(Step &step)
{
    const auto number = static_cast<unsigned char>(block_[1]);
    const auto complement = static_cast<unsigned char>(block_[2]);
    const std::size_t checkSize = crc_ ? 2 : 1;
    const std::string_view data = std::string_view(block_).substr(3, blockSize_ - 3 - checkSize);
    const auto last = [this](std::size_t back) { return static_cast<unsigned char>(block_[blockSize_ - back]); };
    const unsigned check = crc_ ? (last(2) << 8) | last(1) : last(1);
    const bool intact = number + complement == 0xFF && check == (crc_ ? crc16(data) : checksum(data));
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

void XmodemReceiver::accept(std::string_view data, unsigned char number, Step &step)
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

void XmodemReceiver::reject(Step &step)
{
    if (++failures_ >= kMaxRetries)
        finish(Outcome::TooManyErrors, kAbort, step);
    else if (asking_.purge > 0)
        purging_ = true;
    else
        step.reply.push_back(request());
}

void XmodemReceiver::finish(Outcome outcome, std::string_view reply, Step &step)
{
    outcome_ = outcome;
    step.reply.append(reply);
}

const char *describe(XmodemReceiver::Outcome outcome)
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

}  // namespace vexa::modemsim
