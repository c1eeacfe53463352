// The instance's editor side: who runs the plug-in's idle tick (the host's worker while no
// editor is open, the host's UI thread at 20 ms of its own clock while one is, never both),
// and what of the editor reaches the host.
#include "EditorHostStub.h"

#include <gtest/gtest.h>

#include <future>

namespace ostra::lv2test
{
namespace
{

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ostratapedelay::lv2::EditorLock;
using ostratapedelay::lv2::Lv2Instance;

struct EditorSide : ::testing::Test
{
  void SetUp() override
  {
    instance = host.make();
    ASSERT_NE(instance, nullptr);
    instance->setEditorClock([this] { return now; });
  }
  std::uint64_t ticks() { return instance->effect().GetTimer().NTicks(); }
  bool open()
  {
    EditorLock lock(Lv2Instance::editorAccess(), instance.get());
    return instance->openEditor(stub.host) != nullptr;
  }
  /** Idle calls every `step` of the fake clock over `span`. */
  void idleEvery(Clock::duration step, Clock::duration span)
  {
    const Clock::time_point end = now + span;
    while (now < end)
    {
      now += step;
      EditorLock lock(Lv2Instance::editorAccess(), instance.get());
      ASSERT_TRUE(instance->editorIdle());
    }
  }

  InstanceHost host;
  EditorHostStub stub;
  std::unique_ptr<Lv2Instance> instance;
  Clock::time_point now = Clock::time_point{} + 1h;
};

TEST_F(EditorSide, TheUiThreadTicksEvery20MsHoweverOftenTheHostCallsIdle)
{
  ASSERT_TRUE(open());
  const auto before = ticks();
  idleEvery(5ms, 1s); // a fast host
  EXPECT_NEAR(double(ticks() - before), 50.0, 1.0);
  EXPECT_EQ(stub.viewIdles, 200); // the view steps on every call

  const auto middle = ticks();
  idleEvery(60ms, 1200ms); // a slow host still gets fifty a second
  EXPECT_NEAR(double(ticks() - middle), 60.0, 1.0);

  // After a stall the tick does not burst to make up for all of it.
  const auto beforeStall = ticks();
  idleEvery(2s, 2s);
  EXPECT_LE(ticks() - beforeStall, 5u);
  EXPECT_GE(ticks() - beforeStall, 1u);
}

TEST_F(EditorSide, TheWorkersTickStandsAsideWhileTheEditorIsOpenAndReturnsAfter)
{
  instance->work();
  instance->work();
  EXPECT_EQ(ticks(), 2u);

  ASSERT_TRUE(open());
  const auto opened = ticks();
  for (int i = 0; i < 10; ++i)
    instance->work();
  EXPECT_EQ(ticks(), opened);

  {
    EditorLock lock(Lv2Instance::editorAccess(), instance.get());
    instance->closeEditor();
  }
  EXPECT_EQ(instance->effect().ui(), nullptr);
  instance->work();
  EXPECT_EQ(ticks(), opened + 1);
}

TEST_F(EditorSide, NeitherTheWorkerNorAnOfflineRunEverWaitsForTheUiThread)
{
  // An offline render without a worker ticks inside run().
  auto offline = host.make(false);
  std::vector<float> in(4800, 0.f), outL(4800, 0.f), outR(4800, 0.f);
  float freeWheel = 1.f;
  using ostratapedelay::lv2::kPortAudio;
  offline->connectPort(ostratapedelay::lv2::kPortFreeWheel, &freeWheel);
  offline->connectPort(kPortAudio, in.data());
  offline->connectPort(kPortAudio + 1, in.data());
  offline->connectPort(kPortAudio + 2, outL.data());
  offline->connectPort(kPortAudio + 3, outR.data());

  // The UI thread holds the lock as long as a message box is up.
  instance->lockEditor();
  offline->lockEditor();
  auto worker = std::async(std::launch::async, [this] { instance->work(); });
  auto render = std::async(std::launch::async, [&] { offline->run(4800); });
  const bool workerReturned = worker.wait_for(10s) == std::future_status::ready;
  const bool renderReturned = render.wait_for(10s) == std::future_status::ready;
  instance->unlockEditor();
  offline->unlockEditor();
  worker.wait();
  render.wait();
  EXPECT_TRUE(workerReturned) << "the worker waited for the UI thread";
  EXPECT_TRUE(renderReturned) << "run() waited for the UI thread";
  EXPECT_EQ(ticks(), 0u);
  EXPECT_EQ(offline->effect().GetTimer().NTicks(), 0u);

  // Once the UI thread lets go, both tick again.
  instance->work();
  offline->run(4800);
  EXPECT_EQ(ticks(), 1u);
  EXPECT_GE(offline->effect().GetTimer().NTicks(), 1u);
}

TEST_F(EditorSide, OnlyTheUiThreadsEditsReachTheHostAsGestures)
{
  ASSERT_TRUE(open());
  auto& fx = instance->effect();
  fx.editorDelegate().BeginInformHostOfParamChangeFromUI(ostratapedelay::plugin::kFeedback);
  fx.editorDelegate().SendParameterValueFromUI(ostratapedelay::plugin::kFeedback, 0.5);
  fx.editorDelegate().EndInformHostOfParamChangeFromUI(ostratapedelay::plugin::kFeedback);
  ASSERT_EQ(stub.events.size(), 3u);
  EXPECT_EQ(stub.events[0].kind, 't');
  EXPECT_EQ(stub.events[1].kind, 'w');
  // The port carries the real value, not the normalised one.
  EXPECT_FLOAT_EQ(stub.events[1].value,
                  float(fx.GetParam(ostratapedelay::plugin::kFeedback)->Value()));
  EXPECT_GT(stub.events[1].value, 1.f);
  EXPECT_EQ(stub.events[2].kind, 'r');

  // The same calls from another thread (a host restoring state there) reach nobody.
  std::thread other([&] { fx.DirtyParametersFromUI(); });
  other.join();
  EXPECT_EQ(stub.events.size(), 3u);
}

TEST_F(EditorSide, SizeChangesGoBothWaysBetweenTheEditorAndTheHostsWindow)
{
  int askedWidth = 0, askedHeight = 0;
  stub.host.resize = [](void* c, int width, int height)
  {
    auto* self = static_cast<EditorHostStub*>(c);
    self->add('s', width, float(height));
    return true;
  };
  ASSERT_TRUE(open());
  auto& fx = instance->effect();

  // The size menu asks the host for the new window size.
  fx.applyEditorScale(1.5f);
  for (const auto& e : stub.events)
    if (e.kind == 's')
    {
      askedWidth = e.param;
      askedHeight = int(e.value);
    }
  EXPECT_EQ(askedWidth, 1500);
  EXPECT_EQ(askedHeight, 684);

  // The host's resize of its window reaches the editor, corrected to the editor's aspect.
  {
    EditorLock lock(Lv2Instance::editorAccess(), instance.get());
    Lv2Instance::editorAccess().parentResized(instance.get(), 800, 500);
  }
  EXPECT_FLOAT_EQ(fx.ui()->GetDrawScale(), 0.8f);
  EXPECT_EQ(fx.GetEditorWidth(), 800);
  EXPECT_EQ(fx.GetEditorHeight(), 365);
}

TEST_F(EditorSide, ASecondUiTakesTheEditorOverAndTheFirstClosesNothingOfIt)
{
  const auto& access = Lv2Instance::editorAccess();
  ASSERT_TRUE(open());
  EditorHostStub second;
  EditorLock lock(access, instance.get());
  ASSERT_NE(access.open(instance.get(), &second.host), nullptr);
  EXPECT_EQ(second.canvasesMade, 1);

  // The first UI hears its editor is gone; closing it leaves the second's open.
  EXPECT_FALSE(access.idle(instance.get(), &stub.host));
  access.close(instance.get(), &stub.host);
  EXPECT_NE(instance->effect().ui(), nullptr);
  EXPECT_TRUE(access.idle(instance.get(), &second.host));

  access.close(instance.get(), &second.host);
  EXPECT_EQ(instance->effect().ui(), nullptr);
}

} // namespace
} // namespace ostra::lv2test
