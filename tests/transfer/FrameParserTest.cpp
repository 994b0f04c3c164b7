// The file protocol's frames as bytes, and the parser that cuts a stream of
// chunks into them.

#include <gtest/gtest.h>

#include <QByteArray>
#include <vector>

#include "transfer/FileFrames.h"
#include "transfer/FrameParser.h"
#include "transfer/TransferSupport.h"

namespace {

struct Seen {
    FrameKind kind;
    QByteArray bytes;
};

class Collector : public FrameParser::Listener {
public:
    std::vector<Seen> frames;
    std::vector<FrameKind> begun, dropped;
    void Frame_Begun(FrameKind kind) override { begun.push_back(kind); }
    void Frame_Dropped(FrameKind kind) override { dropped.push_back(kind); }
    void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) override
    {
        frames.push_back({kind, QByteArray(reinterpret_cast<const char *>(frame), length)});
    }
};

QByteArray Data_Frame(std::uint64_t number, const QByteArray &data)
{
    QByteArray frame(data.size() + kDataOverhead, '\0');
    auto *bytes = reinterpret_cast<std::uint8_t *>(frame.data());
    Put_Data_Frame(number, static_cast<std::uint32_t>(data.size()), bytes);
    std::copy(data.begin(), data.end(), frame.begin() + kDataOffset);
    return frame;
}

void Feed(FrameParser &parser, const QByteArray &bytes, Collector &collector)
{
    parser.Feed(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::uint32_t>(bytes.size()),
                collector);
}

const std::uint8_t *U(const QByteArray &bytes) { return reinterpret_cast<const std::uint8_t *>(bytes.constData()); }

}  // namespace

TEST(FileFrames, EveryKindIsWrittenByteForByte)
{
    QByteArray name(kNameFieldWidth, '\0'), size(kSizeFieldWidth, '\0');
    name.replace(0, 5, "a.txt");
    size.replace(0, 3, "123");
    const QByteArray announcement = Announcement_Frame(name, size);
    ASSERT_EQ(announcement.size(), 80);
    EXPECT_EQ(announcement.left(10), QByteArray("FNFN0a.txt"));
    EXPECT_EQ(announcement.mid(10, 45), QByteArray(45, '\0'));
    EXPECT_EQ(announcement.mid(55, 3), QByteArray("123"));
    EXPECT_EQ(announcement.right(5), QByteArray("FNFN1"));

    EXPECT_EQ(Reply_Frame(true), QByteArray("FOFO0RECEIVEOKFOFO1"));
    EXPECT_EQ(Reply_Frame(false), QByteArray("FOFO0RECEIVENOFOFO1"));
    EXPECT_EQ(Error_Frame(kErrorFileName), QByteArray("ERER0FILENAMEERER1"));
    EXPECT_EQ(Error_Frame(kErrorDataSend), QByteArray("ERER0DATASENDERER1"));
    EXPECT_EQ(Acknowledgement_Frame(12), QByteArray("DODO012", 7) + QByteArray(8, '\0') + "DODO1");

    const QByteArray one = Data_Frame(1, "x");
    EXPECT_EQ(one, QByteArray("DTDT01") + QByteArray(9, '\0') + "1" + QByteArray(7, '\0') + "xDTDT1");
    EXPECT_EQ(Data_Frame(2, QByteArray(kPacketSize, 'z')).size(), 32796);
}

TEST(FileFrames, FieldsAreReadWithinTheirWidthAndOnlyAsPlainDigits)
{
    auto number = [](const QByteArray &field) {
        return Field_Number(U(field), static_cast<std::uint32_t>(field.size()));
    };
    EXPECT_EQ(number(QByteArray("42\0\0\0", 5)), 42u);
    EXPECT_EQ(number("00000000000000000007"), 7u);  // no zero byte ends it
    EXPECT_FALSE(number("abc"));
    EXPECT_FALSE(number(QByteArray("-5\0", 3)));
    EXPECT_FALSE(number(QByteArray(20, '9')));  // beyond 64 bits
    EXPECT_FALSE(number(QByteArray(4, '\0')));
    EXPECT_FALSE(number(QByteArray("1 2\0", 4)));
    EXPECT_EQ(number("18446744073709551615"), UINT64_MAX);

    const QByteArray unterminated(kNameFieldWidth, 'n');
    EXPECT_EQ(Field_Text(U(unterminated), kNameFieldWidth), unterminated);
    EXPECT_EQ(Field_Text(U(QByteArray("ab\0cd", 5)), 5), QByteArray("ab"));
    EXPECT_EQ(Number_Field(kMaxPacketNumber, kNumberFieldWidth), QByteArray("9999999999"));
    EXPECT_TRUE(Number_Field(kMaxPacketNumber + 1, kNumberFieldWidth).isEmpty());
}

TEST(FileFrames, PacketArithmeticAtTheFrameEdges)
{
    struct Case {
        std::uint64_t size, total;
        std::uint32_t lastLength;
    } cases[] = {{1, 1, 29},     {32767, 1, 32795}, {32768, 1, 32796},
                 {32769, 2, 29}, {65536, 2, 32796}, {1048576 + 5, 33, 33}};
    for (const Case &c : cases) {
        EXPECT_EQ(Packet_Plan(c.size).total, c.total) << c.size;
        EXPECT_EQ(Data_Frame_Length(c.size, c.total), c.lastLength) << c.size;
        if (c.total > 1) {
            EXPECT_EQ(Data_Frame_Length(c.size, 1), 32796u) << c.size;
        }
    }
    EXPECT_EQ(Packet_Plan(0).total, 0u);
    EXPECT_EQ(Packet_Plan(5'000'000'000ULL).total, 152588u);  // sizes beyond 32 bits
}

TEST(FrameParser, ByteAtATimeEveryKindCompletesOnceWithItsLength)
{
    QByteArray name(kNameFieldWidth, '\0'), size(kSizeFieldWidth, '\0');
    name[0] = 'f';
    size[0] = '9';
    const QByteArray stream = Announcement_Frame(name, size) + Reply_Frame(true) + Data_Frame(1, Random_Bytes(300, 1)) +
                              Acknowledgement_Frame(1) + Error_Frame(kErrorDataSend) + Data_Frame(2, "");
    FrameParser parser;
    Collector seen;
    for (char c : stream)
        Feed(parser, QByteArray(1, c), seen);
    ASSERT_EQ(seen.frames.size(), 6u);
    const FrameKind kinds[] = {FrameKind::Announcement,    FrameKind::Reply, FrameKind::Data,
                               FrameKind::Acknowledgement, FrameKind::Error, FrameKind::Data};
    qsizetype at = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(seen.frames[i].kind, kinds[i]) << i;
        EXPECT_EQ(seen.frames[i].bytes, stream.mid(at, seen.frames[i].bytes.size())) << i;
        at += seen.frames[i].bytes.size();
    }
    EXPECT_EQ(at, stream.size());
    EXPECT_EQ(seen.begun.size(), 6u);
    EXPECT_TRUE(seen.dropped.empty());
    EXPECT_FALSE(parser.Holds_Bytes());
}

TEST(FrameParser, OneFullReadOfTwoFramesYieldsBoth)
{
    // A reader hands over up to 65536 bytes at once: here a full frame and
    // a second one that ends exactly at the chunk's end.
    const QByteArray first = Data_Frame(1, Random_Bytes(kPacketSize, 2));
    const QByteArray second = Data_Frame(2, Random_Bytes(65536 - 32796 - 28, 3));
    const QByteArray chunk = first + second;
    ASSERT_EQ(chunk.size(), 65536);
    FrameParser parser;
    Collector seen;
    Feed(parser, chunk, seen);
    ASSERT_EQ(seen.frames.size(), 2u);
    EXPECT_EQ(seen.frames[0].bytes, first);
    EXPECT_EQ(seen.frames[1].bytes, second);

    // The bytes after a complete frame wait for the rest of the next.
    Feed(parser, first + second.left(100), seen);
    EXPECT_EQ(seen.frames.size(), 3u);
    EXPECT_EQ(parser.Open_Kind(), FrameKind::Data);
    Feed(parser, second.mid(100), seen);
    ASSERT_EQ(seen.frames.size(), 4u);
    EXPECT_EQ(seen.frames[3].bytes, second);
}

TEST(FrameParser, EndTokensInsideTheDataDoNotCloseTheFrame)
{
    // The data holds "DTDT1" and every other end token, and the first chunk
    // ends right after one of them.
    QByteArray data = Random_Bytes(1000, 4);
    data.replace(100, 5, "DTDT1").replace(200, 5, "FOFO1").replace(300, 5, "DODO1");
    const QByteArray frame = Data_Frame(7, data);
    FrameParser parser;
    Collector seen;
    Feed(parser, frame.left(kDataOffset + 105), seen);
    EXPECT_TRUE(seen.frames.empty());
    Feed(parser, frame.mid(kDataOffset + 105, 300), seen);
    EXPECT_TRUE(seen.frames.empty());
    Feed(parser, frame.mid(kDataOffset + 405), seen);
    ASSERT_EQ(seen.frames.size(), 1u);
    EXPECT_EQ(seen.frames[0].bytes, frame);
}

TEST(FrameParser, GarbageIsDroppedAndTheFrameAfterItIsFound)
{
    FrameParser parser;
    Collector seen;
    Feed(parser, "\r\nRING\r\nFOFO0RECEIVEOKFOFO1", seen);
    ASSERT_EQ(seen.frames.size(), 1u);
    EXPECT_EQ(seen.frames[0].bytes, QByteArray("FOFO0RECEIVEOKFOFO1"));

    // Garbage alone goes; the start of a token at a chunk's end is kept.
    Feed(parser, "xxxxxxxxDO", seen);
    EXPECT_EQ(parser.Holds_Bytes(), true);
    Feed(parser, QByteArray("DO03\0\0\0\0\0\0\0\0\0DODO1", 20 - 2), seen);
    ASSERT_EQ(seen.frames.size(), 2u);
    EXPECT_EQ(seen.frames[1].kind, FrameKind::Acknowledgement);
    Feed(parser, "garbage only", seen);
    EXPECT_FALSE(parser.Holds_Bytes());  // not even its last few bytes
    Feed(parser, "ER", seen);
    EXPECT_TRUE(parser.Holds_Bytes());
}

TEST(FrameParser, AFrameClosedByAnotherKindsTokenOrTooLongIsDropped)
{
    FrameParser parser;
    Collector seen;
    // A reply whose end token is an acknowledgement's is not a reply.
    Feed(parser, "FOFO0RECEIVEOKDODO1", seen);
    EXPECT_TRUE(seen.frames.empty());
    EXPECT_EQ(seen.dropped, std::vector<FrameKind>{FrameKind::Reply});
    // A data length beyond one packet, or not a number, is refused before
    // anything would be held past the buffer.
    Feed(parser,
         QByteArray("DTDT01\0\0\0\0\0\0\0\0\0"
                    "99999999",
                    23),
         seen);
    Feed(parser,
         QByteArray("DTDT01\0\0\0\0\0\0\0\0\0"
                    "abc\0\0\0\0\0",
                    23),
         seen);
    EXPECT_EQ(seen.dropped.size(), 3u);
    EXPECT_FALSE(parser.Holds_Bytes());
    EXPECT_TRUE(seen.frames.empty());
}

TEST(FrameParser, AFrameAfterATruncatedOneIsStillFound)
{
    // The first frame lost its last 50 bytes on the line; the repeat follows.
    const QByteArray frame = Data_Frame(3, Random_Bytes(kPacketSize, 5));
    const QByteArray stream = frame.left(frame.size() - 50) + frame;
    FrameParser parser;
    Collector seen;
    for (qsizetype at = 0; at < stream.size(); at += 4096)
        Feed(parser, stream.mid(at, 4096), seen);
    ASSERT_EQ(seen.frames.size(), 1u);
    EXPECT_EQ(seen.frames[0].bytes, frame);
    EXPECT_EQ(seen.dropped, std::vector<FrameKind>{FrameKind::Data});
    EXPECT_EQ(seen.begun.size(), 2u);
}

TEST(FrameParser, ADataFrameHeldWholeAfterADroppedFrameStillNeedsItsEndToken)
{
    // Found by fuzzing: an announcement start, then a short data frame whose
    // end token is wrong, in one chunk. When the announcement is dropped the
    // data frame is already held whole; it used to complete unchecked.
    QByteArray broken = Data_Frame(1, "abc");
    broken.replace(broken.size() - kTokenLength, kTokenLength, "T0abc");
    const QByteArray good = Reply_Frame(true);
    const QByteArray chunk = "FNFN0" + broken + QByteArray(80, '\xFF') + good;
    FrameParser parser;
    Collector seen;
    Feed(parser, chunk, seen);
    ASSERT_EQ(seen.frames.size(), 1u);
    EXPECT_EQ(seen.frames[0].bytes, good);
    EXPECT_EQ(seen.dropped, (std::vector<FrameKind>{FrameKind::Announcement, FrameKind::Data}));
}

TEST(FrameParser, BytesHeldAfterAFrameStayAndAShortFrameEndsOnlyWhenDropped)
{
    // When the broken announcement is dropped, the reply and the
    // acknowledgement after it are both held already: both are frames.
    FrameParser parser;
    Collector seen;
    Feed(parser, "FNFN0" + Reply_Frame(true) + Acknowledgement_Frame(4) + QByteArray(60, 'x'), seen);
    ASSERT_EQ(seen.frames.size(), 2u);
    EXPECT_EQ(seen.frames[1].bytes, Acknowledgement_Frame(4));

    // A frame that lost a byte ends with its end token short of its length.
    QByteArray frame = Data_Frame(1, Random_Bytes(100, 6));
    Feed(parser, frame.remove(50, 1), seen);
    EXPECT_TRUE(parser.Ends_Short());
    parser.Drop_Open(seen);
    EXPECT_EQ(seen.dropped.back(), FrameKind::Data);
    EXPECT_FALSE(parser.Holds_Bytes());
}
