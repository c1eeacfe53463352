#include "plugin/RepeatsWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using ostratapedelay::plugin::RepeatsWorker;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace
{

RepeatsWorker::Request requestWithTime(double seconds)
{
  RepeatsWorker::Request r;
  r.settings.timeLeft = seconds;
  r.settings.timeRight = seconds;
  r.settings.feedback = 0.5;
  r.settings.bandwidth = 16000.0;
  return r;
}

// Waits (at most `limit`) until `done` holds; returns whether it did.
template <typename F>
bool waitFor(F done, std::chrono::milliseconds limit = 5000ms)
{
  const auto end = Clock::now() + limit;
  while (!done())
  {
    if (Clock::now() > end)
      return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A measurement of known behaviour: records when it started and for which request, answers
// one repeat whose time is the request's left time, and, when `hold` is set, keeps polling
// the cancellation check (as the model does every 4096 samples) until it reports true.
struct FakeMeasure
{
  std::mutex lock;
  std::vector<Clock::time_point> starts;
  std::vector<double> times;
  std::atomic<bool> hold{false};
  std::atomic<int> running{0};
  std::atomic<int> cancelled{0};

  RepeatsWorker::Measure fn()
  {
    return [this](const RepeatsWorker::Request& r, std::vector<RepeatsWorker::Repeat>& out,
                  const std::function<bool()>& isCancelled)
    {
      {
        std::lock_guard guard(lock);
        starts.push_back(Clock::now());
        times.push_back(r.settings.timeLeft);
      }
      ++running;
      out.clear();
      out.push_back({r.settings.timeLeft, false, 1, -6.0, 8000.0, 0.0});
      bool finished = true;
      while (hold)
      {
        if (isCancelled())
        {
          finished = false;
          ++cancelled;
          break;
        }
        std::this_thread::sleep_for(200us);
      }
      --running;
      return finished;
    };
  }

  size_t count()
  {
    std::lock_guard guard(lock);
    return starts.size();
  }
};

} // namespace

TEST(RepeatsWorkerEquality, WobbleAloneDoesNotCountAndNaNNeverMatches)
{
  const auto a = requestWithTime(0.25);
  auto b = a;
  b.settings.wobble = 1.7;
  EXPECT_TRUE(RepeatsWorker::sameRequest(a, b));

  // Every field the model reads counts.
  auto c = a;
  c.settings.feedback = 0.51;
  EXPECT_FALSE(RepeatsWorker::sameRequest(a, c));
  c = a;
  c.settings.pingPong = true;
  EXPECT_FALSE(RepeatsWorker::sameRequest(a, c));
  c = a;
  c.driveDb = 3.0;
  EXPECT_FALSE(RepeatsWorker::sameRequest(a, c));
  c = a;
  c.settings.slope = ostratapedelay::dsp::TapeDelay::Slope::k6dB;
  EXPECT_FALSE(RepeatsWorker::sameRequest(a, c));
  c = a;
  c.settings.character = ostratapedelay::dsp::TapeDelay::kMedium;
  EXPECT_FALSE(RepeatsWorker::sameRequest(a, c));

  auto n = a;
  n.settings.highCut = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(RepeatsWorker::sameRequest(n, n));
}

TEST(RepeatsWorker, NoResultsBeforeTheFirstMeasurementAndNoThreadWithoutARequest)
{
  FakeMeasure fake;
  RepeatsWorker worker(fake.fn());
  std::vector<RepeatsWorker::Repeat> out{{9.0, true, 3, 0.0, 0.0, 0.0}};
  EXPECT_FALSE(worker.takeResults(false, out));
  EXPECT_FALSE(worker.takeResults(true, out));
  ASSERT_EQ(out.size(), 1u); // untouched
  EXPECT_EQ(out[0].index, 3);
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(fake.count(), 0u);
}

TEST(RepeatsWorker, WobbleOnlyChangeIsIgnored)
{
  FakeMeasure fake;
  RepeatsWorker worker(fake.fn());
  auto r = requestWithTime(0.3);
  worker.request(r);
  std::vector<RepeatsWorker::Repeat> out;
  ASSERT_TRUE(waitFor([&] { return worker.takeResults(true, out); }));
  r.settings.wobble = 2.0;
  worker.request(r);
  std::this_thread::sleep_for(120ms);
  EXPECT_EQ(fake.count(), 1u);
  EXPECT_FALSE(worker.takeResults(true, out)); // nothing fresh
  EXPECT_TRUE(worker.takeResults(false, out)); // the old results are still there
  ASSERT_EQ(out.size(), 1u);
  EXPECT_DOUBLE_EQ(out[0].time, 0.3);
}

TEST(RepeatsWorker, TenRequestsTenMillisecondsApartMeasureOnceFortyMillisecondsAfterTheLast)
{
  FakeMeasure fake;
  RepeatsWorker worker(fake.fn());
  Clock::time_point last;
  for (int i = 0; i < 10; ++i)
  {
    last = Clock::now();
    worker.request(requestWithTime(0.1 + 0.01 * i));
    std::this_thread::sleep_for(10ms);
  }
  std::vector<RepeatsWorker::Repeat> out;
  ASSERT_TRUE(waitFor([&] { return worker.takeResults(true, out); }));
  std::this_thread::sleep_for(100ms);
  ASSERT_EQ(fake.count(), 1u);
  EXPECT_GE(fake.starts[0] - last, RepeatsWorker::kDebounce);
  EXPECT_DOUBLE_EQ(fake.times[0], 0.19); // the last request's
  ASSERT_EQ(out.size(), 1u);
  EXPECT_DOUBLE_EQ(out[0].time, 0.19);
  // Taken once; a second fresh take finds nothing new.
  EXPECT_FALSE(worker.takeResults(true, out));
}

TEST(RepeatsWorker, ARequestDuringAMeasurementCancelsItAndTheOldResultsStay)
{
  FakeMeasure fake;
  RepeatsWorker worker(fake.fn());
  std::vector<RepeatsWorker::Repeat> out;
  worker.request(requestWithTime(0.2));
  ASSERT_TRUE(waitFor([&] { return worker.takeResults(true, out); }));

  fake.hold = true;
  worker.request(requestWithTime(0.4));
  ASSERT_TRUE(waitFor([&] { return fake.running.load() == 1; }));
  worker.request(requestWithTime(0.6)); // cancels the running 0.4 measurement
  ASSERT_TRUE(waitFor([&] { return fake.cancelled.load() == 1; }));

  // Meanwhile the display keeps the old bars.
  EXPECT_FALSE(worker.takeResults(true, out));
  ASSERT_TRUE(worker.takeResults(false, out));
  EXPECT_DOUBLE_EQ(out[0].time, 0.2);

  // The newer request is measured after its own quiet period and replaces them.
  ASSERT_TRUE(waitFor([&] { return fake.running.load() == 1; }));
  fake.hold = false;
  ASSERT_TRUE(waitFor([&] { return worker.takeResults(true, out); }));
  EXPECT_DOUBLE_EQ(out[0].time, 0.6);
  std::lock_guard guard(fake.lock);
  ASSERT_EQ(fake.times.size(), 3u);
  EXPECT_DOUBLE_EQ(fake.times[1], 0.4);
  EXPECT_DOUBLE_EQ(fake.times[2], 0.6);
}

TEST(RepeatsWorker, DestructionDuringAMeasurementReturnsWithinOneCancellationStep)
{
  FakeMeasure fake;
  fake.hold = true;
  auto worker = std::make_unique<RepeatsWorker>(fake.fn());
  worker->request(requestWithTime(0.2));
  ASSERT_TRUE(waitFor([&] { return fake.running.load() == 1; }));
  const auto start = Clock::now();
  worker.reset();
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_EQ(fake.cancelled.load(), 1);
  EXPECT_EQ(fake.running.load(), 0);
}

TEST(RepeatsWorker, DestructionDuringTheQuietPeriodDoesNotMeasure)
{
  FakeMeasure fake;
  auto worker = std::make_unique<RepeatsWorker>(fake.fn());
  worker->request(requestWithTime(0.2));
  worker.reset();
  EXPECT_EQ(fake.count(), 0u);
}

TEST(RepeatsWorkerModel, WithoutAGivenMeasurementTheRepeatsModelMeasures)
{
  RepeatsWorker worker;
  worker.request(requestWithTime(0.25));
  std::vector<RepeatsWorker::Repeat> out;
  ASSERT_TRUE(waitFor([&] { return worker.takeResults(true, out); }));
  ASSERT_GE(out.size(), 2u);
  EXPECT_NEAR(out[0].time, 0.25, 1e-3);
  EXPECT_FALSE(out[0].right);
  EXPECT_TRUE(out[1].right); // the right echo at the same time follows
  EXPECT_GT(out[0].levelDb, out.back().levelDb);
}

#include "PluginHost.h"

TEST(RepeatsWorkerPlugin, ThePluginsWorkerSurvivesAClosedEditorAndHandsItsResultsToANewDisplay)
{
  ostra::test::PluginHost host;
  auto& plugin = *host.plugin;
  host.set({{ostratapedelay::plugin::kSync, 0.0},
            {ostratapedelay::plugin::kTimeL, 300.0},
            {ostratapedelay::plugin::kTimeR, 300.0}});
  EXPECT_EQ(plugin.repeatsWorker(), nullptr);
  std::vector<RepeatsWorker::Repeat> out;
  // The idle tick polls every 20 ms until the first result arrives.
  ASSERT_TRUE(waitFor(
      [&]
      {
        std::this_thread::sleep_for(20ms);
        return plugin.pollRepeats(false, out);
      }));
  ASSERT_FALSE(out.empty());
  EXPECT_NEAR(out[0].time, 0.3, 1e-3);
  EXPECT_FALSE(plugin.pollRepeats(true, out)); // nothing new since
  // A display made later (the editor reopened) takes the same results at once.
  std::vector<RepeatsWorker::Repeat> again;
  EXPECT_TRUE(plugin.pollRepeats(false, again));
  ASSERT_EQ(again.size(), out.size());
  EXPECT_DOUBLE_EQ(again[0].levelDb, out[0].levelDb);

  // Drive reaches the request; a new time shows up as new results.
  host.set({{ostratapedelay::plugin::kDrive, 6.0}, {ostratapedelay::plugin::kTimeL, 200.0}});
  EXPECT_DOUBLE_EQ(plugin.repeatsRequest().driveDb, 6.0);
  ASSERT_TRUE(waitFor(
      [&]
      {
        std::this_thread::sleep_for(20ms);
        return plugin.pollRepeats(true, out);
      }));
  EXPECT_NEAR(out[0].time, 0.2, 1e-3);
}
