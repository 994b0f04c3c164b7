#include "transfer/WirePeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QThread>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace wire {
namespace {

constexpr int kChunk = 32768;

// On the test's own thread the program must keep running while the peer
// waits: its handlers run there.
int Wait_Slice(qint64 left)
{
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        return int(left);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return int(qMin<qint64>(left, 5));
}

// Digits from the field's first byte, zero bytes after them.
QByteArray Field(const QByteArray &text, int width)
{
    return text.left(width) + QByteArray(qMax(0, width - int(text.size())), '\0');
}

QByteArray Up_To_Zero(const QByteArray &field)
{
    const int zero = field.indexOf('\0');
    return zero < 0 ? field : field.left(zero);
}

int Length_Of(const QByteArray &held)
{
    const QByteArray kind = held.left(4);
    if (kind == "FNFN")
        return 80;
    if (kind == "FOFO")
        return 19;
    if (kind == "DODO")
        return 20;
    if (kind == "ERER")
        return 18;
    if (held.size() < 23)
        return -1;  // not known yet
    bool ok = false;
    const int n = Up_To_Zero(held.mid(15, 8)).toInt(&ok);
    return ok && n >= 0 && n <= kChunk ? n + 28 : 0;
}

bool Starts_A_Frame(const QByteArray &held)
{
    for (const char *start : {"FNFN0", "FOFO0", "DTDT0", "DODO0", "ERER0"})
        if (QByteArray(start).startsWith(held.left(5)))
            return true;
    return false;
}

}  // namespace

QByteArray Announcement(const QByteArray &name, const QByteArray &sizeText)
{
    return "FNFN0" + Field(name, 50) + Field(sizeText, 20) + "FNFN1";
}

QByteArray Reply(bool accept) { return QByteArray("FOFO0") + (accept ? "RECEIVEOK" : "RECEIVENO") + "FOFO1"; }

QByteArray Data(quint64 number, const QByteArray &bytes)
{
    return "DTDT0" + Field(QByteArray::number(number), 10) + Field(QByteArray::number(bytes.size()), 8) + bytes +
           "DTDT1";
}

QByteArray Ack(quint64 number) { return "DODO0" + Field(QByteArray::number(number), 10) + "DODO1"; }

QByteArray Error(const char *cause) { return QByteArray("ERER0") + cause + "ERER1"; }

QByteArray Kind(const QByteArray &frame) { return frame.left(4); }
quint64 Number(const QByteArray &frame) { return Up_To_Zero(frame.mid(5, 10)).toULongLong(); }
QByteArray Name(const QByteArray &frame) { return Up_To_Zero(frame.mid(5, 50)); }
QByteArray Size_Text(const QByteArray &frame) { return Up_To_Zero(frame.mid(55, 20)); }
QByteArray Payload(const QByteArray &frame) { return frame.mid(23, frame.size() - 28); }

QByteArray Splitter::Next()
{
    while (!held_.isEmpty()) {
        if (!Starts_A_Frame(held_)) {
            held_.remove(0, 1);
            ++skipped_;
            continue;
        }
        if (held_.size() < 5)
            return {};
        const int length = Length_Of(held_);
        if (length < 0 || (length > 0 && held_.size() < length))
            return {};
        if (length == 0 || held_.mid(length - 5, 4) != held_.left(4) || held_[length - 1] != '1') {
            held_.remove(0, 1);
            ++skipped_;
            continue;
        }
        const QByteArray frame = held_.left(length);
        held_.remove(0, length);
        return frame;
    }
    return {};
}

void Peer::Write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, Wait_Slice(100));
    }
}

QByteArray Peer::Next_Frame(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (QByteArray frame = splitter_.Next(); !frame.isEmpty())
            return frame;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return {};
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, Wait_Slice(left)) <= 0)
            continue;
        char buffer[65536];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
            splitter_.Add(QByteArray(buffer, n));
    }
}

QList<QByteArray> Peer::Frames_For(int ms)
{
    QList<QByteArray> frames;
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0; left = ms - clock.elapsed())
        if (QByteArray frame = Next_Frame(int(left)); !frame.isEmpty())
            frames << frame;
    return frames;
}

QString Peer::Send_File(const QByteArray &name, const QByteArray &data, int repeatMs)
{
    Write(Announcement(name, QByteArray::number(data.size())));
    QByteArray reply;
    while (Kind(reply) != "FOFO") {
        reply = Next_Frame(10000);
        if (reply.isEmpty())
            return "no reply to the announcement";
    }
    if (reply != Reply(true))
        return "refused: " + QString::fromLatin1(reply);
    const qsizetype total = (data.size() + kChunk - 1) / kChunk;
    for (qsizetype k = 1; k <= total; ++k) {
        const QByteArray frame = Data(k, data.mid((k - 1) * kChunk, kChunk));
        bool acknowledged = false;
        for (int attempt = 0; attempt < 5 && !acknowledged; ++attempt) {
            Write(frame);
            for (QByteArray answer = Next_Frame(repeatMs); !answer.isEmpty(); answer = Next_Frame(repeatMs)) {
                if (answer == Ack(k)) {
                    acknowledged = true;
                    break;
                }
                if (answer == Error("DATASEND"))
                    break;
            }
        }
        if (!acknowledged)
            return QStringLiteral("no acknowledgement of %1").arg(k);
    }
    return {};
}

QString Peer::Receive_File(QByteArray &name, QByteArray &data, int timeoutMs)
{
    QByteArray announcement;
    while (Kind(announcement) != "FNFN") {
        announcement = Next_Frame(timeoutMs);
        if (announcement.isEmpty())
            return "no announcement";
    }
    name = Name(announcement);
    const qsizetype size = Size_Text(announcement).toLongLong();
    Write(Reply(true));
    const qsizetype total = (size + kChunk - 1) / kChunk;
    data.clear();
    for (qsizetype expected = 1; expected <= total;) {
        const QByteArray frame = Next_Frame(timeoutMs);
        if (frame.isEmpty())
            return QStringLiteral("no data frame %1").arg(expected);
        if (Kind(frame) != "DTDT" || (beforeAnswer && !beforeAnswer(frame)))
            continue;
        const quint64 k = Number(frame);
        if (k == quint64(expected)) {
            data += Payload(frame);
            ++expected;
        }
        if (k == quint64(expected) - 1)
            Write(Ack(k));
    }
    return data.size() == size ? QString() : QStringLiteral("%1 bytes of %2").arg(data.size()).arg(size);
}

}  // namespace wire
