#pragma once
// What keeps an open port's handles alive while calls work on them. A call
// enters with a Use and works on the handles it got; close signals every
// call inside to end at once (each waits on a wake-up handle beside its
// work), waits until the last has left, and only then releases the handles,
// so no call ever works on a handle that was closed, or reused for another
// file, under it. Shared by the serial backends; Handles is what one opens.

#include <condition_variable>
#include <mutex>

namespace vexa {

template <class Handles>
class PortLifetime {
public:
    // `mutex` is the owner's lock, which also guards its other state;
    // `refused` records the error of a call that finds no open port.
    PortLifetime(std::mutex &mutex, void (*refused)()) : mutex_(mutex), refused_(refused) {}

    // Under the owner's lock.
    bool Open_Locked() const { return open_ && !closing_; }
    void Opened_Locked(const Handles &handles)
    {
        handles_ = handles;
        open_ = true;
    }

    // A call's hold on the open port: the handles stay valid while it lives.
    class Use {
    public:
        explicit Use(PortLifetime &life) : life_(life)
        {
            {
                std::lock_guard<std::mutex> lock(life_.mutex_);
                ok_ = life_.Open_Locked();
                if (ok_) {
                    ++life_.users_;
                    handles_ = life_.handles_;
                }
            }
            if (!ok_)
                life_.refused_();
        }
        ~Use()
        {
            if (!ok_)
                return;
            std::lock_guard<std::mutex> lock(life_.mutex_);
            if (--life_.users_ == 0)
                life_.idle_.notify_all();
        }
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;

        explicit operator bool() const { return ok_; }
        const Handles *operator->() const { return &handles_; }

    private:
        PortLifetime &life_;
        bool ok_ = false;
        Handles handles_{};
    };

    // Refuses new calls, signal(handles) ends those inside, and once the
    // last has left release(handles) runs; both under the owner's lock.
    // Nothing happens on a port that is closed or closing.
    template <class Signal, class Release>
    void Close(Signal signal, Release release)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!open_ || closing_)
            return;
        closing_ = true;
        signal(handles_);
        idle_.wait(lock, [this] { return users_ == 0; });
        release(handles_);
        handles_ = Handles{};
        open_ = closing_ = false;
    }

private:
    std::mutex &mutex_;
    void (*const refused_)();
    std::condition_variable idle_;
    Handles handles_{};
    int users_ = 0;
    bool open_ = false, closing_ = false;
};

}  // namespace vexa
