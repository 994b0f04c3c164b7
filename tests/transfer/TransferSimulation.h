#pragma once
// Two file-transfer subsystems as the page runs them (their timers, their
// dialogs offscreen) joined by two simulated lines on one virtual clock.
// A schedule is everything one run depends on, drawn from a seed: the file,
// both sides' intervals, each direction's speed, delay, jitter and faults,
// and when the users answer or cancel. The same seed runs the same way.
//
// What the line does to a frame is decided per frame written: it may be
// lost whole, or lose, gain or change bytes anywhere in it. A changed byte
// inside a data frame's data is a fault of its own kind (the frames carry
// no checksum, so nothing can see it): it is only made where a schedule
// asks for it, and a stored file that differs exactly there is "flagged",
// not wrong. For the same reason the line never turns an announcement into
// one that reads well with another name or size.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <set>

#include "support/SimulatedLine.h"

namespace transfer_sim {

// The bytes a frame arrives as (empty: lost whole). toReceiver tells the
// direction; nth counts the frames of its kind that way, from 1.
using FrameFate = std::function<QByteArray(const QByteArray &frame, int nth, bool toReceiver)>;

struct Schedule {
    std::uint64_t seed = 0;
    qsizetype size = 3 * 32768;
    bool repeated_blocks = false;  // every 32768-byte block of the file alike, as padding is
    int sender_packet_ms = 3000, sender_frame_ms = 3000, receiver_packet_ms = 3000, receiver_frame_ms = 3000;
    LineTiming forward, backward;
    // Chances per frame written, and whether data bytes may change.
    double spoil = 0, drop = 0;
    bool data_flips = false;
    int accept_after_ms = 300;
    bool refuse = false;
    std::int64_t sender_cancel_at = -1, receiver_cancel_at = -1;  // ms, -1: never
    FrameFate fate;  // a named schedule's faults, instead of the random ones
    // Told each frame as written and as it travels, for replaying a seed.
    std::function<void(const QString &)> trace;
};

Schedule Random_Schedule(std::uint64_t seed);

struct Outcome {
    bool ended = false;                      // nothing left to run and no timer running, within the bound
    bool agree = false;                      // both sides tell the same outcome
    bool wrong_file = false;                 // the announced name holds other bytes than were sent
    bool flagged = false;                    // it differs, but only where data bytes were changed
    bool kept = false;                       // the receiver kept the file
    bool completed = false;                  // the sender's log ends the transfer
    std::int64_t ended_at = 0;               // ms
    std::int64_t bound = 0;                  // ms
    QStringList sender_told, receiver_told;  // notices, an empty file's aside
    QString story;                           // what each side told, for a failing seed
};

Outcome Run_Schedule(const Schedule &schedule);

}  // namespace transfer_sim
