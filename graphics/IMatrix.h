#pragma once

#include <cmath>
#include <numbers>

namespace plug::graphics
{

/** A 2-D affine transform: x' = xx·x + xy·y + tx, y' = yx·x + yy·y + ty. */
struct IMatrix
{
  double xx = 1.0, yx = 0.0, xy = 0.0, yy = 1.0, tx = 0.0, ty = 0.0;

  constexpr IMatrix() = default;
  constexpr IMatrix(double xx_, double yx_, double xy_, double yy_, double tx_, double ty_)
    : xx(xx_)
    , yx(yx_)
    , xy(xy_)
    , yy(yy_)
    , tx(tx_)
    , ty(ty_)
  {
  }
  constexpr bool operator==(const IMatrix&) const = default;

  /** This transform applied after `m` (points go through `m` first). */
  constexpr IMatrix Multiply(const IMatrix& m) const
  {
    return IMatrix(xx * m.xx + xy * m.yx, yx * m.xx + yy * m.yx, xx * m.xy + xy * m.yy,
                   yx * m.xy + yy * m.yy, xx * m.tx + xy * m.ty + tx, yx * m.tx + yy * m.ty + ty);
  }
  constexpr IMatrix Translate(double x, double y) const
  {
    return Multiply(IMatrix(1, 0, 0, 1, x, y));
  }
  constexpr IMatrix Scale(double x, double y) const { return Multiply(IMatrix(x, 0, 0, y, 0, 0)); }
  /** Rotation by `degrees` clockwise on screen (y grows downward). */
  IMatrix Rotate(double degrees) const
  {
    const double a = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    return Multiply(IMatrix(c, s, -s, c, 0, 0));
  }
  constexpr void TransformPoint(double& x, double& y) const
  {
    const double nx = xx * x + xy * y + tx;
    y = yx * x + yy * y + ty;
    x = nx;
  }
};

} // namespace plug::graphics
