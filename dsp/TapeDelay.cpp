#include "dsp/TapeDelay.h"

#include "dsp/Dispatch.h"
#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostratapedelay::dsp {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSqrt2 = std::numbers::sqrt2;

// Peak pitch deviation of a wobble of 1: 1.1 cents, as a ratio minus one.
constexpr double kCentsRatio = 0.0006355868152678745;
constexpr double kTimeWobbleHz = 19.0;
constexpr double kLevelWobbleHz = 18.88;
// Level wobble of +-0.52 dB per unit of depth.
constexpr double kLevelWobbleDb = 0.52;
constexpr double kLevelWobbleNepers = kLevelWobbleDb / 20.0 * std::numbers::ln10;

// Q-derived divisors of the two sections of a fourth-order Butterworth low-pass.
constexpr double kButterworth4A = 1.082392200292394;
constexpr double kButterworth4B = 2.613125929752753;

constexpr double kMaxFeedback = 0.95;

// exp(x) for the level wobble, |x| <= 0.12: the Taylor series to x^10 is
// within 1e-17 relative there; larger arguments take std::exp.
double expSmall(double x) noexcept
{
    if (!(std::fabs(x) <= 0.125))
        return std::exp(x);
    // Evaluated pairwise (Estrin): four short chains instead of one of ten.
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double p01 = 1.0 + x;
    const double p23 = 1.0 / 2.0 + x * (1.0 / 6.0);
    const double p45 = 1.0 / 24.0 + x * (1.0 / 120.0);
    const double p67 = 1.0 / 720.0 + x * (1.0 / 5040.0);
    const double p810 = (1.0 / 40320.0 + x * (1.0 / 362880.0)) + x2 * (1.0 / 3628800.0);
    return (p01 + x2 * p23) + x4 * ((p45 + x2 * p67) + x4 * p810);
}

bool sameSetting(double a, double b) noexcept
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// A value fit for a delay time, a feedback amount or a wobble depth: NaN counts as 0.
double orZero(double v) noexcept
{
    return std::isnan(v) ? 0.0 : v;
}

void firstOrderLowPass(Biquad& q, double k) noexcept
{
    q.b0 = k / (1.0 + k);
    q.b1 = q.b0;
    q.b2 = 0.0;
    q.a1 = (k - 1.0) / (1.0 + k);
    q.a2 = 0.0;
}

void secondOrderLowPass(Biquad& q, double cosW, double alpha) noexcept
{
    const double n = 1.0 + alpha;
    q.b0 = (1.0 - cosW) / 2.0 / n;
    q.b1 = (1.0 - cosW) / n;
    q.b2 = q.b0;
    q.a1 = -2.0 * cosW / n;
    q.a2 = (1.0 - alpha) / n;
}

void secondOrderHighPass(Biquad& q, double cosW, double alpha) noexcept
{
    const double n = 1.0 + alpha;
    q.b0 = (1.0 + cosW) / 2.0 / n;
    q.b1 = -(1.0 + cosW) / n;
    q.b2 = q.b0;
    q.a1 = -2.0 * cosW / n;
    q.a2 = (1.0 - alpha) / n;
}

} // namespace

// ---------------------------------------------------------------- Line

void TapeDelay::Line::designCuts(double lowCutHz, double highCutHz, Slope slope, double bandwidthHz,
                                 double rate) noexcept
{
    bandwidthOn = bandwidthHz > 0.0;
    if (bandwidthOn) {
        // Bilinear one-pole whose corner sits at `bandwidthHz` when prewarped at fc.
        const double fc = std::min(0.2 * rate, 8000.0);
        const double k = bandwidthHz * std::tan(std::numbers::pi * fc / rate) / fc;
        firstOrderLowPass(bandwidth, k);
    }

    lowCutOn = lowCutHz > 20.0;
    if (lowCutOn) {
        const double f = std::min(0.49 * rate, lowCutHz);
        const double w = kTwoPi * f / rate;
        secondOrderHighPass(lowCut, std::cos(w), std::sin(w) / kSqrt2);
    }

    highCutSections = 0;
    if (highCutHz > 0.0 && highCutHz < 19900.0) {
        const double f = std::min(0.49 * rate, highCutHz);
        const double w = kTwoPi * f / rate;
        if (slope == kSlope6dB) {
            firstOrderLowPass(highCut1, std::tan(std::numbers::pi * f / rate));
            highCutSections = 1;
        } else if (slope == kSlope12dB) {
            secondOrderLowPass(highCut1, std::cos(w), std::sin(w) / kSqrt2);
            highCutSections = 1;
        } else {
            secondOrderLowPass(highCut1, std::cos(w), std::sin(w) / kButterworth4A);
            secondOrderLowPass(highCut2, std::cos(w), std::sin(w) / kButterworth4B);
            highCutSections = 2;
        }
    }
}

double TapeDelay::Line::cut(double x) noexcept
{
    if (lowCutOn)
        x = lowCut.tick(x);
    if (highCutSections >= 1)
        x = highCut1.tick(x);
    if (highCutSections == 2)
        x = highCut2.tick(x);
    if (bandwidthOn)
        x = bandwidth.tick(x);
    return x;
}

double TapeDelay::Line::read(double offset) noexcept
{
    delayCurrent += (delayTarget - delayCurrent) * glide;

    const double p = static_cast<double>(writeIndex) - (delayCurrent + offset);
    if (!std::isfinite(p))
        return 0.0;
    const double fl = std::floor(p);
    const double t = p - fl;
    const auto i = static_cast<std::int64_t>(fl);

    // Valid positions k satisfy oldest <= k < writeIndex (unwrapped).
    const auto head = static_cast<std::int64_t>(writeIndex);
    const std::int64_t oldest = head - static_cast<std::int64_t>(filled);
    const auto size = static_cast<std::int64_t>(buffer.size());
    const float* ring = buffer.data();

    double y[4];
    if (i - 1 >= oldest && i + 2 < head && i - 1 >= 0) {
        // Common case: all four inside the history and no wrap.
        const float* r = ring + (i - 1);
        y[0] = r[0];
        y[1] = r[1];
        y[2] = r[2];
        y[3] = r[3];
    } else {
        for (int j = 0; j < 4; ++j) {
            const std::int64_t k = i - 1 + j;
            if (k < head && k >= oldest) {
                const std::int64_t w = k < 0 ? k + size : k;
                y[j] = ring[w];
            } else {
                y[j] = 0.0;
            }
        }
    }

    const double c0 = y[1];
    const double c1 = (y[2] - y[0]) / 2.0;
    const double c2 = y[0] - 2.5 * y[1] + 2.0 * y[2] - y[3] / 2.0;
    const double c3 = 1.5 * (y[1] - y[2]) + (y[3] - y[0]) / 2.0;
    return ((c3 * t + c2) * t + c1) * t + c0;
}

void TapeDelay::Line::write(double value) noexcept
{
    // A finite double may still overflow the float ring; both become silence.
    const float v = static_cast<float>(value);
    buffer[writeIndex] = std::isfinite(v) ? v : 0.0f;
    if (++writeIndex >= buffer.size())
        writeIndex = 0;
    if (filled < buffer.size())
        ++filled;
}

void TapeDelay::Line::addInput(double value, std::uint32_t inputOffset) noexcept
{
    if (!std::isfinite(value))
        return;
    const auto size = static_cast<std::uint32_t>(buffer.size());
    // (writeIndex + size - back) mod size without dividing every sample.
    const std::uint32_t next = inputOffset + 1u;
    const std::uint32_t back = next < size ? next : next % size;
    const std::uint32_t slot = writeIndex >= back ? writeIndex - back : writeIndex + (size - back);
    const float sum = static_cast<float>(static_cast<double>(buffer[slot]) + value);
    if (std::isfinite(sum))
        buffer[slot] = sum;
}

void TapeDelay::Line::clear() noexcept
{
    filled = 0;
    lowCut.clear();
    highCut1.clear();
    highCut2.clear();
    bandwidth.clear();
}

// ---------------------------------------------------------------- TapeDelay

void TapeDelay::prepare(double sampleRate)
{
    // Beyond these limits the ring size overflows or the filter designs stop
    // being finite; such a rate is taken as the nearest limit.
    const double rate = std::clamp(corvana::dsp::usableRate(sampleRate), kMinSampleRate, kMaxSampleRate);
    const auto needed = static_cast<std::size_t>(std::ceil(std::max(192000.0, rate) * 6.05)) + 8;

    if (needed <= capacity_ && left_.buffer.size() == capacity_ && right_.buffer.size() == capacity_) {
        std::fill(left_.buffer.begin(), left_.buffer.end(), 0.0f);
        std::fill(right_.buffer.begin(), right_.buffer.end(), 0.0f);
    } else {
        // Allocate both before touching the lines, so a failure leaves them intact.
        std::vector<float> l(needed, 0.0f);
        std::vector<float> r(needed, 0.0f);
        left_.buffer.swap(l);
        right_.buffer.swap(r);
        capacity_ = needed;
    }
    left_.writeIndex = 0;
    right_.writeIndex = 0;
    rate_ = rate;

    smooth_ = corvana::dsp::onePoleCoefficient(0.02, rate);
    attack_ = corvana::dsp::onePoleCoefficient(0.002, rate);
    echoRelease_ = corvana::dsp::decayCoefficient(0.15, rate);
    inputRelease_ = corvana::dsp::decayCoefficient(3.0, rate);

    increment1_ = kTwoPi * kTimeWobbleHz / rate;
    increment2_ = kTwoPi * kLevelWobbleHz / rate;
    stepSin1_ = std::sin(increment1_);
    stepCos1_ = std::cos(increment1_);
    stepSin2_ = std::sin(increment2_);
    stepCos2_ = std::cos(increment2_);
    depthPerUnit_ = kCentsRatio * rate / (kTwoPi * kTimeWobbleHz);

    designedLowCut_ = -1.0;
    designedHighCut_ = -1.0;
    designedBandwidth_ = -1.0;
    cutsDesigned_ = false;

    clear();
}

void TapeDelay::clear() noexcept
{
    left_.clear();
    right_.clear();
    inputEnvelope_ = 0.0;
    echoEnvelope_ = 0.0;
    phase1_ = 0.0;
    phase2_ = 0.0;
    framesToAnchor_ = 0;
    first_ = true;
}

void TapeDelay::set(const Settings& s) noexcept
{
    pingPong_ = s.pingPong;
    feedbackTarget_ = std::clamp(orZero(s.feedback), 0.0, kMaxFeedback);

    character_ = s.character;
    if (!std::isfinite(character_.exponent) || !std::isfinite(character_.compression))
        character_ = kPlain;
    plain_ = character_.exponent == 1.0 && character_.compression == 0.0;
    levelExponent_ = feedbackTarget_ > 1e-6 ? std::log10(feedbackTarget_) * (-20.0 * character_.compression) / 10.0
                                            : 0.0;

    const double minDelay = std::max(0.001 * rate_, static_cast<double>(inputOffset) + 4.0);

    wobbleTarget_ = std::clamp(orZero(s.wobble), 0.0, 2.0);
    if (first_)
        wobbleCurrent_ = wobbleTarget_;

    auto applyTime = [&](Line& line, double seconds) {
        if (line.buffer.empty())
            return;
        const double maxDelay = std::min(kMaxDelaySeconds * rate_, static_cast<double>(line.buffer.size()) - 4.0);
        double d = orZero(seconds) * rate_;
        if (d < minDelay)
            d = minDelay;
        else
            d = std::min(d, maxDelay);
        if (d != line.delayTarget) {
            line.delayTarget = d;
            line.glide = 1.0 - std::exp(-1.0 / d);
        }
        if (first_)
            line.delayCurrent = d;
    };
    applyTime(left_, s.timeLeft);
    applyTime(right_, s.timeRight);

    if (!cutsDesigned_ || !sameSetting(s.lowCut, designedLowCut_) || !sameSetting(s.highCut, designedHighCut_)
        || s.slope != designedSlope_ || !sameSetting(s.bandwidth, designedBandwidth_)) {
        designedLowCut_ = s.lowCut;
        designedHighCut_ = s.highCut;
        designedSlope_ = s.slope;
        designedBandwidth_ = s.bandwidth;
        cutsDesigned_ = true;
        left_.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, rate_);
        right_.designCuts(s.lowCut, s.highCut, s.slope, s.bandwidth, rate_);
    }

    if (first_)
        feedbackCurrent_ = feedbackTarget_;
    first_ = false;
}

double TapeDelay::feedbackGain(double inLeft, double inRight, double yL, double yR) noexcept
{
    if (plain_)
        return feedbackCurrent_;

    // A non-finite input would stick in the follower forever and silence the
    // echoes, so it counts as silence here (it is never written either).
    const double a = std::isfinite(inLeft) ? std::abs(inLeft) : 0.0;
    const double b = std::isfinite(inRight) ? std::abs(inRight) : 0.0;
    const double in = std::max(a, b);
    if (in > inputEnvelope_)
        inputEnvelope_ += (in - inputEnvelope_) * attack_;
    else
        inputEnvelope_ *= inputRelease_;
    const double echo = std::max(std::abs(yL), std::abs(yR));
    if (echo > echoEnvelope_)
        echoEnvelope_ += (echo - echoEnvelope_) * attack_;
    else
        echoEnvelope_ *= echoRelease_;

    return gainFromEnvelopes();
}

double TapeDelay::gainFromEnvelopes() noexcept
{
    if (plain_)
        return feedbackCurrent_;
    if (feedbackCurrent_ <= 1e-9)
        return 0.0;
    // The smoothed amount settles to a fixed value; its power is reused until it moves.
    if (feedbackCurrent_ != poweredFor_ || character_.exponent != poweredExponent_) {
        poweredFor_ = feedbackCurrent_;
        poweredExponent_ = character_.exponent;
        powered_ = std::pow(feedbackCurrent_, character_.exponent);
    }
    const double g0 = powered_;
    if (inputEnvelope_ <= 1e-9)
        return g0;
    if (echoEnvelope_ >= inputEnvelope_)
        return g0 * inputEnvelope_ / echoEnvelope_;
    // ratio^E as exp(E ln ratio): two short library calls cost less than pow
    // here, within a few units in the last place of it. E = 0 would meet
    // ln 0 = -inf at an echo envelope of 0, where the power is 1.
    if (levelExponent_ == 0.0)
        return g0;
    return g0 * std::exp(levelExponent_ * std::log(echoEnvelope_ / inputEnvelope_));
}

void TapeDelay::advancePhases() noexcept
{
    phase1_ += increment1_;
    phase2_ += increment2_;
    if (phase1_ > kTwoPi)
        phase1_ -= kTwoPi;
    if (phase2_ > kTwoPi)
        phase2_ -= kTwoPi;
    // Only below 19 Hz can one step exceed a turn; keep the phase bounded there too.
    if (phase1_ > kTwoPi)
        phase1_ = std::fmod(phase1_, kTwoPi);
    if (phase2_ > kTwoPi)
        phase2_ = std::fmod(phase2_, kTwoPi);
}

void TapeDelay::anchorOscillators() noexcept
{
    sin1_ = std::sin(phase1_);
    cos1_ = std::cos(phase1_);
    sin2_ = std::sin(phase2_);
    cos2_ = std::cos(phase2_);
    framesToAnchor_ = kAnchorFrames;
}

// The per-frame helpers (read, cut, write, the feedback law) are inlined into
// tick: it runs every frame and the calls cost as much as some of them.
#if defined(__GNUC__)
[[gnu::flatten]]
#endif
CORVANA_DSP_CLONES void TapeDelay::tick(double inLeft, double inRight, double& outLeft, double& outRight) noexcept
{
    if (left_.buffer.empty() || right_.buffer.empty()) {
        outLeft = outRight = 0.0;
        return;
    }

    feedbackCurrent_ += (feedbackTarget_ - feedbackCurrent_) * smooth_;
    wobbleCurrent_ += (wobbleTarget_ - wobbleCurrent_) * smooth_;

    double mod = 0.0;
    double am = 1.0;
    if (wobbleCurrent_ != 0.0) {
        if (framesToAnchor_ <= 0)
            anchorOscillators();
        mod = sin1_ * depthPerUnit_ * wobbleCurrent_;
        // 10^(dB/20) as an exponential: equal to within rounding.
        am = expSmall(sin2_ * wobbleCurrent_ * kLevelWobbleNepers);
        // Rotate to the next phases.
        const double s1 = sin1_ * stepCos1_ + cos1_ * stepSin1_;
        cos1_ = cos1_ * stepCos1_ - sin1_ * stepSin1_;
        sin1_ = s1;
        const double s2 = sin2_ * stepCos2_ + cos2_ * stepSin2_;
        cos2_ = cos2_ * stepCos2_ - sin2_ * stepSin2_;
        sin2_ = s2;
        --framesToAnchor_;
    } else {
        framesToAnchor_ = 0; // the phases move on without the rotation
    }

    advancePhases();

    const double yL = left_.cut(left_.read(mod) * am);
    double yR = right_.read(mod);
    if (!pingPong_)
        yR = right_.cut(am * yR);

    const double g = feedbackGain(inLeft, inRight, yL, yR);
    lastGain_ = g;

    if (pingPong_) {
        left_.write(g * g * yR);
        left_.addInput((inLeft + inRight) / 2.0, inputOffset);
        right_.write(yL);
    } else {
        left_.write(g * yL);
        left_.addInput(inLeft, inputOffset);
        right_.write(g * yR);
        right_.addInput(inRight, inputOffset);
    }

    outLeft = yL;
    outRight = yR;
}

} // namespace ostratapedelay::dsp
