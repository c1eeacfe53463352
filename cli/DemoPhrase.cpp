#include "cli/DemoPhrase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostratapedelay::cli
{

namespace
{

struct Note
{
  double beat;   // start, in quarter-note beats
  int midi;      // pitch
  double length; // ring time in beats before a short release
  double pan;    // -1 left .. +1 right
};

// A-minor pentatonic figure that rises, turns and lands on a longer note.
constexpr Note kPhrase[] = {
    {0.0, 57, 0.5, -0.4}, {0.5, 60, 0.5, 0.4}, {1.0, 64, 0.5, -0.4},
    {1.5, 67, 0.5, 0.4},  {2.0, 69, 1.0, 0.0}, {3.0, 67, 0.5, 0.4},
    {3.5, 64, 0.5, -0.4}, {4.0, 62, 0.5, 0.4}, {4.5, 57, 2.0, 0.0},
};
constexpr double kPhraseBeats = 7.0; // the last note rings out, then a little silence

double pluck(double t, double frequency, double ring)
{
  constexpr double kAttack = 0.004;
  if (t < 0.0)
    return 0.0;
  const double attack = t < kAttack ? t / kAttack : 1.0;
  // Short release after the note's length so notes do not overlap into mud.
  const double release = t > ring ? std::exp(-(t - ring) / 0.03) : 1.0;
  double y = 0.0;
  for (int k = 1; k <= 6; ++k)
  {
    // Higher harmonics die faster: the bright attack of a plucked string.
    const double decay = std::exp(-t * (2.5 + 3.0 * k));
    y += std::sin(2.0 * std::numbers::pi * frequency * k * t) * decay / k;
  }
  return y * attack * release;
}

} // namespace

std::vector<std::vector<double>> synthesiseDemoPhrase(int sampleRate)
{
  const double rate = sampleRate > 0 ? sampleRate : kDemoSampleRate;
  const double secondsPerBeat = 60.0 / kDemoTempo;
  const auto frames = static_cast<size_t>(std::llround(kPhraseBeats * secondsPerBeat * rate));
  std::vector<std::vector<double>> planes(2, std::vector<double>(frames, 0.0));
  for (const Note& note : kPhrase)
  {
    const double frequency = 440.0 * std::pow(2.0, (note.midi - 69) / 12.0);
    const auto start = static_cast<size_t>(std::llround(note.beat * secondsPerBeat * rate));
    const double ring = note.length * secondsPerBeat;
    const auto end = std::min(frames, start + static_cast<size_t>((ring + 0.3) * rate));
    // Constant-power pan.
    const double angle = (note.pan + 1.0) * std::numbers::pi / 4.0;
    const double gainL = std::cos(angle) * 0.2;
    const double gainR = std::sin(angle) * 0.2;
    for (size_t i = start; i < end; ++i)
    {
      const double y = pluck(static_cast<double>(i - start) / rate, frequency, ring);
      planes[0][i] += gainL * y;
      planes[1][i] += gainR * y;
    }
  }
  return planes;
}

} // namespace ostratapedelay::cli
