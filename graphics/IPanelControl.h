#pragma once

#include "graphics/IContainerBase.h"

namespace plug::graphics
{

/** A plain panel: fills its rectangle with a pattern (usually one colour) and, with its frame
 *  flag, outlines it in light grey, 1 unit thick. Ignores the mouse. */
class IPanelControl : public IContainerBase
{
public:
  IPanelControl(const IRECT& bounds, const IPattern& pattern = COLOR_MID_GRAY,
                bool drawFrame = false);

  void Draw(ICanvas& g) override;

  const IPattern& GetPattern() const { return mPattern; }
  void SetPattern(const IPattern& pattern);
  bool GetDrawFrame() const { return mDrawFrame; }
  void SetDrawFrame(bool draw);

private:
  IPattern mPattern;
  bool mDrawFrame;
};

} // namespace plug::graphics
