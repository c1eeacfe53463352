#include "dsp/TapeDelay.h"
#include "dsp/Tape.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::Tape;
using ostratapedelay::dsp::TapeDelay;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TapeDelay prepared(const TapeDelay::Settings& s, std::uint32_t inputOffset = 0,
                   double rate = 48000.0)
{
  TapeDelay d;
  d.prepare(rate);
  d.inputOffset = inputOffset;
  d.set(s);
  return d;
}

// `frames` output frames of a (left, right) impulse at frame `at`.
std::vector<double> impulse(TapeDelay& d, int frames, int at = 0, double left = 1.0,
                            double right = 1.0)
{
  std::vector<double> out(2 * static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n)
    d.tick(n == at ? left : 0.0, n == at ? right : 0.0, out[2 * n], out[2 * n + 1]);
  return out;
}

double powerGain(const Biquad& q, double f, double rate = 48000.0)
{
  const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * f / rate);
  return std::norm((q.b0 + q.b1 * z + q.b2 * z * z) / (1.0 + q.a1 * z + q.a2 * z * z));
}

// A deliberately plain pair of lines for the optimised engine to match: every
// formula written out, sin, pow and modulo evaluated each sample, no caching;
// finite inputs only.
class ReferenceDelay
{
public:
  // Rings of the engine's capacity, so reads outside the history agree.
  ReferenceDelay(double rate, std::size_t capacity, std::uint32_t inputOffset)
    : mRate(rate)
    , mOffset(inputOffset)
  {
    for (Line& l : mLines)
      l.ring.assign(capacity, 0.0f);
  }

  void set(const TapeDelay::Settings& s)
  {
    mPingPong = s.pingPong;
    mFbTarget = std::clamp(s.feedback, 0.0, 0.95);
    mCharacter = s.character;
    mPlain = mCharacter.exponent == 1.0 && mCharacter.compression == 0.0;
    mLevelExponent =
        mFbTarget > 1e-6 ? std::log10(mFbTarget) * (-20.0 * mCharacter.compression) / 10.0 : 0.0;
    const double minDelay = std::max(0.001 * mRate, mOffset + 4.0);
    mWobTarget = std::clamp(s.wobble, 0.0, 2.0);
    const double times[2] = {s.timeLeft, s.timeRight};
    for (int c = 0; c < 2; ++c)
    {
      Line& l = mLines[c];
      const double maxDelay = std::min(6.0 * mRate, static_cast<double>(l.ring.size()) - 4.0);
      const double d = std::clamp(times[c] * mRate, minDelay, maxDelay);
      l.glide = d != l.target ? 1.0 - std::exp(-1.0 / d) : l.glide;
      l.target = d;
      l.current = mFirst ? d : l.current;
      // The engine's designs (checked by their own tests); the filtering is done here.
      l.cuts.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, mRate);
    }
    if (mFirst)
    {
      mFb = mFbTarget;
      mWob = mWobTarget;
    }
    mFirst = false;
  }

  void tick(double inL, double inR, double& outL, double& outR)
  {
    const double pi = std::numbers::pi, smooth = 1.0 - std::exp(-1.0 / (0.02 * mRate));
    const double attack = 1.0 - std::exp(-1.0 / (0.002 * mRate));
    mFb += (mFbTarget - mFb) * smooth;
    mWob += (mWobTarget - mWob) * smooth;
    const double mod = std::sin(mPhase1) * 0.0006355868152678745 * mRate / (2.0 * pi * 19.0) * mWob;
    const double am = mWob != 0.0 ? std::pow(10.0, std::sin(mPhase2) * 0.52 * mWob / 20.0) : 1.0;
    mPhase1 += 2.0 * pi * 19.0 / mRate;
    mPhase2 += 2.0 * pi * 18.88 / mRate;
    for (double* phase : {&mPhase1, &mPhase2})
      *phase -= *phase > 2.0 * pi ? 2.0 * pi : 0.0;

    const double yL = outL = cut(mLines[0], read(mLines[0], mod) * am);
    const double yR = outR =
        mPingPong ? read(mLines[1], mod) : cut(mLines[1], am * read(mLines[1], mod));

    double g = mFb;
    if (!mPlain)
    {
      const double in = std::max(std::fabs(inL), std::fabs(inR));
      mInEnv =
          in > mInEnv ? mInEnv + (in - mInEnv) * attack : mInEnv * std::exp(-1.0 / (3.0 * mRate));
      const double echo = std::max(std::fabs(yL), std::fabs(yR));
      mEchoEnv = echo > mEchoEnv ? mEchoEnv + (echo - mEchoEnv) * attack
                                 : mEchoEnv * std::exp(-1.0 / (0.15 * mRate));
      g = mFb <= 1e-9 ? 0.0 : std::pow(mFb, mCharacter.exponent);
      if (mFb > 1e-9 && mInEnv > 1e-9)
        g *= mEchoEnv >= mInEnv ? mInEnv / mEchoEnv : std::pow(mEchoEnv / mInEnv, mLevelExponent);
    }

    write(mLines[0], mPingPong ? g * g * yR : g * yL, mPingPong ? (inL + inR) / 2.0 : inL);
    write(mLines[1], mPingPong ? yL : g * yR, mPingPong ? 0.0 : inR);
  }

private:
  struct Line
  {
    std::vector<float> ring;
    std::uint32_t write = 0, filled = 0;
    double current = 0.0, target = 0.0, glide = 1.0;
    TapeDelay::Line cuts;
  };

  static double cut(Line& l, double x)
  {
    TapeDelay::Line& c = l.cuts;
    const bool on[] = {c.lowCutOn, c.highCutSections >= 1, c.highCutSections == 2, c.bandwidthOn};
    Biquad* sections[] = {&c.lowCut, &c.highCut1, &c.highCut2, &c.bandwidth};
    for (int i = 0; i < 4; ++i)
      x = on[i] ? sections[i]->tick(x) : x;
    return x;
  }

  double read(Line& l, double offset)
  {
    l.current += (l.target - l.current) * l.glide;
    const double p = static_cast<double>(l.write) - (l.current + offset);
    const double i = std::floor(p), t = p - i;
    const auto size = static_cast<std::int64_t>(l.ring.size());
    double y[4];
    for (int j = 0; j < 4; ++j)
    {
      const auto k = static_cast<std::int64_t>(i) - 1 + j;
      const bool valid =
          k < static_cast<std::int64_t>(l.write) &&
          static_cast<std::int64_t>(l.write) - k <= static_cast<std::int64_t>(l.filled);
      y[j] = valid ? l.ring[static_cast<std::size_t>(((k % size) + size) % size)] : 0.0;
    }
    const double c2 = y[0] - 2.5 * y[1] + 2.0 * y[2] - y[3] / 2.0,
                 c3 = 1.5 * (y[1] - y[2]) + (y[3] - y[0]) / 2.0;
    return ((c3 * t + c2) * t + (y[2] - y[0]) / 2.0) * t + y[1];
  }

  // Writes v at the head, then adds the input inputOffset samples behind it.
  void write(Line& l, double v, double in)
  {
    const std::size_t size = l.ring.size();
    l.ring[l.write] = static_cast<float>(v);
    l.write = static_cast<std::uint32_t>((l.write + 1) % size);
    l.filled = static_cast<std::uint32_t>(std::min<std::size_t>(l.filled + 1, size));
    const std::size_t slot = (l.write + size - (mOffset + 1) % size) % size;
    l.ring[slot] = static_cast<float>(static_cast<double>(l.ring[slot]) + in);
  }

  Line mLines[2];
  double mRate = 48000.0, mPhase1 = 0.0, mPhase2 = 0.0;
  double mFb = 0.0, mFbTarget = 0.0, mWob = 0.0, mWobTarget = 0.0, mInEnv = 0.0, mEchoEnv = 0.0,
         mLevelExponent = 0.0;
  std::uint32_t mOffset = 0;
  TapeDelay::Character mCharacter{};
  bool mPlain = true, mPingPong = false, mFirst = true;
};

} // namespace

// The input enters inputOffset samples behind the write head, so the first echo
// leaves that much early while the recirculation keeps the full delay. In
// ping-pong the mono sum goes left after the left delay, on to the right after
// the right delay unscaled, and back left scaled by the square of the gain.
TEST(TapeDelay, ImpulseEchoesLandExactlyOnTheDelayAndRecirculate)
{
  for (int offset : {0, 31, -1})
  {
    const bool pingPong = offset < 0;
    TapeDelay d =
        prepared({.timeLeft = 0.01, .timeRight = 0.015, .feedback = 0.5, .pingPong = pingPong},
                 pingPong ? 0 : offset); // 480, 720
    const auto out = impulse(d, 3000, 100, 1.0, pingPong ? 0.0 : -1.0);
    for (int n = 0; n < 3000; ++n)
    {
      const int k = n - 100 + std::max(offset, 0), l = k % 1200 == 480 ? k / 1200 : -1;
      const double left = pingPong                ? (l >= 0 ? std::pow(0.25, l) / 2.0 : 0.0)
                          : k > 0 && k % 480 == 0 ? std::pow(0.5, k / 480 - 1)
                                                  : 0.0;
      const double right = pingPong
                               ? (k > 0 && k % 1200 == 0 ? std::pow(0.25, k / 1200 - 1) / 2.0 : 0.0)
                           : k > 0 && k % 720 == 0 ? -std::pow(0.5, k / 720 - 1)
                                                   : 0.0;
      ASSERT_TRUE(out[2 * n] == left && out[2 * n + 1] == right) << offset << " " << n;
    }
  }
}

TEST(TapeDelay, EchoThroughTheTapeStageFollowsTheDryImpulseByExactlyTheDelay)
{
  Tape tape;
  tape.prepare(48000.0);
  tape.setMode(Tape::kOversampled);
  tape.jumpDrive(1.0);
  TapeDelay d = prepared({.timeLeft = 0.02, .timeRight = 0.02, .feedback = 0.0},
                         tape.latency()); // 960 samples
  std::vector<double> taped(3000), echo(3000);
  for (std::size_t n = 0; n < taped.size(); ++n)
  {
    taped[n] = tape.tick(n == 200 ? 0.25 : 0.0);
    double r = 0.0;
    d.tick(taped[n], taped[n], echo[n], r);
  }
  EXPECT_EQ(std::max_element(echo.begin(), echo.end()) - echo.begin(), 200 + 960);
  for (std::size_t n = 200; n < 3000 - 960 + 31; ++n)
    ASSERT_EQ(echo[n + 960 - 31], static_cast<double>(static_cast<float>(taped[n]))) << n;
}

TEST(TapeDelay, FirstSetJumpsLaterOnesGlide)
{
  TapeDelay d = prepared({.timeLeft = 0.1, .timeRight = 0.2, .feedback = 0.3});
  EXPECT_TRUE(d.delaySamples(false) == 4800.0 && d.feedbackCurrent() == 0.3);
  d.set({.timeLeft = 0.2, .timeRight = 0.2, .feedback = 0.6});
  double l = 0.0, r = 0.0;
  d.tick(0.0, 0.0, l, r);
  // The delay glides with the new delay as time constant, the feedback over 20 ms.
  EXPECT_NEAR(d.delaySamples(false), 4800.0 + 4800.0 * (1.0 - std::exp(-1.0 / 9600.0)), 1e-9);
  EXPECT_NEAR(d.feedbackCurrent(), 0.3 + 0.3 * (1.0 - std::exp(-1.0 / 960.0)), 1e-12);
}

TEST(TapeDelay, SettingsAndRatesAreLimited)
{
  TapeDelay d = prepared({.timeLeft = 0.0, .timeRight = 10.0, .feedback = 2.0}, 31);
  EXPECT_EQ(d.delaySamples(false), 48.0); // 1 ms beats 31 + 4 samples at 48 kHz
  EXPECT_EQ(d.delaySamples(true), 6.0 * 48000.0);
  EXPECT_EQ(d.feedbackCurrent(), 0.95);
  // Unusable rates mean 48 kHz, absurd ones are limited, and the engine stays finite.
  const double rates[][2] = {{1e300, TapeDelay::kMaxSampleRate},
                             {-5.0, 48000.0},
                             {kNaN, 48000.0},
                             {1e-310, TapeDelay::kMinSampleRate}};
  for (const auto& rate : rates)
  {
    d.prepare(rate[0]);
    EXPECT_EQ(d.sampleRate(), rate[1]) << rate[0];
    d.set({.timeLeft = 0.01,
           .timeRight = kNaN,
           .feedback = 0.9,
           .character = TapeDelay::kMedium,
           .lowCut = 100.0,
           .highCut = 5000.0,
           .bandwidth = 16000.0,
           .wobble = 1.0});
    double l = 0.0, r = 0.0;
    for (int n = 0; n < 20000; ++n)
    {
      d.tick(n % 100 == 0 ? 1.0 : 0.0, 0.0, l, r);
      ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate[0] << " " << n;
    }
  }
}

TEST(TapeDelay, CutsAreDesignedOnlyInsideTheirRangesWithTheirCornersWhereAsked)
{
  TapeDelay::Settings s{.lowCut = 20.0, .highCut = 19900.0};
  TapeDelay d = prepared(s);
  EXPECT_FALSE(d.left().lowCutOn || d.left().bandwidthOn);
  EXPECT_EQ(d.right().highCutSections, 0);
  s = {.lowCut = 150.0, .highCut = 3000.0, .bandwidth = 16000.0};
  for (const int slope : {0, 1, 2, 7})
  {
    s.slope = static_cast<TapeDelay::Slope>(slope);
    d.set(s);
    const TapeDelay::Line& line = d.right();
    ASSERT_TRUE(line.lowCutOn && line.bandwidthOn);
    ASSERT_EQ(line.highCutSections, slope < 2 ? 1 : 2) << slope;
    auto highCut = [&](double f)
    { return powerGain(line.highCut1, f) * (slope < 2 ? 1.0 : powerGain(line.highCut2, f)); };
    EXPECT_NEAR(highCut(3000.0), 0.5, 1e-9) << slope;
    EXPECT_NEAR(highCut(0.0), 1.0, 1e-12) << slope;
    EXPECT_LT(10.0 * std::log10(highCut(6000.0)), slope == 0   ? -6.0
                                                  : slope == 1 ? -11.0
                                                               : -20.0)
        << slope;
  }
  EXPECT_NEAR(powerGain(d.left().lowCut, 150.0), 0.5, 1e-9);
  // A cut above the Nyquist limit is designed at 0.49 of the rate and stays stable.
  d.prepare(22050.0);
  s.lowCut = 15000.0;
  d.set(s);
  EXPECT_NEAR(powerGain(d.left().lowCut, 0.49 * 22050.0, 22050.0), 0.5, 1e-9);
}

// The plain law is the smoothed amount itself. The medium law against a scalar
// model of the two followers: sqrt(f) while the input is silent, sqrt(f)*in/echo
// while the echoes are louder, sqrt(f)*(echo/in)^E otherwise.
TEST(TapeDelay, FeedbackLawOfBothCharacters)
{
  const double attack = 1.0 - std::exp(-1.0 / 96.0), echoRelease = std::exp(-1.0 / 7200.0);
  const double inputRelease = std::exp(-1.0 / 144000.0);
  for (double feedback : {0.3, 0.7, 0.95})
  {
    TapeDelay plain = prepared({.timeLeft = 0.005, .timeRight = 0.007, .feedback = feedback});
    TapeDelay d = prepared({.timeLeft = 0.005,
                            .timeRight = 0.007,
                            .feedback = feedback,
                            .character = TapeDelay::kMedium});
    const double e = -2.0 * 0.371 * std::log10(feedback), g0 = std::sqrt(feedback);
    double inEnv = 0.0, echoEnv = 0.0, l = 0.0, r = 0.0;
    int louder = 0, quieter = 0;
    for (int n = 0; n < 20000; ++n)
    {
      const double in = n < 600 ? 0.5 * std::sin(n * 0.05) : 0.0; // both regimes occur
      plain.tick(in, -0.5 * in, l, r);
      ASSERT_EQ(plain.lastGain(), feedback);
      d.tick(in, -0.5 * in, l, r);
      inEnv = std::abs(in) > inEnv ? inEnv + (std::abs(in) - inEnv) * attack : inEnv * inputRelease;
      const double y = std::max(std::abs(l), std::abs(r));
      echoEnv = y > echoEnv ? echoEnv + (y - echoEnv) * attack : echoEnv * echoRelease;
      double expected = g0;
      if (inEnv > 1e-9)
      {
        const bool louderEchoes = echoEnv >= inEnv;
        expected = louderEchoes ? g0 * inEnv / echoEnv : g0 * std::pow(echoEnv / inEnv, e);
        ++(louderEchoes ? louder : quieter);
      }
      ASSERT_NEAR(d.lastGain(), expected, 1e-9 * g0) << feedback << " " << n;
    }
    EXPECT_GT(quieter, 1000);
    EXPECT_GT(louder, feedback >= 0.7 ? 100 : 0) << feedback;
  }
}

// Non-finite samples never enter a ring. Clear silences the lines at once
// though the rings keep their old samples; new input then echoes normally.
TEST(TapeDelay, NonFiniteInputNeverEntersARingAndClearSilencesTheLines)
{
  for (bool pingPong : {false, true})
  {
    const TapeDelay::Settings s{.timeLeft = 0.01,
                                .timeRight = 0.01,
                                .feedback = 0.9,
                                .pingPong = pingPong,
                                .character = TapeDelay::kMedium,
                                .lowCut = 100.0,
                                .bandwidth = 16000.0};
    TapeDelay d = prepared(s);
    const double bad[] = {kNaN, kInf, -kInf, 1e300, -1e300};
    double l = 0.0, r = 0.0;
    for (int n = 0; n < 4000; ++n)
    {
      d.tick(n % 3 == 0 ? bad[n % 5] : std::sin(n * 0.1), n % 7 == 0 ? bad[n % 5] : -0.1, l, r);
      ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
    }
    for (const auto* ring : {&d.left().buffer, &d.right().buffer})
      ASSERT_TRUE(
          std::all_of(ring->begin(), ring->end(), [](float v) { return std::isfinite(v); }));
    d.clear();
    EXPECT_LT(std::count(d.left().buffer.begin(), d.left().buffer.begin() + 4000, 0.0f), 1000);
    d.set(s);
    for (int n = 0; n < 2000; ++n)
    {
      d.tick(0.0, 0.0, l, r);
      ASSERT_TRUE(l == 0.0 && r == 0.0) << pingPong << " " << n;
    }
    impulse(d, 400, 0, kNaN, kInf); // the level followers are not poisoned either
    double peak = 0.0;
    for (double v : impulse(d, 1000))
      peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 0.1) << pingPong;
  }
}

// The plug-in's chain at its extremes: +18 dB of drive into 95 % feedback with
// maximum wobble; the left input is taped, the right raw.
TEST(TapeDelay, SampleRatesStayFiniteAndBoundedAtFullFeedbackAndDrive)
{
  for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0})
  {
    for (int variant = 0; variant < 4; ++variant)
    {
      Tape tape;
      tape.prepare(rate);
      tape.setMode(Tape::kOversampled);
      tape.jumpDrive(std::pow(10.0, 18.0 / 20.0));
      TapeDelay d = prepared({.timeLeft = 0.013,
                              .timeRight = 0.021,
                              .feedback = 0.95,
                              .pingPong = variant > 1,
                              .character = variant % 2 ? TapeDelay::kMedium : TapeDelay::kPlain,
                              .bandwidth = 16000.0,
                              .slope = TapeDelay::Slope::k6dB,
                              .wobble = 2.0},
                             31, rate);
      std::uint32_t noise = 1;
      double peak = 0.0, l = 0.0, r = 0.0;
      for (int n = 0; n < static_cast<int>(rate * 3.0); ++n)
      {
        noise = noise * 1664525u + 1013904223u;
        const double in = n < rate * 0.5 ? noise * (2.0 / 4294967296.0) - 1.0 : 0.0;
        d.tick(n < rate * 0.6 ? tape.tick(in) : 0.0, 0.5 * in, l, r);
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << rate << " " << variant << " " << n;
        peak = std::max({peak, std::abs(l), std::abs(r)});
      }
      EXPECT_TRUE(peak > 0.1 && peak < 25.0) << rate << " " << variant << " " << peak;
    }
  }
}

TEST(TapeDelayAgainstReference, StaysWithinAMillionthWithWobbleCutsAndSettingChanges)
{
  // Short lines: many trips round the feedback path.
  const TapeDelay::Settings plugin{.timeLeft = 0.0123,
                                   .timeRight = 0.0171,
                                   .feedback = 0.6,
                                   .character = TapeDelay::kMedium,
                                   .lowCut = 120.0,
                                   .highCut = 6000.0,
                                   .bandwidth = 16000.0,
                                   .slope = TapeDelay::Slope::k6dB,
                                   .wobble = 1.0};
  TapeDelay::Settings pingPong = plugin, plain = plugin;
  pingPong.pingPong = true;
  pingPong.wobble = 2.0;
  pingPong.slope = TapeDelay::Slope::k24dB;
  pingPong.feedback = 0.9;
  plain.character = TapeDelay::kPlain;
  plain.slope = TapeDelay::Slope::k12dB;
  const struct
  {
    TapeDelay::Settings settings;
    double rate;
    bool changes;
  } cases[] = {{plugin, 48e3, false},
               {pingPong, 44.1e3, false},
               {pingPong, 96e3, false},
               {plain, 48e3, true}};
  for (const auto& c : cases)
  {
    TapeDelay engine;
    engine.prepare(c.rate);
    engine.inputOffset = 31;
    ReferenceDelay ref(c.rate, engine.capacity(), 31);
    TapeDelay::Settings s = c.settings;
    engine.set(s);
    ref.set(s);
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    double peak = 0.0, a[2], b[2];
    for (int n = 0; n < static_cast<int>(c.rate * 2.0); ++n)
    {
      // The wobble glides to 0 and stays there a while, comes back, the
      // delay time glides, the feedback falls.
      if (c.changes && (n == 5000 || n == 40000 || n == 60000 || n == 70000))
      {
        s.wobble = n == 5000 ? 0.0 : 0.5;
        s.timeLeft = n >= 60000 ? 0.02 : s.timeLeft;
        s.feedback = n == 70000 ? 0.3 : s.feedback;
        engine.set(s);
        ref.set(s);
      }
      // Bursts of noise with silent gaps: the level law sees the input come and go.
      const bool on = std::fmod(n / c.rate, 0.25) < 0.08;
      const double inL = on ? noise(rng) : 0.0, inR = on ? noise(rng) : 0.0;
      engine.tick(inL, inR, a[0], a[1]);
      ref.tick(inL, inR, b[0], b[1]);
      for (int i = 0; i < 2; ++i)
        ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7)
            << c.rate << " frame " << n;
      peak = std::max({peak, std::fabs(b[0]), std::fabs(b[1])});
    }
    EXPECT_GT(peak, 0.01);
  }
}
