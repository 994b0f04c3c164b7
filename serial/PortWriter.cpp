#include "serial/PortWriter.h"

#include <QThread>
#include <QTimer>

#include "serial/PortErrors.h"

namespace {

// How often the field follows the flood thread's adds: a rewrite per write
// would wake the main thread thousands of times a second.
constexpr int kSentRefreshMs = 50;

}  // namespace

PortWriter::PortWriter(Hooks hooks, Console &console, QObject *parent)
    : QObject(parent), hooks_(std::move(hooks)), console_(console)
{
}

// The counter counts bytes handed to the driver, so it advances before the
// write completes, and also for a write that then fails. The flood thread
// adds without waiting for the main thread; the field is rewritten there,
// once for however many adds came in meanwhile, and again a moment later
// for those that came after.
bool PortWriter::Count_Sent_Bytes(std::uint32_t count)
{
    if (!Sent_Bytes.Add(count))
        return false;
    if (QThread::currentThread() == thread()) {
        hooks_.Show_Sent_Bytes();
    } else if (Sent_Bytes.Claim_Refresh()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                hooks_.Show_Sent_Bytes();
                QTimer::singleShot(kSentRefreshMs, this, [this] {
                    Sent_Bytes.Refreshed();
                    hooks_.Show_Sent_Bytes();
                });
            },
            Qt::QueuedConnection);
    }
    return true;
}

// The lock keeps a whole call together: the port's write loop may hand the
// bytes over in pieces, which no other writer's bytes may split. It lets
// writers in by turns, so a typed key waits for the flood's write in
// progress, not for the flood. A writer never waits for the main thread
// while it holds the lock.
PortWriter::Outcome PortWriter::Write_Exclusive(const std::uint8_t *bytes, std::uint32_t count, Report &report,
                                                bool retry, const std::atomic<bool> *stop)
{
    const std::lock_guard<FairLock> writing(mutex_);
    if (stop && *stop)
        return Outcome::Failed;  // stopped before it began: nothing handed over
    const auto port = hooks_.Port();
    const bool counted = retry || Count_Sent_Bytes(count);
    report.taken = 0;
    const bool written = port && port->write(bytes, count, report.taken, stop);
    report.error = port ? port->lastError() : 0;
    if (!counted)
        return Outcome::Uncounted;
    return written ? Outcome::Written : Outcome::Failed;
}

void PortWriter::Report_Counter_Failure(int error)
{
    console_.Notice(Port_Error_Text(PortError::Counted_Write, error));
}

bool PortWriter::Write(const std::uint8_t *bytes, std::uint32_t count)
{
    Report report;
    const Outcome outcome = Write_Exclusive(bytes, count, report);
    if (outcome == Outcome::Uncounted)
        Report_Counter_Failure(report.error);
    return outcome == Outcome::Written;
}
