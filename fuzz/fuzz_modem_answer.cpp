// The answer reader on whatever a modem (or line noise) prints, cut into
// the chunks a port delivers: how the bytes are cut never changes what the
// lines are taken for, and an answer ends only at a result code or the
// prompt.

#include <algorithm>

#include "atcommands/ModemAnswer.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The first byte of the stream picks the command the answer belongs to.
const char *const kCommands[] = {"AT", "ATD*99#", "AT+CMGL=\"ALL\"", "AT+CMGS=\"+79161234567\"", "ATV0", "AT+CUSD=1"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    if (input.Stream_Size() == 0)
        return 0;
    const QByteArray command(kCommands[input.Stream()[0] % (sizeof kCommands / sizeof kCommands[0])]);

    Answer_Watch whole;
    whole.Expect(command);
    const QList<Answer_Line> lines = whole.Feed(Bytes(input.Stream(), input.Stream_Size()));
    const bool ends = std::any_of(lines.begin(), lines.end(), [](const Answer_Line &line) {
        return line.Kind == Line_Kind::Final || line.Kind == Line_Kind::Prompt;
    });
    Check(whole.Answered() == ends, "an answer ends at a result code or the prompt, and at nothing else");

    Answer_Watch cut;
    cut.Expect(command);
    QList<Answer_Line> pieces;
    input.For_Each_Chunk(
        [&](const std::uint8_t *chunk, std::size_t length) { pieces += cut.Feed(Bytes(chunk, length)); });
    Check(pieces == lines, "the chunks do not change what the lines are");
    Check(cut.Answered() == whole.Answered(), "the chunks do not change where the answer ends");
    return 0;
}
