#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

using namespace ostratapedelay::plugin;

ostratapedelay::dsp::RepeatsModel::Request OstraTapeDelay::repeatsRequest() const
{
  ostratapedelay::dsp::RepeatsModel::Request request;
  request.settings = delaySettings(hostTempo());
  request.driveDb = param(kDrive);
  return request;
}

bool OstraTapeDelay::pollRepeats(bool displayHasRepeats,
                                 std::vector<ostratapedelay::dsp::Repeat>& out)
{
  if (!mRepeatsWorker)
    mRepeatsWorker = std::make_unique<RepeatsWorker>();
  mRepeatsWorker->request(repeatsRequest());
  return mRepeatsWorker->takeResults(displayHasRepeats, out);
}
