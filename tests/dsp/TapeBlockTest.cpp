// Block and paired processing of the tape stage against tick by tick.

#include "dsp/Tape.h"

#include "dsp/TapeReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

using ostratapedelay::dsp::Tape;

namespace {

constexpr double kPi = std::numbers::pi;

Tape makeTape(int mode, double drive, double rate = 48000.0)
{
    Tape t;
    t.setMode(mode);
    t.prepare(rate);
    t.setDrive(drive);
    return t;
}

// Loud noise on a low sine: the saturator works hard and the drive glides.
std::vector<double> loud(int n, unsigned seed, double rate = 48000.0)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<double> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = 0.7 * noise(rng) + 0.6 * std::sin(2.0 * kPi * 80.0 * i / rate);
    return v;
}

struct Rendered {
    std::vector<double> out;
    std::vector<double> driven;
};

Rendered byTick(Tape& t, const std::vector<double>& in)
{
    Rendered r;
    for (double x : in) {
        r.out.push_back(t.tick(x));
        r.driven.push_back(t.lastDriven());
    }
    return r;
}

// Blocks of the given lengths in turn, until the input is used up.
Rendered byBlocks(Tape& t, const std::vector<double>& in, const std::vector<int>& lengths)
{
    Rendered r;
    r.out.resize(in.size());
    r.driven.resize(in.size());
    std::size_t pos = 0;
    for (std::size_t b = 0; pos < in.size(); ++b) {
        const int n = std::min<int>(lengths[b % lengths.size()], static_cast<int>(in.size() - pos));
        t.process(in.data() + pos, r.out.data() + pos, n, r.driven.data() + pos);
        pos += static_cast<std::size_t>(n);
    }
    return r;
}

} // namespace

TEST(TapeBlock, HalfbandTapsAreExactlySymmetric)
{
    // The oversampled sums fold each tap pair into one multiplication.
    const auto& taps = Tape::halfband();
    for (std::size_t i = 0; i < taps.size(); ++i)
        ASSERT_EQ(taps[i], taps[taps.size() - 1 - i]) << i;
}

TEST(TapeBlock, BlocksGiveTheSameBitsAsTicksInEveryMode)
{
    const auto in = loud(5000, 3);
    for (int mode : {Tape::kDirect, Tape::kAntiderivative, Tape::kOversampled}) {
        for (const std::vector<int>& lengths : {std::vector<int>{512}, {1, 63, 64, 65, 7, 200}, {4999}}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", first block " << lengths[0]);
            Tape a = makeTape(mode, 5.0);
            Tape b = makeTape(mode, 5.0);
            a.setDrive(1.5); // glide from 5 to 1.5 during the run
            b.setDrive(1.5);
            const Rendered ticked = byTick(a, in);
            const Rendered blocked = byBlocks(b, in, lengths);
            ASSERT_EQ(blocked.out, ticked.out);
            ASSERT_EQ(blocked.driven, ticked.driven);
            EXPECT_EQ(b.lastDriven(), a.lastDriven());
            EXPECT_EQ(b.driveCurrent(), a.driveCurrent());
        }
    }
}

TEST(TapeBlock, TicksAndBlocksInterleaveWithoutLosingState)
{
    // A block leaves the histories rotated; ticks after it, and blocks after
    // ticks, must continue the same signal.
    const auto in = loud(3000, 4);
    Tape a = makeTape(Tape::kOversampled, 3.0);
    Tape b = makeTape(Tape::kOversampled, 3.0);
    const Rendered expected = byTick(a, in);
    std::vector<double> out(in.size());
    std::size_t pos = 0;
    for (int round = 0; pos < in.size(); ++round) {
        const std::size_t n = std::min<std::size_t>(round % 2 == 0 ? 97 : 13, in.size() - pos);
        if (round % 2 == 0) {
            b.process(in.data() + pos, out.data() + pos, static_cast<int>(n));
        } else {
            for (std::size_t i = 0; i < n; ++i)
                out[pos + i] = b.tick(in[pos + i]);
        }
        pos += n;
    }
    EXPECT_EQ(out, expected.out);
}

TEST(TapeBlock, PairGivesWhatTwoSingleStagesGive)
{
    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        const auto inL = loud(4000, 5, rate);
        const auto inR = loud(4000, 6, rate);
        Tape l1 = makeTape(Tape::kOversampled, 7.94, rate);
        Tape r1 = makeTape(Tape::kOversampled, 2.0, rate); // different drives per channel
        Tape l2 = l1;
        Tape r2 = r1;
        l1.setDrive(1.0);
        l2.setDrive(1.0);
        const Rendered left = byTick(l1, inL);
        const Rendered right = byTick(r1, inR);

        std::vector<double> outL(inL.size()), outR(inR.size()), drivenL(inL.size()), drivenR(inR.size());
        for (std::size_t pos = 0; pos < inL.size(); pos += 300) {
            const int n = static_cast<int>(std::min<std::size_t>(300, inL.size() - pos));
            Tape::processPair(l2, r2, inL.data() + pos, inR.data() + pos, outL.data() + pos, outR.data() + pos, n,
                              drivenL.data() + pos, drivenR.data() + pos);
        }
        EXPECT_EQ(outL, left.out);
        EXPECT_EQ(outR, right.out);
        EXPECT_EQ(drivenL, left.driven);
        EXPECT_EQ(drivenR, right.driven);
        EXPECT_EQ(r2.driveCurrent(), r1.driveCurrent());
    }
}

TEST(TapeBlock, NonFiniteAndHugeSamplesTakeTheTickPathAndTheFastPathResumes)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    auto in = loud(2048, 7);
    in[100] = kNaN;
    in[700] = kInf;
    in[701] = 1e300;  // finite, but overflows after the pre-emphasis and drive
    in[1300] = -1e200;
    Tape a = makeTape(Tape::kOversampled, 7.94);
    Tape b = makeTape(Tape::kOversampled, 7.94);
    Tape c = makeTape(Tape::kOversampled, 7.94);
    Tape d = makeTape(Tape::kOversampled, 7.94);
    const Rendered expected = byTick(a, in);
    const Rendered blocked = byBlocks(b, in, {256});
    EXPECT_EQ(blocked.out, expected.out);
    EXPECT_EQ(blocked.driven, expected.driven);

    // In a pair, one bad channel sends both through their own paths; each
    // still gets exactly its own result.
    const auto clean = loud(2048, 8);
    const Rendered cleanExpected = byTick(c, clean);
    Tape e = makeTape(Tape::kOversampled, 7.94);
    std::vector<double> outL(in.size()), outR(in.size());
    for (std::size_t pos = 0; pos < in.size(); pos += 256)
        Tape::processPair(d, e, in.data() + pos, clean.data() + pos, outL.data() + pos, outR.data() + pos, 256);
    EXPECT_EQ(outL, expected.out);
    EXPECT_EQ(outR, cleanExpected.out);
}

TEST(TapeBlock, BlocksStayWithinOneMillionthOfThePlainReference)
{
    const double rate = 48000.0;
    const auto in = loud(20000, 9, rate);
    Tape t = makeTape(Tape::kOversampled, 7.94, rate);
    tapetest::ReferenceTape ref;
    ref.prepare(rate, Tape::kOversampled, 7.94);
    t.setDrive(7.94 * 0.5);
    ref.setDriveTarget(7.94 * 0.5);
    std::vector<double> out(in.size());
    for (std::size_t pos = 0; pos < in.size(); pos += 512)
        t.process(in.data() + pos, out.data() + pos, static_cast<int>(std::min<std::size_t>(512, in.size() - pos)));
    double peak = 0.0;
    std::vector<double> expected;
    for (double x : in) {
        expected.push_back(ref.tick(x));
        peak = std::max(peak, std::fabs(expected.back()));
    }
    ASSERT_GT(peak, 0.01);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_LE(std::fabs(out[i] - expected[i]), 1e-6 * std::fabs(expected[i]) + 1e-7 * peak) << i;
}
