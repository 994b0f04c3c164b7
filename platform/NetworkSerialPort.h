#pragma once
// A serial port served over the network by an RFC 2217 server such as
// ser2net, opened as "rfc2217://host:port": a TCP connection speaking telnet
// with the COM-PORT-OPTION.
//
// One thread of the port's own reads the connection: it parses what the
// server sends, queues the device's bytes for the reader and files the
// server's answers. Neither of the program's threads could do that job: the
// main thread waits for the answers to its settings requests while the reader
// may be blocked handing bytes to that same main thread. Sending is done by
// the thread that asks, under the port's lock; what the socket cannot take at
// once is left to the port's thread. A request is never cut, and a write that
// times out is cut only where the stream stays whole.

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

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
    void Run();
    void Take(const std::uint8_t *bytes, std::size_t count);
    void File_Locked(const rfc2217::ServerMessage &message);

    const NetworkPortTiming timing_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    int socket_ = -1;
    int wake_ = -1;
    bool open_ = false;
    bool closing_ = false;
    std::uint64_t generation_ = 0;  // one more for every open and close
    bool lost_ = false;
    int lostError_ = 0;

    rfc2217::TelnetStream stream_;  // the port's thread alone, once it runs
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
