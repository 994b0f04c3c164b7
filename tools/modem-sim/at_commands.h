#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexa::modemsim {

// What the modem remembers between commands.
struct ModemState {
    bool echo = true;
    long baudRate = 115200;
};

// Side effects of a command beyond its answer text.
enum class Action {
    None,
    StartupNotice, // send kStartupNotice a moment later
    StartDownload, // become an XMODEM receiver after the OK
};

struct Answer {
    std::vector<std::string> info; // information lines before the result
    bool ok = false;
    Action action = Action::None;
};

// Unsolicited line sent after AT+CFUN=1, like a real module after its restart.
inline constexpr std::string_view kStartupNotice = "+WIND: 3";

// Answers one command line (without its CR). Matching ignores case and
// trailing blanks; anything unknown is answered with ERROR.
Answer answerCommand(std::string_view line, ModemState& state);

} // namespace vexa::modemsim
