#include "serial/TReadTheart.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>

#include "serial/ChunkQueue.h"
#include "serial/PortErrors.h"

namespace {

// What may wait for the main thread: about ten seconds of a line at 921600
// baud, so a window busy for a while (a slow disk, a long repaint) does not
// hold the line back, yet little memory: as neighbours join up to kJoinBytes,
// it is never more than about five hundred chunks.
constexpr std::size_t kQueueBytes = std::size_t(1) << 20;
// Waiting bytes join into chunks of about what a pty hands over at once, so
// that no single chunk (each byte a line in the ASCII view) keeps the window
// long.
constexpr std::size_t kJoinBytes = 4096;
// One drain dispatches for about this long, then the window's other events
// get their turn.
constexpr auto kSliceTime = std::chrono::milliseconds(2);

}  // namespace

// The part of a reader that the main thread's drains share with it; a drain
// posted before the reader was deleted finds it still there.
struct TReadTheart::Handoff {
    Handoff(Sink s, std::uint32_t readSize)
        : sink(std::move(s)), queue(kQueueBytes, std::min<std::size_t>(kJoinBytes, readSize))
    {
    }

    const Sink sink;
    ChunkQueue queue;
    std::mutex mutex;
    std::optional<QString> failure;  // under mutex
    bool draining = false;           // main thread only
};

// Main thread. A drain that a box opened from a chunk's handling would run
// inside the running one leaves the chunks to it, so that chunks are never
// handled one inside another.
void TReadTheart::Drain(const std::shared_ptr<Handoff> &handoff)
{
    if (handoff->draining)
        return;
    handoff->draining = true;
    const auto end = std::chrono::steady_clock::now() + kSliceTime;
    do {
        std::optional<QByteArray> chunk = handoff->queue.Take();
        if (!chunk)
            break;
        handoff->sink.take(*chunk);
    } while (std::chrono::steady_clock::now() < end);
    handoff->draining = false;
    if (!handoff->queue.Empty()) {
        Post_Drain(handoff);
        return;
    }
    std::optional<QString> failure;
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        if (!handoff->queue.Stopped())
            failure.swap(handoff->failure);
    }
    if (failure)
        handoff->sink.fail(*failure);
}

void TReadTheart::Post_Drain(const std::shared_ptr<Handoff> &handoff)
{
    QMetaObject::invokeMethod(
        handoff->sink.context, [handoff] { Drain(handoff); }, Qt::QueuedConnection);
}

TReadTheart::TReadTheart(Sink sink, std::shared_ptr<vexa::SerialPort> port, std::uint32_t readSize)
    : port_(std::move(port)), handoff_(std::make_shared<Handoff>(std::move(sink), readSize)), buffer_(readSize)
{
}

void TReadTheart::Request_Stop()
{
    stop_ = true;
    handoff_->queue.Stop();
}

void TReadTheart::Fail(const QString &text)
{
    {
        std::lock_guard<std::mutex> lock(handoff_->mutex);
        handoff_->failure = text;
    }
    Post_Drain(handoff_);
}

void TReadTheart::Execute()
{
    try {
        // Without its wake-up channel the reader could not be stopped while it
        // waits; it does not start waiting at all.
        if (!port_->prepareWait()) {
            Fail(Port_Error_Text(PortError::Read_Event));
            return;
        }
        while (!stop_) {
            try {
                if (!Turn())
                    break;
            } catch (const std::bad_alloc &) {
                throw;
            } catch (...) {
            }
        }
    } catch (...) {
        Fail(Port_Error_Text(PortError::Reader_Thread, errno));
    }
}

// One turn; false when the run must end. A failing port on this platform does
// not recover (the device has gone or the port was closed), so each failure
// is shown once and ends the run instead of repeating a message every turn.
bool TReadTheart::Turn()
{
    std::uint32_t mask = 0;
    switch (port_->waitForEvent(mask)) {
    case vexa::WaitResult::Closed: return false;
    case vexa::WaitResult::Error:
        if (!stop_)
            Fail(Port_Error_Text(PortError::Wait_Event));
        return false;
    case vexa::WaitResult::Event: break;
    }
    if (!(mask & vexa::kEvRxChar)) {
        if (!stop_)
            Fail(Port_Error_Text(PortError::Wait_Event));
        return false;
    }
    std::uint32_t queued = 0;
    if (!port_->bytesQueued(queued)) {
        if (!stop_)
            Fail(QStringLiteral("Error clearing port"));
        return false;
    }
    const std::uint32_t wanted = std::min<std::uint32_t>(queued, static_cast<std::uint32_t>(buffer_.size()));
    if (wanted == 0)
        return true;
    std::uint32_t got = 0;
    if (!port_->read(buffer_.data(), wanted, got)) {
        if (!stop_)
            Fail(Port_Error_Text(PortError::Read, port_->lastError()));
        return false;
    }
    if (got == 0)
        return true;
    const QByteArray chunk(reinterpret_cast<const char *>(buffer_.data()), static_cast<qsizetype>(got));
    if (handoff_->queue.Push(chunk) == ChunkQueue::Pushed::First)
        Post_Drain(handoff_);
    return true;
}
