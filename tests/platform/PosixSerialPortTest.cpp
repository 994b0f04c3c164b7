#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <future>
#include <thread>
#include <unistd.h>

#include "platform/PosixSerialPort.h"
#include "platform/TermiosMapping.h"
#include "platform/WriteBound.h"
#include "support/TestSupport.h"

using namespace vexa;

namespace {

std::string Path(const Pty &pty) { return pty.slavePath().toStdString(); }

}  // namespace

TEST(PosixSerialPort, OpensExclusivelyAndReopensAfterClose)
{
    Pty pty;
    PosixSerialPort first, second;
    ASSERT_TRUE(first.open(Path(pty)));
    EXPECT_FALSE(second.open(Path(pty)));
    EXPECT_EQ(second.lastError(), EBUSY);
    first.close();
    EXPECT_TRUE(second.open(Path(pty)));
    EXPECT_FALSE(first.open("/dev/vexa-no-such-port"));
    EXPECT_FALSE(first.open("/dev/null"));  // not a serial device
}

TEST(PosixSerialPort, ProbingChangesNothingAndFailsOnAHeldPort)
{
    Pty pty;
    struct termios2 before {
    }, after{};
    ASSERT_EQ(::ioctl(pty.slave(), TCGETS2, &before), 0);
    ASSERT_TRUE(before.c_lflag & ECHO);
    PosixSerialPort prober, holder;
    EXPECT_TRUE(prober.probe(Path(pty)));
    EXPECT_FALSE(prober.isOpen());
    ASSERT_EQ(::ioctl(pty.slave(), TCGETS2, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);  // a probe leaves a console's settings alone
    EXPECT_EQ(after.c_iflag, before.c_iflag);

    ASSERT_TRUE(holder.open(Path(pty)));
    EXPECT_FALSE(prober.probe(Path(pty)));
    ASSERT_EQ(::ioctl(pty.slave(), TCGETS2, &after), 0);
    EXPECT_FALSE(after.c_lflag & (ECHO | ICANON));  // the opened port is raw
    holder.close();
    EXPECT_TRUE(prober.probe(Path(pty)));
}

TEST(PosixSerialPort, BytesCrossUnchangedBothWays)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    const QByteArray out("AT\r\n\x00\x7f\xff\x03", 8);
    ASSERT_TRUE(port.write(reinterpret_cast<const std::uint8_t *>(out.constData()), out.size()));
    EXPECT_EQ(pty.read(out.size()), out);  // no CR/NL rewriting on the way out

    const QByteArray in("OK\r\n\x03\x1a", 6);
    pty.write(in);
    std::uint32_t mask = 0;
    ASSERT_TRUE(port.setEventMask(kEvRxChar));
    ASSERT_EQ(port.waitForEvent(mask), WaitResult::Event);
    EXPECT_EQ(mask, kEvRxChar);
    QThread::msleep(50);
    std::uint32_t queued = 0, got = 0;
    ASSERT_TRUE(port.bytesQueued(queued));
    EXPECT_EQ(queued, 6u);
    std::uint8_t buffer[16];
    ASSERT_TRUE(port.read(buffer, queued, got));
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(buffer), got), in);
    EXPECT_TRUE(pty.drain(100).isEmpty());  // nothing echoed back to the modem
}

// A pseudo-terminal forces 8 data bits and no parity (the kernel's pty
// driver does so on every change); speed and stop bits are its own to keep.
TEST(PosixSerialPort, SettingsRoundTripIncludingNonClassicSpeeds)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 256000;
    s.ByteSize = 7;
    s.Parity = kEvenParity;
    s.StopBits = kTwoStopBits;
    ASSERT_TRUE(port.setState(s));
    PortSettings back;
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 256000u);
    EXPECT_EQ(back.StopBits, kTwoStopBits);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Parity, kNoParity);

    s.BaudRate = 14400;
    s.StopBits = kOne5StopBits;  // with 7 data bits: refused, nothing changes
    EXPECT_FALSE(port.setState(s));
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 256000u);
    EXPECT_EQ(back.StopBits, kTwoStopBits);
    s.StopBits = kOneStopBit;
    ASSERT_TRUE(port.setState(s));
    ASSERT_TRUE(port.getState(back));
    EXPECT_EQ(back.BaudRate, 14400u);
    EXPECT_EQ(back.StopBits, kOneStopBit);
}

TEST(PosixSerialPort, CloseEndsAPendingWaitAtOnce)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    port.setEventMask(kEvRxChar);
    ASSERT_TRUE(port.prepareWait());
    auto waiting = std::async(std::launch::async, [&] {
        std::uint32_t mask = 0;
        return port.waitForEvent(mask);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    port.close();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(waiting.get(), WaitResult::Closed);
    EXPECT_FALSE(port.isOpen());
}

TEST(PosixSerialPort, VanishedDeviceEndsTheWaitWithAnError)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    port.setEventMask(kEvRxChar);
    pty.closeSlave();
    pty.closeMaster();
    std::uint32_t mask = 0;
    auto waiting = std::async(std::launch::async, [&] { return port.waitForEvent(mask); });
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(waiting.get(), WaitResult::Error);
}

// A time-out ends the write that waited; what the line already holds, of
// earlier writes reported written, stays and leaves when the line frees.
TEST(PosixSerialPort, AWriteTheLineCannotTakeFailsAndDropsNothingTakenBefore)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 256000;
    ASSERT_TRUE(port.setState(s));
    // Nobody reads the master: fill the line through the test's own slave
    // descriptor until it takes nothing more.
    const std::vector<std::uint8_t> block(4096, 'x');
    ::fcntl(pty.slave(), F_SETFL, ::fcntl(pty.slave(), F_GETFL) | O_NONBLOCK);
    qsizetype held = 0;
    for (int quiet = 0; quiet < 3;) {
        const ssize_t n = ::write(pty.slave(), block.data(), block.size());
        if (n > 0)
            quiet = 0, held += n;
        else
            ++quiet, QThread::msleep(30);
    }

    QElapsedTimer clock;
    clock.start();
    const std::uint8_t ten[10] = {};
    EXPECT_FALSE(port.write(ten, sizeof ten));
    EXPECT_EQ(port.lastError(), ETIMEDOUT);
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 10000);  // bounded, not hung

    // Asked to stop, a held-off write ends at once.
    std::atomic<bool> stop{false};
    auto stopped = std::async(std::launch::async, [&] {
        std::uint32_t taken = 0;
        return port.write(ten, sizeof ten, taken, &stop) ? 0 : port.lastError();
    });
    QThread::msleep(200);
    clock.restart();
    stop = true;
    EXPECT_EQ(stopped.get(), ECANCELED);
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_EQ(pty.drain(500).count('x'), held);
}

// The far side takes a kilobyte every 50 ms: the write lasts longer than
// its bound, yet the line never stands still, so it never times out.
TEST(PosixSerialPort, AWriteOnALineThatMovesSlowlyLastsAsLongAsItNeeds)
{
    Pty pty;
    PosixSerialPort port;
    ASSERT_TRUE(port.open(Path(pty)));
    PortSettings s;
    ASSERT_TRUE(port.getState(s));
    s.BaudRate = 4000000;
    ASSERT_TRUE(port.setState(s));
    std::atomic<bool> writing{true};
    std::thread slowPeer([&] {
        char bytes[1024];
        while (writing) {
            QThread::msleep(50);
            while (::read(pty.master(), bytes, sizeof bytes) < 0 && errno == EINTR) {
            }
        }
    });
    const std::vector<std::uint8_t> block(64 * 1024, 'y');
    QElapsedTimer clock;
    clock.start();
    std::uint32_t taken = 0;
    const bool written = port.write(block.data(), block.size(), taken, nullptr);
    const qint64 took = clock.elapsed();
    writing = false;
    slowPeer.join();
    EXPECT_TRUE(written) << port.lastError();
    EXPECT_EQ(taken, block.size());
    std::printf("a slow line took %lld ms for 64 KiB, against a bound of %u ms\n", (long long)took,
                Write_Bound_Ms(block.size(), s.BaudRate));
    EXPECT_GT(took, Write_Bound_Ms(block.size(), s.BaudRate));
}

// The bound runs from the last time the line moved: bytes taken, or fewer
// bytes in the driver's queue than at the last look.
TEST(WriteWatch, TheBoundRunsFromTheLastMove)
{
    enum Kind { Took, Queued };
    struct Look {
        std::uint64_t at;
        Kind kind;
        std::int64_t level;
    };
    struct Case {
        const char *what;
        std::vector<Look> looks;
        std::uint64_t stalledAt;
    };
    const Case cases[] = {
        {"nothing moves", {}, 1000},
        {"bytes taken", {{800, Took, 0}}, 1800},
        {"a queue that drains", {{100, Queued, 4000}, {900, Queued, 3999}}, 1900},
        {"a queue that stands", {{100, Queued, 4000}, {900, Queued, 4000}}, 1000},
        {"a driver that cannot tell", {{100, Queued, -1}, {900, Queued, -1}}, 1000},
        {"a queue grown by what was taken",
         {{100, Queued, 100}, {200, Took, 0}, {300, Queued, 356}, {1100, Queued, 300}},
         2100},
    };
    for (const Case &c : cases) {
        WriteWatch watch(1000, 0);
        for (const Look &look : c.looks)
            look.kind == Took ? watch.Took(look.at) : watch.Queued(look.at, look.level);
        EXPECT_FALSE(watch.Stalled(c.stalledAt - 1)) << c.what;
        EXPECT_TRUE(watch.Stalled(c.stalledAt)) << c.what;
        EXPECT_EQ(watch.Wait_Ms(c.stalledAt - 20), 20u) << c.what;
    }
    EXPECT_EQ(WriteWatch(1000, 0).Wait_Ms(0), kWriteLookMs);
}

TEST(WriteBound, ScalesWithCountAndSpeed)
{
    EXPECT_EQ(Write_Bound_Ms(0, 9600), 1000u);
    EXPECT_EQ(Write_Bound_Ms(1, 9600), 1003u);  // 12 bits twice at 9600: 2.5 ms, rounded up
    EXPECT_EQ(Write_Bound_Ms(65536, 9600), 1000u + 163840u);
    EXPECT_EQ(Write_Bound_Ms(65536, 115200), 1000u + 13654u);
    EXPECT_EQ(Write_Bound_Ms(10, 0), Write_Bound_Ms(10, 110));  // no division by zero
    EXPECT_GT(Write_Bound_Ms(0xFFFFFFFFu, 110), 1000u);
}
