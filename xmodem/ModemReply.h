#pragma once
// What one chunk of the modem's bytes says to an XMODEM sender.

#include <cstdint>

enum class Modem_Reply { None, Nak, Ack, Cancel };

// Two CAN bytes in a row cancel, wherever they stand, also split over two
// chunks: canPending carries a CAN that ended the previous chunk. Otherwise
// an ACK anywhere in the chunk wins over a NAK, so that a NAK followed by an
// ACK counts as the ACK. Every other byte is line noise.
Modem_Reply Scan_Reply(const std::uint8_t *bytes, std::uint32_t count, bool &canPending);
