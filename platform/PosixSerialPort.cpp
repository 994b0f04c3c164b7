#include "platform/PosixSerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "platform/PortLock.h"
#include "platform/PortNames.h"
#include "platform/TermiosMapping.h"
#include "platform/WriteBound.h"

namespace vexa {
namespace {

thread_local int tLastError = 0;

}  // namespace

PosixSerialPort::PosixSerialPort() : life_(mutex_, [] { tLastError = EBADF; }) {}

PosixSerialPort::~PosixSerialPort() { close(); }

bool PosixSerialPort::Fail(int error)
{
    tLastError = error;
    return false;
}

int PosixSerialPort::lastError() const { return tLastError; }

namespace {

// Opens a serial device that no one holds, changing nothing on it: a tty
// (not a file or a directory a typed name might reach) with no living lock
// file, not made exclusive by another program (which root could open all
// the same) and that takes our advisory lock. The descriptor, or -1 with
// errno set and, for a held device, who holds it where the system tells.
int Open_Free_Device(const std::string &deviceName, struct termios2 &tio, PortHolder &holder)
{
    holder = {};
    const std::string path = Device_Name_For_Open(deviceName);
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Not even opened: opening raises DTR and RTS under the holder.
    if (Lock_File_Held(path, holder)) {
        errno = EBUSY;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    int exclusive = 0;
    if (fd >= 0) {
        if (::ioctl(fd, TCGETS2, &tio) != 0)
            error = ENOTTY;
        else if ((::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            error = EBUSY;
        if (error == 0)
            return fd;
        ::close(fd);
    }
    if (error == EBUSY)
        holder = Program_Holding(path);
    errno = error;
    return -1;
}

// A tty closed with output still queued waits in close() until that has
// gone, up to the driver's closing wait (30 s by default). Output that moves
// is given up to a second to go; output that stands still (held off by CTS)
// is dropped as soon as it is seen not to move, and so is what a slow line
// has not sent within that second.
void Drop_Stalled_Output(int fd, std::uint32_t baudRate)
{
    constexpr std::chrono::milliseconds kDrainAtClose{1000};
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
        return;
    // Four characters' time on the line: long enough to see the queue move.
    const std::chrono::milliseconds step(20 + 4 * 12 * 1000 / std::max<std::uint32_t>(baudRate, 110));
    const auto deadline = std::chrono::steady_clock::now() + kDrainAtClose;
    for (;;) {
        std::this_thread::sleep_for(step);
        int left = 0;
        if (::ioctl(fd, TIOCOUTQ, &left) != 0 || left <= 0)
            return;
        if (left >= queued || std::chrono::steady_clock::now() >= deadline)
            break;
        queued = left;
    }
    ::ioctl(fd, TCFLSH, TCOFLUSH);
}

}  // namespace

bool PosixSerialPort::probe(const std::string &deviceName)
{
    struct termios2 tio {};
    const int fd = Open_Free_Device(deviceName, tio, holder_);
    if (fd < 0)
        return Fail(errno);
    ::close(fd);
    return true;
}

bool PosixSerialPort::open(const std::string &deviceName)
{
    if (isOpen())
        return Fail(EBUSY);
    struct termios2 tio {};
    const int fd = Open_Free_Device(deviceName, tio, holder_);
    if (fd < 0)
        return Fail(errno);
    int error = 0;
    if (::ioctl(fd, TIOCEXCL) != 0 || !lockFile_.Take(Device_Name_For_Open(deviceName), holder_))
        error = EBUSY;
    else {
        Make_Raw(tio);
        if (::ioctl(fd, TCSETS2, &tio) != 0)
            error = errno;
    }
    if (error != 0) {
        lockFile_.Release();
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return Fail(error);
    }
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) == 0) {
        rtsOn_ = (lines & TIOCM_RTS) != 0;
        dtrOn_ = (lines & TIOCM_DTR) != 0;
    }
    baudRate_ = Read_Settings(tio, rtsOn_, dtrOn_).BaudRate;
    std::lock_guard<std::mutex> lock(mutex_);
    life_.Opened_Locked({fd, ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)});
    return true;
}

void PosixSerialPort::close()
{
    life_.Close(
        [](const Descriptors &d) {
            if (d.wake >= 0)
                ::eventfd_write(d.wake, 1);
        },
        [this](const Descriptors &d) {
            // The lock file goes first: once the descriptor is closed, the
            // device may be opened, even created afresh, by someone else.
            lockFile_.Release();
            ::ioctl(d.fd, TIOCNXCL);
            Drop_Stalled_Output(d.fd, baudRate_);
            ::close(d.fd);
            if (d.wake >= 0)
                ::close(d.wake);
        });
}

PortHolder PosixSerialPort::holder() const { return holder_; }

bool PosixSerialPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return life_.Open_Locked();
}

bool PosixSerialPort::getState(PortSettings &settings)
{
    Use use(life_);
    if (!use)
        return false;
    struct termios2 tio {};
    if (::ioctl(use->fd, TCGETS2, &tio) != 0)
        return Fail(errno);
    int lines = 0;
    if (::ioctl(use->fd, TIOCMGET, &lines) == 0) {
        rtsOn_ = (lines & TIOCM_RTS) != 0;
        dtrOn_ = (lines & TIOCM_DTR) != 0;
    }
    settings = Read_Settings(tio, rtsOn_, dtrOn_);
    return true;
}

bool PosixSerialPort::Line_Bit(int bit, bool on)
{
    Use use(life_);
    if (!use)
        return false;
    // A pseudo-terminal refuses modem-line calls; what was asked is remembered.
    ::ioctl(use->fd, on ? TIOCMBIS : TIOCMBIC, &bit);
    (bit == TIOCM_RTS ? rtsOn_ : dtrOn_) = on;
    return true;
}

bool PosixSerialPort::setState(const PortSettings &settings)
{
    {
        Use use(life_);
        if (!use)
            return false;
        struct termios2 tio {};
        if (::ioctl(use->fd, TCGETS2, &tio) != 0)
            return Fail(errno);
        if (!Apply_Settings(settings, tio))
            return Fail(EINVAL);
        if (::ioctl(use->fd, TCSETS2, &tio) != 0)
            return Fail(errno);
        baudRate_ = settings.BaudRate;
    }
    if (settings.fRtsControl != kRtsControlHandshake && !settings.fOutxCtsFlow)
        Line_Bit(TIOCM_RTS, settings.fRtsControl == kRtsControlEnable);
    return Line_Bit(TIOCM_DTR, settings.fDtrControl != kDtrControlDisable);
}

// Linux sizes its tty buffers itself; the request only needs an open port.
bool PosixSerialPort::setupQueues(std::uint32_t, std::uint32_t)
{
    Use use(life_);
    return static_cast<bool>(use);
}

bool PosixSerialPort::setEventMask(std::uint32_t mask)
{
    Use use(life_);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    eventMask_ = mask;
    return true;
}

bool PosixSerialPort::purge(std::uint32_t flags)
{
    const bool tx = flags & (kPurgeTxAbort | kPurgeTxClear);
    const bool rx = flags & (kPurgeRxAbort | kPurgeRxClear);
    if (!tx && !rx)
        return isOpen() || Fail(EBADF);
    return Control(TCFLSH, tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH);
}

bool PosixSerialPort::Control(unsigned long request, int arg)
{
    Use use(life_);
    if (!use)
        return false;
    return ::ioctl(use->fd, request, arg) == 0 || Fail(errno);
}

// Reads return at once with what is queued whatever the time-outs say; they
// are kept so that they read back as they were set.
bool PosixSerialPort::getTimeouts(PortTimeouts &timeouts)
{
    Use use(life_);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    timeouts = timeouts_;
    return true;
}

bool PosixSerialPort::setTimeouts(const PortTimeouts &timeouts)
{
    Use use(life_);
    if (!use)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    timeouts_ = timeouts;
    return true;
}

bool PosixSerialPort::Query(unsigned long request, int &value)
{
    Use use(life_);
    if (!use)
        return false;
    return ::ioctl(use->fd, request, &value) == 0 || Fail(errno);
}

bool PosixSerialPort::getModemStatus(std::uint32_t &status)
{
    int lines = 0;
    if (!Query(TIOCMGET, lines))
        return false;
    status = ((lines & TIOCM_CTS) ? kMsCtsOn : 0) | ((lines & TIOCM_DSR) ? kMsDsrOn : 0) |
             ((lines & TIOCM_RNG) ? kMsRingOn : 0) | ((lines & TIOCM_CAR) ? kMsRlsdOn : 0);
    return true;
}

bool PosixSerialPort::setBreak() { return Control(TIOCSBRK, 0); }

bool PosixSerialPort::clearBreak() { return Control(TIOCCBRK, 0); }

bool PosixSerialPort::prepareWait()
{
    Use use(life_);
    if (!use)
        return false;
    return use->wake >= 0 || Fail(EMFILE);
}

WaitResult PosixSerialPort::waitForEvent(std::uint32_t &eventMask)
{
    Use use(life_);
    if (!use)
        return WaitResult::Closed;
    for (;;) {
        pollfd fds[2] = {{use->fd, POLLIN, 0}, {use->wake, POLLIN, 0}};
        const int ready = ::poll(fds, use->wake >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
            return WaitResult::Error;
        }
        if (fds[1].revents & POLLIN)
            return WaitResult::Closed;
        int queued = 0;
        if ((fds[0].revents & POLLIN) && ::ioctl(use->fd, FIONREAD, &queued) == 0 && queued > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            eventMask = eventMask_ & kEvRxChar;
            return WaitResult::Event;
        }
        // A vanished device (USB unplugged, the far side of a pty closed)
        // reports a hang-up or an error, with nothing left to read.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            Fail(EIO);
            return WaitResult::Error;
        }
    }
}

bool PosixSerialPort::bytesQueued(std::uint32_t &count)
{
    int queued = 0;
    if (!Query(FIONREAD, queued))
        return false;
    count = static_cast<std::uint32_t>(queued);
    return true;
}

bool PosixSerialPort::read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got)
{
    Use use(life_);
    got = 0;
    if (!use)
        return false;
    for (;;) {
        const ssize_t n = ::read(use->fd, buffer, count);
        if (n >= 0) {
            got = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EAGAIN)
            return true;
        if (errno != EINTR)
            return Fail(errno);
    }
}

namespace {

std::uint64_t Now_Ms()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// What the driver has yet to put on the line; -1 where it cannot tell.
std::int64_t Output_Queued(int fd)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

}  // namespace

// A failed write leaves what the driver took queued, to leave when the line
// frees: earlier writes' bytes among it were reported written. Only the rest
// of this write, never handed over, is lost.
bool PosixSerialPort::write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
                            const std::atomic<bool> *stop)
{
    taken = 0;
    Use use(life_);
    if (!use)
        return false;
    WriteWatch watch(Write_Bound_Ms(count, baudRate_), Now_Ms());
    while (taken < count) {
        if (stop && *stop)
            return Fail(ECANCELED);
        const ssize_t n = ::write(use->fd, data + taken, count - taken);
        if (n > 0) {
            taken += static_cast<std::uint32_t>(n);
            watch.Took(Now_Ms());
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return Fail(errno);
        pollfd fds[2] = {{use->fd, POLLOUT, 0}, {use->wake, POLLIN, 0}};
        const int ready = ::poll(fds, use->wake >= 0 ? 2 : 1, static_cast<int>(watch.Wait_Ms(Now_Ms())));
        if (ready > 0 && (fds[1].revents & POLLIN))
            return Fail(ECANCELED);
        if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)))
            return Fail(EIO);
        const std::uint64_t now = Now_Ms();
        watch.Queued(now, Output_Queued(use->fd));
        if (watch.Stalled(now))
            return Fail(ETIMEDOUT);
    }
    return true;
}

}  // namespace vexa
