#include "dsp/Width.h"

#include "dsp/Dispatch.h"
#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvana::dsp {

namespace {
constexpr std::array<double, 7> kAllpassFrequencies{160.0, 320.0, 640.0, 1280.0, 2560.0, 5120.0, 10240.0};
constexpr std::array<double, 4> kDelayLengths48k{23.0, 53.0, 89.0, 131.0};
constexpr double kAllpassGain = 0.5;
constexpr double kSideHighPassHz = 120.0;
constexpr float kSnap = 1e-6f;

// Samples for `seconds`, rounded half away from zero, bounded against absurd rates.
std::int64_t roundedSamples(double seconds, double rate) noexcept
{
    return std::llround(std::min(seconds * rate, 1.0e15));
}
} // namespace

Width::Width() noexcept { prepare(kDefaultSampleRate); }

void Width::prepare(double sampleRate) noexcept
{
    const double rate = usableRate(sampleRate);
    sampleRate_ = rate;
    smooth_ = static_cast<float>(onePoleCoefficient(0.05, rate));
    windowLength_ = roundedSamples(0.5, rate);
    silenceLimit_ = roundedSamples(2.0, rate);
    threshold_ = 0.001f;

    {
        const double f = std::min(kSideHighPassHz, 0.49 * rate);
        const double w = 2.0 * std::numbers::pi * f / rate;
        const double cw = std::cos(w);
        const double alpha = std::sin(w) / std::numbers::sqrt2; // Q = 1/sqrt(2)
        highPass_.setCoefficients((1.0 + cw) / 2.0, -(1.0 + cw), (1.0 + cw) / 2.0, 1.0 + alpha, -2.0 * cw, 1.0 - alpha);
    }
    for (std::size_t i = 0; i < allpass_.size(); ++i) {
        const double f = std::min(0.49 * rate, kAllpassFrequencies[i]);
        const double w = 2.0 * std::numbers::pi * f / rate;
        const double s = std::sin(w);
        const double c = (1.0 - s) / (1.0 + s);
        const double d = -2.0 * std::cos(w) / (1.0 + s);
        allpass_[i].setCoefficients(c, d, 1.0, 1.0, d, c);
    }
    for (std::size_t i = 0; i < lengths_.size(); ++i)
        lengths_[i] = static_cast<int>(std::lround(std::clamp(kDelayLengths48k[i] * rate / 48000.0, 1.0, 1023.0)));

    clear();
}

void Width::clear() noexcept
{
    clearDecorrelator();
    synthActive_ = false;
    clearAnalyser();
    resetGains();
}

void Width::clearDecorrelator() noexcept
{
    highPass_.clear();
    for (Biquad& b : allpass_)
        b.clear();
    for (auto& buffer : buffers_)
        buffer.fill(0.0f);
    index_ = 0;
}

void Width::clearAnalyser() noexcept
{
    state_ = lastState_ = kUndecided;
    listening_ = 0;
    count_ = silence_ = 0;
    sumMid2_ = sumSide2_ = 0.0;
}

void Width::resetGains() noexcept { targets(sideGain_, synthGain_); }

void Width::setWidth(float w) noexcept { width_ = std::isfinite(w) ? std::clamp(w, -1.0f, 1.0f) : 0.0f; }

void Width::setMode(int newMode) noexcept
{
    if (newMode != mode_) {
        mode_ = newMode;
        clearAnalyser();
    }
}

void Width::setMethod(int newMethod) noexcept
{
    if (newMethod != method_) {
        method_ = newMethod;
        clearDecorrelator();
    }
}

void Width::targets(float& side, float& synth) const noexcept
{
    const float w = width_;
    if (w <= 0.0f) {
        side = 1.0f + w;
        synth = 0.0f;
        return;
    }
    const bool treatAsMono = mode_ == kMono || (mode_ == kAuto && (monoBus_ || state_ == kMono));
    side = treatAsMono ? 1.0f : 1.0f + w;
    synth = treatAsMono ? w * 0.75f : w * 0.375f;
}

void Width::glide(float& gain, float target) const noexcept
{
    if (gain == target)
        return; // settled: the step below would leave it there
    const float before = gain;
    gain += (target - gain) * smooth_;
    // In float the step falls below half an ulp some 1e-4 short of the target
    // at usual rates; without the second test the gain would never arrive.
    if (std::fabs(target - gain) < kSnap || gain == before)
        gain = target;
}

void Width::process(const double* inL, const double* inR, double* outL, double* outR, int frames) noexcept
{
    for (int i = 0; i < frames; ++i) {
        double l = inL[i];
        double r = inR[i];
        tick(l, r);
        outL[i] = l;
        outR[i] = r;
    }
}

CORVANA_DSP_CLONES void Width::tick(double& left, double& right) noexcept
{
    // A non-finite sample would stay in the decorrelator for good.
    const double l = std::isfinite(left) ? left : 0.0;
    const double r = std::isfinite(right) ? right : 0.0;
    const double mid = (l + r) / 2.0;
    const double side = (l - r) / 2.0;

    if (mode_ == kAuto && !monoBus_)
        listen(static_cast<float>(mid), static_cast<float>(side));

    float sideTarget;
    float synthTarget;
    targets(sideTarget, synthTarget);
    glide(sideGain_, sideTarget);
    glide(synthGain_, synthTarget);

    double delta = side * (static_cast<double>(sideGain_) - 1.0);
    if (synthGain_ > 0.0f) {
        if (!synthActive_) {
            clearDecorrelator();
            synthActive_ = true;
        }
        delta += built(mid) * static_cast<double>(synthGain_);
    } else {
        synthActive_ = false;
    }
    left = l + delta;
    right = r - delta;
}

CORVANA_DSP_CLONES void Width::analyse(double left, double right) noexcept
{
    if (width_ != 0.0f || sideGain_ != 1.0f || synthGain_ != 0.0f || synthActive_) {
        tick(left, right);
        return;
    }
    // At width 0 the targets are a side gain of 1 and no synthesis, where the
    // gains already are: tick would only feed the analyser.
    const double l = std::isfinite(left) ? left : 0.0;
    const double r = std::isfinite(right) ? right : 0.0;
    if (mode_ == kAuto && !monoBus_)
        listen(static_cast<float>((l + r) / 2.0), static_cast<float>((l - r) / 2.0));
}

double Width::built(double mid) noexcept
{
    double x = std::isfinite(mid) ? mid : 0.0;
    if (method_ == kAllpassCascade) {
        for (Biquad& b : allpass_)
            x = b.tick(x);
    } else {
        for (std::size_t i = 0; i < buffers_.size(); ++i) {
            auto& buffer = buffers_[i];
            const double v = buffer[static_cast<std::size_t>((index_ - lengths_[i]) & (kDelayBufferSize - 1))];
            const double w = x + kAllpassGain * v;
            buffer[static_cast<std::size_t>(index_)] = static_cast<float>(w);
            x = v - kAllpassGain * w;
        }
        index_ = (index_ + 1) & (kDelayBufferSize - 1);
    }
    return highPass_.tick(x);
}

void Width::listen(float mid, float side) noexcept
{
    const bool isListening = listening_ != 0 || state_ == kUndecided;
    const bool silent = std::fabs(mid) < threshold_ && std::fabs(side) < threshold_;

    if (silent) {
        const bool windowStarted = count_ >= 1;
        if (!windowStarted && state_ == kUndecided)
            return;
        silence_ += 1;
        if (silence_ >= silenceLimit_) {
            // Long enough silence: whatever comes next may be a new source.
            count_ = silence_ = 0;
            sumMid2_ = sumSide2_ = 0.0;
            if (state_ != kUndecided)
                lastState_ = state_;
            listening_ = 1;
            return;
        }
        if (!windowStarted || !isListening)
            return;
    } else {
        silence_ = 0;
        if (!isListening)
            return;
    }

    const double m = mid;
    const double s = side;
    sumMid2_ += m * m;
    sumSide2_ += s * s;
    count_ += 1;
    if (count_ >= windowLength_) {
        const double ratio = 10.0 * std::log10(std::max(sumSide2_, 1e-30) / std::max(sumMid2_, 1e-30));
        if (ratio < -30.0)
            state_ = kMono;
        else if (ratio > -20.0)
            state_ = kStereo;
        else
            state_ = lastState_ != kUndecided ? lastState_ : kStereo;
        listening_ = 0;
        count_ = 0;
    }
}

} // namespace corvana::dsp
