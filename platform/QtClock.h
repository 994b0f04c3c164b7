#pragma once
// The program's clock: the toolkit's monotonic time and QTimers. Each timer
// is a child of the owner given and carries its designer name as
// objectName, so that it is found as any other control is.

#include <QElapsedTimer>

#include "platform/Clock.h"

class QObject;

namespace vexa {

class QtClock : public Clock {
public:
    explicit QtClock(QObject *owner);
    std::int64_t Now_Ms() const override { return since_.elapsed(); }
    std::unique_ptr<Timer> Make_Timer(const char *name, int ms, bool singleShot, std::function<void()> fire) override;

private:
    QObject *owner_;
    QElapsedTimer since_;
};

}  // namespace vexa
