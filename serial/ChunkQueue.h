#pragma once
// Received chunks on their way from a reader thread to the main thread. The
// reader never waits for the main thread to handle a chunk, only for room
// when the queue is full, so memory stays bounded and a slow window holds the
// line back as a full driver queue would.

#include <QByteArray>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

class ChunkQueue {
public:
    // Full once it holds byteLimit bytes. Bytes that come while the newest
    // chunk still waits join it up to maxChunk, as they would have joined in
    // the driver's queue, so a busy main thread is not handed a flood of
    // small chunks.
    ChunkQueue(std::size_t byteLimit, std::size_t maxChunk);

    enum class Pushed { Stopped, Queued, First };
    // Waits while the queue is full, until it is half empty: a producer woken
    // for each chunk taken would cost a thread switch per chunk. First: the queue was empty, and the one
    // who pushed tells the consumer. Stopped: the chunk was dropped.
    Pushed Push(const QByteArray &chunk);
    // The oldest chunk; none when empty or stopped.
    std::optional<QByteArray> Take();
    bool Empty() const;
    // Drops what waits, refuses more and wakes a producer that waits for room.
    void Stop();
    bool Stopped() const;

private:
    const std::size_t byteLimit_, maxChunk_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<QByteArray> chunks_;
    std::size_t bytes_ = 0;
    bool stopped_ = false;
};
