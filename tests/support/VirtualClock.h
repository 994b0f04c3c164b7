#pragma once
// A clock of its own for simulated lines: time moves only when the
// simulation runs the next thing due, so a schedule of minutes runs in
// microseconds and runs the same way every time. Line events (bytes
// arriving) and the subsystem's timers share one queue; what is due at the
// same moment runs in the order it was scheduled.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"

class VirtualClock : public vexa::Clock {
public:
    VirtualClock();
    ~VirtualClock() override;

    std::int64_t Now_Ms() const override { return now_; }
    std::unique_ptr<vexa::Timer> Make_Timer(const char *name, int ms, bool singleShot,
                                            std::function<void()> fire) override;

    // Runs fn once delayMs from now (0: after what is due now).
    void After(std::int64_t delayMs, std::function<void()> fn);
    // Runs the next thing due, moving the clock to its moment; false when
    // nothing is pending.
    bool Step();
    // Runs what falls due up to limitMs; true when nothing is left pending,
    // false when something is still due after limitMs. The clock stays at the
    // last moment that ran.
    bool Run_Until(std::int64_t limitMs);
    // Timers running now, by name.
    std::vector<std::string> Active_Timers() const;

    struct Timer_State;

private:
    friend class Virtual_Timer;
    using Key = std::pair<std::int64_t, std::uint64_t>;
    struct Due {
        std::function<void()> event;  // a line event, or
        std::weak_ptr<Timer_State> timer;
        std::uint64_t generation = 0;  // the timer's start this entry belongs to
    };
    void Arm(const std::shared_ptr<Timer_State> &timer);
    bool Is_Stale(const Due &due) const;

    std::int64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    std::map<Key, Due> queue_;
    std::vector<std::weak_ptr<Timer_State>> timers_;
};
