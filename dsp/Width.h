#pragma once

#include "dsp/Biquad.h"

#include <array>
#include <cstdint>

namespace corvana::dsp {

// Mid/side stereo width. Narrows by scaling the side; widens by scaling the side
// and, for inputs that are (or are treated as) mono, by adding a side signal
// decorrelated from the mid. Carries an input analyser that decides whether a
// stereo input is really mono.
//
// One instance is used by one thread at a time (the audio thread).
class Width {
public:
    static constexpr int kAuto = 0;
    static constexpr int kStereo = 1;
    static constexpr int kMono = 2;

    static constexpr int kAllpassCascade = 1; // method 1; any other value: four allpass delays

    static constexpr int kUndecided = 0; // analyser states; kStereo and kMono otherwise

    static constexpr int kDelayBufferSize = 1024;

    Width() noexcept;

    // Designs the filters for `sampleRate` (48000 when it is not a usable rate)
    // and clears everything (see clear). Keeps width, mode, method and monoBus.
    // Owner's thread; real-time safe.
    void prepare(double sampleRate) noexcept;

    // Clears the decorrelator and the analyser and sets the gains to their
    // targets at once. Real-time safe.
    void clear() noexcept;

    // Zeroes the decorrelator's filters, delay buffers and index. Real-time safe.
    void clearDecorrelator() noexcept;

    // Forgets the analyser's window, decision and silence count. Real-time safe.
    void clearAnalyser() noexcept;

    // Sets both gains to their current targets without gliding. Real-time safe.
    void resetGains() noexcept;

    // Width -1..1 (-1 mid only, 0 unchanged, 1 widest); non-finite counts as 0.
    void setWidth(float w) noexcept;
    // kAuto, kStereo or kMono; a change clears the analyser.
    void setMode(int newMode) noexcept;
    // kAllpassCascade or the delay chain; a change clears the decorrelator.
    void setMethod(int newMethod) noexcept;
    // True when only one input channel is connected.
    void setMonoBus(bool mono) noexcept { monoBus_ = mono; }

    float width() const noexcept { return width_; }
    int mode() const noexcept { return mode_; }
    int method() const noexcept { return method_; }
    bool monoBus() const noexcept { return monoBus_; }
    float sideGain() const noexcept { return sideGain_; }
    float synthGain() const noexcept { return synthGain_; }
    bool synthActive() const noexcept { return synthActive_; }

    // Analyser decision: kUndecided, kStereo or kMono.
    int state() const noexcept { return state_; }
    bool listening() const noexcept { return listening_ != 0 || state_ == kUndecided; }

    // Processes `frames` frames; inputs and outputs may be the same arrays.
    // Real-time safe.
    void process(const double* inL, const double* inR, double* outL, double* outR, int frames) noexcept;

    // One frame in place. Real-time safe.
    void tick(double& left, double& right) noexcept;

    // What tick does to the stage's state for one frame, without its output:
    // for a stage used only for its analyser. At width 0 (gains settled, no
    // side synthesised) only the analyser runs; otherwise this is tick.
    // Real-time safe.
    void analyse(double left, double right) noexcept;

    // One analyser step on a mid and side sample. Real-time safe.
    void listen(float mid, float side) noexcept;

    // One synthesised side sample from a mid sample (decorrelated, no bass).
    // Real-time safe.
    double built(double mid) noexcept;

private:
    void targets(float& side, float& synth) const noexcept;
    void glide(float& gain, float target) const noexcept;

    double sampleRate_ = 48000.0;
    float width_ = 0.0f;
    int mode_ = kAuto;
    int method_ = 0;
    bool monoBus_ = false;
    float smooth_ = 0.0f;
    float sideGain_ = 1.0f;
    float synthGain_ = 0.0f;
    bool synthActive_ = false;

    Biquad highPass_{};
    std::array<Biquad, 7> allpass_{};
    std::array<std::array<float, kDelayBufferSize>, 4> buffers_{};
    std::array<int, 4> lengths_{};
    int index_ = 0;

    float threshold_ = 0.001f;
    std::int64_t windowLength_ = 24000;
    std::int64_t silenceLimit_ = 96000;
    int state_ = kUndecided;
    int lastState_ = kUndecided;
    int listening_ = 0;
    std::int64_t count_ = 0;
    std::int64_t silence_ = 0;
    double sumMid2_ = 0.0;
    double sumSide2_ = 0.0;
};

} // namespace corvana::dsp
