#pragma once

#include "controls/PresetHooks.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"

#include <functional>
#include <string>
#include <vector>

namespace corvana::controls
{

/**
 * The editor's top strip: the current preset's name (with "*" while modified), arrows that
 * step through factory then user presets, a list of them all, Save, Save as and a Delete that
 * wants a second click, and a button for the settings menu. It knows nothing of the product:
 * everything goes through PresetHooks and the menu hook. Main thread only.
 */
class PresetBarControl : public plug::graphics::IControl
{
public:
  struct Style
  {
    plug::graphics::IColor fill{255, 20, 20, 20};
    plug::graphics::IColor frame{77, 250, 250, 250};
    plug::graphics::IColor text{255, 250, 250, 250};
    plug::graphics::IColor dimText{107, 250, 250, 250};
    plug::graphics::IColor hover{20, 250, 250, 250};
    plug::graphics::IColor warning{255, 255, 157, 46};
    plug::graphics::IText font;
    float scale = 1.f;
    std::string label;
    plug::graphics::IColor barBackground{255, 17, 17, 17};
    plug::graphics::IColor barLine{26, 250, 250, 250};
    float marginLeft = 28.f;
    float marginRight = 28.f;
  };

  struct Entry
  {
    std::string name;
    bool factory = false;
    bool operator==(const Entry&) const = default;
  };

  enum Region : int
  {
    kNone = 0,
    kPrevious,
    kName,
    kNext,
    kSave,
    kSaveAs,
    kDelete,
    kMenu
  };

  using MenuHook = std::function<void(const plug::graphics::IRECT&)>;

  static constexpr int kNameLength = 80;

  PresetBarControl(const plug::graphics::IRECT& bounds, Style style, PresetHooks hooks,
                   MenuHook menuHook);

  /** Element rectangles from the bar's rectangle; runs on every resize. */
  void layout();
  /** The first element (1..7) holding the point, or 0. */
  int regionAt(float x, float y) const;
  /** Loads the entry `direction` steps away from the current preset, wrapping at both ends. */
  void step(int direction);
  void openList();
  void promptForName();
  void refreshNames();
  /** `text` cut to `width` with "…" (whole UTF-8 characters); the last answer is cached. */
  const std::string& fitted(plug::graphics::ICanvas& g, const plug::graphics::IText& style,
                            const std::string& text, float width);
  void drawHamburger(plug::graphics::ICanvas& g, const plug::graphics::IRECT& r, bool highlighted);

  void Draw(plug::graphics::ICanvas& g) override;
  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnPopupMenuSelection(plug::graphics::IPopupMenu* menu, int valIdx) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void OnResize() override { layout(); }

  /** Element `region`'s rectangle (1..7); empty for the menu button without a menu hook. */
  const plug::graphics::IRECT& elementRect(int region) const { return mRects[region]; }
  const std::vector<Entry>& entries() const { return mEntries; }
  const std::string& armedName() const { return mArmed; }
  int hoveredRegion() const { return mHover; }
  float pad() const { return mPad; }
  float rowHeight() const { return mRowH; }

private:
  std::string currentName() const;
  bool currentIsFactory() const;
  bool userPresetSelected(const std::string& name) const;
  void loadEntry(const Entry& entry);
  void drawNameField(plug::graphics::ICanvas& g);
  void drawArrow(plug::graphics::ICanvas& g, int region);
  void drawButton(plug::graphics::ICanvas& g, int region, const char* caption, bool enabled,
                  bool armed);

  Style mStyle;
  PresetHooks mHooks;
  MenuHook mMenuHook;
  plug::graphics::IPopupMenu mMenu;
  std::vector<Entry> mEntries;
  std::vector<Entry> mListed; // what the open list shows; its tags index this
  bool mHasEntries = false;
  bool mLoaded = false;
  std::string mArmed;
  int mHover = kNone;
  plug::graphics::IRECT mRects[8];
  float mPad = 2.f;
  float mRowH = 0.f;
  // Fitting the name measures text repeatedly; the name rarely changes between frames.
  std::string mFitSource;
  float mFitWidth = -1.f;
  std::string mFitResult;
};

} // namespace corvana::controls
