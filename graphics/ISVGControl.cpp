#include "graphics/ISVGControl.h"

#include "graphics/ICanvas.h"

namespace plug::graphics
{

ISVGControl::ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer)
  : IControl(bounds)
  , mSVG(svg)
  , mUseLayer(useLayer)
{
  mIgnoreMouse = true;
}

void ISVGControl::Draw(ICanvas& g)
{
  if (!mSVG.IsValid())
    return;
  if (!mUseLayer)
  {
    g.DrawSVG(mSVG, mRECT, &mBlend);
    return;
  }
  if (!g.CheckLayer(mLayer))
  {
    g.StartLayer(this, mRECT);
    g.DrawSVG(mSVG, mRECT);
    mLayer = g.EndLayer();
  }
  // Without a layer (the backend could not make one) the artwork was drawn directly above.
  g.DrawLayer(mLayer, &mBlend);
}

void ISVGControl::OnResize()
{
  if (mLayer)
    mLayer->Invalidate();
}

void ISVGControl::OnRescale()
{
  if (mLayer)
    mLayer->Invalidate();
}

void ISVGControl::SetSVG(const ISVG& svg)
{
  mSVG = svg;
  if (mLayer)
    mLayer->Invalidate();
  SetDirty(false);
}

} // namespace plug::graphics
