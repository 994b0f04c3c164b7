#pragma once

#include "unique_fd.h"

#include <string>

namespace vexa::modemsim {

// A pseudo-terminal whose slave side plays the modem's serial port.
struct Pty {
    UniqueFd master;      // non-blocking; the simulator talks here
    UniqueFd slaveGuard;  // held open so the master never sees a hang-up
    std::string slavePath;
};

// Opens the pair and puts the slave in raw mode. Throws std::system_error.
Pty openPty();

}  // namespace vexa::modemsim
