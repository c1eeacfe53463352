// Cost of the plug-in's block processing as a host drives it: AttachBuffers and
// ProcessBuffers on 512-frame blocks at 48 kHz with busy settings (drive, wobble,
// width, ducking and feedback all working).
//
// "frame" is the CPU time per frame (SI prefix: "60n" is 60 ns), "xRT48k" how
// many times faster than real time the processing runs.

#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using namespace ostratapedelay::plugin;

namespace
{

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kSignalBlocks = 94; // about one second of distinct input, then it repeats

std::vector<double> signal(int frames, std::uint32_t seed, double hz)
{
  std::vector<double> v(static_cast<std::size_t>(frames));
  std::uint32_t s = seed;
  for (int i = 0; i < frames; ++i)
  {
    s = s * 1664525u + 1013904223u;
    const double noise = 0.2 * (s * (2.0 / 4294967296.0) - 1.0);
    // Phrases with gaps, so the ducker both ducks and releases.
    const double gate = (i / 12000) % 2 == 0 ? 1.0 : 0.05;
    v[static_cast<std::size_t>(i)] =
        gate * (noise + 0.4 * std::sin(2.0 * 3.141592653589793 * hz * i / kRate));
  }
  return v;
}

void busySettings(OstraTapeDelay& p)
{
  p.SetParameterFromHost(kSync, 0.0, 0);
  p.SetParameterFromHost(kLink, 0.0, 0);
  p.SetParameterFromHost(kTimeL, 375.0, 0);
  p.SetParameterFromHost(kTimeR, 500.0, 0);
  p.SetParameterFromHost(kDrive, 6.0, 0);
  p.SetParameterFromHost(kWobble, 100.0, 0);
  p.SetParameterFromHost(kWidth, 50.0, 0);
  p.SetParameterFromHost(kDuck, 6.0, 0);
  p.SetParameterFromHost(kFeedback, 50.0, 0);
  p.SetParameterFromHost(kMix, 50.0, 0);
}

void report(benchmark::State& state)
{
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["xRT48k"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// One ProcessBuffers call per iteration, as a host's render callback makes it.
void processBlocks(benchmark::State& state, int nIn, int nOut, bool meter)
{
  auto plugin = std::make_unique<OstraTapeDelay>();
  plug::IProcessor& p = *plugin;
  p.SetChannelConnections(plug::kInput, 0, p.NChannels(plug::kInput), false);
  p.SetChannelConnections(plug::kOutput, 0, p.NChannels(plug::kOutput), false);
  p.SetChannelConnections(plug::kInput, 0, nIn, true);
  p.SetChannelConnections(plug::kOutput, 0, nOut, true);
  p.SetSampleRate(kRate);
  p.SetBlockSize(kBlock);
  p.SetRenderingOffline(false);
  busySettings(*plugin);
  plugin->setMeterEnabled(meter);
  p.OnReset();

  const int total = kBlock * kSignalBlocks;
  std::vector<std::vector<double>> in{signal(total, 7u, 220.0), signal(total, 11u, 330.0)};
  std::vector<std::vector<double>> out(2, std::vector<double>(kBlock));
  double* inPtrs[2]{};
  double* outPtrs[2]{out[0].data(), out[1].data()};

  // Fill the delay lines first: the first second has no echoes to process.
  auto runBlock = [&](int block)
  {
    const std::size_t pos = static_cast<std::size_t>(block % kSignalBlocks) * kBlock;
    inPtrs[0] = in[0].data() + pos;
    inPtrs[1] = in[1].data() + pos;
    p.AttachBuffers(plug::kInput, 0, nIn, inPtrs, kBlock);
    p.AttachBuffers(plug::kOutput, 0, nOut, outPtrs, kBlock);
    p.ProcessBuffers(kBlock);
  };
  int block = 0;
  for (; block < 2 * kSignalBlocks; ++block)
    runBlock(block);

  for (auto _ : state)
  {
    runBlock(block++);
    benchmark::DoNotOptimize(out[0].data());
    benchmark::DoNotOptimize(out[1].data());
    benchmark::ClobberMemory();
  }
  report(state);
}

void BM_ProcessStereo(benchmark::State& state)
{
  processBlocks(state, 2, 2, false);
}
BENCHMARK(BM_ProcessStereo);

void BM_ProcessMonoToStereo(benchmark::State& state)
{
  processBlocks(state, 1, 2, false);
}
BENCHMARK(BM_ProcessMonoToStereo);

// With the editor open the drive meter is summed too.
void BM_ProcessStereoMetered(benchmark::State& state)
{
  processBlocks(state, 2, 2, true);
}
BENCHMARK(BM_ProcessStereoMetered);

} // namespace
