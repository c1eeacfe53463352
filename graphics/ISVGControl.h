#pragma once

#include "graphics/IControl.h"

namespace plug::graphics
{

/** A piece of SVG artwork fitted into the control's rectangle, optionally kept as a layer so
 *  that it is rendered once per size and scale. Ignores the mouse. */
class ISVGControl : public IControl
{
public:
  ISVGControl(const IRECT& bounds, const ISVG& svg, bool useLayer = false);

  void Draw(ICanvas& g) override;
  void OnResize() override;
  void OnRescale() override;

  void SetSVG(const ISVG& svg);
  const ISVG& GetSVG() const { return mSVG; }

private:
  ISVG mSVG;
  bool mUseLayer;
  ILayerPtr mLayer;
};

} // namespace plug::graphics
