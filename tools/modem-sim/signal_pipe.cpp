#include "signal_pipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vexa::modemsim {

namespace {

volatile std::sig_atomic_t gWriteFd = -1;

extern "C" void onSignal(int signal)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(gWriteFd, &byte, 1);
    errno = savedErrno;
}

void setFlags(int fd)
{
    checked(::fcntl(fd, F_SETFD, FD_CLOEXEC), "fcntl");
    checked(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), "fcntl");
}

void install(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    checked(::sigaction(signal, &action, nullptr), "sigaction");
}

}  // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signals) : signals_(signals)
{
    int fds[2];
    checked(::pipe(fds), "pipe");
    read_ = UniqueFd(fds[0]);
    write_ = UniqueFd(fds[1]);
    setFlags(fds[0]);
    setFlags(fds[1]);
    gWriteFd = fds[1];
    for (int signal : signals_)
        install(signal, onSignal);
}

SignalPipe::~SignalPipe()
{
    for (int signal : signals_)
        ::signal(signal, SIG_DFL);
    gWriteFd = -1;
}

}  // namespace vexa::modemsim
