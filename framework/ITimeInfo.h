#pragma once

namespace plug
{

/** Beats per minute assumed while the host gives no tempo. */
inline constexpr double kDefaultTempo = 120.0;

/**
 * The host's transport and tempo for the current block. Filled by the host binding on the
 * audio thread before each block; positions the host does not give are -1.
 */
struct ITimeInfo
{
  double mTempo = kDefaultTempo; // beats per minute
  double mSamplePos = -1.0;      // samples since the start of the timeline
  double mPPQPos = -1.0;         // musical position, quarter-note beats
  double mLastBar = -1.0;        // position of the last bar line, beats
  double mLoopStart = -1.0;      // beats
  double mLoopEnd = -1.0;        // beats
  int mNumerator = 4;
  int mDenominator = 4;
  bool mPlaying = false;
  bool mLooping = false;
};

} // namespace plug
