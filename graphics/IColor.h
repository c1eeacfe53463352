#pragma once

#include <algorithm>

namespace plug::graphics
{

/** A colour as alpha, red, green and blue, each 0..255, in that order. */
struct IColor
{
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b)
    : A(a)
    , R(r)
    , G(g)
    , B(b)
  {
  }

  constexpr bool operator==(const IColor&) const = default;

  /** The same colour with another alpha. */
  constexpr IColor WithOpacity(float alpha) const
  {
    return IColor(std::clamp(int(alpha * 255.f + 0.5f), 0, 255), R, G, B);
  }
  constexpr IColor WithAlpha(int a) const { return IColor(std::clamp(a, 0, 255), R, G, B); }
  /** Every channel limited to 0..255. */
  constexpr IColor Clamped() const
  {
    return IColor(std::clamp(A, 0, 255), std::clamp(R, 0, 255), std::clamp(G, 0, 255),
                  std::clamp(B, 0, 255));
  }
  constexpr float GetAlpha() const { return float(A) / 255.f; }
  constexpr bool IsTransparent() const { return A <= 0; }
};

inline constexpr IColor COLOR_TRANSPARENT(0, 0, 0, 0);
inline constexpr IColor COLOR_TRANSLUCENT(10, 0, 0, 0);
inline constexpr IColor COLOR_BLACK(255, 0, 0, 0);
inline constexpr IColor COLOR_GRAY(255, 127, 127, 127);
inline constexpr IColor COLOR_LIGHT_GRAY(255, 240, 240, 240);
inline constexpr IColor COLOR_MID_GRAY(255, 200, 200, 200);
inline constexpr IColor COLOR_DARK_GRAY(255, 70, 70, 70);
inline constexpr IColor COLOR_WHITE(255, 255, 255, 255);
inline constexpr IColor COLOR_RED(255, 255, 0, 0);
inline constexpr IColor COLOR_GREEN(255, 0, 255, 0);
inline constexpr IColor COLOR_BLUE(255, 0, 0, 255);
inline constexpr IColor COLOR_YELLOW(255, 255, 255, 0);
inline constexpr IColor COLOR_ORANGE(255, 255, 127, 0);

} // namespace plug::graphics
