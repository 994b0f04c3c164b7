#include "transfer/SendSession.h"

// A new announcement is a new attempt: it starts with all its retries, not
// with what an earlier transfer left of them.
void SendSession::Announced()
{
    phase_ = Phase::Announcing;
    maySend_ = false;
    abandoned_ = false;
    retries_ = 0;
    uncounted_ = 0;
    repeats_ = 0;
}

SendSession::ReplyResult SendSession::On_Reply(bool accept)
{
    if (phase_ == Phase::Sending && !accept) {
        Abandon();
        return ReplyResult::Aborted;
    }
    if (phase_ == Phase::Idle && abandoned_ && accept)
        return ReplyResult::Late;
    if (phase_ != Phase::Announcing)
        return ReplyResult::Ignore;
    retries_ = 0;
    uncounted_ = 0;
    if (accept)
        return ReplyResult::Accepted;
    End();
    return ReplyResult::Refused;
}

bool SendSession::Start_Data(std::uint64_t size)
{
    size_ = size;
    plan_ = Packet_Plan(size);
    sent_ = 0;
    maySend_ = plan_.total > 0;
    phase_ = maySend_ ? Phase::Sending : Phase::Idle;
    return maySend_;
}

std::uint64_t SendSession::Take_Next_Frame()
{
    maySend_ = false;
    if (++sent_ == plan_.total)
        retries_ = 0;
    return sent_;
}

SendSession::AckResult SendSession::On_Acknowledgement(std::uint64_t number)
{
    if (Stopped_After_Last() && number == sent_)
        return AckResult::Late;
    if (!Awaiting_Acknowledgement() || number != sent_)
        return AckResult::Ignore;
    uncounted_ = 0;
    if (sent_ == plan_.total) {
        End();
        return AckResult::Last;
    }
    maySend_ = true;
    return AckResult::Next;
}

SendSession::Verdict SendSession::On_Error(bool fileNameCause)
{
    if (phase_ == Phase::Idle && !fileNameCause && abandoned_)
        return Verdict::Refuse;
    const bool expected = fileNameCause ? phase_ == Phase::Announcing : Awaiting_Acknowledgement();
    return expected ? Uncounted_Repeat() : Verdict::Ignore;
}

SendSession::Verdict SendSession::On_Time_Out(bool partial)
{
    if (phase_ != Phase::Announcing && !Awaiting_Acknowledgement())
        return Verdict::Ignore;
    if (partial)
        return Uncounted_Repeat();
    if (retries_ >= kMaxCountedRetries) {
        Abandon();
        return Verdict::GiveUp;
    }
    ++retries_;
    ++repeats_;
    return Verdict::Repeat;
}

SendSession::Verdict SendSession::Uncounted_Repeat()
{
    if (uncounted_ >= kMaxUncountedRepeats) {
        Abandon();
        return Verdict::GiveUp;
    }
    ++uncounted_;
    ++repeats_;
    return Verdict::Repeat;
}

void SendSession::End()
{
    phase_ = Phase::Idle;
    maySend_ = false;
    retries_ = 0;
    abandoned_ = false;
}

void SendSession::Abandon()
{
    if (phase_ != Phase::Idle) {
        stoppedAfterLast_ = phase_ == Phase::Sending && sent_ == plan_.total;
        abandoned_ = true;
    }
    const bool abandoned = abandoned_;
    End();
    abandoned_ = abandoned;
}
