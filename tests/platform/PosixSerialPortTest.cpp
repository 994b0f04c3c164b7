#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
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
    struct termios2 before {}, after {};
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
    EXPECT_EQ(pty.drain(500).count('x'), held);
}

TEST(WriteBound, ScalesWithCountAndSpeed)
{
    EXPECT_EQ(Write_Bound_Ms(0, 9600), 1000u);
    EXPECT_EQ(Write_Bound_Ms(1, 9600), 1003u);          // 12 bits twice at 9600: 2.5 ms, rounded up
    EXPECT_EQ(Write_Bound_Ms(65536, 9600), 1000u + 163840u);
    EXPECT_EQ(Write_Bound_Ms(65536, 115200), 1000u + 13654u);
    EXPECT_EQ(Write_Bound_Ms(10, 0), Write_Bound_Ms(10, 110));  // no division by zero
    EXPECT_GT(Write_Bound_Ms(0xFFFFFFFFu, 110), 1000u);
}
