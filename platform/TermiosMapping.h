#pragma once
// Port settings <-> the Linux kernel's termios2, both ways, as pure functions.
// termios2 carries any speed (BOTHER) beside the classic Bxxx table.
// This header brings in <asm/termbits.h>: never include it next to <termios.h>.

#include <asm/termbits.h>

#include "platform/SerialPort.h"

namespace vexa {

// Writes speed, framing and hardware handshake into tio; every other bit
// stays. False, and tio untouched, for a combination the line cannot do:
// 5..8 data bits only, 1.5 stop bits only with 5 data bits, 2 stop bits not
// with 5, parity 0..4, a speed of at least 1.
bool Apply_Settings(const PortSettings &settings, struct termios2 &tio);

// Reads them back. RTS and DTR are line states the termios does not hold;
// the caller passes what the port really does.
PortSettings Read_Settings(const struct termios2 &tio, bool rtsOn, bool dtrOn);

// No echo, no canonical mode, no CR/NL mapping, no output processing,
// no software flow control, receiver on, modem lines ignored for open/read.
void Make_Raw(struct termios2 &tio);

}  // namespace vexa
