#include "platform/QtClock.h"

#include <QPointer>
#include <QTimer>

namespace vexa {

namespace {

// The QTimer belongs to the owner, which may outlive or predecease this
// handle: the handle deletes it only while it still exists.
class Qt_Timer : public Timer {
public:
    Qt_Timer(QTimer *timer) : timer_(timer) {}
    ~Qt_Timer() override { delete timer_.data(); }
    void Start(int ms) override
    {
        timer_->setInterval(ms);
        Start();
    }
    void Start() override
    {
        if (timer_->interval() > 0)
            timer_->start();
        else
            timer_->stop();
    }
    void Stop() override { timer_->stop(); }
    bool Active() const override { return timer_->isActive(); }
    int Interval() const override { return timer_->interval(); }
    void Set_Interval(int ms) override { timer_->setInterval(ms); }

private:
    QPointer<QTimer> timer_;
};

}  // namespace

QtClock::QtClock(QObject *owner) : owner_(owner) { since_.start(); }

std::unique_ptr<Timer> QtClock::Make_Timer(const char *name, int ms, bool singleShot, std::function<void()> fire)
{
    auto *timer = new QTimer(owner_);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(ms);
    timer->setSingleShot(singleShot);
    QObject::connect(timer, &QTimer::timeout, timer, std::move(fire));
    return std::make_unique<Qt_Timer>(timer);
}

}  // namespace vexa
