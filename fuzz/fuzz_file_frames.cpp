// The file protocol's receive branch: a byte stream cut into chunks feeds the
// frame parser, and every complete frame goes where the window sends it: the
// announcement check and the receiving session, the sending session's
// replies, acknowledgements and errors. The received file is kept in memory,
// so every byte the receiver stores is read from the frame.

#include <cstring>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "transfer/FrameParser.h"
#include "transfer/ReceiveSession.h"
#include "transfer/SendSession.h"

namespace {

// The size of the file this side sends once its announcement is accepted:
// three full data frames and a tail.
constexpr std::uint64_t kSentFileSize = 3 * kPacketSize + 100;

bool Body_Is(const std::uint8_t *frame, const char *body)
{
    return std::memcmp(frame + kBodyOffset, body, std::strlen(body)) == 0;
}

class Peer : public FrameParser::Listener {
public:
    Peer() { sender_.Announced(); }

    FrameKind Open() const { return open_; }

    void Frame_Begun(FrameKind kind) override
    {
        Check(kind != FrameKind::None, "a begun frame has a kind");
        Check(open_ == FrameKind::None, "no frame begins inside another");
        open_ = kind;
    }

    void Frame_Dropped(FrameKind kind) override
    {
        Check(kind == open_, "the dropped frame is the one that began");
        open_ = FrameKind::None;
    }

    void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) override
    {
        Check(kind == open_, "the complete frame is the one that began");
        open_ = FrameKind::None;
        Check_Shape(kind, frame, length);
        switch (kind) {
        case FrameKind::Announcement: On_Announcement(frame); break;
        case FrameKind::Data: On_Data(frame, length); break;
        case FrameKind::Reply:
            if (Body_Is(frame, kReceiveOk) || Body_Is(frame, kReceiveNo))
                On_Reply(Body_Is(frame, kReceiveOk));
            break;
        case FrameKind::Acknowledgement:
            if (const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth))
                On_Acknowledgement(*number);
            break;
        case FrameKind::Error:
            if (Body_Is(frame, kErrorFileName) || Body_Is(frame, kErrorDataSend))
                sender_.On_Error(Body_Is(frame, kErrorFileName));
            break;
        case FrameKind::None: Check(false, "a complete frame has a kind");
        }
    }

private:
    static void Check_Shape(FrameKind kind, const std::uint8_t *frame, std::uint32_t length)
    {
        Check(length >= 2 * kTokenLength && length <= kMaxFrameLength, "a frame's length is within bounds");
        Check(std::memcmp(frame, Start_Token(kind), kTokenLength) == 0, "a frame begins with its start token");
        Check(std::memcmp(frame + length - kTokenLength, End_Token(kind), kTokenLength) == 0,
              "a frame ends with its end token");
        if (kind != FrameKind::Data) {
            Check(length == Fixed_Length(kind), "a fixed frame has its kind's length");
            return;
        }
        const auto n = Field_Number(frame + kLengthOffset, kLengthFieldWidth);
        Check(n && *n <= kPacketSize && *n + kDataOverhead == length, "a data frame is as long as its field says");
    }

    void On_Announcement(const std::uint8_t *frame)
    {
        Announced announced;
        if (Read_Announcement(frame, announced) != AnnouncementCheck::Good)
            return;
        Check(announced.size <= kMaxFileSize, "an accepted size is within the protocol's range");
        Check(Local_File_Name(announced.name).has_value(), "a good announcement names a usable file");
        Check(announced.name.size() <= qsizetype(kNameFieldWidth), "the name stays within its field");
        if (receiver_.On_Announcement(announced) == ReceiveSession::AnnouncementAction::Ask) {
            receiver_.Accept();
            file_.clear();
        }
    }

    void On_Data(const std::uint8_t *frame, std::uint32_t length)
    {
        const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
        if (receiver_.On_Data(number, length) != ReceiveSession::DataAction::Store)
            return;
        Check(length >= kDataOverhead, "a stored frame holds its fields");
        file_.append(reinterpret_cast<const char *>(frame + kDataOffset), length - kDataOverhead);
        const std::uint64_t size = receiver_.Current().size;
        Check(file_.size() <= size, "the received file never outgrows its announced size");
        Check(!receiver_.Complete() || file_.size() == size, "a complete file has its announced size");
    }

    void On_Reply(bool accept)
    {
        if (sender_.On_Reply(accept) == SendSession::ReplyResult::Accepted && sender_.Start_Data(kSentFileSize))
            Send_Next();
    }

    void On_Acknowledgement(std::uint64_t number)
    {
        const std::uint64_t sent = sender_.Sent();
        const SendSession::AckResult result = sender_.On_Acknowledgement(number);
        Check(result == SendSession::AckResult::Ignore || number == sent, "only the frame sent is acknowledged");
        if (result == SendSession::AckResult::Last) {
            Check(sent == sender_.Total(), "the last acknowledgement ends a whole file");
            sender_.Announced();  // the next file
        } else if (result == SendSession::AckResult::Next) {
            Send_Next();
        }
    }

    void Send_Next()
    {
        Check(sender_.May_Send(), "a frame leaves only when it may");
        const std::uint32_t length = sender_.Next_Length();
        const std::uint64_t number = sender_.Take_Next_Frame();
        Check(number >= 1 && number <= sender_.Total(), "a sent frame's number is within the file");
        Check(length >= 1 && length <= kPacketSize, "a sent frame holds 1 to 32768 data bytes");
        std::uint8_t frame[kMaxFrameLength];
        Check(Put_Data_Frame(number, length, frame) == length + kDataOverhead, "a data frame has its length");
    }

    FrameKind open_ = FrameKind::None;
    ReceiveSession receiver_;
    SendSession sender_;
    std::string file_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    FrameParser parser;
    Peer peer;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) {
        parser.Feed(chunk, static_cast<std::uint32_t>(length), peer);
        Check(parser.Open_Kind() == peer.Open(), "the parser's open frame is the last one begun");
    });
    return 0;
}
