#pragma once
// How long one write may wait for the line to move before it counts as
// failed. A port held off by CTS never takes the bytes; the bound lets such a
// write end with an error instead of freezing its thread. A line that moves,
// however slowly, never fails a write.

#include <cstdint>

namespace vexa {

// One second, plus twice the time the bytes need on the line at the given
// speed with the widest framing (12 bits a character: start, 8 data, parity,
// 2 stop). Speeds below 110 bit/s count as 110.
std::uint32_t Write_Bound_Ms(std::uint32_t count, std::uint32_t baudRate);

// How often a waiting write looks at the line (and at its stop request).
constexpr std::uint32_t kWriteLookMs = 50;

// Watches one write on a clock in milliseconds: the bound runs from the last
// time the line moved. A driver signals room only once its queue has
// drained well down (on a UART, below 256 characters), so the queue's level
// is looked at as well as what the driver takes.
class WriteWatch {
public:
    WriteWatch(std::uint32_t boundMs, std::uint64_t nowMs) : boundMs_(boundMs), lastMove_(nowMs) {}
    // The driver took bytes of the write.
    void Took(std::uint64_t nowMs);
    // The bytes the driver's output queue holds, or a negative value when it
    // cannot tell. Fewer than at the last look means the line moved.
    void Queued(std::uint64_t nowMs, std::int64_t level);
    bool Stalled(std::uint64_t nowMs) const { return nowMs - lastMove_ >= boundMs_; }
    // How long to wait before the next look.
    std::uint32_t Wait_Ms(std::uint64_t nowMs) const;

private:
    std::uint32_t boundMs_;
    std::uint64_t lastMove_;
    std::int64_t level_ = -1;
};

}  // namespace vexa
