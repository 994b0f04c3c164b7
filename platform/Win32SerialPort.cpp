#include "platform/Win32SerialPort.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/DcbMapping.h"
#include "platform/PortNames.h"
#include "platform/WriteBound.h"

namespace vexa {
namespace {

thread_local DWORD tLastError = 0;

bool Fail(DWORD error)
{
    tLastError = error;
    return false;
}

bool Fail_Last() { return Fail(GetLastError()); }

// A manual-reset event that closes itself.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

enum class Outcome { Done, Failed, Closed, TimedOut };

struct Finished {
    Outcome outcome;
    DWORD count;
    DWORD error;
};

// Sees an overlapped operation through: the call that started it returned
// `started`. Waits for it, for the port's close event or for waitMs; an
// operation cut short is cancelled and awaited, so that its record and
// buffer are free when this returns.
Finished Finish(HANDLE port, OVERLAPPED &ov, BOOL started, HANDLE wake, DWORD waitMs)
{
    DWORD woke = WAIT_OBJECT_0;
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return {Outcome::Failed, 0, error};
        const HANDLE both[2] = {ov.hEvent, wake};
        woke = WaitForMultipleObjects(2, both, FALSE, waitMs);
        if (woke != WAIT_OBJECT_0)
            CancelIoEx(port, &ov);
    }
    DWORD count = 0;
    if (GetOverlappedResult(port, &ov, &count, TRUE))
        return {Outcome::Done, count, 0};
    const DWORD error = GetLastError();
    if (woke == WAIT_OBJECT_0 + 1)
        return {Outcome::Closed, count, error};
    if (woke == WAIT_TIMEOUT)
        return {Outcome::TimedOut, count, error};
    return {Outcome::Failed, count, error};
}

// Opens the named device, changing nothing on it, and reads its settings;
// refuses what is not a serial device (a typed name may reach a file or
// another kind of device).
HANDLE Open_Serial_Device(const std::string &deviceName, DWORD attributes, Dcb &dcb)
{
    const std::string name = Device_Name_For_Open(deviceName);
    if (name.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return handle;
    dcb = Dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        SetLastError(ERROR_BAD_DEVICE);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// SetCommState hands the DTR and RTS modes to the driver; a line whose mode
// is a fixed level is then raised or dropped explicitly, as the POSIX backend
// does, so that it stands as asked whatever the driver makes of the mode. A
// device without modem lines (a pseudo-terminal under Wine) refuses with
// ERROR_NOT_SUPPORTED: the settings stand all the same.
bool Set_Fixed_Lines(HANDLE handle, const PortSettings &s)
{
    const auto level = [handle](bool fixed, bool on, DWORD raise, DWORD drop) {
        return !fixed || EscapeCommFunction(handle, on ? raise : drop) || GetLastError() == ERROR_NOT_SUPPORTED;
    };
    return level(s.fDtrControl != kDtrControlHandshake, s.fDtrControl == kDtrControlEnable, SETDTR, CLRDTR) &&
           level(s.fRtsControl <= kRtsControlEnable, s.fRtsControl == kRtsControlEnable, SETRTS, CLRRTS);
}

PortTimeouts From_Comm(const COMMTIMEOUTS &t)
{
    return {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
            t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
}

COMMTIMEOUTS To_Comm(const PortTimeouts &t)
{
    return {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
            t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
}

// The program's time-outs with the waiting read's read part. Never the
// {MAXDWORD, MAXDWORD, n} form: Wine never completes such a read.
COMMTIMEOUTS Waiting_Read_Timeouts(const PortTimeouts &asked)
{
    COMMTIMEOUTS t = To_Comm(asked);
    t.ReadIntervalTimeout = kWaitReadIntervalMs;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = kWaitReadTotalMs;
    return t;
}

}  // namespace

class Win32SerialPort::Use {
public:
    explicit Use(Win32SerialPort &port) : port_(port)
    {
        std::lock_guard<std::mutex> lock(port_.mutex_);
        ok_ = port_.handle_ && !port_.closing_;
        if (ok_) {
            ++port_.users_;
            handle = port_.handle_;
            wake = port_.closeEvent_;
        } else {
            tLastError = ERROR_INVALID_HANDLE;
        }
    }
    ~Use()
    {
        if (!ok_)
            return;
        std::lock_guard<std::mutex> lock(port_.mutex_);
        if (--port_.users_ == 0)
            port_.idle_.notify_all();
    }
    explicit operator bool() const { return ok_; }

    HANDLE handle = nullptr;
    HANDLE wake = nullptr;

private:
    Win32SerialPort &port_;
    bool ok_ = false;
};

Win32SerialPort::~Win32SerialPort() { close(); }

int Win32SerialPort::lastError() const { return static_cast<int>(tLastError); }

bool Win32SerialPort::probe(const std::string &deviceName)
{
    Dcb dcb;
    const HANDLE handle = Open_Serial_Device(deviceName, FILE_ATTRIBUTE_NORMAL, dcb);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail_Last();
    CloseHandle(handle);
    return true;
}

bool Win32SerialPort::open(const std::string &deviceName)
{
    if (isOpen())
        return Fail(ERROR_BUSY);
    Dcb dcb;
    const HANDLE handle = Open_Serial_Device(deviceName, 0, dcb);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail_Last();
    // A driver left with software flow control or null stripping would eat
    // bytes of a binary transfer; the line settings themselves stay.
    const Dcb before = dcb;
    Make_Transparent(dcb);
    COMMTIMEOUTS timeouts{};
    const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD error = 0;
    if (!wake || !GetCommTimeouts(handle, &timeouts))
        error = GetLastError();
    else if (std::memcmp(&before, &dcb, sizeof dcb) != 0 && !SetCommState(handle, &dcb))
        error = GetLastError();
    if (error != 0) {
        if (wake)
            CloseHandle(wake);
        CloseHandle(handle);
        return Fail(error);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    handle_ = handle;
    closeEvent_ = wake;
    asked_ = From_Comm(timeouts);
    baudRate_ = dcb.BaudRate;
    return true;
}

void Win32SerialPort::close()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!handle_ || closing_)
        return;
    closing_ = true;
    SetEvent(closeEvent_);
    idle_.wait(lock, [this] { return users_ == 0; });
    CloseHandle(handle_);
    CloseHandle(closeEvent_);
    if (waitEvent_)
        CloseHandle(waitEvent_);
    handle_ = closeEvent_ = waitEvent_ = nullptr;
    waitByRead_ = false;
    fruitlessWaits_ = 0;
    stashed_ = taken_ = 0;
    closing_ = false;
}

bool Win32SerialPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return handle_ && !closing_;
}

template <class Call>
bool Win32SerialPort::Driver_Call(Call call)
{
    Use use(*this);
    if (!use)
        return false;
    return call(use.handle) || Fail_Last();
}

bool Win32SerialPort::getState(PortSettings &settings)
{
    return Driver_Call([&](HANDLE handle) {
        Dcb dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle, &dcb))
            return false;
        settings = Read_Settings(dcb);
        baudRate_ = dcb.BaudRate;
        return true;
    });
}

bool Win32SerialPort::setState(const PortSettings &settings)
{
    return Driver_Call([&](HANDLE handle) {
        Dcb dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle, &dcb))
            return false;
        if (!Apply_Settings(settings, dcb)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        if (!SetCommState(handle, &dcb))
            return false;
        baudRate_ = settings.BaudRate;
        return Set_Fixed_Lines(handle, settings);
    });
}

bool Win32SerialPort::setupQueues(std::uint32_t inQueue, std::uint32_t outQueue)
{
    return Driver_Call([&](HANDLE handle) { return SetupComm(handle, inQueue, outQueue); });
}

bool Win32SerialPort::setEventMask(std::uint32_t mask)
{
    return Driver_Call([&](HANDLE handle) {
        if (!SetCommMask(handle, mask))
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        eventMask_ = mask;
        return true;
    });
}

bool Win32SerialPort::purge(std::uint32_t flags)
{
    return Driver_Call([&](HANDLE handle) {
        if (!PurgeComm(handle, flags))
            return false;
        // What the waiting read took off the driver was still the driver's
        // input as far as the program knows: it goes with the rest.
        if (flags & (kPurgeRxAbort | kPurgeRxClear)) {
            std::lock_guard<std::mutex> lock(mutex_);
            stashed_ = taken_ = 0;
        }
        return true;
    });
}

bool Win32SerialPort::getTimeouts(PortTimeouts &timeouts)
{
    Use use(*this);
    if (!use)
        return false;
    COMMTIMEOUTS held{};
    if (!GetCommTimeouts(use.handle, &held))
        return Fail_Last();
    std::lock_guard<std::mutex> lock(mutex_);
    timeouts = From_Comm(held);
    if (waitByRead_) {
        timeouts.ReadIntervalTimeout = asked_.ReadIntervalTimeout;
        timeouts.ReadTotalTimeoutMultiplier = asked_.ReadTotalTimeoutMultiplier;
        timeouts.ReadTotalTimeoutConstant = asked_.ReadTotalTimeoutConstant;
    }
    return true;
}

bool Win32SerialPort::setTimeouts(const PortTimeouts &timeouts)
{
    Use use(*this);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    COMMTIMEOUTS held = waitByRead_ ? Waiting_Read_Timeouts(timeouts) : To_Comm(timeouts);
    if (!SetCommTimeouts(use.handle, &held))
        return Fail_Last();
    asked_ = timeouts;
    return true;
}

bool Win32SerialPort::getModemStatus(std::uint32_t &status)
{
    return Driver_Call([&](HANDLE handle) {
        DWORD lines = 0;
        if (!GetCommModemStatus(handle, &lines))
            return false;
        status = lines & (kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn);
        return true;
    });
}

bool Win32SerialPort::setBreak()
{
    return Driver_Call([](HANDLE handle) { return SetCommBreak(handle); });
}

bool Win32SerialPort::clearBreak()
{
    return Driver_Call([](HANDLE handle) { return ClearCommBreak(handle); });
}

bool Win32SerialPort::prepareWait()
{
    Use use(*this);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!waitEvent_)
        waitEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return waitEvent_ || Fail_Last();
}

bool Win32SerialPort::waitsByReading() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waitByRead_;
}

WaitResult Win32SerialPort::waitForEvent(std::uint32_t &eventMask)
{
    Use use(*this);
    if (!use)
        return WaitResult::Closed;
    bool byRead = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        byRead = waitByRead_;
        if (!waitEvent_) {
            Fail(ERROR_INVALID_HANDLE);
            return WaitResult::Error;
        }
    }
    if (byRead)
        return Wait_By_Reading(use.handle, use.wake, eventMask);
    return Wait_For_Comm_Event(use.handle, use.wake, eventMask);
}

WaitResult Win32SerialPort::Wait_For_Comm_Event(HANDLE handle, HANDLE wake, std::uint32_t &eventMask)
{
    for (;;) {
        OVERLAPPED ov{};
        ov.hEvent = waitEvent_;
        DWORD events = 0;
        const BOOL started = WaitCommEvent(handle, &events, &ov);
        const Finished f = Finish(handle, ov, started, wake, INFINITE);
        if (f.outcome == Outcome::Closed)
            return WaitResult::Closed;
        const bool aborted = f.outcome == Outcome::Failed && f.error == ERROR_OPERATION_ABORTED;
        if (f.outcome != Outcome::Done && !aborted) {
            Fail(f.error);
            return WaitResult::Error;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!aborted && (events & eventMask_ & kEvRxChar)) {
                fruitlessWaits_ = 0;
                eventMask = kEvRxChar;
                return WaitResult::Event;
            }
        }
        // Ended without a character: aborted, or woken for nothing.
        if (++fruitlessWaits_ < fruitlessWaitsBeforeReading_)
            continue;
        if (!Start_Waiting_By_Read(handle))
            return WaitResult::Error;
        return Wait_By_Reading(handle, wake, eventMask);
    }
}

bool Win32SerialPort::Start_Waiting_By_Read(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    COMMTIMEOUTS held = Waiting_Read_Timeouts(asked_);
    if (!SetCommTimeouts(handle, &held))
        return Fail_Last();
    stash_.resize(kWaitReadBufferSize);
    stashed_ = taken_ = 0;
    waitByRead_ = true;
    return true;
}

WaitResult Win32SerialPort::Wait_By_Reading(HANDLE handle, HANDLE wake, std::uint32_t &eventMask)
{
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stashed_ > taken_) {
                eventMask = eventMask_ & kEvRxChar;
                return WaitResult::Event;
            }
        }
        const ULONGLONG began = GetTickCount64();
        OVERLAPPED ov{};
        ov.hEvent = waitEvent_;
        DWORD got = 0;
        const BOOL started = ReadFile(handle, stash_.data(), static_cast<DWORD>(stash_.size()), &got, &ov);
        const Finished f = Finish(handle, ov, started, wake, INFINITE);
        if (f.outcome == Outcome::Closed)
            return WaitResult::Closed;
        if (f.outcome == Outcome::Done && f.count > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            stashed_ = f.count;
            taken_ = 0;
            continue;
        }
        // A quiet port ends the read by its time-out (Wine reports that as
        // ERROR_TIMEOUT); a purge aborts it.
        const bool quiet = f.outcome == Outcome::Done || f.error == ERROR_TIMEOUT || f.error == ERROR_OPERATION_ABORTED;
        if (!quiet) {
            Fail(f.error);
            return WaitResult::Error;
        }
        // An empty read that comes back long before its time-out (repeated
        // purges, a driver that ignores the time-outs) must not become a spin.
        if (GetTickCount64() - began < kWaitReadTotalMs / 2 &&
            WaitForSingleObject(wake, kWaitReadIntervalMs) == WAIT_OBJECT_0)
            return WaitResult::Closed;
    }
}

std::uint32_t Win32SerialPort::Stashed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::uint32_t>(stashed_ - taken_);
}

bool Win32SerialPort::bytesQueued(std::uint32_t &count)
{
    Use use(*this);
    if (!use)
        return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(use.handle, &errors, &status))
        return Fail_Last();
    const std::uint32_t stashed = Stashed();
    count = stashed > 0 ? stashed : status.cbInQue;
    return true;
}

bool Win32SerialPort::read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got)
{
    Use use(*this);
    got = 0;
    if (!use)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stashed_ > taken_) {
            got = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(stashed_ - taken_));
            std::memcpy(buffer, stash_.data() + taken_, got);
            taken_ += got;
            return true;
        }
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(use.handle, &errors, &status))
        return Fail_Last();
    const DWORD wanted = std::min<DWORD>(count, status.cbInQue);
    if (wanted == 0)
        return true;
    Event event;
    if (!event.get())
        return Fail_Last();
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD n = 0;
    const BOOL started = ReadFile(use.handle, buffer, wanted, &n, &ov);
    const Finished f = Finish(use.handle, ov, started, use.wake, INFINITE);
    if (f.outcome != Outcome::Done)
        return Fail(f.outcome == Outcome::Closed ? ERROR_OPERATION_ABORTED : f.error);
    got = f.count;
    return true;
}

bool Win32SerialPort::write(const std::uint8_t *data, std::uint32_t count)
{
    Use use(*this);
    if (!use)
        return false;
    if (count == 0)
        return true;
    Event event;
    if (!event.get())
        return Fail_Last();
    const ULONGLONG deadline = GetTickCount64() + Write_Bound_Ms(count, baudRate_);
    std::uint32_t done = 0;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        OVERLAPPED ov{};
        ov.hEvent = event.get();
        DWORD n = 0;
        const BOOL started = WriteFile(use.handle, data + done, count - done, &n, &ov);
        const Finished f = Finish(use.handle, ov, started, use.wake, now < deadline ? DWORD(deadline - now) : 0);
        done += f.count;
        if (f.outcome == Outcome::Closed)
            return Fail(ERROR_OPERATION_ABORTED);
        if (f.outcome == Outcome::Failed)
            return Fail(f.error);
        if (done >= count)
            return true;
        if (f.outcome == Outcome::TimedOut || GetTickCount64() >= deadline) {
            // Held off too long: drop what is still pending so it does not
            // leave later, out of order, when the line frees.
            PurgeComm(use.handle, PURGE_TXABORT | PURGE_TXCLEAR);
            return Fail(ERROR_TIMEOUT);
        }
    }
}

}  // namespace vexa
