#include "xmodem/ModemReply.h"

#include "xmodem/XmodemBlock.h"

Modem_Reply Scan_Reply(const std::uint8_t *bytes, std::uint32_t count, bool &canPending)
{
    bool ack = false, nak = false, cancel = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        cancel = cancel || (canPending && b == kCan);
        canPending = b == kCan;
        ack = ack || b == kAck;
        nak = nak || b == kNak;
    }
    if (cancel)
        return Modem_Reply::Cancel;
    if (ack)
        return Modem_Reply::Ack;
    return nak ? Modem_Reply::Nak : Modem_Reply::None;
}
