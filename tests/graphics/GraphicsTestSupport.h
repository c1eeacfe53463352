#pragma once

#include "framework/IAPIBase.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IControl.h"
#include "graphics/testing/EventInjector.h"
#include "graphics/testing/RecordingCanvas.h"
#include "plugin/OstraTapeDelay.h"

#include <memory>
#include <string>
#include <vector>

namespace ostra::test
{

using namespace plug::graphics;
using plug::graphics::testing::DrawCall;
using plug::graphics::testing::EventInjector;
using plug::graphics::testing::OpenedTextEntry;
using plug::graphics::testing::RecordingCanvas;
using plug::graphics::testing::ShownMenu;

/** What the host was told, in order: 'B' begin gesture, 'V' value, 'E' end gesture. */
struct HostEvent
{
  char kind;
  int paramIdx;
  double value;
  bool operator==(const HostEvent&) const = default;
};

/** A plug-in whose host notifications are recorded instead of sent. */
template <class Base>
class HostRecorder : public Base
{
public:
  using Base::Base;
  void BeginInformHostOfParamChange(int idx) override { events.push_back({'B', idx, 0.0}); }
  void InformHostOfParamChange(int idx, double normalized) override
  {
    events.push_back({'V', idx, normalized});
  }
  void EndInformHostOfParamChange(int idx) override { events.push_back({'E', idx, 0.0}); }

  /** Just the kinds, e.g. "BVVE". */
  std::string kinds() const
  {
    std::string s;
    for (const HostEvent& e : events)
      s += e.kind;
    return s;
  }
  std::vector<HostEvent> events;
};

/** Parameters made to test the control rules; indices below. */
class TestPluginBase : public plug::IAPIBase
{
public:
  enum
  {
    kLinear = 0, // 0..1, not stepped
    kStepped,    // 0..1 in steps of 0.25, default 0.375 (between steps)
    kInteger,    // 0..10
    kChoice,     // "red", "green", "blue"
    kToggle,     // off/on
    kFrequency,  // 20..2000 Hz, "Off" at 20
    kNumParams
  };

  static plug::Config makeConfig()
  {
    plug::Config c;
    c.nParams = kNumParams;
    c.pluginName = "Test";
    c.plugWidth = 400;
    c.plugHeight = 200;
    return c;
  }

  TestPluginBase()
    : plug::IAPIBase(makeConfig())
  {
    GetParam(kLinear)->InitDouble("Linear", 0.5, 0.0, 1.0, 0.001);
    GetParam(kStepped)->InitDouble("Stepped", 0.375, 0.0, 1.0, 0.25, "",
                                   plug::IParam::kFlagStepped);
    GetParam(kInteger)->InitInt("Integer", 0, 0, 10);
    GetParam(kChoice)->InitEnum("Choice", 1, 3, "", 0, "", {"red", "green", "blue"});
    GetParam(kToggle)->InitBool("Toggle", false);
    GetParam(kFrequency)->InitFrequency("Frequency", 20.0, 20.0, 2000.0, 1.0);
    GetParam(kFrequency)->SetDisplayText(20.0, "Off");
  }
};

using TestPlugin = HostRecorder<TestPluginBase>;
using RealPlugin = HostRecorder<OstraTapeDelay>;

/** An open editor on a recording canvas for plug-in type P. */
template <class P>
struct Editor
{
  explicit Editor(int width = 400, int height = 200, float scale = 1.f,
                  ICanvasEditorDelegate::LayoutFunc layout = nullptr)
    : plugin(std::make_unique<P>())
    , delegate(*plugin)
  {
    delegate.SetLayoutFunc(std::move(layout));
    auto made = std::make_unique<RecordingCanvas>(&delegate, width, height, scale);
    canvas = made.get();
    delegate.OpenEditor(std::move(made));
    input = std::make_unique<EventInjector>(*canvas);
    canvas->SetClock([this] { return nowMs; });
  }

  /** The control attached at `tag`, as type C. */
  template <class C>
  C* get(int tag) const
  {
    return dynamic_cast<C*>(canvas->GetControlWithTag(tag));
  }

  double nowMs = 1000.0;
  std::unique_ptr<P> plugin;
  ICanvasEditorDelegate delegate;
  RecordingCanvas* canvas = nullptr;
  std::unique_ptr<EventInjector> input;
};

/** A control that fills its rectangle and records the hooks it receives. */
class ProbeControl : public IControl
{
public:
  explicit ProbeControl(const IRECT& bounds, int paramIdx = kNoParameter,
                        const IColor& color = COLOR_GREEN)
    : IControl(bounds, paramIdx)
    , mColor(color)
  {
  }
  ProbeControl(const IRECT& bounds, std::initializer_list<int> params)
    : IControl(bounds, params)
  {
  }

  void Draw(ICanvas& g) override { g.FillRect(mColor, mRECT, &mBlend); }
  void OnInit() override { lifecycle("OnInit"); }
  void OnResize() override { lifecycle("OnResize"); }
  void OnRescale() override { lifecycle("OnRescale"); }
  void OnAttached() override { lifecycle("OnAttached"); }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override
  {
    log("down");
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(float, float, const IMouseMod&) override { log("up"); }
  void OnMouseDrag(float, float, float, float, const IMouseMod&) override { log("drag"); }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override
  {
    log("dbl");
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override
  {
    log("over");
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override
  {
    log("out");
    IControl::OnMouseOut();
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override
  {
    log(menu ? "menu " + std::to_string(menu->GetChosenItemIdx()) : "menu none");
    IControl::OnPopupMenuSelection(menu, valIdx);
  }
  void OnTextEntryCompletion(const char* str, int) override { log(std::string("text ") + str); }

  /** Lifecycle hooks received since the last call, space-separated. */
  std::string takeLifecycle()
  {
    std::string s = mLifecycle;
    mLifecycle.clear();
    return s;
  }
  /** Input and prompt hooks received since the last call, space-separated. */
  std::string take()
  {
    std::string s = mLog;
    mLog.clear();
    return s;
  }
  /** Whether the control was in the context's list when each lifecycle hook ran. */
  std::vector<bool> inListAtHook;

private:
  void log(const std::string& what) { mLog += mLog.empty() ? what : " " + what; }
  void lifecycle(const std::string& what)
  {
    if (GetUI() && (what == "OnInit" || what == "OnAttached"))
      inListAtHook.push_back(GetUI()->GetControlIdx(this) >= 0);
    mLifecycle += mLifecycle.empty() ? what : " " + what;
  }

  IColor mColor;
  std::string mLog;
  std::string mLifecycle;
};

} // namespace ostra::test
