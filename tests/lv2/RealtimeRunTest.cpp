// The run callback, reached through lilv like any host reaches it, must neither allocate nor
// lock: counted on the calling thread while every path of run() is exercised.
#include "LilvHost.h"

#include <gtest/gtest.h>

#include "support/RealtimeCounters.h"

using namespace ostra::lv2test;

TEST(Lv2Realtime, RunNeitherAllocatesNorLocks)
{
  // The counters themselves see an allocation and a lock.
  ASSERT_EQ(ostra::test::countKnownAllocationAndLock(), (ostra::test::RealtimeCounts{1, 1}));

  LilvHost host(1024);
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
  {
    SCOPED_TRACE(uri);
    Instance fx(host, uri);
    ASSERT_TRUE(fx.valid());
    Audio buffers = noise(4, 4096);
    fx.run(256); // the first cycle takes every port once, outside the count as well
    ostra::test::RealtimeCounts counted;
    auto countedRuns = [&](int cycles, int frames)
    {
      fx.connectAudio({buffers[0].data(), buffers[1].data()},
                      {buffers[2].data(), buffers[3].data()});
      for (int i = 0; i < cycles; ++i)
      {
        ostra::test::startCounting();
        lilv_instance_run(fx.raw(), static_cast<uint32_t>(frames));
        const auto counts = ostra::test::stopCounting();
        counted.allocations += counts.allocations;
        counted.locks += counts.locks;
      }
    };
    countedRuns(20, 1000); // idle ticks get scheduled on the worker
    fx.control("feedback") = 80.0f;
    fx.control("sync") = 0.0f;
    fx.control("tap") = 1.0f;
    countedRuns(3, 333);
    fx.control("enabled") = 0.0f; // host bypass: reset and pass-through
    countedRuns(3, 512);
    fx.control("enabled") = 1.0f;
    fx.control("freewheel") = 1.0f;
    countedRuns(3, 4096); // longer than the announced block: sliced
    fx.sendTempo(97.0, 17);
    countedRuns(1, 512);

    EXPECT_EQ(counted, ostra::test::RealtimeCounts{});
    EXPECT_GT(host.pendingWork, 0);
    fx.serveWorker();
  }
}
