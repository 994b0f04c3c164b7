#pragma once

#include "sms_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexa::modemsim {

// Whose result codes the modem uses where makers differ.
enum class Dialect {
    V250,    // ERROR for what it cannot do
    Huawei,  // COMMAND NOT SUPPORT for an unknown command, TOO MANY PARAMETERS
    Ublox,   // ABORTED for a command that a byte ended
};

// What the modem remembers between commands.
struct ModemState {
    bool echo = true;
    long baudRate = 115200;
    int errorReports = 0;   // AT+CMEE: 0 ERROR, 1 numbered, 2 worded +CME ERROR
    bool textMode = false;  // AT+CMGF=1; a modem starts in PDU mode
    Dialect dialect = Dialect::V250;
    SmsStore messages;
    // The message whose text comes after the prompt: AT+CMGS sends it,
    // AT+CMGW stores it.
    struct Composing {
        bool send = true;
        std::string number;
        int status = 2;
    } composing;
    int lastReference = 0;  // <mr> of the last message sent
};

// Side effects of a command beyond its answer text.
enum class Action {
    None,
    StartupNotice,  // send kStartupNotice a moment later
    StartDownload,  // become an XMODEM receiver after the OK
    Search,         // the answer comes after the network search time
    Compose,        // the prompt instead of a result: a message's text follows
};

struct Answer {
    std::vector<std::string> info;  // information lines before the result
    bool ok = false;
    std::string error = "ERROR";  // the result when not ok
    Action action = Action::None;
};

// Unsolicited line sent after AT+CFUN=1, like a real module after its restart.
inline constexpr std::string_view kStartupNotice = "+WIND: 3";

// Answers one command line (without its CR). Matching ignores case and
// trailing blanks; anything unknown is answered with ERROR. Values are typed
// as 27.007 and 27.005 type them: a number must come without quotes and a
// string in them, or the answer is ERROR; a value the command does not take
// is ERROR or, after AT+CMEE=1 or 2, +CME ERROR.
Answer answerCommand(std::string_view line, ModemState &state);

// The answer once the text after the prompt has ended with Ctrl-Z.
Answer finishMessage(const std::string &text, ModemState &state);

// The result of a command that a byte received while it ran ended.
std::string abortedResult(const ModemState &state);

}  // namespace vexa::modemsim
