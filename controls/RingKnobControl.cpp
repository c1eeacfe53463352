#include "controls/RingKnobControl.h"

#include "graphics/ICanvas.h"

namespace corvana::controls
{

using namespace plug::graphics;

RingKnobControl::RingKnobControl(const IRECT& bounds, int paramIdx, const char* label,
                                 const IVectorStyle& style, bool valueIsEditable,
                                 bool valueInWidget, float aMin, float aMax, float aAnchor,
                                 EDirection direction, double gearing, float trackSize,
                                 const IColor& ringColor)
  : IVectorKnobControl(bounds, paramIdx, label, style, valueIsEditable, valueInWidget, aMin, aMax,
                       aAnchor, direction, gearing, trackSize)
  , mRingColor(ringColor)
{
}

void RingKnobControl::DrawIndicatorTrack(ICanvas& g, float angle, float cx, float cy, float radius)
{
  if (mTrackSize > 0.f)
    g.DrawArc(mRingColor, cx, cy, radius, mAngleMin, mAngleMax, &mBlend, mTrackSize);
  IVectorKnobControl::DrawIndicatorTrack(g, angle, cx, cy, radius);
}

} // namespace corvana::controls
