// Throughput of a network serial port: the same bytes written through ser2net
// on the loopback and written to the served pty directly, read on the far end
// of the pty pair, unpaced (each write as soon as the last returned). The
// receiving direction is shown too. ser2net runs once with its default 64-byte
// buffers, which bound it far below a pty's speed, and once with 64 KiB ones;
// the last line is the sending throughput with those, network over direct.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/NetworkSerialPort.h"
#include "platform/PosixSerialPort.h"
#include "tests/platform/Ser2netServer.h"

namespace {

constexpr int kTotal = 8 << 20;
constexpr std::uint32_t kBlock = 4096;
constexpr int kRounds = 5;

// Every byte value, 0xFF included, so that IAC doubling is paid for.
QByteArray Pattern()
{
    QByteArray bytes(kTotal, '\0');
    for (int i = 0; i < kTotal; ++i)
        bytes[i] = char(i * 7 + i / 256);
    return bytes;
}

// MiB/s from the first write to the last byte on the far end; 0 when the
// bytes did not arrive whole.
double Send(vexa::SerialPort &port, Ser2netServer &server, const QByteArray &bytes)
{
    QElapsedTimer clock;
    clock.start();
    bool written = true;
    std::thread writer([&] {
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        for (int at = 0; at < bytes.size() && written; at += kBlock)
            written = port.write(data + at, std::min<std::uint32_t>(kBlock, std::uint32_t(bytes.size() - at)));
    });
    const QByteArray got = server.Read_Far(bytes.size(), 60000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    writer.join();
    return written && got == bytes ? bytes.size() / 1048576.0 / seconds : 0;
}

double Receive(vexa::SerialPort &port, Ser2netServer &server, const QByteArray &bytes)
{
    port.purge(vexa::kPurgeAll);
    QElapsedTimer clock;
    clock.start();
    std::thread far([&] { server.Write_Far(bytes); });
    QByteArray got;
    std::vector<std::uint8_t> buffer(65536);
    while (got.size() < bytes.size() && clock.elapsed() < 60000) {
        std::uint32_t mask = 0, queued = 0, n = 0;
        if (port.waitForEvent(mask) != vexa::WaitResult::Event || !port.bytesQueued(queued))
            break;
        port.read(buffer.data(), std::min<std::uint32_t>(queued, 65536), n);
        got.append(reinterpret_cast<const char *>(buffer.data()), n);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    far.join();
    return got == bytes ? bytes.size() / 1048576.0 / seconds : 0;
}

struct Figures {
    double send = 0, receive = 0;
};

// One round on a freshly opened port.
Figures Measure(vexa::SerialPort &port, const std::string &name, Ser2netServer &server, const QByteArray &bytes)
{
    Figures figures;
    if (!port.open(name) || !port.setEventMask(vexa::kEvRxChar) || !port.prepareWait()) {
        std::printf("cannot open %s (error %d)\n", name.c_str(), port.lastError());
        return figures;
    }
    figures.send = Send(port, server, bytes);
    figures.receive = Receive(port, server, bytes);
    port.close();
    // ser2net lets go of the device a moment after the connection ends, and
    // flushes it as it does: the next round must not start before that.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return figures;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

// The two paths take turns, round by round, so that whatever else the
// machine does weighs on both alike; each figure is the median of its rounds.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Ser2netServer tuned(QString(), 65536), plain;
    if (!tuned.Ready() || !plain.Ready()) {
        std::printf("no ser2net: %s%s\n", qPrintable(tuned.Why_Not()), qPrintable(plain.Why_Not()));
        return 1;
    }
    const QByteArray bytes = Pattern();
    vexa::NetworkSerialPort network;
    vexa::PosixSerialPort posix;
    std::vector<double> netSend, netReceive, directSend, directReceive, sendRatio, receiveRatio;
    for (int round = 0; round < kRounds; ++round) {
        const Figures net = Measure(network, tuned.Name().toStdString(), tuned, bytes);
        const Figures direct = Measure(posix, tuned.Device().toStdString(), tuned, bytes);
        netSend.push_back(net.send), netReceive.push_back(net.receive);
        directSend.push_back(direct.send), directReceive.push_back(direct.receive);
        sendRatio.push_back(direct.send > 0 ? net.send / direct.send : 0);
        receiveRatio.push_back(direct.receive > 0 ? net.receive / direct.receive : 0);
    }
    const Figures slow = Measure(network, plain.Name().toStdString(), plain, bytes);

    std::printf("%d MiB in %u-byte writes, median of %d rounds, MiB/s    send  receive\n", kTotal >> 20, kBlock,
                kRounds);
    std::printf("%-48s %8.1f %8.1f\n", "through ser2net, 64 KiB buffers (rfc2217)", Median(netSend),
                Median(netReceive));
    std::printf("%-48s %8.1f %8.1f\n", "the pty directly", Median(directSend), Median(directReceive));
    std::printf("%-48s %8.1f %8.1f  (one round)\n", "through ser2net, its default 64-byte buffers", slow.send,
                slow.receive);
    std::printf("receive ratio %.2f\n", Median(receiveRatio));
    std::printf("rfc2217 ratio %.2f\n", Median(sendRatio));
    return 0;
}
