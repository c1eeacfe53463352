#include "plugin/OstraTapeDelay.h"

#include "graphics/ICanvasEditorDelegate.h"
#include "plugin/Identity.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

#include <algorithm>

using namespace ostratapedelay::plugin;

OstraTapeDelay::OstraTapeDelay()
  : OstraTapeDelay(makeConfig(), corvana::updates::UpdateWorkerTiming{})
{
}

OstraTapeDelay::OstraTapeDelay(const corvana::updates::UpdateWorkerTiming& updateTiming)
  : OstraTapeDelay(makeConfig(), updateTiming)
{
}

OstraTapeDelay::OstraTapeDelay(const plug::Config& config,
                               const corvana::updates::UpdateWorkerTiming& updateTiming)
  : plug::IAUBinding(config)
{
  initParameters(*this);
  mDelay.prepare(48000.0);
  for (auto& tape : mTape)
    tape.prepare(48000.0);
  for (auto& width : mWidth)
    width.prepare(48000.0);

  mUpdateCheck = std::make_shared<corvana::updates::UpdateCheck>(
      corvana::updates::defaultConfig(kProductSlug, kVersion));
  mUpdateWorker = std::make_unique<corvana::updates::UpdateWorker>(
      [check = mUpdateCheck]
      {
        check->checkIfDue();
        check->reload();
      },
      [check = mUpdateCheck] { check->cancel(); }, updateTiming);

  mEditor = std::make_unique<plug::graphics::ICanvasEditorDelegate>(*this);
  mEditor->SetMakeCanvasFunc([this](plug::graphics::ICanvasEditorDelegate& delegate)
                             { return makeGraphics(delegate); });
  mEditor->SetLayoutFunc([this](plug::graphics::ICanvas* g) { layout(g); });
  mEditor->SetConstrainFunc([this](int& w, int& h) { return ConstrainEditorResize(w, h); });
}

OstraTapeDelay::~OstraTapeDelay()
{
  mEditor.reset(); // closes an open editor while the plug-in is still whole
  mUpdateWorker.reset();
}

double OstraTapeDelay::param(int idx) const noexcept
{
  return GetParam(idx)->Value();
}

void OstraTapeDelay::setInputMode(int mode)
{
  const auto chosen = static_cast<InputMode>(std::clamp(
      mode, static_cast<int>(InputMode::kInputAuto), static_cast<int>(InputMode::kInputLeftOnly)));
  mInputMode.store(chosen);
  // A fresh choice of auto listens again instead of trusting an old decision.
  if (chosen == kInputAuto)
    mRedetectInput.store(true);
}

void OstraTapeDelay::takeMeter(float& peak, double& meanSquare) noexcept
{
  const int frames = mMeterFrames.exchange(0);
  const double sum = mMeterSumSquares.exchange(0.0);
  peak = mMeterPeak.exchange(0.0f);
  meanSquare = frames > 0 ? sum / frames : 0.0;
}
