#pragma once
// Tells a dead network link from one that is merely held off. A peer that
// keeps answering is alive however long it keeps its window shut (a device
// held off by CTS, a busy modem). Data in flight that goes unacknowledged
// for the dead-link time makes the link dead; probes of a shut window come
// ever further apart and an answer to one may be lost, so only several
// unanswered in a row, with nothing heard for the dead-link time, do. The
// looks come from the kernel's view of the connection; an idle link is
// left to keepalive.

#include <cstdint>

namespace vexa {

class PeerSilence {
public:
    // Unanswered window probes in a row that, with the silence, mean death.
    static constexpr std::uint32_t kUnansweredProbes = 3;

    explicit PeerSilence(std::uint32_t deadLinkMs) : deadLinkMs_(deadLinkMs) {}
    // A look at nowMs: how long ago the peer last acknowledged anything,
    // whether data it has not acknowledged is in flight, and how many probes
    // in a row it has not answered. True once the link is dead.
    bool Dead(std::uint64_t nowMs, std::uint64_t lastAnswerAgoMs, bool inFlight, std::uint32_t probes);

private:
    std::uint32_t deadLinkMs_;
    bool waiting_ = false;
    std::uint64_t since_ = 0;  // the first look that found data in flight
};

}  // namespace vexa
