#include "plugin/EditorPresetAndRepeats.h"

#include "controls/UpdatePillControl.h"
#include "graphics/ICanvas.h"
#include "plugin/Identity.h"
#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"
#include "presets/FactoryPresets.h"

#include <algorithm>

using namespace plug::graphics;
using corvana::controls::PresetBarControl;
using corvana::controls::PresetHooks;
using corvana::controls::UpdatePillControl;
using ostratapedelay::controls::RepeatsDisplayControl;
using ostratapedelay::controls::SettingsMenuControl;

namespace ostratapedelay::plugin
{

namespace
{
IText style(const char* font, float size, int alpha, EAlign align)
{
  return IText(size, IColor(alpha, 255, 255, 255), font, align, EVAlign::Middle);
}

double value(const OstraTapeDelay& plugin, int idx)
{
  return plugin.GetParam(idx)->Value();
}

double shownMs(double seconds)
{
  return seconds < 0.001 ? 1.0 : std::min(seconds, 6.0) * 1000.0;
}

const corvana::presets::SavedPreset* findUser(const std::vector<corvana::presets::SavedPreset>& all,
                                              const std::string& name)
{
  for (const auto& p : all)
    if (p.name == name)
      return &p;
  return nullptr;
}
} // namespace

RepeatsDisplayControl::Now repeatsNow(const OstraTapeDelay& plugin)
{
  RepeatsDisplayControl::Now now;
  now.active = value(plugin, kBypass) < 0.5;
  now.sync = value(plugin, kSync) >= 0.5;
  now.bpm = plugin.hostTempo();
  now.mix = value(plugin, kMix);
  now.wobble = value(plugin, kWobble) / 100.0;
  const auto settings = plugin.delaySettings(now.bpm);
  now.timeLMs = shownMs(settings.timeLeft);
  now.timeRMs = shownMs(settings.timeRight);
  return now;
}

PresetHooks presetHooks(OstraTapeDelay& plugin)
{
  PresetHooks h;
  h.userNames = [&plugin]
  {
    std::vector<std::string> names;
    for (const auto& p : plugin.savedPresets())
      names.push_back(p.name);
    return names;
  };
  h.currentName = [&plugin] { return plugin.presetName(); };
  h.load = [&plugin](const std::string& name)
  {
    const auto all = plugin.savedPresets();
    if (const auto* p = findUser(all, name))
      plugin.loadPreset(*p);
  };
  h.save = [&plugin](const std::string& name) { plugin.requestSave(name); };
  h.remove = [&plugin](const std::string& name)
  {
    const auto all = plugin.savedPresets();
    if (const auto* p = findUser(all, name))
      plugin.removePreset(*p);
  };
  h.isModified = [&plugin] { return plugin.presetModified(); };
  h.factoryNames = []
  {
    std::vector<std::string> names;
    for (const auto& p : ostratapedelay::offline::factoryPresets())
      names.push_back(p.name);
    return names;
  };
  h.loadFactory = [&plugin](const std::string& name) { plugin.loadFactoryPreset(name); };
  h.isFactory = [&plugin] { return plugin.presetIsFactory(); };
  return h;
}

PresetBarControl::Style presetBarStyle()
{
  PresetBarControl::Style s;
  s.font = IText(11.f, IColor(255, 250, 250, 250), "Roboto-Regular", EAlign::Center,
                 EVAlign::Middle, 0.f, IColor(255, 30, 30, 30), IColor(255, 250, 250, 250));
  return s;
}

SettingsMenuControl::Actions settingsActions(OstraTapeDelay& plugin, ScaleHooks scale)
{
  SettingsMenuControl::Actions a;
  a.inputMode = [&plugin] { return plugin.inputMode(); };
  // Auto also makes the audio thread look again whether the input is really mono.
  a.setInputMode = [&plugin](int mode) { plugin.setInputMode(mode); };
  a.scale = std::move(scale.scale);
  a.setScale = std::move(scale.setScale);
  a.accent = [&plugin] { return static_cast<int>(plugin.accentIndex()); };
  a.setAccent = [&plugin](int i) { plugin.setAccentIndex(static_cast<unsigned>(i)); };
  return a;
}

RepeatsDisplayControl* attachRepeatsDisplay(OstraTapeDelay& plugin, ICanvas& g,
                                            const IColor& accent)
{
  auto* display = new RepeatsDisplayControl(
      IRECT(28, 108, 972, 232), accent, style("Roboto-Regular", 11.5f, 107, EAlign::Near),
      style("Roboto-Regular", 10.f, 97, EAlign::Center), [&plugin] { return repeatsNow(plugin); });
  g.AttachControl(display, editor::kRepeatsTag);
  return display;
}

void attachSettingsNoticeAndPresetBar(OstraTapeDelay& plugin, ICanvas& g, ScaleHooks scale)
{
  // The three controls live and die together with the context, so they may point at each
  // other; the notice is made first because the settings menu lists its items.
  auto moveTitle = [&g](const IRECT& pill)
  {
    if (IControl* title = g.GetControlWithTag(editor::kTitleTag))
    {
      const float right = pill == IRECT() ? 836.f : pill.L - 10.f;
      title->SetTargetAndDrawRECTs(IRECT(28, 48, right, 82));
    }
    g.SetAllControlsDirty();
  };
  auto* notice = new UpdatePillControl(IRECT(696, 47, 856, 77),
                                       style("Roboto-Regular", 11.5f, 255, EAlign::Center),
                                       IColor(255, 252, 120, 92), IColor(255, 253, 146, 124),
                                       IColor(255, 10, 10, 10), plugin.updateCheck(), moveTitle);
  SettingsMenuControl::Actions actions = settingsActions(plugin, std::move(scale));
  actions.addUpdateItems = [notice](IPopupMenu& menu) { notice->addMenuItems(menu); };
  actions.updateItemChosen = [notice](int position) { notice->menuItemChosen(position); };
  auto* settings = new SettingsMenuControl(std::move(actions), kVersion);

  g.AttachControl(settings);
  g.AttachControl(notice);
  g.AttachControl(new PresetBarControl(IRECT(0, 0, 1000, 32), presetBarStyle(), presetHooks(plugin),
                                       [settings](const IRECT& r) { settings->OpenAt(r); }));
}

void idleRepeatsDisplay(OstraTapeDelay& plugin, ICanvas* g)
{
  if (!g)
    return;
  auto* display = dynamic_cast<RepeatsDisplayControl*>(g->GetControlWithTag(editor::kRepeatsTag));
  if (!display)
    return;
  std::vector<ostratapedelay::dsp::Repeat> results;
  if (plugin.pollRepeats(display->hasRepeats(), results))
    display->setRepeats(std::move(results));
}

} // namespace ostratapedelay::plugin
