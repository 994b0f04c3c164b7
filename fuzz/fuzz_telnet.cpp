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

void Check_Escaped_Data(const ChunkedInput &input)
{
    const std::vector<std::uint8_t> data(input.Stream(), input.Stream() + input.Stream_Size());
    std::vector<std::uint8_t> escaped;
    Append_Escaped(data.data(), data.size(), escaped);
    TelnetStream stream;
    TelnetStream::Output out;
    std::size_t at = 0;
    input.For_Each_Chunk([&](const std::uint8_t *, std::size_t length) {
        // The escaped stream is longer: cut it at the same offsets, the rest in one piece.
        const std::size_t end = std::min(at + length, escaped.size());
        const std::size_t whole = Whole_Escaped_Length(escaped, end);
        Check(whole == end || whole == end + 1, "a cut short write grows by at most the second half of a pair");
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
