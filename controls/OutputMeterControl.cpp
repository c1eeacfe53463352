#include "controls/OutputMeterControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace corvana::controls::limiter_panel
{

using namespace plug::graphics;

namespace
{
double steadySeconds()
{
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

float toDb(double level)
{
  const double db = level > 1e-6 ? 20.0 * std::log10(level) : double(OutputMeterControl::kFloorDb);
  return std::isfinite(db) ? std::max(float(db), OutputMeterControl::kFloorDb)
                           : OutputMeterControl::kFloorDb;
}
} // namespace

OutputMeterControl::OutputMeterControl(const IRECT& bounds, const IRECT& meterBounds,
                                       const IColor& accent, const IText& labelText,
                                       const IText& valueText, const IText& tickText,
                                       Options options)
  : IControl(bounds)
  , mMeter(meterBounds)
  , mAccent(accent)
  , mLabelText(labelText)
  , mValueText(valueText)
  , mTickText(tickText)
  , mOptions(std::move(options))
  , mClock(steadySeconds)
{
  mIgnoreMouse = true;
  mLastLevels = mLastBallistics = now();
}

double OutputMeterControl::now() const
{
  return mClock();
}

void OutputMeterControl::setClock(std::function<double()> clockSeconds)
{
  mClock = clockSeconds ? std::move(clockSeconds) : steadySeconds;
  mLastLevels = mLastBallistics = now();
}

float OutputMeterControl::rmsDb() const
{
  const double rms = std::sqrt(std::max(0.f, mMeanSquare));
  return rms > 1e-6 ? float(20.0 * std::log10(rms)) : kFloorDb;
}

void OutputMeterControl::setLevels(float peak, float meanSquare)
{
  const double t = now();
  const double dtLevels = t - mLastLevels;
  mLastLevels = t;
  const float peakDb = toDb(peak);
  const float dt = float(std::clamp(t - mLastBallistics, 0.0, 1.0));
  mLastBallistics = t;
  mHoldTime += dt;

  const float bar = std::max({kFloorDb, mBar - 20.f * dt, peakDb});
  float hold = mHold;
  if (bar >= mHold)
  {
    hold = bar;
    mHoldTime = 0.f;
  }
  else if (mHoldTime > 1.5f)
    hold = bar;
  bool changed = std::abs(bar - mBar) > 0.01f || std::abs(hold - mHold) > 0.01f;
  mBar = bar;
  mHold = hold;

  if (meanSquare >= 0.f && mOptions.showRms)
  {
    const double k = dtLevels < 0.0 ? 0.0 : 1.0 - std::exp(-std::min(dtLevels, 1.0) / 0.3);
    const float before = rmsDb();
    mMeanSquare = float(mMeanSquare + (meanSquare - mMeanSquare) * k);
    if (!changed)
      changed = std::abs(rmsDb() - before) > 0.01f;
  }

  std::optional<Zone> zone;
  if (mOptions.zone)
    zone = mOptions.zone();
  if (changed || zone != mZone)
  {
    mZone = zone;
    SetDirty(false);
  }
}

float OutputMeterControl::levelToY(float db) const
{
  const float range = mOptions.range > 0.f ? mOptions.range : 1.f;
  return mMeter.T + mMeter.H() * std::clamp(-db / range, 0.f, 1.f);
}

std::string OutputMeterControl::readout() const
{
  char buffer[17];
  if (mHold <= -59.5f)
    return "-inf";
  if (mHold < -0.05f)
    std::snprintf(buffer, sizeof buffer, "\xE2\x88\x92%.1f", double(-mHold));
  else
    std::snprintf(buffer, sizeof buffer, "%.1f", double(std::max(mHold, 0.f)));
  return buffer;
}

void OutputMeterControl::Draw(ICanvas& g)
{
  const IRECT& m = mMeter;
  const float range = mOptions.range;
  g.FillRect(mTrackColor, m, &mBlend);

  if (mZone)
  {
    const float yHigh = levelToY(mZone->second), yLow = levelToY(mZone->first);
    if (yLow - yHigh >= 1.f)
    {
      g.FillRect(mAccent.WithAlpha(61), IRECT(m.L, yHigh, m.R, yLow), &mBlend);
      const IColor bracket = mAccent.WithAlpha(255);
      g.FillRect(bracket, IRECT(m.R + 3.f, yHigh, m.R + 8.f, yHigh + 2.f), &mBlend);
      g.FillRect(bracket, IRECT(m.R + 3.f, yLow - 2.f, m.R + 8.f, yLow), &mBlend);
      g.FillRect(bracket, IRECT(m.R + 6.f, yHigh, m.R + 8.f, yLow), &mBlend);
    }
  }

  if (mBar > -range)
    g.FillRect(mAccent.WithAlpha(mOptions.showRms ? 81 : 229), IRECT(m.L, levelToY(mBar), m.R, m.B),
               &mBlend);
  if (mOptions.showRms && rmsDb() > -range)
    g.FillRect(mAccent.WithAlpha(229), IRECT(m.L, levelToY(rmsDb()), m.R, m.B), &mBlend);
  if (mHold > -range)
  {
    const float y = levelToY(mHold);
    g.FillRect(mHoldColor, IRECT(m.L, y - 0.5f, m.R, y + 0.5f), &mBlend);
  }

  for (int tick : mOptions.ticks)
  {
    char text[16];
    if (tick == 0)
      std::snprintf(text, sizeof text, "0");
    else
      std::snprintf(text, sizeof text, "\xE2\x88\x92%d", -tick);
    const float y = levelToY(float(tick));
    g.DrawText(mTickText, text, IRECT(m.L - 30.f, y - 6.f, m.L - 6.f, y + 6.f), &mBlend);
  }

  const float cx = m.MW();
  g.DrawText(mLabelText, mOptions.label.c_str(), IRECT(cx - 20.f, m.B + 4.f, cx + 20.f, m.B + 16.f),
             &mBlend);
  g.DrawText(mValueText, readout().c_str(), IRECT(cx - 22.f, m.B + 17.f, cx + 22.f, m.B + 29.f),
             &mBlend);
}

} // namespace corvana::controls::limiter_panel
