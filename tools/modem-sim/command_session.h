#pragma once

#include "at_commands.h"
#include "line_assembler.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::modemsim {

// The modem in command mode: received bytes in, echo and answers out.
class CommandSession {
public:
    struct Result {
        std::string output;           // bytes to send back
        std::size_t consumed = 0;     // bytes of the input used
        bool startupNotice = false;   // schedule kStartupNotice
        bool startDownload = false;   // switch to the XMODEM receiver now
        std::vector<std::string> log; // "COMMAND -> RESULT", for the console
    };

    // Stops right after a line that starts a download, so the caller can hand
    // the rest of `input` to the receiver.
    Result feed(std::string_view input);

    const ModemState& state() const { return state_; }

private:
    void handleLine(const LineAssembler::Line& line, Result& result);

    LineAssembler lines_;
    ModemState state_;
};

// CR LF text CR LF, the framing of every answer and unsolicited line.
std::string frame(std::string_view text);

} // namespace vexa::modemsim
