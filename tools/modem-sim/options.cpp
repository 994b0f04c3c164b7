#include "options.h"

#include <cctype>
#include <initializer_list>
#include <utility>

namespace vexa::modemsim {

namespace {

constexpr int kMinNakIntervalMs = 10;
constexpr int kMaxNakIntervalMs = 60000;
constexpr long kMaxBlock = 1000000;
constexpr long kMaxSearchTimeMs = 600000;
constexpr long kMinUrcPeriodMs = 10;

// A decimal number from `low` to `high`.
bool parseNumber(const std::string &text, long low, long high, long &value)
{
    if (text.empty() || text.size() > 7)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stol(text);
    return value >= low && value <= high;
}

bool parseInterval(const std::string &text, long low, int &value)
{
    long parsed = 0;
    if (!parseNumber(text, low, kMaxNakIntervalMs, parsed))
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool parseBlock(const std::string &text, std::size_t &block)
{
    long parsed = 0;
    if (!parseNumber(text, 1, kMaxBlock, parsed))
        return false;
    block = static_cast<std::size_t>(parsed);
    return true;
}

// "K" or "K:N": block K is rejected N times (once without N).
bool parseRejection(const std::string &text, XmodemFaults &faults)
{
    const std::size_t colon = text.find(':');
    long times = 1;
    if (colon != std::string::npos && !parseNumber(text.substr(colon + 1), 1, 1000, times))
        return false;
    faults.rejectTimes = static_cast<int>(times);
    return parseBlock(text.substr(0, colon), faults.rejectBlock);
}

// A value that names one of a few choices.
template <typename Choice>
bool parseChoice(const std::string &text, std::initializer_list<std::pair<const char *, Choice>> choices, Choice &value)
{
    for (const auto &[name, choice] : choices)
        if (text == name) {
            value = choice;
            return true;
        }
    return false;
}

// Applies one option that takes a value; returns an error text or "".
std::string applyValue(const std::string &name, const std::string &value, Options &options)
{
    if (value.empty())
        return name + " needs a value";
    XmodemFaults &faults = options.faults;
    if (name == "--store") {
        options.storeDir = value;
    } else if (name == "--link") {
        options.linkMode = Options::LinkMode::Explicit;
        options.linkPath = value;
    } else if (name == "--nak-interval") {
        if (!parseInterval(value, kMinNakIntervalMs, options.nakIntervalMs))
            return "--nak-interval wants milliseconds from 10 to 60000";
    } else if (name == "--next-image-wait") {
        if (!parseInterval(value, 0, options.nextImageWaitMs))
            return "--next-image-wait wants milliseconds from 0 to 60000";
    } else if (name == "--nak-period") {
        if (!parseInterval(value, 1, options.nakPeriodMs))
            return "--nak-period wants milliseconds from 1 to 60000";
    } else if (name == "--search-time") {
        long parsed = 0;
        if (!parseNumber(value, 0, kMaxSearchTimeMs, parsed))
            return "--search-time wants milliseconds from 0 to 600000";
        options.searchTimeMs = static_cast<int>(parsed);
    } else if (name == "--reject-block") {
        if (!parseRejection(value, faults))
            return "--reject-block wants BLOCK or BLOCK:TIMES (block from 1, times 1 to 1000)";
    } else if (name == "--urc-period") {
        if (!parseInterval(value, kMinUrcPeriodMs, options.urcPeriodMs))
            return "--urc-period wants milliseconds from 10 to 60000";
    } else if (name == "--prompt-form") {
        if (!parseChoice(
                value, {{"crlf-blank", PromptForm::LineBlank}, {"crlf", PromptForm::Line}, {"bare", PromptForm::Bare}},
                options.promptForm))
            return "--prompt-form wants crlf-blank, crlf or bare";
    } else if (name == "--finals") {
        if (!parseChoice(value, {{"v250", Dialect::V250}, {"huawei", Dialect::Huawei}, {"ublox", Dialect::Ublox}},
                         options.dialect))
            return "--finals wants v250, huawei or ublox";
    } else if (name == "--rfc2217") {
        long port = 0;
        if (!parseNumber(value, 0, 65535, port))
            return "--rfc2217 wants a TCP port from 0 to 65535";
        options.rfc2217Port = static_cast<int>(port);
    } else if (!parseBlock(value, name == "--silent-after" ? faults.silentAfter : faults.cancelAfter)) {
        return name + " wants a block number from 1";
    }
    return {};
}

bool takesValue(const std::string &arg)
{
    for (const char *name :
         {"--store", "--link", "--nak-interval", "--next-image-wait", "--reject-block", "--silent-after",
          "--cancel-after", "--rfc2217", "--nak-period", "--search-time", "--urc-period", "--prompt-form", "--finals"})
        if (arg == name)
            return true;
    return false;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string> &args)
{
    ParsedOptions parsed;
    Options &options = parsed.options;
    bool sawLink = false;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string &arg = args[i];
        if ((arg == "--link" || arg == "--no-link") && std::exchange(sawLink, true)) {
            parsed.error = "give only one of --link and --no-link";
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--crc") {
            options.crc = true;
        } else if (arg == "--no-link") {
            options.linkMode = Options::LinkMode::None;
        } else if (takesValue(arg)) {
            if (i + 1 == args.size())
                parsed.error = arg + " needs a value";
            else
                parsed.error = applyValue(arg, args[++i], options);
        } else {
            parsed.error = "unknown option " + arg;
        }
    }
    return parsed;
}

std::string usage()
{
    return "usage: vexa-modem-sim [--store DIR] [--link PATH | --no-link]\n"
           "                      [--nak-interval MS] [--next-image-wait MS]\n"
           "                      [--reject-block K[:N]] [--silent-after K] [--cancel-after K]\n"
           "                      [--crc] [--nak-period MS] [--rfc2217 PORT]\n"
           "                      [--search-time MS] [--urc-period MS]\n"
           "                      [--prompt-form crlf-blank|crlf|bare] [--finals v250|huawei|ublox]\n"
           "                      [--quiet] [--help]\n"
           "\n"
           "Simulates an AT-command GSM modem on a pseudo-terminal.\n"
           "\n"
           "  --store DIR         where images received after AT+WDWL go (default: .)\n"
           "  --link PATH         make PATH a symlink to the modem's port\n"
           "  --no-link           make no symlink\n"
           "                      (default: /dev/ttyV<n>, first free n in 0..63,\n"
           "                      when /dev is writable, e.g. as root)\n"
           "  --nak-interval MS   XMODEM NAK and time-out interval (default: 3000)\n"
           "  --next-image-wait MS  after an image, wait this long for the next one\n"
           "                      before going back to command mode (default: 5000)\n"
           "  --reject-block K[:N]  answer block K of each image with NAK, N times\n"
           "                      (default 1), though it is intact\n"
           "  --silent-after K    after acknowledging block K, answer nothing\n"
           "  --cancel-after K    acknowledge block K, then cancel with CAN CAN\n"
           "  --rfc2217 PORT      also serve the modem as a network port (RFC 2217) on\n"
           "                      127.0.0.1:PORT (0: a free port; the address is printed),\n"
           "                      with CTS, DSR and DCD on: rfc2217://localhost:PORT\n"
           "  --crc               ask for XMODEM-CRC with 'C' (takes 1024-byte blocks\n"
           "                      too) instead of checksum blocks with NAK\n"
           "  --nak-period MS     while waiting for an image, ask every MS as well,\n"
           "                      whatever arrives (default: only on time-outs)\n"
           "  --search-time MS    how long AT+COPS=? searches for networks before it\n"
           "                      answers; a byte sent meanwhile aborts it (default: 5000)\n"
           "  --urc-period MS     send an unsolicited code (RING, +CREG, +CMTI, +CMT with\n"
           "                      its text, ...) at random about every MS, also between\n"
           "                      the lines of an answer (default: none)\n"
           "  --prompt-form FORM  how AT+CMGS and AT+CMGW ask for the text: crlf-blank\n"
           "                      (CR LF > blank, the default), crlf (CR LF >), bare (>)\n"
           "  --finals DIALECT    whose result codes for failures: v250 (ERROR, the\n"
           "                      default), huawei (COMMAND NOT SUPPORT, TOO MANY\n"
           "                      PARAMETERS), ublox (ABORTED for an aborted search)\n"
           "  --quiet             do not log commands, only port, link and images\n"
           "  --help              show this text\n";
}

}  // namespace vexa::modemsim
