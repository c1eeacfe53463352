// Counts heap allocations and mutex locks made by the thread under test while the plug-in
// processes audio: the audio path must do neither.
#include "PluginHost.h"

#include <gtest/gtest.h>

#include "support/RealtimeCounters.h"

using namespace ostratapedelay::plugin;

TEST(RealtimeSafety, ProcessingAllocatesNothingAndTakesNoLock)
{
  // The counters themselves see both.
  ASSERT_EQ(ostra::test::countKnownAllocationAndLock(), (ostra::test::RealtimeCounts{1, 1}));

  for (int nIn : {1, 2})
  {
    ostra::test::PluginHost host(nIn, 2, 44100.0, 256);
    host.set({{kDrive, 6.0},
              {kWobble, 100.0},
              {kWidth, 50.0},
              {kDuck, 6.0},
              {kFeedback, 50.0},
              {kSync, 0.0}});
    host.plugin->setMeterEnabled(true);
    std::vector<std::vector<double>> in(size_t(nIn), std::vector<double>(256, 0.25)),
        out(2, std::vector<double>(256));
    double* inPtrs[2] = {in[0].data(), in.back().data()};
    double* outPtrs[2] = {out[0].data(), out[1].data()};
    ostra::test::startCounting();
    for (int block = 0; block < 200; ++block)
    {
      if (block == 50 || block == 120) // host automation is on the audio path too
        host.plugin->SetParameterFromHost(kBypass, block == 50 ? 1.0 : 0.0, 0);
      host.plugin->AttachBuffers(plug::kInput, 0, nIn, inPtrs, 256);
      host.plugin->AttachBuffers(plug::kOutput, 0, 2, outPtrs, 256);
      host.plugin->ProcessBuffers(256);
    }
    EXPECT_EQ(ostra::test::stopCounting(), ostra::test::RealtimeCounts{}) << nIn << " inputs";
  }
}
