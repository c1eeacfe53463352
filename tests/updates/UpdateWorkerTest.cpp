#include "updates/UpdateWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using corvana::updates::UpdateWorker;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(UpdateWorker, RunsAfterTheFirstDelayThenPeriodicallyEvenWhenTheTaskThrows)
{
  std::atomic<int> runs{0};
  {
    // First run by 40 ms, then every 150 ms: at most four in 560 ms; a busy machine may see fewer.
    UpdateWorker worker([&] { ++runs, throw std::runtime_error("feed unreachable"); }, {},
                        {20ms, 20ms, 150ms, 10ms});
    std::this_thread::sleep_for(560ms);
  }
  EXPECT_GE(runs.load(), 2);
  EXPECT_LE(runs.load(), 4);
}

TEST(UpdateWorker, DestructionIsPromptWhileWaitingAndInterruptsARunningTask)
{
  std::atomic<int> runs{0};
  auto start = Clock::now();
  {
    UpdateWorker worker([&] { ++runs; }); // the product's timing: 4 to 10 s before the first run
    std::this_thread::sleep_for(30ms);
  }
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_EQ(runs.load(), 0);

  std::atomic<bool> started{false}, interrupted{false}, finished{false};
  {
    UpdateWorker worker(
        [&]
        {
          started = true;
          for (const auto begun = Clock::now(); !interrupted && Clock::now() - begun < 10s;)
            std::this_thread::sleep_for(1ms);
          finished = true;
        },
        [&] { interrupted = true; }, {20ms, 20ms, 150ms, 10ms});
    while (!started)
      std::this_thread::sleep_for(1ms);
    start = Clock::now();
  }
  EXPECT_TRUE(finished.load()); // joined, not abandoned
  EXPECT_LT(Clock::now() - start, 500ms);
}
