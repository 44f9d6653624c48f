#include "platform/core/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Platform;

TEST(WorkerThread, StopEndsAWorkerThatWatchesItsFlag)
{
    WorkerThread worker;
    std::atomic<int> rounds{0};
    ASSERT_TRUE(worker.Start([&](WorkerState& s) {
        while (!s.SleepOrStop(5))
            ++rounds;
    }));
    EXPECT_FALSE(worker.Start([](WorkerState&) {})); // one at a time
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(worker.Stop(2000));
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_GT(rounds.load(), 0);
}

TEST(WorkerThread, ABoundedStopLetsAStuckWorkerFinishAlone)
{
    auto release = std::make_shared<Event>(true, false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        WorkerThread worker;
        worker.Start([release, done](WorkerState& s) {
            release->Wait(kInfinite); // ignores the stop request
            done->store(s.StopRequested());
        });
        EXPECT_FALSE(worker.Stop(30));
    } // the object is gone; the thread still runs with its own state
    release->Set();
    for (int i = 0; i < 200 && !done->load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(done->load());
}

TEST(WorkerThread, AnExceptionInTheBodyEndsTheThreadQuietly)
{
    WorkerThread worker;
    worker.Start([](WorkerState&) { throw std::runtime_error("boom"); });
    EXPECT_TRUE(worker.Stop(2000));
}
