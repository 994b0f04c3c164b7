#include "serial/PortRetake.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

// A device that is back may not open at once while udev still sets its
// owner and mode: it is tried again a few times while it is there.
constexpr int kRetryMs = 200;
constexpr int kTries = 15;

}  // namespace

PortRetake::PortRetake(QObject *parent, std::function<bool(const QString &)> take)
    : QObject(parent), take_(std::move(take)), retry_(new QTimer(this))
{
    retry_->setObjectName(QStringLiteral("Timer_Retake"));
    retry_->setSingleShot(true);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, &PortRetake::Look);
}

void PortRetake::Set_Enabled(bool on)
{
    enabled_ = on;
    Follow();
}

void PortRetake::Opened(const QString &name)
{
    identity_ = vexa::Identity_Of(vexa::List_Known_Ports(vexa::Device_Roots()), name.toStdString());
    lost_ = false;
    Follow();
}

bool PortRetake::Lost()
{
    lost_ = true;
    Follow();
    return Awaiting();
}

void PortRetake::Forget()
{
    lost_ = false;
    Follow();
}

bool PortRetake::Awaiting() const { return enabled_ && lost_ && identity_; }

// The folders are watched only while a port is awaited. The watcher may be
// what called in here, so it goes once its signal has returned.
void PortRetake::Follow()
{
    tries_ = 0;
    retry_->stop();
    if (!Awaiting()) {
        if (watcher_)
            watcher_->deleteLater();
        watcher_ = nullptr;
        return;
    }
    if (!watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PortRetake::Look);
    }
    Watch();
    // It may be back already; looked for once the loss has been told.
    QMetaObject::invokeMethod(this, &PortRetake::Look, Qt::QueuedConnection);
}

// udev removes the by-id folder with the last device of its kind and makes
// it again with the next one: each is watched while it is there.
void PortRetake::Watch()
{
    const QString dev = QString::fromStdString(vexa::Device_Roots().dev);
    for (const QString &folder : {dev, dev + QStringLiteral("/serial"), dev + QStringLiteral("/serial/by-id")})
        if (QFileInfo(folder).isDir() && !watcher_->directories().contains(folder))
            watcher_->addPath(folder);
}

void PortRetake::Look()
{
    if (!Awaiting())
        return;
    Watch();
    const auto name = vexa::Returned_Port(vexa::List_Known_Ports(vexa::Device_Roots()), *identity_);
    if (!name || take_(QString::fromStdString(*name)))
        return;
    if (++tries_ < kTries && !retry_->isActive())
        retry_->start();
}
