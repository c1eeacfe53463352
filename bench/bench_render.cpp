// End-to-end cost of `ostratape render` on a 60 s stereo file at 48 kHz: file
// reading, the offline host, the effect, the tail and the atomic file write.
//
// Counters: "xRT_input" is 60 s of input divided by the time per render;
// "xRT_rendered" counts the tail too; "frame" is the time per rendered frame.
// The time is the process's CPU time (all threads); the wall time per render
// is in the Time column.

#include "cli/AudioFile.h"
#include "cli/RenderCommand.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace cli = ostratapedelay::cli;
namespace fs = std::filesystem;

namespace
{

constexpr int kRate = 48000;
constexpr int kSeconds = 60;

// A temporary folder with the 60 s input, removed at exit.
class Fixture
{
public:
  Fixture()
  {
    std::string pattern = (fs::temp_directory_path() / "ostra-bench-render-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      std::abort();
    mDir = pattern;
    mInput = (mDir / "input.wav").string();
    mOutput = (mDir / "output.wav").string();
    writeInput();
  }
  ~Fixture()
  {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  const std::string& input() const { return mInput; }
  const std::string& output() const { return mOutput; }

private:
  // Phrases of a chord with noise, two seconds on and one off, 24-bit PCM.
  void writeInput()
  {
    cli::AtomicAudioWriter writer(mInput, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, kRate});
    constexpr int kChunk = 4800;
    std::vector<double> l(kChunk), r(kChunk);
    const double* planes[2]{l.data(), r.data()};
    std::uint32_t s = 99;
    for (int start = 0; start < kSeconds * kRate; start += kChunk)
    {
      for (int i = 0; i < kChunk; ++i)
      {
        const double t = static_cast<double>(start + i) / kRate;
        const double gate = std::fmod(t, 3.0) < 2.0 ? 1.0 : 0.0;
        s = s * 1664525u + 1013904223u;
        const double noise = 0.05 * (s * (2.0 / 4294967296.0) - 1.0);
        const double tone = 0.2 * std::sin(2.0 * std::numbers::pi * 220.0 * t) +
                            0.15 * std::sin(2.0 * std::numbers::pi * 277.2 * t);
        l[static_cast<std::size_t>(i)] = gate * (tone + noise);
        r[static_cast<std::size_t>(i)] = gate * (0.8 * tone - noise);
      }
      writer.write(planes, kChunk);
    }
    writer.commit();
  }

  fs::path mDir;
  std::string mInput;
  std::string mOutput;
};

const Fixture& fixture()
{
  static const Fixture f;
  return f;
}

// Argument 0: the defaults (`ostratape render in.wav out.wav`); 1: busy settings.
void BM_RenderFile(benchmark::State& state)
{
  const Fixture& f = fixture();
  cli::RenderOptions options;
  options.input = f.input();
  options.output = f.output();
  if (state.range(0) == 1)
    options.state.sets = {"Drive=6", "Wobble=100", "Width=50", "Duck=6", "Feedback=50", "Sync=off"};
  std::int64_t rendered = 0;
  for (auto _ : state)
  {
    std::ostringstream notes;
    std::ostringstream progress;
    const cli::RenderResult result = cli::render(options, notes, progress);
    rendered += result.inputFrames + result.tailFrames;
    benchmark::DoNotOptimize(result.timerTicks);
  }
  const double renders = static_cast<double>(state.iterations());
  state.counters["xRT_input"] = benchmark::Counter(renders * kSeconds, benchmark::Counter::kIsRate);
  state.counters["xRT_rendered"] =
      benchmark::Counter(static_cast<double>(rendered) / kRate, benchmark::Counter::kIsRate);
  state.counters["frame"] = benchmark::Counter(
      static_cast<double>(rendered), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(2);

} // namespace
