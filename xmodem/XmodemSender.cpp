#include "xmodem/XmodemSender.h"

#include <algorithm>

void XmodemSender::Begin(std::int64_t size, Xmodem_Mode mode)
{
    size_ = size;
    crcMode_ = mode != Xmodem_Mode::Checksum ? mode : Xmodem_Mode::Crc;
    Plan(mode);
    repeats_ = 0;
    rejections_ = 0;
    copies_ = 0;
    rebuilt_ = false;
    longStart_ = false;
    phase_ = Phase::Started;
}

// Block 1 is next, in the mode's block sizes.
void XmodemSender::Plan(Xmodem_Mode mode)
{
    const auto small = static_cast<std::int64_t>(kXmodemDataSize);
    const auto large = static_cast<std::int64_t>(kXmodem1kDataSize);
    std::int64_t longBlocks = 0, rest = size_;
    if (mode == Xmodem_Mode::Crc_1k) {
        longBlocks = size_ / large + (size_ % large > kLongBlockAbove ? 1 : 0);
        rest = std::max<std::int64_t>(0, size_ - longBlocks * large);
    }
    mode_ = mode;
    total_ = longBlocks + (rest + small - 1) / small;
    remaining_ = size_;
    blockNumber_ = 1;
    counter_ = 1;
}

std::size_t XmodemSender::Next_Block_Size() const
{
    return mode_ == Xmodem_Mode::Crc_1k && remaining_ > kLongBlockAbove ? kXmodem1kDataSize : kXmodemDataSize;
}

std::size_t XmodemSender::Next_Data_Size() const
{
    return static_cast<std::size_t>(std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(Next_Block_Size())));
}

void XmodemSender::Next_Sent()
{
    longStart_ = longStart_ || (counter_ == 1 && Next_Block_Size() == kXmodem1kDataSize);
    remaining_ -= static_cast<std::int64_t>(Next_Data_Size());
    ++blockNumber_;  // an unsigned byte: 255 wraps to 0
    ++counter_;
    copies_ = rebuilt_ ? copies_ + 1 : 1;
    rebuilt_ = false;
}

XmodemSender::Step XmodemSender::On_Reply(Modem_Answer answer)
{
    switch (answer.reply) {
    case Modem_Reply::None: return Step::Nothing;
    case Modem_Reply::Cancel: return Running() ? Step::Cancelled : Step::Nothing;
    case Modem_Reply::Ack:
    case Modem_Reply::Nak:
    case Modem_Reply::Crc_Request: break;
    }
    const bool ack = answer.reply == Modem_Reply::Ack;
    switch (phase_) {
    case Phase::Waiting:
        if (ack)
            return Step::Nothing;
        crcAsked_ = answer.reply == Modem_Reply::Crc_Request;
        return Step::Modem_Ready;
    case Phase::Confirming:
        // Copies queued on a slow line are answered a block's time apart:
        // each answer starts the wait for the next one again.
        unanswered_ -= answer.answers;
        if (unanswered_ <= 0)
            return Go_On(deferred_);
        return answer.answers > 0 ? Step::Await_Copies : Step::Nothing;
    case Phase::Ending:
        if (ack) {
            phase_ = Phase::Waiting;
            return Step::Finished;
        }
        break;
    case Phase::Started:
    case Phase::In_Progress:
        if (ack)
            return Acknowledged(answer);
        break;
    }
    if (phase_ == Phase::Started)
        return Follow_Request(answer.reply == Modem_Reply::Crc_Request);
    // Once a block is in, every receiver rejects with NAK.
    if (answer.reply == Modem_Reply::Crc_Request)
        return Step::Nothing;
    return Rejected();
}

// Before its first ACK the modem asks for block 1 again, with 'C' or NAK; a
// request for the other check (a receiver that fell back to NAK, or one whose
// 'C' follows a noise byte taken for a NAK) gets block 1 in that check. A
// change counts as a rejection, so that requests that keep changing end too.
XmodemSender::Step XmodemSender::Follow_Request(bool crc)
{
    crcAsked_ = crc;
    if (crc == (mode_ != Xmodem_Mode::Checksum) || (crc && longStart_))
        return Rejected();
    if (++rejections_ >= kRejectLimit) {
        phase_ = Phase::Waiting;
        return Step::Block_Rejected;
    }
    ++repeats_;
    Plan(crc ? crcMode_ : Xmodem_Mode::Checksum);
    rebuilt_ = true;
    return Step::Rebuild_Block;
}

XmodemSender::Step XmodemSender::Acknowledged(const Modem_Answer &answer)
{
    phase_ = Phase::In_Progress;
    rejections_ = 0;
    const Step next = counter_ - 1 == total_ ? Step::Send_Eot : Step::Send_Next;
    unanswered_ = copies_ - 1 - answer.after_ack;
    if (unanswered_ <= 0)
        return Go_On(next);
    phase_ = Phase::Confirming;
    deferred_ = next;
    return Step::Await_Copies;
}

XmodemSender::Step XmodemSender::Copies_Waited()
{
    return phase_ == Phase::Confirming ? Go_On(deferred_) : Step::Nothing;
}

XmodemSender::Step XmodemSender::Go_On(Step next)
{
    phase_ = next == Step::Send_Eot ? Phase::Ending : Phase::In_Progress;
    return next;
}

XmodemSender::Step XmodemSender::Rejected()
{
    const bool ending = phase_ == Phase::Ending;
    if (++rejections_ >= kRejectLimit) {
        phase_ = Phase::Waiting;
        return ending ? Step::Eot_Rejected : Step::Block_Rejected;
    }
    if (ending)
        return Step::Repeat_Eot;
    // Before the first ACK too: the modem may have lost or spoilt block 1.
    ++repeats_;
    ++copies_;
    return Step::Repeat_Block;
}
