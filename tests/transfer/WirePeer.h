#pragma once
// The far end of the file protocol, written for the tests from the wire
// format alone: it uses none of the program's frame writers or its parser,
// so that a fault shared by both ends of the program cannot hide.
//
// A peer talks on a file descriptor (the master side of a pty the program
// has open). On the test's own thread it keeps the program's event loop
// turning while it waits; on a thread of its own it simply blocks.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>

namespace wire {

QByteArray Announcement(const QByteArray &name, const QByteArray &sizeText);
QByteArray Reply(bool accept);
QByteArray Data(quint64 number, const QByteArray &bytes);
QByteArray Ack(quint64 number);
QByteArray Error(const char *cause);

// "FNFN", "FOFO", "DTDT", "DODO" or "ERER".
QByteArray Kind(const QByteArray &frame);
// The number field of a data frame or acknowledgement.
quint64 Number(const QByteArray &frame);
// Announcement fields, up to their first zero byte.
QByteArray Name(const QByteArray &frame);
QByteArray Size_Text(const QByteArray &frame);
// Data bytes of a data frame.
QByteArray Payload(const QByteArray &frame);

// Splits a byte stream into whole frames by their start tokens and lengths.
class Splitter {
public:
    void Add(const QByteArray &bytes) { held_ += bytes; }
    // The next whole frame, or empty while it is incomplete. Bytes that
    // begin no frame are skipped and counted.
    QByteArray Next();
    int Skipped() const { return skipped_; }
    bool Holds_Bytes() const { return !held_.isEmpty(); }

private:
    QByteArray held_;
    int skipped_ = 0;
};

class Peer {
public:
    explicit Peer(int fd) : fd_(fd) {}
    void Write(const QByteArray &bytes);
    // The next whole frame within the time, or empty.
    QByteArray Next_Frame(int timeoutMs);
    // Every frame that arrives within the time.
    QList<QByteArray> Frames_For(int ms);

    // Sends a file as a conforming sender: announce, wait for the reply,
    // then each data frame until it is acknowledged (repeated after
    // repeatMs). Returns "" on success or what went wrong.
    QString Send_File(const QByteArray &name, const QByteArray &data, int repeatMs = 3000);
    // Receives one announced file as a conforming receiver that accepts it.
    // Returns "" on success or what went wrong.
    QString Receive_File(QByteArray &name, QByteArray &data, int timeoutMs = 10000);

    // Called with each frame before it is answered; returning false skips
    // the answer (a lost acknowledgement, say).
    std::function<bool(const QByteArray &frame)> beforeAnswer;

private:
    int fd_;
    Splitter splitter_;
};

}  // namespace wire
