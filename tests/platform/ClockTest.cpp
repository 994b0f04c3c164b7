// The clocks subsystems run on: the program's and the simulated lines'.

#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>

#include "platform/NoticeQueue.h"
#include "platform/QtClock.h"
#include "support/TestSupport.h"
#include "support/VirtualClock.h"

// What is due at one moment runs in the order it was scheduled; a restarted
// or stopped timer never fires for its earlier start; a single-shot timer is
// stopped when its handler runs, and may restart itself there.
TEST(VirtualClock, RunsWhatIsDueInOrderAndNeverAStaleTimer)
{
    VirtualClock clock;
    std::string log;
    int shots = 0;
    std::unique_ptr<vexa::Timer> once;
    once = clock.Make_Timer("Once", 100, true, [&] {
        EXPECT_FALSE(once->Active());
        log += "T" + std::to_string(clock.Now_Ms()) + ' ';
        if (++shots < 2)
            once->Start(50);
    });
    auto repeating = clock.Make_Timer("Tick", 40, false, [&] { log += "R" + std::to_string(clock.Now_Ms()) + ' '; });
    once->Start();
    repeating->Start();
    clock.After(100, [&] { log += "a100 "; });
    clock.After(100, [&] {
        log += "b100 ";
        repeating->Stop();
    });
    clock.After(90, [&] { once->Start(10); });  // moves the first shot to 100, after a and b
    EXPECT_TRUE(clock.Run_Until(1000));
    EXPECT_EQ(log, "R40 R80 a100 b100 T100 T150 ");
    EXPECT_TRUE(clock.Active_Timers().empty());

    auto zero = clock.Make_Timer("Zero", 0, false, [] {});
    zero->Start();
    EXPECT_FALSE(zero->Active());
    auto late = clock.Make_Timer("Late", 500, true, [] {});
    late->Start();
    EXPECT_FALSE(clock.Run_Until(clock.Now_Ms() + 100));
    EXPECT_EQ(clock.Active_Timers(), std::vector<std::string>{"Late"});
}

TEST(QtClock, TimersCarryTheirNamesAndNeverRunAtZero)
{
    QObject owner;
    vexa::QtClock clock(&owner);
    int fired = 0;
    auto timer = clock.Make_Timer("TimerX", 0, true, [&] { ++fired; });
    ASSERT_NE(owner.findChild<QObject *>("TimerX"), nullptr);
    timer->Start();
    EXPECT_FALSE(timer->Active());
    timer->Start(5);
    EXPECT_TRUE(Wait_Until([&] { return fired == 1; }, 2000));
    EXPECT_FALSE(timer->Active());
}

// A cause that repeats while its box is waiting or open adds no second box;
// no box opens inside the handling that raised it.
TEST(NoticeQueue, OneBoxPerKindAndTextAtATime)
{
    vexa::NoticeQueue notices;
    MessageCatcher catcher;
    EXPECT_TRUE(notices.Post(vexa::MessageKind::Message, "A"));
    EXPECT_FALSE(notices.Post(vexa::MessageKind::Message, "A"));
    EXPECT_TRUE(notices.Post(vexa::MessageKind::Error, "A"));
    EXPECT_TRUE(notices.Pending(vexa::MessageKind::Message, "A"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(notices.Pending(vexa::MessageKind::Message, "A"));
    EXPECT_EQ(catcher.messages(), QStringList{"A"});
    EXPECT_EQ(catcher.errors(), QStringList{"A"});
    EXPECT_TRUE(notices.Post(vexa::MessageKind::Message, "A"));
}
