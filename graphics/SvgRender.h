#pragma once

#include "graphics/ICanvas.h"

namespace plug::graphics
{

/** Draws `svg` fitted into `bounds` (whole, proportions kept, centred) through the canvas's
 *  path operations; every colour's alpha is multiplied by the blend's weight. Nothing is
 *  drawn for an invalid ISVG or empty bounds. The canvas's path transform is left as found. */
void RenderSvg(ICanvas& canvas, const ISVG& svg, const IRECT& bounds, const IBlend* blend);

} // namespace plug::graphics
