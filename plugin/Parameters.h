#pragma once

namespace plug
{
class IEffectBase;
}

namespace ostratapedelay::plugin
{

/** Parameter indices. The state chunk, presets, the editor and the host all use this order. */
enum EParams : int
{
  kBypass = 0,
  kTimeL,
  kTimeR,
  kNoteL,
  kNoteR,
  kSync,
  kLink,
  kFeedback,
  kPingPong,
  kDrive,
  kLowCut,
  kHighCut,
  kWobble,
  kWidth,
  kTap,
  kDuck,
  kDuckRelease,
  kMix,
  kNumParams
};

/** Initialises the plug-in's kNumParams parameters in index order: names, ranges, steps,
 *  shapes, labels and display texts. The plug-in must have been configured with at least
 *  kNumParams parameters. Main thread, during construction; allocates. */
void initParameters(plug::IEffectBase& plugin);

} // namespace ostratapedelay::plugin
