// The queue between a reader thread and the main thread.

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <thread>

#include "serial/ChunkQueue.h"

// Chunks of every size, taken while they come: the bytes arrive once each,
// in order, joined no further than the largest chunk allowed.
TEST(ChunkQueue, KeepsEveryByteInOrderAndJoinsWaitingChunks)
{
    ChunkQueue queue(64, 16);
    QByteArray sent, taken;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 3000; ++i) {
            QByteArray chunk;
            for (int n = i % 17; n >= 0; --n)
                chunk.append(char(sent.size() + chunk.size()));
            sent.append(chunk);
            queue.Push(chunk);
        }
        done = true;
    });
    int most = 0;
    while (!done || !queue.Empty()) {
        if (auto chunk = queue.Take()) {
            taken.append(*chunk);
            most = std::max(most, int(chunk->size()));
        }
    }
    reader.join();
    EXPECT_EQ(taken, sent);
    EXPECT_EQ(most, 17);  // a chunk larger than the joining bound is kept whole, never joined
    EXPECT_TRUE(queue.Empty());
}

TEST(ChunkQueue, TheProducerWaitsOnlyWhenFullAndStoppingReleasesIt)
{
    ChunkQueue queue(8, 4);
    EXPECT_EQ(queue.Push("abc"), ChunkQueue::Pushed::First);  // the one to tell the consumer
    EXPECT_EQ(queue.Push("d"), ChunkQueue::Pushed::Queued);
    EXPECT_EQ(queue.Push("efgh"), ChunkQueue::Pushed::Queued);  // 8 bytes now: full
    std::atomic<int> pushed{0};
    std::thread reader([&] {
        pushed = queue.Push("i") == ChunkQueue::Pushed::Queued ? 1 : -1;
        pushed = queue.Push("jkl") == ChunkQueue::Pushed::Queued ? 2 : -2;
        pushed = queue.Push("m") == ChunkQueue::Pushed::Stopped ? 3 : -3;
    });
    QThread::msleep(100);
    EXPECT_EQ(pushed, 0);
    EXPECT_EQ(queue.Take(), QByteArray("abcd"));
    while (pushed == 0 || pushed == 1)
        std::this_thread::yield();
    QThread::msleep(100);
    EXPECT_EQ(pushed, 2);  // 8 bytes again: full
    queue.Stop();
    reader.join();
    EXPECT_EQ(pushed, 3);
    EXPECT_FALSE(queue.Take());
    EXPECT_EQ(queue.Push("k"), ChunkQueue::Pushed::Stopped);
    EXPECT_TRUE(queue.Empty());
}
