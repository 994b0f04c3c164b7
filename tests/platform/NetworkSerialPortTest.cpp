// The network port against a scripted server: what a real one will not do on cue.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <future>
#include <thread>

#include "NetworkTestHelpers.h"
#include "ScriptedComPortServer.h"
#include "platform/NetworkSerialPort.h"
#include "platform/PeerSilence.h"

using namespace vexa;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Short time-outs keep the suite fast; the window uses the port's own.
constexpr NetworkPortTiming kQuick{300, 1000};

QByteArray Read_All(SerialPort &port, int count, int timeoutMs = 5000)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        std::uint32_t queued = 0, n = 0;
        if (!port.bytesQueued(queued))
            break;
        if (queued == 0) {
            QThread::msleep(2);
            continue;
        }
        std::vector<std::uint8_t> buffer(queued);
        if (!port.read(buffer.data(), queued, n))
            break;
        got.append(reinterpret_cast<const char *>(buffer.data()), n);
    }
    return got;
}

int Thread_Count() { return int(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {})); }

bool Has_Request(const ScriptedComPortServer &server, const Bytes &request)
{
    const auto requests = server.Requests();
    return std::find(requests.begin(), requests.end(), request) != requests.end();
}

}  // namespace

TEST(NetworkSerialPort, OpensOnlyWhenTheDeviceAnswersAndSettingsGoBothWays)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(kQuick);
    ASSERT_TRUE(port.open(server.Name()));
    EXPECT_TRUE(port.isOpen());
    EXPECT_FALSE(port.open(server.Name()));  // already open
    EXPECT_EQ(port.lastError(), EBUSY);
    // The opening offer, then the modem lines wanted and the line-state noise not.
    EXPECT_TRUE(server.Raw_Bytes().startsWith(QByteArray("\xff\xfb\x00\xff\xfd\x00\xff\xfb\x2c", 9)));
    EXPECT_TRUE(Has_Request(server, {11, 0xf0}));
    EXPECT_TRUE(Has_Request(server, {10, 0x00}));

    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    EXPECT_EQ(s.BaudRate, 115200u);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, kNoParity);
    EXPECT_EQ(s.StopBits, kOneStopBit);
    EXPECT_FALSE(s.fOutxCtsFlow);
    EXPECT_EQ(s.fDtrControl, kDtrControlEnable);

    s.BaudRate = 9600;
    s.Parity = kMarkParity;
    s.StopBits = kOne5StopBits;
    s.fOutxCtsFlow = true;
    s.fRtsControl = kRtsControlHandshake;
    ASSERT_TRUE(port.setState(s));
    EXPECT_EQ(server.Baud_Rate(), 9600u);
    EXPECT_TRUE(Has_Request(server, {3, 4}));  // Mark
    EXPECT_TRUE(Has_Request(server, {4, 3}));  // one and a half
    EXPECT_TRUE(Has_Request(server, {5, 3}));  // hardware flow control
    PortSettings back;
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back, s);

    // Unchanged DTR and RTS are not asked for again; a change is.
    const auto before = server.Requests().size();
    ASSERT_TRUE(port.setState(s));
    EXPECT_EQ(server.Requests().size(), before + 5);
    s.fDtrControl = kDtrControlDisable;
    ASSERT_TRUE(port.setState(s));
    EXPECT_TRUE(Has_Request(server, {5, 9}));

    std::uint32_t lines = 0;
    ASSERT_TRUE(port.getModemStatus(lines));
    EXPECT_EQ(lines, 0u);
    server.Modem_Lines(0x3b);  // CTS and DSR, with change bits the status does not carry
    ASSERT_TRUE(server.Wait_For([&] { return port.getModemStatus(lines) && lines == (kMsCtsOn | kMsDsrOn); }));

    ASSERT_TRUE(port.setBreak());
    ASSERT_TRUE(port.clearBreak());
    EXPECT_TRUE(Has_Request(server, {5, 5}));
    EXPECT_TRUE(Has_Request(server, {5, 6}));
    ASSERT_TRUE(port.purge(kPurgeAll));
    EXPECT_TRUE(Has_Request(server, {12, 3}));
}

TEST(NetworkSerialPort, IacHeavyDataCrossesUnchangedBothWays)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(kQuick);
    ASSERT_TRUE(port.open(server.Name()));
    ASSERT_TRUE(port.setEventMask(kEvRxChar));
    const QByteArray all = All_Byte_Values();
    const QByteArray heavy = QByteArray(300, '\xff') + all + QByteArray("\xff\xfa\xff\xf0\xff", 5);

    server.Send_Device(heavy, true);  // pairs split across packets too
    std::uint32_t mask = 0;
    ASSERT_EQ(port.waitForEvent(mask), WaitResult::Event);
    EXPECT_EQ(mask, kEvRxChar);
    EXPECT_EQ(Read_All(port, heavy.size()), heavy);

    ASSERT_TRUE(port.write(reinterpret_cast<const std::uint8_t *>(heavy.constData()), heavy.size()));
    ASSERT_TRUE(server.Wait_For([&] { return server.Device_Bytes().size() >= heavy.size(); }));
    EXPECT_EQ(server.Device_Bytes(), heavy);
    EXPECT_TRUE(server.Raw_Bytes().contains(QByteArray(heavy).replace("\xff", QByteArray("\xff\xff", 2))));

    // Data and answers interleave without mixing.
    server.Send_Device(all);
    PortSettings s;
    EXPECT_TRUE(port.getState(s));
    EXPECT_EQ(Read_All(port, all.size()), all);
}

TEST(NetworkSerialPort, AnUnansweredRequestFailsInTimeAndALateAnswerIsNotTakenForTheNext)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(kQuick);
    ASSERT_TRUE(port.open(server.Name()));
    server.Ignore_Control(9);  // DTR off, as ser2net on a device without modem lines
    server.Ignore_Control(5);  // BREAK on
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.fDtrControl = kDtrControlDisable;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(port.setState(s));
    EXPECT_EQ(port.lastError(), ETIMEDOUT);
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(port.setBreak());
    EXPECT_TRUE(port.clearBreak());

    // Answers slower than the time-out: the request fails, and the stale
    // answers that trail in while the next request waits are not taken for
    // its own.
    NetworkSerialPort slow(NetworkPortTiming{800, 1000});
    port.close();
    ASSERT_TRUE(slow.open(server.Name()));
    server.Answer_Delay_Ms(1100);
    s.BaudRate = 57600;
    s.fDtrControl = kDtrControlEnable;  // as the fresh port has it: not sent
    EXPECT_FALSE(slow.setState(s));
    server.Answer_Delay_Ms(500);  // its own answers come after the stale ones
    s.BaudRate = 19200;
    ASSERT_TRUE(slow.setState(s));
    PortSettings back;
    server.Answer_Delay_Ms(0);
    ASSERT_TRUE(slow.getState(back));
    EXPECT_EQ(back.BaudRate, 19200u);
    slow.close();
    ASSERT_TRUE(port.open(server.Name()));

    // A slow server within the time-out is just slow.
    server.Answer_Delay_Ms(150);
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 19200u);
}

TEST(NetworkSerialPort, ServersThatRefuseOrSayNothingFailTheOpenInTime)
{
    ScriptedComPortServer refusing;
    refusing.Refuse_With("Device open failure: Value or file not found\r\n");
    NetworkSerialPort port(kQuick);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(port.open(refusing.Name()));
    EXPECT_LT(clock.elapsed(), 900);  // the hang-up ends the wait, not the time-out
    EXPECT_FALSE(port.isOpen());

    ScriptedComPortServer silent;
    silent.Say_Nothing(true);
    clock.restart();
    EXPECT_FALSE(port.open(silent.Name()));
    EXPECT_EQ(port.lastError(), ETIMEDOUT);
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 3000);

    ScriptedComPortServer deaf;  // negotiates, answers no request
    deaf.Ignore_All_Requests(true);
    EXPECT_FALSE(port.open(deaf.Name()));

    // A plain telnet server refuses the option: that ends the wait at once.
    ScriptedComPortServer plain;
    plain.Refuse_Option(44);
    clock.restart();
    EXPECT_FALSE(port.open(plain.Name()));
    EXPECT_LT(clock.elapsed(), 500);
    // One that will not carry bytes unchanged serves no serial port.
    ScriptedComPortServer text;
    text.Refuse_Option(0);
    EXPECT_FALSE(port.open(text.Name()));
    EXPECT_EQ(port.lastError(), EPROTO);

    const std::string closed = silent.Name();
    EXPECT_FALSE(port.open("rfc2217://127.0.0.1:1"));  // nobody listens
    EXPECT_FALSE(port.open("rfc2217://127.0.0.1:"));
    EXPECT_EQ(port.lastError(), EINVAL);
    EXPECT_FALSE(port.open("rfc2217://no-such-host.invalid:2000"));

    silent.Say_Nothing(false);
    EXPECT_TRUE(port.open(closed));  // the same port object opens once the server answers
    port.close();
    std::string byName = closed;
    byName.replace(byName.find("127.0.0.1"), 9, "localhost");  // through the resolver
    EXPECT_TRUE(port.open(byName));
}

TEST(NetworkSerialPort, ADroppedConnectionDeliversWhatCameFirstThenEndsTheWait)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(kQuick);
    ASSERT_TRUE(port.open(server.Name()));
    port.setEventMask(kEvRxChar);
    const QByteArray stream(200000, 'S');
    server.Send_Device(stream);
    server.Drop();
    // A reader that starts only now still gets what came before the drop.
    std::uint32_t lines = 0;
    ASSERT_TRUE(server.Wait_For([&] { return !port.getModemStatus(lines); }));
    EXPECT_TRUE(port.prepareWait());

    QByteArray got;
    std::uint32_t mask = 0;
    WaitResult result;
    while ((result = port.waitForEvent(mask)) == WaitResult::Event)
        got += Read_All(port, 1, 100);
    EXPECT_EQ(result, WaitResult::Error);
    EXPECT_EQ(got, stream);
    EXPECT_EQ(port.waitForEvent(mask), WaitResult::Error);  // at once, every time
    PortSettings s;
    EXPECT_FALSE(port.getState(s));
    EXPECT_FALSE(port.write(reinterpret_cast<const std::uint8_t *>("x"), 1));
    EXPECT_LT(Cpu_Seconds_While_Idle(300), 0.1);

    port.close();
    ASSERT_TRUE(port.open(server.Name()));  // the server takes the next connection
    EXPECT_EQ(server.Connections(), 2);
}

// A server whose host is gone says nothing, not even that it is gone: the
// link is found dead in about its time, whether quiet, with writes pending,
// or with its window shut by a device held off before it went.
TEST(NetworkSerialPort, ALinkThatGoesSilentIsFoundDeadInItsTime)
{
    enum Traffic { Quiet, Writing, HeldOff };
    for (const Traffic traffic : {Quiet, Writing, HeldOff}) {
        ScriptedComPortServer server;
        NetworkSerialPort port(NetworkPortTiming{300, 1000, 1000});
        ASSERT_TRUE(port.open(server.Name()));
        const std::vector<std::uint8_t> chunk(256, 'x');
        if (traffic == HeldOff) {
            server.Reading(false);
            QElapsedTimer filling;
            filling.start();
            while (filling.elapsed() < 3000 && port.write(chunk.data(), chunk.size())) {
            }
        }
        server.Vanish();
        QElapsedTimer clock;
        clock.start();
        auto flooding = std::async(std::launch::async, [&] {
            while (traffic == Writing && port.write(chunk.data(), chunk.size()))
                QThread::msleep(20);
        });
        std::uint32_t mask = 0;
        EXPECT_EQ(port.waitForEvent(mask), WaitResult::Error) << traffic;
        const int error = port.lastError();  // a write may meet the dead socket first
        EXPECT_TRUE(error == ETIMEDOUT || (traffic == Writing && error == EPIPE)) << error;
        EXPECT_GE(clock.elapsed(), 700) << traffic;
        EXPECT_LT(clock.elapsed(), traffic == HeldOff ? 20000 : 5000) << traffic;  // a shut window is probed seldom
        flooding.get();
    }
}

// Dead only when data goes unacknowledged for the dead-link time, or
// several probes of a shut window in a row go unanswered: a peer that
// answers each probe, however far apart they come, is alive.
TEST(PeerSilence, OnlyAnAnswerAwaitedForTheDeadLinkTimeMeansDeath)
{
    struct Look {
        std::uint64_t at, answerAgo;
        bool inFlight;
        std::uint32_t probes;
    };
    struct Case {
        const char *what;
        std::vector<Look> looks;
        bool dead;
    };
    const Case cases[] = {
        {"a quiet link", {{0, 0, false, 0}, {30000, 30000, false, 0}}, false},
        {"data unacknowledged, not yet", {{1000, 1000, true, 0}, {20999, 20999, true, 0}}, false},
        {"data unacknowledged", {{1000, 1000, true, 0}, {21000, 21000, true, 0}}, true},
        {"acknowledged meanwhile", {{0, 0, true, 0}, {15000, 10, true, 0}, {30000, 15010, true, 0}}, false},
        {"a shut window, a probe seen in flight", {{60000, 60000, false, 1}, {61000, 1000, false, 0}}, false},
        {"a shut window, an answer lost", {{60000, 60000, false, 1}, {180000, 180000, false, 2}}, false},
        {"a shut window, its probes unanswered", {{60000, 60000, false, 1}, {180000, 180000, false, 3}}, true},
    };
    for (const Case &c : cases) {
        PeerSilence silence(20000);
        bool dead = false;
        for (const Look &look : c.looks)
            dead = silence.Dead(look.at, look.answerAgo, look.inFlight, look.probes);
        EXPECT_EQ(dead, c.dead) << c.what;
    }
}

TEST(NetworkSerialPort, CloseEndsAWaitAndAWriteTheServerDoesNotTake)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(kQuick);
    ASSERT_TRUE(port.open(server.Name()));
    port.setEventMask(kEvRxChar);
    auto waiting = std::async(std::launch::async, [&] {
        std::uint32_t mask = 0;
        return port.waitForEvent(mask);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_LT(Cpu_Seconds_While_Idle(300), 0.1);  // an idle connection costs nothing

    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 110;  // a write's bound grows with the line time: at 110 bit/s 4 KiB may take 15 minutes
    ASSERT_TRUE(port.setState(s));
    server.Reading(false);
    std::atomic<int> writes{0};
    auto writing = std::async(std::launch::async, [&] {
        const std::vector<std::uint8_t> chunk(4096, 'x');
        while (port.write(chunk.data(), chunk.size()))
            ++writes;  // until the loopback's buffers are full and one write waits
        return port.lastError();
    });
    for (int seen = -1; seen != writes;) {
        seen = writes;
        QThread::msleep(300);
    }
    ASSERT_EQ(writing.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    QElapsedTimer clock;
    clock.start();
    port.close();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_LT(clock.elapsed(), 1000);
    const int error = writing.get();
    EXPECT_TRUE(error == ECANCELED || error == EBADF) << error;  // ended under the wait, or just before it
    EXPECT_EQ(waiting.get(), WaitResult::Closed);
    EXPECT_FALSE(port.isOpen());
}

// Data the server cannot take in time is dropped, but the stream stays whole:
// requests and later data still arrive intact once the server reads again.
TEST(NetworkSerialPort, AWriteThatTimesOutLeavesTheStreamWhole)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(NetworkPortTiming{10000, 3000});  // the server has megabytes to catch up on
    ASSERT_TRUE(port.open(server.Name()));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 256000;
    ASSERT_TRUE(port.setState(s));
    server.Reading(false);
    const std::vector<std::uint8_t> chunk(4096, 0xff);
    std::size_t written = 0;
    QElapsedTimer clock;
    clock.start();
    while (port.write(chunk.data(), chunk.size()) && clock.elapsed() < 30000)
        written += chunk.size();
    EXPECT_EQ(port.lastError(), ETIMEDOUT);
    EXPECT_TRUE(port.isOpen());

    server.Reading(true);
    ASSERT_TRUE(server.Wait_For([&] { return std::size_t(server.Device_Bytes().size()) >= written; }, 20000));
    ASSERT_TRUE(port.write(reinterpret_cast<const std::uint8_t *>("OK"), 2));
    ASSERT_TRUE(port.getState(s));
    ASSERT_TRUE(server.Wait_For([&] { return server.Device_Bytes().endsWith("OK"); }, 10000));
    const QByteArray got = server.Device_Bytes();
    EXPECT_GE(std::size_t(got.size()), written + 2);
    EXPECT_LE(std::size_t(got.size()), written + chunk.size() + 2);
    EXPECT_EQ(got.count('\xff'), got.size() - 2);
}

// A full receive queue holds the server back, but not the answer the main
// thread waits for behind the data.
TEST(NetworkSerialPort, AnAnswerBehindMegabytesOfUnreadDataStillComes)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(NetworkPortTiming{5000, 3000});
    ASSERT_TRUE(port.open(server.Name()));
    const QByteArray flood(3 << 20, 'q');
    server.Send_Device(flood);
    std::uint32_t queued = 0;
    ASSERT_TRUE(server.Wait_For([&] { return port.bytesQueued(queued) && queued >= (1u << 20); }));
    QThread::msleep(100);
    EXPECT_LT(queued, std::uint32_t(flood.size()));  // the port stopped reading
    PortSettings s;
    EXPECT_TRUE(port.getState(s));
    EXPECT_EQ(Read_All(port, flood.size()), flood);
}

// The reader, waiting, holds the pump: the room a write far larger than the
// socket waits for, and the answers the main thread waits for, still come.
TEST(NetworkSerialPort, AWaitingReaderPumpsForTheWriterAndTheAsker)
{
    ScriptedComPortServer server;
    NetworkSerialPort port(NetworkPortTiming{2000, 3000});
    ASSERT_TRUE(port.open(server.Name()));
    ASSERT_TRUE(port.setEventMask(kEvRxChar));
    const QByteArray text = All_Byte_Values().repeated(16), big = All_Byte_Values().repeated(32 << 10);
    auto reader = std::async(std::launch::async, [&] {
        QByteArray got;
        for (std::uint32_t mask = 0; got.size() < 10 * text.size() && port.waitForEvent(mask) == WaitResult::Event;)
            got += Read_All(port, 1, 100);
        return got;
    });
    std::atomic<bool> writing{true};
    auto fits = std::async(std::launch::async, [&] {
        for (bool on = false; writing; on = !on) {
            server.Reading(on);
            QThread::msleep(on ? 5 : 20);
        }
        server.Reading(true);
    });
    EXPECT_TRUE(port.write(reinterpret_cast<const std::uint8_t *>(big.constData()), big.size()));
    writing = false;
    fits.get();
    EXPECT_TRUE(server.Wait_For([&] { return server.Device_Bytes() == big; }, 20000));
    PortSettings s;
    for (int i = 0; i < 10; ++i) {
        server.Send_Device(text);
        ASSERT_TRUE(port.getState(s)) << i;
    }
    EXPECT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    port.close();
    EXPECT_EQ(reader.get(), text.repeated(10));
}

// A request with nobody else waiting holds the pump itself: closing ends it
// at once. The port has no thread of its own, open or closed.
TEST(NetworkSerialPort, CloseEndsARequestThatHoldsThePump)
{
    ScriptedComPortServer server;
    const int threads = Thread_Count();
    NetworkSerialPort port(NetworkPortTiming{10000, 3000});
    ASSERT_TRUE(port.open(server.Name()));
    EXPECT_EQ(Thread_Count(), threads);
    server.Ignore_All_Requests(true);
    auto asking = std::async(std::launch::async, [&] {
        PortSettings s;
        return port.getState(s) ? 0 : port.lastError();
    });
    EXPECT_EQ(asking.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    QElapsedTimer clock;
    clock.start();
    port.close();
    ASSERT_EQ(asking.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(asking.get(), ECANCELED);
    for (int i = 0; i < 200 && Thread_Count() != threads; ++i)  // a joined thread may linger in /proc a moment
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Thread_Count(), threads);
}
