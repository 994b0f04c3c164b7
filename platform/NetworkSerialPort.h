#pragma once
// A serial port served over the network by an RFC 2217 server such as
// ser2net, opened as "rfc2217://host:port": a TCP connection speaking telnet
// with the COM-PORT-OPTION.
//
// The port has no thread of its own: whoever waits on it reads. A thread
// that must wait (the reader for a character, a request for its answers, a
// write for room in the socket, the open for the server's agreement) takes
// the pump when nobody holds it and polls the connection itself: it parses
// what the server sends, queues the device's bytes for the reader, files the
// answers, sends what the socket could not take at once and watches for a
// dead link, for every waiter alike. The others wait to be told; when the
// holder's own wait is over the next takes the pump on. This holds because
// no caller blocks elsewhere while it holds the pump, and the reader does not
// wait for the window. Calls that only look (what is queued, the modem
// lines) pump once without waiting, so a port with nobody waiting still
// moves when it is used. Sending is done by the thread that asks, under the
// port's lock. A request is never cut, and a write that times out is cut
// only where the stream stays whole; what is left of it leaves at the next
// call that waits.

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/PeerSilence.h"
#include "platform/PortNames.h"
#include "platform/Rfc2217Protocol.h"
#include "platform/SerialPort.h"

namespace vexa {

struct NetworkPortTiming {
    int answerMs = 1000;  // a request the server does not answer within this fails
    int openMs = 3000;    // name lookup, connection and the device's first answer, together
    // A link over which nothing comes back for about this long, not even the
    // acknowledgement of what was sent, is dead (a pulled cable, a host gone
    // without closing): the port fails as an unplugged device does. A peer
    // that answers but takes nothing (its device held off) is alive.
    int deadLinkMs = 20000;
};

class NetworkSerialPort final : public SerialPort {
public:
    explicit NetworkSerialPort(NetworkPortTiming timing = NetworkPortTiming());
    ~NetworkSerialPort() override;
    NetworkSerialPort(const NetworkSerialPort &) = delete;
    NetworkSerialPort &operator=(const NetworkSerialPort &) = delete;

    // Connects, and disconnects at once when the device answered.
    bool probe(const std::string &name) override;
    // Fails unless the server agrees to the COM-PORT-OPTION and the device
    // answers a question about its speed: a server that cannot open the
    // device, or that serves it to someone else, says so in text and hangs up.
    bool open(const std::string &name) override;
    void close() override;
    bool isOpen() const override;

    bool getState(PortSettings &settings) override;
    bool setState(const PortSettings &settings) override;
    bool setupQueues(std::uint32_t inQueue, std::uint32_t outQueue) override;
    bool setEventMask(std::uint32_t mask) override;
    bool purge(std::uint32_t flags) override;
    bool getTimeouts(PortTimeouts &timeouts) override;
    bool setTimeouts(const PortTimeouts &timeouts) override;
    // The lines the server last reported; fails until it has reported any.
    bool getModemStatus(std::uint32_t &status) override;
    bool setBreak() override;
    bool clearBreak() override;

    bool prepareWait() override;
    // A dropped connection ends the wait with an error once the bytes that
    // came before the drop have been read.
    WaitResult waitForEvent(std::uint32_t &eventMask) override;
    bool bytesQueued(std::uint32_t &count) override;
    bool read(std::uint8_t *buffer, std::uint32_t count, std::uint32_t &got) override;
    using SerialPort::write;
    bool write(const std::uint8_t *data, std::uint32_t count, std::uint32_t &taken,
               const std::atomic<bool> *stop) override;

    int lastError() const override;

private:
    using Clock = std::chrono::steady_clock;
    using Answers = std::array<std::uint32_t, rfc2217::kTopicCount>;
    struct Question {
        Question(std::uint8_t command, std::uint8_t value);
        static Question Speed(std::uint32_t baudRate);  // 0 asks for the current one
        std::vector<std::uint8_t> bytes;
        rfc2217::Topic topic;                   // None: nothing to wait for
        std::optional<std::uint32_t> expected;  // the answer when carried out; none for a question
    };
    // A request that waits for its answer. The server answers in order; an
    // answer goes to the oldest waiting request of its topic that it fits
    // (the value expected, or any for a question), else to the oldest of its
    // topic. A request whose wait ended stays a while to take its own late
    // answer, which so cannot pass for the answer to a later request.
    struct Awaited {
        std::uint64_t ask;  // the Ask it belongs to; 0 once that gave up
        rfc2217::Topic topic;
        std::optional<std::uint32_t> expected;
        bool answered = false;
        std::uint32_t value = 0;
        Clock::time_point expires = Clock::time_point::max();
    };
    struct Unit {
        std::uint64_t id;
        std::vector<std::uint8_t> bytes;
        bool data;  // serial bytes, which may be dropped; else a request
        std::size_t sent = 0;
    };

    bool Fail(int error) const;
    bool Usable_Locked() const;
    bool Handshake(Clock::time_point deadline);
    // Sends the questions as one unit and waits until each that has a topic
    // is answered; the answers then, or nothing.
    std::optional<Answers> Ask(const std::vector<Question> &questions, Clock::time_point deadline);
    bool Ask_Within_Answer_Time(const std::vector<Question> &questions);
    std::uint64_t Queue_Locked(std::vector<std::uint8_t> bytes, bool data);
    void Send_Locked();
    // True when nothing of the unit had left; a data unit's bytes that still
    // leave, counted before escaping, go to dataLeaving.
    bool Withdraw_Locked(std::uint64_t id, std::uint32_t *dataLeaving = nullptr);
    std::size_t Sent_Locked(std::uint64_t id) const;
    void Lose_Locked(int error);
    void Wake() const;
    // Waits until done() holds or the deadline passes, pumping while nobody
    // else does; true when done() holds. The lock is held on return.
    template <class Done>
    bool Wait_Locked(std::unique_lock<std::mutex> &lock, Clock::time_point deadline, Done done);
    // One poll of the connection of at most timeoutMs, by the pump's holder.
    void Pump_Locked(std::unique_lock<std::mutex> &lock, int timeoutMs);
    // Takes in what has come without waiting, unless someone pumps already.
    void Pump_Now_Locked(std::unique_lock<std::mutex> &lock);
    bool Look_For_Dead_Link(int fd);
    void Take_Locked(const rfc2217::TelnetStream::Output &out);
    void File_Locked(const rfc2217::ServerMessage &message);

    const NetworkPortTiming timing_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool pumping_ = false;  // a thread holds the pump: it alone polls and reads the connection
    int socket_ = -1;
    int wake_ = -1;
    bool open_ = false;
    bool closing_ = false;
    std::uint64_t generation_ = 0;  // one more for every open and close
    bool lost_ = false;
    int lostError_ = 0;

    // The pump's holder alone uses these, the lock released.
    rfc2217::TelnetStream stream_;
    std::vector<std::uint8_t> buffer_;
    PeerSilence silence_;
    std::uint64_t nextLook_ = 0;  // when the pump next looks for a dead link
    bool comPortAgreed_ = false, comPortRefused_ = false, binaryRefused_ = false;

    std::vector<std::uint8_t> received_;
    std::size_t receivedHead_ = 0;
    std::deque<Unit> outgoing_;
    std::uint64_t nextId_ = 1, doneId_ = 0;

    std::deque<Awaited> awaited_;
    std::uint64_t nextAsk_ = 1;
    int asking_ = 0;  // Asks waiting for their answers
    std::uint32_t modemStatus_ = 0;
    bool modemStatusKnown_ = false;

    PortSettings reported_;             // the last settings read or written
    bool rtsOn_ = true, dtrOn_ = true;  // what was last asked for: servers often do not tell
    std::uint32_t eventMask_ = 0;
    PortTimeouts timeouts_;
};

}  // namespace vexa
