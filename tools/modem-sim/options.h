#pragma once

#include "command_session.h"
#include "xmodem_receiver.h"

#include <string>
#include <vector>

namespace vexa::modemsim {

struct Options {
    enum class LinkMode { Auto, Explicit, None };

    std::string storeDir = ".";
    LinkMode linkMode = LinkMode::Auto;
    std::string linkPath;  // for LinkMode::Explicit
    int nakIntervalMs = 3000;
    int nextImageWaitMs = 5000;
    XmodemFaults faults;
    int searchTimeMs = 5000;
    bool quiet = false;
    bool help = false;
    int rfc2217Port = -1;  // also serve the modem on 127.0.0.1 at this TCP port (0: a free one); -1: not
    bool crc = false;      // ask with 'C' for CRC blocks
    int nakPeriodMs = 0;   // while waiting, ask again this often; 0: only on time-outs
    int urcPeriodMs = 0;   // an unsolicited code about this often; 0: none
    PromptForm promptForm = PromptForm::LineBlank;
    Dialect dialect = Dialect::V250;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was fine
};

// `args` excludes the program name.
ParsedOptions parseOptions(const std::vector<std::string> &args);
std::string usage();

}  // namespace vexa::modemsim
