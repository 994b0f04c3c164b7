#include "pty.h"

#include <cstdlib>
#include <fcntl.h>
#include <termios.h>

namespace vexa::modemsim {

namespace {

void makeRaw(int fd)
{
    termios tio{};
    checked(::tcgetattr(fd, &tio), "tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    checked(::tcsetattr(fd, TCSANOW, &tio), "tcsetattr");
}

}  // namespace

Pty openPty()
{
    Pty pty;
    pty.master = UniqueFd(checked(::posix_openpt(O_RDWR | O_NOCTTY), "posix_openpt"));
    const int master = pty.master.get();
    checked(::fcntl(master, F_SETFD, FD_CLOEXEC), "fcntl");
    checked(::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK), "fcntl");
    checked(::grantpt(master), "grantpt");
    checked(::unlockpt(master), "unlockpt");
    const char *name = ::ptsname(master);
    if (name == nullptr)
        checked(-1, "ptsname");
    pty.slavePath = name;
    // No TIOCEXCL and no flock here: the client must be able to take both.
    pty.slaveGuard = UniqueFd(checked(::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC), "open slave"));
    // The default line discipline would echo our answers back to us.
    makeRaw(pty.slaveGuard.get());
    return pty;
}

}  // namespace vexa::modemsim
