// The instance's editor side: what the bundle's UI binary asks of the running effect. Every
// call comes from the host's UI thread while it holds the editor lock.
#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "lv2/Lv2Instance.h"

#include <algorithm>
#include <cmath>

namespace ostratapedelay::lv2
{

namespace
{
constexpr std::chrono::milliseconds kEditorTickPeriod{20};
// A UI thread that stalls does not make up for more than this many ticks at once: the tick
// keeps its count over time without a burst of stale work after a long pause.
constexpr int kMaxCatchUpTicks = 5;
} // namespace

plug::graphics::ICanvas* Lv2Instance::openEditor(const EditorHost& host)
{
  closeEditor();
  Lv2Effect& fx = *mEffect;
  mEditorHost = &host;
  // From here the worker's tick stands aside; it never runs while this thread holds the lock.
  mEditorOpen.store(true);
  fx.setEditorHost(&host);
  fx.setCanvasFactory(
      [&host](plug::graphics::ICanvasEditorDelegate& delegate, int width, int height, int fps,
              float scale)
      { return host.makeCanvas(host.context, delegate, width, height, fps, scale); });
  plug::graphics::ICanvas* canvas = fx.openEditor();
  if (!canvas)
  {
    closeEditor();
    return nullptr;
  }
  mNextEditorTick = mEditorClock();
  return canvas;
}

void Lv2Instance::closeEditor(const EditorHost* host)
{
  if (host && host != mEditorHost)
    return;
  Lv2Effect& fx = *mEffect;
  if (fx.ui())
    fx.closeEditor();
  // The factory refers to code of the UI binary, which the host may unload next.
  fx.setCanvasFactory(nullptr);
  fx.setEditorHost(nullptr);
  mEditorHost = nullptr;
  mEditorOpen.store(false);
}

bool Lv2Instance::editorIdle(const EditorHost* host)
{
  if (!mEditorHost || !mEffect->ui() || (host && host != mEditorHost))
    return false;
  const auto now = mEditorClock();
  int ticks = 0;
  while (now >= mNextEditorTick && ticks < kMaxCatchUpTicks)
  {
    try
    {
      mEffect->GetTimer().Tick();
    }
    catch (...)
    {
      // As on the worker: the next tick tries again.
    }
    mNextEditorTick += kEditorTickPeriod;
    ++ticks;
  }
  if (now >= mNextEditorTick)
    mNextEditorTick = now + kEditorTickPeriod;
  // The tick may have closed the editor (a rebuild reopens it through the same host).
  return mEditorHost && mEffect->ui() && mEditorHost->viewIdle(mEditorHost->context);
}

void Lv2Instance::editorPortEvent(std::uint32_t port, float value)
{
  if (port >= static_cast<std::uint32_t>(plugin::kNumParams) || !std::isfinite(value))
    return;
  const plug::IParam* p = mEffect->GetParam(static_cast<int>(port));
  mEffect->SendParameterValueFromDelegate(
      static_cast<int>(port), std::clamp(p->ToNormalized(p->Constrain(value)), 0.0, 1.0), true);
}

void Lv2Instance::editorParentResized(int width, int height)
{
  if (mEffect->ui() && width > 0 && height > 0)
    mEffect->OnParentWindowResize(width, height);
}

const EditorAccess& Lv2Instance::editorAccess() noexcept
{
  static const EditorAccess access = {
      [](LV2_Handle h) { static_cast<Lv2Instance*>(h)->lockEditor(); },
      [](LV2_Handle h) { static_cast<Lv2Instance*>(h)->unlockEditor(); },
      [](LV2_Handle h, const EditorHost* host) -> plug::graphics::ICanvas*
      { return host ? static_cast<Lv2Instance*>(h)->openEditor(*host) : nullptr; },
      [](LV2_Handle h, const EditorHost* host) { static_cast<Lv2Instance*>(h)->closeEditor(host); },
      [](LV2_Handle h, const EditorHost* host)
      { return host && static_cast<Lv2Instance*>(h)->editorIdle(host); },
      [](LV2_Handle h, std::uint32_t port, float value)
      { static_cast<Lv2Instance*>(h)->editorPortEvent(port, value); },
      [](LV2_Handle h, int width, int height)
      { static_cast<Lv2Instance*>(h)->editorParentResized(width, height); },
  };
  return access;
}

} // namespace ostratapedelay::lv2
