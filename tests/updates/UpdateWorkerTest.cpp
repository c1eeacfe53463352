#include "updates/UpdateWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

using corvana::updates::UpdateWorker;
using namespace std::chrono_literals;

namespace
{

using Clock = std::chrono::steady_clock;

UpdateWorker::Timing fast()
{
    UpdateWorker::Timing timing;
    timing.firstDelay = 20ms;
    timing.firstJitter = 20ms;
    timing.period = 150ms;
    timing.pollInterval = 10ms;
    return timing;
}

} // namespace

TEST(UpdateWorker, DestroyingItDuringTheFirstWaitIsPromptAndRunsNothing)
{
    std::atomic<int> runs{0};
    const auto start = Clock::now();
    {
        UpdateWorker worker([&] { ++runs; }); // the product's timing: 4 to 10 s before the first run
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_EQ(runs.load(), 0);
}

TEST(UpdateWorker, RunsFirstAfterTheDelayThenOncePerPeriod)
{
    std::atomic<int> runs{0};
    std::atomic<Clock::rep> firstRunAt{0};
    const auto start = Clock::now();
    {
        UpdateWorker worker(
            [&] {
                if (runs++ == 0)
                    firstRunAt = (Clock::now() - start).count();
            },
            {}, fast());
        std::this_thread::sleep_for(560ms);
    }
    const auto firstRun = Clock::duration(firstRunAt.load());
    EXPECT_GE(firstRun, 20ms);
    EXPECT_LT(firstRun, 300ms);
    // First run by 40 ms, then every 150 ms: four runs fit in 560 ms; allow for a busy machine.
    EXPECT_GE(runs.load(), 2);
    EXPECT_LE(runs.load(), 4);
}

TEST(UpdateWorker, DestructionInterruptsARunningTaskAndWaitsForIt)
{
    std::mutex mutex;
    std::condition_variable released;
    bool interrupted = false;
    std::atomic<bool> taskStarted{false};
    std::atomic<bool> taskFinished{false};
    Clock::time_point destroyAt;
    {
        UpdateWorker worker(
            [&] {
                taskStarted = true;
                std::unique_lock lock(mutex);
                released.wait_for(lock, 10s, [&] { return interrupted; });
                taskFinished = true;
            },
            [&] {
                std::lock_guard lock(mutex);
                interrupted = true;
                released.notify_all();
            },
            fast());
        while (!taskStarted)
            std::this_thread::sleep_for(1ms);
        destroyAt = Clock::now();
    }
    EXPECT_TRUE(taskFinished.load()); // joined, not abandoned
    EXPECT_LT(Clock::now() - destroyAt, 500ms);
}

TEST(UpdateWorker, AThrowingTaskDoesNotEndTheWorker)
{
    std::atomic<int> runs{0};
    {
        UpdateWorker worker(
            [&] {
                ++runs;
                throw std::runtime_error("feed unreachable");
            },
            {}, fast());
        const auto start = Clock::now();
        while (runs < 2 && Clock::now() - start < 3s)
            std::this_thread::sleep_for(5ms);
    }
    EXPECT_GE(runs.load(), 2);
}
