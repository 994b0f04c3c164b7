#include "platform/PeerSilence.h"

#include <algorithm>

namespace vexa {

// An answer that came after data in flight was first seen ends that wait;
// what is in flight now is younger.
bool PeerSilence::Dead(std::uint64_t nowMs, std::uint64_t lastAnswerAgoMs, bool inFlight, std::uint32_t probes)
{
    if (probes >= kUnansweredProbes && lastAnswerAgoMs >= deadLinkMs_)
        return true;
    if (!inFlight) {
        waiting_ = false;
        return false;
    }
    const std::uint64_t answeredAt = nowMs - std::min(lastAnswerAgoMs, nowMs);
    if (!waiting_ || answeredAt > since_) {
        waiting_ = true;
        since_ = nowMs;
    }
    return nowMs - since_ >= deadLinkMs_;
}

}  // namespace vexa
