#include "plugin/OstraTapeDelay.h"

#include "controls/OutputMeterControl.h"
#include "graphics/ICanvas.h"
#include "graphics/ITextControl.h"
#include "plugin/Accents.h"
#include "plugin/EditorPresetAndRepeats.h"
#include "plugin/EditorStyle.h"
#include "plugin/Identity.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

#include <algorithm>

using namespace ostratapedelay::plugin;
using corvana::controls::limiter_panel::OutputMeterControl;
using plug::graphics::ICanvas;
using plug::graphics::ITextControl;

void OstraTapeDelay::OnParamChange(int paramIdx, plug::EParamSource source, int sampleOffset)
{
  if (paramIdx != kTap)
    return;
  const bool down = param(kTap) >= 0.5;
  const bool wasDown = mTapDown.exchange(down);
  // Only a press from the host or the editor taps; a restore or reset never does.
  if ((source == plug::kHost || source == plug::kUI) && down && !wasDown)
  {
    mTapOffset.store(sampleOffset);
    mTapPending.store(true);
  }
}

void OstraTapeDelay::sendValueFromEditor(int paramIdx, double value)
{
  const plug::IParam* p = GetParam(paramIdx);
  const double normalized = std::clamp(p->ToNormalized(p->Constrain(value)), 0.0, 1.0);
  SendParameterValueFromUI(paramIdx, normalized);
  SendParameterValueFromDelegate(paramIdx, normalized, true);
}

void OstraTapeDelay::applyTapInterval()
{
  const double interval = mTap.takeInterval();
  if (interval <= 0.0 || param(kSync) >= 0.5)
    return;
  const plug::IParam* timeL = GetParam(kTimeL);
  const double currentLeft = param(kTimeL);
  const double left = std::clamp(interval * 1000.0, timeL->GetMin(), timeL->GetMax());
  sendValueFromEditor(kTimeL, left);
  if (param(kLink) < 0.5)
  {
    // The right time keeps its ratio to the left one.
    const double right = param(kTimeR) * left / currentLeft;
    sendValueFromEditor(kTimeR, std::clamp(right, timeL->GetMin(), timeL->GetMax()));
  }
}

void OstraTapeDelay::feedMeter()
{
  ICanvas* g = ui();
  auto* meter =
      g ? dynamic_cast<OutputMeterControl*>(g->GetControlWithTag(editor::kMeterTag)) : nullptr;
  if (!meter)
    return;
  float peak = 0.f;
  double meanSquare = 0.0;
  takeMeter(peak, meanSquare);
  meter->setLevels(peak, float(meanSquare));
}

void OstraTapeDelay::rebuildEditor()
{
  ICanvas* g = ui();
  g->RemoveAllControls();
  layout(g);
  pushValuesToEditor();
  g->SetAllControlsDirty();
}

void OstraTapeDelay::updateTitle()
{
  std::string label;
  trackLabel(label);
  if (label == mCachedTrackLabel)
    return;
  mCachedTrackLabel = label;
  if (ICanvas* g = ui())
    if (auto* title = dynamic_cast<ITextControl*>(g->GetControlWithTag(editor::kTitleTag)))
      title->SetStr(label.empty() ? editor::kWordmark : label.c_str());
}

std::string OstraTapeDelay::statusText() const
{
  const int mode = inputMode();
  const char* input = mode == kInputLeftOnly ? "left channel only"
                      : detectedMono()       ? "mono in"
                                             : "stereo in";
  return std::string(kProductName) + " " + kVersion + " \xC2\xB7 " + std::to_string(GetLatency()) +
         " samples latency \xC2\xB7 " + input;
}

void OstraTapeDelay::updateStatusLine()
{
  ICanvas* g = ui();
  if (!g)
    return;
  // The text changes only with these; composing it every tick would allocate.
  const int key =
      GetLatency() * 4 + (inputMode() == kInputLeftOnly ? 2 : 0) + (detectedMono() ? 1 : 0);
  if (key == mLastStatusKey && !mLastStatus.empty())
    return;
  std::string text = statusText();
  mLastStatusKey = key;
  if (text == mLastStatus)
    return;
  if (auto* status = dynamic_cast<ITextControl*>(g->GetControlWithTag(editor::kStatusTag)))
    status->SetStr(text.c_str());
  mLastStatus = std::move(text);
}

void OstraTapeDelay::OnIdle()
{
  if (GetBypassed())
    mClearRequested.store(true);
  applyTapInterval();
  if (param(kTap) >= 0.5)
    sendValueFromEditor(kTap, 0.0); // the tap button is momentary
  if (ICanvas* g = ui())
    mPlatformScale.store(g->GetPlatformWindowScale());

  // The host's colour stands behind accent 5: a new one (or none any more) redraws.
  if (mAccent.load() == kHostAccent)
  {
    int r = 0, gr = 0, b = 0;
    const int colour =
        trackColour(r, gr, b) ? ((r & 255) << 16) | ((gr & 255) << 8) | (b & 255) : -1;
    if (colour != mCachedHostColour)
    {
      mCachedHostColour = colour;
      mAccentChanged.store(true);
    }
  }

  showTimeControls();
  idleRepeatsDisplay(*this, ui());
  feedMeter();
  if (mAccentChanged.exchange(false) && ui())
    rebuildEditor();
  updateTitle();

  if (mPendingSaveName)
  {
    const std::string name = *mPendingSaveName;
    mPendingSaveName.reset();
    savePreset(name, true);
  }
  checkPresetModified();
  updateStatusLine();
}
