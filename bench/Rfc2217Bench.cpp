// Throughput of a network serial port: the same bytes written through ser2net
// on the loopback and written to the served pty directly, read on the far end
// of the pty pair, unpaced (each write as soon as the last returned). The
// receiving direction is shown too. ser2net runs once with its default 64-byte
// buffers, which bound it far below a pty's speed, and once with 64 KiB ones;
// the last line is the sending throughput with those, network over direct.
// The ceiling of the path is measured too: a bare telnet client that agrees
// to BINARY, refuses the COM-PORT option and only sends, through the same
// ser2net; "rfc2217-raw ratio" is its time for the bytes over Vexa's.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <mutex>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/NetworkSerialPort.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/Rfc2217Protocol.h"
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

// The least a telnet client through ser2net must do: answer the server's
// offers (BINARY yes, anything else no), drop what comes back, and send the
// bytes with every 0xFF doubled, blocking until the socket takes them.
class RawTelnet {
public:
    explicit RawTelnet(const std::string &name)
    {
        const auto address = vexa::Network_Port_Address(name);
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(address ? address->port : 0);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        reader_ = std::thread([this] { Answer(); });
    }
    ~RawTelnet()
    {
        if (fd_ < 0)
            return;
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        reader_.join();
        ::close(fd_);
    }
    bool write(const std::uint8_t *data, std::uint32_t count)
    {
        std::vector<std::uint8_t> escaped;
        vexa::rfc2217::Append_Escaped(data, count, escaped);
        std::lock_guard<std::mutex> lock(sending_);
        for (std::size_t at = 0; at < escaped.size();) {
            const ssize_t n = ::send(fd_, escaped.data() + at, escaped.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += std::size_t(n);
        }
        return true;
    }
    bool ok() const { return fd_ >= 0; }

private:
    void Answer()
    {
        using namespace vexa::rfc2217;
        std::uint8_t buffer[4096], verb = 0;
        enum { Data, Iac, Verb, Sub, SubIac } state = Data;
        while (!stop_) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            for (ssize_t i = 0; i < n; ++i) {
                const std::uint8_t b = buffer[i];
                if (state == Data)
                    state = b == kIac ? Iac : Data;
                else if (state == Iac)
                    state = b >= kWill && b <= kDont ? (verb = b, Verb) : b == kSb ? Sub : Data;
                else if (state == Verb) {
                    state = Data;
                    if (verb == kDo || verb == kWill) {
                        const bool yes = b == kOptionBinary;
                        const std::uint8_t reply[3] = {kIac, verb == kDo ? (yes ? kWill : kWont) : (yes ? kDo : kDont),
                                                       b};
                        std::lock_guard<std::mutex> lock(sending_);
                        ::send(fd_, reply, sizeof reply, MSG_NOSIGNAL);
                    }
                } else if (state == Sub)
                    state = b == kIac ? SubIac : Sub;
                else
                    state = b == kSe ? Data : Sub;
            }
        }
    }

    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::mutex sending_;
    std::thread reader_;
};

// MiB/s from the first write to the last byte on the far end; 0 when the
// bytes did not arrive whole.
template <class Port>
double Send(Port &port, Ser2netServer &server, const QByteArray &bytes)
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

// The bare client's send, on a connection of its own.
double Raw_Send(Ser2netServer &server, const QByteArray &bytes)
{
    double figure = 0;
    {
        RawTelnet raw(server.Name().toStdString());
        if (raw.ok())
            figure = Send(raw, server, bytes);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // as after a port's round
    return figure;
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
    std::vector<double> netSend, netReceive, directSend, directReceive, rawSend, sendRatio, receiveRatio, rawRatio;
    for (int round = 0; round < kRounds; ++round) {
        const Figures net = Measure(network, tuned.Name().toStdString(), tuned, bytes);
        const Figures direct = Measure(posix, tuned.Device().toStdString(), tuned, bytes);
        const double raw = Raw_Send(tuned, bytes);
        netSend.push_back(net.send), netReceive.push_back(net.receive);
        directSend.push_back(direct.send), directReceive.push_back(direct.receive);
        rawSend.push_back(raw);
        sendRatio.push_back(direct.send > 0 ? net.send / direct.send : 0);
        receiveRatio.push_back(direct.receive > 0 ? net.receive / direct.receive : 0);
        rawRatio.push_back(raw > 0 ? net.send / raw : 0);  // the raw client's time over Vexa's
    }
    const Figures slow = Measure(network, plain.Name().toStdString(), plain, bytes);

    std::printf("%d MiB in %u-byte writes, median of %d rounds, MiB/s    send  receive\n", kTotal >> 20, kBlock,
                kRounds);
    std::printf("%-48s %8.1f %8.1f\n", "through ser2net, 64 KiB buffers (rfc2217)", Median(netSend),
                Median(netReceive));
    std::printf("%-48s %8.1f\n", "bare telnet client through the same ser2net", Median(rawSend));
    std::printf("%-48s %8.1f %8.1f\n", "the pty directly", Median(directSend), Median(directReceive));
    std::printf("%-48s %8.1f %8.1f  (one round)\n", "through ser2net, its default 64-byte buffers", slow.send,
                slow.receive);
    std::printf("receive ratio %.2f\n", Median(receiveRatio));
    std::printf("rfc2217-raw ratio %.2f\n", Median(rawRatio));
    std::printf("rfc2217 ratio %.2f\n", Median(sendRatio));
    return 0;
}
