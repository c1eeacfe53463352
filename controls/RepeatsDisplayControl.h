#pragma once

#include "dsp/RepeatsModel.h"
#include "graphics/IControl.h"

#include <functional>
#include <map>
#include <vector>

namespace ostratapedelay::controls
{

/**
 * Draws the echoes the current settings produce: one bar per measured repeat, up for the left
 * channel and down for the right, placed on a time axis that follows the longest echo. Bar
 * height is the echo's level (scaled by the wet share of Mix), bar opacity its tone; a marker
 * at time zero stands for the dry signal. Positions and the axis glide to new results, and
 * with Wobble the bars sway, so the display animates while anything moves.
 *
 * Bound to no parameter, ignores the mouse. Main thread only.
 */
class RepeatsDisplayControl : public plug::graphics::IControl
{
public:
  using Repeat = ostratapedelay::dsp::Repeat;

  /** The settings the drawing depends on besides the repeats. */
  struct Now
  {
    bool active = true; // not bypassed
    bool sync = true;
    double bpm = 120.0;
    double mix = 100.0;  // percent
    double wobble = 1.0; // Wobble / 100, 0..2
    double timeLMs = 500.0;
    double timeRMs = 500.0;

    /** Exact; a NaN field never matches, so a broken value keeps redrawing. */
    bool operator==(const Now& o) const
    {
      return active == o.active && sync == o.sync && bpm == o.bpm && mix == o.mix &&
             wobble == o.wobble && timeLMs == o.timeLMs && timeRMs == o.timeRMs;
    }
  };
  using Provider = std::function<Now()>;

  static constexpr plug::graphics::IColor kBackground{255, 15, 15, 15};
  static constexpr plug::graphics::IColor kBorder{18, 250, 250, 250};
  static constexpr plug::graphics::IColor kCentreLine{41, 250, 250, 250};
  static constexpr plug::graphics::IColor kGrid{13, 250, 250, 250};
  static constexpr double kQuietDb = -48.0;

  RepeatsDisplayControl(const plug::graphics::IRECT& bounds,
                        const plug::graphics::IColor& barColour,
                        const plug::graphics::IText& labelText,
                        const plug::graphics::IText& smallText, Provider provider);

  /** New results from the worker; redraws. */
  void setRepeats(std::vector<Repeat> repeats);
  bool hasRepeats() const { return mHasRepeats; }

  void Draw(plug::graphics::ICanvas& g) override;
  /** While anything moves, when the provider's answer changed since the last draw, or when
   *  marked dirty (new repeats). */
  bool IsDirty() override;

  // What the last draw used, for the editor's tests and tools.
  double span() const { return mSpan; }
  bool animating() const { return mAnimating; }
  const Now& shown() const { return mShown; }

  /** The grid step in ms for a span (ms) at a tempo, with or without Sync. */
  static double gridStep(double spanMs, bool sync, double bpm);

private:
  void drawGrid(plug::graphics::ICanvas& g, float x0, float width);
  void drawDryMarker(plug::graphics::ICanvas& g, float x0, double mixFraction);
  bool drawBars(plug::graphics::ICanvas& g, float x0, float width, double alpha, double wetScale);

  plug::graphics::IColor mBarColour;
  // The two styles in each alignment used, made once so drawing copies no strings.
  plug::graphics::IText mLabelText; // left-aligned
  plug::graphics::IText mSmallCentred;
  plug::graphics::IText mSmallRight;
  Provider mProvider;
  std::vector<Repeat> mRepeats;
  bool mHasRepeats = false;
  std::map<int, double> mPositions; // echo key -> ms; at most 48 keys
  double mSpan = 0.0;
  double mPhase = 0.0;
  double mLastDrawMs = 0.0;
  bool mHasLastDraw = false;
  bool mAnimating = false;
  Now mShown;
};

} // namespace ostratapedelay::controls
