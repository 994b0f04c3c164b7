#pragma once
// What one chunk of the modem's bytes says to an XMODEM sender.

#include <cstdint>

enum class Modem_Reply { None, Crc_Request, Nak, Ack, Cancel };

struct Modem_Answer {
    Modem_Reply reply = Modem_Reply::None;
    // ACK bytes in the chunk, and those of them after its first: a receiver
    // acknowledges every copy it gets of a block it holds. NAKs do not count:
    // noise and the receiver's time-outs make NAKs that answer no copy.
    int answers = 0;
    int after_ack = 0;
};

// Two CAN bytes in a row cancel, wherever they stand, also split over two
// chunks: canPending carries a CAN that ended the previous chunk. Otherwise
// an ACK anywhere in the chunk wins over a NAK, so that a NAK followed by an
// ACK counts as the ACK, and a NAK wins over a 'C'. A 'C' asks for CRC only
// in a chunk of nothing but such answers, so that a letter of the modem's
// text is not taken for one. Every other byte is line noise.
Modem_Answer Scan_Reply(const std::uint8_t *bytes, std::uint32_t count, bool &canPending);
