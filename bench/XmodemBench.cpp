// Firmware download speed: Vexa's XMODEM sender against lrzsz's sx, each
// sending the same file to lrzsz's rx over the same link, a pty whose master
// side a relay joins to rx. Once paced like a serial line at 115200 bit/s
// (8N1), once unpaced, which shows each sender's turnaround per block.
//
// Then both send it once more, paced, to `rx -c` in 1024-byte CRC blocks
// (Vexa with "Блоки 1024 байт" ticked, `sx -k`); and 256 KiB so over a slow
// line: the link relay paced at 115200 bit/s and 100 ms each way, as a modem
// behind a network port is.
//
// The times run from the sender's first byte to its EOT, as the relay sees
// them. The pacing here is the least this measurement needs: each chunk is
// delivered when the line would have carried its last byte.
//
//   xmodem_bench [KiB]     the file size, 1024 (1 MiB) unless given

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "link_relay.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "xmodem/FirmwareDownload.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLineBitsPerSecond = 115200;
constexpr double kBitsPerByte = 10;  // start, 8 data, stop
constexpr int kSlowKib = 256;

void Write_All(int fd, const char *bytes, ssize_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n > 0)
            bytes += n, count -= n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

pid_t Spawn(const char *const argv[], int in, int out, const char *folder)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        if (::chdir(folder) != 0)
            ::_exit(126);
        ::execvp(argv[0], const_cast<char *const *>(argv));
        ::_exit(127);
    }
    return pid;
}

// rx behind two pipes, joined to a pty master by two relay threads, one per
// direction. Pipes, because rx flushes its terminal right after its last
// ACK, which on a pty would discard that ACK.
class Link {
public:
    Link(int master, bool paced, const QString &folder, std::int64_t senderBytes, bool crc = false)
        : master_(master), paced_(paced), senderBytes_(senderBytes)
    {
        int toRx[2], fromRx[2];
        if (::pipe(toRx) != 0 || ::pipe(fromRx) != 0 || ::pipe(stop_) != 0)
            throw std::runtime_error("pipe failed");
        const QByteArray where = folder.toLocal8Bit();
        const char *const rx[] = {"rx", "-b", "-q", "-y", "received.bin", crc ? "-c" : nullptr, nullptr};
        rx_ = Spawn(rx, toRx[0], fromRx[1], where.constData());
        ::close(toRx[0]);
        ::close(fromRx[1]);
        toRx_ = toRx[1];
        fromRx_ = fromRx[0];
        toReceiver_ = std::thread([this] { Carry(master_, toRx_, true); });
        toSender_ = std::thread([this] { Carry(fromRx_, master_, false); });
    }
    ~Link()
    {
        Write_All(stop_[1], "x", 1);
        toReceiver_.join();
        toSender_.join();
        ::kill(rx_, SIGKILL);
        ::waitpid(rx_, nullptr, 0);
        for (int fd : {toRx_, fromRx_, stop_[0], stop_[1]})
            ::close(fd);
    }
    bool Done() const { return eotAt_.load() != Clock::time_point(); }
    double Seconds() const { return std::chrono::duration<double>(eotAt_.load() - firstAt_.load()).count(); }
    // From a reply handed to the sender to the sender's next byte, on average.
    double Turnaround_Us() const
    {
        return turns_ ? std::chrono::duration<double, std::micro>(turnaround_).count() / turns_ : 0;
    }

private:
    void Carry(int from, int to, bool fromSender)
    {
        const auto byteTime = std::chrono::nanoseconds(std::int64_t(1e9 * kBitsPerByte / kLineBitsPerSecond));
        Clock::time_point lineFree = Clock::now();
        std::int64_t seen = 0;
        char buffer[4096];
        for (;;) {
            pollfd fds[2] = {{from, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0)
                return;
            const Clock::time_point now = Clock::now();
            if (fromSender)
                Note_Sender_Bytes(seen, n, now);
            if (paced_) {
                lineFree = std::max(lineFree, now) + n * byteTime;
                std::this_thread::sleep_until(lineFree);
            }
            Write_All(to, buffer, n);
            if (!fromSender)
                replyAt_ = Clock::now();
        }
    }

    // The sender's byte after all its blocks is the EOT (the link is clean,
    // so no block is repeated).
    void Note_Sender_Bytes(std::int64_t &seen, ssize_t count, Clock::time_point now)
    {
        if (seen == 0)
            firstAt_ = now;
        else if (const Clock::time_point reply = replyAt_.exchange({}); reply != Clock::time_point())
            turnaround_ += now - reply, ++turns_;
        seen += count;
        if (seen > senderBytes_ && !Done())
            eotAt_ = now;
    }

    int master_;
    bool paced_;
    std::int64_t senderBytes_;
    int toRx_ = -1, fromRx_ = -1;
    int stop_[2] = {-1, -1};
    pid_t rx_ = -1;
    std::atomic<Clock::time_point> firstAt_{}, eotAt_{}, replyAt_{};
    Clock::duration turnaround_{};  // the sender's side only
    std::int64_t turns_ = 0;
    std::thread toReceiver_, toSender_;
};

// The sender's port and rx's end of the line: a pty's slave and master, or
// the two far ends of the relay (then the relay paces and delays).
struct Line {
    int master = -1, slave = -1;
    char name[256] = {};
    std::unique_ptr<vexa::linkrelay::LinkRelay> relay;
    explicit Line(bool slow)
    {
        if (!slow) {
            if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
                throw std::runtime_error("openpty failed");
            return;
        }
        vexa::linkrelay::LinkOptions far{std::uint32_t(kLineBitsPerSecond)};
        far.delay = std::chrono::milliseconds(100);
        relay = std::make_unique<vexa::linkrelay::LinkRelay>(far, far);
        std::snprintf(name, sizeof name, "%s", relay->Slave_A().c_str());
        slave = ::open(name, O_RDWR | O_NOCTTY);
        master = ::open(relay->Slave_B().c_str(), O_RDWR | O_NOCTTY);
    }
    ~Line()
    {
        ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
};

// Runs the event loop as the application does, so that the reader's
// hand-overs are served the moment they come.
void Run_Until(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(20);
    QTimer::singleShot(std::chrono::minutes(10), &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
}

struct Figures {
    double seconds = -1;  // first byte to EOT
    double turnaroundUs = 0;
};

Figures Figures_Of(const Link &link, bool ok) { return ok ? Figures{link.Seconds(), link.Turnaround_Us()} : Figures{}; }

// How a run sends the file: 128-byte checksum blocks, or 1024-byte CRC ones.
struct Blocks {
    std::int64_t count;
    bool oneK;
    std::int64_t Bytes() const { return count * (oneK ? 1029 : 132); }
};

// Vexa as a user drives it: port picked, programming page, "Прошить" once
// the receiver is ready.
Figures Vexa_Run(const QString &file, Blocks blocks, bool paced, const QString &folder, bool slow = false)
{
    Line pty(slow);
    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->ComboBox1->lineEdit()->selectAll();
    form->ComboBox1->lineEdit()->insert(QString::fromLocal8Bit(pty.name));
    form->PageControl1->setCurrentIndex(2);
    FirmwareDownload &fw = *form->Firmware;
    Link link(pty.master, paced && !slow, folder, blocks.Bytes(), blocks.oneK);
    Run_Until([&] { return !fw.SpeedButton15->isHidden(); });
    fw.CheckBox6->setChecked(blocks.oneK);
    fw.Edit7->setText(file);
    form->SpeedButton15Click();
    Run_Until([&] { return !fw.Sender.Running(); });
    return Figures_Of(link, link.Done());
}

Figures Sx_Run(const QString &file, Blocks blocks, bool paced, const QString &folder, bool slow = false)
{
    Line pty(slow);
    const QByteArray path = file.toLocal8Bit();
    const QByteArray where = folder.toLocal8Bit();
    const char *const sx[] = {"sx", "-q", "-b", path.constData(), blocks.oneK ? "-k" : nullptr, nullptr};
    const pid_t pid = Spawn(sx, pty.slave, pty.slave, where.constData());
    ::close(pty.slave);
    pty.slave = -1;
    Link link(pty.master, paced && !slow, folder, blocks.Bytes(), blocks.oneK);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return Figures_Of(link, link.Done() && WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

QString Write_Firmware(const QString &folder, std::int64_t size)
{
    QFile file(QDir(folder).filePath(QStringLiteral("firmware.bin")));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    std::uint32_t seed = 1;
    QByteArray bytes(size, '\0');
    for (char &byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = char(seed >> 16);
    }
    file.write(bytes);
    return file.fileName();
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    vexa::Set_Message_Sink(
        [](vexa::MessageKind, const QString &text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
    const std::int64_t kib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1024;
    QTemporaryDir start;
    QDir::setCurrent(start.path());
    const QString file = Write_Firmware(start.path(), kib * 1024);
    const Blocks blocks{(kib * 1024 + 127) / 128, false};
    const Blocks longBlocks{kib, true};  // whole KiB: no 128-byte block at the end

    const Figures vexaFast = Vexa_Run(file, blocks, false, start.path());
    const Figures sxFast = Sx_Run(file, blocks, false, start.path());
    std::printf("unpaced, per block:                 Vexa %8.1f us   sx %8.1f us\n",
                vexaFast.seconds / blocks.count * 1e6, sxFast.seconds / blocks.count * 1e6);
    const Figures vexa = Vexa_Run(file, blocks, true, start.path());
    const Figures sx = Sx_Run(file, blocks, true, start.path());
    std::printf("paced, reply in to next block out:  Vexa %8.1f us   sx %8.1f us\n", vexa.turnaroundUs,
                sx.turnaroundUs);
    std::printf("%lld KiB at 115200 bit/s:           Vexa %8.2f s    sx %8.2f s\n", static_cast<long long>(kib),
                vexa.seconds, sx.seconds);
    const bool ok = vexa.seconds > 0 && sx.seconds > 0 && vexaFast.seconds > 0 && sxFast.seconds > 0;
    std::printf("xmodem ratio %.2f\n", ok ? sx.seconds / vexa.seconds : 0.0);
    const Figures vexa1k = Vexa_Run(file, longBlocks, true, start.path());
    const Figures sx1k = Sx_Run(file, longBlocks, true, start.path());
    std::printf("%lld KiB in 1024-byte CRC blocks:   Vexa %8.2f s    sx -k %5.2f s\n", static_cast<long long>(kib),
                vexa1k.seconds, sx1k.seconds);
    const bool ok1k = vexa1k.seconds > 0 && sx1k.seconds > 0;
    std::printf("xmodem-1k ratio %.2f\n", ok1k ? sx1k.seconds / vexa1k.seconds : 0.0);
    const QString slowFile = Write_Firmware(start.path(), kSlowKib * 1024);
    const Figures vexaSlow = Vexa_Run(slowFile, {kSlowKib, true}, true, start.path(), true);
    const Figures sxSlow = Sx_Run(slowFile, {kSlowKib, true}, true, start.path(), true);
    std::printf("%d KiB in 1024-byte CRC blocks, 100 ms each way: Vexa %6.2f s    sx -k %6.2f s\n", kSlowKib,
                vexaSlow.seconds, sxSlow.seconds);
    const bool okSlow = vexaSlow.seconds > 0 && sxSlow.seconds > 0;
    std::printf("xmodem-slow ratio %.2f\n", okSlow ? sxSlow.seconds / vexaSlow.seconds : 0.0);
    return ok && ok1k && okSlow ? 0 : 1;
}
