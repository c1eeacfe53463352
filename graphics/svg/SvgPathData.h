#pragma once

#include "graphics/svg/SvgDocument.h"

#include <string>
#include <string_view>
#include <vector>

namespace plug::graphics::svg
{

/** Appends the outline of path data ("M0 0 L10 0 A5 5 0 0 1 20 0 Z" ...) as moves, lines,
 *  cubics and closes: H and V become lines, S, Q and T cubics, and each arc up to four cubics.
 *  Every subpath starts with a move, also one that follows a close. False with a message on a
 *  malformed string or when `commands` would grow past `maxCommands`. */
bool parsePathData(std::string_view data, std::vector<Command>& commands, std::size_t maxCommands,
                   std::string& error);

/** Appends an elliptical arc from (x0, y0) to (x, y) in the endpoint form of path data, as
 *  cubics (a line when a radius is zero, nothing when the ends coincide). */
void appendArc(std::vector<Command>& commands, float x0, float y0, float rx, float ry,
               float rotationDegrees, bool largeArc, bool sweep, float x, float y);

} // namespace plug::graphics::svg
