#include "graphics/svg/SvgOutlines.h"

#include <cmath>
#include <cstddef>

namespace plug::graphics::svg
{

namespace
{

// Control-point distance of a quarter circle drawn as one cubic.
constexpr float kKappa = 0.5522847498f;

void line(std::vector<Command>& out, float x, float y)
{
  out.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, x, y});
}

void cubic(std::vector<Command>& out, float x1, float y1, float x2, float y2, float x, float y)
{
  out.push_back({Verb::Cubic, x1, y1, x2, y2, x, y});
}

} // namespace

void appendRect(std::vector<Command>& out, float x, float y, float width, float height, float rx,
                float ry)
{
  rx = std::fmin(rx, width / 2.f);
  ry = std::fmin(ry, height / 2.f);
  const float r = x + width, b = y + height;
  out.push_back({Verb::Move, 0.f, 0.f, 0.f, 0.f, x + rx, y});
  line(out, r - rx, y);
  if (rx > 0.f && ry > 0.f)
    cubic(out, r - rx + kKappa * rx, y, r, y + ry - kKappa * ry, r, y + ry);
  line(out, r, b - ry);
  if (rx > 0.f && ry > 0.f)
    cubic(out, r, b - ry + kKappa * ry, r - rx + kKappa * rx, b, r - rx, b);
  line(out, x + rx, b);
  if (rx > 0.f && ry > 0.f)
    cubic(out, x + rx - kKappa * rx, b, x, b - ry + kKappa * ry, x, b - ry);
  line(out, x, y + ry);
  if (rx > 0.f && ry > 0.f)
    cubic(out, x, y + ry - kKappa * ry, x + rx - kKappa * rx, y, x + rx, y);
  out.push_back({Verb::Close});
}

void appendEllipse(std::vector<Command>& out, float cx, float cy, float rx, float ry)
{
  const float kx = kKappa * rx, ky = kKappa * ry;
  out.push_back({Verb::Move, 0.f, 0.f, 0.f, 0.f, cx + rx, cy});
  cubic(out, cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
  cubic(out, cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
  cubic(out, cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
  cubic(out, cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
  out.push_back({Verb::Close});
}

namespace
{

struct Ring
{
  std::size_t move = 0; // index of the subpath's move in the commands
  std::vector<float> xy;
};

/** Each subpath as a polygon; curves sampled finely enough for a direction and an inside test. */
std::vector<Ring> rings(const std::vector<Command>& commands)
{
  std::vector<Ring> result;
  float px = 0.f, py = 0.f;
  for (std::size_t i = 0; i < commands.size(); ++i)
  {
    const Command& c = commands[i];
    if (c.verb == Verb::Move)
    {
      result.push_back({i, {c.x, c.y}});
      px = c.x;
      py = c.y;
      continue;
    }
    if (result.empty() || c.verb == Verb::Close)
      continue;
    auto& xy = result.back().xy;
    if (c.verb == Verb::Cubic)
    {
      constexpr int kSteps = 8;
      for (int s = 1; s < kSteps; ++s)
      {
        const float t = static_cast<float>(s) / kSteps, u = 1.f - t;
        const float w0 = u * u * u, w1 = 3.f * u * u * t, w2 = 3.f * u * t * t, w3 = t * t * t;
        xy.push_back(w0 * px + w1 * c.x1 + w2 * c.x2 + w3 * c.x);
        xy.push_back(w0 * py + w1 * c.y1 + w2 * c.y2 + w3 * c.y);
      }
    }
    xy.push_back(c.x);
    xy.push_back(c.y);
    px = c.x;
    py = c.y;
  }
  return result;
}

/** Twice the signed area; positive for clockwise on screen, where y grows downwards. */
double signedArea(const std::vector<float>& xy)
{
  double sum = 0.0;
  const std::size_t n = xy.size() / 2;
  for (std::size_t i = 0; i < n; ++i)
  {
    const std::size_t j = (i + 1) % n;
    sum += static_cast<double>(xy[2 * i]) * xy[2 * j + 1] -
           static_cast<double>(xy[2 * j]) * xy[2 * i + 1];
  }
  return sum;
}

bool inside(const std::vector<float>& polygon, float x, float y)
{
  bool in = false;
  const std::size_t n = polygon.size() / 2;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++)
  {
    const float xi = polygon[2 * i], yi = polygon[2 * i + 1];
    const float xj = polygon[2 * j], yj = polygon[2 * j + 1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
      in = !in;
  }
  return in;
}

// Beyond this many point tests the even-odd nesting is not worked out (each subpath then
// keeps its direction); artwork is far below it, and it bounds the time for any input.
constexpr std::size_t kMaxNestingWork = 4000000;

} // namespace

void assignWindings(Shape& shape)
{
  const auto all = rings(shape.commands);
  std::size_t points = 0;
  for (const auto& ring : all)
    points += ring.xy.size() / 2;
  const bool nest = shape.fillRule == FillRule::EvenOdd && all.size() * points <= kMaxNestingWork;
  for (std::size_t i = 0; i < all.size(); ++i)
  {
    bool clockwise = signedArea(all[i].xy) >= 0.0;
    if (nest)
    {
      int depth = 0;
      for (std::size_t j = 0; j < all.size(); ++j)
        if (j != i && all[j].xy.size() >= 6 && inside(all[j].xy, all[i].xy[0], all[i].xy[1]))
          ++depth;
      clockwise = depth % 2 == 0;
    }
    shape.commands[all[i].move].clockwise = clockwise;
  }
}

} // namespace plug::graphics::svg
