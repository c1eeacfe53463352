// The threads an LV2 host uses on one instance while its editor is open, all at once: the
// UI thread (idle, typed values, preset saves, loads and removals, port events), the
// worker, state save and restore on a third thread, and audio. Under ThreadSanitizer this
// finds any field two of them share unguarded; in every build it checks that what reaches
// the host comes from the UI thread only and that nothing fails.
#include "EditorHostStub.h"
#include "plugin/StateTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ostra::lv2test
{
namespace
{

using namespace std::chrono_literals;
using ostratapedelay::lv2::EditorLock;
using ostratapedelay::lv2::Lv2Instance;
namespace plugin = ostratapedelay::plugin;

/** A state as the host keeps it between save and restore. */
struct SavedState
{
  std::vector<std::uint8_t> bytes;
  std::uint32_t key = 0, type = 0;
};

LV2_State_Status store(LV2_State_Handle handle, std::uint32_t key, const void* value, size_t size,
                       std::uint32_t type, std::uint32_t)
{
  auto* state = static_cast<SavedState*>(handle);
  const auto* bytes = static_cast<const std::uint8_t*>(value);
  state->bytes.assign(bytes, bytes + size);
  state->key = key;
  state->type = type;
  return LV2_STATE_SUCCESS;
}

const void* retrieve(LV2_State_Handle handle, std::uint32_t key, size_t* size, std::uint32_t* type,
                     std::uint32_t* flags)
{
  auto* state = static_cast<SavedState*>(handle);
  if (key != state->key || state->bytes.empty())
    return nullptr;
  *size = state->bytes.size();
  *type = state->type;
  *flags = LV2_STATE_IS_POD;
  return state->bytes.data();
}

TEST(EditorThreads, UiIdleAndPresetsWorkerStateAndAudioRunAtOnce)
{
  ostra::test::TempDataHome home; // before the instance: its update worker reads it
  const std::string updates = (home.root / "updates").string();
  setenv("CORVANA_UPDATES_FOLDER", updates.c_str(), 1);
  setenv("CORVANA_UPDATES_URL", "http://127.0.0.1:9/updates.json", 1); // refused at once

  InstanceHost host;
  auto instance = host.make();
  ASSERT_NE(instance, nullptr);
  std::vector<float> controls(plugin::kNumParams);
  for (int i = 0; i < plugin::kNumParams; ++i)
  {
    controls[size_t(i)] = float(instance->effect().GetParam(i)->Value());
    instance->connectPort(std::uint32_t(i), &controls[size_t(i)]);
  }
  std::vector<float> in(256), outL(256), outR(256);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = float(std::sin(double(i) * 0.05)) * 0.3f;
  using ostratapedelay::lv2::kPortAudio;
  instance->connectPort(kPortAudio, in.data());
  instance->connectPort(kPortAudio + 1, in.data());
  instance->connectPort(kPortAudio + 2, outL.data());
  instance->connectPort(kPortAudio + 3, outR.data());

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0}, nonFinite{0}, works{0}, saves{0}, badRestores{0};
  int uiRounds = 0, presetRounds = 0, canvases = 0;
  bool uiOpened = false;
  std::vector<EditorHostStub::Event> events;

  std::thread audio(
      [&]
      {
        while (!stop)
        {
          instance->run(256);
          for (size_t i = 0; i < outL.size(); ++i)
            nonFinite += !std::isfinite(outL[i]) || !std::isfinite(outR[i]);
          ++blocks;
        }
      });
  std::thread worker(
      [&]
      {
        while (!stop)
        {
          instance->work();
          ++works;
          std::this_thread::sleep_for(1ms);
        }
      });
  std::thread state(
      [&]
      {
        while (!stop)
        {
          SavedState saved;
          saves += instance->save(store, &saved) == LV2_STATE_SUCCESS;
          badRestores += instance->restore(retrieve, &saved) != LV2_STATE_SUCCESS;
        }
      });
  std::thread ui(
      [&]
      {
        EditorHostStub stub;
        const auto& access = Lv2Instance::editorAccess();
        {
          EditorLock lock(access, instance.get());
          uiOpened = access.open(instance.get(), &stub.host) != nullptr;
        }
        for (; uiOpened && !stop; ++uiRounds)
        {
          EditorLock lock(access, instance.get());
          access.idle(instance.get(), &stub.host);
          auto& fx = instance->effect();
          auto& editor = fx.editorDelegate();
          editor.BeginInformHostOfParamChangeFromUI(plugin::kMix);
          editor.SendParameterValueFromUI(plugin::kMix, double(uiRounds % 10) / 10.0);
          editor.EndInformHostOfParamChangeFromUI(plugin::kMix);
          access.portEvent(instance.get(), plugin::kFeedback, float(40 + uiRounds % 20));
          if (uiRounds % 8 == 0)
          {
            fx.savePreset("Threads", false);
            for (const auto& preset : fx.savedPresets())
              if (preset.name == "Threads")
              {
                fx.loadPreset(preset);
                fx.removePreset(preset);
              }
            fx.loadFactoryPreset("Ping and pong");
            ++presetRounds;
          }
        }
        EditorLock lock(access, instance.get());
        access.close(instance.get(), &stub.host);
        events = stub.events;
        canvases = stub.canvasesMade;
        for (const auto& event : events)
          EXPECT_EQ(event.thread, std::this_thread::get_id());
      });

  std::this_thread::sleep_for(1500ms);
  stop = true;
  ui.join();
  state.join();
  worker.join();
  audio.join();
  unsetenv("CORVANA_UPDATES_URL");
  unsetenv("CORVANA_UPDATES_FOLDER");

  ASSERT_TRUE(uiOpened);
  EXPECT_GE(canvases, 1);
  EXPECT_GT(uiRounds, 10);
  EXPECT_GT(presetRounds, 0);
  EXPECT_GT(blocks, 0);
  EXPECT_EQ(nonFinite, 0);
  EXPECT_GT(works, 0);
  EXPECT_GT(saves, 0);
  EXPECT_EQ(badRestores, 0);
  // Every value reached the host inside a gesture of its parameter, each gesture ended, and
  // each typed value was one gesture of its own.
  std::vector<bool> open(plugin::kNumParams, false);
  int typed = 0;
  for (size_t i = 0; i < events.size(); ++i)
  {
    const auto& e = events[i];
    ASSERT_GE(e.param, 0);
    ASSERT_LT(e.param, plugin::kNumParams);
    const size_t p = size_t(e.param);
    EXPECT_EQ(open[p], e.kind != 't') << "event " << i;
    open[p] = e.kind != 'r';
    typed += e.kind == 't' && e.param == plugin::kMix && i + 2 < events.size() &&
             events[i + 1].kind == 'w' && events[i + 2].kind == 'r';
  }
  for (int p = 0; p < plugin::kNumParams; ++p)
    EXPECT_FALSE(open[size_t(p)]) << "parameter " << p << " left in a gesture";
  EXPECT_GE(typed, uiRounds - 1);
  EXPECT_EQ(instance->effect().ui(), nullptr);
}

} // namespace
} // namespace ostra::lv2test
