#pragma once

#include <vector>

namespace ostratapedelay::cli
{

/** The demo phrase's fixed properties: 48 kHz stereo, at the default host tempo so that
 *  synced echoes fall on its eighth-note grid. */
inline constexpr int kDemoSampleRate = 48000;
inline constexpr double kDemoTempo = 120.0;

/**
 * A short plucked melody (about three and a half seconds): nine notes of a minor-pentatonic
 * figure on an eighth-note grid, each a few decaying harmonics with a soft attack, panned
 * alternately left and right, followed by silence so the echoes are heard alone. The same
 * samples every time (no randomness). Returns two planes (left, right). Peak about -10 dBFS.
 */
std::vector<std::vector<double>> synthesiseDemoPhrase(int sampleRate = kDemoSampleRate);

} // namespace ostratapedelay::cli
