#include "plugin/OstraTapeDelay.h"

#include "graphics/ICanvasEditorDelegate.h"
#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

using namespace ostratapedelay::plugin;

OstraTapeDelay::OstraTapeDelay()
  : OstraTapeDelay(makeConfig())
{
}

OstraTapeDelay::OstraTapeDelay(const plug::Config& config)
  : plug::IAUBinding(config)
{
  initParameters(*this);
  mDelay.prepare(48000.0);
  for (auto& tape : mTape)
    tape.prepare(48000.0);
  for (auto& width : mWidth)
    width.prepare(48000.0);

  mUpdateCheck = std::make_shared<corvana::updates::UpdateCheck>(
      corvana::updates::defaultConfig(kUpdateProductSlug, kUpdateVersion));
  mUpdateWorker = std::make_unique<corvana::updates::UpdateWorker>(
      [check = mUpdateCheck]
      {
        check->checkIfDue();
        check->reload();
      },
      [check = mUpdateCheck] { check->cancel(); });

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
  mode = mode < kInputAuto ? kInputAuto : (mode > kInputLeftOnly ? kInputLeftOnly : mode);
  mInputMode.store(mode);
  // A fresh choice of auto listens again instead of trusting an old decision.
  if (mode == kInputAuto)
    mRedetectInput.store(true);
}

void OstraTapeDelay::takeMeter(float& peak, double& meanSquare) noexcept
{
  const int frames = mMeterFrames.exchange(0);
  const double sum = mMeterSumSquares.exchange(0.0);
  peak = mMeterPeak.exchange(0.0f);
  meanSquare = frames > 0 ? sum / frames : 0.0;
}
