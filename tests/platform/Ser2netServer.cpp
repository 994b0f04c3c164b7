#include "Ser2netServer.h"

#include <QDeadlineTimer>
#include <functional>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port the kernel just handed out and took back; a clash with another
// program is caught by the retry in the caller.
quint16 Free_Port()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// Whether something listens on 127.0.0.1:port, read from the kernel's table
// rather than by connecting, which ser2net would take for a client.
bool Listening(quint16 port)
{
    QFile table("/proc/net/tcp");
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A")
            return true;
    }
    return false;
}

bool Wait_For(const std::function<bool()> &condition, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

}  // namespace

Ser2netServer::Ser2netServer(const QString &device, int bufferSize) : device_(device), bufferSize_(bufferSize)
{
    if (device_.isEmpty()) {
        device_ = dir_.filePath("device");
        socat_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        socat_.start("socat", {"pty,raw,echo=0,link=" + device_, "pty,raw,echo=0,link=" + Far()});
        if (!socat_.waitForStarted(5000) ||
            !Wait_For([&] { return QFileInfo::exists(device_) && QFileInfo::exists(Far()); }, 5000)) {
            whyNot_ = "socat did not make its pty pair: " + socat_.errorString();
            return;
        }
    }
    for (int attempt = 0; attempt < 5 && !ready_; ++attempt) {
        port_ = Free_Port();
        ready_ = Start_Ser2net();
    }
}

Ser2netServer::~Ser2netServer()
{
    if (far_ >= 0)
        ::close(far_);
    Stop(ser2net_);
    Stop(socat_);
}

// A polite end first; one that ignores it is ended by force.
void Ser2netServer::Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

bool Ser2netServer::Start_Ser2net()
{
    const QString config = dir_.filePath("ser2net.yaml");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QString yaml = QString(
                       "connection: &vexa\n"
                       "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                       "  connector: serialdev,%2,115200n81,local\n")
                       .arg(port_)
                       .arg(device_);
    if (bufferSize_ > 0)
        yaml += QString("  options:\n    dev-to-net-bufsize: %1\n    net-to-dev-bufsize: %1\n").arg(bufferSize_);
    file.write(yaml.toUtf8());
    file.close();
    ser2net_.setStandardOutputFile(QProcess::nullDevice());
    ser2net_.setStandardErrorFile(dir_.filePath("ser2net.log"));
    ser2net_.start("ser2net", {"-n", "-u", "-c", config, "-P", dir_.filePath("ser2net.pid")});
    if (!ser2net_.waitForStarted(5000)) {
        whyNot_ = "ser2net did not start: " + ser2net_.errorString();
        return false;
    }
    const quint16 port = port_;
    if (Wait_For([&] { return Listening(port) || ser2net_.state() == QProcess::NotRunning; }, 5000) &&
        ser2net_.state() == QProcess::Running)
        return true;
    QFile log(dir_.filePath("ser2net.log"));
    log.open(QIODevice::ReadOnly);
    whyNot_ = QString("ser2net did not listen on port %1: %2").arg(port_).arg(QString::fromLocal8Bit(log.readAll()));
    Stop(ser2net_);
    return false;
}

QString Ser2netServer::Name() const { return QString("rfc2217://127.0.0.1:%1").arg(port_); }

void Ser2netServer::Kill()
{
    ser2net_.kill();
    ser2net_.waitForFinished(2000);
}

bool Ser2netServer::Restart()
{
    Stop(ser2net_);
    return Start_Ser2net();
}

void Ser2netServer::Write_Far(const QByteArray &bytes)
{
    if (far_ < 0)
        far_ = ::open(Far().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    qsizetype done = 0;
    while (far_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(far_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd p{far_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

QByteArray Ser2netServer::Read_Far(int count, int timeoutMs)
{
    if (far_ < 0)
        far_ = ::open(Far().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (far_ >= 0 && got.size() < count && !deadline.hasExpired()) {
        pollfd p{far_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[65536];
            const ssize_t n = ::read(far_, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
    }
    return got;
}

QByteArray Ser2netServer::Drain_Far(int ms) { return Read_Far(1 << 30, ms); }
