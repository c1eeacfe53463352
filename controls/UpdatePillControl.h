#pragma once

#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "updates/UpdateCheck.h"

#include <functional>
#include <memory>
#include <string>

namespace corvana::controls
{

/**
 * The update notice: a pill at the right of its rectangle reading "<version> AVAILABLE" that
 * opens the product's page when clicked. It shares the update check with the plug-in, so the
 * check outlives a closed editor, and follows the check's generation to notice changes. The
 * layout learns where the pill went through the position hook (to make room for it).
 * Main thread only.
 */
class UpdatePillControl : public plug::graphics::IControl
{
public:
  using PositionHook = std::function<void(const plug::graphics::IRECT&)>;

  UpdatePillControl(const plug::graphics::IRECT& bounds, const plug::graphics::IText& text,
                    const plug::graphics::IColor& fill, const plug::graphics::IColor& hoverFill,
                    const plug::graphics::IColor& textColour,
                    std::shared_ptr<corvana::updates::UpdateCheck> check,
                    PositionHook positionHook);

  /** Reads the notice and places the pill; tells the position hook when the place changed. */
  void relayout();
  /** "Check for updates" (checked while enabled), then a separator. */
  void addMenuItems(plug::graphics::IPopupMenu& menu) const;
  /** The settings menu's answer: position 0 toggles the check; others do nothing. */
  void menuItemChosen(int position);

  void Draw(plug::graphics::ICanvas& g) override;
  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;
  void SetText(const plug::graphics::IText& text) override;
  bool IsHit(float x, float y) const override;
  bool IsDirty() override;

  const plug::graphics::IRECT& pill() const { return mPill; }
  const std::string& text() const { return mShownText; }
  const std::string& url() const { return mUrl; }

private:
  plug::graphics::IColor mFill;
  plug::graphics::IColor mHoverFill;
  plug::graphics::IColor mTextColour;
  std::shared_ptr<corvana::updates::UpdateCheck> mCheck;
  unsigned mGeneration = 0;
  plug::graphics::IRECT mPill;
  PositionHook mPositionHook;
  std::string mShownText;
  std::string mUrl;
  bool mHovering = false;
};

} // namespace corvana::controls
