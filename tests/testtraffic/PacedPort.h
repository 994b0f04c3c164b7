#pragma once
// A port whose writes take time, as on a real line, and go out in pieces,
// as a driver takes them: the in-memory fake takes any amount at once,
// which would let a flood fill the memory in moments. Its writes fail while
// the shared switch is on, whichever thread writes.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/SerialPort.h"

class PacedPort final : public vexa::SerialPort {
public:
    // Each piece of at most pieceSize bytes waits perPiece first.
    PacedPort(std::shared_ptr<vexa::SerialPort> inner, std::chrono::microseconds perPiece, std::uint32_t pieceSize,
              std::shared_ptr<std::atomic<bool>> failing)
        : inner_(std::move(inner)), perPiece_(perPiece), pieceSize_(pieceSize), failing_(std::move(failing))
    {
    }
    // Its line always moves: a write ends when it is done, stop or not.
    bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken, const std::atomic<bool> *) override
    {
        taken = 0;
        do {
            const std::uint32_t piece = std::min(pieceSize_, count - taken);
            std::this_thread::sleep_for(perPiece_);
            if (*failing_ || !inner_->write(data + taken, piece))
                return false;
            taken += piece;
        } while (taken < count);
        return true;
    }

    bool probe(const std::string &name) override { return inner_->probe(name); }
    bool open(const std::string &name) override { return inner_->open(name); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    bool getState(vexa::PortSettings &s) override { return inner_->getState(s); }
    bool setState(const vexa::PortSettings &s) override { return inner_->setState(s); }
    bool setupQueues(std::uint32_t in, std::uint32_t out) override { return inner_->setupQueues(in, out); }
    bool setEventMask(std::uint32_t mask) override { return inner_->setEventMask(mask); }
    bool purge(std::uint32_t flags) override { return inner_->purge(flags); }
    bool getTimeouts(vexa::PortTimeouts &t) override { return inner_->getTimeouts(t); }
    bool setTimeouts(const vexa::PortTimeouts &t) override { return inner_->setTimeouts(t); }
    bool getModemStatus(std::uint32_t &status) override { return inner_->getModemStatus(status); }
    bool setBreak() override { return inner_->setBreak(); }
    bool clearBreak() override { return inner_->clearBreak(); }
    bool prepareWait() override { return inner_->prepareWait(); }
    vexa::WaitResult waitForEvent(std::uint32_t &mask) override { return inner_->waitForEvent(mask); }
    bool bytesQueued(std::uint32_t &count) override { return inner_->bytesQueued(count); }
    bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) override
    {
        return inner_->read(buffer, count, got);
    }
    int lastError() const override { return inner_->lastError(); }

private:
    std::shared_ptr<vexa::SerialPort> inner_;
    std::chrono::microseconds perPiece_;
    std::uint32_t pieceSize_;
    std::shared_ptr<std::atomic<bool>> failing_;
};
