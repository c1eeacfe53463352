// Preset bookkeeping: factory presets, saving, replacing, the modified mark, loading and
// deleting user presets, with the message boxes answered by the test.
#include "plugin/StateTestSupport.h"
#include "presets/Base64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <tuple>

using namespace ostratapedelay::plugin;
using corvana::presets::SavedPreset;
using ostra::test::ChunkWriter;

namespace
{

class PresetBookkeeping : public ::testing::Test
{
protected:
  ostra::test::TempDataHome home; // before the plug-in, so no worker sees the variable change
  std::unique_ptr<ostra::test::ScriptedPlugin> plugin =
      std::make_unique<ostra::test::ScriptedPlugin>();

  void set(int idx, double value) { plugin->SetParameterFromHost(idx, value, 0); }
  double value(int idx) const { return plugin->GetParam(idx)->Value(); }
  std::filesystem::path file(const std::string& name) const
  {
    return home.presets() / (name + ".otdpreset");
  }

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
    ASSERT_TRUE(find(name)) << name;
    plugin->loadPreset(*find(name));
    plugin->OnIdle();
    ASSERT_EQ(std::pair(plugin->presetName(), plugin->presetModified()), std::pair(name, false));
  }

  /** The value at `idx` in the state of the saved preset `name`. */
  double storedValue(const std::string& name, int idx) const
  {
    const auto preset = find(name);
    plug::IByteChunk chunk;
    chunk.AppendBytes(preset->state.data(), int(preset->state.size()));
    OstraTapeDelay reader;
    EXPECT_GT(reader.UnserializeState(chunk, 0), 0) << name;
    return reader.GetParam(idx)->Value();
  }
};

TEST_F(PresetBookkeeping, FactoryPresetsSetTheirValuesAndNothingElse)
{
  struct Row
  {
    const char* name;
    double values[18];
  };
  const Row rows[] = {{"Ping and pong",
                       {0, 782, 500, 7, 13, 1, 1, 14.967078, 1, 4.302004, 432.80312, 5761.1225,
                        170.75992, 0, 0, 2.0204080, 400, 100}},
                      {"Warm and wide delay",
                       {0, 782, 500, 13, 13, 1, 1, 27.106649, 0, 12.001983, 179.70709, 4500,
                        122.48705, 49.824575, 0, 3.2932063, 400, 100}}};
  // A user preset first, so there is an accent, a window size and an input mode to keep.
  const auto user = ChunkWriter{}
                        .header(3, 2, 1500, 684, "Mine")
                        .values(1, ostra::test::sampleValues())
                        .tail(2, 0);
  ASSERT_GT(plugin->UnserializeState(user.chunk(), 0), 0);
  plugin->takeAccentChanged();
  for (const Row& row : rows)
  {
    plugin->loadFactoryPreset(row.name);
    for (int i = 0; i < kNumParams; ++i)
      EXPECT_EQ(value(i), row.values[i]) << row.name << " parameter " << i;
    plugin->OnIdle();
    // Clean and marked factory; accent, window and input mode stay those of the user preset.
    EXPECT_EQ(std::tuple(plugin->presetName(), plugin->presetIsFactory(), plugin->presetModified(),
                         plugin->accentIndex(), plugin->takeAccentChanged(),
                         plugin->GetEditorWidth(), plugin->inputMode(), plugin->told.size()),
              std::tuple(std::string(row.name), true, false, 2u, false, 1500, 2, size_t(0)));
  }
}

TEST_F(PresetBookkeeping, SavingTrimsTheNameAndIgnoresBlankNames)
{
  set(kFeedback, 44.0);
  plugin->savePreset(" \tMy Delay \t", false);
  EXPECT_EQ(std::tuple(plugin->presetName(), plugin->presetIsFactory(), plugin->presetModified(),
                       plugin->told.size()),
            std::tuple(std::string("My Delay"), false, false, size_t(0)));
  EXPECT_EQ(storedValue("My Delay", kFeedback), 44.0);

  // Only spaces and tabs: nothing written, nothing said, nothing changed.
  plugin->savePreset(" \t  ", false);
  plugin->requestSave("   ");
  EXPECT_EQ(std::tuple(plugin->savedPresets().size(), plugin->presetName(), plugin->told.size(),
                       plugin->hasPendingSave()),
            std::tuple(1u, "My Delay", 0u, false));
}

TEST_F(PresetBookkeeping, OwnPresetsAreOverwrittenWithoutAQuestionOthersAskOnTheNextIdleTick)
{
  set(kFeedback, 11.0);
  plugin->savePreset("Other", false);
  saveAndLoad("Mine");
  set(kFeedback, 71.0);
  plugin->requestSave("Mine");
  EXPECT_EQ(std::tuple(plugin->hasPendingSave(), storedValue("Mine", kFeedback),
                       plugin->savedPresets().size()),
            std::tuple(false, 71.0, 2u));

  // Typed with spaces around it, the name still finds its file.
  set(kFeedback, 22.0);
  plugin->requestSave("  Other ");
  EXPECT_TRUE(plugin->hasPendingSave());
  EXPECT_TRUE(plugin->asked.empty()); // never from inside the preset bar's callback
  plugin->OnIdle();
  plugin->OnIdle();
  ASSERT_EQ(plugin->asked.size(), 1u); // once only
  EXPECT_EQ(plugin->asked[0].text + " | " + plugin->asked[0].title,
            "A preset named \"Other\" already exists. Replace it? | Save preset");
  EXPECT_EQ(std::pair(storedValue("Other", kFeedback), plugin->presetName()),
            std::pair(11.0, std::string("Mine")));

  plugin->answer = true;
  plugin->requestSave("Other");
  plugin->OnIdle();
  EXPECT_EQ(std::pair(storedValue("Other", kFeedback), plugin->presetName()),
            std::pair(22.0, std::string("Other")));
}

TEST_F(PresetBookkeeping, FailedSaveKeepsTheNameAndTheModifiedMark)
{
  saveAndLoad("Kept");
  set(kDrive, 3.0);
  plugin->OnIdle();
  ASSERT_TRUE(plugin->presetModified());
  // A regular file where the preset folder should be: nothing can be written.
  std::filesystem::remove_all(home.presets());
  std::ofstream(home.presets()) << "in the way";
  plugin->savePreset("New", false);
  ASSERT_EQ(plugin->told.size(), 1u);
  EXPECT_TRUE(plugin->told[0].text.starts_with("Could not save the preset: could not write " +
                                               home.presets().string()))
      << plugin->told[0].text;
  plugin->OnIdle();
  EXPECT_EQ(std::pair(plugin->presetName(), plugin->presetModified()),
            std::pair(std::string("Kept"), true));
}

TEST_F(PresetBookkeeping, ModifiedMarkFollowsTheIdleTickSnapshot)
{
  // Without a loaded preset nothing counts as modified, even with a snapshot to compare.
  plug::IByteChunk unnamed;
  ASSERT_TRUE(plugin->SerializeState(unnamed));
  ASSERT_GT(plugin->UnserializeState(unnamed, 0), 0);
  plugin->OnIdle();
  set(kFeedback, 77.0);
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
}

TEST_F(PresetBookkeeping, DamagedPresetFilesChangeNothing)
{
  saveAndLoad("Good");
  set(kFeedback, 66.0);
  plugin->setAccentIndex(3);
  const auto withState = [](const std::string& name, const ChunkWriter& state)
  {
    const auto* bytes = reinterpret_cast<const unsigned char*>(state.data.data());
    return "OstraTape-delay preset 1\nname=" + name +
           "\nstate=" + corvana::presets::toBase64(std::span(bytes, state.data.size()));
  };
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // The file changed since the list was taken: it is read again.
      {"Good", "OstraTape-delay preset 2\n", "not an OstraTape-delay preset: Good.otdpreset"},
      // Our magic with the values cut short: nothing is taken, not even the accent.
      {"Cut",
       withState("Cut",
                 ChunkWriter{}.header(3, 1, 1500, 684, "Cut").values(0, {1.0, 600.0, 700.0}, 18)),
       "its state is damaged."},
      // Our magic with a negative count is damaged too, not a list of doubles.
      {"Negative",
       withState(
           "Negative",
           ChunkWriter{}.header(3, 1, 1000, 456, "").values(0, std::vector<double>(20, 1.0), -1)),
       "its state is damaged."}};
  size_t toldCount = 0;
  for (const auto& [name, text, told] : cases)
  {
    const auto listed = find(name);
    std::ofstream(file(name), std::ios::binary) << text << "\n";
    const auto preset = listed ? listed : find(name);
    ASSERT_TRUE(preset) << name;
    plugin->loadPreset(*preset);
    ASSERT_EQ(plugin->told.size(), ++toldCount);
    EXPECT_EQ(plugin->told.back().text + " | " + plugin->told.back().title,
              "Could not load the preset: " + told + " | Load preset");
    EXPECT_EQ(std::tuple(value(kFeedback), value(kTimeL), plugin->accentIndex(),
                         plugin->storedEditorWidth(), plugin->presetName()),
              std::tuple(66.0, 500.0, 3u, 1000, "Good"))
        << name;
  }
}

TEST_F(PresetBookkeeping, DeletingKeepsTheLoadedNameFailuresAreToldAndFileNamesAreSafe)
{
  saveAndLoad("Gone");
  const auto gone = find("Gone");
  plugin->removePreset(*gone);
  EXPECT_FALSE(std::filesystem::exists(gone->path));
  EXPECT_EQ(std::pair(plugin->presetName(), plugin->told.size()),
            std::pair(std::string("Gone"), size_t(0)));
  plugin->removePreset(*gone);
  ASSERT_EQ(plugin->told.size(), 1u);
  EXPECT_EQ(plugin->told[0].text + " | " + plugin->told[0].title,
            "Could not delete the preset: could not delete Gone.otdpreset | Delete preset");

  for (const char* name : {"b", "B", "a/b:c"})
    plugin->savePreset(name, false);
  const auto list = plugin->savedPresets();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name + "," + list[1].name + "," + list[2].name, "B,a/b:c,b");
  EXPECT_EQ(list[1].path, file("a-b-c"));
}

} // namespace
