#pragma once
// The reader thread of one open port: waits for a received character, reads
// what is queued and hands each chunk to the main thread, waiting until the
// main thread has dispatched it. It keeps its own reference to the port it
// serves, so a port opened later is never touched by an old reader.

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/SerialPort.h"

class TForm1;

class TReadTheart : public QThread {
    Q_OBJECT
public:
    TReadTheart(TForm1 *form, std::shared_ptr<vexa::SerialPort> port);

    // The terminate request: the run ends at its next loop test, and a
    // hand-over that still waits for the main thread is given up, so the
    // main thread never waits on a reader that waits on it. Closing the port
    // afterwards ends a pending wait on the port.
    void Request_Stop();

protected:
    void run() override { Execute(); }

private:
    struct Ticket;

    void Execute();
    bool Turn();
    // Runs the call on the main thread and waits for it; false when stopped.
    bool Hand_Over(std::function<void()> call);
    // The port failed under the reader: the main window releases it, then
    // shows why. The run ends afterwards.
    void Fail(const QString &text);

    TForm1 *form_;
    std::shared_ptr<vexa::SerialPort> port_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::shared_ptr<Ticket> pending_;
    std::vector<std::uint8_t> buffer_;
};
