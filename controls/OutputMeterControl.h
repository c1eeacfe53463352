#pragma once

#include "graphics/IControl.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvana::controls::limiter_panel
{

/**
 * A vertical level meter in dB: a peak bar that falls at 20 dB/s, a hold line that waits
 * 1.5 s before following the bar down, with its level as a readout, an optional smoothed RMS
 * bar (0.3 s), a highlighted zone with a bracket, and tick labels. It is fed by setLevels()
 * and redraws only when something moved by more than 0.01 dB. Ignores the mouse. Editor
 * thread.
 */
class OutputMeterControl : public plug::graphics::IControl
{
public:
  using Zone = std::pair<float, float>; // low dB, high dB

  struct Options
  {
    std::string label = "OUT";
    float range = 30.f; // dB from the top (0 dB) to the bottom
    std::vector<int> ticks = {0, -12, -24};
    bool showRms = false;
    /** The highlighted zone, asked on every level update; empty for none. */
    std::function<std::optional<Zone>()> zone;
  };

  static constexpr float kFloorDb = -60.f;

  OutputMeterControl(const plug::graphics::IRECT& bounds, const plug::graphics::IRECT& meterBounds,
                     const plug::graphics::IColor& accent, const plug::graphics::IText& labelText,
                     const plug::graphics::IText& valueText, const plug::graphics::IText& tickText,
                     Options options);

  /** One update: `peak` is the largest linear level since the last one, `meanSquare` the
   *  mean of the squared levels (0 when none). */
  void setLevels(float peak, float meanSquare);
  /** Replaces the clock (seconds) the ballistics run on, and restarts them from its now. */
  void setClock(std::function<double()> clockSeconds);

  void Draw(plug::graphics::ICanvas& g) override;

  float barDb() const { return mBar; }
  float holdDb() const { return mHold; }
  float rmsDb() const;
  const std::optional<Zone>& zone() const { return mZone; }
  const Options& options() const { return mOptions; }
  const plug::graphics::IRECT& meterRect() const { return mMeter; }
  /** The y of level `db` on the meter rectangle (0 dB at the top, -range at the bottom). */
  float levelToY(float db) const;
  /** The readout text for the hold level: "-inf", "−6.0" (U+2212), "0.0". */
  std::string readout() const;

private:
  double now() const;

  plug::graphics::IRECT mMeter;
  plug::graphics::IColor mAccent;
  plug::graphics::IText mLabelText;
  plug::graphics::IText mValueText;
  plug::graphics::IText mTickText;
  Options mOptions;
  float mBar = kFloorDb;
  float mHold = kFloorDb;
  float mHoldTime = 0.f;
  float mMeanSquare = 0.f;
  std::optional<Zone> mZone;
  std::function<double()> mClock;
  double mLastLevels = 0.0;
  double mLastBallistics = 0.0;
  plug::graphics::IColor mTrackColor{18, 250, 250, 250};
  plug::graphics::IColor mHoldColor{255, 250, 250, 250};
};

} // namespace corvana::controls::limiter_panel
