#include "plugin/OstraTapeDelay.h"

#include "plugin/Parameters.h"
#include "plugin/PluginConfig.h"

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
      corvana::updates::defaultConfig(kUpdateProductSlug, kUpdateVersion));
  mUpdateWorker = std::make_unique<corvana::updates::UpdateWorker>(
      [check = mUpdateCheck]
      {
        check->checkIfDue();
        check->reload();
      },
      [check = mUpdateCheck] { check->cancel(); }, updateTiming);
}

OstraTapeDelay::~OstraTapeDelay()
{
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
