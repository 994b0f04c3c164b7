#include "platform/NetworkSerialPort.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <linux/sockios.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "platform/WriteBound.h"

namespace vexa {

using namespace rfc2217;

namespace {

thread_local int tLastError = 0;

// Bytes from the device wait here for the reader; past this the port stops
// reading the connection and the server is held back, as a full driver
// queue would hold back a line.
constexpr std::size_t kReceiveLimit = std::size_t(1) << 20;
constexpr std::uint8_t kModemLines = 0xF0;
// No more than this is offered to the socket at once: it takes less anyway.
constexpr std::size_t kSendPiece = 256 * 1024;  // CTS, DSR, RING and DCD, as the status bits have them

std::size_t Index(Topic topic) { return static_cast<std::size_t>(topic); }

// How many answer times a request that gave up still waits for its late answer.
constexpr int kLateAnswerWaits = 4;

int Milliseconds_Left(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

using AddressList = std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)>;

struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false, abandoned = false;
    int status = 0;
    addrinfo *result = nullptr;
};

// A numeric address is taken at once. A name needs the resolver, which may
// wait on the network for longer than an open may take: it runs on a thread
// of its own, left to finish alone when it is too slow.
AddressList Resolve(const NetworkPortAddress &address, std::chrono::steady_clock::time_point deadline)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    const std::string service = std::to_string(address.port);
    addrinfo *found = nullptr;
    if (::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found) == 0)
        return AddressList(found, ::freeaddrinfo);

    hints.ai_flags = AI_NUMERICSERV;
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host = address.host, service, hints] {
        addrinfo *result = nullptr;
        const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
        std::lock_guard<std::mutex> lock(lookup->mutex);
        if (lookup->abandoned) {
            if (status == 0)
                ::freeaddrinfo(result);
            return;
        }
        lookup->finished = true;
        lookup->status = status;
        lookup->result = status == 0 ? result : nullptr;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; })) {
        lookup->abandoned = true;
        tLastError = ETIMEDOUT;
        return AddressList(nullptr, ::freeaddrinfo);
    }
    if (lookup->status != 0)
        tLastError = EHOSTUNREACH;
    return AddressList(lookup->result, ::freeaddrinfo);
}

int Connect_One(const addrinfo &address, std::chrono::steady_clock::time_point deadline)
{
    const int fd = ::socket(address.ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            socklen_t length = sizeof error;
            if (::poll(&p, 1, Milliseconds_Left(deadline)) != 1)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                error = errno;
        }
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    // Typed keys and requests are single small writes: send each at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// A dead link (a pulled cable, a host gone without closing) answers nothing,
// not even TCP's acknowledgements. Keepalive probes a quiet link and fails
// the socket with ETIMEDOUT, as a closed one fails; a link with data on its
// way the pump watches itself (PeerSilence.h). The kernel's user
// time-out would also end a link whose peer answers every probe of a window
// it keeps shut, so it is not used.
void Watch_For_Dead_Link(int fd, int deadLinkMs)
{
    const int on = 1, idle = std::max(1, deadLinkMs / 4000), interval = std::max(1, deadLinkMs / 8000);
    const int probes = std::max(1, (deadLinkMs / 1000 - idle) / interval);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

// Bytes the socket holds that the peer has not acknowledged, sent or not.
int Socket_Queued(int fd)
{
    int queued = 0;
    return ::ioctl(fd, SIOCOUTQ, &queued) == 0 ? queued : 0;
}

std::uint64_t Now_Ms()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int Connect(const NetworkPortAddress &address, std::chrono::steady_clock::time_point deadline)
{
    const AddressList addresses = Resolve(address, deadline);
    if (!addresses)
        return -1;
    for (const addrinfo *a = addresses.get(); a; a = a->ai_next) {
        const int fd = Connect_One(*a, deadline);
        if (fd >= 0)
            return fd;
        tLastError = errno;
    }
    return -1;
}

}  // namespace

NetworkSerialPort::NetworkSerialPort(NetworkPortTiming timing)
    : timing_(timing), buffer_(65536), silence_(static_cast<std::uint32_t>(timing.deadLinkMs))
{
}

NetworkSerialPort::~NetworkSerialPort() { close(); }

bool NetworkSerialPort::Fail(int error) const
{
    tLastError = error;
    return false;
}

int NetworkSerialPort::lastError() const { return tLastError; }

bool NetworkSerialPort::Usable_Locked() const
{
    if (!open_ || closing_)
        return Fail(EBADF);
    return !lost_ || Fail(lostError_);
}

bool NetworkSerialPort::probe(const std::string &name)
{
    if (!open(name))
        return false;
    close();
    return true;
}

bool NetworkSerialPort::open(const std::string &name)
{
    if (isOpen())
        return Fail(EBUSY);
    const auto address = Network_Port_Address(name);
    if (!address)
        return Fail(EINVAL);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.openMs);
    const int fd = Connect(*address, deadline);
    if (fd < 0)
        return false;
    Watch_For_Dead_Link(fd, timing_.deadLinkMs);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        socket_ = fd;
        wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        open_ = true;
        ++generation_;
        lost_ = false;
        stream_ = TelnetStream();
        silence_ = PeerSilence(static_cast<std::uint32_t>(timing_.deadLinkMs));
        nextLook_ = 0;
        comPortAgreed_ = comPortRefused_ = binaryRefused_ = false;
        modemStatusKnown_ = false;
        awaited_.clear();
        reported_ = PortSettings();
        rtsOn_ = dtrOn_ = true;  // what a server does on opening a device
        Queue_Locked(stream_.Opening(), false);
    }
    if (wake_ < 0) {
        close();
        return Fail(EMFILE);
    }
    if (Handshake(deadline))
        return true;
    const int error = tLastError;
    close();
    return Fail(error);
}

// A server that refuses the option serves no serial port, and one that
// refuses BINARY would not carry the bytes unchanged: both fail the open.
bool NetworkSerialPort::Handshake(Clock::time_point deadline)
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Wait_Locked(lock, deadline,
                    [&] { return comPortAgreed_ || comPortRefused_ || binaryRefused_ || lost_ || closing_; });
        if (closing_)
            return Fail(ECANCELED);
        if (comPortRefused_ || binaryRefused_)
            return Fail(comPortRefused_ ? EPROTONOSUPPORT : EPROTO);
        if (!comPortAgreed_)
            return Fail(lost_ ? ECONNREFUSED : ETIMEDOUT);
    }
    // Line changes are reported from now on, the line-state noise is not;
    // the answer about the speed shows that the device is open. The server
    // has answered about BINARY by then, as it answers in order.
    const auto answers = Ask({{kSetModemstateMask, kModemLines}, {kSetLinestateMask, 0}, Question::Speed(0)}, deadline);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!answers)
        return Fail(lost_ ? ECONNREFUSED : tLastError);
    if (binaryRefused_)
        return Fail(EPROTO);
    reported_.BaudRate = (*answers)[Index(Topic::Baudrate)];
    return true;
}

void NetworkSerialPort::close()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_ || closing_)
        return;
    closing_ = true;
    changed_.notify_all();
    Wake();  // the pump's holder leaves its poll at once
    changed_.wait(lock, [&] { return !pumping_; });
    ::close(socket_);
    if (wake_ >= 0)
        ::close(wake_);
    socket_ = wake_ = -1;
    open_ = closing_ = false;
    ++generation_;
    outgoing_.clear();
    received_.clear();
    receivedHead_ = 0;
    awaited_.clear();
    changed_.notify_all();
}

bool NetworkSerialPort::isOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_ && !closing_;
}

void NetworkSerialPort::Wake() const
{
    if (wake_ >= 0)
        ::eventfd_write(wake_, 1);
}

std::uint64_t NetworkSerialPort::Queue_Locked(std::vector<std::uint8_t> bytes, bool data)
{
    const std::uint64_t id = nextId_++;
    outgoing_.push_back(Unit{id, std::move(bytes), data});
    Send_Locked();
    if (!outgoing_.empty())
        Wake();  // the pump sends the rest when the socket takes it
    return id;
}

// Never blocks: what the socket does not take now stays queued.
void NetworkSerialPort::Send_Locked()
{
    while (!outgoing_.empty() && !lost_) {
        Unit &unit = outgoing_.front();
        const std::size_t length = std::min(unit.bytes.size() - unit.sent, kSendPiece);
        const ssize_t n = ::send(socket_, unit.bytes.data() + unit.sent, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                Lose_Locked(errno);
            return;
        }
        unit.sent += static_cast<std::size_t>(n);
        if (unit.sent == unit.bytes.size()) {
            doneId_ = unit.id;
            outgoing_.pop_front();
            changed_.notify_all();
        }
    }
}

// A unit whose wait ended goes, unless part of it has left: a request then
// leaves whole, data up to where the stream stays whole.
bool NetworkSerialPort::Withdraw_Locked(std::uint64_t id, std::uint32_t *dataLeaving)
{
    const auto it = std::find_if(outgoing_.begin(), outgoing_.end(), [id](const Unit &u) { return u.id == id; });
    if (it == outgoing_.end())
        return false;
    if (it->sent == 0) {
        outgoing_.erase(it);
        return true;
    }
    if (!it->data)
        return false;
    it->bytes.resize(Whole_Escaped_Length(it->bytes, it->sent));
    if (dataLeaving) {
        const auto doubled = std::count(it->bytes.begin(), it->bytes.end(), kIac) / 2;
        *dataLeaving = static_cast<std::uint32_t>(it->bytes.size() - static_cast<std::size_t>(doubled));
    }
    if (it->sent == it->bytes.size()) {
        doneId_ = it->id;
        outgoing_.erase(it);
    }
    return false;
}

void NetworkSerialPort::Lose_Locked(int error)
{
    if (!lost_) {
        lost_ = true;
        lostError_ = error;
    }
    outgoing_.clear();
    changed_.notify_all();
    Wake();
}

NetworkSerialPort::Question::Question(std::uint8_t command, std::uint8_t value)
    : bytes(Request(command, value)), topic(Topic_Of(command, value)), expected(Expected_Answer(command, value))
{
}

NetworkSerialPort::Question NetworkSerialPort::Question::Speed(std::uint32_t baudRate)
{
    Question q(kSetBaudrate, 0);
    q.bytes = Baudrate_Request(baudRate);
    q.expected = Expected_Answer(kSetBaudrate, baudRate);
    return q;
}

std::optional<NetworkSerialPort::Answers> NetworkSerialPort::Ask(const std::vector<Question> &questions,
                                                                 Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!Usable_Locked())
        return std::nullopt;
    const std::uint64_t generation = generation_, ask = nextAsk_++;
    std::vector<std::uint8_t> bytes;
    for (const Question &q : questions) {
        if (q.topic != Topic::None)
            awaited_.push_back(Awaited{ask, q.topic, q.expected});
        bytes.insert(bytes.end(), q.bytes.begin(), q.bytes.end());
    }
    const std::uint64_t id = Queue_Locked(std::move(bytes), false);
    ++asking_;
    Wake();
    auto answered = [&] {
        return std::none_of(awaited_.begin(), awaited_.end(),
                            [&](const Awaited &a) { return a.ask == ask && !a.answered; });
    };
    Wait_Locked(lock, deadline, [&] { return generation_ != generation || closing_ || lost_ || answered(); });
    --asking_;
    if (generation_ != generation || closing_) {
        Fail(ECANCELED);
        return std::nullopt;
    }
    std::optional<Answers> result;
    bool unsent = false;
    if (answered()) {
        result = Answers{};
        for (const Awaited &a : awaited_)
            if (a.ask == ask)
                (*result)[Index(a.topic)] = a.value;
    } else if (lost_) {
        Fail(lostError_);
    } else {
        unsent = Withdraw_Locked(id);  // no answer in time: the server will not give one
        Fail(ETIMEDOUT);
    }
    const auto expires = Clock::now() + std::chrono::milliseconds(kLateAnswerWaits * timing_.answerMs);
    for (auto it = awaited_.begin(); it != awaited_.end();) {
        if (it->ask != ask) {
            ++it;
        } else if (it->answered || unsent) {
            it = awaited_.erase(it);
        } else {
            it->ask = 0;
            it->expires = expires;
            ++it;
        }
    }
    return result;
}

bool NetworkSerialPort::Ask_Within_Answer_Time(const std::vector<Question> &questions)
{
    return Ask(questions, Clock::now() + std::chrono::milliseconds(timing_.answerMs)).has_value();
}

bool NetworkSerialPort::getState(PortSettings &settings)
{
    const auto answers =
        Ask({Question::Speed(0), {kSetDatasize, 0}, {kSetParity, 0}, {kSetStopsize, 0}, {kSetControl, kFlowQuery}},
            Clock::now() + std::chrono::milliseconds(timing_.answerMs));
    if (!answers)
        return false;
    const Answers &a = *answers;
    std::lock_guard<std::mutex> lock(mutex_);
    PortSettings s = reported_;  // a value the server gives that means nothing keeps the last one
    s.BaudRate = a[Index(Topic::Baudrate)];
    if (a[Index(Topic::Datasize)] >= 5 && a[Index(Topic::Datasize)] <= 8)
        s.ByteSize = static_cast<std::uint8_t>(a[Index(Topic::Datasize)]);
    s.Parity = static_cast<Parity_Mode>(
        Parity_From_Wire(static_cast<std::uint8_t>(a[Index(Topic::Parity)])).value_or(s.Parity));
    s.StopBits = static_cast<Stop_Bits>(
        Stop_Bits_From_Wire(static_cast<std::uint8_t>(a[Index(Topic::Stopsize)])).value_or(s.StopBits));
    s.fOutxCtsFlow = a[Index(Topic::FlowControl)] == kFlowHardware;
    s.fRtsControl = s.fOutxCtsFlow ? kRtsControlHandshake : rtsOn_ ? kRtsControlEnable : kRtsControlDisable;
    s.fDtrControl = dtrOn_ ? kDtrControlEnable : kDtrControlDisable;
    reported_ = settings = s;
    return true;
}

// Speed, framing and flow control are always sent and must come back as
// asked. DTR and RTS go only when they change: servers often leave those
// requests unanswered, and a speed change must not wait for them.
bool NetworkSerialPort::setState(const PortSettings &s)
{
    const auto parity = Parity_To_Wire(s.Parity);
    const auto stopBits = Stop_Bits_To_Wire(s.StopBits);
    if (s.BaudRate == 0 || s.ByteSize < 5 || s.ByteSize > 8 || !parity || !stopBits)
        return isOpen() ? Fail(EINVAL) : Fail(EBADF);
    const bool hardware = s.fOutxCtsFlow || s.fRtsControl == kRtsControlHandshake;
    std::vector<Question> questions = {Question::Speed(s.BaudRate),
                                       {kSetDatasize, s.ByteSize},
                                       {kSetParity, *parity},
                                       {kSetStopsize, *stopBits},
                                       {kSetControl, hardware ? kFlowHardware : kFlowNone}};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool rts = s.fRtsControl == kRtsControlEnable, dtr = s.fDtrControl != kDtrControlDisable;
        if (!hardware && rts != rtsOn_)
            questions.push_back({kSetControl, rts ? kRtsOn : kRtsOff});
        if (dtr != dtrOn_)
            questions.push_back({kSetControl, dtr ? kDtrOn : kDtrOff});
        if (!hardware)
            rtsOn_ = rts;
        dtrOn_ = dtr;
    }
    const auto answers = Ask(questions, Clock::now() + std::chrono::milliseconds(timing_.answerMs));
    if (!answers)
        return false;
    const Answers &a = *answers;
    if (a[Index(Topic::Baudrate)] != s.BaudRate || a[Index(Topic::Datasize)] != s.ByteSize ||
        a[Index(Topic::Parity)] != *parity || a[Index(Topic::Stopsize)] != *stopBits ||
        a[Index(Topic::FlowControl)] != (hardware ? kFlowHardware : kFlowNone))
        return Fail(EINVAL);  // the device took something else: refused
    std::lock_guard<std::mutex> lock(mutex_);
    reported_ = s;
    return true;
}

// The server sizes its own buffers; the request only needs an open port.
bool NetworkSerialPort::setupQueues(std::uint32_t, std::uint32_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return Usable_Locked();
}

bool NetworkSerialPort::setEventMask(std::uint32_t mask)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Usable_Locked())
        return false;
    eventMask_ = mask;
    return true;
}

bool NetworkSerialPort::purge(std::uint32_t flags)
{
    const bool toDevice = flags & (kPurgeTxAbort | kPurgeTxClear);
    const bool fromDevice = flags & (kPurgeRxAbort | kPurgeRxClear);
    if (!toDevice && !fromDevice)
        return isOpen() || Fail(EBADF);
    const std::uint8_t what = toDevice && fromDevice ? kPurgeBoth : toDevice ? kPurgeToDevice : kPurgeFromDevice;
    const bool answered = Ask_Within_Answer_Time({{kPurgeData, what}});
    if (fromDevice) {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.clear();
        receivedHead_ = 0;
        Wake();
    }
    return answered;
}

// Reads return at once with what is queued whatever the time-outs say; they
// are kept so that they read back as they were set.
bool NetworkSerialPort::getTimeouts(PortTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Usable_Locked())
        return false;
    timeouts = timeouts_;
    return true;
}

bool NetworkSerialPort::setTimeouts(const PortTimeouts &timeouts)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Usable_Locked())
        return false;
    timeouts_ = timeouts;
    return true;
}

bool NetworkSerialPort::getModemStatus(std::uint32_t &status)
{
    std::unique_lock<std::mutex> lock(mutex_);
    Pump_Now_Locked(lock);
    if (!Usable_Locked())
        return false;
    if (!modemStatusKnown_)
        return Fail(EAGAIN);
    status = modemStatus_;
    return true;
}

bool NetworkSerialPort::setBreak() { return Ask_Within_Answer_Time({{kSetControl, kBreakOn}}); }

bool NetworkSerialPort::clearBreak() { return Ask_Within_Answer_Time({{kSetControl, kBreakOff}}); }

// A dropped link still holds what came before the drop: a reader that
// starts only now gets that first, then the drop from its wait.
bool NetworkSerialPort::prepareWait()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return (open_ && !closing_) || Fail(EBADF);
}

WaitResult NetworkSerialPort::waitForEvent(std::uint32_t &eventMask)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_ || closing_)
        return WaitResult::Closed;
    const std::uint64_t generation = generation_;
    Wait_Locked(lock, Clock::time_point::max(),
                [&] { return generation_ != generation || closing_ || receivedHead_ < received_.size() || lost_; });
    if (generation_ != generation || closing_)
        return WaitResult::Closed;
    if (receivedHead_ < received_.size()) {
        eventMask = eventMask_ & kEvRxChar;
        return WaitResult::Event;
    }
    Fail(lostError_);
    return WaitResult::Error;
}

// What came before a drop can still be read.
bool NetworkSerialPort::bytesQueued(std::uint32_t &count)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_ || closing_)
        return Fail(EBADF);
    Pump_Now_Locked(lock);
    count = static_cast<std::uint32_t>(std::min<std::size_t>(received_.size() - receivedHead_, UINT32_MAX));
    return true;
}

bool NetworkSerialPort::read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got)
{
    std::lock_guard<std::mutex> lock(mutex_);
    got = 0;
    if (!open_ || closing_)
        return Fail(EBADF);
    const std::size_t queued = received_.size() - receivedHead_;
    const bool wasFull = queued >= kReceiveLimit;
    got = static_cast<std::uint32_t>(std::min<std::size_t>(count, queued));
    std::memcpy(buffer, received_.data() + receivedHead_, got);
    receivedHead_ += got;
    if (receivedHead_ == received_.size()) {
        received_.clear();
        receivedHead_ = 0;
    } else if (receivedHead_ >= kReceiveLimit / 2) {
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(receivedHead_));
        receivedHead_ = 0;
    }
    if (wasFull)
        Wake();  // the pump reads the connection again
    return true;
}

std::size_t NetworkSerialPort::Sent_Locked(std::uint64_t id) const
{
    const auto it = std::find_if(outgoing_.begin(), outgoing_.end(), [id](const Unit &u) { return u.id == id; });
    return it == outgoing_.end() ? 0 : it->sent;
}

// The line moves while the socket takes more of the write, or sends on what
// it holds.
bool NetworkSerialPort::write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
                              const std::atomic<bool> *stop)
{
    taken = 0;
    std::vector<std::uint8_t> bytes;
    Append_Escaped(data, count, bytes);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!Usable_Locked())
        return false;
    if (count == 0)
        return true;
    WriteWatch watch(Write_Bound_Ms(count, reported_.BaudRate), Now_Ms());
    const std::uint64_t generation = generation_;
    const std::uint64_t id = Queue_Locked(std::move(bytes), true);
    std::size_t sent = Sent_Locked(id);
    for (;;) {
        Wait_Locked(lock, Clock::now() + std::chrono::milliseconds(watch.Wait_Ms(Now_Ms())),
                    [&] { return doneId_ >= id || generation_ != generation || closing_ || lost_; });
        if (generation_ != generation || closing_)
            return Fail(ECANCELED);
        if (doneId_ >= id) {
            taken = count;
            return true;
        }
        if (lost_)
            return Fail(lostError_);
        const std::uint64_t now = Now_Ms();
        if (Sent_Locked(id) > sent) {
            sent = Sent_Locked(id);
            watch.Took(now);
        }
        watch.Queued(now, Socket_Queued(socket_));
        const bool stopped = stop && *stop;
        if (stopped || watch.Stalled(now)) {
            // What has not left is dropped, so that it does not reach the
            // device later, out of order.
            Withdraw_Locked(id, &taken);
            return Fail(stopped ? ECANCELED : ETIMEDOUT);
        }
    }
}

template <class Done>
bool NetworkSerialPort::Wait_Locked(std::unique_lock<std::mutex> &lock, Clock::time_point deadline, Done done)
{
    for (;;) {
        if (done())
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        if (pumping_ || !open_ || closing_ || lost_) {
            if (deadline == Clock::time_point::max())
                changed_.wait(lock);
            else
                changed_.wait_until(lock, deadline);
            continue;
        }
        pumping_ = true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        Pump_Locked(lock, static_cast<int>(std::min<std::int64_t>(left, INT_MAX)));
        pumping_ = false;
        changed_.notify_all();  // whoever still waits takes the pump on
    }
}

void NetworkSerialPort::Pump_Now_Locked(std::unique_lock<std::mutex> &lock)
{
    if (pumping_ || !open_ || closing_ || lost_)
        return;
    pumping_ = true;
    Pump_Locked(lock, 0);
    pumping_ = false;
    changed_.notify_all();
}

// The connection and the wake-up stay open while the pump is held: close()
// waits for the holder to leave. Every so often the holder looks whether the
// socket holds data the peer has left unanswered: a look costs next to
// nothing, and a writer need not wake the pump for it.
void NetworkSerialPort::Pump_Locked(std::unique_lock<std::mutex> &lock, int timeoutMs)
{
    const std::uint64_t start = Now_Ms();
    const int lookMs = static_cast<int>(std::min<std::uint64_t>(nextLook_ > start ? nextLook_ - start : 0, INT_MAX));
    // A request's answer may sit behind the data: while one is awaited the
    // connection is read whatever the queue holds.
    const bool room = received_.size() - receivedHead_ < kReceiveLimit || asking_ > 0;
    const short events = short((room ? POLLIN : 0) | (outgoing_.empty() ? 0 : POLLOUT));
    pollfd fds[2] = {{events != 0 ? socket_ : -1, events, 0}, {wake_, POLLIN, 0}};
    const int fd = socket_;
    lock.unlock();
    int error = 0;
    ssize_t got = 0;
    TelnetStream::Output out;
    if (::poll(fds, 2, std::min(timeoutMs, lookMs)) < 0) {
        error = errno == EINTR ? 0 : errno;
        fds[0].revents = fds[1].revents = 0;
    }
    if (fds[1].revents & POLLIN) {
        eventfd_t ignored = 0;
        ::eventfd_read(wake_, &ignored);
    }
    if ((events & POLLIN) && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
        got = ::recv(fd, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
        if (got > 0)
            stream_.Feed(buffer_.data(), static_cast<std::size_t>(got), out);
        else if (got == 0)
            error = ECONNRESET;
        else if (errno != EAGAIN && errno != EINTR)
            error = errno;
    }
    const bool dead = Now_Ms() >= nextLook_ && Look_For_Dead_Link(fd);
    lock.lock();
    if (got > 0)
        Take_Locked(out);
    if (error != 0 || dead)
        Lose_Locked(dead ? ETIMEDOUT : error);
    else if ((events & POLLOUT) && (fds[0].revents & (POLLOUT | POLLHUP | POLLERR)))
        Send_Locked();
}

// By the pump's holder, unlocked: true once the link is found dead.
bool NetworkSerialPort::Look_For_Dead_Link(int fd)
{
    const std::uint64_t now = Now_Ms();
    nextLook_ = now + static_cast<std::uint64_t>(std::clamp(timing_.deadLinkMs / 4, 50, 1000));
    tcp_info info{};
    socklen_t length = sizeof info;
    if (Socket_Queued(fd) == 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        info = tcp_info{};
    return silence_.Dead(now, info.tcpi_last_ack_recv, info.tcpi_unacked > 0, info.tcpi_probes);
}

void NetworkSerialPort::Take_Locked(const TelnetStream::Output &out)
{
    received_.insert(received_.end(), out.data.begin(), out.data.end());
    for (const ServerMessage &message : out.messages)
        File_Locked(message);
    if (!out.answers.empty())
        Queue_Locked(out.answers, false);
    comPortAgreed_ = stream_.Com_Port_Agreed();
    comPortRefused_ = stream_.Com_Port_Refused();
    binaryRefused_ = stream_.Binary_Refused();
}

void NetworkSerialPort::File_Locked(const ServerMessage &message)
{
    if (message.command == kNotifyModemstate) {
        modemStatus_ = message.value & kModemLines;
        modemStatusKnown_ = true;
        return;
    }
    const Topic topic = Topic_Of(message.command, message.value);
    if (topic == Topic::None)
        return;
    const auto now = Clock::now();
    awaited_.erase(std::remove_if(awaited_.begin(), awaited_.end(), [&](const Awaited &a) { return a.expires <= now; }),
                   awaited_.end());
    auto waiting = [&](bool exactly) {
        return std::find_if(awaited_.begin(), awaited_.end(), [&](const Awaited &a) {
            return a.topic == topic && !a.answered && (!exactly || !a.expected || *a.expected == message.value);
        });
    };
    auto it = waiting(true);
    if (it == awaited_.end())
        it = waiting(false);  // a request carried out otherwise than asked
    if (it == awaited_.end())
        return;
    if (it->ask == 0) {
        awaited_.erase(it);  // the late answer of a request that gave up
        return;
    }
    it->answered = true;
    it->value = message.value;
}

}  // namespace vexa
