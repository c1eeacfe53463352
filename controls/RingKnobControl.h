#pragma once

#include "graphics/IVectorKnobControl.h"

namespace corvana::controls
{

/** The stock vector knob with a full ring drawn behind its value arc, so the whole travel
 *  shows even at the minimum. Editor thread. */
class RingKnobControl : public plug::graphics::IVectorKnobControl
{
public:
  RingKnobControl(const plug::graphics::IRECT& bounds, int paramIdx, const char* label,
                  const plug::graphics::IVectorStyle& style, bool valueIsEditable,
                  bool valueInWidget, float aMin, float aMax, float aAnchor,
                  plug::graphics::EDirection direction, double gearing, float trackSize,
                  const plug::graphics::IColor& ringColor);

  void DrawIndicatorTrack(plug::graphics::ICanvas& g, float angle, float cx, float cy,
                          float radius) override;

  float anchorAngle() const { return mAnchorAngle; }
  const plug::graphics::IColor& ringColor() const { return mRingColor; }

private:
  plug::graphics::IColor mRingColor;
};

} // namespace corvana::controls
