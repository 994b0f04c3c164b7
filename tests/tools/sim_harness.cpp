#include "sim_harness.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Appends what `fd` has within the time left; false once the time is up or
// the other side closed.
bool readSome(int fd, std::string &buffer, Clock::time_point deadline)
{
    pollfd pfd{fd, POLLIN, 0};
    if (Clock::now() >= deadline || ::poll(&pfd, 1, msLeft(deadline)) <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0)
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

// Waits for `pid` to exit; kills it if it hangs. Returns the raw status.
int waitForExit(pid_t pid)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangTimeoutMs);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            throw std::runtime_error("child process hung");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string> &args)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char *> argv{const_cast<char *>(VEXA_MODEM_SIM_BINARY)};
        for (const auto &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    stdout_ = fds[0];
    const std::string line = waitForLine("modem on ");
    slavePath_ = line.substr(line.find("modem on ") + 9);
}

SimProcess::~SimProcess()
{
    if (running()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(stdout_);
}

std::string SimProcess::waitForLine(std::string_view text)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangTimeoutMs);
    for (;;) {
        std::size_t end;
        while ((end = buffer_.find('\n')) != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (line.find(text) != std::string::npos)
                return line;
        }
        if (!readSome(stdout_, buffer_, deadline))
            throw std::runtime_error("no line with '" + std::string(text) + "' from the simulator");
    }
}

bool SimProcess::running() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

int SimProcess::stop(int signal)
{
    ::kill(pid_, signal);
    const int status = waitForExit(pid_);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PortClient::PortClient(const std::string &path, bool makeRaw)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path);
    if (!makeRaw)
        return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
}

PortClient::~PortClient() { ::close(fd_); }

void PortClient::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno != EINTR)
            throw std::runtime_error("write to the port failed");
        if (n > 0)
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string PortClient::readUntil(std::string_view marker)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangTimeoutMs);
    std::size_t at;
    while ((at = buffer_.find(marker)) == std::string::npos)
        if (!readSome(fd_, buffer_, deadline))
            throw std::runtime_error("'" + std::string(marker) + "' never came from the modem (" +
                                     std::to_string(buffer_.size()) + " other bytes did)");
    std::string upTo = buffer_.substr(0, at + marker.size());
    buffer_.erase(0, at + marker.size());
    return upTo;
}

int sendWithSx(int portFd, const std::string &file, bool oneK)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(portFd, STDIN_FILENO);
        ::dup2(portFd, STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        const char *const argv[] = {"sx", "-q", "-b", file.c_str(), oneK ? "-k" : nullptr, nullptr};
        ::execv(VEXA_SX_PROGRAM, const_cast<char *const *>(argv));
        ::_exit(127);
    }
    const int status = waitForExit(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
