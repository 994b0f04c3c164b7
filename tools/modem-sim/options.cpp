#include "options.h"

#include <cctype>
#include <utility>

namespace vexa::modemsim {

namespace {

constexpr int kMinNakIntervalMs = 10;
constexpr int kMaxNakIntervalMs = 60000;

bool parseInterval(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    value = std::stoi(text);
    return value >= kMinNakIntervalMs && value <= kMaxNakIntervalMs;
}

// Applies one option that takes a value; returns an error text or "".
std::string applyValue(const std::string& name, const std::string& value, Options& options)
{
    if (value.empty())
        return name + " needs a value";
    if (name == "--store") {
        options.storeDir = value;
    } else if (name == "--link") {
        options.linkMode = Options::LinkMode::Explicit;
        options.linkPath = value;
    } else if (!parseInterval(value, options.nakIntervalMs)) {
        return "--nak-interval wants milliseconds from 10 to 60000";
    }
    return {};
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args)
{
    ParsedOptions parsed;
    Options& options = parsed.options;
    bool sawLink = false;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "--link" || arg == "--no-link") && std::exchange(sawLink, true)) {
            parsed.error = "give only one of --link and --no-link";
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--no-link") {
            options.linkMode = Options::LinkMode::None;
        } else if (arg == "--store" || arg == "--link" || arg == "--nak-interval") {
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
           "                      [--nak-interval MS] [--quiet] [--help]\n"
           "\n"
           "Simulates an AT-command GSM modem on a pseudo-terminal.\n"
           "\n"
           "  --store DIR         where images received after AT+WDWL go (default: .)\n"
           "  --link PATH         make PATH a symlink to the modem's port\n"
           "  --no-link           make no symlink\n"
           "                      (default: /dev/ttyV<n>, first free n in 0..63,\n"
           "                      when /dev is writable, e.g. as root)\n"
           "  --nak-interval MS   XMODEM NAK and time-out interval (default: 3000)\n"
           "  --quiet             do not log commands, only port, link and images\n"
           "  --help              show this text\n";
}

} // namespace vexa::modemsim
