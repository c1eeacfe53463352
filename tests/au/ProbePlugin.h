// The plug-in with counters on the hooks the binding must (or must not) call, registered as
// a component of its own so that the harness still reaches it only through the component calls.
#pragma once

#include "AUHost.h"
#include "framework/au/IAUFactory.h"
#include "plugin/OstraTapeDelay.h"

#include <atomic>

namespace au_test
{

class ProbeTapeDelay : public OstraTapeDelay
{
public:
  void OnReset() override
  {
    ++resets;
    OstraTapeDelay::OnReset();
  }
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override
  {
    ++blocks;
    OstraTapeDelay::ProcessBlock(inputs, outputs, nFrames);
  }
  void OnParamChange(int paramIdx, plug::EParamSource source, int sampleOffset) override
  {
    lastChange = paramIdx;
    lastSource = source;
    lastOffset = sampleOffset;
    OstraTapeDelay::OnParamChange(paramIdx, source, sampleOffset);
  }

  std::atomic<int> resets{0}, blocks{0};
  int lastChange = -1, lastSource = -1, lastOffset = -2;
};

inline AudioComponent ProbeComponent()
{
  static const AudioComponent component = []
  {
    const AudioComponentDescription desc = Description(0x4F735470); // 'OsTp'
    return AudioComponentRegister(&desc, CFSTR("Corvana: probe"), 0x10000,
                                  plug::IAUFactory<ProbeTapeDelay>::Factory);
  }();
  return component;
}

} // namespace au_test
