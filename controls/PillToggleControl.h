#pragma once

#include "graphics/IControl.h"

#include <string>

namespace corvana::controls
{

/**
 * A pill-shaped on/off switch with an indicator dot and a label that names the state. Any
 * press toggles it; a double click returns the parameter to its default. With `invert` the
 * lit look belongs to the off state (Bypass reads "ACTIVE", lit, while it is off).
 * Editor thread.
 */
class PillToggleControl : public plug::graphics::IControl
{
public:
  PillToggleControl(const plug::graphics::IRECT& bounds, int paramIdx, const char* offLabel,
                    const char* onLabel, const plug::graphics::IText& text, float dotScale,
                    const plug::graphics::IColor& accent, bool invert);

  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void Draw(plug::graphics::ICanvas& g) override;

  /** Whether the control shows its lit look for its present value. */
  bool isLit() const { return mInvert != (GetValue() > 0.5); }
  /** The label shown for the present value. */
  const std::string& label() const { return GetValue() > 0.5 ? mOnLabel : mOffLabel; }

private:
  std::string mOffLabel;
  std::string mOnLabel;
  float mDotScale;
  bool mInvert;
  plug::graphics::IColor mFill{255, 20, 20, 20};
  plug::graphics::IColor mBorderUnlit{56, 250, 250, 250};
  plug::graphics::IColor mBorderLit{107, 250, 250, 250};
  plug::graphics::IColor mDotLit;
  plug::graphics::IColor mDotUnlit{56, 250, 250, 250};
};

} // namespace corvana::controls
