#pragma once

#include <algorithm>

namespace plug::graphics
{

/** How a drawing is composited onto what lies beneath (the usual Porter-Duff set). */
enum class EBlend
{
  Default, // source over
  Clobber, // replace
  SourceOver,
  SourceIn,
  SourceOut,
  SourceAtop,
  DestOver,
  DestIn,
  DestOut,
  DestAtop,
  Add,
  XOR
};

/** A compositing method and an opacity 0..1 that multiplies every drawn colour's alpha. */
struct IBlend
{
  EBlend method = EBlend::Default;
  float weight = 1.f;

  constexpr IBlend() = default;
  constexpr IBlend(EBlend m, float w)
    : method(m)
    , weight(std::clamp(w, 0.f, 1.f))
  {
  }
  constexpr bool operator==(const IBlend&) const = default;
};

/** The opacity a possibly absent blend stands for. */
constexpr float BlendWeight(const IBlend* blend)
{
  return blend ? std::clamp(blend->weight, 0.f, 1.f) : 1.f;
}

} // namespace plug::graphics
