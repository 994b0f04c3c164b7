#pragma once
// Firmware downloads on a simulated line: the page's download, with its own
// timers, against the simulator's XMODEM receiver, both on a virtual clock,
// so that thousands of schedules run in seconds and any one of them replays
// from its seed. Each run is checked for what must hold whatever the line
// does.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/SimulatedLine.h"
#include "tools/modem-sim/xmodem_receiver.h"

namespace xmodem_sim {

struct Schedule {
    std::uint64_t seed = 1;               // the line's faults, jitter and chunks; the image's bytes
    int size = 1000;                      // of the image
    bool one_k = false;                   // "Блоки 1024 байт" ticked
    vexa::modemsim::XmodemAsking asking;  // NAK or 'C', how often, when it falls back
    vexa::modemsim::XmodemFaults faults;
    int nak_interval_ms = 10000;
    int store_ms = 0;         // an accepted block takes up to this long to store
    int turnaround_ms = 0;    // each answer leaves up to this much late
    QByteArray after_cancel;  // what the receiver says after it cancelled
    LineTiming to_modem, to_vexa;
    double spoil = 0, drop = 0;  // chance that a write reaches the modem with a bit changed, or not at all
    LineFaults lose;             // on the way to Vexa
    std::vector<std::pair<int, QByteArray>> noise;  // sent towards Vexa at these moments (ms)
    int press_after_ms = 0;  // "Прошить" this long after the page first shows the modem ready
};

struct Schedule_Run {
    bool pressed = false, complete = false, image_whole = false, settled = false, written_after_end = false,
         locked = false;
    int outcomes = 0;
    std::vector<std::string> timers;  // still running once nothing else was due
    bool False_Complete() const { return complete && !image_whole; }
    // What went wrong, or empty when every invariant held.
    QString Fault() const;
};

Schedule Random_Schedule(std::uint64_t seed);
// trace, when given, hears each byte moved and each line printed.
Schedule_Run Run_Schedule(const Schedule &schedule, const std::function<void(const QString &)> &trace = {});

}  // namespace xmodem_sim
