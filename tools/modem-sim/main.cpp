// vexa-modem-sim: an AT-command GSM modem on a pseudo-terminal, for trying
// Vexa without hardware and for end-to-end tests.

#include "image_store.h"
#include "network_port.h"
#include "options.h"
#include "port_link.h"
#include "pty.h"
#include "signal_pipe.h"
#include "simulator.h"

#include <csignal>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace vexa::modemsim;

namespace {

// Where Vexa's port picker looks, with its numbers 0..63.
constexpr const char *kLinkFamily = "/dev/ttyV";
constexpr int kLinkFamilySize = 64;

bool isWritableDir(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

PortLink tryLink(const Options &options, const std::string &slavePath, std::string &error)
{
    if (options.linkMode == Options::LinkMode::Explicit)
        return PortLink::create(options.linkPath, slavePath, error);
    if (::access("/dev", W_OK) == 0)
        return PortLink::createInFamily(kLinkFamily, kLinkFamilySize, slavePath, error);
    error = "no link: /dev is not writable (run as root to get /dev/ttyV<n>)";
    return PortLink();
}

PortLink makeLink(const Options &options, const std::string &slavePath)
{
    if (options.linkMode == Options::LinkMode::None)
        return PortLink();
    std::string error;
    PortLink link = tryLink(options, slavePath, error);
    if (link.valid())
        std::cout << "vexa-modem-sim: link " << link.path() << " -> " << slavePath << std::endl;
    else
        std::cerr << "vexa-modem-sim: " << error << std::endl;
    return link;
}

int runSimulator(const Options &options)
{
    SignalPipe signals{SIGINT, SIGTERM, SIGHUP};
    ::signal(SIGPIPE, SIG_IGN);
    Pty pty = openPty();
    std::cout << "vexa-modem-sim: modem on " << pty.slavePath << std::endl;
    const PortLink link = makeLink(options, pty.slavePath);
    if (options.linkMode == Options::LinkMode::Explicit && !link.valid())
        return 1;
    std::optional<NetworkPort> network;
    if (options.rfc2217Port >= 0) {
        network.emplace(pty.slavePath, static_cast<std::uint16_t>(options.rfc2217Port), std::cout);
        std::cout << "vexa-modem-sim: network port rfc2217://localhost:" << network->port() << std::endl;
    }
    ImageStore store(options.storeDir);
    Simulator::Config config{options.nakIntervalMs,
                             options.quiet,
                             options.nextImageWaitMs,
                             options.faults,
                             {options.crc, options.nakPeriodMs}};
    config.searchTime = options.searchTimeMs;
    config.urcPeriod = options.urcPeriodMs;
    config.promptForm = options.promptForm;
    config.dialect = options.dialect;
    return Simulator(pty.master.get(), signals.fd(), store, config, std::cout).run();
}

}  // namespace

int main(int argc, char **argv)
{
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::cerr << "vexa-modem-sim: " << parsed.error << "\n" << usage();
        return 2;
    }
    if (parsed.options.help) {
        std::cout << usage();
        return 0;
    }
    if (!isWritableDir(parsed.options.storeDir)) {
        std::cerr << "vexa-modem-sim: --store " << parsed.options.storeDir << " is not a writable folder\n";
        return 2;
    }
    try {
        return runSimulator(parsed.options);
    } catch (const std::system_error &e) {
        std::cerr << "vexa-modem-sim: " << e.what() << std::endl;
        return 1;
    }
}
