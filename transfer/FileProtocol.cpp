// The file protocol's receive branch: received bytes become frames, each
// complete frame goes to the side that expects its kind, and a begun frame
// that turns out broken, or does not finish in time, is answered at once so
// that the other side repeats it without waiting out its interval.

#include <QTimer>
#include <cstring>

#include "mainwindow/ZRMHyperTerminal.h"

namespace {

class FrameRouter : public FrameParser::Listener {
public:
    explicit FrameRouter(TForm1 &form) : form_(form) {}
    void Frame_Begun(FrameKind kind) override { form_.On_File_Frame_Begun(kind); }
    void Frame_Dropped(FrameKind kind) override { form_.On_File_Frame_Dropped(kind); }
    void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) override
    {
        form_.On_File_Frame(kind, frame, length);
    }

private:
    TForm1 &form_;
};

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

void TForm1::Parse_File_Frames(const std::uint8_t *bytes, std::uint32_t count)
{
    FrameRouter router(*this);
    FileTransfer.Parser.Feed(bytes, count, router);
    if (FileTransfer.Parser.Ends_Short())
        Start_File_Timer(TimerShortFrame, std::min(kShortFrameQuietMs, Frame_Receive_Interval));
    else
        TimerShortFrame->stop();
}

void TForm1::TimerShortFrameTimer()
{
    TimerShortFrame->stop();
    if (!FileTransfer.Parser.Ends_Short())
        return;
    FrameRouter router(*this);
    FileTransfer.Parser.Drop_Open(router);
}

void TForm1::On_File_Frame_Begun(FrameKind kind)
{
    if (Timed_Kind(kind))
        Start_File_Timer(TimerReceiveAll, Frame_Receive_Interval);
    if (kind == FrameKind::Data && FileTransfer.Receiver.State() == ReceiveSession::Phase::Receiving)
        Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
}

// A broken announcement or data frame is asked for again; a broken answer
// to a waiting sender makes it repeat as an error frame would.
void TForm1::On_File_Frame_Dropped(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Announcement:
        TimerReceiveAll->stop();
        Send_File_Frame(Error_Frame(kErrorFileName), kGreen);
        break;
    case FrameKind::Data:
        TimerReceiveAll->stop();
        if (FileTransfer.Receiver.State() == ReceiveSession::Phase::Receiving)
            Send_File_Frame(Error_Frame(kErrorDataSend), kGreen);
        break;
    case FrameKind::Reply:
    case FrameKind::Acknowledgement:
    case FrameKind::Error:
        On_Error_Frame(FileTransfer.Sender.State() == SendSession::Phase::Announcing);
        break;
    case FrameKind::None:
        break;
    }
}

void TForm1::On_File_Frame(FrameKind kind, const std::uint8_t *frame, std::uint32_t length)
{
    if (Timed_Kind(kind))
        TimerReceiveAll->stop();
    switch (kind) {
    case FrameKind::Announcement:
        On_Announcement(frame);
        break;
    case FrameKind::Reply:
        if (Body_Is(frame, kReceiveOk) || Body_Is(frame, kReceiveNo))
            On_Reply(Body_Is(frame, kReceiveOk));
        break;
    case FrameKind::Data:
        On_Data_Frame(frame, length);
        break;
    case FrameKind::Acknowledgement:
        On_Acknowledgement(frame);
        break;
    case FrameKind::Error:
        if (Body_Is(frame, kErrorFileName) || Body_Is(frame, kErrorDataSend))
            On_Error_Frame(Body_Is(frame, kErrorFileName));
        break;
    case FrameKind::None:
        break;
    }
}

// An announcement or data frame that began and did not finish in time: the
// sender is asked to send it again.
void TForm1::TimerReceiveAllTimer()
{
    TimerReceiveAll->stop();
    const FrameKind open = FileTransfer.Parser.Open_Kind();
    if (!Timed_Kind(open))
        return;
    FileTransfer.Parser.Clear();
    Send_File_Frame(Error_Frame(open == FrameKind::Announcement ? kErrorFileName : kErrorDataSend), kGreen);
}

void TForm1::Clear_Frame_Buffer()
{
    FileTransfer.Parser.Clear();
    TimerReceiveAll->stop();
    TimerShortFrame->stop();
}

bool TForm1::Send_File_Frame(const QByteArray &frame, std::optional<ColorRef> echo)
{
    if (echo)
        Print_To_Screen(frame, *echo);
    const bool written = Write_To_Port(frame);
    if (!written)
        File_Message(QStringLiteral("Oшибка записи в порт"));
    return written;
}

// No timer starts at 0 ms or less: it would fire without pause.
void TForm1::Start_File_Timer(QTimer *timer, int ms)
{
    if (ms > 0)
        timer->start(ms);
}

// A sender on the same intervals repeats an unanswered frame after a packet
// interval, and the repeat needs up to a frame-receive interval to show: only
// a silence longer than both makes the receiver ask.
int TForm1::Receive_Wait_Ms() const
{
    const std::int64_t ms = std::int64_t(Packet_Interval) + Frame_Receive_Interval;
    return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}
