#pragma once
// The reader thread of one open port: waits for a received character, reads
// what is queued and puts each chunk into a bounded queue that the main
// thread drains. It waits for the main thread only when that queue is full.
// It keeps its own reference to the port it serves, so a port opened later is
// never touched by an old reader.

#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/SerialPort.h"

class TReadTheart : public QThread {
    Q_OBJECT
public:
    // Where the chunks go, on the thread of `context`.
    struct Sink {
        QObject *context;
        std::function<void(const QByteArray &)> take;  // each chunk, in order
        std::function<void(const QString &)> fail;     // the port failed under the reader: why
    };
    // No chunk is larger than readSize.
    TReadTheart(Sink sink, std::shared_ptr<vexa::SerialPort> port, std::uint32_t readSize);

    // The terminate request: the run ends at its next loop test, what is still
    // queued for the main thread is dropped and never dispatched, and a reader
    // waiting for room goes on. Closing the port afterwards ends a pending
    // wait on the port.
    void Request_Stop();

protected:
    void run() override { Execute(); }

private:
    struct Handoff;

    void Execute();
    bool Turn();
    // The port failed under the reader: the sink hears why once the chunks
    // read before are dispatched. The run ends afterwards.
    void Fail(const QString &text);
    // Main thread: dispatches one slice of what waits and posts itself again
    // for the rest; a failure goes after the last chunk.
    static void Drain(const std::shared_ptr<Handoff> &handoff);
    static void Post_Drain(const std::shared_ptr<Handoff> &handoff);

    std::shared_ptr<vexa::SerialPort> port_;
    std::atomic<bool> stop_{false};
    std::shared_ptr<Handoff> handoff_;  // shared with the drains posted to the main thread
    std::vector<std::uint8_t> buffer_;
};
