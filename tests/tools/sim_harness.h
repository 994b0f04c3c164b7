#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// Time-outs here only catch hangs; nothing asserts on speed.
constexpr int kHangTimeoutMs = 30000;

// vexa-modem-sim running as a child process, its stdout read by the test.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string> &args);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    const std::string &slavePath() const { return slavePath_; }
    // Next stdout line containing `text`; throws on time-out or end of output.
    std::string waitForLine(std::string_view text);
    bool running();
    // Sends `signal` and returns the exit status, or -1 if it did not exit normally.
    int stop(int signal);

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string buffer_;
    std::string slavePath_;
};

// The client side of the modem's port, like a terminal program. With
// `makeRaw` false it keeps the port settings it finds.
class PortClient {
public:
    explicit PortClient(const std::string &path, bool makeRaw = true);
    ~PortClient();
    PortClient(const PortClient &) = delete;
    PortClient &operator=(const PortClient &) = delete;

    int fd() const { return fd_; }
    void write(std::string_view bytes);
    // Reads until `marker` has arrived; returns everything up to and including it.
    std::string readUntil(std::string_view marker);

private:
    int fd_ = -1;
    std::string buffer_;
};

// Runs lrzsz's sx on `portFd` to send `file`, in 1024-byte blocks with
// `oneK`; returns its exit status.
int sendWithSx(int portFd, const std::string &file, bool oneK = false);
