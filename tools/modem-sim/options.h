#pragma once

#include "xmodem_receiver.h"

#include <string>
#include <vector>

namespace vexa::modemsim {

struct Options {
    enum class LinkMode { Auto, Explicit, None };

    std::string storeDir = ".";
    LinkMode linkMode = LinkMode::Auto;
    std::string linkPath; // for LinkMode::Explicit
    int nakIntervalMs = 3000;
    int nextImageWaitMs = 5000;
    XmodemFaults faults;
    int searchTimeMs = 5000;
    bool quiet = false;
    bool help = false;
};

struct ParsedOptions {
    Options options;
    std::string error; // empty when the command line was fine
};

// `args` excludes the program name.
ParsedOptions parseOptions(const std::vector<std::string>& args);
std::string usage();

} // namespace vexa::modemsim
