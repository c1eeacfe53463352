#pragma once

#include "graphics/svg/SvgDocument.h"

#include <vector>

namespace plug::graphics::svg
{

/** The outlines of the basic shapes as path commands, each closed and starting at a move. */
void appendRect(std::vector<Command>& out, float x, float y, float width, float height, float rx,
                float ry);
void appendEllipse(std::vector<Command>& out, float cx, float cy, float rx, float ry);

/** Orders each subpath so that a non-zero fill gives the shape's own fill rule: under
 *  non-zero a subpath keeps the direction it was drawn in; under even-odd it runs clockwise
 *  when it lies inside an even number of the shape's other subpaths, else counter-clockwise. */
void assignWindings(Shape& shape);

} // namespace plug::graphics::svg
