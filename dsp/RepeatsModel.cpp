#include "dsp/RepeatsModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostratapedelay::dsp
{

namespace
{

constexpr double kBurstRms = 0.12589254117941673; // -18 dBFS, 10^(-18/20)
constexpr double kMaxBurstSeconds = 0.03;
constexpr double kMaxWindowExtraSeconds = 0.005;
constexpr std::int64_t kTapeTailSamples = 2400; // the tape stage runs this long after the burst
constexpr int kPingPongSlots = 24;
constexpr int kRepeatsPerSide = 24;
constexpr double kLn2 = 0.69314718055994530942;

using corvana::dsp::Biquad;

// 200 Hz high-pass and 3000 Hz low-pass, Q 0.7071, at 48000 Hz: the burst's band.
constexpr Biquad kBurstHighPass{0.9816580973135585, -1.963316194627117, 0.9816580973135585,
                                -1.9629797472685724, 0.9636526419856618};
constexpr Biquad kBurstLowPass{0.02995452102890393, 0.05990904205780786, 0.02995452102890393,
                               -1.454240616106919, 0.5740587002225347};

} // namespace

double RepeatsModel::driveGain(double driveDb) noexcept
{
  if (std::isnan(driveDb) || driveDb < Tape::kMinDriveDb)
    return Tape::kMinDriveGain;
  return std::pow(10.0, std::min(driveDb, Tape::kMaxDriveDb) / 20.0);
}

double RepeatsModel::highEdge(double highCut, double bandwidth, int passes) noexcept
{
  const bool highCutOn = highCut > 0.0 && highCut < 19900.0;
  const bool bandwidthOn = bandwidth > 0.0;
  if (!highCutOn && !bandwidthOn)
    return std::numeric_limits<double>::infinity();
  const double k = passes;
  double lo = 1.0;
  double hi = 1000000.0;
  for (int i = 0; i < 60; ++i)
  {
    const double mid = std::sqrt(lo * hi);
    double a = 0.0;
    if (highCutOn)
    {
      const double r = mid / highCut;
      a += std::log(1.0 + r * r);
    }
    if (bandwidthOn)
    {
      const double r = mid / bandwidth;
      a += std::log(1.0 + r * r);
    }
    if (k * a < kLn2)
      lo = mid;
    else
      hi = mid;
  }
  return std::sqrt(lo * hi);
}

double RepeatsModel::lowEdge(double lowCut, int passes) noexcept
{
  if (!(lowCut > 20.0))
    return 0.0;
  return lowCut / std::pow(std::pow(2.0, 1.0 / passes) - 1.0, 0.25);
}

void RepeatsModel::prepare()
{
  if (mPrepared)
    return;
  mDelay.prepare(kRate);
  mTape.prepare(kRate);
  if (mTape.mode() != Tape::kOversampled)
    mTape.setMode(Tape::kOversampled);
  mPrepared = true;
}

void RepeatsModel::makeSlots(double tL, double tR, bool pingPong)
{
  mSlots.clear();
  if (pingPong)
  {
    double t = 0.0;
    for (int i = 0; i < kPingPongSlots; ++i)
    {
      t += (i % 2 == 0) ? tL : tR;
      mSlots.push_back({t, i % 2 == 1, static_cast<std::int32_t>(i / 2 + 1)});
    }
  }
  else
  {
    for (int n = 1; n <= kRepeatsPerSide; ++n)
    {
      mSlots.push_back({n * tL, false, n});
      mSlots.push_back({n * tR, true, n});
    }
    // Left before right at equal times, also when the two echoes have
    // different numbers (n * tL == m * tR), so the order never depends on
    // which was appended first.
    std::stable_sort(mSlots.begin(), mSlots.end(),
                     [](const Slot& a, const Slot& b)
                     { return a.time < b.time || (a.time == b.time && !a.right && b.right); });
  }
  mStarts.clear();
  for (const Slot& s : mSlots)
    mStarts.push_back(static_cast<std::int64_t>(std::round(s.time * kRate)));
}

void RepeatsModel::makeBurst(std::int64_t length)
{
  mBurst.assign(static_cast<std::size_t>(length), 0.0);
  std::uint32_t s = 0x1234567u;
  Biquad hp = kBurstHighPass;
  Biquad lp = kBurstLowPass;
  double sum = 0.0;
  for (double& y : mBurst)
  {
    s = s * 1664525u + 1013904223u;
    const double white = static_cast<double>(s) * (1.0 / 2147483648.0) - 1.0;
    y = lp.tick(hp.tick(white));
    sum += y * y;
  }
  const double rms = std::sqrt(sum / static_cast<double>(length));
  const double factor = rms > 0.0 ? kBurstRms / rms : 0.0;
  mBurstEnergy = 0.0;
  for (double& y : mBurst)
  {
    y *= factor;
    mBurstEnergy += y * y;
  }
}

bool RepeatsModel::measure(const Request& request, std::vector<Repeat>& out,
                           const std::function<bool()>& cancelled)
{
  prepare();
  out.clear();

  TapeDelay::Settings settings = request.settings;
  settings.wobble = 0.0;

  // Every measurement starts from silence: the engines forget their history.
  mDelay.clear();
  mTape.clear();
  mTape.jumpDrive(driveGain(request.driveDb));
  mDelay.inputOffset = static_cast<std::uint32_t>(mTape.latency());
  mDelay.set(settings);

  const double rate = mDelay.sampleRate();
  const double tL = mDelay.delaySamples(false) / rate;
  const double tR = mDelay.delaySamples(true) / rate;
  makeSlots(tL, tR, settings.pingPong);

  const double minT = std::min(tL, tR);
  const auto burstLength =
      static_cast<std::int64_t>(std::max(1.0, std::min(0.5 * minT, kMaxBurstSeconds) * kRate));
  makeBurst(burstLength);
  const auto window = static_cast<std::int64_t>(
      std::min(0.25 * minT, kMaxWindowExtraSeconds) * kRate + static_cast<double>(burstLength));
  const double reference = std::max(mBurstEnergy, 1e-30);

  const bool pingPong = settings.pingPong;
  const bool lowCutOn = settings.lowCut > 20.0;
  const std::int64_t tapeEnd = burstLength + kTapeTailSamples;
  const std::size_t count = mSlots.size();

  std::size_t cursor = 0;
  double energy[2] = {0.0, 0.0};
  bool quiet[2] = {false, false};

  for (std::int64_t n = 0;;)
  {
    if (cursor >= count)
      return true;
    if (n % kCancelInterval == 0 && cancelled && cancelled())
      return false;

    // Silence adds no energy, so a skipped stretch only has to end before
    // the next cancellation check and the 60 s limit.
    std::int64_t step = 0;
    if (skipSilence && n >= tapeEnd)
    {
      const std::int64_t allowed = std::min(kCancelInterval - n % kCancelInterval, kMaxSamples - n);
      step = mDelay.skipSilence(static_cast<std::uint32_t>(allowed), kSilenceFloor);
    }
    if (step == 0)
    {
      step = 1;
      double u = 0.0;
      if (n < tapeEnd)
        u = mTape.tick(n < burstLength ? mBurst[static_cast<std::size_t>(n)] : 0.0);
      double yL = 0.0;
      double yR = 0.0;
      mDelay.tick(u, u, yL, yR);

      for (std::size_t i = cursor; i < count; ++i)
      {
        const std::int64_t start = mStarts[i];
        if (start > n)
          break;
        if (n < start + window)
        {
          if (mSlots[i].right)
            energy[1] += yR * yR;
          else
            energy[0] += yL * yL;
        }
      }
    }

    const std::int64_t m = n + step;
    while (cursor < count && mStarts[cursor] + window <= m)
    {
      const Slot& slot = mSlots[cursor];
      const int side = slot.right ? 1 : 0;
      const double e = std::max(energy[side], 1e-30);
      const int k = std::max<int>(slot.index, 1);
      Repeat r;
      r.time = slot.time;
      r.right = slot.right;
      r.index = slot.index;
      r.levelDb = 10.0 * std::log10(e / reference);
      r.highHz = highEdge(settings.highCut, settings.bandwidth, k);
      r.lowHz = lowCutOn ? lowEdge(settings.lowCut, k) : 0.0;
      out.push_back(r);
      energy[side] = 0.0;
      ++cursor;

      const bool isQuiet = r.levelDb < kQuietDb;
      if (pingPong)
      {
        if (isQuiet)
          return true;
      }
      else
      {
        quiet[side] = isQuiet;
        if (quiet[0] && quiet[1])
          return true;
      }
    }
    if (m >= kMaxSamples)
      return true;
    n = m;
  }
}

} // namespace ostratapedelay::dsp
