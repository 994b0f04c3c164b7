#pragma once
// What the sending side of the file protocol decides, apart from windows,
// files and timers: which answer counts in which state, when to repeat and
// when to give up.
//
// Announcing waits for a reply; sending alternates between may-send (the
// next data frame may leave) and awaiting the acknowledgement of the frame
// just sent. An answer that the present state does not expect changes
// nothing: a reply in the middle of a transfer does not restart it, an error
// frame after the end does not resend an old frame.
//
// Repeats are bounded two ways. A time-out with nothing in the buffer counts
// a retry; the counter is shared by the announcement and the whole data
// phase, and the fourth such time-out gives up. Repeats that this counter
// leaves out (a time-out with a partial answer held, an error frame) are
// capped at ten in a row; an answer that makes progress starts that count
// again. An echoing or noisy line therefore always ends.
//
// A sender that stopped before its file was through (it gave up, was
// cancelled or could not read) counts as abandoned until it announces
// again: an acceptance or a request for its frame arriving then is late, and
// the receiver must be told again that nothing will come. Stopping once the
// last frame was sent leaves the receiver perhaps holding the whole file
// while this side tells its user that it failed; so the last frame has all
// the retries again, and an acknowledgement of it arriving afterwards is
// answered with the refusal too.

#include <cstdint>

#include "transfer/FileFrames.h"

constexpr int kMaxCountedRetries = 3;
constexpr int kMaxUncountedRepeats = 10;

class SendSession {
public:
    enum class Phase { Idle, Announcing, Sending };
    enum class Verdict { Ignore, Repeat, GiveUp, Refuse };
    enum class ReplyResult { Ignore, Accepted, Refused, Aborted, Late };
    enum class AckResult { Ignore, Next, Last, Late };

    Phase State() const { return phase_; }
    bool May_Send() const { return phase_ == Phase::Sending && maySend_; }
    bool Awaiting_Acknowledgement() const { return phase_ == Phase::Sending && !maySend_ && sent_ > 0; }
    std::uint64_t Sent() const { return sent_; }
    std::uint64_t Total() const { return plan_.total; }
    std::uint64_t Size() const { return size_; }
    int Retries() const { return retries_; }
    // Frames and announcements sent again in this transfer.
    std::uint64_t Repeats() const { return repeats_; }

    // The announcement went out.
    void Announced();
    // A reply frame; accept tells RECEIVEOK from RECEIVENO. While sending, a
    // refusal is the receiver's cancel.
    ReplyResult On_Reply(bool accept);
    // The data phase of an accepted file of that size; false for an empty
    // file, which sends nothing and leaves the session idle.
    bool Start_Data(std::uint64_t size);
    // Takes the permission and numbers the next frame: its number.
    std::uint64_t Take_Next_Frame();
    std::uint32_t Next_Length() const { return Data_Length(size_, sent_ + 1); }
    AckResult On_Acknowledgement(std::uint64_t number);
    // FNFN error while announcing, DATASEND error while awaiting an
    // acknowledgement; Refuse for a DATASEND error after this side stopped
    // early.
    Verdict On_Error(bool fileNameCause);
    // The reply or acknowledgement wait ran out; partial tells whether part
    // of an answer was held.
    Verdict On_Time_Out(bool partial);
    // The end of the transfer, or its refusal by the receiver.
    void End();
    // Cancel or failure on this side.
    void Abandon();
    bool Abandoned() const { return abandoned_; }
    // Stopped with every frame sent, so the receiver may have the file.
    bool Stopped_After_Last() const { return abandoned_ && stoppedAfterLast_; }
    // Entering the file-transfer page forgets the retries.
    void Reset_Retries() { retries_ = 0; }

private:
    Verdict Uncounted_Repeat();

    Phase phase_ = Phase::Idle;
    bool maySend_ = false;
    std::uint64_t size_ = 0;
    PacketPlan plan_;
    std::uint64_t sent_ = 0;
    int retries_ = 0;
    int uncounted_ = 0;
    std::uint64_t repeats_ = 0;
    bool abandoned_ = false;
    bool stoppedAfterLast_ = false;
};
