// The plug-in's editor: one whole frame drawn offscreen at scales 1 and 2 (the target is
// 16 ms at scale 1, sixty frames a second without a GPU), and one idle tick of an open,
// settled editor. This machine draws with Mesa's llvmpipe on the processor.

#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/offscreen/ICanvasOffscreen.h"
#include "plugin/OstraTapeDelay.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace plug::graphics;

namespace
{

/** A plug-in with its editor open offscreen at `scale`; null canvas when GL cannot start. */
struct OpenEditor
{
  explicit OpenEditor(float scale)
  {
    plugin->stopUpdateWorker();
    plugin->SetEditorSize(int(1000 * scale), int(456 * scale));
    plugin->setCanvasFactory(
        [this](ICanvasEditorDelegate& d, int w, int h, int, float s)
        {
          auto c = std::make_unique<ICanvasOffscreen>(&d, w, h, s);
          canvas = c.get();
          return c;
        });
    plugin->openEditor();
    for (int i = 0; i < 5; ++i)
      plugin->OnTimer();
  }
  std::unique_ptr<OstraTapeDelay> plugin = std::make_unique<OstraTapeDelay>();
  ICanvasOffscreen* canvas = nullptr;
};

void BM_EditorFrame(benchmark::State& state)
{
  OpenEditor editor(float(state.range(0)));
  if (!editor.canvas || !editor.canvas->IsReady())
  {
    state.SkipWithError(editor.canvas ? editor.canvas->GetError().c_str() : "no editor");
    return;
  }
  IOffscreenFrame frame;
  std::string error;
  for (auto _ : state)
  {
    if (!editor.canvas->RenderFrame(frame, error))
    {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(frame.rgba.data());
  }
  state.counters["px"] = benchmark::Counter(
      double(frame.width) * frame.height * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EditorIdleTick(benchmark::State& state)
{
  OpenEditor editor(1.f);
  if (!editor.canvas)
  {
    state.SkipWithError("no editor");
    return;
  }
  for (auto _ : state)
    editor.plugin->OnTimer();
}

} // namespace

BENCHMARK(BM_EditorFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditorIdleTick)->Unit(benchmark::kMicrosecond);
