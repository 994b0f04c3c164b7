#pragma once
// The serial port over the Windows communications API (kernel32), opened for
// overlapped I/O. An event of the port's own ends every pending wait, read
// and write at once when the port is closed; a write fails when the line
// stops moving for its bound.
//
// The reader waits with WaitCommEvent for a received character. Some USB
// drivers, and Wine on a pseudo-terminal, end every such wait at once as
// aborted; after a few such waits in a row the port waits instead with a read
// whose time-outs end it shortly after the last byte (or after two quiet
// seconds), and keeps what that read brought for the reader's next read.
//
// The waiting side (prepareWait, waitForEvent, bytesQueued, read) belongs to
// one thread at a time: the port's reader.
//
// Every overlapped request is bounded, its cancel too: a driver that never
// ends a cancelled request cannot hang a write, a wait or the close.

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/PortLifetime.h"
#include "platform/SerialPort.h"

namespace vexa {

class OverlappedRequest;

// The read time-outs of the waiting read: it ends 20 ms after the last byte,
// or after 2 s without any, so an idle port costs one turn every 2 s.
constexpr std::uint32_t kWaitReadIntervalMs = 20, kWaitReadTotalMs = 2000;
// What one waiting read may bring: as much as the driver queue holds.
constexpr std::uint32_t kWaitReadBufferSize = 65536;
// Waits in a row that end without a character (aborted, or woken for
// nothing) after which the port waits by reading.
constexpr int kFruitlessWaitsBeforeReading = 3;

class Win32SerialPort final : public SerialPort {
public:
    // A test may hold the port to WaitCommEvent by allowing more fruitless waits.
    explicit Win32SerialPort(int fruitlessWaitsBeforeReading = kFruitlessWaitsBeforeReading);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort &) = delete;
    Win32SerialPort &operator=(const Win32SerialPort &) = delete;

    // Both refuse a name that opens something other than a serial device.
    bool probe(const std::string &deviceName) override;
    bool open(const std::string &deviceName) override;
    void close() override;
    bool isOpen() const override;

    bool getState(PortSettings &settings) override;
    bool setState(const PortSettings &settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setEventMask(std::uint32_t mask) override;
    // Purging the input also drops what the waiting read brought.
    bool purge(std::uint32_t flags) override;
    // The time-outs read back as the program set them; while the port waits
    // by reading, the driver holds the waiting read's instead of the read ones.
    bool getTimeouts(PortTimeouts &timeouts) override;
    bool setTimeouts(const PortTimeouts &timeouts) override;
    bool getModemStatus(std::uint32_t &status) override;
    bool setBreak() override;
    bool clearBreak() override;

    bool prepareWait() override;
    WaitResult waitForEvent(std::uint32_t &eventMask) override;
    // What the next read gives: the bytes the waiting read brought, or else
    // the driver's input queue. Clears the line-error state either way.
    bool bytesQueued(std::uint32_t &count) override;
    // Never asks the driver for more than it holds, so it never blocks,
    // whatever the time-outs.
    bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) override;
    using SerialPort::write;
    bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
               const std::atomic<bool> *stop) override;

    int lastError() const override;

    // Whether the wait has fallen back to reading (for tests and diagnosis).
    bool waitsByReading() const;

private:
    struct Handles {
        void *handle = nullptr;  // the open device
        void *wake = nullptr;    // set by close(): ends every pending operation
    };
    using Use = PortLifetime<Handles>::Use;

    // Runs call(handle) on the open port: false, with the driver's error,
    // when the port is closed or the call fails.
    template <class Call>
    bool Driver_Call(Call call);

    bool Ensure_Wait_Request();
    WaitResult Wait_For_Comm_Event(void *handle, void *wake, std::uint32_t &eventMask);
    WaitResult Wait_By_Reading(void *handle, void *wake, std::uint32_t &eventMask);
    bool Start_Waiting_By_Read(void *handle);
    std::uint32_t Stashed() const;

    const int fruitlessWaitsBeforeReading_;
    mutable std::mutex mutex_;
    PortLifetime<Handles> life_;
    std::unique_ptr<OverlappedRequest> waitRequest_;  // the reader's
    std::uint32_t eventMask_ = 0;
    PortTimeouts asked_;  // the time-outs as the program set them
    bool waitByRead_ = false;
    int fruitlessWaits_ = 0;
    std::vector<std::uint8_t> stash_;      // what the waiting read brought
    std::size_t stashed_ = 0, taken_ = 0;  // under mutex_: a purge empties the stash
    std::atomic<std::uint32_t> baudRate_{9600};
};

}  // namespace vexa
