// The offline fast path of the delay lines: stretches where both lines hold
// only silence are run in one go.

#include "dsp/TapeDelay.h"

#include <algorithm>
#include <cmath>

namespace ostratapedelay::dsp {

namespace {

bool sectionQuiet(const Biquad& q, double floor) noexcept
{
    return std::abs(q.z1) < floor && std::abs(q.z2) < floor;
}

bool filtersQuiet(const TapeDelay::Line& line, double floor) noexcept
{
    return (!line.lowCutOn || sectionQuiet(line.lowCut, floor))
           && (line.highCutSections < 1 || sectionQuiet(line.highCut1, floor))
           && (line.highCutSections < 2 || sectionQuiet(line.highCut2, floor))
           && (!line.bandwidthOn || sectionQuiet(line.bandwidth, floor));
}

void zeroFilters(TapeDelay::Line& line) noexcept
{
    line.lowCut.clear();
    line.highCut1.clear();
    line.highCut2.clear();
    line.bandwidth.clear();
}

void writeSilence(TapeDelay::Line& line, std::uint32_t frames) noexcept
{
    const auto size = static_cast<std::uint32_t>(line.buffer.size());
    const std::uint32_t first = std::min(frames, size - line.writeIndex);
    std::fill_n(line.buffer.begin() + line.writeIndex, first, 0.0f);
    std::fill_n(line.buffer.begin(), frames - first, 0.0f);
    line.writeIndex = static_cast<std::uint32_t>((std::uint64_t{line.writeIndex} + frames) % size);
    line.filled = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{line.filled} + frames, size));
}

} // namespace

// Frames from now on during which `line` reads nothing at or above `floor`.
// Frame j reads slots i0 + j - 1 .. i0 + j + 2 with i0 = floor(writeIndex - D),
// all written before now as long as j < D - 3.
std::uint32_t TapeDelay::silentFrames(const Line& line, std::uint32_t maxFrames, double floor) noexcept
{
    const double d = line.delayCurrent;
    const auto reach = static_cast<std::int64_t>(std::floor(d)) - 3;
    if (reach <= 0)
        return 0;
    std::int64_t frames = std::min<std::int64_t>(maxFrames, reach);
    const auto head = static_cast<std::int64_t>(line.writeIndex);
    const std::int64_t oldest = head - static_cast<std::int64_t>(line.filled);
    const auto size = static_cast<std::int64_t>(line.buffer.size());
    const std::int64_t i0 = static_cast<std::int64_t>(std::floor(static_cast<double>(line.writeIndex) - d));
    // Only the written history can hold sound.
    const std::int64_t from = std::max(i0 - 1, oldest);
    const std::int64_t to = std::min(i0 + frames + 1, head - 1);
    const float limit = static_cast<float>(floor);
    for (std::int64_t k = from; k <= to; ++k) {
        const float v = line.buffer[static_cast<std::size_t>(k < 0 ? k + size : k)];
        if (!(std::abs(v) < limit)) {
            frames = std::min(frames, k - i0 - 2);
            break;
        }
    }
    return frames > 0 ? static_cast<std::uint32_t>(frames) : 0u;
}

std::uint32_t TapeDelay::skipSilence(std::uint32_t maxFrames, double floor) noexcept
{
    if (maxFrames == 0 || left_.buffer.empty() || right_.buffer.empty())
        return 0;
    // Wobble moves the read positions; a glide changes them every frame.
    if (wobbleCurrent_ != 0.0 || wobbleTarget_ != 0.0)
        return 0;
    if (left_.delayCurrent != left_.delayTarget || right_.delayCurrent != right_.delayTarget)
        return 0;
    if (!filtersQuiet(left_, floor) || !filtersQuiet(right_, floor))
        return 0;
    std::uint32_t frames = silentFrames(left_, maxFrames, floor);
    if (frames > 0)
        frames = silentFrames(right_, frames, floor);
    if (frames == 0)
        return 0;

    zeroFilters(left_);
    zeroFilters(right_);
    for (std::uint32_t j = 0; j < frames; ++j) {
        feedbackCurrent_ += (feedbackTarget_ - feedbackCurrent_) * smooth_;
        advancePhases();
        if (!plain_) {
            // Silence never exceeds a follower: both only decay.
            inputEnvelope_ *= inputRelease_;
            echoEnvelope_ *= echoRelease_;
        }
    }
    framesToAnchor_ = 0; // the oscillators did not follow the phases
    lastGain_ = gainFromEnvelopes();
    writeSilence(left_, frames);
    writeSilence(right_, frames);
    return frames;
}

} // namespace ostratapedelay::dsp
