#pragma once

#include "controls/PresetBarControl.h"
#include "controls/RepeatsDisplayControl.h"
#include "controls/SettingsMenuControl.h"
#include "graphics/IColor.h"
#include "plugin/EditorStyle.h"

#include <functional>

namespace plug::graphics
{
class ICanvas;
}

class OstraTapeDelay;

/**
 * The editor's repeats display, settings menu, update notice and preset bar, bound to the
 * plug-in. The layout calls attachRepeatsDisplay at the display's place in the drawing order
 * and attachSettingsNoticeAndPresetBar last (the bar and its menu draw on top); the idle
 * tick calls idleRepeatsDisplay. Main thread.
 */
namespace ostratapedelay::plugin
{

/** How the settings menu reads and sets the window scale (the editor's scaling). */
struct ScaleHooks
{
  std::function<float()> scale;
  std::function<void(float)> setScale;
};

/** What the display shows besides the repeats, from the plug-in's parameters and tempo. */
ostratapedelay::controls::RepeatsDisplayControl::Now repeatsNow(const OstraTapeDelay& plugin);

/** The preset bar's hooks on the plug-in's preset bookkeeping. */
corvana::controls::PresetHooks presetHooks(OstraTapeDelay& plugin);

/** The bar's colours, font and margins as the editor uses them. */
corvana::controls::PresetBarControl::Style presetBarStyle();

/** The settings actions: input mode, accent, the given scale hooks; no update items (the
 *  caller adds the notice's). */
ostratapedelay::controls::SettingsMenuControl::Actions settingsActions(OstraTapeDelay& plugin,
                                                                       ScaleHooks scale);

/** Attaches the repeats display at (28, 108, 972, 232) with tag 3, in the accent colour. */
ostratapedelay::controls::RepeatsDisplayControl*
attachRepeatsDisplay(OstraTapeDelay& plugin, plug::graphics::ICanvas& g,
                     const plug::graphics::IColor& accent);

/** Attaches, in this order, the settings menu, the update notice at (696, 47, 856, 77) and
 *  the preset bar at (0, 0, 1000, 32), whose menu button opens the settings menu. */
void attachSettingsNoticeAndPresetBar(OstraTapeDelay& plugin, plug::graphics::ICanvas& g,
                                      ScaleHooks scale);

/** The idle tick's repeats step: posts the current request to the plug-in's worker and
 *  hands new results to the display. Nothing without an editor or a display. */
void idleRepeatsDisplay(OstraTapeDelay& plugin, plug::graphics::ICanvas* g);

} // namespace ostratapedelay::plugin
