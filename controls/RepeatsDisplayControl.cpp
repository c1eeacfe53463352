#include "controls/RepeatsDisplayControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace plug::graphics;

namespace ostratapedelay::controls
{

namespace
{
constexpr float kPlotLeft = 34.f;  // from the control's left edge to time zero
constexpr float kPlotRight = 14.f; // from the right edge to the end of the axis
constexpr float kCentre = 58.f;    // from the top to the centre line
constexpr float kBarReach = 46.f;  // the longest bar
constexpr float kBarWidth = 3.f;   // half of it
constexpr double kMinSpanMs = 250.0;

IText aligned(IText text, EAlign align)
{
  text.align = align;
  return text;
}

int alphaOf(double fraction)
{
  return static_cast<int>(255.0 * std::clamp(fraction, 0.0, 1.0));
}
} // namespace

RepeatsDisplayControl::RepeatsDisplayControl(const IRECT& bounds, const IColor& barColour,
                                             const IText& labelText, const IText& smallText,
                                             Provider provider)
  : IControl(bounds)
  , mBarColour(255, barColour.R, barColour.G, barColour.B)
  , mLabelText(aligned(labelText, EAlign::Near))
  , mSmallCentred(aligned(smallText, EAlign::Center))
  , mSmallRight(aligned(smallText, EAlign::Far))
  , mProvider(std::move(provider))
{
  SetIgnoreMouse(true);
}

void RepeatsDisplayControl::setRepeats(std::vector<Repeat> repeats)
{
  mRepeats = std::move(repeats);
  mHasRepeats = true;
  SetDirty(false);
}

double RepeatsDisplayControl::gridStep(double spanMs, bool sync, double bpm)
{
  if (sync)
  {
    const double beat = 60000.0 / std::max(1.0, bpm);
    const double r = spanMs / beat;
    if (r > 16.0)
      return 4.0 * beat;
    if (r > 6.0)
      return beat;
    if (r > 2.0)
      return 0.5 * beat;
    return 0.25 * beat;
  }
  for (double step : {10.0, 25.0, 50.0, 100.0, 250.0, 500.0, 1000.0})
    if (spanMs / step <= 9.0)
      return step;
  return 2000.0;
}

bool RepeatsDisplayControl::IsDirty()
{
  if (mAnimating)
    return true;
  if (mProvider && !(mProvider() == mShown))
    return true;
  // New repeats mark the control dirty; they must show even when the settings stand still.
  return IControl::IsDirty();
}

void RepeatsDisplayControl::Draw(ICanvas& g)
{
  const double now = NowMs();
  const double dt = mHasLastDraw ? std::clamp((now - mLastDrawMs) / 1000.0, 0.0, 0.05) : 1.0;
  mLastDrawMs = now;
  mHasLastDraw = true;
  mPhase += dt;
  const double alpha = 1.0 - std::exp(-4.0 * dt);

  mShown = mProvider ? mProvider() : Now{};

  const IRECT& b = mRECT;
  g.FillRoundRect(kBackground, b, 3.f);
  g.DrawRoundRect(kBorder, b, 3.f, nullptr, 1.f);

  const float x0 = b.L + kPlotLeft;
  const float width = b.W() - kPlotLeft - kPlotRight;
  g.DrawLine(kCentreLine, x0, b.T + kCentre, b.R - kPlotRight, b.T + kCentre, nullptr, 1.f);

  g.DrawText(mLabelText, "L", IRECT(b.L + 10, b.T + 10, b.L + 170, b.T + 23));
  g.DrawText(mLabelText, "R", IRECT(b.L + 10, b.T + 93, b.L + 170, b.T + 106));

  // The axis covers the longest audible echo (and the set times) with a little room.
  double longest = std::max(mShown.timeLMs, mShown.timeRMs);
  for (const Repeat& r : mRepeats)
    if (r.levelDb > kQuietDb)
      longest = std::max(longest, r.time * 1000.0);
  const double target = std::max(1.08 * longest, kMinSpanMs);
  mSpan = mSpan > 0.0 ? mSpan + (target - mSpan) * alpha : target;
  const bool spanMoving = std::fabs(mSpan - target) > 0.5;

  drawGrid(g, x0, width);

  const double mixFraction = std::clamp(mShown.mix / 100.0, 0.0, 1.0);
  drawDryMarker(g, x0, mixFraction);

  if (!mShown.active)
  {
    mAnimating = spanMoving;
    return;
  }
  const double wetScale = mixFraction >= 0.5 ? 1.0 : 1.5 * mixFraction + 0.25;
  const bool moving = drawBars(g, x0, width, alpha, wetScale);
  mAnimating = spanMoving || moving || (mShown.wobble > 0.0 && !mRepeats.empty());
}

void RepeatsDisplayControl::drawGrid(ICanvas& g, float x0, float width)
{
  const IRECT& b = mRECT;
  const double beat = 60000.0 / std::max(1.0, mShown.bpm);
  const double step = gridStep(mSpan, mShown.sync, mShown.bpm);
  char label[16];
  for (int i = 1;; ++i)
  {
    const double t = step * i;
    if (!(t < mSpan))
      break;
    const float x = x0 + static_cast<float>(t / mSpan) * width;
    g.DrawLine(kGrid, x, b.T + 12, x, b.T + 104, nullptr, 1.f);
    bool labelled = true;
    if (mShown.sync)
    {
      const double beats = t / beat;
      labelled = std::fabs(beats - std::round(beats)) <= 1e-6;
      if (labelled)
        std::snprintf(label, sizeof label, "%d", static_cast<int>(std::round(beats)));
    }
    else if (t < 1000.0)
      std::snprintf(label, sizeof label, "%g ms", t);
    else
      std::snprintf(label, sizeof label, "%g s", t / 1000.0);
    if (labelled)
      g.DrawText(mSmallCentred, label, IRECT(x - 40, b.B - 17, x + 40, b.B - 4));
  }
  if (mShown.sync)
  {
    char tempo[32];
    std::snprintf(tempo, sizeof tempo, "beats at %g bpm", std::round(mShown.bpm * 10.0) / 10.0);
    g.DrawText(mSmallRight, tempo, IRECT(b.R - 174, b.T + 3, b.R - kPlotRight, b.T + 16));
  }
}

void RepeatsDisplayControl::drawDryMarker(ICanvas& g, float x0, double mixFraction)
{
  const IRECT& b = mRECT;
  double dry = mixFraction <= 0.5 ? 1.0 : 2.0 * (1.0 - mixFraction);
  if (!mShown.active)
    dry = 1.0;
  const IColor colour(alphaOf(0.75 * dry + 0.15), 250, 250, 250);
  g.FillRoundRect(colour, IRECT(x0 - 1.5f, b.T + 12, x0 + 1.5f, b.T + 104), 1.f);
  g.DrawText(mLabelText, dry < 0.02 ? "dry off" : "dry",
             IRECT(x0 + 5, b.T + 10, x0 + 165, b.T + 23));
}

bool RepeatsDisplayControl::drawBars(ICanvas& g, float x0, float width, double alpha,
                                     double wetScale)
{
  const IRECT& b = mRECT;
  const float centre = b.T + kCentre;
  bool moving = false;
  int labelCount = 0;
  double lastLabelX = -1e9;
  for (const Repeat& r : mRepeats)
  {
    const int key = r.right ? r.index + 1000 : r.index;
    const double target = r.time * 1000.0;
    auto found = mPositions.find(key);
    double pos =
        found != mPositions.end() ? found->second + (target - found->second) * alpha : target;
    if (std::fabs(pos - target) < 0.05)
      pos = target;
    mPositions[key] = pos;
    moving |= pos != target;

    if (r.levelDb <= kQuietDb)
      continue;
    const double sway = std::min(0.6 * std::sqrt(static_cast<double>(r.index)), 4.0) *
                        mShown.wobble * std::sin((0.37 * r.index + 1.7) * mPhase + r.index);
    const double x = x0 + pos / mSpan * width + sway;
    if (x > b.R - kPlotRight)
      continue;
    const float h = static_cast<float>(std::clamp((r.levelDb - kQuietDb) / -kQuietDb, 0.0, 1.0) *
                                       kBarReach * wetScale);

    // Duller echoes fade: 300 Hz and below is nearly transparent, 12 kHz and up opaque.
    double tone = 1.0;
    if (std::isfinite(r.highHz))
    {
      const double c = std::log(r.highHz / 300.0) / std::log(40.0);
      tone = c < 0.08 ? 0.08 : std::min(c, 1.0);
    }
    const IColor colour(alphaOf(0.82 * tone + 0.18), mBarColour.R, mBarColour.G, mBarColour.B);
    const float fx = static_cast<float>(x);
    const IRECT bar = r.right ? IRECT(fx - kBarWidth, centre, fx + kBarWidth, centre + h)
                              : IRECT(fx - kBarWidth, centre - h, fx + kBarWidth, centre);
    g.FillRoundRect(colour, bar, 1.5f);

    if (labelCount < 4 && !r.right && r.index <= 4 && std::isfinite(r.highHz) &&
        x - lastLabelX > 40.0)
    {
      char label[16];
      if (r.highHz >= 1000.0)
        std::snprintf(label, sizeof label, "%.1fk", r.highHz / 1000.0);
      else
        std::snprintf(label, sizeof label, "%.0f", r.highHz);
      const float top = centre - h;
      g.DrawText(mSmallCentred, label, IRECT(fx - 40, top - 15, fx + 40, top - 2));
      ++labelCount;
      lastLabelX = x;
    }
  }
  return moving;
}

} // namespace ostratapedelay::controls
