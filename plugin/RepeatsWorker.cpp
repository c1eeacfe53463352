#include "plugin/RepeatsWorker.h"

#include <memory>
#include <utility>

namespace ostratapedelay::plugin
{

RepeatsWorker::RepeatsWorker(Measure measure)
  : mMeasure(std::move(measure))
{
}

RepeatsWorker::~RepeatsWorker()
{
  {
    std::lock_guard lock(mMutex);
    mStop = true;
  }
  mWake.notify_all();
  if (mThread.joinable())
    mThread.join();
}

bool RepeatsWorker::sameRequest(const Request& a, const Request& b) noexcept
{
  // Plain == is false for NaN, which is what we want: an undefined value always re-measures.
  const auto& x = a.settings;
  const auto& y = b.settings;
  return a.driveDb == b.driveDb && x.timeLeft == y.timeLeft && x.timeRight == y.timeRight &&
         x.feedback == y.feedback && x.pingPong == y.pingPong &&
         x.character.exponent == y.character.exponent &&
         x.character.compression == y.character.compression && x.lowCut == y.lowCut &&
         x.highCut == y.highCut && x.slope == y.slope && x.bandwidth == y.bandwidth;
}

void RepeatsWorker::request(const Request& r)
{
  {
    std::lock_guard lock(mMutex);
    // (A thread that failed to start earlier is retried even for an unchanged request.)
    if (mHasRequest && sameRequest(r, mRequest) && mThread.joinable())
      return;
    mRequest = r;
    mHasRequest = true;
    ++mGeneration;
    mRequestTime = Clock::now();
    if (!mThread.joinable())
      mThread = std::thread([this] { run(); });
  }
  mWake.notify_all();
}

bool RepeatsWorker::takeResults(bool onlyFresh, std::vector<Repeat>& out)
{
  std::lock_guard lock(mMutex);
  if (!(onlyFresh ? mFresh : mMeasured))
    return false;
  out = mResults;
  mFresh = false;
  return true;
}

void RepeatsWorker::run()
{
  // The model's rings take a few megabytes, so only a worker that measures for real has one.
  std::unique_ptr<ostratapedelay::dsp::RepeatsModel> model;
  Measure measure = mMeasure;
  if (!measure)
  {
    model = std::make_unique<ostratapedelay::dsp::RepeatsModel>();
    model->prepare();
    measure = [m = model.get()](const Request& r, std::vector<Repeat>& out,
                                const std::function<bool()>& cancelled)
    { return m->measure(r, out, cancelled); };
  }
  std::vector<Repeat> local;
  std::unique_lock lock(mMutex);
  std::uint64_t lastDone = 0;
  while (!mStop)
  {
    if (mGeneration == lastDone)
    {
      mWake.wait(lock);
      continue;
    }
    const auto due = mRequestTime + kDebounce;
    if (Clock::now() < due)
    {
      mWake.wait_until(lock, due,
                       [&] { return mStop || Clock::now() >= mRequestTime + kDebounce; });
      if (mStop)
        break;
      // A newer request moved the deadline; start over to wait for it.
      if (Clock::now() < mRequestTime + kDebounce)
        continue;
    }
    const std::uint64_t gen = mGeneration;
    const Request job = mRequest;
    lock.unlock();
    const bool finished = measure(job, local,
                                  [&]
                                  {
                                    std::lock_guard check(mMutex);
                                    return mStop || mGeneration != gen;
                                  });
    lock.lock();
    if (finished && mGeneration == gen)
    {
      mResults = local;
      mFresh = true;
      mMeasured = true;
      lastDone = gen;
    }
  }
}

} // namespace ostratapedelay::plugin
