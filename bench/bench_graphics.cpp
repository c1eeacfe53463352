// One whole editor-like frame drawn offscreen: a panel, a filled block, text, four knobs
// (arcs), SVG artwork plain and through a layer, read back as pixels. At draw scales 1 and 2
// (four times the pixels). "px" is the frame's pixel count per second.
//
// This machine renders with Mesa's llvmpipe on the processor, so the figures are what a
// headless snapshot costs, not what a GPU-backed editor window costs.

#include "graphics/offscreen/ICanvasOffscreen.h"
#include "tests/graphics_nanovg/TestScene.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace plug::graphics;

namespace
{

void BM_OffscreenFrame(benchmark::State& state)
{
  const float scale = static_cast<float>(state.range(0));
  auto canvas =
      std::make_unique<ICanvasOffscreen>(nullptr, test::kSceneWidth, test::kSceneHeight, scale);
  if (!canvas->IsReady())
  {
    state.SkipWithError(canvas->GetError().c_str());
    return;
  }
  std::string error;
  if (!canvas->LoadFont("Roboto-Regular",
                        "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf",
                        error) ||
      !canvas->LoadFont("RobotoCondensed-Bold",
                        "/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Bold.ttf",
                        error))
  {
    state.SkipWithError(error.c_str());
    return;
  }
  test::BuildTestScene(*canvas);
  IOffscreenFrame frame;
  for (auto _ : state)
  {
    if (!canvas->RenderFrame(frame, error))
    {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(frame.rgba.data());
  }
  state.counters["px"] = benchmark::Counter(static_cast<double>(frame.width) * frame.height *
                                                static_cast<double>(state.iterations()),
                                            benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_OffscreenFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
