#include "platform/TermiosMapping.h"

#include <iterator>

namespace vexa {
namespace {

struct SpeedCode {
    std::uint32_t rate;
    tcflag_t code;
};

const SpeedCode kSpeedCodes[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},         {200, B200},
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},   {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

tcflag_t Size_Bits(std::uint8_t byteSize)
{
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

}  // namespace

bool Apply_Settings(const PortSettings &s, struct termios2 &tio)
{
    if (s.ByteSize < 5 || s.ByteSize > 8 || s.Parity > kSpaceParity || s.StopBits > kTwoStopBits || s.BaudRate == 0)
        return false;
    // A UART's second stop bit is one and a half bits long with 5 data bits.
    const bool fiveBits = s.ByteSize == 5;
    if ((s.StopBits == kOne5StopBits && !fiveBits) || (s.StopBits == kTwoStopBits && fiveBits))
        return false;

    tcflag_t c = tio.c_cflag & ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    c |= Size_Bits(s.ByteSize);
    switch (s.Parity) {
    case kOddParity: c |= PARENB | PARODD; break;
    case kEvenParity: c |= PARENB; break;
    case kMarkParity: c |= PARENB | CMSPAR | PARODD; break;
    case kSpaceParity: c |= PARENB | CMSPAR; break;
    default: break;
    }
    if (s.StopBits != kOneStopBit)
        c |= CSTOPB;
    if (s.fOutxCtsFlow || s.fRtsControl == kRtsControlHandshake)
        c |= CRTSCTS;

    tcflag_t code = BOTHER;
    for (const SpeedCode &sc : kSpeedCodes)
        if (sc.rate == s.BaudRate)
            code = sc.code;
    c |= code;
    tio.c_cflag = c;
    tio.c_ispeed = s.BaudRate;
    tio.c_ospeed = s.BaudRate;
    return true;
}

PortSettings Read_Settings(const struct termios2 &tio, bool rtsOn, bool dtrOn)
{
    PortSettings s;
    const tcflag_t c = tio.c_cflag;
    const tcflag_t code = c & CBAUD;
    s.BaudRate = tio.c_ospeed;
    for (const SpeedCode &sc : kSpeedCodes)
        if (code != BOTHER && sc.code == code)
            s.BaudRate = sc.rate;

    switch (c & CSIZE) {
    case CS5: s.ByteSize = 5; break;
    case CS6: s.ByteSize = 6; break;
    case CS7: s.ByteSize = 7; break;
    default: s.ByteSize = 8; break;
    }
    if (!(c & PARENB))
        s.Parity = kNoParity;
    else if (c & CMSPAR)
        s.Parity = (c & PARODD) ? kMarkParity : kSpaceParity;
    else
        s.Parity = (c & PARODD) ? kOddParity : kEvenParity;

    if (!(c & CSTOPB))
        s.StopBits = kOneStopBit;
    else
        s.StopBits = s.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;

    s.fOutxCtsFlow = (c & CRTSCTS) != 0;
    if (s.fOutxCtsFlow)
        s.fRtsControl = kRtsControlHandshake;
    else
        s.fRtsControl = rtsOn ? kRtsControlEnable : kRtsControlDisable;
    s.fDtrControl = dtrOn ? kDtrControlEnable : kDtrControlDisable;
    return s;
}

void Make_Raw(struct termios2 &tio)
{
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

}  // namespace vexa
