#include "cli/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace ostratapedelay::cli
{

namespace
{
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label)
  : mOut(out)
  , mEnabled(enabled)
  , mLabel(std::move(label))
{
}

ProgressBar::~ProgressBar()
{
  finish();
}

bool ProgressBar::stderrIsTerminal()
{
  return ::isatty(STDERR_FILENO) == 1;
}

void ProgressBar::update(double fraction, const std::string& label)
{
  if (!mEnabled)
    return;
  if (!(fraction >= 0.0))
    fraction = 0.0;
  fraction = std::min(fraction, 1.0);
  const int percent = static_cast<int>(std::floor(fraction * 100.0));
  const bool relabel = !label.empty() && label != mLabel;
  if (percent == mShownPercent && !relabel)
    return;
  if (relabel)
    mLabel = label;
  mShownPercent = percent;
  const int filled = percent * kBarWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kBarWidth - filled), '.');
  // \x1b[K clears what a longer previous label left behind.
  mOut << '\r' << mLabel << " [" << bar << "] " << percent << "%\x1b[K" << std::flush;
  mDrawn = true;
}

void ProgressBar::finish()
{
  if (mEnabled && mDrawn)
  {
    mOut << "\r\x1b[K" << std::flush;
    mDrawn = false;
    mShownPercent = -1;
  }
}

} // namespace ostratapedelay::cli
