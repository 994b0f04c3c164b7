#pragma once

#include "at_commands.h"

#include <random>
#include <string>

namespace vexa::modemsim {

// An unsolicited code such as a GSM modem sends when something happens (a
// call, a registration, a new message, a network event), framed as one
// piece, chosen at random. A new message indicated with +CMTI: is stored
// first; one delivered with +CMT: or +CBM: carries a text that reads like a
// result code, in the form AT+CMGF chose.
std::string unsolicitedCode(ModemState &state, std::mt19937 &random);

}  // namespace vexa::modemsim
