// file_protocol_bench: how close the file protocol between two Vexa windows
// comes to the link it runs on. The same bytes cross the same link twice:
// once as a raw copy (written at one end, read at the other), once as a
// file sent by one window and received by the other, from "Передать файл"
// to the last acknowledgement, the receiver accepting at once. Both run
// unpaced (as fast as the pseudo-terminals go) and through the link relay
// paced at 115200 bit/s (10 bits a byte), with the windows' default
// intervals. "file-protocol ratio" is the paced run's raw time over protocol
// time.
//
// Then the file crosses the paced link once more while every fourth data
// frame is damaged the first time it passes (a byte added, then one lost):
// "file-lossy ratio" is the clean paced protocol time over the damaged one.
// A damaged frame should cost about one more frame time, not an interval.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <random>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "link_relay.h"
#include "transfer/FrameParser.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

using vexa::linkrelay::Damage;
using vexa::linkrelay::LinkOptions;
using vexa::linkrelay::LinkRelay;
using vexa::linkrelay::Outlet;

namespace {

constexpr qsizetype kFileSize = 8 * 32768;  // eight full frames
constexpr std::uint32_t kLineRate = 115200;
constexpr qint64 kGiveUpMs = 600000;

int Open_Raw(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Seconds from the first byte written at A to the last byte read at B.
double Raw_Copy(std::uint32_t rate, const QByteArray &data)
{
    LinkRelay relay(rate, rate);
    const int a = Open_Raw(relay.Slave_A()), b = Open_Raw(relay.Slave_B());
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    std::thread writer([&] {
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t n = ::write(a, data.constData() + done, size_t(data.size() - done));
            done += n > 0 ? n : 0;
        }
    });
    while (got.size() < data.size()) {
        char buffer[65536];
        const ssize_t n = ::read(b, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    writer.join();
    ::close(a);
    ::close(b);
    if (got != data)
        std::printf("raw copy: the bytes differ\n");
    return seconds;
}

// Cuts what the sender writes into frames and damages every fourth data
// frame once, in the middle: a byte added, the next time one lost.
class FrameDamager : public FrameParser::Listener {
public:
    void Take(const std::uint8_t *bytes, std::size_t count, Outlet &out)
    {
        out_ = &out;
        parser_.Feed(bytes, static_cast<std::uint32_t>(count), *this);
    }
    int Damaged() const { return damaged_; }

private:
    void Frame_Begun(FrameKind) override {}
    void Frame_Dropped(FrameKind) override {}
    void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) override
    {
        const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
        if (kind != FrameKind::Data || !number || *number % 4 != 0 || *number <= lastDamaged_) {
            out_->Send(frame, length);
            return;
        }
        lastDamaged_ = *number;
        const Damage damage = damaged_++ % 2 == 0 ? Damage::Insert : Damage::Delete;
        out_->Send(vexa::linkrelay::Damaged(frame, length, damage, length / 2));
    }

    FrameParser parser_;
    Outlet *out_ = nullptr;
    std::uint64_t lastDamaged_ = 0;
    int damaged_ = 0;
};

std::unique_ptr<TForm1> Window(const QTemporaryDir &start, const std::string &port)
{
    QDir(start.path()).mkpath("ReseiveFile");
    QDir(start.path()).mkpath("Logs");
    QDir::setCurrent(start.path());
    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->ComboBox1->lineEdit()->selectAll();
    form->ComboBox1->lineEdit()->insert(QString::fromStdString(port));
    form->PageControl1->setCurrentIndex(1);
    return form;
}

// Seconds from "Передать файл" until the sender has the last acknowledgement.
double Protocol_Copy(std::uint32_t rate, const QByteArray &data, FrameDamager *damager = nullptr)
{
    LinkOptions forward(rate);
    if (damager)
        forward.hook = [damager](const std::uint8_t *bytes, std::size_t count, Outlet &out) {
            damager->Take(bytes, count, out);
        };
    LinkRelay relay(forward, rate);
    QTemporaryDir startA, startB;
    auto sender = Window(startA, relay.Slave_A());
    auto receiver = Window(startB, relay.Slave_B());
    const QString path = startA.filePath("bench.bin");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    file.close();
    vexa::Set_File_Dialog_Sink([path](const vexa::FileDialogRequest &) { return path; });
    sender->SpeedButton11->click();

    QElapsedTimer clock;
    clock.start();
    sender->SpeedButton12->click();
    // The user accepts as soon as asked; the run ends with the sender's end.
    QEventLoop loop;
    QTimer watch;
    bool started = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (receiver->Transfer->State.Receiver.State() == ReceiveSession::Phase::Asked)
            receiver->Form5->SpeedButton1->click();
        started = started || sender->Transfer->State.Sender.State() == SendSession::Phase::Sending;
        if ((started && sender->Transfer->State.Sender.State() == SendSession::Phase::Idle) ||
            clock.elapsed() > kGiveUpMs)
            loop.quit();
    });
    watch.start(1);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    QFile received(startB.filePath("ReseiveFile/bench.bin"));
    received.open(QIODevice::ReadOnly);
    if (received.readAll() != data)
        std::printf("protocol copy: the received file differs\n");
    vexa::Set_File_Dialog_Sink(nullptr);
    return seconds;
}

void Report(const char *link, double raw, double protocol)
{
    const double kib = kFileSize / 1024.0;
    std::printf("%s: raw copy %.3f s (%.1f KiB/s), file protocol %.3f s (%.1f KiB/s), ratio %.2f\n", link, raw,
                kib / raw, protocol, kib / protocol, raw / protocol);
}

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vexa::Set_Message_Sink(
        [](vexa::MessageKind, const QString &text) { std::printf("message: %s\n", text.toUtf8().constData()); });
    std::mt19937 random(1);
    QByteArray data(kFileSize, '\0');
    for (char &c : data)
        c = char(random());
    const QString home = QDir::currentPath();

    std::printf("file of %lld bytes (%lld frames) between two windows over two pty pairs and a relay\n",
                static_cast<long long>(kFileSize), static_cast<long long>(kFileSize / 32768));
    Report("unpaced", Raw_Copy(0, data), Protocol_Copy(0, data));
    QDir::setCurrent(home);
    const double raw = Raw_Copy(kLineRate, data);
    const double protocol = Protocol_Copy(kLineRate, data);
    QDir::setCurrent(home);
    Report("paced at 115200 bit/s", raw, protocol);
    std::printf("file-protocol ratio %.2f\n", raw / protocol);

    FrameDamager damager;
    const double lossy = Protocol_Copy(kLineRate, data, &damager);
    QDir::setCurrent(home);
    std::printf("paced, %d data frames damaged once: file protocol %.3f s (%.1f KiB/s)\n", damager.Damaged(), lossy,
                kFileSize / 1024.0 / lossy);
    std::printf("file-lossy ratio %.2f\n", protocol / lossy);
    return 0;
}
