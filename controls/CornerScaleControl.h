#pragma once

#include "graphics/IControl.h"

namespace corvana::controls
{

/**
 * The grip in the editor's bottom-right corner: dragging it scales the whole editor between
 * the minimum and maximum scale, a double click returns to scale 1. The mouse cursor turns
 * into the diagonal resize arrow while over it. Editor thread.
 */
class CornerScaleControl : public plug::graphics::IControl
{
public:
  CornerScaleControl(const plug::graphics::IRECT& bounds, float baseWidth, float minScale,
                     float maxScale, const plug::graphics::IColor& color,
                     const plug::graphics::IColor& hoverColor);

  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY,
                   const plug::graphics::IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseOut() override;
  void Draw(plug::graphics::ICanvas& g) override;

private:
  void resizeTo(float scale);

  float mBaseWidth;
  float mMinScale;
  float mMaxScale;
  plug::graphics::IColor mColor;
  plug::graphics::IColor mHoverColor;
  float mDragStartWidth = 0.f;
  float mDragAccum = 0.f;
  bool mCursorSet = false;
  plug::graphics::ECursor mSavedCursor = plug::graphics::ECursor::Arrow;
};

} // namespace corvana::controls
