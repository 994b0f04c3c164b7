#pragma once
// The serial port as the rest of Vexa sees it: one abstract port with the
// operations the program needs, free of Qt and of any operating-system type,
// so that a Windows backend can sit beside the POSIX one.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vexa {

// The line's framing and flow control, numbered as the Windows DCB numbers
// them (the network port and the termios mapping translate). Plain enums on
// a byte: they read as numbers where a record or a wire needs one, but a
// bare number cannot be stored in a setting by mistake.
enum Parity_Mode : std::uint8_t { kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4 };
enum Stop_Bits : std::uint8_t { kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2 };
// RTS may also toggle around each write, which the DCB can hold.
enum Rts_Control : std::uint8_t {
    kRtsControlDisable = 0,
    kRtsControlEnable = 1,
    kRtsControlHandshake = 2,
    kRtsControlToggle = 3
};
enum Dtr_Control : std::uint8_t { kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2 };

// Line settings in the shape of the Windows device-control block: the fields
// the program reads and writes, with the same numeric values.
struct PortSettings {
    std::uint32_t BaudRate = 9600;
    std::uint8_t ByteSize = 8;
    Parity_Mode Parity = kNoParity;
    Stop_Bits StopBits = kOneStopBit;
    bool fOutxCtsFlow = false;
    Rts_Control fRtsControl = kRtsControlEnable;
    Dtr_Control fDtrControl = kDtrControlEnable;

    bool operator==(const PortSettings &o) const;
};

// Event mask bit: a character arrived.
constexpr std::uint32_t kEvRxChar = 0x0001;

// Purge flags; all four together are 15.
constexpr std::uint32_t kPurgeTxAbort = 0x1, kPurgeRxAbort = 0x2, kPurgeTxClear = 0x4, kPurgeRxClear = 0x8;
constexpr std::uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;

// Modem status bits.
constexpr std::uint32_t kMsCtsOn = 0x10, kMsDsrOn = 0x20, kMsRingOn = 0x40, kMsRlsdOn = 0x80;

struct PortTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Another program that holds a device: its process number and name, as far
// as the system tells (0 and empty when it does not).
struct PortHolder {
    int pid = 0;
    std::string program;
};

// How a wait for a received character ended.
enum class WaitResult {
    Event,   // the event mask holds what happened
    Closed,  // the port was closed under the waiter
    Error,   // the device failed or vanished; lastError() tells why
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Whether the named device could be opened now; opens and closes it at
    // once and changes none of its settings. The port stays closed.
    virtual bool probe(const std::string &deviceName) = 0;
    // Opens the named device exclusively; a port another program holds fails.
    virtual bool open(const std::string &deviceName) = 0;
    // Who held the device when the last open or probe failed for that reason.
    virtual PortHolder holder() const { return {}; }
    // Closes the port; ends every pending wait and write at once. Idempotent.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool getState(PortSettings &settings) = 0;
    virtual bool setState(const PortSettings &settings) = 0;
    virtual bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool setEventMask(std::uint32_t mask) = 0;
    virtual bool purge(std::uint32_t flags) = 0;
    virtual bool getTimeouts(PortTimeouts &timeouts) = 0;
    virtual bool setTimeouts(const PortTimeouts &timeouts) = 0;
    virtual bool getModemStatus(std::uint32_t &status) = 0;
    virtual bool setBreak() = 0;
    virtual bool clearBreak() = 0;

    // Prepares what a reader needs to wait on the port; false when it cannot.
    virtual bool prepareWait() = 0;
    // Blocks until a character arrives, the port is closed or the device fails.
    virtual WaitResult waitForEvent(std::uint32_t &eventMask) = 0;
    virtual bool bytesQueued(std::uint32_t &count) = 0;
    // Reads what is queued without blocking.
    virtual bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) = 0;
    // Hands every byte to the driver; false on failure, when the line has not
    // moved for the write's bound (WriteBound.h), or soon after `stop` (when
    // given) is set. `taken` is what the driver took, of a failed write too.
    virtual bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
                       const std::atomic<bool> *stop) = 0;
    bool write(const std::uint8_t *data, std::uint32_t count)
    {
        std::uint32_t taken = 0;
        return write(data, count, taken, nullptr);
    }

    // The operating system's error number of the last failed call on this thread.
    virtual int lastError() const = 0;
};

using SerialPortFactory = std::function<std::shared_ptr<SerialPort>()>;

// A new, closed port of the backend that opens the given name: a network
// port for "rfc2217://host:port", the platform's serial backend for any other
// name or none (or, for every name, the backend a test installed).
std::shared_ptr<SerialPort> Create_Serial_Port(const std::string &name = std::string());
// Installs another backend; an empty factory restores the platform's own.
void Set_Serial_Port_Factory(SerialPortFactory factory);

}  // namespace vexa
