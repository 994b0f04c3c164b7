#pragma once
// One direction of a serial line on a virtual clock. What is written leaves
// at the line's speed, arrives after the line's delay (with jitter, never
// overtaking what went before) and is read in chunks split where a reader
// might split them. Faults come from the schedule's random source, or from a
// plan the test gives byte by byte, so that a failing schedule replays from
// its seed and a found one can be written down as a named case.

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <random>

class VirtualClock;

struct LineTiming {
    std::uint32_t baud = 115200;  // 0: no time on the line
    int delay_ms = 0;             // one way
    int jitter_ms = 0;            // up to this much more, per write
    int max_chunk = 0;            // a reader takes at most this many at once; 0: whole arrivals
};

// Chances per byte (lose, flip one bit, add a noise byte after it) and per
// write (lose it whole).
struct LineFaults {
    double lose = 0, flip = 0, add = 0, drop_write = 0;
};

enum class Byte_Fault { None, Lose, Flip, Add };

class SimulatedLine {
public:
    using Deliver = std::function<void(const QByteArray &)>;
    // A fault chosen for the byte at this position of the stream (counted
    // from 0 over everything written), before the random ones.
    using Plan = std::function<Byte_Fault(std::uint64_t position, std::uint8_t byte)>;

    SimulatedLine(VirtualClock &clock, std::mt19937_64 &random, LineTiming timing, LineFaults faults, Deliver deliver);
    void Set_Plan(Plan plan) { plan_ = std::move(plan); }
    // Written now by the near end.
    void Send(const QByteArray &bytes);
    // Noise that reaches the far end after the line's delay.
    void Noise(const QByteArray &bytes);
    std::uint64_t Position() const { return position_; }
    // Stops all further delivery (the far end went away).
    void Cut() { cut_ = true; }

private:
    QByteArray Spoil(const QByteArray &bytes);
    void Arrive(const QByteArray &bytes, std::int64_t at);
    bool Chance(double p);

    VirtualClock &clock_;
    std::mt19937_64 &random_;
    LineTiming timing_;
    LineFaults faults_;
    Deliver deliver_;
    Plan plan_;
    std::uint64_t position_ = 0;
    std::int64_t line_free_at_ = 0;  // the sending end's line is busy until then
    std::int64_t last_arrival_ = 0;
    bool cut_ = false;
};
