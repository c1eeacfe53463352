// The single-writer single-reader ring queue under two threads.
#include "framework/IRingQueue.h"

#include <gtest/gtest.h>

#include <thread>

using plug::IRingQueue;

TEST(RingQueue, OneWriterOneReaderThreadsLoseNothingAcrossTheWrap)
{
  IRingQueue<int> tiny(0); // a degenerate slot count still gives a queue of one entry
  EXPECT_TRUE(tiny.Push(1));
  EXPECT_FALSE(tiny.Push(2));
  IRingQueue<std::pair<int, double>> q(33);
  constexpr int kCount = 200000;
  std::thread writer(
      [&]
      {
        for (int i = 0; i < kCount; ++i)
          while (!q.Push({i, i * 0.5}))
            std::this_thread::yield();
      });
  std::pair<int, double> e{};
  for (int expected = 0; expected < kCount;)
    if (q.Pop(e))
    {
      ASSERT_EQ(e, std::make_pair(expected, expected * 0.5));
      ++expected;
    }
    else
      std::this_thread::yield();
  writer.join();
}
