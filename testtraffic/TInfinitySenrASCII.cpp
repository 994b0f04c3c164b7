#include "testtraffic/TInfinitySenrASCII.h"

TInfinitySenrASCII::TInfinitySenrASCII(Link link) : buffer_(new std::uint8_t[256]), link_(std::move(link))
{
    for (int i = 0; i < count_; ++i)
        buffer_[i] = static_cast<std::uint8_t>(i);
    thread_ = std::thread([this] { Execute(); });
}

TInfinitySenrASCII::~TInfinitySenrASCII()
{
    Terminate();
    thread_.join();
}

void TInfinitySenrASCII::Terminate()
{
    std::lock_guard<std::mutex> lock(mutex_);
    terminated_ = true;
    changed_.notify_all();
}

void TInfinitySenrASCII::Wake()
{
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

void TInfinitySenrASCII::Idle()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kRecheck, [this] { return terminated_ || woken_; });
    woken_ = false;
}

void TInfinitySenrASCII::Execute()
{
    const auto count = static_cast<std::uint32_t>(count_);
    std::uint32_t at = 0;  // where the pass goes on after a failed write
    bool retry = false;
    while (!terminated_) {
        if (!link_.May_Send()) {
            Idle();
            continue;
        }
        std::uint32_t taken = 0;
        const bool written = link_.Write(buffer_.get() + at, count - at, retry, taken, terminated_);
        at = written ? count : at + taken;
        retry = at < count;
        if (!retry)
            at = 0;
        if (!written)
            Idle();
    }
}
