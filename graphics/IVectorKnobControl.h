#pragma once

#include "graphics/IControl.h"
#include "graphics/IVectorBase.h"

namespace plug::graphics
{

/**
 * A rotary knob drawn with vector primitives: a value arc between `aMin` and `aMax` (degrees,
 * 0° up, clockwise) growing from the anchor angle, a pressable ellipse handle and a pointer.
 * Dragging along `direction` over the full height (or width) of the control moves the value by
 * 1/gearing, ten times finer with shift or control held; a stepped parameter's value snaps to
 * its steps. A double click returns the default, a right click prompts for a value.
 */
class IVectorKnobControl : public IControl, public IVectorBase
{
public:
  IVectorKnobControl(const IRECT& bounds, int paramIdx, const char* label = "",
                     const IVectorStyle& style = kDefaultStyle, bool valueIsEditable = false,
                     bool valueInWidget = false, float aMin = -135.f, float aMax = 135.f,
                     float aAnchor = -135.f, EDirection direction = EDirection::Vertical,
                     double gearing = 4.0, float trackSize = 2.f);

  void Draw(ICanvas& g) override;
  void DrawWidget(ICanvas& g) override;
  /** The arc under the value: from the anchor to the value's angle, in the first extra
   *  colour. Overridden to add a ring behind it. */
  virtual void DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius);
  /** The radial line at the value's angle, from 0.1 to 1.0 of the handle's radius. */
  virtual void DrawPointer(ICanvas& g, float angle, float cx, float cy, float radius);
  virtual void DrawPressableShape(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver,
                                  bool disabled);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d) override;
  void OnResize() override;
  void SetStyle(const IVectorStyle& style) override;

  /** The angle (degrees) that normalised `value` is drawn at. */
  float ValueToAngle(double value) const
  {
    return mAngleMin + float(value) * (mAngleMax - mAngleMin);
  }
  double GetGearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing > 0.0 ? gearing : 1.0; }
  float GetTrackSize() const { return mTrackSize; }
  /** The area a full drag is measured against (the control's rectangle). */
  const IRECT& GetDragBounds() const { return mRECT; }
  bool IsPressed() const { return mMouseDown; }

protected:
  /** A normalised value moved to the nearest step of a stepped parameter. */
  double SnapToStep(double value) const;
  void UpdateValueStr();

  float mAngleMin;
  float mAngleMax;
  float mAnchorAngle;
  EDirection mDirection;
  double mGearing;
  float mTrackSize;
  bool mValueIsEditable;
  bool mValueInWidget;
  bool mMouseDown = false;
  /** The unsnapped value a drag accumulates, so that many small moves add up. */
  double mDragValue = 0.0;
  float mInnerPointerFrac = 0.1f;
  float mOuterPointerFrac = 1.f;
  float mPointerThickness = 2.5f;
};

} // namespace plug::graphics
