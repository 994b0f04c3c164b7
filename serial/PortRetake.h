#pragma once
// Takes a lost port again when its device comes back, if the user asked for
// it: a modem that restarts (after a firmware download, a reset, a power
// cycle) leaves the bus and returns as a new USB device, maybe under another
// ttyUSB number. It is known again by its by-id name or its USB serial
// number (see SysfsPorts).
//
// While it waits it only watches the device folders, which the kernel and
// udev change whenever a device comes or goes: nothing runs in between.

#include <QObject>
#include <functional>
#include <optional>

#include "platform/SysfsPorts.h"

class QFileSystemWatcher;
class QTimer;

class PortRetake : public QObject {
    Q_OBJECT
public:
    // take opens the named port as the user's "Занять порт" would and says
    // whether it did.
    PortRetake(QObject *parent, std::function<bool(const QString &name)> take);

    void Set_Enabled(bool on);
    // A port was opened: the one to take again should it be lost.
    void Opened(const QString &name);
    // The open port was lost; true when it is awaited now.
    bool Lost();
    // The user let the port go: nothing is awaited.
    void Forget();
    bool Awaiting() const;

private:
    void Follow();
    void Watch();
    void Look();

    std::function<bool(const QString &)> take_;
    std::optional<vexa::PortIdentity> identity_;
    bool enabled_ = false;
    bool lost_ = false;
    int tries_ = 0;
    QFileSystemWatcher *watcher_ = nullptr;
    QTimer *retry_ = nullptr;
};
