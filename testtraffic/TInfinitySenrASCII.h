#pragma once
// The flood thread: sends the ASCII array (every byte value 0..255 in
// ascending order) pass after pass, as fast as the port takes it, while its
// owner allows. While it may not send it sleeps on a condition. A failed
// write (a line held off past the write's bound, a purge) pauses it as
// well, and it goes on by itself, with the rest of the array that write
// left: the line carries whole arrays, and an array is counted once however
// often it is tried. The flood exists to load a link that pushes back. Only
// its owner ends it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TInfinitySenrASCII {
public:
    struct Link {
        // Whether a pass may go out now; read before every pass.
        std::function<bool()> May_Send;
        // Writes bytes of a pass, `retry` when they are what an earlier
        // write of the same pass left; false when it failed, with what the
        // port took in `taken`. A write ends soon after `stop` is set.
        std::function<bool(const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                           const std::atomic<bool> &stop)>
            Write;
    };

    // How long the thread sleeps between looks at May_Send when nobody
    // wakes it (the modem-signal poll changes CTS without telling it), and
    // after a failed write.
    static constexpr std::chrono::milliseconds kRecheck{50};

    // The thread starts at once.
    explicit TInfinitySenrASCII(Link link);
    // Requests termination and waits for the run to end: a write in
    // progress ends within moments, whatever the line does.
    ~TInfinitySenrASCII();
    TInfinitySenrASCII(const TInfinitySenrASCII &) = delete;
    TInfinitySenrASCII &operator=(const TInfinitySenrASCII &) = delete;

    // Requests termination without waiting.
    void Terminate();
    // Something May_Send reads has changed: look again now.
    void Wake();

private:
    void Execute();
    // Sleeps until woken, terminated or the time is up.
    void Idle();

    const std::int32_t count_ = 256;
    std::unique_ptr<std::uint8_t[]> buffer_;
    Link link_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> terminated_{false};  // set under mutex_, read by the write too
    bool woken_ = false;
    std::thread thread_;
};
