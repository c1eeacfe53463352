// Cost of the wet-path engines per sample: the tape stage, the width stage,
// the ducker and the whole per-sample chain of the block processing.
//
// Each benchmark reports "frame" (seconds per frame, shown with an SI prefix)
// and "xRT48k" (how many times faster than real time at 48 kHz).

#include "dsp/Duck.h"
#include "dsp/Tape.h"
#include "dsp/TapeDelay.h"
#include "dsp/Width.h"
#include "tests/dsp/TapeReference.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using corvana::dsp::Width;
using ostratapedelay::dsp::Duck;
using ostratapedelay::dsp::Tape;
using ostratapedelay::dsp::TapeDelay;

namespace
{

constexpr int kBlock = 512;
constexpr double kRate = 48000.0;

std::vector<double> testSignal(int n, unsigned seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(-0.3, 0.3);
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] =
        noise(rng) + 0.5 * std::sin(2.0 * 3.141592653589793 * 220.0 * i / kRate);
  return v;
}

void report(benchmark::State& state, int framesPerIteration)
{
  const double frames = static_cast<double>(state.iterations()) * framesPerIteration;
  state.counters["frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["xRT48k"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

// Times `step` on every sample of `in` (one sample in, one out), per frame.
template <class Step>
void tickEach(benchmark::State& state, const std::vector<double>& in, Step step)
{
  for (auto _ : state)
  {
    double acc = 0.0;
    for (double x : in)
      acc += step(x);
    benchmark::DoNotOptimize(acc);
  }
  report(state, static_cast<int>(in.size()));
}

void BM_TapeTick(benchmark::State& state)
{
  Tape tape;
  tape.setMode(static_cast<Tape::Mode>(state.range(0)));
  tape.prepare(kRate);
  tape.setDrive(std::pow(10.0, 12.0 / 20.0));
  const auto in = testSignal(kBlock, 1);
  tickEach(state, in, [&](double x) { return tape.tick(x); });
}
BENCHMARK(BM_TapeTick)
    ->Arg(static_cast<int>(Tape::kDirect))
    ->Arg(static_cast<int>(Tape::kAntiderivative))
    ->Arg(static_cast<int>(Tape::kOversampled));

// The oversampled stage over 512-frame blocks (what the plug-in runs), one
// channel; compare with BM_TapeTick/2 (the same bits, sample by sample).
void BM_TapeProcess(benchmark::State& state)
{
  Tape tape;
  tape.setMode(Tape::kOversampled);
  tape.prepare(kRate);
  tape.setDrive(std::pow(10.0, 12.0 / 20.0));
  const auto in = testSignal(kBlock, 1);
  std::vector<double> out(kBlock);
  for (auto _ : state)
  {
    tape.process(in.data(), out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  report(state, kBlock);
}
BENCHMARK(BM_TapeProcess);

// Both channels' stages in one pass; "frame" is per stereo frame. Baseline:
// two BM_TapeTick/2.
void BM_TapeProcessPair(benchmark::State& state)
{
  Tape left, right;
  for (Tape* t : {&left, &right})
  {
    t->setMode(Tape::kOversampled);
    t->prepare(kRate);
    t->setDrive(std::pow(10.0, 12.0 / 20.0));
  }
  const auto inL = testSignal(kBlock, 1);
  const auto inR = testSignal(kBlock, 2);
  std::vector<double> outL(kBlock), outR(kBlock);
  for (auto _ : state)
  {
    Tape::processPair(left, right, inL.data(), inR.data(), outL.data(), outR.data(), kBlock);
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
  }
  report(state, kBlock);
}
BENCHMARK(BM_TapeProcessPair);

// The saturator by its formula (two pow calls, arg 0) beside the tabled one (arg 1).
void BM_Saturate(benchmark::State& state)
{
  const auto saturate = state.range(0) == 0 ? &Tape::saturate : &Tape::saturateFast;
  const auto in = testSignal(kBlock, 2);
  tickEach(state, in, [&](double x) { return saturate(8.0 * x); });
}
BENCHMARK(BM_Saturate)->Arg(0)->Arg(1);

void BM_WidthProcess(benchmark::State& state)
{
  // Auto mode on a mono-looking input at full width: analyser and
  // decorrelator both run, the most expensive case.
  Width width;
  width.setMode(Width::kAuto);
  width.setMethod(static_cast<Width::Method>(state.range(0)));
  width.setWidth(1.0f);
  width.prepare(kRate);
  const auto l = testSignal(kBlock, 3);
  std::vector<double> outL(kBlock), outR(kBlock);
  for (auto _ : state)
  {
    width.process(l.data(), l.data(), outL.data(), outR.data(), kBlock);
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
  }
  report(state, kBlock);
}
BENCHMARK(BM_WidthProcess)
    ->Arg(static_cast<int>(Width::kDelays))
    ->Arg(static_cast<int>(Width::kAllpassCascade));

void BM_DuckTick(benchmark::State& state)
{
  Duck duck;
  duck.prepare(kRate);
  duck.setDepth(12.0);
  duck.setRelease(300.0);
  const auto in = testSignal(kBlock, 4);
  tickEach(state, in, [&](double x) { return duck.tick(x); });
}
BENCHMARK(BM_DuckTick);

// The per-sample chain of one stereo frame as the plug-in runs it: analyser,
// two tape stages, the delay lines (when `withDelay`), the echo width stage,
// the ducker and the mix law. Without the delay lines the tape output goes
// straight to the width stage, which shows this file's engines' share.
// `block` runs it as the plug-in does, each stage over the whole block in
// turn; otherwise every frame goes through the chain before the next (the
// baseline).
void chain(benchmark::State& state, bool withDelay, bool block)
{
  Tape tapeL, tapeR;
  TapeDelay delay;
  Width width, analyser;
  Duck duck;

  delay.prepare(kRate);
  for (Tape* t : {&tapeL, &tapeR})
  {
    t->setMode(Tape::kOversampled);
    t->prepare(kRate);
    t->setDrive(std::pow(10.0, 6.0 / 20.0));
  }
  width.prepare(kRate);
  width.setMode(Width::kStereo);
  width.setMethod(Width::kDelays);
  width.setWidth(0.5f);
  analyser.prepare(kRate);
  analyser.setMode(Width::kAuto);
  analyser.setWidth(0.0f);
  duck.prepare(kRate);
  duck.setDepth(6.0);
  duck.setRelease(300.0);

  // The plug-in's settings at Feedback 50 %, Wobble 100 %, Sync off.
  TapeDelay::Settings s;
  s.timeLeft = 0.375;
  s.timeRight = 0.5;
  s.feedback = 0.5;
  s.character = TapeDelay::kMedium;
  s.lowCut = 120.0;
  s.highCut = 6000.0;
  s.slope = TapeDelay::Slope::k6dB;
  s.bandwidth = 16000.0;
  s.wobble = 1.0;
  delay.inputOffset = static_cast<std::uint32_t>(tapeL.latency());
  delay.set(s);

  const auto inL = testSignal(kBlock, 5);
  const auto inR = testSignal(kBlock, 6);
  std::vector<double> outL(kBlock), outR(kBlock), echoL(kBlock), echoR(kBlock), gain(kBlock);
  std::vector<char> mono(kBlock);
  const double dry = 1.0;
  const double wetBase = 0.8;
  for (auto _ : state)
  {
    if (block)
    {
      Tape::processPair(tapeL, tapeR, inL.data(), inR.data(), echoL.data(), echoR.data(), kBlock);
      if (withDelay)
        delay.process(echoL.data(), echoR.data(), echoL.data(), echoR.data(), kBlock);
      for (std::size_t i = 0; i < kBlock; ++i)
      {
        analyser.analyse(inL[i], inR[i]); // as the plug-in does: only the decision is used
        mono[i] = analyser.state() == Width::kMono;
      }
      for (std::size_t i = 0; i < kBlock; ++i)
      {
        width.setMode(mono[i] ? Width::kMono : Width::kStereo);
        width.tick(echoL[i], echoR[i]);
      }
      for (std::size_t i = 0; i < kBlock; ++i)
        gain[i] = wetBase * duck.tick(std::max(std::fabs(inL[i]), std::fabs(inR[i])));
      for (std::size_t i = 0; i < kBlock; ++i)
      {
        outL[i] = dry * inL[i] + gain[i] * echoL[i];
        outR[i] = dry * inR[i] + gain[i] * echoR[i];
      }
    }
    else
    {
      for (std::size_t i = 0; i < kBlock; ++i)
      {
        const double l = inL[i];
        const double r = inR[i];
        analyser.analyse(l, r);
        width.setMode(analyser.state() == Width::kMono ? Width::kMono : Width::kStereo);
        double el = tapeL.tick(l);
        double er = tapeR.tick(r);
        if (withDelay)
          delay.tick(el, er, el, er);
        width.tick(el, er);
        const double wet = wetBase * duck.tick(std::max(std::fabs(l), std::fabs(r)));
        outL[i] = dry * l + wet * el;
        outR[i] = dry * r + wet * er;
      }
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
  }
  report(state, kBlock);
}

void BM_Chain(benchmark::State& state)
{
  chain(state, true, true);
}
BENCHMARK(BM_Chain);

void BM_ChainTicked(benchmark::State& state)
{
  chain(state, true, false);
}
BENCHMARK(BM_ChainTicked);

void BM_ChainWithoutDelayLines(benchmark::State& state)
{
  chain(state, false, true);
}
BENCHMARK(BM_ChainWithoutDelayLines);

// Baseline for the tape stage: the plain textbook loops with the pow-based
// saturator that the optimised stage is checked against.
void BM_TapeTickPlainReference(benchmark::State& state)
{
  tapetest::ReferenceTape tape;
  tape.prepare(kRate, static_cast<int>(state.range(0)), std::pow(10.0, 12.0 / 20.0));
  const auto in = testSignal(kBlock, 1);
  tickEach(state, in, [&](double x) { return tape.tick(x); });
}
BENCHMARK(BM_TapeTickPlainReference)
    ->Arg(static_cast<int>(Tape::kDirect))
    ->Arg(static_cast<int>(Tape::kOversampled));

} // namespace
