#pragma once

#include "graphics/ITextControl.h"

namespace plug::graphics
{

/**
 * A parameter's current value as text (its display text where it has one, with the unit label
 * when asked), and a prompt for a new value on a click: a menu of the display texts for an
 * enumerated or on/off parameter, a text field otherwise. An enumerated parameter shows a
 * small downward triangle as a menu indicator. A double click counts as a click.
 */
class ICaptionControl : public ITextControl
{
public:
  ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text = IText(),
                  const IColor& bgColor = COLOR_TRANSPARENT, bool showParamLabel = true);

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnResize() override;
  bool GetShowsParamLabel() const override { return mShowParamLabel; }

  /** Where the menu triangle is drawn; empty unless the parameter is enumerated. */
  const IRECT& GetTriangleRECT() const { return mTriangleRECT; }
  /** The text the caption shows for its present value. */
  std::string MakeCaption() const;

protected:
  bool mShowParamLabel;
  IColor mTriangleColor = COLOR_BLACK;
  IColor mTriangleMouseOverColor = COLOR_WHITE;
  IRECT mTriangleRECT;
};

} // namespace plug::graphics
