#pragma once

#include <algorithm>
#include <cmath>

namespace plug::graphics
{

/**
 * An axis-aligned rectangle in editor units: left, top, right, bottom. Empty when it has no
 * area. The layout code builds every control's place from these operations, so each returns
 * a new rectangle and leaves this one alone unless its name says otherwise.
 */
struct IRECT
{
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b)
    : L(l)
    , T(t)
    , R(r)
    , B(b)
  {
  }

  /** A rectangle of size w × h with its top-left corner at (x, y). */
  static constexpr IRECT MakeXYWH(float x, float y, float w, float h)
  {
    return IRECT(x, y, x + w, y + h);
  }

  constexpr float W() const { return R - L; }
  constexpr float H() const { return B - T; }
  constexpr float MW() const { return 0.5f * (L + R); }
  constexpr float MH() const { return 0.5f * (T + B); }
  constexpr float Area() const { return W() * H(); }

  constexpr bool Empty() const { return !(R > L && B > T); }
  /** True when all four edges are zero: the "no rectangle" value. */
  constexpr bool IsZero() const { return L == 0.f && T == 0.f && R == 0.f && B == 0.f; }

  constexpr bool operator==(const IRECT&) const = default;

  /** Inside when left/top inclusive, right/bottom exclusive, so neighbours never share a point. */
  constexpr bool Contains(float x, float y) const { return x >= L && x < R && y >= T && y < B; }
  constexpr bool Contains(const IRECT& r) const
  {
    return !r.Empty() && r.L >= L && r.R <= R && r.T >= T && r.B <= B;
  }
  constexpr bool Intersects(const IRECT& r) const
  {
    return L < r.R && r.L < R && T < r.B && r.T < B;
  }

  /** The overlap, or an all-zero rectangle when there is none. */
  constexpr IRECT Intersect(const IRECT& r) const
  {
    if (!Intersects(r))
      return IRECT();
    return IRECT(std::max(L, r.L), std::max(T, r.T), std::min(R, r.R), std::min(B, r.B));
  }
  /** The smallest rectangle holding both; an empty side counts as absent. */
  constexpr IRECT Union(const IRECT& r) const
  {
    if (Empty())
      return r;
    if (r.Empty())
      return *this;
    return IRECT(std::min(L, r.L), std::min(T, r.T), std::max(R, r.R), std::max(B, r.B));
  }

  /** Grown by p on every side (shrunk for negative p). */
  constexpr IRECT GetPadded(float p) const { return IRECT(L - p, T - p, R + p, B + p); }
  constexpr IRECT GetPadded(float l, float t, float r, float b) const
  {
    return IRECT(L + l, T + t, R + r, B + b);
  }
  constexpr IRECT GetHPadded(float p) const { return IRECT(L - p, T, R + p, B); }
  constexpr IRECT GetVPadded(float p) const { return IRECT(L, T - p, R, B + p); }
  /** Shrunk by p on every side. */
  constexpr IRECT GetInset(float p) const { return GetPadded(-p); }

  constexpr IRECT GetTranslated(float dx, float dy) const
  {
    return IRECT(L + dx, T + dy, R + dx, B + dy);
  }
  constexpr IRECT GetHShifted(float dx) const { return GetTranslated(dx, 0.f); }
  constexpr IRECT GetVShifted(float dy) const { return GetTranslated(0.f, dy); }

  /** Every edge multiplied by s (units to pixels and back). */
  constexpr IRECT GetScaled(float s) const { return IRECT(L * s, T * s, R * s, B * s); }
  /** Same centre, width and height multiplied by s. */
  constexpr IRECT GetScaledAboutCentre(float s) const
  {
    const float hw = 0.5f * W() * s, hh = 0.5f * H() * s;
    return IRECT(MW() - hw, MH() - hh, MW() + hw, MH() + hh);
  }

  /** A w × h rectangle with the same centre. */
  constexpr IRECT GetCentredInside(float w, float h) const
  {
    return IRECT(MW() - 0.5f * w, MH() - 0.5f * h, MW() + 0.5f * w, MH() + 0.5f * h);
  }
  constexpr IRECT GetCentredInside(float size) const { return GetCentredInside(size, size); }
  /** The largest square centred in this rectangle. */
  constexpr IRECT GetCentredSquare() const
  {
    const float s = std::min(W(), H());
    return GetCentredInside(s, s);
  }
  /** The same size, moved so that its centre is (x, y). */
  constexpr IRECT GetCentredAt(float x, float y) const
  {
    return IRECT(x - 0.5f * W(), y - 0.5f * H(), x + 0.5f * W(), y + 0.5f * H());
  }
  /** Fits size w × h inside, keeping its proportions, centred. */
  IRECT GetFittedInside(float w, float h) const
  {
    if (w <= 0.f || h <= 0.f)
      return IRECT();
    const float s = std::min(W() / w, H() / h);
    return GetCentredInside(w * s, h * s);
  }

  // Strips of the rectangle along one edge.
  constexpr IRECT GetFromTop(float h) const { return IRECT(L, T, R, T + h); }
  constexpr IRECT GetFromBottom(float h) const { return IRECT(L, B - h, R, B); }
  constexpr IRECT GetFromLeft(float w) const { return IRECT(L, T, L + w, B); }
  constexpr IRECT GetFromRight(float w) const { return IRECT(R - w, T, R, B); }
  // What is left once such a strip is taken away.
  constexpr IRECT GetReducedFromTop(float h) const { return IRECT(L, T + h, R, B); }
  constexpr IRECT GetReducedFromBottom(float h) const { return IRECT(L, T, R, B - h); }
  constexpr IRECT GetReducedFromLeft(float w) const { return IRECT(L + w, T, R, B); }
  constexpr IRECT GetReducedFromRight(float w) const { return IRECT(L, T, R - w, B); }

  /** Cell `index` of `count` equal rows, counted from the top. */
  constexpr IRECT SubRectVertical(int count, int index) const
  {
    const float h = H() / float(count);
    return IRECT(L, T + h * float(index), R, T + h * float(index + 1));
  }
  /** Cell `index` of `count` equal columns, counted from the left. */
  constexpr IRECT SubRectHorizontal(int count, int index) const
  {
    const float w = W() / float(count);
    return IRECT(L + w * float(index), T, L + w * float(index + 1), B);
  }
  /** Cell (row, column) of a grid of equal cells. */
  constexpr IRECT GetGridCell(int row, int col, int nRows, int nCols) const
  {
    return SubRectVertical(nRows, row).SubRectHorizontal(nCols, col);
  }

  /** Grown outward to whole backing pixels at `scale` pixels per unit: floor of the top-left,
   *  ceiling of the bottom-right, in units again. Drawing regions use this so that no
   *  partly covered pixel is left undrawn. */
  IRECT GetPixelSnapped(float scale) const
  {
    if (scale <= 0.f)
      return *this;
    return IRECT(std::floor(L * scale) / scale, std::floor(T * scale) / scale,
                 std::ceil(R * scale) / scale, std::ceil(B * scale) / scale);
  }
  /** Each edge rounded to the nearest whole backing pixel at `scale` pixels per unit. */
  IRECT GetPixelAligned(float scale) const
  {
    if (scale <= 0.f)
      return *this;
    return IRECT(std::round(L * scale) / scale, std::round(T * scale) / scale,
                 std::round(R * scale) / scale, std::round(B * scale) / scale);
  }

  /** Keeps the point inside (for pointer positions near an edge). */
  void Constrain(float& x, float& y) const
  {
    x = std::clamp(x, L, R);
    y = std::clamp(y, T, B);
  }
};

} // namespace plug::graphics
