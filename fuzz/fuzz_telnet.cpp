// The telnet stream of a serial port served over the network, as the
// network port reads it: any bytes from the server, cut anywhere. Then the
// other way round: serial data escaped for the stream, cut where the input
// says, must come out of a fresh stream unchanged, and a write cut short
// must stay whole where Whole_Escaped_Length says.

#include <algorithm>

#include "fuzz/FuzzSupport.h"
#include "platform/Rfc2217Protocol.h"

using namespace vexa::rfc2217;

namespace {

// Each cut write is decoded anew; the first few cuts of an input are enough.
constexpr std::size_t kCheckedCuts = 16;

void Check_Answers(const std::vector<std::uint8_t> &answers)
{
    Check(answers.size() % 3 == 0, "answers are whole IAC verb option triples");
    for (std::size_t i = 0; i < answers.size(); i += 3)
        Check(answers[i] == kIac && answers[i + 1] >= kWill && answers[i + 1] <= kDont, "an answer is a negotiation");
}

void Check_Server_Stream(const ChunkedInput &input)
{
    TelnetStream stream;
    stream.Opening();
    TelnetStream::Output out;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) { stream.Feed(chunk, length, out); });
    Check(out.data.size() <= input.Stream_Size(), "no more data comes out than went in");
    Check_Answers(out.answers);
    for (const ServerMessage &message : out.messages)
        Check(message.command == kSetBaudrate || message.value <= 0xFF, "only the baud rate is wider than a byte");
}

// A write that went out up to `sent` and was then cut short, completed to
// Whole_Escaped_Length and followed by the next write, leaves the stream
// whole: what comes out is a prefix of the data, then the next write's byte.
void Check_Cut_Write(const std::vector<std::uint8_t> &data, const std::vector<std::uint8_t> &escaped, std::size_t sent)
{
    const std::size_t whole = Whole_Escaped_Length(escaped, sent);
    Check(whole == sent || (whole == sent + 1 && whole <= escaped.size()),
          "a cut write grows by at most the second half of a pair");
    std::vector<std::uint8_t> stream(escaped.begin(), escaped.begin() + std::ptrdiff_t(whole));
    stream.push_back('Z');
    TelnetStream fresh;
    TelnetStream::Output out;
    fresh.Feed(stream.data(), stream.size(), out);
    Check(!out.data.empty() && out.data.back() == 'Z', "the next write after a cut one comes out whole");
    Check(std::equal(out.data.begin(), out.data.end() - 1, data.begin()), "a cut write delivers a prefix of its data");
}

void Check_Escaped_Data(const ChunkedInput &input)
{
    const std::vector<std::uint8_t> data(input.Stream(), input.Stream() + input.Stream_Size());
    std::vector<std::uint8_t> escaped;
    Append_Escaped(data.data(), data.size(), escaped);
    TelnetStream stream;
    TelnetStream::Output out;
    std::size_t at = 0, cuts = 0;
    input.For_Each_Chunk([&](const std::uint8_t *, std::size_t length) {
        // The escaped stream is longer: cut it at the same offsets, the rest in one piece.
        const std::size_t end = std::min(at + length, escaped.size());
        if (cuts++ < kCheckedCuts)
            Check_Cut_Write(data, escaped, end);
        stream.Feed(escaped.data() + at, end - at, out);
        at = end;
    });
    stream.Feed(escaped.data() + at, escaped.size() - at, out);
    Check(out.data == data, "escaped data comes out unchanged");
    Check(out.answers.empty() && out.messages.empty(), "escaped data carries no commands");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    Check_Server_Stream(input);
    Check_Escaped_Data(input);
    return 0;
}
