#include "plugin/TapTempo.h"

#include <algorithm>

namespace ostratapedelay::plugin
{

void TapTempo::press(double t) noexcept
{
  if (mCount == 0)
  {
    mTimes[0] = t;
    mCount = 1;
    return;
  }
  const double dt = t - mTimes[(mCount - 1) % kRingSize];
  if (dt >= 0.0 && dt < kBounceSeconds)
    return;
  if (dt < 0.0 || dt > kRestartSeconds)
  {
    mTimes[0] = t;
    mCount = 1;
    return;
  }
  const std::int64_t old = mCount;
  mTimes[old % kRingSize] = t;
  mCount = old + 1;
  // Average over up to the last four intervals; the ring of five holds their end points.
  const std::int64_t n = std::min<std::int64_t>(old, 4);
  const double average = (t - mTimes[(old - n) % kRingSize]) / static_cast<double>(n);
  if (average > 0.0)
    mInterval.store(average);
}

} // namespace ostratapedelay::plugin
