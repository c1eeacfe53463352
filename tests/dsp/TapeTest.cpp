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

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kModes[] = {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled};

std::vector<double> sine(double freq, double amp, int n, double rate = 48000.0)
{
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(amp * std::sin(2.0 * kPi * freq * i / rate));
    return v;
}

Tape makeTape(int mode, double drive, double rate = 48000.0)
{
    Tape t;
    t.setMode(mode);
    t.prepare(rate);
    t.setDrive(drive);
    return t;
}

std::vector<double> run(Tape& tape, const std::vector<double>& in)
{
    std::vector<double> out;
    for (double x : in)
        out.push_back(tape.tick(x));
    return out;
}

// The seven sections designed for `rate`, as plain linear filters.
struct Curves {
    std::array<Biquad, 2> pre{};
    std::array<Biquad, 5> post{};
    explicit Curves(double rate)
    {
        Tape::design(kBeforeCurve, pre, rate);
        Tape::design(kAfterCurve, post, rate);
    }
};

double magnitudeDb(const Biquad& b, double freq, double rate = 48000.0)
{
    const std::complex<double> z = std::polar(1.0, -2.0 * kPi * freq / rate);
    return 20.0 * std::log10(std::abs((b.b0 + b.b1 * z + b.b2 * z * z) / (1.0 + b.a1 * z + b.a2 * z * z)));
}

} // namespace

TEST(TapeSaturator, ShapeTablesAndAntiderivative)
{
    // Odd, unit slope at 0, monotonic, bounded by 0.41; the tabled form within 1e-7.
    EXPECT_NEAR(Tape::saturate(1e-6) / 1e-6, 1.0, 1e-12);
    EXPECT_NEAR(Tape::saturate(0.41), 0.41 / std::pow(2.0, 1.0 / 3.1), 1e-15);
    double last = 0.0, worst = 0.0;
    for (double x = 0.01; x < 1e7; x *= 1.3) {
        EXPECT_DOUBLE_EQ(Tape::saturate(-x), -Tape::saturate(x));
        ASSERT_LE(Tape::saturate(x), 0.41 + 1e-15) << x;
        ASSERT_GE(Tape::saturate(x), last - 1e-15) << x;
        last = Tape::saturate(x);
    }
    EXPECT_NEAR(last, 0.41, 1e-8);
    for (double x = 1e-300; x < 1e8; x *= 1.001)
        for (double s : {x, -x})
            worst = std::max(worst, std::fabs(Tape::saturateFast(s) / Tape::saturate(s) - 1.0));
    EXPECT_LT(worst, 1e-7);
    EXPECT_TRUE(std::isnan(Tape::saturateFast(kNaN)));
    for (double inf : {kInf, -kInf}) {
        EXPECT_EQ(Tape::saturate(inf), std::copysign(0.41, inf));
        EXPECT_EQ(Tape::saturateFast(inf), std::copysign(0.41, inf));
        EXPECT_EQ(Tape::integral(inf), 0.0);
    }

    // F' = f across the antiderivative table and past its end; F is even and 0 for NaN.
    for (double x : {0.001, 0.05, 0.41, 1.0, 2.5, 63.99, 64.0, 100.0, 1e4})
        EXPECT_NEAR((Tape::integral(x + 1e-5) - Tape::integral(x - 1e-5)) / 2e-5, Tape::saturate(x), 1e-7) << x;
    EXPECT_DOUBLE_EQ(Tape::integral(-3.7), Tape::integral(3.7));
    EXPECT_EQ(Tape::integral(kNaN), 0.0);

    // Half-band taps: 0.5 at the centre, zero at even distances, DC at unit gain
    // through the interpolating branch, Kaiser-windowed at the edge.
    const auto& taps = Tape::halfband();
    double evenSum = 0.0;
    for (std::size_t i = 0; i < 63; i += 2)
        evenSum += taps[i];
    EXPECT_NEAR(2.0 * evenSum, 1.0, 1e-4);
    EXPECT_EQ(taps[31], 0.5);
    EXPECT_NEAR(std::fabs(taps[29]) + std::fabs(taps[33]), 0.0, 1e-15);
    EXPECT_NEAR(taps[0], std::sin(kPi * -31 / 2.0) / (kPi * -31) / 427.56411572180474, 1e-18);
    EXPECT_EQ(taps[0], taps[62]);
}

TEST(TapeDesign, SectionsReachTheirGainsAndStayBelowNyquist)
{
    Curves c(48000.0);
    // Peaks at their centres; shelves flat at DC, full gain at Nyquist and half
    // (in dB) at the corner; the high-pass passes the midband with Q at its corner.
    const struct {
        const Biquad& section;
        double freq, db, tolerance;
    } cases[] = {
        {c.pre[0], 2160.1962, -4.163867, 1e-6},      {c.post[1], 36.1782, 0.874088, 1e-6},
        {c.post[2], 68.735, -2.345599, 1e-6},        {c.post[3], 2148.3941, 5.85763, 1e-6},
        {c.pre[1], 0.0, 0.0, 1e-9},                  {c.pre[1], 24000.0, 8.282617, 0.05},
        {c.pre[1], 8017.1193, 8.282617 / 2.0, 1e-6}, {c.post[4], 4085.476, -5.949434 / 2.0, 1e-6},
        {c.post[0], 1000.0, 0.0, 1e-2},              {c.post[0], 24.6164, 20.0 * std::log10(0.906503), 1e-5},
    };
    for (const auto& k : cases)
        EXPECT_NEAR(magnitudeDb(k.section, k.freq), k.db, k.tolerance) << k.freq;
    EXPECT_LT(magnitudeDb(c.post[0], 0.0), -240.0);

    // At 11025 Hz the 8 kHz shelf is designed at 0.49 of the rate: finite and stable.
    for (const Biquad& b : Curves(11025.0).pre)
        EXPECT_TRUE(std::isfinite(b.b0 + b.b1 + b.b2 + b.a1) && std::fabs(b.a2) < 1.0);
}

// A small signal barely touches the saturator: the stage is then the seven
// sections alone at unit slope (the make-up division undoing any drive),
// delayed by exactly 31 samples when oversampled.
TEST(TapeStage, SmallSignalIsTheSevenSectionsDelayedByTheLatency)
{
    const auto in = sine(997.0, 1e-4, 4000);
    Curves c(48000.0);
    std::vector<double> linear;
    for (double x : in) {
        double y = c.pre[1].tick(c.pre[0].tick(x));
        for (Biquad& b : c.post)
            y = b.tick(y);
        linear.push_back(y);
    }
    for (int mode : {Tape::kDirect, Tape::kOversampled}) {
        for (double drive : {1.0, 7.94}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " drive " << drive);
            Tape t = makeTape(mode, drive);
            const auto out = run(t, in);
            const int latency = mode == Tape::kOversampled ? 31 : 0;
            EXPECT_EQ(t.latency(), latency);
            auto errorAtLag = [&](int lag) {
                double e = 0.0;
                for (std::size_t i = 1000; i < in.size(); ++i)
                    e = std::max(e, std::fabs(out[i] - linear[i - static_cast<std::size_t>(lag)]));
                return e;
            };
            EXPECT_LT(errorAtLag(latency), 1e-8);
            for (int lag : {latency - 1, latency + 1}) {
                if (lag >= 0) {
                    EXPECT_GT(errorAtLag(lag), 1e-6) << lag;
                }
            }
        }
    }
    EXPECT_EQ(makeTape(Tape::kAntiderivative, 1.0).latency(), 0);
}

// At +18 dB the saturator holds the driven peaks near 0.41, so the output cannot
// exceed 0.41 times the de-emphasis gain (the sum of |h|) over the drive.
TEST(TapeStage, FullDriveStaysFiniteAndBoundedAtEveryRate)
{
    for (double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        Curves c(rate);
        double gainSum = 0.0;
        for (int n = 0; n < static_cast<int>(rate); ++n) {
            double h = n == 0 ? 1.0 : 0.0;
            for (Biquad& b : c.post)
                h = b.tick(h);
            gainSum += std::fabs(h);
        }
        for (int mode : kModes) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, mode " << mode);
            Tape t = makeTape(mode, 7.94, rate);
            std::mt19937 rng(3);
            std::uniform_real_distribution<double> noise(-1.0, 1.0);
            double peak = 0.0, driven = 0.0, energy = 0.0;
            const int n = static_cast<int>(rate / 4);
            for (int i = 0; i < n; ++i) {
                const double y = t.tick(noise(rng) + std::sin(2.0 * kPi * 100.0 * i / rate));
                ASSERT_TRUE(std::isfinite(y));
                peak = std::max(peak, std::fabs(y));
                driven = std::max(driven, std::fabs(t.lastDriven()));
                energy += y * y;
            }
            EXPECT_LE(peak, 0.41 * gainSum / 7.94);
            EXPECT_GT(driven, 5.0); // well into the saturator's flat region
            EXPECT_GT(energy / n, 1e-4);
        }
    }
}

TEST(TapeStage, RepeatedNonFiniteSamplesAndUnusableRates)
{
    // Mode 1: equal successive driven samples take the midpoint, not 0/0.
    Tape held = makeTape(Tape::kAntiderivative, 7.94);
    for (int i = 0; i < 20000; ++i) {
        const double y = held.tick(i < 100 ? 0.0 : 0.5);
        ASSERT_TRUE(i < 100 ? y == 0.0 : std::isfinite(y)) << i;
    }
    // Non-finite or huge inputs neither escape nor poison the stage.
    const auto in = sine(440.0, 0.5, 3000);
    for (int mode : kModes) {
        for (double bad : {kNaN, kInf, -kInf, 1e308}) {
            Tape t = makeTape(mode, 2.0);
            double energyAfter = 0.0;
            for (std::size_t i = 0; i < in.size(); ++i) {
                const double y = t.tick(i == 100 ? bad : in[i]);
                ASSERT_TRUE(std::isfinite(y) && std::isfinite(t.lastDriven())) << mode << " " << bad << " " << i;
                energyAfter += i > 1000 ? y * y : 0.0;
            }
            EXPECT_GT(energyAfter, 1.0) << mode << " " << bad;
        }
    }
    // A rate that is not usable means 48 kHz.
    Tape ref = makeTape(Tape::kOversampled, 2.0);
    const auto expected = run(ref, in);
    for (double rate : {0.0, -44100.0, kNaN, kInf}) {
        Tape t = makeTape(Tape::kOversampled, 2.0, rate);
        EXPECT_EQ(run(t, in), expected) << rate;
    }
}

// The glide itself is checked against the reference below.
TEST(TapeStage, DriveJumpsAfterClearAndIgnoresUnusableGains)
{
    Tape t = makeTape(Tape::kDirect, 1.0);
    t.setDrive(4.0);
    EXPECT_EQ(t.driveCurrent(), 1.0); // glides
    t.clear();
    EXPECT_TRUE(t.first());
    t.setDrive(2.0);
    EXPECT_EQ(t.driveCurrent(), 2.0); // jumps
    // lastDriven (the meter's source) follows pre-emphasis and drive; from
    // cleared states each section gives b0 times its input.
    t.tick(1e-3);
    Curves c(48000.0);
    EXPECT_DOUBLE_EQ(t.lastDriven(), c.pre[1].b0 * (c.pre[0].b0 * 1e-3) * 2.0);
    // Gains that would break the make-up division are ignored.
    t.setDrive(0.0);
    t.setDrive(kNaN);
    t.jumpDrive(-1.0);
    EXPECT_EQ(t.driveTarget(), 2.0);
    EXPECT_EQ(t.driveCurrent(), 2.0);
    // prepare keeps mode and drive, and raises first.
    t.setMode(Tape::kAntiderivative);
    t.prepare(96000.0);
    EXPECT_EQ(t.mode(), Tape::kAntiderivative);
    EXPECT_EQ(t.driveCurrent(), 2.0);
    EXPECT_TRUE(t.first());
}

// The optimised stage (tabled saturator, contiguous filter windows) against the
// textbook loops, with a drive glide and loud, mostly saturated input.
TEST(TapeFastPath, StageMatchesPlainReference)
{
    for (double rate : {44100.0, 96000.0}) {
        for (int mode : kModes) {
            for (double drive : {1.0, 7.94}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, mode " << mode << ", drive " << drive);
                Tape t = makeTape(mode, drive, rate);
                tapetest::ReferenceTape ref;
                ref.prepare(rate, mode, drive);
                t.setDrive(drive * 0.5);
                ref.setDriveTarget(drive * 0.5);
                std::mt19937 rng(5);
                std::uniform_real_distribution<double> noise(-1.0, 1.0);
                std::vector<double> a, b;
                double peak = 0.0;
                for (int i = 0; i < 20000; ++i) {
                    const double x = 0.7 * noise(rng) + 0.6 * std::sin(2.0 * kPi * 80.0 * i / rate);
                    a.push_back(t.tick(x));
                    b.push_back(ref.tick(x));
                    peak = std::max(peak, std::fabs(b.back()));
                }
                ASSERT_GT(peak, 0.01);
                for (std::size_t i = 0; i < a.size(); ++i)
                    ASSERT_LE(std::fabs(a[i] - b[i]), 1e-6 * std::fabs(b[i]) + 1e-7 * peak) << i;
            }
        }
    }
}
