#include "platform/Win32Overlapped.h"

#include <algorithm>
#include <mutex>

namespace vexa {
namespace {

// Requests a driver kept past their cancel. One is freed once the driver has
// ended it at last; one it never ends stays for the life of the process.
// Never destroyed: a driver may end a request while the process exits.
struct Abandoned {
    std::mutex mutex;
    std::vector<std::unique_ptr<OverlappedRequest>> requests;
};

void Abandon(std::unique_ptr<OverlappedRequest> request)
{
    static Abandoned *const abandoned = new Abandoned;
    std::lock_guard<std::mutex> lock(abandoned->mutex);
    auto &kept = abandoned->requests;
    kept.erase(std::remove_if(
                   kept.begin(), kept.end(),
                   [](const std::unique_ptr<OverlappedRequest> &r) { return HasOverlappedIoCompleted(r->Record()); }),
               kept.end());
    kept.push_back(std::move(request));
}

}  // namespace

OverlappedRequest::OverlappedRequest(std::size_t bufferSize)
    : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), buffer_(bufferSize)
{
}

OverlappedRequest::~OverlappedRequest()
{
    if (event_)
        CloseHandle(event_);
}

OVERLAPPED *OverlappedRequest::Fresh_Record()
{
    record_ = OVERLAPPED{};
    record_.hEvent = event_;
    events_ = 0;
    return &record_;
}

Finished Finish(HANDLE device, std::unique_ptr<OverlappedRequest> &request, BOOL started, HANDLE wake, DWORD waitMs,
                Canceller cancel, const std::function<bool()> &waitMore)
{
    DWORD woke = WAIT_OBJECT_0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return {Outcome::Failed, 0, error};
        const HANDLE both[2] = {request->Event(), wake};
        woke = WaitForMultipleObjects(2, both, FALSE, waitMs);
        while (woke == WAIT_TIMEOUT && waitMore && waitMore())
            woke = WaitForMultipleObjects(2, both, FALSE, waitMs);
        if (woke != WAIT_OBJECT_0) {
            cancel(device, request->Record());
            if (WaitForSingleObject(request->Event(), kCancelBoundMs) != WAIT_OBJECT_0) {
                Abandon(std::move(request));
                const Outcome cut = woke == WAIT_OBJECT_0 + 1 ? Outcome::Closed
                                    : woke == WAIT_TIMEOUT    ? Outcome::TimedOut
                                                              : Outcome::Failed;
                return {cut, 0, ERROR_OPERATION_ABORTED};
            }
        }
    }
    DWORD count = 0;
    if (GetOverlappedResult(device, request->Record(), &count, FALSE))
        return {Outcome::Done, count, 0};
    const DWORD error = GetLastError();
    if (woke == WAIT_OBJECT_0 + 1)
        return {Outcome::Closed, count, error};
    if (woke == WAIT_TIMEOUT)
        return {Outcome::TimedOut, count, error};
    return {Outcome::Failed, count, error};
}

}  // namespace vexa
