// Cost of the delay lines per stereo frame and of one repeats measurement.

#if defined(__GNUC__)
// The four-frame vectors of the level law only pass between inline functions.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "dsp/Dispatch.h"
#include "dsp/FeedbackLaw.h"
#include "dsp/RepeatsModel.h"
#include "dsp/TapeDelay.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using ostratapedelay::dsp::Repeat;
using ostratapedelay::dsp::RepeatsModel;
using ostratapedelay::dsp::TapeDelay;

namespace
{

constexpr double kRate = 48000.0;
constexpr int kFrames = 4096;

std::vector<double> noise(int frames)
{
  std::vector<double> v(static_cast<std::size_t>(frames));
  std::uint32_t s = 12345;
  for (double& x : v)
  {
    s = s * 1664525u + 1013904223u;
    x = 0.25 * (s * (2.0 / 4294967296.0) - 1.0);
  }
  return v;
}

// The plug-in's settings: medium law, 6 dB/octave high cut, tape bandwidth.
TapeDelay::Settings pluginSettings(bool pingPong, double wobble)
{
  TapeDelay::Settings s;
  s.timeLeft = 0.5;
  s.timeRight = 0.375;
  s.feedback = 0.6;
  s.pingPong = pingPong;
  s.character = TapeDelay::kMedium;
  s.lowCut = 80.0;
  s.highCut = 6000.0;
  s.slope = TapeDelay::Slope::k6dB;
  s.bandwidth = 16000.0;
  s.wobble = wobble;
  return s;
}

// Ticked frame by frame, or (`block`) in the plug-in's 128-frame slices.
void tickFrames(benchmark::State& state, const TapeDelay::Settings& s, bool block = false)
{
  TapeDelay d;
  d.prepare(kRate);
  d.inputOffset = 31;
  d.set(s);
  const std::vector<double> left = noise(kFrames);
  std::vector<double> right(left.size()), outL(left.size()), outR(left.size());
  for (std::size_t i = 0; i < left.size(); ++i)
    right[i] = -left[i];
  for (auto _ : state)
  {
    if (block)
    {
      for (int n = 0; n < kFrames; n += 128)
        d.process(left.data() + n, right.data() + n, outL.data() + n, outR.data() + n, 128);
    }
    else
    {
      for (std::size_t n = 0; n < left.size(); ++n)
        d.tick(left[n], right[n], outL[n], outR[n]);
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
  }
  const auto frames = static_cast<double>(state.iterations()) * kFrames;
  state.SetItemsProcessed(static_cast<std::int64_t>(frames));
  // Printed with an SI prefix: "87n" is 87 ns per frame.
  state.counters["s_per_frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // Seconds of audio per second of work.
  state.counters["x_realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void BM_TapeDelayTick(benchmark::State& state)
{
  tickFrames(state, pluginSettings(false, 0.3));
}
BENCHMARK(BM_TapeDelayTick);

// The same through process(): compare with BM_TapeDelayTick.
void BM_TapeDelayProcess(benchmark::State& state)
{
  tickFrames(state, pluginSettings(false, 0.3), true);
}
BENCHMARK(BM_TapeDelayProcess);

void BM_TapeDelayTickPingPong(benchmark::State& state)
{
  tickFrames(state, pluginSettings(true, 0.3));
}
BENCHMARK(BM_TapeDelayTickPingPong);

void BM_TapeDelayTickPlainNoWobble(benchmark::State& state)
{
  TapeDelay::Settings s = pluginSettings(false, 0.0);
  s.character = TapeDelay::kPlain;
  tickFrames(state, s);
}
BENCHMARK(BM_TapeDelayTickPlainNoWobble);

// The level law's power, (echo / input)^E, for a run of frames: by the
// library (mode 0, the baseline), by the inline logarithm and exponential one
// frame at a time (mode 1) and four frames at a time (mode 2). Compiled like
// the engine, with an AVX2 copy picked at load time.
CORVANA_DSP_CLONES void levelLaw(int mode, const double* input, const double* echo, double* gain,
                                 int frames)
{
  namespace law = ostratapedelay::dsp::feedbacklaw;
  const double g0 = 0.77, exponent = 0.16; // the medium law at feedback 60 %
  int i = 0;
  if (mode == 2)
  {
    for (; i + 4 <= frames; i += 4)
    {
      law::Quad in, ec;
      std::memcpy(&in, input + i, sizeof in);
      std::memcpy(&ec, echo + i, sizeof ec);
      const law::Quad g = law::gains(law::Quad{} + g0, in, ec, exponent);
      std::memcpy(gain + i, &g, sizeof g);
    }
  }
  for (; i < frames; ++i)
  {
    if (mode == 0)
      gain[i] = echo[i] >= input[i] ? g0 * input[i] / echo[i]
                                    : g0 * std::exp(exponent * std::log(echo[i] / input[i]));
    else
      gain[i] = law::gain(g0, input[i], echo[i], exponent);
  }
}

void BM_LevelLaw(benchmark::State& state)
{
  const std::vector<double> a = noise(kFrames), b = noise(kFrames + 1);
  std::vector<double> input(kFrames), echo(kFrames), gain(kFrames);
  for (std::size_t i = 0; i < input.size(); ++i)
  {
    input[i] = 0.3 + std::fabs(a[i]);
    echo[i] = input[i] * 4.0 * std::fabs(b[i + 1]); // mostly quieter than the input
  }
  for (auto _ : state)
  {
    levelLaw(static_cast<int>(state.range(0)), input.data(), echo.data(), gain.data(), kFrames);
    benchmark::DoNotOptimize(gain.data());
    benchmark::ClobberMemory();
  }
  state.counters["s_per_frame"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LevelLaw)->Arg(0)->Arg(1)->Arg(2);

void measureRequest(benchmark::State& state, const RepeatsModel::Request& request, bool skipSilence)
{
  RepeatsModel model;
  model.prepare();
  model.skipSilence = skipSilence;
  std::vector<Repeat> out;
  std::int64_t checks = 0;
  for (auto _ : state)
  {
    const bool done = model.measure(request, out,
                                    [&]
                                    {
                                      ++checks;
                                      return false;
                                    });
    benchmark::DoNotOptimize(done);
  }
  // Simulated samples, counted by the cancellation checks (one per 4096).
  const double simulated =
      static_cast<double>(checks) * 4096.0 / static_cast<double>(state.iterations());
  state.counters["repeats"] = static_cast<double>(out.size());
  state.counters["sim_seconds"] = simulated / kRate;
  state.counters["x_realtime"] = benchmark::Counter(
      simulated / kRate * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The plug-in's defaults: 1/4 note synced at 120 bpm (0.5 s), feedback 30 %.
RepeatsModel::Request defaultRequest()
{
  RepeatsModel::Request r;
  r.settings = pluginSettings(false, 0.0);
  r.settings.timeLeft = 0.5;
  r.settings.timeRight = 0.5;
  r.settings.feedback = 0.3;
  r.settings.lowCut = 20.0;
  r.settings.highCut = 20000.0;
  r.driveDb = 0.0;
  return r;
}

// The plug-in's defaults; argument 1 runs the silence skip, 0 the
// sample-by-sample reference.
void BM_RepeatsMeasureDefault(benchmark::State& state)
{
  measureRequest(state, defaultRequest(), state.range(0) != 0);
}
BENCHMARK(BM_RepeatsMeasureDefault)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Long delays and high feedback: no echo gets quiet, so the 60 s cap ends it.
RepeatsModel::Request worstRequest()
{
  RepeatsModel::Request r = defaultRequest();
  r.settings.timeLeft = 6.0;
  r.settings.timeRight = 5.9;
  r.settings.feedback = 0.95;
  r.settings.character = TapeDelay::kPlain;
  return r;
}

void BM_RepeatsMeasureWorstCase(benchmark::State& state)
{
  measureRequest(state, worstRequest(), state.range(0) != 0);
}
BENCHMARK(BM_RepeatsMeasureWorstCase)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The same with the plug-in's medium law and ping-pong.
void BM_RepeatsMeasureLongPingPong(benchmark::State& state)
{
  RepeatsModel::Request r = worstRequest();
  r.settings.character = TapeDelay::kMedium;
  r.settings.pingPong = true;
  measureRequest(state, r, state.range(0) != 0);
}
BENCHMARK(BM_RepeatsMeasureLongPingPong)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
