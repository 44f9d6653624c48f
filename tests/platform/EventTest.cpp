#include "platform/core/Clock.h"
#include "platform/core/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Platform;

TEST(Event, TimedWaitReturnsFalseAtItsDeadline)
{
    Event e(true, false);
    const uint64_t start = MonotonicMs();
    EXPECT_FALSE(e.Wait(80));
    const uint64_t elapsed = MonotonicMs() - start;
    EXPECT_GE(elapsed, 80u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ManualResetStaysSetAutoResetLetsOneThrough)
{
    Event manual(true, false);
    manual.Set();
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));

    Event automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
    automatic.Set();
    automatic.Set(); // two sets without a waiter still release only one wait
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
}

TEST(Event, SetFromAnotherThreadWakesAWaiter)
{
    Event e(false, false);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        e.Set();
    });
    EXPECT_TRUE(e.Wait(kInfinite));
    setter.join();
}

TEST(Event, AutoResetReleasesExactlyOneOfManyWaiters)
{
    Event e(false, false);
    std::atomic<int> woken{0};
    std::thread a([&] { woken += e.Wait(300) ? 1 : 0; });
    std::thread b([&] { woken += e.Wait(300) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    e.Set();
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(Event, WaitAnyReportsTheSignalledEventAndNamedEventsAreShared)
{
    Event first(true, false), second(false, false);
    Event* both[] = {&first, &second};
    EXPECT_EQ(Event::WaitAny(both, 10), kWaitTimeout);
    second.Set();
    EXPECT_EQ(Event::WaitAny(both, 10), 1);
    EXPECT_EQ(Event::WaitAny(both, 0), kWaitTimeout); // the auto-reset one was consumed

    auto a = Event::Named(QStringLiteral("HidDav-Attach"));
    auto b = Event::Named(QStringLiteral("HidDav-Attach"));
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(a.get(), Event::Named(QStringLiteral("HidDav-Detach")).get());
}
