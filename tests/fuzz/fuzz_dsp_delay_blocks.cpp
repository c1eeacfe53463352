// Arbitrary settings, rates, input offsets, block lengths, setting changes and
// samples (non-finite ones included): the delay lines' block path must give
// what ticking them frame by frame gives, bit for bit.
#include "dsp/TapeDelay.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
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

  const double rates[] = {1.0, 8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0};
  const double rate = rates[in.next() % 8];
  const std::uint32_t offset = in.next() % 2 ? in.next() % 64 : in.next() * 97u;
  TapeDelay::Settings s = settingsFrom(in);
  for (TapeDelay* d : {&ticked, &blocked})
  {
    d->prepare(rate);
    d->inputOffset = offset;
    d->set(s);
  }

  std::vector<double> inL, inR, tickL, tickR, outL, outR;
  for (int block = 0; block < 64 && !in.empty(); ++block)
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
    const int n = 1 + static_cast<int>(in.next() * 3u % 700u);
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
  check(std::memcmp(ticked.left().buffer.data(), blocked.left().buffer.data(),
                    ticked.left().buffer.size() * sizeof(float)) == 0);
  check(std::memcmp(ticked.right().buffer.data(), blocked.right().buffer.data(),
                    ticked.right().buffer.size() * sizeof(float)) == 0);
  return 0;
}
