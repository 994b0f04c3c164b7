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

// The modem in command mode: received bytes in, echo and answers out.
class CommandSession {
public:
    // A command that takes time (the network search) still runs for a while
    // after its line; like a modem, the session ignores what comes in during
    // its first kAbortGuard and takes anything later as an abort.
    static constexpr Millis kAbortGuard = 125;

    explicit CommandSession(Millis searchTime = 0) : searchTime_(searchTime) {}

    struct Result {
        std::string output;           // bytes to send back
        std::size_t consumed = 0;     // bytes of the input used
        bool startupNotice = false;   // schedule kStartupNotice
        bool startDownload = false;   // switch to the XMODEM receiver now
        std::vector<std::string> log; // "COMMAND -> RESULT", for the console
    };

    // Stops right after a line that starts a download, so the caller can hand
    // the rest of `input` to the receiver.
    Result feed(std::string_view input, Millis now = 0);
    // The answer of a command that has run its time.
    Result tick(Millis now);
    // When tick has something to do.
    std::optional<Millis> deadline() const;

    const ModemState& state() const { return state_; }

private:
    struct Running {
        std::string command;
        std::string answer; // framed, result included
        Millis started = 0;
        Millis due = 0;
    };

    void handleLine(const LineAssembler::Line& line, Millis now, Result& result);

    LineAssembler lines_;
    ModemState state_;
    Millis searchTime_;
    std::optional<Running> running_;
};

// CR LF text CR LF, the framing of every answer and unsolicited line.
std::string frame(std::string_view text);

} // namespace vexa::modemsim
