#pragma once

#include "ToolRunner.h"

#include <optional>
#include <string>
#include <vector>

namespace ostra::lv2test
{

struct Rgb
{
  int r = 0, g = 0, b = 0;
};

/** Where a window is on the screen, in pixels. */
struct Placement
{
  unsigned long window = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

/**
 * Looks at another program's windows on one X display, as a user sees them: where they are, and
 * a screenshot taken with ImageMagick's import.
 */
class ScreenProbe
{
public:
  explicit ScreenProbe(const std::string& display);
  ~ScreenProbe();
  ScreenProbe(const ScreenProbe&) = delete;
  ScreenProbe& operator=(const ScreenProbe&) = delete;

  bool ok() const { return mDisplay != nullptr; }
  /** The environment that points a tool at this display. */
  const Env& env() const { return mEnv; }

  std::optional<Placement> placement(unsigned long window) const;
  /** Every mapped window inside `top`, each with its place on the screen. */
  std::vector<Placement> mappedDescendants(unsigned long top) const;

  /** A screenshot of the whole screen; false when import failed. */
  bool capture(const std::string& folder);
  Rgb at(int x, int y) const;

private:
  void* mDisplay = nullptr; // Display*, kept out of this header: X's macros clash with tests
  Env mEnv;
  int mWidth = 0, mHeight = 0;
  std::vector<unsigned char> mPixels;
};

} // namespace ostra::lv2test
