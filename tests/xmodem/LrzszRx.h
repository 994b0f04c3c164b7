#pragma once
// lrzsz's rx, an XMODEM receiver we did not write, on the far end of a link
// whose descriptor the test holds: a pty's master side, or the far end of a
// pair another program serves.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/TestSupport.h"

namespace lrzsz {

inline void Write_All(int fd, const char *bytes, ssize_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n > 0) {
            bytes += n, count -= n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd out{fd, POLLOUT, 0};
            ::poll(&out, 1, 100);
        }
    }
}

// rx with its standard input and output on two pipes, which a thread joins
// to the link's descriptor. rx flushes its terminal right after the last
// ACK; on a pty that flush would discard the ACK before Vexa has read it
// (a real UART has sent it by then), and pipes have no such flush. rx writes
// only into its current folder (absolute names are refused), so it runs in
// the file's folder. With `crc` it asks for CRC blocks ('C'), as `rx -c`.
class Rx {
public:
    // `link` stays the caller's, and open, while the Rx lives.
    Rx(int link, const QString &file, bool crc = false) : link_(link)
    {
        ::signal(SIGPIPE, SIG_IGN);
        int toRx[2], fromRx[2];
        if (::pipe(toRx) != 0 || ::pipe(fromRx) != 0 || ::pipe(stop_) != 0)
            throw std::runtime_error("pipe failed");
        const QFileInfo target(file);
        const QByteArray folder = target.absolutePath().toLocal8Bit();
        const QByteArray name = target.fileName().toLocal8Bit();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toRx[0], STDIN_FILENO);
            ::dup2(fromRx[1], STDOUT_FILENO);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, STDERR_FILENO);
            if (::chdir(folder.constData()) != 0)
                ::_exit(126);
            const char *const argv[] = {"rx", "-b", "-q", name.constData(), crc ? "-c" : nullptr, nullptr};
            ::execv(VEXA_RX_PROGRAM, const_cast<char *const *>(argv));
            ::_exit(127);
        }
        ::close(toRx[0]);
        ::close(fromRx[1]);
        toRx_ = toRx[1];
        fromRx_ = fromRx[0];
        relay_ = std::thread([this] { Relay(); });
    }
    ~Rx()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        Write_All(stop_[1], "x", 1);
        relay_.join();
        for (int fd : {toRx_, fromRx_, stop_[0], stop_[1]})
            ::close(fd);
    }
    // rx's exit status once it has ended, -1 if it did not end in time.
    int Wait(int timeoutMs)
    {
        int status = 0;
        QElapsedTimer clock;
        clock.start();
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (clock.elapsed() > timeoutMs)
                return -1;
            Pump(10);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void Relay()
    {
        char buffer[4096];
        for (;;) {
            pollfd fds[3] = {{link_, POLLIN, 0}, {fromRx_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(fds, 3, -1) < 0 && errno != EINTR)
                return;
            if (fds[2].revents)
                return;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(link_, buffer, sizeof buffer);
                if (n > 0)
                    Write_All(toRx_, buffer, n);
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(fromRx_, buffer, sizeof buffer);
                if (n <= 0)
                    return;  // rx has ended
                Write_All(link_, buffer, n);
            }
        }
    }

    int link_;
    int toRx_ = -1, fromRx_ = -1;
    int stop_[2] = {-1, -1};
    pid_t pid_ = -1;
    std::thread relay_;
};

}  // namespace lrzsz
