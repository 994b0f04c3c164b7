#include "at_commands.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace vexa::modemsim {

namespace {

// What a command does to the modem beyond its answer.
enum class Effect {
    None,
    EchoOff,  // the bare command switches the echo off
    EchoOn,
    BaudRate,  // the set form stores the rate, the read form reports it
    Restart,   // the set form with 1 restarts: kStartupNotice follows
    Download,  // the bare command starts an XMODEM download after its OK
    Search,    // the test form searches the networks before it answers
    Errors,    // the set form chooses how errors are reported (+CMEE)
    // Short messages in the store (sms_store.h):
    MessageFormat,  // +CMGF: text or PDU mode
    Storage,        // +CPMS: how many are stored
    List,           // +CMGL
    Read,           // +CMGR
    Delete,         // +CMGD
    Send,           // +CMGS: the prompt, then the text
    Store,          // +CMGW: the prompt, then the text
};

// One line per command. The name is what comes before '=', '?' or the end
// of the line. Answers: nullptr means that form is an ERROR, "" a plain OK,
// anything else the information lines (separated by '|') before the OK.
// `set` holds the rules for the values after '=', one per parameter,
// separated by ';'. A leading '?' marks a parameter that may be left out
// (left empty, or missing at the end). A parameter that begins with '"' is
// a string: its value must come in double quotes, and its alternatives
// follow, separated by '|', '*' being any text. Every other parameter is a
// number and must come without quotes: alternatives separated by '|', each
// a number or a range "low-high". "name=?" answers `test`, or else the
// rules themselves. `pduSet` replaces `set` in PDU mode (AT+CMGF=0).
struct Command {
    std::string_view name;
    const char *run;       // "name"
    const char *set;       // "name=values": rules
    const char *setReply;  // answer to an allowed "name=values"
    const char *read;      // "name?"
    const char *test;      // "name=?"
    Effect effect = Effect::None;
    const char *pduSet = nullptr;
};

constexpr const char *kOk = "";
constexpr const char *kRates = "0|300|600|1200|2400|4800|9600|19200|38400|57600|115200|230400|460800|921600";

// Identification of an invented maker, so nobody mistakes it for real
// hardware; network numbers of the test network 001 01.
constexpr Command kCommands[] = {
    // ITU-T V.250
    {"AT", kOk, nullptr, nullptr, nullptr, nullptr},
    {"ATI", "VexaSim VS-900 GSM/GPRS modem|Revision VS900 1.0.0 (simulated)", nullptr, nullptr, nullptr, nullptr},
    {"ATE0", kOk, nullptr, nullptr, nullptr, nullptr, Effect::EchoOff},
    {"ATE1", kOk, nullptr, nullptr, nullptr, nullptr, Effect::EchoOn},
    {"ATV1", kOk, nullptr, nullptr, nullptr, nullptr},
    {"ATQ0", kOk, nullptr, nullptr, nullptr, nullptr},
    {"ATZ", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&F", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&C0", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&C1", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&D0", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&D1", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&D2", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT&W", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT+GCAP", "+GCAP: +CGSM", nullptr, nullptr, nullptr, nullptr},
    {"AT+IPR", nullptr, kRates, kOk, "", nullptr, Effect::BaudRate},
    {"AT+ICF", nullptr, "0-6;?0-3", kOk, "+ICF: 3,3", nullptr},
    {"AT+IFC", nullptr, "?0-2;?0-2", kOk, "+IFC: 2,2", nullptr},
    // 3GPP TS 27.007: identification, SIM, network
    {"AT+CGMI", "VexaSim", nullptr, nullptr, nullptr, nullptr},
    {"AT+CGMM", "VS-900 GSM/GPRS", nullptr, nullptr, nullptr, nullptr},
    {"AT+CGMR", "VS900 1.0.0 (simulated)", nullptr, nullptr, nullptr, nullptr},
    {"AT+CGSN", "001234567890128", nullptr, nullptr, nullptr, nullptr},
    {"AT+CIMI", "001010123456789", nullptr, nullptr, nullptr, nullptr},
    {"AT+CPIN", nullptr, "\"*;?\"*", kOk, "+CPIN: READY", nullptr},
    {"AT+CSQ", "+CSQ: 21,0", nullptr, nullptr, nullptr, "+CSQ: (0-31,99),(0-7,99)"},
    {"AT+CREG", nullptr, "?0-2", kOk, "+CREG: 0,1", nullptr},
    {"AT+COPS", nullptr, "?0-4;?0-2;?\"*;?0-9", kOk, "+COPS: 0,0,\"VexaNet\"",
     "+COPS: (2,\"VexaNet\",\"VexaNet\",\"00101\"),,(0-4),(0-2)", Effect::Search},
    {"AT+CFUN", nullptr, "0|1|4;?0|1", kOk, "+CFUN: 1", nullptr, Effect::Restart},
    {"AT+CMEE", nullptr, "?0-2", kOk, "", nullptr, Effect::Errors},
    {"AT+CEER", "+CEER: No cause information available", nullptr, nullptr, nullptr, nullptr},
    {"AT+CSCS", nullptr, "\"GSM|IRA|UCS2|HEX", kOk, "+CSCS: \"IRA\"", nullptr},
    {"AT+CBST", nullptr, "?0-134;?0-3;?0-3", kOk, "+CBST: 71,0,1", nullptr},
    // 3GPP TS 27.007: packet domain
    {"AT+CGDCONT", nullptr, "1-3;?\"IP|IPV6|IPV4V6|PPP;?\"*;?\"*;?0-3;?0-4", kOk,
     "+CGDCONT: 1,\"IP\",\"internet\",\"0.0.0.0\",0,0", "+CGDCONT: (1-3),\"IP\",,,(0-3),(0-4)"},
    {"AT+CGAUTH", nullptr, "1-3;?0-2;?\"*;?\"*", kOk, "+CGAUTH: 1,0,\"\",\"\"", nullptr},
    {"AT+CGATT", nullptr, "0|1", kOk, "+CGATT: 1", nullptr},
    {"AT+CGACT", nullptr, "0|1;?1-3", kOk, "+CGACT: 1,1", nullptr},
    {"AT+CGPADDR", "+CGPADDR: 1,\"10.64.12.7\"", "?1-3", "+CGPADDR: 1,\"10.64.12.7\"", nullptr, nullptr},
    {"AT+CGCONTRDP", nullptr, "?1-3",
     "+CGCONTRDP: 1,5,\"internet\",\"10.64.12.7.255.255.255.0\",\"10.64.12.1\",\"10.64.0.10\"", nullptr, nullptr},
    {"AT+CGREG", nullptr, "?0-2", kOk, "+CGREG: 0,1", nullptr},
    {"AT+CGEREP", nullptr, "?0-2;?0|1", kOk, "+CGEREP: 0,0", nullptr},
    {"AT+CGCLASS", nullptr, "\"A|B|CG|CC", kOk, "+CGCLASS: \"B\"", nullptr},
    // 3GPP TS 27.005
    {"AT+CSMS", nullptr, "0|1", "+CSMS: 1,1,1", "+CSMS: 0,1,1,1", nullptr},
    {"AT+CMGF", nullptr, "?0|1", kOk, "", nullptr, Effect::MessageFormat},
    {"AT+CSCA", nullptr, "\"*;?0-255", kOk, "+CSCA: \"+70000000000\",145", nullptr},
    {"AT+CPMS", nullptr, "\"SM|ME|MT;?\"SM|ME|MT;?\"SM|ME|MT", kOk, "", nullptr, Effect::Storage},
    {"AT+CNMI", nullptr, "?0-3;?0-3;?0-3;?0-2;?0|1", kOk, "+CNMI: 0,0,0,0,0", nullptr},
    {"AT+CMGL", kOk, "\"REC UNREAD|REC READ|STO UNSENT|STO SENT|ALL", kOk, nullptr, nullptr, Effect::List, "0-4"},
    {"AT+CMGR", nullptr, "0-255", kOk, nullptr, nullptr, Effect::Read},
    {"AT+CMGD", nullptr, "0-255;?0-4", kOk, nullptr, nullptr, Effect::Delete},
    {"AT+CMGS", nullptr, "\"*;?0-255", kOk, nullptr, nullptr, Effect::Send, "1-255"},
    {"AT+CMGW", kOk, "\"*;?0-255;?\"STO UNSENT|STO SENT", kOk, nullptr, nullptr, Effect::Store, "1-255;?2|3"},
    {"AT+CSDH", nullptr, "?0|1", kOk, "+CSDH: 0", nullptr},
    {"AT+CSAS", kOk, nullptr, nullptr, nullptr, nullptr},
    // The modem maker's own commands, which the quick command panel sends.
    {"AT@ZRMDEB", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT@ZRMSTART", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT@ZRMSTOP", kOk, nullptr, nullptr, nullptr, nullptr},
    {"AT+WOPEN", nullptr, "0|1|3|4", kOk, nullptr, nullptr},
    {"AT+WDWL", kOk, nullptr, nullptr, nullptr, nullptr, Effect::Download},
    {"AT+WIND", nullptr, "0", kOk, nullptr, nullptr},
    {"AT+WFM", nullptr, "1;61", kOk, nullptr, nullptr},
    {"AT+WHCNF", nullptr, "0|3;0", kOk, nullptr, nullptr},
    {"AT+WGPRS", nullptr, "9;1", kOk, nullptr, nullptr},
    {"AT+WCPS", nullptr, "0;1", kOk, nullptr, nullptr},
    {"AT+STSF", nullptr, "2;\"3B6BFFFF1F0100573E", kOk, nullptr, nullptr},
};

Answer error() { return Answer{}; }

Answer failure(std::string result)
{
    Answer answer;
    answer.error = std::move(result);
    return answer;
}

Answer unknown(const ModemState &state)
{
    return state.dialect == Dialect::Huawei ? failure("COMMAND NOT SUPPORT") : error();
}

// 27.005's message errors, numbered or worded as AT+CMEE asks.
Answer messageError(const ModemState &state, int number, const char *words)
{
    return failure("+CMS ERROR: " + (state.errorReports == 2 ? std::string(words) : std::to_string(number)));
}

// A value of the right type outside what the command takes: ERROR, or the
// numbered or worded +CME ERROR once AT+CMEE asked for it.
Answer rangeError(const ModemState &state)
{
    Answer answer;
    if (state.errorReports == 1)
        answer.error = "+CME ERROR: 50";
    else if (state.errorReports == 2)
        answer.error = "+CME ERROR: Incorrect parameters";
    return answer;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

Answer reply(std::string_view text, Action action = Action::None)
{
    Answer answer{{}, true, "", action};
    if (!text.empty())
        for (const auto line : split(text, '|'))
            answer.info.emplace_back(line);
    return answer;
}

bool isNumber(std::string_view text)
{
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool matches(std::string_view alternative, std::string_view value)
{
    if (alternative == "*")
        return true;
    const auto dash = alternative.find('-');
    if (dash != std::string_view::npos && isNumber(alternative.substr(0, dash)) &&
        isNumber(alternative.substr(dash + 1))) {
        if (!isNumber(value))
            return false;
        const long number = std::stol(std::string(value));
        return number >= std::stol(std::string(alternative.substr(0, dash))) &&
               number <= std::stol(std::string(alternative.substr(dash + 1)));
    }
    return alternative == value;
}

struct Value {
    std::string text;
    bool quoted = false;
    bool omitted() const { return text.empty() && !quoted; }
};

// The values after '=', split at commas outside double quotes. A quote
// that is not closed, or text beside a quoted value, is no value at all.
std::optional<std::vector<Value>> values(std::string_view text)
{
    std::vector<Value> out(1);
    bool inside = false;
    for (const char c : text) {
        Value &value = out.back();
        if (inside) {
            if (c == '"')
                inside = false;
            else
                value.text.push_back(c);
        } else if (c == ',') {
            out.emplace_back();
        } else if (c == '"' && value.text.empty() && !value.quoted) {
            inside = value.quoted = true;
        } else if (c == '"' || value.quoted) {
            return std::nullopt;
        } else {
            value.text.push_back(c);
        }
    }
    if (inside)
        return std::nullopt;
    return out;
}

enum class Verdict { Fine, Syntax, Range, TooMany };

// A number in quotes, or a string without them, is a syntax error, as on a
// modem; a value of the right type that the command does not take, or a
// parameter missing or too many, is out of range.
Verdict check(std::string_view rules, const std::vector<Value> &given)
{
    const auto parameters = split(rules, ';');
    if (given.size() > parameters.size())
        return Verdict::TooMany;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        std::string_view rule = parameters[i];
        const bool optional = !rule.empty() && rule.front() == '?';
        if (optional)
            rule.remove_prefix(1);
        if (i >= given.size() || given[i].omitted()) {
            if (!optional)
                return Verdict::Range;
            continue;
        }
        const bool text = !rule.empty() && rule.front() == '"';
        if (text)
            rule.remove_prefix(1);
        if (given[i].quoted != text || (!text && !isNumber(given[i].text)))
            return Verdict::Syntax;
        const auto alternatives = split(rule, '|');
        if (std::none_of(alternatives.begin(), alternatives.end(),
                         [&](std::string_view a) { return matches(a, given[i].text); }))
            return Verdict::Range;
    }
    return Verdict::Fine;
}

// "+CMGF: (0,1)" from the rules "?0|1"; strings are listed quoted, and a
// string that may be anything is left empty.
std::string testReply(const Command &command)
{
    std::string text = std::string(command.name.substr(2)) + ": ";
    bool first = true;
    for (auto rule : split(command.set, ';')) {
        if (!rule.empty() && rule.front() == '?')
            rule.remove_prefix(1);
        text += first ? "" : ",";
        first = false;
        if (rule.empty() || rule.front() != '"') {
            std::string list(rule);
            std::replace(list.begin(), list.end(), '|', ',');
            text += "(" + list + ")";
            continue;
        }
        rule.remove_prefix(1);
        if (rule == "*")
            continue;
        std::string list;
        for (const auto alternative : split(rule, '|'))
            list += (list.empty() ? "\"" : ",\"") + std::string(alternative) + "\"";
        text += "(" + list + ")";
    }
    return text;
}

Answer listing(const std::vector<std::string> &entries) { return Answer{entries, true, "", Action::None}; }

Answer compose(ModemState &state, bool send, const std::vector<Value> &given)
{
    const auto number = [&](std::size_t i) { return i < given.size() ? given[i].text : std::string(); };
    state.composing = {send, state.textMode ? number(0) : std::string(),
                       !state.textMode           ? 2
                       : number(2) == "STO SENT" ? 3
                                                 : 2};
    return Answer{{}, true, "", Action::Compose};
}

Answer messageSet(const Command &command, const std::vector<Value> &given, ModemState &state)
{
    const std::string &first = given[0].text;
    const int number = state.textMode || first.empty() ? 0 : std::stoi(first);
    switch (command.effect) {
    case Effect::List: return listing(state.messages.list(state.textMode ? statusOf(first) : number, state.textMode));
    case Effect::Read:
        if (const auto shown = state.messages.read(std::stoi(first), state.textMode))
            return listing({*shown});
        return messageError(state, 321, "invalid memory index");
    case Effect::Delete:
        state.messages.remove(std::stoi(first), given.size() > 1 && !given[1].omitted() ? std::stoi(given[1].text) : 0);
        return reply(kOk);
    default:
        if (command.effect == Effect::Store && !state.textMode)
            return messageError(state, 303, "operation not supported");
        return compose(state, command.effect == Effect::Send, given);
    }
}

Answer answerRead(const Command &command, const ModemState &state);

Answer answerSet(const Command &command, std::string_view text, ModemState &state)
{
    const char *rules = !state.textMode && command.pduSet ? command.pduSet : command.set;
    const auto given = values(text);
    if (!rules || !given)
        return error();
    if (const Verdict verdict = check(rules, *given); verdict != Verdict::Fine) {
        if (verdict == Verdict::TooMany && state.dialect == Dialect::Huawei)
            return failure("TOO MANY PARAMETERS");
        return verdict == Verdict::Syntax ? error() : rangeError(state);
    }
    const std::string &first = (*given)[0].text;
    switch (command.effect) {
    case Effect::BaudRate: state.baudRate = std::stol(first); break;
    case Effect::Errors: state.errorReports = first.empty() ? 0 : std::stoi(first); break;
    case Effect::MessageFormat: state.textMode = first == "1"; break;
    case Effect::Storage: return answerRead(command, state);
    case Effect::List:
    case Effect::Read:
    case Effect::Delete:
    case Effect::Send:
    case Effect::Store: return messageSet(command, *given, state);
    default: break;
    }
    const bool restart = command.effect == Effect::Restart && first == "1";
    return reply(command.setReply, restart ? Action::StartupNotice : Action::None);
}

Answer answerRead(const Command &command, const ModemState &state)
{
    if (command.effect == Effect::BaudRate)
        return reply("+IPR: " + std::to_string(state.baudRate));
    if (command.effect == Effect::Errors)
        return reply("+CMEE: " + std::to_string(state.errorReports));
    if (command.effect == Effect::MessageFormat)
        return reply(std::string("+CMGF: ") + (state.textMode ? "1" : "0"));
    if (command.effect == Effect::Storage) {
        const std::string used = std::to_string(state.messages.count()) + ",20";
        return reply("+CPMS: \"SM\"," + used + ",\"SM\"," + used + ",\"SM\"," + used);
    }
    return command.read ? reply(command.read) : error();
}

Answer answerTest(const Command &command)
{
    if (!command.test && !command.set)
        return error();
    return reply(command.test ? command.test : testReply(command),
                 command.effect == Effect::Search ? Action::Search : Action::None);
}

Answer answerRun(const Command &command, ModemState &state)
{
    if (!command.run)
        return error();
    if (command.effect == Effect::List)
        return messageSet(command, {Value{state.textMode ? "REC UNREAD" : "0", state.textMode}}, state);
    if (command.effect == Effect::Store)
        return messageSet(command, {Value{}}, state);
    if (command.effect == Effect::EchoOff || command.effect == Effect::EchoOn)
        state.echo = command.effect == Effect::EchoOn;
    return reply(command.run, command.effect == Effect::Download ? Action::StartDownload : Action::None);
}

const Command *find(std::string_view name)
{
    const auto it =
        std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command &c) { return c.name == name; });
    return it == std::end(kCommands) ? nullptr : it;
}

std::string normalise(std::string_view line)
{
    const auto end = line.find_last_not_of(" \t");
    std::string command(line.substr(0, end == std::string_view::npos ? 0 : end + 1));
    for (char &c : command)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return command;
}

std::string_view ending(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix
               ? text.substr(0, text.size() - suffix.size())
               : std::string_view();
}

}  // namespace

Answer answerCommand(std::string_view line, ModemState &state)
{
    const std::string command = normalise(line);
    const std::string_view text = command;
    if (const auto name = ending(text, "=?"); !name.empty()) {
        const Command *c = find(name);
        return c ? answerTest(*c) : unknown(state);
    }
    if (const auto name = ending(text, "?"); !name.empty()) {
        const Command *c = find(name);
        return c ? answerRead(*c, state) : unknown(state);
    }
    if (const auto equals = text.find('='); equals != std::string_view::npos) {
        const Command *c = find(text.substr(0, equals));
        return c ? answerSet(*c, text.substr(equals + 1), state) : unknown(state);
    }
    const Command *c = find(text);
    return c ? answerRun(*c, state) : unknown(state);
}

Answer finishMessage(const std::string &text, ModemState &state)
{
    const ModemState::Composing message = state.composing;
    if (message.send) {
        const bool hex = text.size() % 2 == 0 && text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
        if (!state.textMode && !hex)
            return messageError(state, 304, "invalid PDU mode parameter");
        state.lastReference = (state.lastReference + 1) % 256;
        return reply("+CMGS: " + std::to_string(state.lastReference));
    }
    if (const auto index = state.messages.add(message.status, message.number, text))
        return reply("+CMGW: " + std::to_string(*index));
    return messageError(state, 322, "memory full");
}

std::string abortedResult(const ModemState &state) { return state.dialect == Dialect::Ublox ? "ABORTED" : "ERROR"; }

}  // namespace vexa::modemsim
