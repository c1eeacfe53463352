#pragma once

#include <cstdint>
#include <string>

namespace ostratapedelay::cli
{

/**
 * How long the output runs on after the input ends, so the echoes can ring out: a fixed
 * number of seconds, or "auto": until the output has stayed below -96 dBFS for one second,
 * and never more than 60 s.
 */
struct TailRule
{
  static constexpr double kQuietDb = -96.0;
  static constexpr double kQuietSeconds = 1.0;
  static constexpr double kMaxSeconds = 60.0;

  bool automatic = true;
  double seconds = 0.0; // fixed length, used when not automatic

  /** "auto" (any case) or a finite number of seconds from 0 to 3600. Throws CliError. */
  static TailRule parse(const std::string& text);
};

/**
 * Applies a TailRule to the rendered tail, block by block. Main thread only.
 */
class TailTracker
{
public:
  TailTracker(const TailRule& rule, double sampleRate);

  /** Frames the tail may still need at most; 0 once it is complete. */
  std::int64_t remaining() const;
  bool done() const { return remaining() == 0; }

  /** Looks at one rendered tail block (channels planes of frames samples) and returns how
   *  many of its frames belong to the output, from the start; the rest are dropped. */
  int consume(const double* const* planes, int channels, int frames);

  std::int64_t framesKept() const { return mKept; }

private:
  bool mAutomatic;
  std::int64_t mLimit;     // total tail frames at most
  std::int64_t mQuietNeed; // consecutive quiet frames that end an automatic tail
  double mThreshold;
  std::int64_t mKept = 0;
  std::int64_t mQuietRun = 0;
  bool mFinished = false;
};

} // namespace ostratapedelay::cli
