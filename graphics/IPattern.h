#pragma once

#include "graphics/IColor.h"

#include <utility>
#include <vector>

namespace plug::graphics
{

enum class EPatternType
{
  Solid,
  Linear,
  Radial
};

/** A colour stop of a gradient: the colour at `offset` (0..1) along it. */
struct IColorStop
{
  IColor color;
  float offset = 0.f;
  bool operator==(const IColorStop&) const = default;
};

/** What a path is filled or stroked with: one colour, or a linear gradient from (x1, y1) to
 *  (x2, y2), or a radial one about (x1, y1) with radius r; coordinates in editor units. */
struct IPattern
{
  EPatternType type = EPatternType::Solid;
  std::vector<IColorStop> stops = {{COLOR_BLACK, 0.f}};
  float x1 = 0.f, y1 = 0.f, x2 = 0.f, y2 = 0.f, r = 0.f;

  IPattern() = default;
  IPattern(const IColor& color) // implicit: a colour is a solid pattern
    : stops{{color, 0.f}}
  {
  }

  static IPattern Linear(float x1, float y1, float x2, float y2, std::vector<IColorStop> stops)
  {
    IPattern p;
    p.type = EPatternType::Linear;
    p.stops = std::move(stops);
    p.x1 = x1;
    p.y1 = y1;
    p.x2 = x2;
    p.y2 = y2;
    return p;
  }
  static IPattern Radial(float cx, float cy, float radius, std::vector<IColorStop> stops)
  {
    IPattern p;
    p.type = EPatternType::Radial;
    p.stops = std::move(stops);
    p.x1 = cx;
    p.y1 = cy;
    p.r = radius;
    return p;
  }

  /** The solid colour (the first stop's colour for a gradient). */
  IColor GetColor() const { return stops.empty() ? COLOR_TRANSPARENT : stops.front().color; }
  bool operator==(const IPattern&) const = default;
};

} // namespace plug::graphics
