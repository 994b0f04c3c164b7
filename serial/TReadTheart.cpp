#include "serial/TReadTheart.h"

#include <cerrno>
#include <algorithm>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"

struct TReadTheart::Ticket {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool cancelled = false;
};

TReadTheart::TReadTheart(TForm1 *form, std::shared_ptr<vexa::SerialPort> port)
    : form_(form), port_(std::move(port)), buffer_(kRxBufferSize)
{
}

void TReadTheart::Request_Stop()
{
    stop_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_) {
        std::lock_guard<std::mutex> ticketLock(pending_->mutex);
        pending_->cancelled = true;
        pending_->done.notify_all();
    }
}

bool TReadTheart::Hand_Over(std::function<void()> call)
{
    auto ticket = std::make_shared<Ticket>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_)
            return false;
        pending_ = ticket;
    }
    QMetaObject::invokeMethod(
        form_,
        [ticket, call = std::move(call)] {
            {
                std::lock_guard<std::mutex> lock(ticket->mutex);
                if (ticket->cancelled)
                    return;
            }
            call();
            std::lock_guard<std::mutex> lock(ticket->mutex);
            ticket->finished = true;
            ticket->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(ticket->mutex);
    ticket->done.wait(lock, [&] { return ticket->finished || ticket->cancelled; });
    const bool finished = ticket->finished;
    lock.unlock();
    std::lock_guard<std::mutex> guard(mutex_);
    pending_.reset();
    return finished;
}

void TReadTheart::Fail(const QString &text)
{
    TForm1 *form = form_;
    Hand_Over([form, port = port_, text] {
        if (!form->Port_Lost(port, text))
            vexa::Show_Message(text);
    });
}

void TReadTheart::Execute()
{
    try {
        // Without its wake-up channel the reader could not be stopped while it
        // waits; it does not start waiting at all.
        if (!port_->prepareWait()) {
            Fail(QStringLiteral("Ошибка создания события на чтение"));
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
        Fail(QStringLiteral("Ошибка потока при чтении из COM порта №") + QString::number(errno));
    }
}

// One turn; false when the run must end. A failing port on this platform does
// not recover (the device has gone or the port was closed), so each failure
// is shown once and ends the run instead of repeating a message every turn.
bool TReadTheart::Turn()
{
    std::uint32_t mask = 0;
    switch (port_->waitForEvent(mask)) {
    case vexa::WaitResult::Closed:
        return false;
    case vexa::WaitResult::Error:
        if (!stop_)
            Fail(QStringLiteral("Ошибка ожидания события "));
        return false;
    case vexa::WaitResult::Event:
        break;
    }
    if (!(mask & vexa::kEvRxChar)) {
        if (!stop_)
            Fail(QStringLiteral("Ошибка ожидания события "));
        return false;
    }
    std::uint32_t queued = 0;
    if (!port_->bytesQueued(queued)) {
        if (!stop_)
            Fail(QStringLiteral("Error clearing port"));
        return false;
    }
    const std::uint32_t wanted = std::min<std::uint32_t>(queued, kRxBufferSize);
    if (wanted == 0)
        return true;
    std::uint32_t got = 0;
    if (!port_->read(buffer_.data(), wanted, got)) {
        if (!stop_)
            Fail(QStringLiteral("Ошибка чтения №") + QString::number(port_->lastError()));
        return false;
    }
    if (got == 0)
        return true;
    const QByteArray chunk(reinterpret_cast<const char *>(buffer_.data()), static_cast<qsizetype>(got));
    TForm1 *form = form_;
    Hand_Over([form, chunk] { form->Take_Received(chunk); });
    return true;
}
