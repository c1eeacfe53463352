// The single-writer single-reader ring queue and the main-thread timer.
#include "framework/IRingQueue.h"
#include "framework/Timer.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using plug::IRingQueue;
using plug::Timer;

TEST(RingQueue, HoldsOneLessThanItsSlotsAndDropsWhenFull)
{
  IRingQueue<int> q(513);
  EXPECT_EQ(q.Capacity(), 512);
  for (int i = 0; i < 512; ++i)
    ASSERT_TRUE(q.Push(i)) << i;
  EXPECT_FALSE(q.Push(512));
  int v = -1;
  for (int i = 0; i < 512; ++i)
  {
    ASSERT_TRUE(q.Pop(v));
    ASSERT_EQ(v, i);
  }
  EXPECT_FALSE(q.Pop(v));
  EXPECT_EQ(v, 511); // a failed pop leaves the target alone

  // A degenerate slot count still gives a usable queue of one entry.
  IRingQueue<int> tiny(0);
  EXPECT_TRUE(tiny.Push(1));
  EXPECT_FALSE(tiny.Push(2));
}

TEST(RingQueue, OneWriterOneReaderThreadsLoseNothingAcrossTheWrap)
{
  struct Entry
  {
    int index;
    double value;
  };
  IRingQueue<Entry> q(33);
  constexpr int kCount = 200000;
  std::thread writer([&] {
    for (int i = 0; i < kCount; ++i)
      while (!q.Push({i, i * 0.5}))
        std::this_thread::yield();
  });
  Entry e{};
  for (int expected = 0; expected < kCount;)
  {
    if (!q.Pop(e))
    {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(e.index, expected);
    ASSERT_EQ(e.value, expected * 0.5);
    ++expected;
  }
  writer.join();
}

TEST(Timer, TicksCallTheCallableOnTheCallingThreadUntilStopped)
{
  const auto caller = std::this_thread::get_id();
  int calls = 0;
  Timer timer([&](Timer& t) {
    ++calls;
    EXPECT_EQ(&t, &timer);
    EXPECT_EQ(std::this_thread::get_id(), caller);
  }, 1);
  timer.Tick();
  timer.RunUntil([&] { return calls >= 3; });
  EXPECT_EQ(calls, 3);
  timer.Stop();
  timer.Tick();
  EXPECT_EQ(calls, 3);

  // Stopping from inside the callback ends the loop even though `done` never says so.
  Timer selfStopping([&](Timer& t) {
    if (++calls == 5)
      t.Stop();
  }, 1);
  selfStopping.RunUntil([] { return false; });
  EXPECT_EQ(calls, 5);
  EXPECT_FALSE(selfStopping.IsRunning());
}
