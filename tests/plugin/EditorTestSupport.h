#pragma once

#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/testing/EventInjector.h"
#include "graphics/testing/RecordingCanvas.h"
#include "plugin/OstraTapeDelay.h"

#include <memory>
#include <string>
#include <vector>

namespace ostra::test
{

using plug::graphics::testing::DrawCall;
using plug::graphics::testing::EventInjector;
using plug::graphics::testing::RecordingCanvas;

/** An OstraTapeDelay (or a subclass) whose editor opens on a recording canvas through the
 *  plug-in's own make-graphics path. */
template <class P = OstraTapeDelay>
struct PluginEditor
{
  PluginEditor()
    : plugin(std::make_unique<P>())
  {
    plugin->stopUpdateWorker();
    plugin->setCanvasFactory(
        [this](plug::graphics::ICanvasEditorDelegate& d, int w, int h, int, float scale)
        {
          auto c = std::make_unique<RecordingCanvas>(&d, w, h, scale);
          c->SetClock([this] { return nowMs; });
          canvas = c.get();
          return c;
        });
  }

  RecordingCanvas* open()
  {
    plugin->openEditor();
    if (canvas)
      input = std::make_unique<EventInjector>(*canvas);
    return canvas;
  }
  void close()
  {
    plugin->closeEditor();
    canvas = nullptr;
    input.reset();
  }
  /** One 20 ms idle tick of the plug-in. */
  void tick()
  {
    nowMs += 20.0;
    plugin->OnTimer();
  }
  template <class C>
  C* at(int idx) const
  {
    return dynamic_cast<C*>(canvas->GetControl(idx));
  }

  double nowMs = 1000.0;
  std::unique_ptr<P> plugin;
  RecordingCanvas* canvas = nullptr;
  std::unique_ptr<EventInjector> input;
};

} // namespace ostra::test
