#include "dsp/Tape.h"

#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

namespace ostratapedelay::dsp {

namespace {

constexpr double kCeiling = 0.41;
constexpr double kKnee = 3.1;
constexpr double kInverseKnee = 0.3225806451612903; // 1 / 3.1

// Slope of F far out, where f has settled just below the ceiling.
constexpr double kTailSlope = 0.40999997901571605;
constexpr double kTableEnd = 64.0;

// Beyond this |x|/0.41 the saturator equals the ceiling to double precision;
// capping here also keeps infinities and overflow of the power from giving 0/inf.
constexpr double kSaturated = 1.0e6;

// Table of h(a) = f(x)/x over a = |x|/0.41 in [0, 64], 32 steps per unit,
// each entry the value and the slope times the step (for cubic Hermite).
constexpr int kShapeResolution = 32;
constexpr double kShapeEnd = 64.0;
constexpr int kShapeEntries = static_cast<int>(kShapeEnd) * kShapeResolution + 2;

struct SharedTables {
    std::array<double, Tape::kTableSize> antiderivative{};
    std::array<double, Tape::kHalfbandTaps> halfband{};
    std::array<double, 2 * kShapeEntries> shape{};
    // The 32 taps at odd distance from the centre, newest-last order.
    alignas(16) std::array<double, 32> evenTaps{};
};

// Modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double z)
{
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 40; ++k) {
        const double factor = z / (2.0 * k);
        term *= factor * factor;
        sum += term;
    }
    return sum;
}

// Built on the heap: the tables are too large for the stack of whatever thread
// happens to ask first.
const SharedTables* buildTables()
{
    auto owned = std::make_unique<SharedTables>();
    SharedTables& t = *owned;

    // Simpson's rule on eight sub-intervals per table step.
    t.antiderivative[0] = 0.0;
    constexpr double step = 1.0 / Tape::kTableResolution;
    constexpr double sub = step / 8.0;
    for (int i = 0; i + 1 < Tape::kTableSize; ++i) {
        double area = 0.0;
        for (int s = 0; s < 8; ++s) {
            const double a = i * step + s * sub;
            area += (Tape::saturate(a) + 4.0 * Tape::saturate(a + sub / 2.0) + Tape::saturate(a + sub)) / 12288.0;
        }
        t.antiderivative[static_cast<std::size_t>(i) + 1] = t.antiderivative[static_cast<std::size_t>(i)] + area;
    }

    // Kaiser-windowed (beta 8) half-band low-pass, 63 taps.
    constexpr int half = (Tape::kHalfbandTaps - 1) / 2;
    for (int n = -half; n <= half; ++n) {
        const double ideal = n == 0 ? 0.5 : std::sin(std::numbers::pi * n / 2.0) / (std::numbers::pi * n);
        const double r = static_cast<double>(n) / half;
        const double window = besselI0(8.0 * std::sqrt(1.0 - r * r)) / 427.56411572180474;
        t.halfband[static_cast<std::size_t>(n + half)] = ideal * window;
    }
    // Entry q multiplies the sample 31 - q steps back.
    for (std::size_t q = 0; q < 32; ++q)
        t.evenTaps[q] = t.halfband[2 * (31 - q)];

    for (int i = 0; i < kShapeEntries; ++i) {
        const double a = static_cast<double>(i) / kShapeResolution;
        const double p = std::pow(a, kKnee);
        const double h = std::pow(1.0 + p, -kInverseKnee);
        const double slope = -std::pow(a, kKnee - 1.0) * h / (1.0 + p);
        t.shape[static_cast<std::size_t>(2 * i)] = h;
        t.shape[static_cast<std::size_t>(2 * i + 1)] = slope / kShapeResolution;
    }
    return owned.release(); // kept for the life of the process
}

const SharedTables& sharedTables()
{
    // Function-local static: built once, thread-safe, read-only afterwards.
    static const SharedTables* const tables = buildTables();
    return *tables;
}

// f(x) from the shape table; exact formula past its end (and for NaN).
inline double shapeAt(const double* shape, double x) noexcept
{
    const double a = std::fabs(x) * (1.0 / kCeiling);
    if (!(a < kShapeEnd))
        return Tape::saturate(x);
    const double u = a * kShapeResolution;
    const int i = static_cast<int>(u);
    const double t = u - i;
    const double* e = shape + 2 * i;
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double h = (2.0 * t3 - 3.0 * t2 + 1.0) * e[0] + (t3 - 2.0 * t2 + t) * e[1] + (3.0 * t2 - 2.0 * t3) * e[2]
                     + (t3 - t2) * e[3];
    return x * h;
}

// Eight partial sums keep the additions short and independent (the two sums
// of a sample are on its critical path). With GCC or Clang they are written
// as two-lane vectors so they use packed arithmetic at any optimisation
// level; the portable loop gives bit-identical results.
#if defined(__GNUC__)
using Lanes = double __attribute__((vector_size(16)));

inline Lanes loadLanes(const double* p) noexcept
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline double dot32(const double* c, const double* x) noexcept
{
    Lanes s0{}, s1{}, s2{}, s3{}; // s_k holds the sums for q % 8 == 2k, 2k + 1
    for (int q = 0; q < 32; q += 8) {
        s0 += loadLanes(c + q) * loadLanes(x + q);
        s1 += loadLanes(c + q + 2) * loadLanes(x + q + 2);
        s2 += loadLanes(c + q + 4) * loadLanes(x + q + 4);
        s3 += loadLanes(c + q + 6) * loadLanes(x + q + 6);
    }
    const Lanes s = (s0 + s1) + (s2 + s3);
    return s[0] + s[1];
}
#else
inline double dot32(const double* c, const double* x) noexcept
{
    double s[8] = {};
    for (int q = 0; q < 32; q += 8)
        for (int k = 0; k < 8; ++k)
            s[k] += c[q + k] * x[q + k];
    return (((s[0] + s[2]) + (s[4] + s[6])) + ((s[1] + s[3]) + (s[5] + s[7])));
}
#endif

} // namespace

void Tape::design(std::span<const TapeSection> sections, std::span<Biquad> biquads, double rate) noexcept
{
    rate = corvana::dsp::usableRate(rate);
    const std::size_t count = std::min(sections.size(), biquads.size());
    for (std::size_t i = 0; i < count; ++i) {
        const TapeSection& s = sections[i];
        const double f = std::min(0.49 * rate, s.frequency);
        const double w = 2.0 * std::numbers::pi * f / rate;
        const double cw = std::cos(w);
        const double alpha = std::sin(w) / (2.0 * s.q);
        const double A = std::pow(10.0, s.gain / 40.0);
        Biquad& b = biquads[i];
        switch (s.type) {
        case 0:
            b.setCoefficients((1.0 + cw) / 2.0, -(1.0 + cw), (1.0 + cw) / 2.0, 1.0 + alpha, -2.0 * cw, 1.0 - alpha);
            break;
        case 1:
            b.setCoefficients(1.0 + alpha * A, -2.0 * cw, 1.0 - alpha * A, 1.0 + alpha / A, -2.0 * cw, 1.0 - alpha / A);
            break;
        case 2: {
            const double sa = 2.0 * std::sqrt(A) * alpha;
            b.setCoefficients(A * ((A + 1.0) + (A - 1.0) * cw + sa), -2.0 * A * ((A - 1.0) + (A + 1.0) * cw),
                              A * ((A + 1.0) + (A - 1.0) * cw - sa), (A + 1.0) - (A - 1.0) * cw + sa,
                              2.0 * ((A - 1.0) - (A + 1.0) * cw), (A + 1.0) - (A - 1.0) * cw - sa);
            break;
        }
        default:
            break;
        }
    }
}

double Tape::saturate(double x) noexcept
{
    const double a = std::fabs(x) / kCeiling;
    if (!(a < kSaturated))
        return std::isnan(x) ? x : std::copysign(kCeiling, x);
    return x / std::pow(1.0 + std::pow(a, kKnee), kInverseKnee);
}

double Tape::saturateFast(double x) noexcept { return shapeAt(sharedTables().shape.data(), x); }

namespace {

// F(x) by cubic Hermite interpolation of the antiderivative table, the end
// slopes taken from `f`.
template <typename Saturator>
double interpolateIntegral(const double* table, double x, Saturator f) noexcept
{
    if (!std::isfinite(x))
        return 0.0;
    const double a = std::fabs(x);
    if (a >= kTableEnd)
        return (a - kTableEnd) * kTailSlope + table[16384];
    const double u = a * Tape::kTableResolution;
    const double fi = std::floor(u);
    const auto i = static_cast<std::size_t>(fi);
    const double t = u - fi;
    const double x0 = fi / Tape::kTableResolution;
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double m0 = f(x0) / Tape::kTableResolution;
    const double m1 = f(x0 + 1.0 / Tape::kTableResolution) / Tape::kTableResolution;
    return (2.0 * t3 - 3.0 * t2 + 1.0) * table[i] + (t3 - 2.0 * t2 + t) * m0 + (3.0 * t2 - 2.0 * t3) * table[i + 1]
           + (t3 - t2) * m1;
}

} // namespace

double Tape::integral(double x) noexcept
{
    return interpolateIntegral(sharedTables().antiderivative.data(), x, [](double v) { return saturate(v); });
}

const std::array<double, Tape::kTableSize>& Tape::antiderivativeTable() { return sharedTables().antiderivative; }

const std::array<double, Tape::kHalfbandTaps>& Tape::halfband() { return sharedTables().halfband; }

void Tape::prepare(double sampleRate)
{
    const double rate = corvana::dsp::usableRate(sampleRate);
    design(kBeforeCurve, pre_, rate);
    design(kAfterCurve, post_, rate);
    smooth_ = corvana::dsp::onePoleCoefficient(0.02, rate);
    const SharedTables& tables = sharedTables();
    shape_ = tables.shape.data();
    taps_ = tables.evenTaps.data();
    centreTap_ = tables.halfband[31];
    antiderivative_ = tables.antiderivative.data();
    clear();
}

void Tape::clear() noexcept
{
    clearStates();
    first_ = true;
}

void Tape::clearStates() noexcept
{
    for (Biquad& b : pre_)
        b.clear();
    for (Biquad& b : post_)
        b.clear();
    clearSaturator();
    lastDriven_ = 0.0;
}

void Tape::clearSaturator() noexcept
{
    previous_ = 0.0;
    previousIntegral_ = 0.0;
    inHistory_.fill(0.0);
    upHistory_.fill(0.0);
    directHistory_.fill(0.0);
    inIndex_ = 0;
    outIndex_ = 0;
}

void Tape::setMode(int newMode) noexcept
{
    if (newMode != mode_) {
        mode_ = newMode;
        clearSaturator();
    }
}

namespace {
bool usableDrive(double g) noexcept { return std::isfinite(g) && g > 0.0; }
} // namespace

void Tape::setDrive(double linearGain) noexcept
{
    // A zero, negative or non-finite drive would break the make-up division.
    if (!usableDrive(linearGain))
        return;
    driveTarget_ = linearGain;
    if (first_) {
        driveCurrent_ = linearGain;
        first_ = false;
    }
}

void Tape::jumpDrive(double linearGain) noexcept
{
    if (!usableDrive(linearGain))
        return;
    driveTarget_ = driveCurrent_ = linearGain;
    first_ = false;
}

double Tape::twice(double v) noexcept
{
    // Zero-stuffed upsampling by two, the saturator at the doubled rate, and
    // half-band decimation; only the taps at odd distance from the centre are
    // non-zero, so each branch is one 32-term sum. Filter delay 15.5 + 15.5.
    const auto n = static_cast<std::size_t>(inIndex_);
    inHistory_[n] = v;
    inHistory_[n + 32] = v;
    const double* window = inHistory_.data() + n + 1; // oldest .. newest
    const double interpolated = 2.0 * dot32(taps_, window);
    const double direct = window[31 - 15];
    inIndex_ = (inIndex_ + 1) & 31;

    const auto m = static_cast<std::size_t>(outIndex_);
    const double up = shapeAt(shape_, interpolated);
    upHistory_[m] = up;
    upHistory_[m + 32] = up;
    // The centre tap meets the original-rate sample from 16 steps back.
    const double out = dot32(taps_, upHistory_.data() + m + 1) + centreTap_ * directHistory_[(m + 16) & 31];
    directHistory_[m] = shapeAt(shape_, direct);
    outIndex_ = (outIndex_ + 1) & 31;
    return out;
}

double Tape::tick(double x) noexcept
{
    if (shape_ == nullptr) { // ticked before prepare (normally prepare has fetched the tables)
        const SharedTables& tables = sharedTables();
        shape_ = tables.shape.data();
        taps_ = tables.evenTaps.data();
        centreTap_ = tables.halfband[31];
        antiderivative_ = tables.antiderivative.data();
    }
    // A non-finite input would stay in the filter states for good.
    if (!std::isfinite(x))
        x = 0.0;

    driveCurrent_ += (driveTarget_ - driveCurrent_) * smooth_;
    const double v = pre_[1].tick(pre_[0].tick(x)) * driveCurrent_;
    if (!std::isfinite(v)) {
        // Only an input near the limit of the double range gets here; start afresh.
        clearStates();
        return 0.0;
    }
    lastDriven_ = v;

    double y;
    if (mode_ == kDirect) {
        y = shapeAt(shape_, v);
    } else if (mode_ == kAntiderivative) {
        // F(previous) is kept from the last sample; the slopes come from the
        // tabled saturator.
        const double* shape = shape_;
        const double current = interpolateIntegral(antiderivative_, v, [shape](double s) { return shapeAt(shape, s); });
        const double d = v - previous_;
        if (std::fabs(d) > 1e-6)
            y = (current - previousIntegral_) / d;
        else
            y = shapeAt(shape_, (v + previous_) / 2.0);
        previous_ = v;
        previousIntegral_ = current;
    } else {
        y = twice(v);
    }

    for (Biquad& b : post_)
        y = b.tick(y);
    y /= driveCurrent_;

    if (!std::isfinite(y)) {
        clearStates();
        return 0.0;
    }
    return y;
}

} // namespace ostratapedelay::dsp
