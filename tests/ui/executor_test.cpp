// The stepped executor: one side runs at a time, a worker stops at each step
// point, and a waiting worker is passed over until it can go on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/toolkit/executor.h"

namespace {

TEST(SteppedExecutor, WorkersRunOnlyWhenSteppedAndStopAtStepPoints) {
    ui::SteppedExecutor ex;
    std::vector<std::string> log;  // written by both sides, one at a time
    ex.Start([&] {
        log.push_back("a1");
        ui::YieldPoint();
        log.push_back("a2");
    });
    ex.Start([&] { log.push_back("b1"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(ex.Unfinished(), 2u);
    ASSERT_TRUE(ex.Step());
    EXPECT_EQ(log, (std::vector<std::string>{"a1"}));
    log.push_back("test");
    ASSERT_TRUE(ex.Step());  // the oldest worker first
    EXPECT_EQ(log, (std::vector<std::string>{"a1", "test", "a2"}));
    ASSERT_TRUE(ex.Step());
    EXPECT_EQ(log.back(), "b1");
    EXPECT_FALSE(ex.Step());
    EXPECT_EQ(ex.Unfinished(), 0u);
}

TEST(SteppedExecutor, AWaitingWorkerIsPassedOverUntilItCanGoOn) {
    ui::SteppedExecutor ex;
    std::mutex mutex;
    std::condition_variable cv;
    bool answered = false;
    int order = 0, waiterDone = 0, otherDone = 0;
    ex.Start([&] {
        ui::WorkerWait(mutex, cv, [&] { return answered; });
        waiterDone = ++order;
    });
    ex.Start([&] { otherDone = ++order; });
    ASSERT_TRUE(ex.Step());  // the waiter registers its wait
    EXPECT_EQ(ex.Runnable(), 1u);
    ASSERT_TRUE(ex.Step());  // so the other one runs
    EXPECT_EQ(otherDone, 1);
    EXPECT_FALSE(ex.Step());
    {
        std::lock_guard<std::mutex> lock(mutex);
        answered = true;
    }
    ex.JoinAll();
    EXPECT_EQ(waiterDone, 2);
}

TEST(SteppedExecutor, StepPointsOutsideAWorkerDoNothing) {
    EXPECT_FALSE(ui::OnSteppedWorker());
    ui::YieldPoint();
    std::mutex mutex;
    std::condition_variable cv;
    ui::WorkerWait(mutex, cv, [] { return true; });
}

TEST(ThreadExecutor, RunsWorkersConcurrentlyAndJoinsThem) {
    ui::ThreadExecutor ex;
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    std::atomic<int> ended{0};
    for (int i = 0; i < 3; ++i)
        ex.Start([&] {
            ui::WorkerWait(mutex, cv, [&] { return release; });
            ++ended;
        });
    EXPECT_EQ(ex.Running(), 3u);
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    cv.notify_all();
    ex.JoinAll();
    EXPECT_EQ(ended.load(), 3);
    EXPECT_EQ(ex.Running(), 0u);
}

}  // namespace
