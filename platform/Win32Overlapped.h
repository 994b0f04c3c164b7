#pragma once
// One overlapped request to a Windows device, with everything the driver may
// touch while it is pending (the record, its event, a buffer, an event word),
// and seeing such a request through with a bound on every wait.
//
// A request cut short (by the port's close, or by its time) is cancelled. A
// driver may take its time to end a cancelled request, or never end it; the
// wait for that is bounded too: past kCancelBoundMs the request is abandoned
// with its memory, which the driver may still fill, and the caller goes on.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vexa {

constexpr DWORD kCancelBoundMs = 500;

class OverlappedRequest {
public:
    explicit OverlappedRequest(std::size_t bufferSize = 0);
    ~OverlappedRequest();
    OverlappedRequest(const OverlappedRequest &) = delete;
    OverlappedRequest &operator=(const OverlappedRequest &) = delete;

    // Whether its event could be made.
    bool Valid() const { return event_ != nullptr; }
    HANDLE Event() const { return event_; }
    // A zeroed record on the request's event, for the next call.
    OVERLAPPED *Fresh_Record();
    OVERLAPPED *Record() { return &record_; }
    std::vector<std::uint8_t> &Buffer() { return buffer_; }
    DWORD *Events() { return &events_; }

private:
    OVERLAPPED record_{};
    HANDLE event_;
    std::vector<std::uint8_t> buffer_;
    DWORD events_ = 0;
};

enum class Outcome { Done, Failed, Closed, TimedOut };

struct Finished {
    Outcome outcome;
    DWORD count;
    DWORD error;
};

using Canceller = BOOL(WINAPI *)(HANDLE, LPOVERLAPPED);

// Sees a request through: the call that started it on its record returned
// `started`. Waits for it, for `wake` (the port's close) or for waitMs, and
// for waitMs again each time `waitMore` (when given) says so; a request cut
// short is cancelled and awaited within kCancelBoundMs. When this returns
// the request is the caller's again, unless the driver kept it past the
// bound: then `request` is empty, the memory kept aside for the driver, and
// the outcome says what cut it short.
Finished Finish(HANDLE device, std::unique_ptr<OverlappedRequest> &request, BOOL started, HANDLE wake, DWORD waitMs,
                Canceller cancel = CancelIoEx, const std::function<bool()> &waitMore = nullptr);

}  // namespace vexa
