#include "graphics/IPanelControl.h"

#include "graphics/ICanvas.h"

namespace plug::graphics
{

IPanelControl::IPanelControl(const IRECT& bounds, const IPattern& pattern, bool drawFrame)
  : IContainerBase(bounds)
  , mPattern(pattern)
  , mDrawFrame(drawFrame)
{
  mIgnoreMouse = true;
}

void IPanelControl::Draw(ICanvas& g)
{
  if (mPattern.type == EPatternType::Solid)
    g.FillRect(mPattern.GetColor(), mRECT, &mBlend);
  else
    g.PatternFill(mPattern, mRECT, &mBlend);
  if (mDrawFrame)
    g.DrawRect(COLOR_LIGHT_GRAY, mRECT, &mBlend, 1.f);
}

void IPanelControl::SetPattern(const IPattern& pattern)
{
  mPattern = pattern;
  SetDirty(false);
}

void IPanelControl::SetDrawFrame(bool draw)
{
  mDrawFrame = draw;
  SetDirty(false);
}

} // namespace plug::graphics
