#include "cli/Tail.h"

#include "cli/CliError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace ostratapedelay::cli
{

TailRule TailRule::parse(const std::string& text)
{
  std::string lower;
  for (unsigned char c : text)
    lower.push_back(static_cast<char>(std::tolower(c)));
  if (lower == "auto")
    return {};
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (text.empty() || end == begin || *end != '\0' || !std::isfinite(value))
    throw CliError("--tail: '" + text + "' is neither 'auto' nor a number of seconds");
  if (value < 0.0 || value > 3600.0)
    throw CliError("--tail: " + text + " is outside 0..3600 seconds");
  TailRule rule;
  rule.automatic = false;
  rule.seconds = value;
  return rule;
}

TailTracker::TailTracker(const TailRule& rule, double sampleRate)
  : mAutomatic(rule.automatic)
  , mLimit(std::llround((rule.automatic ? TailRule::kMaxSeconds : rule.seconds) * sampleRate))
  , mQuietNeed(std::max<std::int64_t>(1, std::llround(TailRule::kQuietSeconds * sampleRate)))
  , mThreshold(std::pow(10.0, TailRule::kQuietDb / 20.0))
{
}

std::int64_t TailTracker::remaining() const
{
  return mFinished ? 0 : std::max<std::int64_t>(0, mLimit - mKept);
}

int TailTracker::consume(const double* const* planes, int channels, int frames)
{
  const int allowed = static_cast<int>(std::min<std::int64_t>(std::max(frames, 0), remaining()));
  if (!mAutomatic)
  {
    mKept += allowed;
    return allowed;
  }
  for (int i = 0; i < allowed; ++i)
  {
    bool quiet = true;
    for (int c = 0; c < channels; ++c)
      if (!(std::fabs(planes[c][i]) < mThreshold)) // NaN counts as loud
        quiet = false;
    mQuietRun = quiet ? mQuietRun + 1 : 0;
    if (mQuietRun >= mQuietNeed)
    {
      mKept += i + 1;
      mFinished = true;
      return i + 1;
    }
  }
  mKept += allowed;
  return allowed;
}

} // namespace ostratapedelay::cli
