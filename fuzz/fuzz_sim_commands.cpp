// The modem simulator in command mode: whatever a terminal sends, cut into
// the chunks a pseudo-terminal delivers, goes through the line assembler
// into the command interpreter. A download command hands the rest of a
// chunk on; here the session simply goes on with it.

#include <algorithm>
#include <string_view>

#include "command_session.h"
#include "fuzz/FuzzSupport.h"
#include "line_assembler.h"

using namespace vexa::modemsim;

namespace {

void Check_Lines(const ChunkedInput &input)
{
    LineAssembler lines;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            const auto line = lines.push(chunk[i]);
            if (!line)
                continue;
            Check(line->text.size() <= LineAssembler::kMaxLine, "a line never outgrows its bound");
            Check(std::none_of(line->text.begin(), line->text.end(),
                               [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
                  "a line holds no control bytes");
        }
    });
}

void Check_Session(const ChunkedInput &input)
{
    CommandSession session;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) {
        std::string_view rest(reinterpret_cast<const char *>(chunk), length);
        while (!rest.empty()) {
            const CommandSession::Result result = session.feed(rest);
            Check(result.consumed >= 1 && result.consumed <= rest.size(), "a feed uses part of its input");
            Check(result.startDownload || result.consumed == rest.size(), "only a download stops a feed early");
            Check(result.log.size() <=
                      std::size_t(std::count_if(rest.begin(), rest.begin() + result.consumed,
                                                [](char c) { return c == '\r' || c == 0x1A || c == 0x1B; })),
                  "every answer belongs to a line, or to a message's text that Ctrl-Z or ESC ends");
            rest.remove_prefix(result.consumed);
        }
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    Check_Lines(input);
    Check_Session(input);
    return 0;
}
