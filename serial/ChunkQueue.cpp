#include "serial/ChunkQueue.h"

ChunkQueue::ChunkQueue(std::size_t byteLimit, std::size_t maxChunk) : byteLimit_(byteLimit), maxChunk_(maxChunk) {}

ChunkQueue::Pushed ChunkQueue::Push(const QByteArray &chunk)
{
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return stopped_ || bytes_ < byteLimit_; });
    if (stopped_)
        return Pushed::Stopped;
    bytes_ += static_cast<std::size_t>(chunk.size());
    if (chunks_.empty()) {
        chunks_.push_back(chunk);
        return Pushed::First;
    }
    if (static_cast<std::size_t>(chunks_.back().size() + chunk.size()) <= maxChunk_)
        chunks_.back().append(chunk);
    else
        chunks_.push_back(chunk);
    return Pushed::Queued;
}

std::optional<QByteArray> ChunkQueue::Take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (chunks_.empty())
        return std::nullopt;
    QByteArray chunk = std::move(chunks_.front());
    chunks_.pop_front();
    bytes_ -= static_cast<std::size_t>(chunk.size());
    if (bytes_ <= byteLimit_ / 2)
        room_.notify_all();
    return chunk;
}

bool ChunkQueue::Empty() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return chunks_.empty();
}

void ChunkQueue::Stop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    chunks_.clear();
    bytes_ = 0;
    room_.notify_all();
}

bool ChunkQueue::Stopped() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stopped_;
}
