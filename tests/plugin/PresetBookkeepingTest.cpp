// Preset bookkeeping: factory presets, saving, replacing, the modified mark, loading and
// deleting user presets, with the message boxes answered by the test.
#include "plugin/StateChunk.h"
#include "plugin/StateTestSupport.h"
#include "presets/Base64.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <tuple>

using namespace ostratapedelay::plugin;
using corvana::presets::SavedPreset;
using ostra::test::ChunkWriter;
using ostra::test::ScriptedPlugin;
using ostra::test::TempDataHome;

namespace
{

class PresetBookkeeping : public ::testing::Test
{
protected:
  TempDataHome home; // before the plug-in, so no worker sees the variable change
  std::unique_ptr<ScriptedPlugin> plugin = std::make_unique<ScriptedPlugin>();

  void set(int idx, double value) { plugin->SetParameterFromHost(idx, value, 0); }
  double value(int idx) const { return plugin->GetParam(idx)->Value(); }
  std::filesystem::path file(const std::string& name) const { return home.presets() / (name + ".otdpreset"); }

  std::optional<SavedPreset> find(const std::string& name) const
  {
    const auto list = plugin->savedPresets();
    const auto it = std::ranges::find(list, name, &SavedPreset::name);
    return it == list.end() ? std::nullopt : std::optional(*it);
  }

  /** Saves `name` with the current values and loads it, as the preset bar would. */
  void saveAndLoad(const std::string& name)
  {
    plugin->savePreset(name, false);
    const auto preset = find(name);
    ASSERT_TRUE(preset) << name;
    plugin->loadPreset(*preset);
    plugin->OnIdle();
    ASSERT_EQ(plugin->presetName(), name);
    ASSERT_FALSE(plugin->presetModified());
  }

  /** The header and the parameter value at `idx` of a preset file's state. */
  static double storedValue(const std::filesystem::path& path, int idx, StateHeader* headerOut = nullptr)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_TRUE(corvana::presets::readPreset(ostratapedelay::offline::kPresetFormat, path, preset, error)) << error;
    plug::IByteChunk chunk;
    chunk.AppendBytes(preset.state.data(), static_cast<int>(preset.state.size()));
    StateHeader local;
    StateHeader& header = headerOut ? *headerOut : local;
    EXPECT_TRUE(readStateHeader(chunk, 0, header));
    double v = -12345.0;
    chunk.ReadValue(v, header.valuesPos + 8 * idx);
    return v;
  }

  static void writeFile(const std::filesystem::path& path, const std::string& text)
  {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }

  /** Writes a preset file named `name` holding `state`. */
  void writePreset(const std::string& name, const ChunkWriter& state) const
  {
    const auto* bytes = reinterpret_cast<const unsigned char*>(state.data.data());
    writeFile(file(name), "OstraTape-delay preset 1\nname=" + name + "\nstate=" +
                            corvana::presets::toBase64(std::span(bytes, state.data.size())) + "\n");
  }
};

TEST_F(PresetBookkeeping, FactoryPresetsSetTheirValuesAndNothingElse)
{
  struct Row { const char* name; double values[18]; };
  const Row rows[] = {
    {"Ping and pong",
     {0, 782, 500, 7, 13, 1, 1, 14.967078, 1, 4.302004, 432.80312, 5761.1225, 170.75992, 0, 0, 2.0204080, 400, 100}},
    {"Warm and wide delay",
     {0, 782, 500, 13, 13, 1, 1, 27.106649, 0, 12.001983, 179.70709, 4500, 122.48705, 49.824575, 0, 3.2932063, 400,
      100}}};
  const auto& stored = ostratapedelay::offline::factoryPresets();
  ASSERT_EQ(stored.size(), 2u);
  // A user preset first, so there is an accent, a window size and an input mode to keep.
  const auto user = ChunkWriter{}.header(3, 2, 1500, 684, "Mine").values(1, ostra::test::sampleValues()).tail(2, 0);
  ASSERT_GT(plugin->UnserializeState(user.chunk(), 0), 0);
  plugin->takeAccentChanged();

  for (size_t r = 0; r < 2; ++r)
  {
    const Row& row = rows[r];
    SCOPED_TRACE(row.name);
    // Stored as version-2 chunks: 188 bytes besides the name.
    EXPECT_EQ(stored[r].name, row.name);
    EXPECT_EQ(stored[r].state.size(), 188u + std::string(row.name).size());

    plugin->hostEvents.clear();
    plugin->loadFactoryPreset(row.name);
    for (int i = 0; i < kNumParams; ++i)
      EXPECT_EQ(value(i), row.values[i]) << "parameter " << i;
    plugin->OnIdle();
    // Clean and marked factory; accent, window and input mode stay those of the user preset.
    EXPECT_EQ(std::tuple(plugin->presetName(), plugin->presetIsFactory(), plugin->presetModified(),
                         plugin->accentIndex(), plugin->takeAccentChanged(), plugin->GetEditorWidth(),
                         plugin->inputMode(), plugin->told.size()),
              std::tuple(std::string(row.name), true, false, 2u, false, 1500, 2, size_t(0)));
    // The host hears every value inside one gesture per parameter.
    ASSERT_EQ(plugin->hostEvents.size(), 3u * kNumParams);
    EXPECT_EQ(plugin->hostEvents.front() + ", " + plugin->hostEvents.back(), "begin 0, end 17");
  }
  plugin->loadFactoryPreset("Ping and Pong"); // an unknown name does nothing at all
  EXPECT_EQ(plugin->presetName(), "Warm and wide delay");
  EXPECT_TRUE(plugin->told.empty());
}

TEST_F(PresetBookkeeping, SavingTrimsTheNameAndLoadingTakesTheAccentButNotTheInputMode)
{
  plugin->setAccentIndex(4);
  plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  set(kFeedback, 44.0);
  plugin->savePreset(" \tMy Delay \t", false);
  EXPECT_EQ(std::tuple(plugin->presetName(), plugin->presetIsFactory(), plugin->presetModified(), plugin->told.size()),
            std::tuple(std::string("My Delay"), false, false, size_t(0)));
  StateHeader h;
  EXPECT_EQ(storedValue(file("My Delay"), kFeedback, &h), 44.0);
  EXPECT_EQ(std::tuple(h.name, h.accent, h.modifiedWord), std::tuple(std::string("My Delay"), 4u, 0u));

  plugin->setAccentIndex(3);
  plugin->setInputMode(OstraTapeDelay::kInputStereo);
  set(kMix, 20.0);
  plugin->loadPreset(*find("My Delay"));
  EXPECT_EQ(std::tuple(plugin->accentIndex(), plugin->inputMode(), value(kMix)),
            std::tuple(4u, int(OstraTapeDelay::kInputStereo), 100.0));

  // Only spaces and tabs: nothing written, nothing said, nothing changed.
  plugin->savePreset(" \t  ", false);
  plugin->requestSave("   ");
  EXPECT_EQ(plugin->savedPresets().size(), 1u);
  EXPECT_EQ(plugin->presetName(), "My Delay");
  EXPECT_TRUE(plugin->told.empty());
  EXPECT_FALSE(plugin->hasPendingSave());
}

TEST_F(PresetBookkeeping, OwnPresetsAreOverwrittenWithoutAQuestion)
{
  saveAndLoad("My Delay");
  set(kFeedback, 71.0);
  plugin->requestSave("My Delay");
  EXPECT_FALSE(plugin->hasPendingSave());
  EXPECT_EQ(storedValue(file("My Delay"), kFeedback), 71.0);
  EXPECT_EQ(plugin->savedPresets().size(), 1u);

  // A factory preset's name writes a user preset; loaded from the factory again, the same
  // name now meets the user file and asks.
  plugin->loadFactoryPreset("Ping and pong");
  plugin->requestSave("Ping and pong");
  EXPECT_TRUE(std::filesystem::exists(file("Ping and pong")));
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_TRUE(plugin->asked.empty());
  plugin->loadFactoryPreset("Ping and pong");
  plugin->requestSave("Ping and pong");
  EXPECT_TRUE(plugin->hasPendingSave());
}

TEST_F(PresetBookkeeping, ReplacingAnotherPresetAsksOnTheNextIdleTick)
{
  set(kFeedback, 11.0);
  plugin->savePreset("Other", false);
  saveAndLoad("Mine");
  set(kFeedback, 22.0);

  // Typed with spaces around it, the name still finds its file.
  plugin->requestSave("  Other ");
  EXPECT_TRUE(plugin->hasPendingSave());
  EXPECT_TRUE(plugin->asked.empty()); // never from inside the preset bar's callback
  plugin->OnIdle();
  plugin->OnIdle();
  ASSERT_EQ(plugin->asked.size(), 1u); // once only
  EXPECT_EQ(plugin->asked[0].text, "A preset named \"Other\" already exists. Replace it?");
  EXPECT_EQ(plugin->asked[0].title, "Save preset");
  EXPECT_FALSE(plugin->hasPendingSave());
  EXPECT_EQ(storedValue(file("Other"), kFeedback), 11.0); // answered No
  EXPECT_EQ(plugin->presetName(), "Mine");

  plugin->answer = true;
  plugin->requestSave("Other");
  plugin->OnIdle();
  EXPECT_EQ(storedValue(file("Other"), kFeedback), 22.0);
  EXPECT_EQ(plugin->presetName(), "Other");

  // Without an editor to ask, the answer is No.
  OstraTapeDelay plain;
  plain.SetParameterFromHost(kFeedback, 55.0, 0);
  plain.requestSave("Other");
  plain.OnIdle();
  EXPECT_EQ(storedValue(file("Other"), kFeedback), 22.0);
}

TEST_F(PresetBookkeeping, FailedSaveKeepsTheNameAndTheModifiedMark)
{
  saveAndLoad("Kept");
  set(kDrive, 3.0);
  plugin->OnIdle();
  ASSERT_TRUE(plugin->presetModified());

  // A regular file where the preset folder should be: nothing can be written.
  std::filesystem::remove_all(home.presets());
  writeFile(home.presets(), "in the way");
  plugin->savePreset("New", false);
  ASSERT_EQ(plugin->told.size(), 1u);
  EXPECT_EQ(plugin->told[0].title, "Save preset");
  EXPECT_EQ(plugin->told[0].text.rfind("Could not save the preset: could not write " + home.presets().string(), 0), 0u)
    << plugin->told[0].text;
  EXPECT_EQ(plugin->presetName(), "Kept");
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());

  // The same for a factory preset that was clean.
  plugin->loadFactoryPreset("Warm and wide delay");
  plugin->savePreset("New", false);
  EXPECT_EQ(plugin->presetName(), "Warm and wide delay");
  EXPECT_TRUE(plugin->presetIsFactory());
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
}

TEST_F(PresetBookkeeping, ModifiedMarkFollowsTheIdleTickSnapshot)
{
  // Without a loaded preset nothing counts as modified.
  set(kMix, 10.0);
  plugin->OnIdle();
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());

  set(kTimeL, 500.0);
  set(kFeedback, 0.0);
  saveAndLoad("Exact");
  // Within one millionth of the value (of 1 for values below 1): still clean.
  set(kTimeL, 500.0004);
  set(kFeedback, 0.0000009);
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  set(kTimeL, 500.0006);
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
  set(kTimeL, 500.0); // back to the snapshot: stays modified until the next retake
  set(kFeedback, 0.0);
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());

  // A value changed between a load and the tick that takes the snapshot belongs to it.
  plugin->loadPreset(*find("Exact"));
  set(kFeedback, 0.0000011);
  plugin->OnIdle();
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  set(kFeedback, 0.0);
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());

  // Bypass counts, seen on the idle tick and not before.
  saveAndLoad("Bypassed");
  set(kBypass, 1.0);
  EXPECT_FALSE(plugin->presetModified());
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
}

TEST_F(PresetBookkeeping, LoadingFromFiles)
{
  // A saved modified word does not make a loaded preset modified.
  writePreset("Dirty", ChunkWriter{}.header(3, 0, 1000, 456, "Dirty").values(1, ostra::test::sampleValues()).tail(0, 0));
  plugin->loadPreset(*find("Dirty"));
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  EXPECT_EQ(value(kMix), 75.0);

  saveAndLoad("Good");
  set(kFeedback, 66.0);
  plugin->setAccentIndex(3);
  plugin->hostEvents.clear();
  struct Case { const char* name; std::string fileText; ChunkWriter state; const char* told; }; // text or state
  const Case cases[] = {
    // The file changed since the list was taken: it is read again.
    {"Good", "OstraTape-delay preset 2\n", {}, "not an OstraTape-delay preset: Good.otdpreset"},
    {"Foreign", "OstraTape-delay preset 1\nname=Foreign\nstate=AAAAAAAAAAAA\n", {},
     "it does not hold an OstraTape-delay state."},
    // Our magic with the values cut short: nothing is taken, not even the accent.
    {"Cut", "", ChunkWriter{}.header(3, 1, 1500, 684, "Cut").values(0, {1.0, 600.0, 700.0}, 18),
     "its state is damaged."},
    // Our magic with a negative count is damaged too, not a list of doubles.
    {"Negative", "", ChunkWriter{}.header(3, 1, 1000, 456, "").values(0, std::vector<double>(20, 1.0), -1),
     "its state is damaged."}};
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.name);
    auto preset = find(c.name);
    if (c.fileText.empty())
      writePreset(c.name, c.state);
    else
      writeFile(file(c.name), c.fileText);
    plugin->loadPreset(preset ? *preset : *find(c.name));
    ASSERT_FALSE(plugin->told.empty());
    EXPECT_EQ(plugin->told.back().text, std::string("Could not load the preset: ") + c.told);
    EXPECT_EQ(plugin->told.back().title, "Load preset");
    // Nothing of it is taken, and the host hears nothing.
    EXPECT_EQ(std::tuple(value(kFeedback), value(kMix), plugin->accentIndex(), plugin->storedEditorWidth(),
                         plugin->presetName(), plugin->hostEvents.size()),
              std::tuple(66.0, 75.0, 3u, 1000, std::string("Good"), size_t(0)));
  }
  EXPECT_EQ(plugin->told.size(), 4u);
}

TEST_F(PresetBookkeeping, DeletingKeepsTheLoadedNameAndFailuresAreTold)
{
  saveAndLoad("Gone");
  const auto gone = find("Gone");
  plugin->removePreset(*gone);
  EXPECT_FALSE(std::filesystem::exists(gone->path));
  EXPECT_EQ(plugin->presetName(), "Gone");
  EXPECT_TRUE(plugin->told.empty());

  plugin->removePreset(*gone);
  ASSERT_EQ(plugin->told.size(), 1u);
  EXPECT_EQ(plugin->told[0].text, "Could not delete the preset: could not delete Gone.otdpreset");
  EXPECT_EQ(plugin->told[0].title, "Delete preset");

  // The next save of that name recreates it without a question.
  plugin->requestSave("Gone");
  EXPECT_TRUE(plugin->asked.empty());
  EXPECT_TRUE(std::filesystem::exists(gone->path));
}

TEST_F(PresetBookkeeping, PresetListIsSortedAndFileNamesAreSafe)
{
  EXPECT_EQ(plugin->presetDirectory(), home.presets());
  for (const char* name : {"b", "B", "a/b:c"})
    plugin->savePreset(name, false);
  const auto list = plugin->savedPresets();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "B");
  EXPECT_EQ(list[1].name, "a/b:c");
  EXPECT_EQ(list[2].name, "b");
  EXPECT_EQ(list[1].path, file("a-b-c"));
}

} // namespace
