#pragma once

#include <ostream>
#include <string>

namespace ostratapedelay::cli
{

/**
 * A one-line progress bar redrawn in place with carriage returns, for stderr when it is a
 * terminal. Redraws only when the shown percentage changes, so it costs nothing per block.
 * A disabled bar writes nothing. Main thread only.
 */
class ProgressBar
{
public:
  ProgressBar(std::ostream& out, bool enabled, std::string label);
  ~ProgressBar();

  /** fraction in 0..1 (clamped); label replaces the text before the bar when not empty. */
  void update(double fraction, const std::string& label = {});
  /** Clears the line so later messages start on a clean line. */
  void finish();

  /** True when stderr is a terminal (the only case a bar is wanted). */
  static bool stderrIsTerminal();

private:
  std::ostream& mOut;
  bool mEnabled;
  std::string mLabel;
  int mShownPercent = -1;
  bool mDrawn = false;
};

} // namespace ostratapedelay::cli
