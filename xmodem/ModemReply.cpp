#include "xmodem/ModemReply.h"

#include "xmodem/XmodemBlock.h"

Modem_Answer Scan_Reply(const std::uint8_t *bytes, std::uint32_t count, bool &canPending)
{
    Modem_Answer answer;
    bool ack = false, nak = false, cancel = false, request = false, text = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        cancel = cancel || (canPending && b == kCan);
        canPending = b == kCan;
        if (b == kAck) {
            ++answer.answers;
            answer.after_ack += ack;
        }
        ack = ack || b == kAck;
        nak = nak || b == kNak;
        request = request || b == kCrcRequest;
        text = text || (b != kAck && b != kNak && b != kCan && b != kCrcRequest);
    }
    if (cancel)
        answer.reply = Modem_Reply::Cancel;
    else if (ack)
        answer.reply = Modem_Reply::Ack;
    else if (nak)
        answer.reply = Modem_Reply::Nak;
    else if (request && !text)
        answer.reply = Modem_Reply::Crc_Request;
    return answer;
}
