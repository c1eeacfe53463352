#pragma once

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"

#include <functional>
#include <string>

namespace ostratapedelay::controls
{

/**
 * Owns the settings menu that the preset bar's menu button opens: input mode, accent colour,
 * window size, the update-notice items and a version caption. Invisible and deaf to the
 * mouse; it exists to build the menu and receive its answer. Main thread only.
 */
class SettingsMenuControl : public plug::graphics::IControl
{
public:
  struct Actions
  {
    std::function<int()> inputMode;
    std::function<void(int)> setInputMode;
    std::function<float()> scale;
    std::function<void(float)> setScale;
    std::function<int()> accent;
    std::function<void(int)> setAccent;
    std::function<void(plug::graphics::IPopupMenu&)> addUpdateItems;
    std::function<void(int)> updateItemChosen; // position among the update items
  };

  struct Size
  {
    const char* label;
    float scale;
  };
  static constexpr Size kSizes[] = {
      {"Window 0.75x", 0.75f}, {"Window 1x", 1.f}, {"Window 1.5x", 1.5f}, {"Window 2x", 2.f}};
  static constexpr const char* kInputModes[] = {"Input: auto", "Input: stereo",
                                                "Input: left channel only"};
  static constexpr const char* kAccentNames[] = {"Green", "Red",    "Orange",
                                                 "Blue",  "Purple", "DAW color"};
  // A corner drag leaves the scale a little off the listed sizes; still show it as chosen.
  static constexpr float kScaleTolerance = 0.02f;

  SettingsMenuControl(Actions actions, std::string version);

  /** Builds the menu afresh and opens it at `r`. */
  void OpenAt(const plug::graphics::IRECT& r);
  void OnPopupMenuSelection(plug::graphics::IPopupMenu* menu, int valIdx) override;
  void Draw(plug::graphics::ICanvas&) override {}

  /** The menu as last built, for tests and tools. */
  const plug::graphics::IPopupMenu& menu() const { return mMenu; }

private:
  Actions mActions;
  std::string mVersion;
  plug::graphics::IPopupMenu mMenu;
  int mUpdateFirst = 0; // index of the first update item
  int mUpdateEnd = 0;   // one past the last
};

} // namespace ostratapedelay::controls
