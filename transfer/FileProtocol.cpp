// The file protocol's receive branch: received bytes become frames, each
// complete frame goes to the side that expects its kind, and a begun frame
// that turns out broken, or does not finish in time, is answered at once so
// that the other side repeats it without waiting out its interval.

#include <climits>
#include <cstring>

#include "platform/Clock.h"
#include "serial/Link.h"
#include "transfer/FileTransfer.h"
#include "serial/PortErrors.h"

class FileTransfer::Router : public FrameParser::Listener {
public:
    explicit Router(FileTransfer &transfer) : transfer_(transfer) {}
    void Frame_Begun(FrameKind kind) override { transfer_.On_File_Frame_Begun(kind); }
    void Frame_Dropped(FrameKind kind) override { transfer_.On_File_Frame_Dropped(kind); }
    void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) override
    {
        transfer_.On_File_Frame(kind, frame, length);
    }

private:
    FileTransfer &transfer_;
};

namespace {

// A frame short of its length whose held bytes end with its end token is
// taken for one that lost bytes on the line once nothing more came for this
// long; data that merely holds the token goes on arriving within it.
constexpr int kShortFrameQuietMs = 500;

bool Timed_Kind(FrameKind kind) { return kind == FrameKind::Announcement || kind == FrameKind::Data; }

bool Body_Is(const std::uint8_t *frame, const char *body)
{
    return std::memcmp(frame + kBodyOffset, body, std::strlen(body)) == 0;
}

}  // namespace

void FileTransfer::Parse_File_Frames(const std::uint8_t *bytes, std::uint32_t count)
{
    State.Heard = State.Heard || count > 0;
    Router router(*this);
    State.Parser.Feed(bytes, count, router);
    if (State.Parser.Ends_Short())
        TimerShortFrame->Start(std::min(kShortFrameQuietMs, Frame_Receive_Interval));
    else
        TimerShortFrame->Stop();
}

void FileTransfer::TimerShortFrameTimer()
{
    TimerShortFrame->Stop();
    if (!State.Parser.Ends_Short())
        return;
    Router router(*this);
    State.Parser.Drop_Open(router);
}

// A sender sends no reply frame but its refusal: a reply frame reaching a
// side that receives, whole or broken, is the sender stopping.
bool FileTransfer::Refusal_Expected() const
{
    return State.Sender.State() == SendSession::Phase::Idle && State.Receiver.Busy();
}

void FileTransfer::On_File_Frame_Begun(FrameKind kind)
{
    if (Timed_Kind(kind) || (kind == FrameKind::Reply && Refusal_Expected()))
        TimerReceiveAll->Start(Frame_Receive_Interval);
    if (kind == FrameKind::Data && State.Receiver.State() == ReceiveSession::Phase::Receiving)
        TimerReceiveWait->Start(Receive_Wait_Ms());
}

// A broken announcement or data frame is asked for again; a broken answer
// to a waiting sender makes it repeat as an error frame would.
void FileTransfer::On_File_Frame_Dropped(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Announcement:
        TimerReceiveAll->Stop();
        Send_File_Frame(Error_Frame(kErrorFileName), kGreen);
        break;
    case FrameKind::Data:
        TimerReceiveAll->Stop();
        Answer_Broken_Data();
        break;
    case FrameKind::Reply:
        if (Refusal_Expected()) {
            TimerReceiveAll->Stop();
            On_Sender_Cancel();
        }
        On_Error_Frame(State.Sender.State() == SendSession::Phase::Announcing);
        break;
    case FrameKind::Acknowledgement:
    case FrameKind::Error: On_Error_Frame(State.Sender.State() == SendSession::Phase::Announcing); break;
    case FrameKind::None: break;
    }
}

void FileTransfer::On_File_Frame(FrameKind kind, const std::uint8_t *frame, std::uint32_t length)
{
    if (Timed_Kind(kind))
        TimerReceiveAll->Stop();
    switch (kind) {
    case FrameKind::Announcement: On_Announcement(frame); break;
    case FrameKind::Reply:
        TimerReceiveAll->Stop();
        if (Body_Is(frame, kReceiveOk) || Body_Is(frame, kReceiveNo))
            On_Reply(Body_Is(frame, kReceiveOk));
        else if (Refusal_Expected())
            On_Sender_Cancel();
        break;
    case FrameKind::Data: On_Data_Frame(frame, length); break;
    case FrameKind::Acknowledgement: On_Acknowledgement(frame); break;
    case FrameKind::Error:
        if (Body_Is(frame, kErrorFileName) || Body_Is(frame, kErrorDataSend))
            On_Error_Frame(Body_Is(frame, kErrorFileName));
        break;
    case FrameKind::None: break;
    }
}

// An announcement or data frame that began and did not finish in time: the
// sender is asked to send it again. A reply that did not finish is dropped
// as broken.
void FileTransfer::TimerReceiveAllTimer()
{
    TimerReceiveAll->Stop();
    const FrameKind open = State.Parser.Open_Kind();
    if (open == FrameKind::Reply) {
        Router router(*this);
        State.Parser.Drop_Open(router);
        return;
    }
    if (!Timed_Kind(open))
        return;
    State.Parser.Clear();
    if (open == FrameKind::Announcement)
        Send_File_Frame(Error_Frame(kErrorFileName), kGreen);
    else
        Answer_Broken_Data();
}

// A receive that was given up refuses a data frame even when the frame never
// finished: asking for it again would keep going a sender this side gave up.
void FileTransfer::Answer_Broken_Data()
{
    switch (State.Receiver.On_Broken_Data()) {
    case ReceiveSession::DataAction::Ask_Again: Send_File_Frame(Error_Frame(kErrorDataSend), kGreen); break;
    case ReceiveSession::DataAction::Refuse: Send_File_Frame(Reply_Frame(false), kGrey); break;
    default: break;
    }
}

void FileTransfer::Clear_Frame_Buffer()
{
    State.Parser.Clear();
    TimerReceiveAll->Stop();
    TimerShortFrame->Stop();
}

bool FileTransfer::Send_File_Frame(const QByteArray &frame, std::optional<ColorRef> echo)
{
    if (echo)
        console_.Print(frame, *echo);
    const bool written = link_.Write(frame);
    if (!written)
        Notice(Port_Error_Text(PortError::Write));
    return written;
}

// A sender on the same intervals repeats an unanswered frame after a packet
// interval, and the repeat needs up to a frame-receive interval to show: only
// a silence longer than both makes the receiver ask.
int FileTransfer::Receive_Wait_Ms() const
{
    const std::int64_t ms = std::int64_t(Packet_Interval) + Frame_Receive_Interval;
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}
