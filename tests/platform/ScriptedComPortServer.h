#pragma once
// A COM-PORT-OPTION server of the tests' own on the loopback, for what a real
// server will not do on cue: leave requests unanswered, answer slowly, refuse
// the device, say nothing at all, stop reading, drop the connection
// mid-stream. Its telnet parser is its own, written apart from the port's.

#include <QByteArray>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class ScriptedComPortServer {
public:
    ScriptedComPortServer();
    ~ScriptedComPortServer();
    ScriptedComPortServer(const ScriptedComPortServer &) = delete;
    ScriptedComPortServer &operator=(const ScriptedComPortServer &) = delete;

    std::string Name() const;  // "rfc2217://127.0.0.1:PORT"

    // How it behaves from now on.
    void Ignore_Control(std::uint8_t value);  // SET-CONTROL requests of this value go unanswered
    void Ignore_All_Requests(bool ignore);
    void Answer_Delay_Ms(int ms);
    void Refuse_With(const QByteArray &text);  // greet, say this, hang up
    void Say_Nothing(bool silent);             // accept, then never answer
    void Reading(bool on);                     // stop or resume reading the client
    void Modem_Lines(std::uint8_t state);      // reported with NOTIFY-MODEMSTATE
    void Refuse_Option(std::uint8_t option);   // neither offered nor agreed to (BINARY, COM-PORT)
    // The link goes dead, as with a pulled cable: nothing the server sends
    // arrives any more, and nothing the client sends is acknowledged.
    void Vanish();

    // The device's side of the open connection.
    void Send_Device(const QByteArray &bytes, bool oneByteAPacket = false);  // IAC doubled
    void Send_Raw(const QByteArray &bytes);
    void Drop();  // once everything queued has gone

    QByteArray Device_Bytes() const;                          // what the client wrote, IAC undone
    QByteArray Raw_Bytes() const;                             // exactly what arrived
    std::vector<std::vector<std::uint8_t>> Requests() const;  // each COM-PORT-OPTION request: command, value
    int Connections() const;
    std::uint32_t Baud_Rate() const;
    // Waits until the condition on the server holds (its own lock is not held).
    bool Wait_For(const std::function<bool()> &condition, int ms = 5000) const;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        QByteArray bytes;
    };
    enum class State { Data, Iac, Verb, Sub, SubIac };

    void Run();
    void Accept();
    void Read_Client();
    void Parse_Locked(std::uint8_t b);
    void Request_Locked(const std::vector<std::uint8_t> &sub);
    QByteArray Answer_Locked(std::uint8_t command, std::uint8_t value);
    void Queue_Locked(const QByteArray &bytes, int delayMs);
    void Flush_Locked();
    void Close_Client_Locked();
    void Wake() const;

    mutable std::mutex mutex_;
    std::thread thread_;
    int listen_ = -1, client_ = -1, wake_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};

    std::set<std::uint8_t> ignored_;
    bool ignoreAll_ = false, silent_ = false, reading_ = true, dropping_ = false, vanished_ = false;
    std::set<std::uint8_t> refusedOptions_;
    int delayMs_ = 0;
    QByteArray refusal_;
    std::uint8_t modem_ = 0;

    std::deque<Pending> pending_;
    QByteArray deviceBytes_, rawBytes_;
    std::vector<std::vector<std::uint8_t>> requests_;
    int connections_ = 0;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;

    std::uint32_t baud_ = 115200;
    std::uint8_t datasize_ = 8, parity_ = 1, stopsize_ = 1, flow_ = 1;
    bool breakOn_ = false, dtrOn_ = true, rtsOn_ = true;
};
