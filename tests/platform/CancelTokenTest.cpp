#include "platform/core/CancelToken.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace Platform;

namespace
{
int64_t MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
} // namespace

TEST(CancelToken, ACancelFromAnotherThreadEndsTheSleepOfEveryCopy)
{
    const CancelToken token = CancelToken::Create();
    const CancelToken copy = token;
    EXPECT_FALSE(copy.IsCancelled());
    std::thread canceller(
        [token]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            token.Cancel();
        });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(copy.Sleep(20000));
    EXPECT_LT(MsSince(start), 10000);
    canceller.join();
    EXPECT_TRUE(copy.IsCancelled());
    EXPECT_FALSE(copy.Sleep(0));                       // fired for good
    EXPECT_FALSE(CancelToken::Create().IsCancelled()); // another job's token is untouched
}

TEST(CancelToken, TheDefaultTokenNeverFires)
{
    const CancelToken none;
    none.Cancel();
    EXPECT_FALSE(none.IsCancelled());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(none.Sleep(30));
    EXPECT_GE(MsSince(start), 30);
    EXPECT_TRUE(CancelToken::Create().Sleep(1));
}
