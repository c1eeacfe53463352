#include "plugin/StateChunk.h"
#include "plugin/StateTestSupport.h"
#include "presets/Base64.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

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

  std::optional<SavedPreset> find(const std::string& name) const
  {
    for (auto& preset : plugin->savedPresets())
      if (preset.name == name)
        return preset;
    return std::nullopt;
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

  /** The parameter value stored at `idx` in a preset file's chunk. */
  static double storedValue(const std::filesystem::path& file, int idx)
  {
    SavedPreset preset;
    std::string error;
    EXPECT_TRUE(corvana::presets::readPreset(ostratapedelay::offline::kPresetFormat, file, preset, error)) << error;
    plug::IByteChunk chunk;
    chunk.AppendBytes(preset.state.data(), static_cast<int>(preset.state.size()));
    StateHeader header;
    EXPECT_TRUE(readStateHeader(chunk, 0, header));
    double v = -12345.0;
    chunk.ReadValue(v, header.valuesPos + 8 * idx);
    return v;
  }

  static std::string contents(const std::filesystem::path& file)
  {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  void writeFile(const std::filesystem::path& file, const std::string& text)
  {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
};

struct FactoryRow
{
  const char* name;
  double values[18];
  int nameBytes;
};

const FactoryRow kFactoryTable[] = {
  {"Ping and pong",
   {0, 782, 500, 7, 13, 1, 1, 14.967078, 1, 4.302004, 432.80312, 5761.1225, 170.75992, 0, 0, 2.0204080, 400, 100},
   13},
  {"Warm and wide delay",
   {0, 782, 500, 13, 13, 1, 1, 27.106649, 0, 12.001983, 179.70709, 4500, 122.48705, 49.824575, 0, 3.2932063, 400,
    100},
   19},
};

TEST_F(PresetBookkeeping, FactoryPresetsSetTheirValuesAndNothingElse)
{
  const auto& names = ostratapedelay::offline::factoryPresets();
  ASSERT_EQ(names.size(), 2u);
  // A user preset first, so there is an accent, a window size and an input mode to keep.
  ChunkWriter user;
  user.header(3, 2, 1500, 684, "Mine").values(1, ostra::test::sampleValues()).word(0).i32(2).word(0).word(0).word(0);
  ASSERT_GT(plugin->UnserializeState(user.chunk, 0), 0);
  plugin->takeAccentChanged();

  for (const auto& row : kFactoryTable)
  {
    SCOPED_TRACE(row.name);
    plugin->hostEvents.clear();
    plugin->loadFactoryPreset(row.name);
    for (int i = 0; i < kNumParams; ++i)
      EXPECT_EQ(value(i), row.values[i]) << "parameter " << i;
    EXPECT_EQ(plugin->presetName(), row.name);
    EXPECT_TRUE(plugin->presetIsFactory());
    EXPECT_FALSE(plugin->presetModified());
    plugin->OnIdle();
    EXPECT_FALSE(plugin->presetModified());
    EXPECT_EQ(plugin->accentIndex(), 2u);
    EXPECT_FALSE(plugin->takeAccentChanged());
    EXPECT_EQ(plugin->storedEditorWidth(), 1500);
    EXPECT_EQ(plugin->GetEditorWidth(), 1500);
    EXPECT_EQ(plugin->GetEditorHeight(), 684);
    EXPECT_EQ(plugin->inputMode(), 2);
    EXPECT_TRUE(plugin->told.empty());

    // The host hears every value inside one gesture per parameter.
    ASSERT_EQ(plugin->hostEvents.size(), 3u * kNumParams);
    EXPECT_EQ(plugin->hostEvents.front(), "begin 0");
    EXPECT_EQ(plugin->hostEvents[kNumParams], "value 0");
    EXPECT_EQ(plugin->hostEvents[2 * kNumParams], "end 0");
    EXPECT_EQ(plugin->hostEvents.back(), "end 17");

    // Stored as a version-2 chunk of the documented length.
    const auto& preset = names[&row == &kFactoryTable[0] ? 0 : 1];
    EXPECT_EQ(preset.name, row.name);
    EXPECT_EQ(preset.state.size(), 188u + static_cast<size_t>(row.nameBytes));
  }

  // An unknown name does nothing at all.
  plugin->loadFactoryPreset("Ping and Pong");
  EXPECT_EQ(plugin->presetName(), "Warm and wide delay");
  EXPECT_TRUE(plugin->told.empty());
}

TEST_F(PresetBookkeeping, SavingTrimsTheNameAndWritesACleanUserChunk)
{
  plugin->setAccentIndex(4);
  set(kFeedback, 44.0);
  plugin->savePreset(" \tMy Delay \t", false);
  const auto file = home.presets() / "My Delay.otdpreset";
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(plugin->presetName(), "My Delay");
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_FALSE(plugin->presetModified());
  EXPECT_TRUE(plugin->told.empty());

  const auto preset = find("My Delay");
  ASSERT_TRUE(preset);
  plug::IByteChunk chunk;
  chunk.AppendBytes(preset->state.data(), static_cast<int>(preset->state.size()));
  StateHeader header;
  ASSERT_TRUE(readStateHeader(chunk, 0, header));
  EXPECT_EQ(header.name, "My Delay");
  EXPECT_EQ(header.accent, 4u);
  EXPECT_EQ(header.modifiedWord, 0u);
  EXPECT_EQ(storedValue(file, kFeedback), 44.0);

  // Only spaces and tabs: nothing written, nothing said, nothing changed.
  plugin->savePreset(" \t  ", false);
  plugin->requestSave("   ");
  EXPECT_EQ(plugin->savedPresets().size(), 1u);
  EXPECT_EQ(plugin->presetName(), "My Delay");
  EXPECT_TRUE(plugin->told.empty());
  EXPECT_FALSE(plugin->hasPendingSave());
}

TEST_F(PresetBookkeeping, LoadingAUserPresetTakesItsAccentButNotItsInputMode)
{
  plugin->setAccentIndex(1);
  plugin->setInputMode(OstraTapeDelay::kInputLeftOnly);
  plugin->savePreset("Red", false);
  plugin->setAccentIndex(3);
  plugin->setInputMode(OstraTapeDelay::kInputStereo);
  set(kMix, 20.0);
  plugin->loadPreset(*find("Red"));
  EXPECT_EQ(plugin->accentIndex(), 1u);
  EXPECT_EQ(plugin->inputMode(), 1);
  EXPECT_EQ(value(kMix), 100.0);
  EXPECT_EQ(plugin->presetName(), "Red");
  EXPECT_FALSE(plugin->presetIsFactory());
}

TEST_F(PresetBookkeeping, OwnPresetIsOverwrittenWithoutAQuestion)
{
  saveAndLoad("My Delay");
  set(kFeedback, 71.0);
  plugin->requestSave("My Delay");
  EXPECT_FALSE(plugin->hasPendingSave());
  EXPECT_TRUE(plugin->asked.empty());
  EXPECT_EQ(storedValue(home.presets() / "My Delay.otdpreset", kFeedback), 71.0);
  EXPECT_EQ(plugin->savedPresets().size(), 1u);
}

TEST_F(PresetBookkeeping, ReplacingAnotherPresetAsksOnTheNextIdleTick)
{
  set(kFeedback, 11.0);
  plugin->savePreset("Other", false);
  saveAndLoad("Mine");
  set(kFeedback, 22.0);
  const auto other = home.presets() / "Other.otdpreset";
  const std::string before = contents(other);

  // Typed with spaces around it, the name still finds its file.
  plugin->requestSave("  Other ");
  EXPECT_TRUE(plugin->hasPendingSave());
  EXPECT_TRUE(plugin->asked.empty()); // never from inside the preset bar's callback
  EXPECT_EQ(contents(other), before);

  plugin->answer = false;
  plugin->OnIdle();
  ASSERT_EQ(plugin->asked.size(), 1u);
  EXPECT_EQ(plugin->asked[0].text, "A preset named \"Other\" already exists. Replace it?");
  EXPECT_EQ(plugin->asked[0].title, "Save preset");
  EXPECT_FALSE(plugin->hasPendingSave());
  EXPECT_EQ(contents(other), before);
  EXPECT_EQ(plugin->presetName(), "Mine");
  plugin->OnIdle();
  EXPECT_EQ(plugin->asked.size(), 1u); // asked once only

  plugin->answer = true;
  plugin->requestSave("Other");
  plugin->OnIdle();
  EXPECT_EQ(plugin->asked.size(), 2u);
  EXPECT_EQ(storedValue(other, kFeedback), 22.0);
  EXPECT_EQ(plugin->presetName(), "Other");
  EXPECT_EQ(plugin->savedPresets().size(), 2u);
}

TEST_F(PresetBookkeeping, WithoutAnEditorTheQuestionIsAnsweredNo)
{
  auto plain = std::make_unique<OstraTapeDelay>();
  plain->SetParameterFromHost(kFeedback, 11.0, 0);
  plain->savePreset("Other", false);
  plain->SetParameterFromHost(kFeedback, 33.0, 0);
  plain->requestSave("Other"); // its own preset: no question needed
  EXPECT_EQ(storedValue(home.presets() / "Other.otdpreset", kFeedback), 33.0);
  plain->savePreset("Second", false);
  plain->SetParameterFromHost(kFeedback, 55.0, 0);
  plain->requestSave("Other");
  plain->OnIdle();
  EXPECT_EQ(storedValue(home.presets() / "Other.otdpreset", kFeedback), 33.0);
  EXPECT_EQ(plain->presetName(), "Second");
}

TEST_F(PresetBookkeeping, SavingUnderAFactoryNameWritesAUserPreset)
{
  plugin->loadFactoryPreset("Ping and pong");
  plugin->requestSave("Ping and pong");
  EXPECT_TRUE(plugin->asked.empty());
  EXPECT_TRUE(std::filesystem::exists(home.presets() / "Ping and pong.otdpreset"));
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_EQ(ostratapedelay::offline::factoryPresets().size(), 2u);

  // Loaded from the factory again, the same name now meets the user file: ask.
  plugin->loadFactoryPreset("Ping and pong");
  plugin->requestSave("Ping and pong");
  EXPECT_TRUE(plugin->hasPendingSave());
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
  EXPECT_FALSE(plugin->presetIsFactory());
  EXPECT_TRUE(plugin->presetModified());
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());

  // The same for a factory preset that was clean.
  plugin->loadFactoryPreset("Warm and wide delay");
  plugin->OnIdle();
  plugin->savePreset("New", false);
  EXPECT_EQ(plugin->presetName(), "Warm and wide delay");
  EXPECT_TRUE(plugin->presetIsFactory());
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
}

TEST_F(PresetBookkeeping, SmallMovesDoNotCountAsChanges)
{
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

  plugin->loadPreset(*find("Exact"));
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  set(kFeedback, 0.0000011);
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());
}

TEST_F(PresetBookkeeping, BypassAndNoPresetAndRetakeTiming)
{
  // Without a loaded preset nothing counts as modified.
  set(kMix, 10.0);
  plugin->OnIdle();
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());

  saveAndLoad("Bypassed");
  set(kBypass, 1.0);
  EXPECT_FALSE(plugin->presetModified()); // seen on the idle tick, not before
  plugin->OnIdle();
  EXPECT_TRUE(plugin->presetModified());

  // A value changed between a load and the tick that takes the snapshot belongs to it.
  plugin->loadPreset(*find("Bypassed"));
  set(kMix, 30.0);
  plugin->OnIdle();
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
}

TEST_F(PresetBookkeeping, LoadedPresetCountsCleanWhateverItsModifiedWord)
{
  ChunkWriter w;
  w.header(3, 0, 1000, 456, "Dirty").values(1, ostra::test::sampleValues()).word(0).i32(0).word(0).word(0).word(0);
  writeFile(home.presets() / "Dirty.otdpreset",
            std::string("OstraTape-delay preset 1\nname=Dirty\nstate=") +
              corvana::presets::toBase64(std::span(w.chunk.Bytes(), size_t(w.size()))) + "\n");
  plugin->loadPreset(*find("Dirty"));
  EXPECT_FALSE(plugin->presetModified());
  plugin->OnIdle();
  EXPECT_FALSE(plugin->presetModified());
  EXPECT_EQ(value(kMix), 75.0);
}

TEST_F(PresetBookkeeping, LoadFailuresAreToldAndChangeNothing)
{
  saveAndLoad("Good");
  set(kFeedback, 66.0);
  plugin->setAccentIndex(3);
  const auto folder = home.presets();

  auto expectUnchanged = [&](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(value(kFeedback), 66.0);
    EXPECT_EQ(value(kMix), 100.0);
    EXPECT_EQ(plugin->accentIndex(), 3u);
    EXPECT_EQ(plugin->presetName(), "Good");
    EXPECT_TRUE(plugin->hostEvents.empty());
  };
  plugin->hostEvents.clear();

  // The file changed since the list was taken: it is read again.
  auto good = find("Good");
  ASSERT_TRUE(good);
  writeFile(good->path, "OstraTape-delay preset 2\n");
  plugin->loadPreset(*good);
  ASSERT_EQ(plugin->told.size(), 1u);
  EXPECT_EQ(plugin->told[0].text, "Could not load the preset: not an OstraTape-delay preset: Good.otdpreset");
  EXPECT_EQ(plugin->told[0].title, "Load preset");
  expectUnchanged("rewritten file");

  // A state that is not ours.
  writeFile(folder / "Foreign.otdpreset", "OstraTape-delay preset 1\nname=Foreign\nstate=AAAAAAAAAAAA\n");
  plugin->loadPreset(*find("Foreign"));
  EXPECT_EQ(plugin->told.back().text, "Could not load the preset: it does not hold an OstraTape-delay state.");
  expectUnchanged("foreign state");

  // Our magic, but the values cut short: nothing of it is taken, not even the accent.
  ChunkWriter cut;
  cut.header(3, 1, 1500, 684, "Cut").values(0, {1.0, 600.0, 700.0}, 18);
  writeFile(folder / "Cut.otdpreset",
            std::string("OstraTape-delay preset 1\nname=Cut\nstate=") +
              corvana::presets::toBase64(std::span(cut.chunk.Bytes(), size_t(cut.size()))) + "\n");
  plugin->loadPreset(*find("Cut"));
  EXPECT_EQ(plugin->told.back().text, "Could not load the preset: its state is damaged.");
  EXPECT_EQ(plugin->told.back().title, "Load preset");
  expectUnchanged("cut state");
  EXPECT_EQ(plugin->storedEditorWidth(), 1000);

  // Our magic with a negative count is damaged too, not a list of doubles.
  ChunkWriter header;
  header.header(3, 1, 1000, 456, "").values(0, std::vector<double>(20, 1.0), -1);
  writeFile(folder / "Header.otdpreset",
            std::string("OstraTape-delay preset 1\nname=Header\nstate=") +
              corvana::presets::toBase64(std::span(header.chunk.Bytes(), size_t(header.size()))) + "\n");
  plugin->loadPreset(*find("Header"));
  EXPECT_EQ(plugin->told.back().text, "Could not load the preset: its state is damaged.");
  expectUnchanged("negative count");
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

TEST_F(PresetBookkeeping, PresetListAndFolderFollowTheDataHome)
{
  EXPECT_EQ(plugin->presetDirectory(), home.presets());
  EXPECT_TRUE(plugin->savedPresets().empty());
  plugin->savePreset("b", false);
  plugin->savePreset("B", false);
  plugin->savePreset("a/b:c", false);
  const auto list = plugin->savedPresets();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "B");
  EXPECT_EQ(list[1].name, "a/b:c");
  EXPECT_EQ(list[2].name, "b");
  EXPECT_EQ(list[1].path, home.presets() / "a-b-c.otdpreset");
}

} // namespace
