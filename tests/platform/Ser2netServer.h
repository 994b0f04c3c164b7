#pragma once
// A real ser2net serving one end of a socat pseudo-terminal pair on a free
// loopback port, with a configuration of its own. The test plays the device
// on the far end of the pair. Used by the tests and by the benchmark.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class Ser2netServer {
public:
    // Serves `device` when given (a path that need not exist), else the near
    // end of a fresh pty pair. ser2net moves data in buffers of `bufferSize`
    // bytes each way (its own default, 64, when 0).
    explicit Ser2netServer(const QString &device = QString(), int bufferSize = 0);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer &) = delete;
    Ser2netServer &operator=(const Ser2netServer &) = delete;

    // Whether socat and ser2net came up (and why not, when not).
    bool Ready() const { return ready_; }
    QString Why_Not() const { return whyNot_; }

    QString Name() const;  // "rfc2217://127.0.0.1:PORT"
    QString Device() const { return device_; }
    QString Far() const { return dir_.filePath("far"); }

    // ser2net dies at once, as a crashed server or a pulled cable would.
    void Kill();
    // ser2net again, on the same port.
    bool Restart();

    // The far end of the pair, opened on first use.
    void Write_Far(const QByteArray &bytes);
    QByteArray Read_Far(int count, int timeoutMs = 5000);
    QByteArray Drain_Far(int ms);

private:
    bool Start_Ser2net();
    static void Stop(QProcess &process);

    QTemporaryDir dir_;
    QProcess socat_, ser2net_;
    QString device_;
    int bufferSize_ = 0;
    quint16 port_ = 0;
    int far_ = -1;
    bool ready_ = false;
    QString whyNot_;
};
