// The Linux side of the Windows serial tests that run under Wine.
//
//   vexa-pty-peer <dosdevices directory> <work directory>
//
// Listens on 127.0.0.1, prints its TCP port as the first line on standard
// output, and serves each test connection in a child process of its own. A
// connection asks for a pair of pseudo-terminals joined by socat: the near
// one is linked as a COM port of the Wine prefix (the device the test opens),
// the far one stands for the modem, which the peer reads, writes and
// inspects for the test. Pair, link and socat go when the connection closes.
//
// Commands, one line each; every reply line starts with "OK" or "ERR":
//   PAIR n       a fresh pair, linked as COMn
//   SEND k       followed by k bytes, written to the far end
//   RECV k ms    up to k bytes from the far end, waiting at most ms for them;
//                the reply "OK m" is followed by the m bytes
//   TERMIOS      the near end as the kernel holds it: "OK speed bits parity stop crtscts"
//   STOP, CONT   stop and resume socat: the line stops taking bytes, then takes them again
//   HANGUP       end socat: both terminals vanish

#include <asm/termbits.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool Write_All(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Read_Exactly(int fd, char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::read(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool Read_Line(int fd, std::string &line)
{
    line.clear();
    char c = 0;
    while (Read_Exactly(fd, &c, 1)) {
        if (c == '\n')
            return true;
        line += c;
    }
    return false;
}

struct Pair {
    std::string link, near, far;
    pid_t socat = -1;
    int farFd = -1;
};

bool Start_Pair(Pair &pair, const std::string &dosdevices, const std::string &work, int number)
{
    const std::string n = std::to_string(number);
    pair.link = dosdevices + "/com" + n;
    pair.near = work + "/near" + n;
    pair.far = work + "/far" + n;
    ::unlink(pair.near.c_str());
    ::unlink(pair.far.c_str());
    pair.socat = ::fork();
    if (pair.socat == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDERR_FILENO);
        const std::string near = "pty,raw,echo=0,link=" + pair.near, far = "pty,raw,echo=0,link=" + pair.far;
        ::execlp("socat", "socat", near.c_str(), far.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    if (pair.socat < 0)
        return false;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    struct stat st {};
    while (::stat(pair.near.c_str(), &st) != 0 || ::stat(pair.far.c_str(), &st) != 0) {
        if (Clock::now() > deadline)
            return false;
        ::usleep(10000);
    }
    pair.farFd = ::open(pair.far.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::unlink(pair.link.c_str());
    return pair.farFd >= 0 && ::symlink(pair.near.c_str(), pair.link.c_str()) == 0;
}

void End_Pair(Pair &pair)
{
    if (pair.farFd >= 0)
        ::close(pair.farFd);
    if (pair.socat > 0) {
        ::kill(pair.socat, SIGCONT);
        ::kill(pair.socat, SIGTERM);
        ::waitpid(pair.socat, nullptr, 0);
    }
    ::unlink(pair.link.c_str());
    ::unlink(pair.near.c_str());
    ::unlink(pair.far.c_str());
    pair = Pair();
}

std::string Receive(int fd, std::size_t count, int ms)
{
    std::string got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0 && errno != EAGAIN && errno != EINTR)
            break;
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

std::string Termios(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    struct termios2 tio {};
    const bool ok = fd >= 0 && ::ioctl(fd, TCGETS2, &tio) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        return "ERR no terminal";
    const int bits = (tio.c_cflag & CSIZE) == CS5   ? 5
                     : (tio.c_cflag & CSIZE) == CS6 ? 6
                     : (tio.c_cflag & CSIZE) == CS7 ? 7
                                                    : 8;
    const char parity = !(tio.c_cflag & PARENB) ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
    return "OK " + std::to_string(tio.c_ospeed) + " " + std::to_string(bits) + " " + parity + " " +
           ((tio.c_cflag & CSTOPB) ? "2" : "1") + " " + ((tio.c_cflag & CRTSCTS) ? "1" : "0");
}

bool Reply(int client, const std::string &line) { return Write_All(client, (line + "\n").data(), line.size() + 1); }

std::string Signal(const Pair &pair, int signal)
{
    return pair.socat > 0 && ::kill(pair.socat, signal) == 0 ? "OK" : "ERR no pair";
}

// One command; false when the connection is done.
bool Serve_Command(int client, Pair &pair, const std::string &dosdevices, const std::string &work)
{
    std::string line;
    if (!Read_Line(client, line))
        return false;
    char word[16] = {};
    long a = 0, b = 0;
    std::sscanf(line.c_str(), "%15s %ld %ld", word, &a, &b);
    const std::string command = word;
    if (command == "PAIR") {
        End_Pair(pair);
        return Reply(client, a >= 1 && a <= 64 && Start_Pair(pair, dosdevices, work, int(a)) ? "OK" : "ERR pair");
    }
    if (command == "SEND") {
        std::string bytes(static_cast<std::size_t>(a), '\0');
        if (a < 0 || !Read_Exactly(client, bytes.data(), bytes.size()))
            return false;
        const int fd = pair.farFd;
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool sent = fd >= 0 && Write_All(fd, bytes.data(), bytes.size());
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return Reply(client, sent ? "OK" : "ERR send");
    }
    if (command == "RECV") {
        const std::string got = pair.farFd >= 0 ? Receive(pair.farFd, static_cast<std::size_t>(a), int(b)) : "";
        return Reply(client, "OK " + std::to_string(got.size())) && Write_All(client, got.data(), got.size());
    }
    if (command == "TERMIOS")
        return Reply(client, Termios(pair.near));
    if (command == "STOP")
        return Reply(client, Signal(pair, SIGSTOP));
    if (command == "CONT")
        return Reply(client, Signal(pair, SIGCONT));
    if (command == "HANGUP") {
        const std::string answer = Signal(pair, SIGTERM);
        if (pair.socat > 0)
            ::waitpid(pair.socat, nullptr, 0);
        pair.socat = -1;
        return Reply(client, answer);
    }
    return Reply(client, "ERR unknown command");
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexa-pty-peer <dosdevices directory> <work directory>\n");
        return 2;
    }
    const std::string dosdevices = argv[1], work = argv[2];
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction reap {};
    reap.sa_handler = SIG_IGN;
    reap.sa_flags = SA_NOCLDWAIT;
    ::sigaction(SIGCHLD, &reap, nullptr);

    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (server < 0 || ::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(server, 8) != 0 || ::getsockname(server, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("vexa-pty-peer");
        return 1;
    }
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    for (;;) {
        const int client = ::accept(server, nullptr, nullptr);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return 1;
        }
        if (::fork() == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(server);
            // Children are reaped by waitpid here, not ignored as in the listener.
            std::signal(SIGCHLD, SIG_DFL);
            Pair pair;
            while (Serve_Command(client, pair, dosdevices, work)) {
            }
            End_Pair(pair);
            ::_exit(0);
        }
        ::close(client);
    }
}
