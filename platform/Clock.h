#pragma once
// The time a subsystem lives by: a monotonic clock and the timers that drive
// its waits and repeats. The program runs on the window toolkit's timers
// (QtClock); a simulated line runs the same subsystem on a clock of its own,
// so that thousands of schedules take seconds and any of them replays.
//
// Timers fire on the thread that owns the clock, one at a time, never inside
// a call into the subsystem. A timer is never started at 0 ms or less: such a
// timer would fire without pause, so Start refuses it and leaves the timer
// stopped.

#include <cstdint>
#include <functional>
#include <memory>

namespace vexa {

class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts the countdown with this interval, which it keeps.
    virtual void Start(int ms) = 0;
    // (Re)starts the countdown with the interval it has.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
    virtual int Interval() const = 0;
    virtual void Set_Interval(int ms) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed moment; never goes back.
    virtual std::int64_t Now_Ms() const = 0;
    // A stopped timer named as the designer names it. It calls fire each
    // time it runs out; a single-shot timer is stopped before the call.
    virtual std::unique_ptr<Timer> Make_Timer(const char *name, int ms, bool singleShot,
                                              std::function<void()> fire) = 0;
};

// Times since a moment on a clock, like a stopwatch: invalid until started.
class Stopwatch {
public:
    explicit Stopwatch(const Clock &clock) : clock_(&clock) {}
    void Start() { start_ = clock_->Now_Ms(); }
    void Invalidate() { start_ = -1; }
    bool Valid() const { return start_ >= 0; }
    std::int64_t Elapsed_Ms() const { return Valid() ? clock_->Now_Ms() - start_ : 0; }

private:
    const Clock *clock_;
    std::int64_t start_ = -1;
};

}  // namespace vexa
