#include "dsp/Tape.h"

#include "dsp/TapeReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

using ostratapedelay::dsp::Biquad;
using ostratapedelay::dsp::kAfterCurve;
using ostratapedelay::dsp::kBeforeCurve;
using ostratapedelay::dsp::Tape;
using ostratapedelay::dsp::TapeSection;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<double> sine(double freq, double amp, double rate, int n)
{
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = amp * std::sin(2.0 * kPi * freq * i / rate);
    return v;
}

std::vector<double> run(Tape& tape, const std::vector<double>& in)
{
    std::vector<double> out;
    out.reserve(in.size());
    for (double x : in)
        out.push_back(tape.tick(x));
    return out;
}

Tape makeTape(int mode, double drive, double rate = 48000.0)
{
    Tape t;
    t.setMode(mode);
    t.prepare(rate);
    t.setDrive(drive);
    return t;
}

double magnitudeAt(const Biquad& b, double freq, double rate)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / rate);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((b.b0 + b.b1 * z1 + b.b2 * z2) / (1.0 + b.a1 * z1 + b.a2 * z2));
}

// Sum of |h| of the five after-curve sections in series: bounds the gain the
// de-emphasis can give any signal.
double afterCurveL1(double rate)
{
    std::array<Biquad, 5> post{};
    Tape::design(kAfterCurve, post, rate);
    double sum = 0.0;
    for (int n = 0; n < static_cast<int>(rate); ++n) {
        double y = n == 0 ? 1.0 : 0.0;
        for (Biquad& b : post)
            y = b.tick(y);
        sum += std::fabs(y);
    }
    return sum;
}

} // namespace

TEST(TapeTables, HalfbandIsSymmetricKaiserHalfband)
{
    const auto& taps = Tape::halfband();
    EXPECT_DOUBLE_EQ(taps[31], 0.5);
    double evenSum = 0.0;
    for (int i = 0; i < Tape::kHalfbandTaps; ++i) {
        EXPECT_DOUBLE_EQ(taps[static_cast<std::size_t>(i)], taps[static_cast<std::size_t>(62 - i)]) << i;
        const int distance = std::abs(i - 31);
        if (distance != 0 && distance % 2 == 0) {
            EXPECT_NEAR(taps[static_cast<std::size_t>(i)], 0.0, 1e-15) << i;
        }
        if (i % 2 == 0)
            evenSum += taps[static_cast<std::size_t>(i)];
    }
    // The interpolating branch (gain 2) passes DC at unit gain.
    EXPECT_NEAR(2.0 * evenSum, 1.0, 1e-4);
    // Window edge: I0(0)/I0(8) times the ideal response at n = 31.
    EXPECT_NEAR(taps[0], std::sin(kPi * -31 / 2.0) / (kPi * -31) / 427.56411572180474, 1e-18);
}

TEST(TapeTables, AntiderivativeMatchesSaturatorIntegral)
{
    const auto& t = Tape::antiderivativeTable();
    EXPECT_EQ(t[0], 0.0);
    // Small inputs: f(x) ~ x, so F(x) ~ x^2 / 2.
    EXPECT_NEAR(t[1], 0.5 / (256.0 * 256.0), 1e-12);
    for (std::size_t i = 1; i < t.size(); ++i)
        ASSERT_GT(t[i], t[i - 1]) << i;
    // Far out the slope approaches the ceiling.
    EXPECT_NEAR((t[16385] - t[16384]) * 256.0, 0.41, 1e-6);

    // F' = f across the table and past its end (central differences).
    for (double x : {0.001, 0.05, 0.3, 0.41, 1.0, 2.5, 10.0, 63.99, 64.0, 100.0, 1e4}) {
        const double h = 1e-5;
        const double slope = (Tape::integral(x + h) - Tape::integral(x - h)) / (2.0 * h);
        EXPECT_NEAR(slope, Tape::saturate(x), 1e-7) << x;
    }
    // Even function, and continuous where the table ends.
    EXPECT_DOUBLE_EQ(Tape::integral(-3.7), Tape::integral(3.7));
    EXPECT_NEAR(Tape::integral(64.0 - 1e-12), Tape::integral(64.0), 1e-10);
}

TEST(TapeSaturator, OddUnitSlopeAndBounded)
{
    EXPECT_EQ(Tape::saturate(0.0), 0.0);
    EXPECT_NEAR(Tape::saturate(1e-6) / 1e-6, 1.0, 1e-12);
    EXPECT_NEAR(Tape::saturate(0.01) / 0.01, 1.0, 1e-5);
    double last = 0.0;
    for (double x = 0.01; x < 1e7; x *= 1.3) {
        const double y = Tape::saturate(x);
        EXPECT_DOUBLE_EQ(Tape::saturate(-x), -y);
        ASSERT_LE(y, 0.41 + 1e-15) << x; // rounding only
        ASSERT_GE(y, last - 1e-15) << x; // monotonic up to rounding
        last = y;
    }
    EXPECT_NEAR(Tape::saturate(1000.0), 0.41, 1e-8);
    // Reference point worked by hand: |x| = 0.41 gives 0.41 / 2^(1/3.1).
    EXPECT_NEAR(Tape::saturate(0.41), 0.41 / std::pow(2.0, 1.0 / 3.1), 1e-15);
    EXPECT_EQ(Tape::saturate(kInf), 0.41);
    EXPECT_EQ(Tape::saturate(-kInf), -0.41);
    EXPECT_EQ(Tape::saturate(1e300), 0.41);
}

TEST(TapeSaturator, IntegralOfNonFiniteIsZero)
{
    EXPECT_EQ(Tape::integral(kNaN), 0.0);
    EXPECT_EQ(Tape::integral(kInf), 0.0);
    EXPECT_EQ(Tape::integral(-kInf), 0.0);
}

TEST(TapeDesign, SectionsHaveTheirNominalGains)
{
    std::array<Biquad, 2> pre{};
    std::array<Biquad, 5> post{};
    Tape::design(kBeforeCurve, pre, 48000.0);
    Tape::design(kAfterCurve, post, 48000.0);

    auto db = [](double m) { return 20.0 * std::log10(m); };
    // Peaking sections reach their gain at the centre frequency.
    EXPECT_NEAR(db(magnitudeAt(pre[0], 2160.1962, 48000.0)), -4.163867, 1e-6);
    EXPECT_NEAR(db(magnitudeAt(post[1], 36.1782, 48000.0)), 0.874088, 1e-6);
    EXPECT_NEAR(db(magnitudeAt(post[2], 68.735, 48000.0)), -2.345599, 1e-6);
    EXPECT_NEAR(db(magnitudeAt(post[3], 2148.3941, 48000.0)), 5.85763, 1e-6);
    // Shelves: unity at DC, full gain at Nyquist, half the gain (in dB) at the corner.
    EXPECT_NEAR(db(magnitudeAt(pre[1], 0.0, 48000.0)), 0.0, 1e-9);
    EXPECT_NEAR(db(magnitudeAt(pre[1], 24000.0, 48000.0)), 8.282617, 0.05);
    EXPECT_NEAR(db(magnitudeAt(pre[1], 8017.1193, 48000.0)), 8.282617 / 2.0, 1e-6);
    EXPECT_NEAR(db(magnitudeAt(post[4], 4085.476, 48000.0)), -5.949434 / 2.0, 1e-6);
    // High-pass: blocks DC, passes the midband, Q sets the corner.
    EXPECT_LT(magnitudeAt(post[0], 0.0, 48000.0), 1e-12);
    EXPECT_NEAR(magnitudeAt(post[0], 1000.0, 48000.0), 1.0, 1e-3);
    EXPECT_NEAR(magnitudeAt(post[0], 24.6164, 48000.0), 0.906503, 1e-6);
}

TEST(TapeDesign, FrequencyLimitedBelowNyquistAndUnknownTypesUntouched)
{
    // At 11025 Hz the 8 kHz shelf sits at 0.49 of the rate; coefficients stay
    // finite and the filter stable.
    std::array<Biquad, 2> pre{};
    Tape::design(kBeforeCurve, pre, 11025.0);
    for (const Biquad& b : pre) {
        EXPECT_TRUE(std::isfinite(b.b0 + b.b1 + b.b2 + b.a1 + b.a2));
        EXPECT_LT(std::fabs(b.a2), 1.0);
    }
    std::array<Biquad, 1> one{};
    one[0].b0 = 0.25;
    const std::array<TapeSection, 1> unknown{{{7, 1000.0, 0.7, 3.0}}};
    Tape::design(unknown, one, 48000.0);
    EXPECT_EQ(one[0].b0, 0.25);
}

TEST(TapeStage, SmallSignalPassesTheSevenSectionsAtUnitSlope)
{
    std::array<Biquad, 2> pre{};
    std::array<Biquad, 5> post{};
    Tape::design(kBeforeCurve, pre, 44100.0);
    Tape::design(kAfterCurve, post, 44100.0);
    Tape tape = makeTape(Tape::kDirect, 1.0, 44100.0);

    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-1e-4, 1e-4);
    for (int i = 0; i < 4000; ++i) {
        const double x = noise(rng);
        double ref = pre[1].tick(pre[0].tick(x));
        for (Biquad& b : post)
            ref = b.tick(ref);
        const double y = tape.tick(x);
        ASSERT_NEAR(y, ref, 1e-9 * 1e-4) << i;
    }
}

TEST(TapeStage, OversampledModeDelaysByExactly31Samples)
{
    EXPECT_EQ(makeTape(Tape::kOversampled, 1.0).latency(), 31);
    EXPECT_EQ(makeTape(Tape::kDirect, 1.0).latency(), 0);
    EXPECT_EQ(makeTape(Tape::kAntiderivative, 1.0).latency(), 0);

    // Band-limited small signal: mode 2 equals mode 0 shifted by 31 samples.
    const auto in = sine(997.0, 0.01, 48000.0, 4000);
    Tape direct = makeTape(Tape::kDirect, 1.0);
    Tape twice = makeTape(Tape::kOversampled, 1.0);
    const auto a = run(direct, in);
    const auto b = run(twice, in);
    auto errorAtLag = [&](int lag) {
        double e = 0.0;
        for (std::size_t i = 1000; i < 4000; ++i)
            e = std::max(e, std::fabs(b[i] - a[i - static_cast<std::size_t>(lag)]));
        return e;
    };
    EXPECT_LT(errorAtLag(31), 1e-6);
    EXPECT_GT(errorAtLag(30), 1e-4);
    EXPECT_GT(errorAtLag(32), 1e-4);

    // An impulse comes out 31 samples later than without oversampling.
    Tape t = makeTape(Tape::kOversampled, 1.0);
    Tape d = makeTape(Tape::kDirect, 1.0);
    std::vector<double> impulse(200, 0.0);
    impulse[0] = 1e-3;
    const auto yt = run(t, impulse);
    const auto yd = run(d, impulse);
    std::size_t peakT = 0;
    std::size_t peakD = 0;
    for (std::size_t i = 0; i < yt.size(); ++i) {
        if (std::fabs(yt[i]) > std::fabs(yt[peakT]))
            peakT = i;
        if (std::fabs(yd[i]) > std::fabs(yd[peakD]))
            peakD = i;
    }
    EXPECT_EQ(peakT, peakD + 31);
}

TEST(TapeStage, AntiderivativeModeHandlesRepeatsAndNonFinite)
{
    // Equal successive driven samples (silence, then a held value) take the
    // midpoint branch: no 0/0.
    Tape tape = makeTape(Tape::kAntiderivative, 7.94);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(tape.tick(0.0), 0.0);
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE(std::isfinite(tape.tick(0.5))) << i;

    // Non-finite inputs neither escape nor poison the stage.
    for (double bad : {kNaN, kInf, -kInf, 1e308}) {
        Tape t = makeTape(Tape::kAntiderivative, 7.94);
        const auto in = sine(440.0, 0.5, 48000.0, 2000);
        for (std::size_t i = 0; i < in.size(); ++i)
            ASSERT_TRUE(std::isfinite(t.tick(i == 500 ? bad : in[i]))) << bad;
        EXPECT_GT(std::fabs(t.tick(0.5)) + std::fabs(t.tick(-0.5)), 0.0);
    }
}

TEST(TapeStage, AntiderivativeTracksDirectModeOnSlowSignals)
{
    // For a slow sine the antiderivative form is the saturator at the midpoint
    // of successive samples: close to the direct form.
    const auto in = sine(50.0, 0.3, 48000.0, 20000);
    Tape direct = makeTape(Tape::kDirect, 7.94);
    Tape adaa = makeTape(Tape::kAntiderivative, 7.94);
    const auto a = run(direct, in);
    const auto b = run(adaa, in);
    double err = 0.0;
    double ref = 0.0;
    for (std::size_t i = 5000; i < a.size(); ++i) {
        err += (a[i] - b[i]) * (a[i] - b[i]);
        ref += a[i] * a[i];
    }
    EXPECT_LT(std::sqrt(err / ref), 0.02);
    EXPECT_GT(ref, 0.0);
}

TEST(TapeStage, NonFiniteInputInEveryModeStaysFinite)
{
    for (int mode : {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled}) {
        Tape t = makeTape(mode, 2.0);
        const auto in = sine(440.0, 0.5, 48000.0, 3000);
        double energyAfter = 0.0;
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double x = (i == 100) ? kNaN : (i == 200 ? kInf : in[i]);
            const double y = t.tick(x);
            ASSERT_TRUE(std::isfinite(y)) << mode << " " << i;
            ASSERT_TRUE(std::isfinite(t.lastDriven())) << mode << " " << i;
            if (i > 1000)
                energyAfter += y * y;
        }
        EXPECT_GT(energyAfter, 1.0) << mode;
    }
}

TEST(TapeStage, DriveJumpsOnFirstBlockThenGlidesWith20ms)
{
    Tape t = makeTape(Tape::kDirect, 1.0);
    EXPECT_FALSE(t.first());
    EXPECT_EQ(t.driveCurrent(), 1.0);

    t.setDrive(4.0);
    EXPECT_EQ(t.driveCurrent(), 1.0);
    EXPECT_EQ(t.driveTarget(), 4.0);
    for (int i = 0; i < 960; ++i) // 20 ms at 48 kHz
        t.tick(0.0);
    EXPECT_NEAR((4.0 - t.driveCurrent()) / 3.0, std::exp(-1.0), 1e-3);

    // lastDriven is the sample after pre-emphasis and drive: from cleared
    // states the first output of each section is b0 times its input.
    std::array<Biquad, 2> pre{};
    Tape::design(kBeforeCurve, pre, 48000.0);
    t.clear();
    t.setDrive(2.0);
    t.tick(1e-3);
    EXPECT_DOUBLE_EQ(t.lastDriven(), pre[1].b0 * (pre[0].b0 * 1e-3) * 2.0);

    // Clearing raises the first flag: the next block jumps again.
    t.clear();
    EXPECT_TRUE(t.first());
    t.setDrive(0.5);
    EXPECT_EQ(t.driveCurrent(), 0.5);
    EXPECT_FALSE(t.first());

    // Unusable gains are ignored instead of breaking the make-up division.
    t.setDrive(0.0);
    t.setDrive(kNaN);
    t.jumpDrive(-1.0);
    EXPECT_EQ(t.driveTarget(), 0.5);
    EXPECT_EQ(t.driveCurrent(), 0.5);

    // prepare keeps mode and drive, raises first.
    t.setMode(Tape::kAntiderivative);
    t.prepare(96000.0);
    EXPECT_EQ(t.mode(), Tape::kAntiderivative);
    EXPECT_EQ(t.driveCurrent(), 0.5);
    EXPECT_TRUE(t.first());
}

TEST(TapeStage, MakeUpDivisionAndCeilingAtFullDrive)
{
    // Small signals come out at the same level whatever the drive.
    const auto quiet = sine(1000.0, 1e-4, 48000.0, 6000);
    Tape low = makeTape(Tape::kOversampled, 1.0);
    Tape high = makeTape(Tape::kOversampled, 7.94);
    const auto a = run(low, quiet);
    const auto b = run(high, quiet);
    for (std::size_t i = 3000; i < a.size(); ++i)
        ASSERT_NEAR(a[i], b[i], 1e-8) << i;

    // A loud signal at +18 dB: the saturator holds its peaks near 0.41, so the
    // output cannot exceed 0.41 times the de-emphasis gain over the drive.
    const double bound = 0.41 * afterCurveL1(48000.0) / 7.94;
    const auto loud = sine(220.0, 1.0, 48000.0, 24000);
    Tape t = makeTape(Tape::kOversampled, 7.94);
    double peak = 0.0;
    double driven = 0.0;
    for (double x : loud) {
        peak = std::max(peak, std::fabs(t.tick(x)));
        driven = std::max(driven, std::fabs(t.lastDriven()));
    }
    EXPECT_LE(peak, bound);
    EXPECT_GT(driven, 5.0); // well into the saturator's flat region
    EXPECT_GT(peak, 0.01);
}

TEST(TapeStage, SampleRatesSweptStayFiniteAndBounded)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        const double bound = 0.41 * afterCurveL1(rate) / 7.94;
        for (int mode : {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled}) {
            Tape t = makeTape(mode, 7.94, rate);
            std::mt19937 rng(3);
            std::uniform_real_distribution<double> noise(-1.0, 1.0);
            double peak = 0.0;
            double energy = 0.0;
            const int n = static_cast<int>(rate / 4);
            for (int i = 0; i < n; ++i) {
                const double x = noise(rng) + std::sin(2.0 * kPi * 100.0 * i / rate);
                const double y = t.tick(x);
                ASSERT_TRUE(std::isfinite(y)) << rate << " " << mode;
                peak = std::max(peak, std::fabs(y));
                energy += y * y;
            }
            EXPECT_LE(peak, bound) << rate << " " << mode;
            EXPECT_GT(energy / n, 1e-4) << rate << " " << mode;
        }
    }
}

TEST(TapeStage, UnusableRateFallsBackTo48k)
{
    const auto in = sine(300.0, 0.2, 48000.0, 2000);
    Tape ref = makeTape(Tape::kOversampled, 2.0, 48000.0);
    const auto expected = run(ref, in);
    for (double rate : {0.0, -44100.0, kNaN, kInf}) {
        Tape t = makeTape(Tape::kOversampled, 2.0, rate);
        EXPECT_EQ(run(t, in), expected) << rate;
    }
}

TEST(TapeStage, ModeChangeClearsSaturatorHistory)
{
    // After a mode change mode 2 restarts from an empty history: the same
    // input gives the same output as a fresh stage, once the filters agree.
    const auto in = sine(500.0, 0.3, 48000.0, 3000);
    Tape t = makeTape(Tape::kOversampled, 3.0);
    run(t, in);
    t.clear();
    t.setDrive(3.0);
    t.setMode(Tape::kDirect);
    t.setMode(Tape::kOversampled);
    Tape fresh = makeTape(Tape::kOversampled, 3.0);
    EXPECT_EQ(run(t, in), run(fresh, in));
}

TEST(TapeFastPath, TabledSaturatorWithin1e7OfTheFormula)
{
    EXPECT_EQ(Tape::saturateFast(0.0), 0.0);
    double worst = 0.0;
    for (double x = 1e-300; x < 1e8; x *= 1.0007) {
        for (double s : {x, -x}) {
            const double exact = Tape::saturate(s);
            worst = std::max(worst, std::fabs(Tape::saturateFast(s) / exact - 1.0));
        }
    }
    EXPECT_LT(worst, 1e-7);
    EXPECT_EQ(Tape::saturateFast(kInf), 0.41);
    EXPECT_EQ(Tape::saturateFast(-kInf), -0.41);
    EXPECT_TRUE(std::isnan(Tape::saturateFast(kNaN)));
}

TEST(TapeFastPath, StageMatchesPlainReference)
{
    // The optimised stage (tabled saturator, contiguous filter windows) against
    // the textbook loops, with a drive glide and loud, mostly saturated input.
    for (double rate : {44100.0, 96000.0}) {
        for (int mode : {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled}) {
            for (double drive : {1.0, 7.94}) {
                Tape t = makeTape(mode, drive, rate);
                tapetest::ReferenceTape ref;
                ref.prepare(rate, mode, drive);
                t.setDrive(drive * 0.5);
                ref.setDriveTarget(drive * 0.5);
                std::mt19937 rng(5);
                std::uniform_real_distribution<double> noise(-1.0, 1.0);
                std::vector<double> a, b;
                for (int i = 0; i < 20000; ++i) {
                    const double x = 0.7 * noise(rng) + 0.6 * std::sin(2.0 * kPi * 80.0 * i / rate);
                    a.push_back(t.tick(x));
                    b.push_back(ref.tick(x));
                }
                double peak = 0.0;
                for (double y : b)
                    peak = std::max(peak, std::fabs(y));
                ASSERT_GT(peak, 0.01);
                for (std::size_t i = 0; i < a.size(); ++i)
                    ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7 * peak)
                        << rate << " mode " << mode << " drive " << drive << " at " << i;
            }
        }
    }
}
