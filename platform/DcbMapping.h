#pragma once
// Port settings <-> the Windows device-control block (DCB), both ways, as
// pure functions. On Windows they work on the real DCB; elsewhere on a
// stand-in with the same fields, bit widths and layout, so that the same
// code and the same tests run on both.

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
#endif

#include "platform/SerialPort.h"

namespace vexa {

#ifdef _WIN32
using Dcb = DCB;
#else
struct Dcb {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t fBinary : 1;
    std::uint32_t fParity : 1;
    std::uint32_t fOutxCtsFlow : 1;
    std::uint32_t fOutxDsrFlow : 1;
    std::uint32_t fDtrControl : 2;
    std::uint32_t fDsrSensitivity : 1;
    std::uint32_t fTXContinueOnXoff : 1;
    std::uint32_t fOutX : 1;
    std::uint32_t fInX : 1;
    std::uint32_t fErrorChar : 1;
    std::uint32_t fNull : 1;
    std::uint32_t fRtsControl : 2;
    std::uint32_t fAbortOnError : 1;
    std::uint32_t fDummy2 : 17;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;
    std::uint8_t StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};
#endif
static_assert(sizeof(Dcb) == 28, "the device-control block is 28 bytes");

// Writes speed, framing, CTS output flow and the RTS and DTR modes into dcb;
// every other field stays as the driver reported it. Whether the driver can
// do the combination is for SetCommState to say. False, and dcb untouched,
// only for a mode the record cannot hold (RTS above 3, DTR above 2).
bool Apply_Settings(const PortSettings &settings, Dcb &dcb);

PortSettings Read_Settings(const Dcb &dcb);

// Binary and transparent: no XON/XOFF either way, no null stripping, no
// error-character replacement, no abort on a line error, DSR ignored for
// sending and receiving. Every byte value then crosses as it is. Speed,
// framing and the CTS/RTS handshake stay.
void Make_Transparent(Dcb &dcb);

}  // namespace vexa
