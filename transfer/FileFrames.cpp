#include "transfer/FileFrames.h"

#include <cstring>

const char kReceiveOk[] = "RECEIVEOK";
const char kReceiveNo[] = "RECEIVENO";
const char kErrorFileName[] = "FILENAME";
const char kErrorDataSend[] = "DATASEND";

namespace {

struct KindTokens {
    FrameKind kind;
    const char *start;
    const char *end;
    std::uint32_t length;
};

const KindTokens kKinds[] = {
    {FrameKind::Announcement, "FNFN0", "FNFN1", kAnnouncementLength},
    {FrameKind::Reply, "FOFO0", "FOFO1", kReplyLength},
    {FrameKind::Data, "DTDT0", "DTDT1", 0},
    {FrameKind::Acknowledgement, "DODO0", "DODO1", kAcknowledgementLength},
    {FrameKind::Error, "ERER0", "ERER1", kErrorLength},
};

const KindTokens *Tokens(FrameKind kind)
{
    for (const KindTokens &k : kKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

// A zero-filled frame of the kind's length with its two tokens in place.
QByteArray Framed(FrameKind kind, std::uint32_t length)
{
    QByteArray frame(static_cast<qsizetype>(length), '\0');
    std::memcpy(frame.data(), Start_Token(kind), kTokenLength);
    std::memcpy(frame.data() + length - kTokenLength, End_Token(kind), kTokenLength);
    return frame;
}

}  // namespace

const char *Start_Token(FrameKind kind)
{
    const KindTokens *k = Tokens(kind);
    return k ? k->start : "";
}

const char *End_Token(FrameKind kind)
{
    const KindTokens *k = Tokens(kind);
    return k ? k->end : "";
}

FrameKind Kind_Of_Start(const std::uint8_t *five)
{
    for (const KindTokens &k : kKinds)
        if (std::memcmp(five, k.start, kTokenLength) == 0)
            return k.kind;
    return FrameKind::None;
}

bool Could_Start_Token(const std::uint8_t *bytes, std::uint32_t count)
{
    const std::uint32_t n = count < kTokenLength ? count : kTokenLength;
    for (const KindTokens &k : kKinds)
        if (std::memcmp(bytes, k.start, n) == 0)
            return true;
    return false;
}

std::uint32_t Fixed_Length(FrameKind kind)
{
    const KindTokens *k = Tokens(kind);
    return k ? k->length : 0;
}

QByteArray Number_Field(std::uint64_t value, std::uint32_t width)
{
    const QByteArray digits = QByteArray::number(static_cast<qulonglong>(value));
    if (digits.size() > static_cast<qsizetype>(width))
        return {};
    return digits + QByteArray(width - digits.size(), '\0');
}

QByteArray Announcement_Frame(const QByteArray &nameField, const QByteArray &sizeField)
{
    QByteArray frame = Framed(FrameKind::Announcement, kAnnouncementLength);
    std::memcpy(frame.data() + kNameOffset, nameField.constData(),
                std::min<qsizetype>(nameField.size(), kNameFieldWidth));
    std::memcpy(frame.data() + kSizeOffset, sizeField.constData(),
                std::min<qsizetype>(sizeField.size(), kSizeFieldWidth));
    return frame;
}

QByteArray Reply_Frame(bool accept)
{
    QByteArray frame = Framed(FrameKind::Reply, kReplyLength);
    std::memcpy(frame.data() + kBodyOffset, accept ? kReceiveOk : kReceiveNo, 9);
    return frame;
}

QByteArray Acknowledgement_Frame(std::uint64_t number)
{
    QByteArray frame = Framed(FrameKind::Acknowledgement, kAcknowledgementLength);
    const QByteArray field = Number_Field(number, kNumberFieldWidth);
    std::memcpy(frame.data() + kNumberOffset, field.constData(), field.size());
    return frame;
}

QByteArray Error_Frame(const char *cause)
{
    QByteArray frame = Framed(FrameKind::Error, kErrorLength);
    std::memcpy(frame.data() + kBodyOffset, cause, 8);
    return frame;
}

std::uint32_t Put_Data_Frame(std::uint64_t number, std::uint32_t n, std::uint8_t *frame)
{
    const std::uint32_t length = n + kDataOverhead;
    std::memset(frame, 0, kDataOffset);
    std::memcpy(frame, Start_Token(FrameKind::Data), kTokenLength);
    const QByteArray numberField = Number_Field(number, kNumberFieldWidth);
    const QByteArray lengthField = Number_Field(n, kLengthFieldWidth);
    std::memcpy(frame + kNumberOffset, numberField.constData(), numberField.size());
    std::memcpy(frame + kLengthOffset, lengthField.constData(), lengthField.size());
    std::memcpy(frame + length - kTokenLength, End_Token(FrameKind::Data), kTokenLength);
    return length;
}

QByteArray Field_Text(const std::uint8_t *field, std::uint32_t width)
{
    const void *zero = std::memchr(field, 0, width);
    const std::uint32_t n = zero ? static_cast<std::uint32_t>(static_cast<const std::uint8_t *>(zero) - field) : width;
    return QByteArray(reinterpret_cast<const char *>(field), n);
}

std::optional<std::uint64_t> Field_Number(const std::uint8_t *field, std::uint32_t width)
{
    std::uint64_t value = 0;
    std::uint32_t digits = 0;
    for (; digits < width && field[digits] != 0; ++digits) {
        const std::uint8_t c = field[digits];
        if (c < '0' || c > '9')
            return std::nullopt;
        const std::uint64_t d = c - '0';
        if (value > (UINT64_MAX - d) / 10)
            return std::nullopt;
        value = value * 10 + d;
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

PacketPlan Packet_Plan(std::uint64_t size)
{
    PacketPlan plan;
    plan.tail = static_cast<std::uint32_t>(size % kPacketSize);
    plan.total = size / kPacketSize + (plan.tail != 0 ? 1 : 0);
    return plan;
}

std::uint32_t Data_Length(std::uint64_t size, std::uint64_t k)
{
    const PacketPlan plan = Packet_Plan(size);
    return k == plan.total && plan.tail != 0 ? plan.tail : kPacketSize;
}

std::uint32_t Data_Frame_Length(std::uint64_t size, std::uint64_t k) { return Data_Length(size, k) + kDataOverhead; }
