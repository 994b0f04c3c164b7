#include "support/VirtualClock.h"

struct VirtualClock::Timer_State {
    std::string name;
    int interval = 0;
    bool singleShot = false;
    bool active = false;
    std::uint64_t generation = 0;
    std::function<void()> fire;
};

class Virtual_Timer : public vexa::Timer {
public:
    Virtual_Timer(VirtualClock &clock, std::shared_ptr<VirtualClock::Timer_State> state)
        : clock_(clock), state_(std::move(state))
    {
    }
    void Start(int ms) override
    {
        state_->interval = ms;
        Start();
    }
    void Start() override
    {
        ++state_->generation;
        state_->active = state_->interval > 0;
        if (state_->active)
            clock_.Arm(state_);
    }
    void Stop() override
    {
        ++state_->generation;
        state_->active = false;
    }
    bool Active() const override { return state_->active; }
    int Interval() const override { return state_->interval; }
    void Set_Interval(int ms) override { state_->interval = ms; }

private:
    VirtualClock &clock_;
    std::shared_ptr<VirtualClock::Timer_State> state_;
};

VirtualClock::VirtualClock() = default;
VirtualClock::~VirtualClock() = default;

std::unique_ptr<vexa::Timer> VirtualClock::Make_Timer(const char *name, int ms, bool singleShot,
                                                      std::function<void()> fire)
{
    auto state = std::make_shared<Timer_State>();
    state->name = name;
    state->interval = ms;
    state->singleShot = singleShot;
    state->fire = std::move(fire);
    timers_.push_back(state);
    return std::make_unique<Virtual_Timer>(*this, std::move(state));
}

void VirtualClock::After(std::int64_t delayMs, std::function<void()> fn)
{
    queue_.emplace(Key{now_ + std::max<std::int64_t>(0, delayMs), sequence_++}, Due{std::move(fn), {}, 0});
}

void VirtualClock::Arm(const std::shared_ptr<Timer_State> &timer)
{
    queue_.emplace(Key{now_ + timer->interval, sequence_++}, Due{{}, timer, timer->generation});
}

bool VirtualClock::Is_Stale(const Due &due) const
{
    if (due.event)
        return false;
    const auto timer = due.timer.lock();
    return !timer || !timer->active || timer->generation != due.generation;
}

bool VirtualClock::Step()
{
    while (!queue_.empty()) {
        auto first = queue_.begin();
        const Due due = std::move(first->second);
        const std::int64_t at = first->first.first;
        queue_.erase(first);
        if (Is_Stale(due))
            continue;
        now_ = at;
        if (due.event) {
            due.event();
            return true;
        }
        const auto timer = due.timer.lock();
        if (timer->singleShot)
            timer->active = false;
        else
            Arm(timer);
        // A copy: the timer may be destroyed by its own handler.
        const auto fire = timer->fire;
        fire();
        return true;
    }
    return false;
}

bool VirtualClock::Run_Until(std::int64_t limitMs)
{
    for (;;) {
        while (!queue_.empty() && Is_Stale(queue_.begin()->second))
            queue_.erase(queue_.begin());
        if (queue_.empty())
            return true;
        if (queue_.begin()->first.first > limitMs)
            return false;
        Step();
    }
}

std::vector<std::string> VirtualClock::Active_Timers() const
{
    std::vector<std::string> names;
    for (const auto &weak : timers_)
        if (const auto timer = weak.lock(); timer && timer->active)
            names.push_back(timer->name);
    return names;
}
