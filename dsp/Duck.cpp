#include "dsp/Duck.h"

#include "dsp/Dispatch.h"
#include "dsp/OnePole.h"

#include <algorithm>
#include <cmath>

namespace ostratapedelay::dsp {

namespace {
constexpr double kDefaultReleaseMs = 300.0;
constexpr double kMinReleaseMs = 50.0;
constexpr double kMaxReleaseMs = 2000.0;
constexpr double kMaxDepthDb = 24.0;
constexpr double kGateLevel = 0.001;    // -60 dBFS
constexpr double kRelativeGate = 0.1;   // 20 dB below the slow envelope
constexpr double kDbToLinear = 0.11512925464970228; // ln(10) / 20

double releaseCoefficient(double ms, double rate) noexcept
{
    return 1.0 - std::exp(-3.0 / (ms / 1000.0 * rate));
}
} // namespace

Duck::Duck() noexcept
{
    prepare(corvana::dsp::kDefaultSampleRate);
    // Usable even if the owner never sets a release; releaseMs stays -1 so the
    // owner's first setRelease recomputes it.
    gainRelease_ = releaseCoefficient(kDefaultReleaseMs, sampleRate_);
}

void Duck::prepare(double sampleRate) noexcept
{
    sampleRate_ = corvana::dsp::usableRate(sampleRate);
    peakDecay_ = corvana::dsp::decayCoefficient(0.05, sampleRate_);
    envelopeAttack_ = corvana::dsp::onePoleCoefficient(0.002, sampleRate_);
    envelopeRelease_ = corvana::dsp::decayCoefficient(3.0, sampleRate_);
    gainAttack_ = corvana::dsp::onePoleCoefficient(0.005, sampleRate_);
    // Bounded so that absurd rates cannot overflow the conversion.
    holdSamples_ = static_cast<std::int64_t>(std::min(0.1 * sampleRate_, 1.0e15));
    releaseMs_ = -1.0;
    clear();
}

void Duck::clear() noexcept
{
    peak_ = envelope_ = gainDb_ = 0.0;
    holdCount_ = 0;
}

void Duck::setDepth(double db) noexcept
{
    depthDb_ = std::isfinite(db) ? std::clamp(db, 0.0, kMaxDepthDb) : 0.0;
}

void Duck::setRelease(double ms) noexcept
{
    const double release = std::isnan(ms) ? kMinReleaseMs : std::clamp(ms, kMinReleaseMs, kMaxReleaseMs);
    if (release != releaseMs_) {
        releaseMs_ = release;
        gainRelease_ = releaseCoefficient(release, sampleRate_);
    }
}

CORVANA_DSP_CLONES double Duck::tick(double level) noexcept
{
    if (depthDb_ <= 0.0 && gainDb_ == 0.0) {
        holdCount_ = 0;
        peak_ = envelope_ = 0.0;
        return 1.0;
    }

    // A non-finite level would pin both followers for good.
    const double a = std::isfinite(level) ? std::fabs(level) : 0.0;
    peak_ = a > peak_ ? a : peak_ * peakDecay_;
    envelope_ = peak_ > envelope_ ? envelope_ + (peak_ - envelope_) * envelopeAttack_ : envelope_ * envelopeRelease_;
    if (peak_ < 1e-12)
        peak_ = 0.0;
    if (envelope_ < 1e-12)
        envelope_ = 0.0;

    double target = 0.0;
    if (depthDb_ > 0.0 && peak_ >= kGateLevel && peak_ >= kRelativeGate * envelope_) {
        holdCount_ = holdSamples_;
        target = -depthDb_;
    } else if (holdCount_ >= 1) {
        const bool last = holdCount_ == 1;
        holdCount_ -= 1;
        if (!last)
            target = -depthDb_;
    }

    gainDb_ += (target - gainDb_) * (gainDb_ > target ? gainAttack_ : gainRelease_);
    if (target == 0.0 && gainDb_ > -0.01)
        gainDb_ = 0.0;

    if (gainDb_ == 0.0)
        return 1.0;
    if (gainDb_ != gainFor_) {
        gainFor_ = gainDb_;
        gain_ = std::exp(gainDb_ * kDbToLinear);
    }
    return gain_;
}

} // namespace ostratapedelay::dsp
