#include "updates/UpdateWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using corvana::updates::UpdateWorker;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const UpdateWorker::Timing kFast{20ms, 20ms, 150ms, 10ms};

} // namespace

TEST(UpdateWorker, DestroyingItDuringTheFirstWaitIsPromptAndRunsNothing) {
  std::atomic<int> runs{0};
  const auto start = Clock::now();
  {
    UpdateWorker worker([&] { ++runs; }); // the product's timing: 4 to 10 s before the first run
    std::this_thread::sleep_for(30ms);
  }
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_EQ(runs.load(), 0);
}

TEST(UpdateWorker, RunsAfterTheFirstDelayThenOncePerPeriodEvenWhenTheTaskThrows) {
  std::atomic<int> runs{0};
  std::atomic<Clock::rep> firstRunAt{0};
  const auto start = Clock::now();
  {
    UpdateWorker worker(
        [&] {
          if (runs++ == 0)
            firstRunAt = (Clock::now() - start).count();
          throw std::runtime_error("feed unreachable");
        },
        {}, kFast);
    std::this_thread::sleep_for(560ms);
  }
  EXPECT_GE(Clock::duration(firstRunAt.load()), 20ms);
  EXPECT_LT(Clock::duration(firstRunAt.load()), 300ms);
  // First run by 40 ms, then every 150 ms: at most four in 560 ms; a busy machine may see fewer.
  EXPECT_GE(runs.load(), 2);
  EXPECT_LE(runs.load(), 4);
}

TEST(UpdateWorker, DestructionInterruptsARunningTaskAndWaitsForIt) {
  std::atomic<bool> started{false}, interrupted{false}, finished{false};
  Clock::time_point destroyAt;
  {
    UpdateWorker worker(
        [&] {
          started = true;
          for (const auto start = Clock::now(); !interrupted && Clock::now() - start < 10s;)
            std::this_thread::sleep_for(1ms);
          finished = true;
        },
        [&] { interrupted = true; }, kFast);
    while (!started)
      std::this_thread::sleep_for(1ms);
    destroyAt = Clock::now();
  }
  EXPECT_TRUE(finished.load()); // joined, not abandoned
  EXPECT_LT(Clock::now() - destroyAt, 500ms);
}
