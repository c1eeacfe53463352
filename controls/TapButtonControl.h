#pragma once

#include "graphics/IControl.h"

#include <functional>
#include <string>

namespace corvana::controls
{

/**
 * A momentary button that sends 1 to its parameter as one complete host gesture on every
 * press (the second click of a double click too) and flashes in the accent for 90 ms. A tap
 * that arrives as a parameter change flashes it as well. While the disabled predicate holds,
 * the button is dimmed and ignores clicks. Editor thread.
 */
class TapButtonControl : public plug::graphics::IControl
{
public:
  static constexpr double kFlashMs = 90.0;

  TapButtonControl(const plug::graphics::IRECT& bounds, int paramIdx, const char* label,
                   const plug::graphics::IText& text, const plug::graphics::IColor& accent);

  /** True while clicks should do nothing; empty for never. */
  std::function<bool()> disabled;

  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void Draw(plug::graphics::ICanvas& g) override;
  void SetValueFromDelegate(double value, int valIdx = 0) override;
  /** Dirty while flashing, and once more when the flash has ended so it is drawn unlit. */
  bool IsDirty() override;

  bool isFlashing() const { return NowMs() < mFlashUntilMs; }
  bool isDisabled() const { return disabled && disabled(); }

private:
  void tap();
  void startFlash();

  std::string mLabel;
  plug::graphics::IColor mAccent;
  plug::graphics::IColor mFill{255, 20, 20, 20};
  plug::graphics::IColor mBorder{56, 250, 250, 250};
  double mFlashUntilMs = 0.0;
  bool mFlashPending = false;
};

} // namespace corvana::controls
