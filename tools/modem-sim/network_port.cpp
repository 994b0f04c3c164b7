#include "network_port.h"

#include "com_port_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vexa::modemsim {

namespace {

// Past this much waiting for one side, the other side is not read: the
// client is held back as a full line would hold it back.
constexpr std::size_t kMaxPending = 64 * 1024;

UniqueFd listenOn(std::uint16_t port, std::uint16_t &bound)
{
    UniqueFd fd(checked(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0), "socket"));
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    checked(::bind(fd.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), "bind 127.0.0.1");
    checked(::listen(fd.get(), 4), "listen");
    socklen_t length = sizeof address;
    checked(::getsockname(fd.get(), reinterpret_cast<sockaddr *>(&address), &length), "getsockname");
    bound = ntohs(address.sin_port);
    return fd;
}

// Writes what the descriptor takes now; false when it failed for good.
bool flush(int fd, std::vector<std::uint8_t> &pending, bool socket)
{
    while (!pending.empty()) {
        const ssize_t n = socket ? ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : ::write(fd, pending.data(), pending.size());
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        pending.erase(pending.begin(), pending.begin() + n);
    }
    return true;
}

}  // namespace

class NetworkPort::Session {
public:
    explicit Session(UniqueFd fd) : client(std::move(fd)) {}
    UniqueFd client;
    ComPortServer server;
    std::vector<std::uint8_t> toClient, toDevice;
};

NetworkPort::NetworkPort(const std::string &slavePath, std::uint16_t port, std::ostream &console) : console_(console)
{
    listener_ = listenOn(port, port_);
    slave_ = UniqueFd(checked(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), "open slave"));
    stop_ = UniqueFd(checked(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "eventfd"));
    thread_ = std::thread(&NetworkPort::run, this);
}

NetworkPort::~NetworkPort()
{
    ::eventfd_write(stop_.get(), 1);
    thread_.join();
    ::flock(slave_.get(), LOCK_UN);
}

void NetworkPort::run()
{
    std::unique_ptr<Session> session;
    for (;;) {
        short clientEvents = 0, slaveEvents = 0;
        if (session) {
            clientEvents = short((session->toDevice.size() < kMaxPending ? POLLIN : 0) |
                                 (session->toClient.empty() ? 0 : POLLOUT));
            slaveEvents = short((session->toClient.size() < kMaxPending ? POLLIN : 0) |
                                (session->toDevice.empty() ? 0 : POLLOUT));
        }
        pollfd fds[4] = {
            {stop_.get(), POLLIN, 0},
            {listener_.get(), POLLIN, 0},
            {session ? session->client.get() : -1, clientEvents, 0},
            {session && slaveEvents ? slave_.get() : -1, slaveEvents, 0},
        };
        if (::poll(fds, 4, -1) < 0) {
            if (errno == EINTR)
                continue;
            say(std::string("network port: poll: ") + std::strerror(errno));
            return;
        }
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN)
            accept(session);
        if (session)
            serve(session, fds[2].revents, fds[3].revents);
    }
}

// One client at a time, and none while a program holds the pty.
void NetworkPort::accept(std::unique_ptr<Session> &session)
{
    UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (client.get() < 0) {
        // Out of descriptors or memory the connection stays queued and the
        // listener stays readable: wait a moment rather than poll it again at once.
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return;
    }
    const char *busy = nullptr;
    if (session)
        busy = "vexa-modem-sim: the modem's port is in use by another network client\r\n";
    else if (::flock(slave_.get(), LOCK_EX | LOCK_NB) != 0)
        busy = "vexa-modem-sim: the modem's port is in use\r\n";
    if (busy) {
        ::send(client.get(), busy, std::strlen(busy), MSG_NOSIGNAL | MSG_DONTWAIT);
        say("network client refused: the port is in use");
        return;
    }
    // What the modem said to no one, or to an earlier client, is not news.
    ::tcflush(slave_.get(), TCIOFLUSH);
    const int one = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    session = std::make_unique<Session>(std::move(client));
    say("network client connected");
}

void NetworkPort::serve(std::unique_ptr<Session> &session, short clientEvents, short slaveEvents)
{
    std::uint8_t buffer[4096];
    if (clientEvents & POLLIN) {
        const ssize_t n = ::recv(session->client.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return end(session, "network client left");
        if (n > 0) {
            ComPortServer::Output out;
            session->server.feed(buffer, std::size_t(n), out);
            if (out.purgeFromDevice)
                ::tcflush(slave_.get(), TCIFLUSH);
            if (out.purgeToDevice) {
                session->toDevice.clear();
                ::tcflush(slave_.get(), TCOFLUSH);
            }
            session->toDevice.insert(session->toDevice.end(), out.toDevice.begin(), out.toDevice.end());
            session->toClient.insert(session->toClient.end(), out.toClient.begin(), out.toClient.end());
        }
    } else if (clientEvents & (POLLERR | POLLHUP | POLLNVAL)) {
        return end(session, "network client left");
    }
    if (slaveEvents & POLLIN) {
        const ssize_t n = ::read(slave_.get(), buffer, sizeof buffer);
        if (n > 0)
            ComPortServer::escape(buffer, std::size_t(n), session->toClient);
    } else if (slaveEvents & (POLLERR | POLLHUP | POLLNVAL)) {
        return end(session, "network port: the pty hung up");
    }
    if (!flush(slave_.get(), session->toDevice, false))
        return end(session, std::string("network port: writing the pty: ") + std::strerror(errno));
    if (!flush(session->client.get(), session->toClient, true))
        end(session, "network client left");
}

void NetworkPort::end(std::unique_ptr<Session> &session, const std::string &why)
{
    session.reset();
    ::flock(slave_.get(), LOCK_UN);
    say(why);
}

void NetworkPort::say(const std::string &line) { console_ << ("vexa-modem-sim: " + line + "\n") << std::flush; }

}  // namespace vexa::modemsim
