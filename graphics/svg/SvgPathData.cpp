#include "graphics/svg/SvgPathData.h"

#include "graphics/svg/SvgValues.h"

#include <cmath>
#include <numbers>

namespace plug::graphics::svg
{

void appendArc(std::vector<Command>& commands, float x0, float y0, float rx, float ry,
               float rotationDegrees, bool largeArc, bool sweep, float x, float y)
{
  if (x0 == x && y0 == y)
    return;
  if (rx == 0.f || ry == 0.f)
  {
    commands.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, x, y});
    return;
  }
  // The centre form of the arc, as the SVG implementation notes derive it; in double so that
  // nearly degenerate arcs keep their ends.
  const double pi = std::numbers::pi;
  double a = std::fabs(static_cast<double>(rx));
  double b = std::fabs(static_cast<double>(ry));
  const double phi = std::fmod(static_cast<double>(rotationDegrees), 360.0) * pi / 180.0;
  const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
  const double dx = (static_cast<double>(x0) - x) / 2.0, dy = (static_cast<double>(y0) - y) / 2.0;
  const double x1p = cosPhi * dx + sinPhi * dy;
  const double y1p = -sinPhi * dx + cosPhi * dy;
  const double lambda = (x1p * x1p) / (a * a) + (y1p * y1p) / (b * b);
  if (lambda > 1.0)
  {
    a *= std::sqrt(lambda);
    b *= std::sqrt(lambda);
  }
  const double num = a * a * b * b - a * a * y1p * y1p - b * b * x1p * x1p;
  const double den = a * a * y1p * y1p + b * b * x1p * x1p;
  double coef = den > 0.0 ? std::sqrt(std::fmax(0.0, num / den)) : 0.0;
  if (largeArc == sweep)
    coef = -coef;
  const double cxp = coef * a * y1p / b;
  const double cyp = -coef * b * x1p / a;
  const double cx = cosPhi * cxp - sinPhi * cyp + (static_cast<double>(x0) + x) / 2.0;
  const double cy = sinPhi * cxp + cosPhi * cyp + (static_cast<double>(y0) + y) / 2.0;
  const double theta1 = std::atan2((y1p - cyp) / b, (x1p - cxp) / a);
  const double theta2 = std::atan2((-y1p - cyp) / b, (-x1p - cxp) / a);
  double delta = theta2 - theta1;
  if (sweep && delta < 0.0)
    delta += 2.0 * pi;
  else if (!sweep && delta > 0.0)
    delta -= 2.0 * pi;
  if (!std::isfinite(delta) || !std::isfinite(cx) || !std::isfinite(cy))
  {
    commands.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, x, y});
    return;
  }

  const int segments =
      std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (pi / 2.0) - 1e-9)));
  const double step = delta / segments;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0);
  auto point = [&](double t, double& px, double& py)
  {
    px = cx + a * cosPhi * std::cos(t) - b * sinPhi * std::sin(t);
    py = cy + a * sinPhi * std::cos(t) + b * cosPhi * std::sin(t);
  };
  auto tangent = [&](double t, double& tx, double& ty)
  {
    tx = -a * cosPhi * std::sin(t) - b * sinPhi * std::cos(t);
    ty = -a * sinPhi * std::sin(t) + b * cosPhi * std::cos(t);
  };
  double t = theta1;
  double px = x0, py = y0;
  for (int i = 0; i < segments; ++i)
  {
    const double t2 = i + 1 == segments ? theta1 + delta : t + step;
    double tx1, ty1, qx, qy, tx2, ty2;
    tangent(t, tx1, ty1);
    point(t2, qx, qy);
    tangent(t2, tx2, ty2);
    if (i + 1 == segments)
    {
      qx = x; // the exact end, not a rounded one
      qy = y;
    }
    commands.push_back({Verb::Cubic, static_cast<float>(px + k * tx1),
                        static_cast<float>(py + k * ty1), static_cast<float>(qx - k * tx2),
                        static_cast<float>(qy - k * ty2), static_cast<float>(qx),
                        static_cast<float>(qy)});
    px = qx;
    py = qy;
    t = t2;
  }
}

namespace
{

bool isCommandLetter(char c)
{
  switch (c)
  {
    case 'M':
    case 'm':
    case 'L':
    case 'l':
    case 'H':
    case 'h':
    case 'V':
    case 'v':
    case 'C':
    case 'c':
    case 'S':
    case 's':
    case 'Q':
    case 'q':
    case 'T':
    case 't':
    case 'A':
    case 'a':
    case 'Z':
    case 'z':
      return true;
    default:
      return false;
  }
}

} // namespace

bool parsePathData(std::string_view data, std::vector<Command>& commands, std::size_t maxCommands,
                   std::string& error)
{
  NumberScanner in(data);
  float cx = 0.f, cy = 0.f; // current point
  float sx = 0.f, sy = 0.f; // start of the subpath
  float lastCubicX = 0.f, lastCubicY = 0.f, lastQuadX = 0.f, lastQuadY = 0.f;
  char previous = 0;
  bool open = false; // a subpath has started and is not closed
  char command = 0;

  auto failAt = [&](const std::string& message)
  {
    error = "path data: " + message + " at offset " + std::to_string(in.position());
    return false;
  };
  auto ensureMove = [&]()
  {
    if (!open)
    {
      commands.push_back({Verb::Move, 0.f, 0.f, 0.f, 0.f, cx, cy});
      sx = cx;
      sy = cy;
      open = true;
    }
  };
  auto cubic = [&](float x1, float y1, float x2, float y2, float x, float y)
  {
    ensureMove();
    commands.push_back({Verb::Cubic, x1, y1, x2, y2, x, y});
    cx = x;
    cy = y;
  };
  auto quad = [&](float qx, float qy, float x, float y)
  {
    cubic(cx + 2.f / 3.f * (qx - cx), cy + 2.f / 3.f * (qy - cy), x + 2.f / 3.f * (qx - x),
          y + 2.f / 3.f * (qy - y), x, y);
    lastQuadX = qx;
    lastQuadY = qy;
  };

  while (!in.atEnd())
  {
    const char next = in.peek();
    if (isCommandLetter(next))
    {
      command = next;
      in.advance();
    }
    else if (command == 0)
      return failAt("expected a move command");
    else if (command == 'Z' || command == 'z')
      return failAt("numbers after a close");
    // Numbers without a letter repeat the command; after a move they are lines.
    else if (command == 'M')
      command = 'L';
    else if (command == 'm')
      command = 'l';
    if (previous == 0 && command != 'M' && command != 'm')
      return failAt("expected a move command");

    const bool relative = command >= 'a' && command <= 'z';
    const float ox = relative ? cx : 0.f, oy = relative ? cy : 0.f;
    float v[6];
    auto read = [&](int count)
    {
      for (int i = 0; i < count; ++i)
      {
        const auto value = in.number();
        if (!value)
          return false;
        v[i] = *value;
      }
      return true;
    };
    const char upper = relative ? static_cast<char>(command - 'a' + 'A') : command;
    switch (upper)
    {
      case 'M':
        if (!read(2))
          return failAt("bad move");
        cx = ox + v[0];
        cy = oy + v[1];
        commands.push_back({Verb::Move, 0.f, 0.f, 0.f, 0.f, cx, cy});
        sx = cx;
        sy = cy;
        open = true;
        break;
      case 'L':
        if (!read(2))
          return failAt("bad line");
        ensureMove();
        cx = ox + v[0];
        cy = oy + v[1];
        commands.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, cx, cy});
        break;
      case 'H':
      case 'V':
        if (!read(1))
          return failAt("bad line");
        ensureMove();
        (upper == 'H' ? cx : cy) = (upper == 'H' ? ox : oy) + v[0];
        commands.push_back({Verb::Line, 0.f, 0.f, 0.f, 0.f, cx, cy});
        break;
      case 'C':
        if (!read(6))
          return failAt("bad curve");
        cubic(ox + v[0], oy + v[1], ox + v[2], oy + v[3], ox + v[4], oy + v[5]);
        lastCubicX = ox + v[2];
        lastCubicY = oy + v[3];
        break;
      case 'S':
      {
        if (!read(4))
          return failAt("bad curve");
        const bool follows = previous == 'C' || previous == 'S';
        const float x1 = follows ? 2.f * cx - lastCubicX : cx;
        const float y1 = follows ? 2.f * cy - lastCubicY : cy;
        cubic(x1, y1, ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
        lastCubicX = ox + v[0];
        lastCubicY = oy + v[1];
        break;
      }
      case 'Q':
        if (!read(4))
          return failAt("bad curve");
        quad(ox + v[0], oy + v[1], ox + v[2], oy + v[3]);
        break;
      case 'T':
      {
        if (!read(2))
          return failAt("bad curve");
        const bool follows = previous == 'Q' || previous == 'T';
        quad(follows ? 2.f * cx - lastQuadX : cx, follows ? 2.f * cy - lastQuadY : cy, ox + v[0],
             oy + v[1]);
        break;
      }
      case 'A':
      {
        if (!read(3))
          return failAt("bad arc");
        const float rx = v[0], ry = v[1], rotation = v[2];
        const auto large = in.flag();
        const auto sweep = in.flag();
        if (!large || !sweep || !read(2))
          return failAt("bad arc");
        ensureMove();
        const float x = ox + v[0], y = oy + v[1];
        appendArc(commands, cx, cy, rx, ry, rotation, *large, *sweep, x, y);
        cx = x;
        cy = y;
        break;
      }
      case 'Z':
        if (open)
          commands.push_back({Verb::Close});
        open = false;
        cx = sx;
        cy = sy;
        break;
    }
    previous = upper;
    if (commands.size() > maxCommands)
    {
      error = "path data: too many commands";
      return false;
    }
  }
  return true;
}

} // namespace plug::graphics::svg
