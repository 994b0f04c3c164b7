#include "support/FakeSerialPort.h"

#include <atomic>
#include <cerrno>

namespace vexa {
namespace {

// Per thread, as the real backends keep it: the flood thread's failures must
// not show up as the main thread's error.
thread_local int tLastError = 0;

using LineMap = std::map<std::string, std::shared_ptr<FakeLine>>;

class FakeSerialPort final : public SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<LineMap> lines) : lines_(std::move(lines)) {}
    ~FakeSerialPort() override { close(); }

    bool probe(const std::string &name) override
    {
        auto it = lines_->find(name);
        if (it == lines_->end())
            return Fail(ENOENT);
        std::lock_guard<std::mutex> lock(it->second->mutex);
        return !it->second->held || Fail(EBUSY);
    }
    bool open(const std::string &name) override
    {
        auto it = lines_->find(name);
        if (it == lines_->end())
            return Fail(ENOENT);
        std::lock_guard<std::mutex> lock(it->second->mutex);
        if (it->second->held)
            return Fail(EBUSY);
        it->second->held = true;
        line_ = it->second;
        return true;
    }
    void close() override
    {
        if (!line_)
            return;
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (closed_)
            return;
        closed_ = true;
        line_->held = false;
        line_->changed.notify_all();
    }
    bool isOpen() const override { return line_ && !closed_; }

    bool getState(PortSettings &s) override
    {
        return Call(line_ ? line_->failGetState : true, [&] { s = line_->settings; });
    }
    bool setState(const PortSettings &s) override
    {
        return Call(line_ ? line_->failSetState : true, [&] {
            line_->settings = s;
            ++line_->setStates;
        });
    }
    bool setupQueues(std::uint32_t, std::uint32_t) override
    {
        return Call(line_ ? line_->failSetupQueues : true, [] {});
    }
    bool setEventMask(std::uint32_t mask) override
    {
        return Call(line_ ? line_->failEventMask : true, [&] { mask_ = mask; });
    }
    bool purge(std::uint32_t flags) override
    {
        return Call(line_ ? line_->failPurge : true, [&] {
            ++line_->purges;
            if (flags & (kPurgeRxAbort | kPurgeRxClear))
                line_->incoming.clear();
        });
    }
    bool getTimeouts(PortTimeouts &t) override
    {
        return Call(line_ ? line_->failTimeouts : true, [&] { t = timeouts_; });
    }
    bool setTimeouts(const PortTimeouts &t) override
    {
        return Call(line_ ? line_->failTimeouts : true, [&] { timeouts_ = t; });
    }
    bool getModemStatus(std::uint32_t &status) override
    {
        return Call(line_ ? line_->failModemStatus : true, [&] { status = line_->modemStatus; });
    }
    bool setBreak() override
    {
        return Call(line_ ? line_->failSetBreak : true, [&] { line_->breakOn = true; });
    }
    bool clearBreak() override
    {
        return Call(line_ ? line_->failClearBreak : true, [&] { line_->breakOn = false; });
    }
    bool prepareWait() override
    {
        return Call(line_ ? line_->failPrepareWait : true, [] {});
    }

    WaitResult waitForEvent(std::uint32_t &eventMask) override
    {
        if (!line_)
            return WaitResult::Closed;
        std::unique_lock<std::mutex> lock(line_->mutex);
        line_->changed.wait(lock, [&] { return closed_ || line_->vanished || !line_->incoming.empty(); });
        if (closed_)
            return WaitResult::Closed;
        if (line_->incoming.empty()) {
            tLastError = EIO;
            return WaitResult::Error;
        }
        eventMask = mask_ & kEvRxChar;
        return WaitResult::Event;
    }
    bool bytesQueued(std::uint32_t &count) override
    {
        return Call(false, [&] { count = static_cast<std::uint32_t>(line_->incoming.size()); });
    }
    bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) override
    {
        got = 0;
        return Call(false, [&] {
            while (got < count && !line_->incoming.empty()) {
                buffer[got++] = line_->incoming.front();
                line_->incoming.pop_front();
            }
        });
    }
    using SerialPort::write;
    bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken, const std::atomic<bool> *) override
    {
        taken = 0;
        return Call(line_ ? line_->failWrite : true, [&] {
            line_->written.insert(line_->written.end(), data, data + count);
            taken = count;
        });
    }
    int lastError() const override { return tLastError; }

private:
    bool Fail(int error)
    {
        tLastError = error;
        return false;
    }
    template <typename F>
    bool Call(bool failing, F action)
    {
        if (!line_)
            return Fail(EBADF);
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (closed_ || line_->vanished)
            return Fail(closed_ ? EBADF : EIO);
        if (failing)
            return Fail(EIO);
        action();
        return true;
    }

    std::shared_ptr<LineMap> lines_;
    std::shared_ptr<FakeLine> line_;
    std::atomic<bool> closed_{false};
    std::uint32_t mask_ = 0;
    PortTimeouts timeouts_;
};

}  // namespace

void FakeLine::Receive(const std::vector<std::uint8_t> &bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    changed.notify_all();
}

void FakeLine::Vanish()
{
    std::lock_guard<std::mutex> lock(mutex);
    vanished = true;
    changed.notify_all();
}

std::vector<std::uint8_t> FakeLine::Written()
{
    std::lock_guard<std::mutex> lock(mutex);
    return written;
}

std::shared_ptr<FakeLine> FakeSerialHub::Add(const std::string &name)
{
    auto line = std::make_shared<FakeLine>();
    (*lines_)[name] = line;
    return line;
}

SerialPortFactory FakeSerialHub::Factory()
{
    auto lines = lines_;
    return [lines] { return std::make_shared<FakeSerialPort>(lines); };
}

}  // namespace vexa
