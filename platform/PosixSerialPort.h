#pragma once
// The serial port over Linux termios. Opens exclusively, honouring and
// taking the locks other programs use (PortLock.h), keeps the driver's line
// settings but makes the line discipline raw, waits with poll() on the port
// plus a wake-up descriptor that close() signals, and fails a write only
// when the line stops moving.

#include <atomic>
#include <mutex>

#include "platform/PortLifetime.h"
#include "platform/PortLock.h"
#include "platform/SerialPort.h"

namespace vexa {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort();
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    bool probe(const std::string &deviceName) override;
    bool open(const std::string &deviceName) override;
    PortHolder holder() const override;
    void close() override;
    bool isOpen() const override;

    bool getState(PortSettings &settings) override;
    bool setState(const PortSettings &settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setEventMask(std::uint32_t mask) override;
    bool purge(std::uint32_t flags) override;
    bool getTimeouts(PortTimeouts &timeouts) override;
    bool setTimeouts(const PortTimeouts &timeouts) override;
    bool getModemStatus(std::uint32_t &status) override;
    bool setBreak() override;
    bool clearBreak() override;

    bool prepareWait() override;
    WaitResult waitForEvent(std::uint32_t &eventMask) override;
    bool bytesQueued(std::uint32_t &count) override;
    bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) override;
    using SerialPort::write;
    bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
               const std::atomic<bool> *stop) override;

    int lastError() const override;

private:
    struct Descriptors {
        int fd = -1;
        int wake = -1;  // an eventfd that close() signals
    };
    using Use = PortLifetime<Descriptors>::Use;

    bool Fail(int error);
    bool Line_Bit(int bit, bool on);
    bool Control(unsigned long request, int arg);
    bool Query(unsigned long request, int &value);

    mutable std::mutex mutex_;
    PortLifetime<Descriptors> life_;
    std::uint32_t eventMask_ = 0;
    PortTimeouts timeouts_;
    // A pseudo-terminal has no modem lines; these remember what was asked.
    std::atomic<bool> rtsOn_{true}, dtrOn_{true};
    std::atomic<std::uint32_t> baudRate_{9600};
    DeviceLockFile lockFile_;  // taken by open, released by close
    PortHolder holder_;        // of the last open or probe that found the device held
};

}  // namespace vexa
