#include "ScriptedComPortServer.h"

#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/filter.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251, WONT = 252, DO = 253, DONT = 254;
constexpr std::uint8_t COM_PORT = 44, BINARY = 0;

QByteArray Escaped(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        out.append(c);
        if (std::uint8_t(c) == IAC)
            out.append(c);
    }
    return out;
}

QByteArray Subnegotiation(std::uint8_t command, const QByteArray &value)
{
    return QByteArray("\xff\xfa", 2) + char(COM_PORT) + char(command) + Escaped(value) + QByteArray("\xff\xf0", 2);
}

}  // namespace

ScriptedComPortServer::ScriptedComPortServer()
{
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listen_, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listen_, 4);
    ::getsockname(listen_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    thread_ = std::thread(&ScriptedComPortServer::Run, this);
}

ScriptedComPortServer::~ScriptedComPortServer()
{
    stop_ = true;
    Wake();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    Close_Client_Locked();
    ::close(listen_);
    ::close(wake_);
}

std::string ScriptedComPortServer::Name() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }

void ScriptedComPortServer::Wake() const { ::eventfd_write(wake_, 1); }

void ScriptedComPortServer::Ignore_Control(std::uint8_t value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ignored_.insert(value);
}

void ScriptedComPortServer::Ignore_All_Requests(bool ignore)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ignoreAll_ = ignore;
}

void ScriptedComPortServer::Answer_Delay_Ms(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    delayMs_ = ms;
}

void ScriptedComPortServer::Refuse_With(const QByteArray &text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refusal_ = text;
}

void ScriptedComPortServer::Say_Nothing(bool silent)
{
    std::lock_guard<std::mutex> lock(mutex_);
    silent_ = silent;
}

void ScriptedComPortServer::Reading(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reading_ = on;
    }
    Wake();
}

void ScriptedComPortServer::Modem_Lines(std::uint8_t state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    modem_ = state;
    Queue_Locked(Subnegotiation(107, QByteArray(1, char(state))), 0);
}

void ScriptedComPortServer::Refuse_Option(std::uint8_t option)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refusedOptions_.insert(option);
}

// A filter that drops every packet before the server's TCP sees it: no
// acknowledgement, no answer to a keepalive probe, as if the host were gone.
// It goes on once what the server sent is acknowledged: else its kernel
// would send that again and again, and the client take that for life.
void ScriptedComPortServer::Vanish()
{
    std::lock_guard<std::mutex> lock(mutex_);
    vanished_ = true;
    for (int tries = 0; tries < 200; ++tries) {
        int unacknowledged = 0;
        if (::ioctl(client_, SIOCOUTQ, &unacknowledged) != 0 || unacknowledged == 0)
            break;
        QThread::msleep(5);
    }
    sock_filter dropAll = BPF_STMT(BPF_RET | BPF_K, 0);
    const sock_fprog program{1, &dropAll};
    ::setsockopt(client_, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program);
}

void ScriptedComPortServer::Send_Device(const QByteArray &bytes, bool oneByteAPacket)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const QByteArray escaped = Escaped(bytes);
    if (!oneByteAPacket) {
        Queue_Locked(escaped, 0);
        return;
    }
    for (int i = 0; i < escaped.size(); ++i)
        Queue_Locked(escaped.mid(i, 1), i);  // a millisecond apart: one TCP segment each
}

void ScriptedComPortServer::Send_Raw(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Queue_Locked(bytes, 0);
}

void ScriptedComPortServer::Drop()
{
    std::lock_guard<std::mutex> lock(mutex_);
    dropping_ = true;
    Wake();
}

// Deep copies: the server goes on appending to its own.
QByteArray ScriptedComPortServer::Device_Bytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return QByteArray(deviceBytes_.constData(), deviceBytes_.size());
}

QByteArray ScriptedComPortServer::Raw_Bytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return QByteArray(rawBytes_.constData(), rawBytes_.size());
}

std::vector<std::vector<std::uint8_t>> ScriptedComPortServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int ScriptedComPortServer::Connections() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

std::uint32_t ScriptedComPortServer::Baud_Rate() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return baud_;
}

bool ScriptedComPortServer::Wait_For(const std::function<bool()> &condition, int ms) const
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        QThread::msleep(5);
    }
    return true;
}

void ScriptedComPortServer::Queue_Locked(const QByteArray &bytes, int delayMs)
{
    pending_.push_back({Clock::now() + std::chrono::milliseconds(delayMs), bytes});
    Wake();
}

// Sends what is due, in order; a later item never overtakes an earlier one.
void ScriptedComPortServer::Flush_Locked()
{
    while (client_ >= 0 && !vanished_ && !pending_.empty() && pending_.front().due <= Clock::now()) {
        QByteArray &bytes = pending_.front().bytes;
        const ssize_t n = ::send(client_, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            return;
        if (n < bytes.size()) {
            bytes.remove(0, n);
            return;
        }
        pending_.pop_front();
    }
}

void ScriptedComPortServer::Close_Client_Locked()
{
    if (client_ >= 0)
        ::close(client_);
    client_ = -1;
    pending_.clear();
}

void ScriptedComPortServer::Run()
{
    while (!stop_) {
        int timeout = -1;
        pollfd fds[3] = {{listen_, POLLIN, 0}, {wake_, POLLIN, 0}, {-1, 0, 0}};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            bool due = false;
            if (client_ >= 0 && !pending_.empty()) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(pending_.front().due - Clock::now()).count();
                due = left <= 0;
                if (!due)
                    timeout = int(left) + 1;
            }
            const short events = short((reading_ ? POLLIN : 0) | (due ? POLLOUT : 0));
            if (client_ >= 0 && events)
                fds[2] = {client_, events, 0};
        }
        ::poll(fds, 3, timeout);
        if (fds[1].revents & POLLIN) {
            eventfd_t ignored = 0;
            ::eventfd_read(wake_, &ignored);
        }
        if (fds[0].revents & POLLIN)
            Accept();
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR))
            Read_Client();
        std::lock_guard<std::mutex> lock(mutex_);
        Flush_Locked();
        if (dropping_ && pending_.empty()) {
            Close_Client_Locked();
            dropping_ = false;
        }
    }
}

void ScriptedComPortServer::Accept()
{
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard<std::mutex> lock(mutex_);
    Close_Client_Locked();
    client_ = fd;
    ++connections_;
    state_ = State::Data;
    vanished_ = false;
    if (silent_)
        return;
    // The greeting ser2net gives: it offers and asks for BINARY and asks for the option.
    for (const auto &[verb, option] : {std::pair{WILL, BINARY}, {DO, BINARY}, {DO, COM_PORT}})
        if (!refusedOptions_.count(option))
            Queue_Locked(QByteArray(1, char(IAC)) + char(verb) + char(option), 0);
    if (!refusal_.isEmpty()) {
        Queue_Locked(refusal_, 0);
        Flush_Locked();
        Close_Client_Locked();
    }
}

void ScriptedComPortServer::Read_Client()
{
    char buffer[65536];
    std::lock_guard<std::mutex> lock(mutex_);
    if (client_ < 0)
        return;
    const ssize_t n = ::recv(client_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        Close_Client_Locked();
        return;
    }
    rawBytes_.append(buffer, n);
    for (ssize_t i = 0; i < n; ++i) {
        if (state_ == State::Data) {  // plain data in one piece, up to the next IAC
            const char *iac = static_cast<const char *>(std::memchr(buffer + i, IAC, size_t(n - i)));
            const ssize_t end = iac ? iac - buffer : n;
            deviceBytes_.append(buffer + i, end - i);
            if ((i = end) == n)
                break;
        }
        Parse_Locked(std::uint8_t(buffer[i]));
    }
}

void ScriptedComPortServer::Parse_Locked(std::uint8_t b)
{
    switch (state_) {
    case State::Data:
        if (b == IAC)
            state_ = State::Iac;
        else
            deviceBytes_.append(char(b));
        break;
    case State::Iac:
        state_ = State::Data;
        if (b == IAC)
            deviceBytes_.append(char(b));
        else if (b >= WILL && b <= DONT)
            verb_ = b, state_ = State::Verb;
        else if (b == SB)
            sub_.clear(), state_ = State::Sub;
        break;
    case State::Verb:
        state_ = State::Data;
        // BINARY and the option were offered in the greeting; anything else is refused.
        if ((refusedOptions_.count(b) || (b != BINARY && b != COM_PORT)) && !silent_ && (verb_ == WILL || verb_ == DO))
            Queue_Locked(QByteArray(1, char(IAC)) + char(verb_ == WILL ? DONT : WONT) + char(b), 0);
        break;
    case State::Sub:
        if (b == IAC)
            state_ = State::SubIac;
        else
            sub_.push_back(b);
        break;
    case State::SubIac:
        if (b == IAC) {
            sub_.push_back(b);
            state_ = State::Sub;
        } else {
            state_ = State::Data;
            if (b == SE && sub_.size() >= 2 && sub_[0] == COM_PORT)
                Request_Locked(sub_);
        }
        break;
    }
}

void ScriptedComPortServer::Request_Locked(const std::vector<std::uint8_t> &sub)
{
    const std::vector<std::uint8_t> request(sub.begin() + 1, sub.end());
    requests_.push_back(request);
    const std::uint8_t command = request[0];
    const std::uint8_t value = request.size() > 1 ? request.back() : 0;
    if (silent_ || ignoreAll_ || (command == 5 && ignored_.count(value)))
        return;
    if (command == 1 && request.size() == 5) {
        const std::uint32_t asked = std::uint32_t(request[1]) << 24 | std::uint32_t(request[2]) << 16 |
                                    std::uint32_t(request[3]) << 8 | request[4];
        if (asked != 0)
            baud_ = asked;
        const char bytes[4] = {char(baud_ >> 24), char(baud_ >> 16), char(baud_ >> 8), char(baud_)};
        Queue_Locked(Subnegotiation(101, QByteArray(bytes, 4)), delayMs_);
        return;
    }
    const QByteArray answer = Answer_Locked(command, value);
    if (!answer.isEmpty())
        Queue_Locked(answer, delayMs_);
}

QByteArray ScriptedComPortServer::Answer_Locked(std::uint8_t command, std::uint8_t value)
{
    auto set = [&](std::uint8_t &field) {
        if (value != 0)
            field = value;
        return Subnegotiation(command + 100, QByteArray(1, char(field)));
    };
    switch (command) {
    case 2: return set(datasize_);
    case 3: return set(parity_);
    case 4: return set(stopsize_);
    case 11:  // the modem-state mask: answered with the lines as they are
        return Subnegotiation(111, QByteArray(1, char(value))) + Subnegotiation(107, QByteArray(1, char(modem_)));
    case 12: return Subnegotiation(112, QByteArray(1, char(value)));
    case 5: break;
    default: return Subnegotiation(command + 100, QByteArray(1, char(value)));
    }
    std::uint8_t state = value;
    if (value == 0)
        state = flow_;
    else if (value <= 3)
        flow_ = value;
    else if (value == 4)
        state = breakOn_ ? 5 : 6;
    else if (value <= 6)
        breakOn_ = value == 5;
    else if (value == 7)
        state = dtrOn_ ? 8 : 9;
    else if (value <= 9)
        dtrOn_ = value == 8;
    else if (value == 10)
        state = rtsOn_ ? 11 : 12;
    else if (value <= 12)
        rtsOn_ = value == 11;
    return Subnegotiation(105, QByteArray(1, char(state)));
}
