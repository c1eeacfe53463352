// The idle tick's repeats request when nothing changed (every tick pays it), and the time
// from a changed request to new results at the plug-in's default settings.

#include "plugin/OstraTapeDelay.h"
#include "plugin/RepeatsWorker.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

using ostratapedelay::plugin::RepeatsWorker;

namespace
{

void BM_RepeatsRequestUnchanged(benchmark::State& state)
{
  RepeatsWorker worker;
  OstraTapeDelay plugin;
  plugin.stopUpdateWorker();
  const auto request = plugin.repeatsRequest();
  worker.request(request);
  for (auto _ : state)
    worker.request(request);
}
BENCHMARK(BM_RepeatsRequestUnchanged);

// Debounce plus one measurement, as the user sees it after the last knob change: each
// iteration posts a new request (alternating two times) and polls every millisecond, as a
// fast idle tick would, until the results arrive.
void BM_RepeatsLatencyAtDefaults(benchmark::State& state)
{
  OstraTapeDelay plugin;
  plugin.stopUpdateWorker();
  auto request = plugin.repeatsRequest();
  RepeatsWorker worker;
  std::vector<RepeatsWorker::Repeat> out;
  bool flip = false;
  for (auto _ : state)
  {
    request.settings.feedback += flip ? 1e-9 : -1e-9; // a new request, the same echoes
    flip = !flip;
    worker.request(request);
    while (!worker.takeResults(true, out))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  state.counters["repeats"] = static_cast<double>(out.size());
}
BENCHMARK(BM_RepeatsLatencyAtDefaults)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

} // namespace
