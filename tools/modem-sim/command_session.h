#pragma once

#include "at_commands.h"
#include "line_assembler.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::modemsim {

using Millis = std::int64_t;

// How the modem asks for a message's text: makers differ.
enum class PromptForm {
    LineBlank,  // CR LF '>' blank, as 27.005 writes it
    Line,       // CR LF '>'
    Bare,       // '>' alone, without a line break before it
};

// The modem in command mode: received bytes in, echo and answers out. After
// AT+CMGS or AT+CMGW it takes a message's text up to Ctrl-Z (ESC abandons
// it), asking again after each line.
class CommandSession {
public:
    // A command that takes time (the network search) still runs for a while
    // after its line; like a modem, the session ignores what comes in during
    // its first kAbortGuard and takes anything later as an abort.
    static constexpr Millis kAbortGuard = 125;
    // The longest text a message takes: 160 characters, or a PDU of 176 octets.
    static constexpr std::size_t kMaxText = 352;

    explicit CommandSession(Millis searchTime = 0, PromptForm prompt = PromptForm::LineBlank,
                            Dialect dialect = Dialect::V250);

    struct Result {
        std::string output;  // bytes to send back
        // Offsets in output between whole lines, where a modem may put an
        // unsolicited code; never between a message's header and its text.
        std::vector<std::size_t> breaks;
        std::size_t consumed = 0;      // bytes of the input used
        bool startupNotice = false;    // schedule kStartupNotice
        bool startDownload = false;    // switch to the XMODEM receiver now
        std::vector<std::string> log;  // "COMMAND -> RESULT", for the console
    };

    // Stops right after a line that starts a download, so the caller can hand
    // the rest of `input` to the receiver.
    Result feed(std::string_view input, Millis now = 0);
    // The answer of a command that has run its time.
    Result tick(Millis now);
    // When tick has something to do.
    std::optional<Millis> deadline() const;

    const ModemState &state() const { return state_; }
    ModemState &state() { return state_; }
    // Between the prompt and the end of the text.
    bool composing() const { return composing_; }

private:
    struct Running {
        std::string command;
        std::vector<std::string> answer;  // framed lines, result included
        Millis started = 0;
        Millis due = 0;
    };

    void handleLine(const LineAssembler::Line &line, Millis now, Result &result);
    void compose(char byte, Result &result);
    std::string prompt() const;

    LineAssembler lines_;
    ModemState state_;
    Millis searchTime_;
    PromptForm prompt_;
    std::optional<Running> running_;
    bool composing_ = false;
    std::string text_;  // the message typed after the prompt
};

// CR LF text CR LF, the framing of every answer and unsolicited line.
std::string frame(std::string_view text);
// Each information line of the answer framed, then its result.
std::vector<std::string> framed(const Answer &answer);

}  // namespace vexa::modemsim
