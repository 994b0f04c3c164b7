#include "xmodem/XmodemSender.h"

#include "xmodem/XmodemBlock.h"

void XmodemSender::Begin(std::int64_t size)
{
    const auto block = static_cast<std::int64_t>(kXmodemDataSize);
    tail_ = size % block;
    total_ = size / block + (tail_ != 0 ? 1 : 0);
    blockNumber_ = 1;
    counter_ = 1;
    repeats_ = 0;
    rejections_ = 0;
    phase_ = Phase::Started;
}

std::size_t XmodemSender::Next_Data_Size() const
{
    return counter_ == total_ && tail_ != 0 ? static_cast<std::size_t>(tail_) : kXmodemDataSize;
}

void XmodemSender::Next_Sent()
{
    ++blockNumber_;  // an unsigned byte: 255 wraps to 0
    ++counter_;
}

XmodemSender::Step XmodemSender::On_Nak()
{
    if (phase_ == Phase::Waiting)
        return Step::Modem_Ready;
    const bool ending = phase_ == Phase::Ending;
    if (++rejections_ >= kRejectLimit) {
        phase_ = Phase::Waiting;
        return ending ? Step::Eot_Rejected : Step::Block_Rejected;
    }
    if (ending)
        return Step::Repeat_Eot;
    // Before the first ACK too: the modem may have lost or spoilt block 1.
    ++repeats_;
    return Step::Repeat_Block;
}

XmodemSender::Step XmodemSender::On_Ack()
{
    switch (phase_) {
    case Phase::Waiting:
        return Step::Nothing;
    case Phase::Ending:
        phase_ = Phase::Waiting;
        return Step::Finished;
    case Phase::Started:
    case Phase::In_Progress:
        break;
    }
    phase_ = Phase::In_Progress;
    rejections_ = 0;
    if (counter_ - 1 == total_) {
        phase_ = Phase::Ending;
        return Step::Send_Eot;
    }
    return Step::Send_Next;
}

XmodemSender::Step XmodemSender::On_Reply(Modem_Reply reply)
{
    switch (reply) {
    case Modem_Reply::Nak:
        return On_Nak();
    case Modem_Reply::Ack:
        return On_Ack();
    case Modem_Reply::Cancel:
        return Running() ? Step::Cancelled : Step::Nothing;
    case Modem_Reply::None:
        break;
    }
    return Step::Nothing;
}
