#include "plugin/Parameters.h"

#include "framework/IEffectBase.h"
#include "plugin/NoteValues.h"

namespace ostratapedelay::plugin
{

using plug::IParam;

void initParameters(plug::IEffectBase& plugin)
{
  auto param = [&plugin](EParams idx) -> IParam& { return *plugin.GetParam(idx); };
  const IParam::ShapePowCurve cubic(3.0);
  const IParam::ShapeExp exponential;

  auto initNote = [&](EParams idx, const char* name)
  {
    IParam& note = param(idx);
    note.InitEnum(name, kDefaultNoteIndex, static_cast<int>(kNoteValues.size()));
    for (std::size_t i = 0; i < kNoteValues.size(); ++i)
      note.SetDisplayText(static_cast<double>(i), kNoteValues[i].name);
  };

  param(kBypass).InitBool("Bypass", false);
  param(kTimeL).InitDouble("Time L", 500.0, 1.0, 2000.0, 0.1, "ms", 0, "", cubic);
  param(kTimeR).InitDouble("Time R", 500.0, 1.0, 2000.0, 0.1, "ms", 0, "", cubic);
  initNote(kNoteL, "Note L");
  initNote(kNoteR, "Note R");
  param(kSync).InitBool("Sync", true);
  param(kLink).InitBool("Link", true);
  param(kFeedback).InitDouble("Feedback", 30.0, 0.0, 95.0, 0.1, "%");
  param(kPingPong).InitBool("Ping Pong", false);
  param(kDrive).InitDouble("Drive", 0.0, -18.0, 18.0, 0.1, "dB");
  param(kLowCut).InitDouble("Low Cut", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", exponential);
  param(kLowCut).SetDisplayText(20.0, "Off");
  param(kHighCut).InitDouble("High Cut", 20000.0, 1000.0, 20000.0, 1.0, "Hz", 0, "", exponential);
  param(kHighCut).SetDisplayText(20000.0, "Off");
  param(kWobble).InitDouble("Wobble", 100.0, 0.0, 200.0, 1.0, "%");
  param(kWidth).InitDouble("Width", 0.0, -100.0, 100.0, 1.0);
  param(kTap).InitBool("Tap", false);
  param(kDuck).InitDouble("Duck", 0.0, 0.0, 24.0, 0.1, "dB");
  param(kDuck).SetDisplayText(0.0, "Off");
  param(kDuckRelease)
      .InitDouble("Duck Release", 400.0, 50.0, 2000.0, 1.0, "ms", 0, "", exponential);
  param(kMix).InitDouble("Mix", 100.0, 0.0, 100.0, 1.0, "%");
}

} // namespace ostratapedelay::plugin
