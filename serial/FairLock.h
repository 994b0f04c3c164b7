#pragma once
// A lock that lets its waiters in by the order they came (a ticket lock).
// A plain mutex lets a thread that lets go and asks again at once win over
// one that has waited: the flood would keep the port to itself for as long
// as it runs. Here each writer waits for those ahead of it, no more.

#include <condition_variable>
#include <cstdint>
#include <mutex>

class FairLock {
public:
    void lock()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::uint64_t ticket = next_++;
        turn_.wait(lock, [&] { return serving_ == ticket; });
    }
    void unlock()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++serving_;
        }
        turn_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable turn_;
    std::uint64_t next_ = 0, serving_ = 0;
};
