#pragma once
// How long one write may take before it counts as failed. A port held off by
// CTS never takes the bytes; the bound lets such a write end with an error
// instead of freezing its thread.

#include <cstdint>

namespace vexa {

// One second, plus twice the time the bytes need on the line at the given
// speed with the widest framing (12 bits a character: start, 8 data, parity,
// 2 stop). Speeds below 110 bit/s count as 110.
std::uint32_t Write_Bound_Ms(std::uint32_t count, std::uint32_t baudRate);

}  // namespace vexa
