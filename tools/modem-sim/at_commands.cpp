#include "at_commands.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace vexa::modemsim {

namespace {

Answer ok(Action action = Action::None) { return Answer{{}, true, action}; }
Answer error() { return Answer{}; }
Answer info(std::vector<std::string> lines) { return Answer{std::move(lines), true, Action::None}; }

// Commands that only configure things the simulator has no use for.
constexpr std::string_view kPlainOk[] = {
    "AT", "AT&W", "AT@ZRMDEB", "AT@ZRMSTART", "AT@ZRMSTOP",
    "AT+WOPEN=0", "AT+WOPEN=1", "AT+WOPEN=3", "AT+WOPEN=4",
    "AT+WIND=0", "AT+WFM=1,61", "AT+WHCNF=0,0", "AT+WHCNF=3,0",
    "AT+WGPRS=9,1", "AT+WCPS=0,1", "AT+CBST=71,0,1",
    "AT+STSF=2,\"3B6BFFFF1F0100573E\"",
};

struct InfoCommand {
    std::string_view name;
    std::string_view line;
};

// Identification of an invented maker, so nobody mistakes it for real hardware.
constexpr InfoCommand kInfoCommands[] = {
    {"AT+CGMI", "VexaSim"},
    {"AT+CGMM", "VS-900 GSM/GPRS"},
    {"AT+CGMR", "VS900 1.0.0 (simulated)"},
    {"AT+CGSN", "001234567890128"},
    {"AT+CSQ", "+CSQ: 21,0"},
    {"AT+CPIN?", "+CPIN: READY"},
    {"AT+CREG?", "+CREG: 0,1"},
};

bool isDigitInRange(std::string_view arg, char low, char high)
{
    return arg.size() == 1 && arg[0] >= low && arg[0] <= high;
}

Answer setBaudRate(std::string_view arg, ModemState& state)
{
    constexpr long kRates[] = {0, 300, 600, 1200, 2400, 4800, 9600, 19200,
                               38400, 57600, 115200, 230400, 460800, 921600};
    if (arg.empty() || arg.size() > 6 ||
        !std::all_of(arg.begin(), arg.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return error();
    const long rate = std::stol(std::string(arg));
    if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
        return error();
    state.baudRate = rate;
    return ok();
}

Answer setFlowControl(std::string_view arg, ModemState&)
{
    const auto comma = arg.find(',');
    if (comma == std::string_view::npos)
        return error();
    const bool valid = isDigitInRange(arg.substr(0, comma), '0', '2') &&
                       isDigitInRange(arg.substr(comma + 1), '0', '2');
    return valid ? ok() : error();
}

Answer setDtrMode(std::string_view arg, ModemState&)
{
    return isDigitInRange(arg, '0', '2') ? ok() : error();
}

// Commands whose name is followed by an argument.
struct ArgumentCommand {
    std::string_view prefix;
    Answer (*handler)(std::string_view arg, ModemState& state);
};

constexpr ArgumentCommand kArgumentCommands[] = {
    {"AT+IPR=", setBaudRate},
    {"AT+IFC=", setFlowControl},
    {"AT&D", setDtrMode},
};

std::optional<Answer> answerFixed(std::string_view command, ModemState& state)
{
    if (command == "ATE0" || command == "ATE1") {
        state.echo = command == "ATE1";
        return ok();
    }
    if (command == "ATI")
        return info({"VexaSim VS-900 GSM/GPRS modem", "Revision VS900 1.0.0 (simulated)"});
    if (command == "AT+IPR?")
        return info({"+IPR: " + std::to_string(state.baudRate)});
    if (command == "AT+CFUN=1")
        return ok(Action::StartupNotice);
    if (command == "AT+WDWL")
        return ok(Action::StartDownload);
    if (std::find(std::begin(kPlainOk), std::end(kPlainOk), command) != std::end(kPlainOk))
        return ok();
    for (const auto& entry : kInfoCommands)
        if (command == entry.name)
            return info({std::string(entry.line)});
    return std::nullopt;
}

std::string normalise(std::string_view line)
{
    const auto end = line.find_last_not_of(" \t");
    std::string command(line.substr(0, end == std::string_view::npos ? 0 : end + 1));
    for (char& c : command)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return command;
}

} // namespace

Answer answerCommand(std::string_view line, ModemState& state)
{
    const std::string command = normalise(line);
    if (auto answer = answerFixed(command, state))
        return *answer;
    for (const auto& entry : kArgumentCommands) {
        if (command.compare(0, entry.prefix.size(), entry.prefix) == 0)
            return entry.handler(std::string_view(command).substr(entry.prefix.size()), state);
    }
    return error();
}

} // namespace vexa::modemsim
