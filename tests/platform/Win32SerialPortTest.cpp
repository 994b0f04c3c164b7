// The Windows backend on real pseudo-terminals: run under Wine by
// bash vexa.sh wintest, with vexa-pty-peer on the Linux side playing the
// modem at the far end of each line and reading the line's termios.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "PtyPeerClient.h"
#include "platform/PortNames.h"
#include "platform/Win32Overlapped.h"
#include "platform/Win32SerialPort.h"

using namespace vexa;
using vexa_test::PtyPeer;
using Clock = std::chrono::steady_clock;

namespace {

long long Ms_Since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool Write(SerialPort &port, const std::string &bytes)
{
    return port.write(reinterpret_cast<const std::uint8_t *>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
}

std::string Every_Byte_Value(int rounds)
{
    std::string bytes;
    for (int round = 0; round < rounds; ++round)
        for (int value = 0; value < 256; ++value)
            bytes += static_cast<char>(value);
    return bytes;
}

// What the program does after an open: queues, event mask, purge, time-outs
// that make a read return at once.
void Prepare_As_The_Program_Does(SerialPort &port)
{
    ASSERT_TRUE(port.setupQueues(65536, 65536));
    ASSERT_TRUE(port.setEventMask(kEvRxChar));
    ASSERT_TRUE(port.purge(kPurgeAll));
    PortTimeouts t;
    ASSERT_TRUE(port.getTimeouts(t));
    t = {0xFFFFFFFF, 0, 0, 0, 0};
    ASSERT_TRUE(port.setTimeouts(t));
}

// The program's reader loop on its own thread: wait, ask how much is queued,
// read it, keep the chunk. Ends when the wait does; closes the port when
// the test is done with it.
class Reader {
public:
    explicit Reader(SerialPort &port) : port_(port), thread_([this] { Run(); }) {}
    ~Reader()
    {
        port_.close();
        thread_.join();
    }

    // Waits up to ms until `count` bytes came or the run ended.
    std::string Wait_For_Bytes(std::size_t count, int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return all_.size() >= count || ended_; });
        return all_;
    }
    bool Wait_For_End(int ms)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return ended_; });
    }
    std::vector<std::string> chunks()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return chunks_;
    }
    WaitResult endedWith() const { return endedWith_; }
    int endError() const { return endError_; }

private:
    void Run()
    {
        WaitResult result = WaitResult::Error;
        if (port_.prepareWait())
            result = Turns();
        std::lock_guard<std::mutex> lock(mutex_);
        endedWith_ = result;
        endError_ = port_.lastError();
        ended_ = true;
        changed_.notify_all();
    }
    WaitResult Turns()
    {
        std::vector<std::uint8_t> buffer(65536);
        for (;;) {
            std::uint32_t mask = 0, queued = 0, got = 0;
            const WaitResult result = port_.waitForEvent(mask);
            if (result != WaitResult::Event)
                return result;
            if (!port_.bytesQueued(queued))
                return WaitResult::Error;
            if (queued == 0)
                continue;
            if (!port_.read(buffer.data(), std::min<std::uint32_t>(queued, 65536), got))
                return WaitResult::Error;
            std::lock_guard<std::mutex> lock(mutex_);
            chunks_.emplace_back(reinterpret_cast<const char *>(buffer.data()), got);
            all_ += chunks_.back();
            changed_.notify_all();
        }
    }

    SerialPort &port_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> chunks_;
    std::string all_;
    bool ended_ = false;
    WaitResult endedWith_ = WaitResult::Event;
    int endError_ = 0;
    std::thread thread_;
};

// A port on a fresh line of its own, linked as COM<number> and prepared
// as the program prepares an opened port.
class Win32SerialPortOnALine : public ::testing::Test {
protected:
    void Open_Line(int comNumber)
    {
        peer = std::make_unique<PtyPeer>(comNumber);
        ASSERT_TRUE(peer->ok()) << peer->error();
        ASSERT_TRUE(port.open(peer->portName()));
        Prepare_As_The_Program_Does(port);
    }

    std::unique_ptr<PtyPeer> peer;
    Win32SerialPort port;
};

}  // namespace

TEST(Win32SerialPort, OpensComPortsByNameAndRefusesWhatIsNoSerialDevice)
{
    PtyPeer seven(7), twelve(12);
    ASSERT_TRUE(seven.ok()) << seven.error();
    ASSERT_TRUE(twelve.ok()) << twelve.error();
    EXPECT_EQ(Device_Name_For_Open("COM12"), "\\\\.\\COM12");
    const auto before = twelve.Termios();
    ASSERT_TRUE(before);

    Win32SerialPort port;
    std::vector<std::string> found;
    for (const KnownPort &known : Known_Ports())
        found.push_back(known.name);
    EXPECT_NE(std::find(found.begin(), found.end(), "COM7"), found.end());
    EXPECT_NE(std::find(found.begin(), found.end(), "COM12"), found.end());
    EXPECT_EQ(std::find(found.begin(), found.end(), "COM13"), found.end());  // no device behind it
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open("COM12"));
    EXPECT_FALSE(port.open("COM7"));  // one device per port object
    EXPECT_EQ(port.lastError(), ERROR_BUSY);
    const auto after = twelve.Termios();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->speed, before->speed);  // probing and opening change no line setting
    EXPECT_EQ(after->stopBits, before->stopBits);
    EXPECT_TRUE(Write(port, ""));  // nothing to send succeeds at once
    port.close();
    EXPECT_FALSE(Write(port, "x"));
    EXPECT_EQ(port.lastError(), ERROR_INVALID_HANDLE);

    Win32SerialPort other;
    EXPECT_FALSE(other.open("COM65"));
    EXPECT_FALSE(other.open(""));
    EXPECT_FALSE(other.open("NUL"));  // a character device, but no serial port
    EXPECT_EQ(other.lastError(), ERROR_BAD_DEVICE);
    const char *file = "vexa-not-a-port.txt";
    std::fclose(std::fopen(file, "w"));
    EXPECT_FALSE(other.open(file));
    EXPECT_FALSE(other.probe(file));
    std::remove(file);
    EXPECT_FALSE(Create_Serial_Port("rfc2217://127.0.0.1:2217")->open("rfc2217://127.0.0.1:2217"));
    EXPECT_TRUE(other.open("COM7"));
    EXPECT_TRUE(port.open("COM12"));  // reopens after close
}

TEST_F(Win32SerialPortOnALine, SettingsReachTheLine)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(3));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 57600;
    s.StopBits = kTwoStopBits;
    s.fOutxCtsFlow = true;
    s.fRtsControl = kRtsControlHandshake;
    ASSERT_TRUE(port.setState(s));
    auto line = peer->Termios();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->speed, 57600u);
    EXPECT_EQ(line->stopBits, 2);
    EXPECT_TRUE(line->crtscts);
    PortSettings back;
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 57600u);
    EXPECT_EQ(back.StopBits, kTwoStopBits);
    EXPECT_TRUE(back.fOutxCtsFlow);  // Wine reads the RTS mode back from the line, which a pty lacks

    s.BaudRate = 115200;
    s.StopBits = kOneStopBit;
    s.fOutxCtsFlow = false;
    s.fRtsControl = kRtsControlEnable;
    ASSERT_TRUE(port.setState(s));
    line = peer->Termios();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->speed, 115200u);
    EXPECT_EQ(line->stopBits, 1);
    EXPECT_FALSE(line->crtscts);
    EXPECT_EQ(line->bits, 8);

    // A pseudo-terminal holds 8 data bits; the refusal is reported and the
    // line keeps what it had.
    s.ByteSize = 7;
    EXPECT_FALSE(port.setState(s));
    EXPECT_NE(port.lastError(), 0);
    line = peer->Termios();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->speed, 115200u);
    EXPECT_EQ(line->bits, 8);
}

TEST_F(Win32SerialPortOnALine, BytesCrossUnchangedBothWays)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(4));

    const std::string out = Every_Byte_Value(4);
    ASSERT_TRUE(Write(port, out));
    EXPECT_EQ(peer->Receive(out.size(), 10000), out);

    Reader reader(port);
    const std::string in = Every_Byte_Value(64);
    ASSERT_TRUE(peer->Send(in));
    EXPECT_EQ(reader.Wait_For_Bytes(in.size(), 10000), in);
    EXPECT_EQ(peer->Receive(1, 300), "");  // nothing echoed back to the modem
}

TEST_F(Win32SerialPortOnALine, AModemReplyArrivingInOneBurstIsReadOnce)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(11));
    Reader reader(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(peer->Send("OK\r\n"));
    EXPECT_EQ(reader.Wait_For_Bytes(4, 5000), "OK\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(reader.chunks(), std::vector<std::string>({"OK\r\n"}));
}

// The program purges the port when the page changes, with its reader
// waiting: bytes that arrived before the purge must not reach the new page,
// even when the wait has already read them off the driver.
TEST_F(Win32SerialPortOnALine, APurgeDropsWhatArrivedBeforeItEvenOnceTheWaitHasReadIt)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(15));
    ASSERT_TRUE(port.prepareWait());
    std::uint32_t mask = 0, queued = 0, got = 0;
    auto wait = [&] { return std::async(std::launch::async, [&] { return port.waitForEvent(mask); }); };
    auto first = wait();
    // Under Wine the wait soon reads; the bytes then come off the driver with it.
    const auto settling = Clock::now();
    while (!port.waitsByReading() && Ms_Since(settling) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(peer->Send("OLD"));
    ASSERT_EQ(first.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_EQ(first.get(), WaitResult::Event);
    ASSERT_TRUE(port.purge(kPurgeAll));
    ASSERT_TRUE(port.bytesQueued(queued));
    EXPECT_EQ(queued, 0u);

    auto second = wait();
    ASSERT_TRUE(peer->Send("NEW"));
    ASSERT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_EQ(second.get(), WaitResult::Event);
    std::uint8_t buffer[16] = {};
    std::string seen;
    const auto start = Clock::now();
    while (seen.size() < 3 && Ms_Since(start) < 5000 && port.read(buffer, sizeof buffer, got))
        seen.append(reinterpret_cast<const char *>(buffer), got);
    EXPECT_EQ(seen, "NEW");
}

// It fails within its bound, and drops nothing that earlier writes handed over.
TEST_F(Win32SerialPortOnALine, AWriteTheLineCannotTakeFailsWithinItsBound)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(5));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 115200;
    ASSERT_TRUE(port.setState(s));

    ASSERT_TRUE(peer->Stop());
    const std::string block(4096, 'x');
    long long failedAfterMs = -1;
    std::size_t written = 0;
    for (int i = 0; i < 400 && failedAfterMs < 0; ++i) {
        const auto start = Clock::now();
        if (!Write(port, block))
            failedAfterMs = Ms_Since(start);
        else
            written += block.size();
    }
    const int error = port.lastError();
    // Asked to stop, a held-off write ends at once.
    std::atomic<bool> stop{false};
    auto stopped = std::async(std::launch::async, [&] {
        std::uint32_t taken = 0;
        return port.write(reinterpret_cast<const std::uint8_t *>(block.data()), 4096, taken, &stop) ? 0
                                                                                                    : port.lastError();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto asked = Clock::now();
    stop = true;
    EXPECT_EQ(stopped.get(), ERROR_OPERATION_ABORTED);
    EXPECT_LT(Ms_Since(asked), 700);
    ASSERT_TRUE(peer->Resume());
    ASSERT_GE(failedAfterMs, 0) << "the line took 1.6 MB with nobody reading";
    EXPECT_EQ(error, ERROR_TIMEOUT);
    EXPECT_GE(failedAfterMs, 900);    // one second, plus the block's time on the line
    EXPECT_LT(failedAfterMs, 10000);  // bounded, not hung

    // The line takes bytes again once it frees.
    ASSERT_TRUE(Write(port, "MARK"));
    std::string seen;
    const auto start = Clock::now();
    while (seen.find("MARK") == std::string::npos && Ms_Since(start) < 15000)
        seen += peer->Receive(1 << 20, 500);
    EXPECT_NE(seen.find("MARK"), std::string::npos);
    EXPECT_GE(std::size_t(std::count(seen.begin(), seen.end(), 'x')), written);
}

namespace {

BOOL WINAPI Ignore_Cancel(HANDLE, LPOVERLAPPED) { return TRUE; }

}  // namespace

// A driver that never ends a cancelled request holds nobody up: the request
// is left to it, with memory of its own that it may still fill.
TEST(Win32Overlapped, ARequestTheDriverKeepsPastItsCancelIsLeftToIt)
{
    const std::string name = "\\\\.\\pipe\\vexa-overlapped-" + std::to_string(GetCurrentProcessId());
    const HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1,
                                         4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const HANDLE client = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    const HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto read = [&](Canceller cancel, std::unique_ptr<OverlappedRequest> &request) {
        request = std::make_unique<OverlappedRequest>(16);
        const BOOL started = ReadFile(pipe, request->Buffer().data(), 16, nullptr, request->Fresh_Record());
        return Finish(pipe, request, started, wake, 100, cancel);
    };
    std::unique_ptr<OverlappedRequest> request;
    EXPECT_EQ(read(CancelIoEx, request).outcome, Outcome::TimedOut);
    EXPECT_TRUE(request);  // cancelled and ended: the caller's again

    const auto start = Clock::now();
    EXPECT_EQ(read(Ignore_Cancel, request).outcome, Outcome::TimedOut);
    EXPECT_LT(Ms_Since(start), 100 + kCancelBoundMs + 1000);
    EXPECT_FALSE(request);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(client, "late", 4, &n, nullptr));  // lands in the kept request
    EXPECT_EQ(read(CancelIoEx, request).outcome, Outcome::TimedOut);
    for (HANDLE h : {client, pipe, wake})
        CloseHandle(h);
}

TEST_F(Win32SerialPortOnALine, CloseEndsAPendingWaitAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(6));
    ASSERT_TRUE(port.prepareWait());
    auto waiting = std::async(std::launch::async, [&] {
        std::uint32_t mask = 0;
        return port.waitForEvent(mask);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
    const auto start = Clock::now();
    port.close();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    // Well inside the waiting read's own two seconds: the close cut it short.
    EXPECT_LT(Ms_Since(start), 1500);
    EXPECT_EQ(waiting.get(), WaitResult::Closed);
    EXPECT_FALSE(port.isOpen());
}

TEST_F(Win32SerialPortOnALine, AVanishedDeviceEndsTheReaderWithAnError)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(8));
    Reader reader(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(peer->Hang_Up());
    ASSERT_TRUE(reader.Wait_For_End(5000));
    EXPECT_EQ(reader.endedWith(), WaitResult::Error);
    EXPECT_EQ(reader.endError(), ERROR_BROKEN_PIPE);
    EXPECT_FALSE(Write(port, "AT\r"));
    EXPECT_EQ(port.lastError(), ERROR_NOT_READY);
}

// A pseudo-terminal has no modem lines: reading them fails, and says so, and
// raising or dropping DTR or RTS is refused (ERROR_NOT_SUPPORTED) while the
// settings that travel with them still reach the line. The line keeps
// working either way. The lamps are tested on the fake backend.
TEST_F(Win32SerialPortOnALine, ModemLinesAreRefusedCleanlyOnAPseudoTerminal)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(9));
    std::uint32_t status = 0xDEAD;
    EXPECT_FALSE(port.getModemStatus(status));
    EXPECT_EQ(port.lastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(status, 0xDEADu);

    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 19200;
    s.fDtrControl = kDtrControlDisable;
    s.fRtsControl = kRtsControlDisable;
    EXPECT_TRUE(port.setState(s));
    auto line = peer->Termios();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->speed, 19200u);
    s.BaudRate = 38400;
    s.fDtrControl = kDtrControlEnable;
    s.fRtsControl = kRtsControlEnable;
    EXPECT_TRUE(port.setState(s));
    line = peer->Termios();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->speed, 38400u);
    EXPECT_TRUE(port.setBreak());
    EXPECT_TRUE(port.clearBreak());
    ASSERT_TRUE(Write(port, "AT\r"));
    EXPECT_EQ(peer->Receive(3, 5000), "AT\r");
}

namespace {

double Seconds(const FILETIME &t) { return double(ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; }

// All threads of this process, Wine's own among them.
double Process_Cpu_Seconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

// The CPU time of a Linux process (Wine's server), from its /proc entry;
// negative when it cannot be read. Times there count in 1/100 s.
double Linux_Cpu_Seconds(const char *pid)
{
    const std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char text[1024] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    const char *fields = std::strrchr(text, ')');  // past the command name, which may hold blanks
    unsigned long long user = 0, system = 0;
    if (!fields ||
        std::sscanf(fields + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
        return -1;
    return (user + system) / 100.0;
}

// The share of one core, in per cent, that this process and Wine's server
// (named by bash vexa.sh wintest in VEXA_WINESERVER_PID) used during `ms`
// while the test itself slept: under Wine a wait costs the server as much
// as the process, so both count.
struct IdleCost {
    double process = 0, server = -1;
    double total() const { return process + (server > 0 ? server : 0); }
};

IdleCost Measure_Idle_Cost(int ms)
{
    const char *server = std::getenv("VEXA_WINESERVER_PID");
    const double process0 = Process_Cpu_Seconds(), server0 = server ? Linux_Cpu_Seconds(server) : -1;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    const double wall = Ms_Since(start) / 1000.0;
    IdleCost cost;
    cost.process = 100 * (Process_Cpu_Seconds() - process0) / wall;
    const double server1 = server0 >= 0 ? Linux_Cpu_Seconds(server) : -1;
    if (server1 >= 0)
        cost.server = 100 * (server1 - server0) / wall;
    return cost;
}

void Print_Idle_Cost(const char *what, const IdleCost &cost)
{
    std::printf("[ figures  ] %s: %.2f%% of a core (test process %.2f%%, ", what, cost.total(), cost.process);
    if (cost.server >= 0)
        std::printf("wineserver %.2f%%)\n", cost.server);
    else
        std::printf("wineserver not measured: VEXA_WINESERVER_PID unset or unreadable)\n");
}

}  // namespace

// The wait real drivers give: Wine aborts it every few milliseconds, so held
// to it the reader spins, but bytes must still come through and a close must
// still end it.
TEST(Win32SerialPort, WaitCommEventAloneCarriesBytesAndEndsOnClose)
{
    PtyPeer peer(13);
    ASSERT_TRUE(peer.ok()) << peer.error();
    Win32SerialPort port(1 << 30);
    ASSERT_TRUE(port.open(peer.portName()));
    Prepare_As_The_Program_Does(port);
    {
        Reader reader(port);
        ASSERT_TRUE(peer.Send("OK\r\n"));
        EXPECT_EQ(reader.Wait_For_Bytes(4, 5000), "OK\r\n");
        // What the fallback spares: the same idle wait, held to WaitCommEvent.
        Print_Idle_Cost("idle reader held to WaitCommEvent", Measure_Idle_Cost(1000));
        EXPECT_FALSE(port.waitsByReading());
        const auto start = Clock::now();
        port.close();
        EXPECT_TRUE(reader.Wait_For_End(5000));
        EXPECT_LT(Ms_Since(start), 1500);
        EXPECT_EQ(reader.endedWith(), WaitResult::Closed);
    }
}

TEST_F(Win32SerialPortOnALine, AnIdleReaderUsesAlmostNoProcessorAndStillWakesAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(Open_Line(10));
    Reader reader(port);
    // Where WaitCommEvent keeps aborting (Wine), the port soon waits by reading.
    const auto settling = Clock::now();
    while (!port.waitsByReading() && Ms_Since(settling) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const IdleCost cost = Measure_Idle_Cost(4000);
    Print_Idle_Cost(port.waitsByReading() ? "idle reader waiting by reading" : "idle reader waiting by WaitCommEvent",
                    cost);
    EXPECT_LT(cost.total(), 2.0);
    if (std::getenv("VEXA_WINESERVER_PID")) {
        EXPECT_GE(cost.server, 0.0) << "wineserver's CPU time could not be read";
    }
    // The waiting read's time-outs stay the port's own business.
    PortTimeouts t;
    ASSERT_TRUE(port.getTimeouts(t));
    EXPECT_EQ(t.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);

    const auto sent = Clock::now();
    ASSERT_TRUE(peer->Send("RING\r\n"));
    EXPECT_EQ(reader.Wait_For_Bytes(6, 5000), "RING\r\n");
    std::printf("[ figures  ] a reply after the idle wait was read %lld ms after it was sent\n", Ms_Since(sent));
}
