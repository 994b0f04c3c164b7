#include "platform/WriteBound.h"

#include <algorithm>

namespace vexa {

std::uint32_t Write_Bound_Ms(std::uint32_t count, std::uint32_t baudRate)
{
    constexpr std::uint64_t kBitsPerChar = 12, kMargin = 2, kBaseMs = 1000;
    const std::uint64_t baud = std::max<std::uint32_t>(baudRate, 110);
    const std::uint64_t lineMs = (std::uint64_t(count) * kBitsPerChar * 1000 * kMargin + baud - 1) / baud;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kBaseMs + lineMs, UINT32_MAX));
}

// What it took makes the queue longer: the next level starts afresh.
void WriteWatch::Took(std::uint64_t nowMs)
{
    lastMove_ = nowMs;
    level_ = -1;
}

void WriteWatch::Queued(std::uint64_t nowMs, std::int64_t level)
{
    if (level >= 0 && level_ >= 0 && level < level_)
        lastMove_ = nowMs;
    level_ = level;
}

std::uint32_t WriteWatch::Wait_Ms(std::uint64_t nowMs) const
{
    const std::uint64_t left = Stalled(nowMs) ? 0 : lastMove_ + boundMs_ - nowMs;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kWriteLookMs));
}

}  // namespace vexa
