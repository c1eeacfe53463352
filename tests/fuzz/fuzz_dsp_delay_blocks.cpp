// Arbitrary settings, rates, input offsets, block lengths, setting changes and
// samples (non-finite ones included): the delay lines' block path must give
// what ticking them frame by frame gives, bit for bit.
//
// Each input stays short (at most 8 blocks of at most 511 frames), starts from a
// copy of an engine prepared once for its rate, and only the ring slots it can
// reach are compared, so hundreds of inputs run a second.
#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

using ostratapedelay::dsp::TapeDelay;

namespace
{

class Bytes
{
public:
  Bytes(const std::uint8_t* data, std::size_t size)
    : mData(data)
    , mSize(size)
  {
  }

  bool empty() const { return mAt >= mSize; }

  unsigned next() { return mAt < mSize ? mData[mAt++] : 0u; }

  // 0..1 in 65536 steps.
  double unit()
  {
    const unsigned hi = next();
    return (hi * 256u + next()) / 65535.0;
  }

  double sample()
  {
    switch (next() % 16)
    {
      case 0:
        return std::numeric_limits<double>::quiet_NaN();
      case 1:
        return (next() % 2 ? 1.0 : -1.0) * std::numeric_limits<double>::infinity();
      case 2:
        return 1e300;
      case 3:
        return 0.0;
      default:
        return 4.0 * unit() - 2.0;
    }
  }

private:
  const std::uint8_t* mData;
  std::size_t mSize;
  std::size_t mAt = 0;
};

TapeDelay::Settings settingsFrom(Bytes& in)
{
  TapeDelay::Settings s;
  // Times from 0 to beyond the 6 s limit, often short enough to bring the
  // reads next to the writes.
  s.timeLeft = in.next() % 2 ? 7.0 * in.unit() : 0.01 * in.unit();
  s.timeRight = in.next() % 2 ? 7.0 * in.unit() : 0.01 * in.unit();
  s.feedback = 1.2 * in.unit();
  s.pingPong = in.next() % 2 == 1;
  switch (in.next() % 3)
  {
    case 0:
      s.character = TapeDelay::kPlain;
      break;
    case 1:
      s.character = TapeDelay::kMedium;
      break;
    default:
      s.character = {2.0 * in.unit(), 4.0 * in.unit() - 2.0};
  }
  s.lowCut = 400.0 * in.unit();
  s.highCut = 22000.0 * in.unit();
  s.bandwidth = in.next() % 2 ? 20000.0 * in.unit() : 0.0;
  s.slope = static_cast<TapeDelay::Slope>(in.next() % 3);
  s.wobble = 2.5 * in.unit();
  return s;
}

// The ring slots `frames` frames of writes can reach from a fresh prepare: the
// write head's run from slot 0, and the inputs up to `offset` slots behind it.
bool sameReach(const TapeDelay::Line& a, const TapeDelay::Line& b, std::size_t frames,
               std::uint32_t offset)
{
  const std::size_t size = std::min(a.buffer.size(), b.buffer.size());
  const std::size_t head = std::min(size, frames + 1);
  const std::size_t behind = std::min(size - head, static_cast<std::size_t>(offset) + 2);
  return a.buffer.size() == b.buffer.size() && a.writeIndex == b.writeIndex &&
         std::memcmp(a.buffer.data(), b.buffer.data(), head * sizeof(float)) == 0 &&
         std::memcmp(a.buffer.data() + size - behind, b.buffer.data() + size - behind,
                     behind * sizeof(float)) == 0;
}

constexpr double kRates[] = {1.0, 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
constexpr std::size_t kRateCount = sizeof kRates / sizeof kRates[0];

// An engine as prepare() leaves it, one per rate. Copying it is a plain memory
// copy, where preparing afresh zeroes the rings sample by sample under the
// fuzzer's instrumentation (most of the time an input took).
const TapeDelay& prepared(std::size_t rateIndex)
{
  static std::unique_ptr<TapeDelay> engines[kRateCount];
  std::unique_ptr<TapeDelay>& engine = engines[rateIndex];
  if (!engine)
  {
    engine = std::make_unique<TapeDelay>();
    engine->prepare(kRates[rateIndex]);
  }
  return *engine;
}

void check(bool condition)
{
  if (!condition)
    std::abort();
}

bool same(double a, double b)
{
  return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static TapeDelay ticked;
  static TapeDelay blocked;
  Bytes in(data, size);

  const TapeDelay& fresh = prepared(in.next() % kRateCount);
  const std::uint32_t offset = in.next() % 2 ? in.next() % 64 : in.next() * 97u;
  TapeDelay::Settings s = settingsFrom(in);
  for (TapeDelay* d : {&ticked, &blocked})
  {
    *d = fresh;
    d->inputOffset = offset;
    d->set(s);
  }

  std::vector<double> inL, inR, tickL, tickR, outL, outR;
  std::size_t frames = 0;
  for (int block = 0; block < 8 && !in.empty(); ++block)
  {
    if (in.next() % 8 == 0)
    {
      s = settingsFrom(in);
      ticked.set(s);
      blocked.set(s);
    }
    if (in.next() % 32 == 0)
    {
      ticked.clear();
      blocked.clear();
    }
    const int n = 1 + static_cast<int>(in.next() * 2u % 511u);
    frames += static_cast<std::size_t>(n);
    const bool quiet = in.next() % 2 == 0;
    inL.assign(static_cast<std::size_t>(n), 0.0);
    inR.assign(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n && !quiet; i += 1 + static_cast<int>(in.next() % 8))
    {
      inL[static_cast<std::size_t>(i)] = in.sample();
      inR[static_cast<std::size_t>(i)] = in.sample();
    }
    tickL.resize(inL.size());
    tickR.resize(inL.size());
    outL.resize(inL.size());
    outR.resize(inL.size());
    for (std::size_t i = 0; i < inL.size(); ++i)
      ticked.tick(inL[i], inR[i], tickL[i], tickR[i]);
    blocked.process(inL.data(), inR.data(), outL.data(), outR.data(), n);
    for (std::size_t i = 0; i < inL.size(); ++i)
      check(same(outL[i], tickL[i]) && same(outR[i], tickR[i]));
    check(same(blocked.lastGain(), ticked.lastGain()));
  }
  check(sameReach(ticked.left(), blocked.left(), frames, offset));
  check(sameReach(ticked.right(), blocked.right(), frames, offset));
  return 0;
}
