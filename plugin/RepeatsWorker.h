#pragma once

#include "dsp/RepeatsModel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ostratapedelay::plugin
{

/**
 * Measures the echoes of the latest settings on a thread of its own, so the editor can show
 * them without the main thread running the model. The editor posts a request every idle
 * tick; an unchanged one costs a lock and a comparison, a changed one restarts the work
 * after a quiet period of 40 ms and cancels a measurement already running. Results change
 * only as a whole, to a measurement that ran to its end for the then-current request.
 *
 * Owned by the plug-in object, so the last results survive a closed editor. request() and
 * takeResults() on the main thread; destruction on any thread.
 */
class RepeatsWorker
{
public:
  using Request = ostratapedelay::dsp::RepeatsModel::Request;
  using Repeat = ostratapedelay::dsp::Repeat;
  using Clock = std::chrono::steady_clock;

  static constexpr std::chrono::nanoseconds kDebounce{40'000'000};

  /** The measurement: fills `out` for the request, returns false once `cancelled` says so. */
  using Measure = std::function<bool(const Request&, std::vector<Repeat>& out,
                                     const std::function<bool()>& cancelled)>;

  /** Measures with a private repeats model prepared when the thread starts, or with
   *  `measure` when one is given (tools and tests that need a measurement of known length). */
  explicit RepeatsWorker(Measure measure = {});
  /** Stops the thread promptly (a measurement ends at its next cancellation check) and
   *  joins it. */
  ~RepeatsWorker();
  RepeatsWorker(const RepeatsWorker&) = delete;
  RepeatsWorker& operator=(const RepeatsWorker&) = delete;

  /** Accepts `r` unless it equals the stored request; the first accepted one starts the
   *  thread (a failure to start raises std::system_error). */
  void request(const Request& r);

  /** Copies the latest results to `out` and clears the fresh flag when there are fresh
   *  results (`onlyFresh`) or any results at all; otherwise leaves `out` alone. */
  bool takeResults(bool onlyFresh, std::vector<Repeat>& out);

  /** Equal as the model sees it: every field it reads, wobble aside; a NaN never matches. */
  static bool sameRequest(const Request& a, const Request& b) noexcept;

private:
  void run();

  Measure mMeasure; // set before the thread starts, read only by it

  mutable std::mutex mMutex;
  std::condition_variable mWake;
  std::thread mThread;
  bool mStop = false;
  bool mHasRequest = false;
  Request mRequest;
  std::uint64_t mGeneration = 0;
  Clock::time_point mRequestTime{};
  std::vector<Repeat> mResults;
  bool mFresh = false;
  bool mMeasured = false;
};

} // namespace ostratapedelay::plugin
