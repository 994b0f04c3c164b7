#include "platform/Win32SerialPort.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/DcbMapping.h"
#include "platform/PortNames.h"
#include "platform/Win32Overlapped.h"
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

Win32SerialPort::Win32SerialPort(int fruitlessWaitsBeforeReading)
    : fruitlessWaitsBeforeReading_(fruitlessWaitsBeforeReading),
      life_(mutex_, [] { tLastError = ERROR_INVALID_HANDLE; })
{
}

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
    life_.Opened_Locked({handle, wake});
    asked_ = From_Comm(timeouts);
    baudRate_ = dcb.BaudRate;
    return true;
}

void Win32SerialPort::close()
{
    life_.Close([](const Handles &h) { SetEvent(h.wake); },
                [this](const Handles &h) {
                    CloseHandle(h.handle);
                    CloseHandle(h.wake);
                    waitRequest_.reset();
                    waitByRead_ = false;
                    fruitlessWaits_ = 0;
                    stashed_ = taken_ = 0;
                });
}

bool Win32SerialPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return life_.Open_Locked();
}

template <class Call>
bool Win32SerialPort::Driver_Call(Call call)
{
    Use use(life_);
    if (!use)
        return false;
    return call(use->handle) || Fail_Last();
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
    Use use(life_);
    if (!use)
        return false;
    COMMTIMEOUTS held{};
    if (!GetCommTimeouts(use->handle, &held))
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
    Use use(life_);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    COMMTIMEOUTS held = waitByRead_ ? Waiting_Read_Timeouts(timeouts) : To_Comm(timeouts);
    if (!SetCommTimeouts(use->handle, &held))
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
    Use use(life_);
    return use && Ensure_Wait_Request();
}

// The reader's request, made anew when a driver kept the last one. It
// belongs to the reader's thread; only a close, which waits for the reader
// to leave first, touches it from another.
bool Win32SerialPort::Ensure_Wait_Request()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!waitRequest_) {
        auto made = std::make_unique<OverlappedRequest>(kWaitReadBufferSize);
        if (!made->Valid())
            return Fail_Last();
        waitRequest_ = std::move(made);
    }
    return true;
}

bool Win32SerialPort::waitsByReading() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waitByRead_;
}

// A request that fails while the port is being closed fails because of the
// close: the wait ends as closed, not as a fault of the port.
static bool Closing(HANDLE wake) { return WaitForSingleObject(wake, 0) == WAIT_OBJECT_0; }

WaitResult Win32SerialPort::waitForEvent(std::uint32_t &eventMask)
{
    Use use(life_);
    if (!use)
        return WaitResult::Closed;
    bool byRead = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        byRead = waitByRead_;
    }
    if (byRead)
        return Wait_By_Reading(use->handle, use->wake, eventMask);
    return Wait_For_Comm_Event(use->handle, use->wake, eventMask);
}

WaitResult Win32SerialPort::Wait_For_Comm_Event(HANDLE handle, HANDLE wake, std::uint32_t &eventMask)
{
    for (;;) {
        if (!Ensure_Wait_Request())
            return WaitResult::Error;
        auto &request = waitRequest_;
        const BOOL started = WaitCommEvent(handle, request->Events(), request->Fresh_Record());
        const Finished f = Finish(handle, request, started, wake, INFINITE);
        if (f.outcome == Outcome::Closed)
            return WaitResult::Closed;
        const bool aborted = f.outcome == Outcome::Failed && f.error == ERROR_OPERATION_ABORTED;
        if (f.outcome != Outcome::Done && !aborted) {
            if (Closing(wake))
                return WaitResult::Closed;
            Fail(f.error);
            return WaitResult::Error;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!aborted && request && (*request->Events() & eventMask_ & kEvRxChar)) {
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
        if (!Ensure_Wait_Request())
            return WaitResult::Error;
        auto &request = waitRequest_;
        const ULONGLONG began = GetTickCount64();
        std::vector<std::uint8_t> &buffer = request->Buffer();
        DWORD got = 0;
        const BOOL started =
            ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, request->Fresh_Record());
        const Finished f = Finish(handle, request, started, wake, INFINITE);
        if (f.outcome == Outcome::Closed)
            return WaitResult::Closed;
        if (f.outcome == Outcome::Done && f.count > 0) {
            // The request's buffer becomes the stash: no copy.
            std::lock_guard<std::mutex> lock(mutex_);
            stash_.swap(request->Buffer());
            stashed_ = f.count;
            taken_ = 0;
            continue;
        }
        // A quiet port ends the read by its time-out (Wine reports that as
        // ERROR_TIMEOUT); a purge aborts it.
        const bool quiet = f.outcome == Outcome::Done || f.error == ERROR_TIMEOUT || f.error == ERROR_OPERATION_ABORTED;
        if (!quiet) {
            if (Closing(wake))
                return WaitResult::Closed;
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
    Use use(life_);
    if (!use)
        return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(use->handle, &errors, &status))
        return Fail_Last();
    const std::uint32_t stashed = Stashed();
    count = stashed > 0 ? stashed : status.cbInQue;
    return true;
}

bool Win32SerialPort::read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got)
{
    Use use(life_);
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
    if (!ClearCommError(use->handle, &errors, &status))
        return Fail_Last();
    const DWORD wanted = std::min<DWORD>(count, status.cbInQue);
    if (wanted == 0)
        return true;
    auto request = std::make_unique<OverlappedRequest>(wanted);
    if (!request->Valid())
        return Fail_Last();
    DWORD n = 0;
    const BOOL started = ReadFile(use->handle, request->Buffer().data(), wanted, &n, request->Fresh_Record());
    const Finished f = Finish(use->handle, request, started, use->wake, INFINITE);
    if (f.outcome != Outcome::Done)
        return Fail(f.outcome == Outcome::Closed ? ERROR_OPERATION_ABORTED : f.error);
    got = std::min<std::uint32_t>(f.count, wanted);
    std::memcpy(buffer, request->Buffer().data(), got);
    return true;
}

// The bytes go out from a copy the request owns, which outlives the call
// when a driver keeps a cancelled request. The line moves while the driver
// takes bytes or its output queue shrinks.
bool Win32SerialPort::write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
                            const std::atomic<bool> *stop)
{
    taken = 0;
    Use use(life_);
    if (!use)
        return false;
    if (count == 0)
        return true;
    auto request = std::make_unique<OverlappedRequest>();
    if (!request->Valid())
        return Fail_Last();
    request->Buffer().assign(data, data + count);
    const HANDLE handle = use->handle;
    WriteWatch watch(Write_Bound_Ms(count, baudRate_), GetTickCount64());
    bool stopped = false;
    const auto moving = [&] {
        const ULONGLONG now = GetTickCount64();
        COMSTAT status{};
        DWORD errors = 0;
        watch.Queued(now, ClearCommError(handle, &errors, &status) ? std::int64_t(status.cbOutQue) : -1);
        stopped = stop && *stop;
        return !stopped && !watch.Stalled(now);
    };
    for (;;) {
        if (stop && *stop)
            return Fail(ERROR_OPERATION_ABORTED);
        DWORD n = 0;
        const BOOL started =
            WriteFile(handle, request->Buffer().data() + taken, count - taken, &n, request->Fresh_Record());
        const Finished f = Finish(handle, request, started, use->wake, kWriteLookMs, CancelIoEx, moving);
        taken += f.count;
        if (f.count > 0)
            watch.Took(GetTickCount64());
        if (f.outcome == Outcome::Closed)
            return Fail(ERROR_OPERATION_ABORTED);
        if (f.outcome == Outcome::Failed)
            return Fail(f.error);
        if (taken >= count)
            return true;
        if (stopped)
            return Fail(ERROR_OPERATION_ABORTED);
        // The cancel ended this request only; what earlier writes handed
        // over stays with the driver.
        if (f.outcome == Outcome::TimedOut || !request || watch.Stalled(GetTickCount64()))
            return Fail(ERROR_TIMEOUT);
    }
}

}  // namespace vexa
