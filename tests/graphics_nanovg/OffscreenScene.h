#pragma once

// What the offscreen tests share: a context that skips the test when OpenGL cannot start,
// a control that draws whatever a test asks, and pixel helpers.
#include "graphics/IPanelControl.h"
#include "graphics/offscreen/ICanvasOffscreen.h"
#include "graphics/offscreen/PngWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace plug::graphics::test
{

inline constexpr const char* kRegularFont =
    "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf";
inline constexpr const char* kCondensedFont =
    "/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Bold.ttf";
inline constexpr IColor kBackground(255, 10, 10, 10);

/** Draws through a function given by the test. */
class DrawControl : public IControl
{
public:
  using DrawFunc = std::function<void(ICanvas&, const IRECT&)>;
  DrawControl(const IRECT& bounds, DrawFunc draw)
    : IControl(bounds)
    , mDraw(std::move(draw))
  {
  }
  void Draw(ICanvas& g) override { mDraw(g, GetRECT()); }

private:
  DrawFunc mDraw;
};

/** An offscreen context with the editor's background, or a skipped test saying why not. */
#define OSTRA_OFFSCREEN(name, width, height)                                                       \
  auto name = std::make_unique<::plug::graphics::ICanvasOffscreen>(nullptr, width, height);        \
  if (!name->IsReady())                                                                            \
    GTEST_SKIP() << name->GetError();                                                              \
  name->AttachPanelBackground(::plug::graphics::test::kBackground)

/** How many pixels inside r (in pixels) differ from `colour` by more than `tolerance` in any
 *  channel. */
inline int CountDifferent(const IOffscreenFrame& frame, int l, int t, int r, int b,
                          const IColor& colour, int tolerance = 2)
{
  int count = 0;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x)
    {
      const IColor p = frame.GetPixel(x, y);
      if (std::abs(p.A - colour.A) > tolerance || std::abs(p.R - colour.R) > tolerance ||
          std::abs(p.G - colour.G) > tolerance || std::abs(p.B - colour.B) > tolerance)
        ++count;
    }
  return count;
}

inline std::string Describe(const IColor& c)
{
  return "(" + std::to_string(c.A) + ", " + std::to_string(c.R) + ", " + std::to_string(c.G) +
         ", " + std::to_string(c.B) + ")";
}

} // namespace plug::graphics::test

#define EXPECT_PIXEL(frame, x, y, colour)                                                          \
  EXPECT_EQ(::plug::graphics::test::Describe((frame).GetPixel(x, y)),                              \
            ::plug::graphics::test::Describe(colour))                                              \
      << "at (" << (x) << ", " << (y) << ")"
