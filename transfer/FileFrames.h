#pragma once
// The wire format of the file protocol between two Vexa instances: five
// ASCII-framed frame kinds, their writers, the readers of their fields, and
// the packet arithmetic both sides share. Every byte here is fixed: any peer
// that follows the format, and every earlier Vexa, must read what we write.
//
// A frame is a start token (four capitals and "0"), a body and the end token
// (the same capitals and "1"). Numbers are decimal digits from the first
// byte of their field, the rest of the field zero.

#include <QByteArray>
#include <cstdint>
#include <optional>

constexpr std::uint32_t kTokenLength = 5;
constexpr std::uint32_t kPacketSize = 32768;                            // data bytes in every data frame but the last
constexpr std::uint32_t kDataOverhead = 28;                             // start token, number, length, end token
constexpr std::uint32_t kMaxFrameLength = kPacketSize + kDataOverhead;  // 32796

constexpr std::uint32_t kAnnouncementLength = 80;
constexpr std::uint32_t kReplyLength = 19;
constexpr std::uint32_t kAcknowledgementLength = 20;
constexpr std::uint32_t kErrorLength = 18;

constexpr std::uint32_t kNameOffset = 5, kNameFieldWidth = 50;
constexpr std::uint32_t kSizeOffset = 55, kSizeFieldWidth = 20;
constexpr std::uint32_t kNumberOffset = 5, kNumberFieldWidth = 10;
constexpr std::uint32_t kLengthOffset = 15, kLengthFieldWidth = 8;
constexpr std::uint32_t kDataOffset = 23;
constexpr std::uint32_t kBodyOffset = 5;  // reply and error bodies

constexpr int kMaxNameLength = 48;  // characters of a file name a sender announces

// Packet numbers travel in ten digits, which bounds the size of a file the
// protocol can carry.
constexpr std::uint64_t kMaxPacketNumber = 9999999999ULL;
constexpr std::uint64_t kMaxFileSize = kMaxPacketNumber * kPacketSize;

enum class FrameKind { None, Announcement, Reply, Data, Acknowledgement, Error };

// The start and end tokens of a kind ("FNFN0" / "FNFN1", ...).
const char *Start_Token(FrameKind kind);
const char *End_Token(FrameKind kind);
// The kind whose start token the five bytes are, or None.
FrameKind Kind_Of_Start(const std::uint8_t *five);
// Whether bytes[0..count) could be the beginning of some start token
// (count < 5), or is one (count >= 5).
bool Could_Start_Token(const std::uint8_t *bytes, std::uint32_t count);
// The whole length of a frame of a fixed-length kind; 0 for data frames.
std::uint32_t Fixed_Length(FrameKind kind);

// Reply bodies and error causes.
extern const char kReceiveOk[];      // "RECEIVEOK"
extern const char kReceiveNo[];      // "RECEIVENO"
extern const char kErrorFileName[];  // "FILENAME"
extern const char kErrorDataSend[];  // "DATASEND"

// ----- writers: each frame whole, zero-filled, exactly its length -----

// nameField and sizeField are the 50 and 20 bytes as they travel.
QByteArray Announcement_Frame(const QByteArray &nameField, const QByteArray &sizeField);
QByteArray Reply_Frame(bool accept);
QByteArray Acknowledgement_Frame(std::uint64_t number);
QByteArray Error_Frame(const char *cause);
// Writes the start token, number and length fields and the end token of a
// data frame of n data bytes into frame[0 .. n + 28); the caller puts the
// data at frame + kDataOffset. Returns the frame length.
std::uint32_t Put_Data_Frame(std::uint64_t number, std::uint32_t n, std::uint8_t *frame);
// The field of the given width holding the decimal digits of value from its
// first byte; empty when the digits do not fit.
QByteArray Number_Field(std::uint64_t value, std::uint32_t width);

// ----- field readers: never past the field's width -----

// The bytes up to the first zero byte, or the whole field when none ends it.
QByteArray Field_Text(const std::uint8_t *field, std::uint32_t width);
// The field's digits as a number: at least one digit, nothing but digits up
// to the first zero byte (or the field's end), and no more than fits 64
// bits. Nothing otherwise ("abc", "-5", twenty nines, an empty field).
std::optional<std::uint64_t> Field_Number(const std::uint8_t *field, std::uint32_t width);

// ----- packet arithmetic -----

struct PacketPlan {
    std::uint64_t total = 0;  // data frames; 0 for an empty file
    std::uint32_t tail = 0;   // data bytes of the last frame when it is not full, else 0
};
PacketPlan Packet_Plan(std::uint64_t size);
// Data bytes in frame k (1-based) of a file of that size.
std::uint32_t Data_Length(std::uint64_t size, std::uint64_t k);
// The whole length frame k must have.
std::uint32_t Data_Frame_Length(std::uint64_t size, std::uint64_t k);
