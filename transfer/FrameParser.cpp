#include "transfer/FrameParser.h"

#include <algorithm>
#include <cstring>

FrameParser::FrameParser() : buffer_(kMaxFrameLength) {}

void FrameParser::Clear()
{
    fill_ = 0;
    kind_ = FrameKind::None;
    length_ = 0;
}

// Bytes held before the next decision: a start token, a data frame's fields
// up to its length, or the whole frame.
std::uint32_t FrameParser::Wanted() const
{
    if (kind_ == FrameKind::None)
        return kTokenLength;
    return length_ != 0 ? length_ : kDataOffset;
}

bool FrameParser::Check_Data_Length()
{
    const auto n = Field_Number(buffer_.data() + kLengthOffset, kLengthFieldWidth);
    if (!n || *n > kPacketSize)
        return false;
    length_ = static_cast<std::uint32_t>(*n) + kDataOverhead;
    return true;
}

void FrameParser::Resynchronise(std::uint32_t from)
{
    std::uint32_t at = from;
    while (at < fill_ && !Could_Start_Token(buffer_.data() + at, fill_ - at))
        ++at;
    std::memmove(buffer_.data(), buffer_.data() + at, fill_ - at);
    fill_ -= at;
    kind_ = FrameKind::None;
    length_ = 0;
}

// Bytes after the frame move to the front; a listener that cleared the
// parser during the frame left nothing to move.
void FrameParser::Consume(std::uint32_t length)
{
    const std::uint32_t n = std::min(length, fill_);
    std::memmove(buffer_.data(), buffer_.data() + n, fill_ - n);
    fill_ -= n;
    kind_ = FrameKind::None;
    length_ = 0;
}

bool FrameParser::Ends_Short() const
{
    return kind_ != FrameKind::None && fill_ >= 2 * kTokenLength && (length_ == 0 || fill_ < length_) &&
           std::memcmp(buffer_.data() + fill_ - kTokenLength, End_Token(kind_), kTokenLength) == 0;
}

void FrameParser::Drop_Open(Listener &listener)
{
    const FrameKind kind = kind_;
    if (kind == FrameKind::None)
        return;
    Resynchronise(1);
    listener.Frame_Dropped(kind);
}

void FrameParser::Feed(const std::uint8_t *bytes, std::uint32_t count, Listener &listener)
{
    for (;;) {
        const std::uint32_t wanted = Wanted();
        if (fill_ < wanted) {
            const std::uint32_t take = std::min(wanted - fill_, count);
            std::memcpy(buffer_.data() + fill_, bytes, take);
            fill_ += take;
            bytes += take;
            count -= take;
            if (fill_ < wanted) {
                if (kind_ == FrameKind::None)
                    Resynchronise(0);  // keep only what may begin a start token
                return;
            }
        }
        if (kind_ == FrameKind::None) {
            kind_ = Kind_Of_Start(buffer_.data());
            if (kind_ == FrameKind::None) {
                Resynchronise(1);
                continue;
            }
            length_ = Fixed_Length(kind_);
            listener.Frame_Begun(kind_);
            continue;
        }
        // A data frame whose length is now known goes round once more, so
        // that its end token is checked also when the buffer already held
        // all of it (bytes kept from a frame dropped before).
        if (length_ == 0 && Check_Data_Length())
            continue;
        const FrameKind kind = kind_;
        if (length_ == 0 || std::memcmp(buffer_.data() + length_ - kTokenLength, End_Token(kind), kTokenLength) != 0) {
            Resynchronise(1);
            listener.Frame_Dropped(kind);
            continue;
        }
        const std::uint32_t length = length_;
        listener.Frame_Complete(kind, buffer_.data(), length);
        Consume(length);
    }
}
