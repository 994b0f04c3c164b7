#include "platform/DcbMapping.h"

namespace vexa {

bool Apply_Settings(const PortSettings &s, Dcb &dcb)
{
    if (s.fRtsControl > kRtsControlToggle || s.fDtrControl > kDtrControlHandshake)
        return false;
    dcb.BaudRate = s.BaudRate;
    dcb.ByteSize = s.ByteSize;
    dcb.Parity = s.Parity;
    dcb.StopBits = s.StopBits;
    dcb.fOutxCtsFlow = s.fOutxCtsFlow ? 1 : 0;
    dcb.fRtsControl = s.fRtsControl;
    dcb.fDtrControl = s.fDtrControl;
    return true;
}

PortSettings Read_Settings(const Dcb &dcb)
{
    PortSettings s;
    s.BaudRate = dcb.BaudRate;
    s.ByteSize = dcb.ByteSize;
    s.Parity = static_cast<Parity_Mode>(dcb.Parity);
    s.StopBits = static_cast<Stop_Bits>(dcb.StopBits);
    s.fOutxCtsFlow = dcb.fOutxCtsFlow != 0;
    s.fRtsControl = static_cast<Rts_Control>(dcb.fRtsControl);
    s.fDtrControl = static_cast<Dtr_Control>(dcb.fDtrControl);
    return s;
}

void Make_Transparent(Dcb &dcb)
{
    dcb.fBinary = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fErrorChar = 0;
    dcb.fAbortOnError = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDsrSensitivity = 0;
}

}  // namespace vexa
