#include "plugin/OstraTapeDelay.h"

#include "graphics/ICanvas.h"
#include "plugin/Identity.h"
#include "plugin/Parameters.h"
#include "plugin/StateChunk.h"
#include "presets/FactoryPresets.h"
#include "presets/Files.h"
#include "presets/PresetFiles.h"
#include "presets/ProductFormat.h"

#include <algorithm>
#include <cmath>
#include <exception>

using namespace ostratapedelay::plugin;
using corvana::presets::SavedPreset;
using ostratapedelay::offline::kPresetFormat;

namespace
{
constexpr const char* kLoadTitle = "Load preset";
constexpr const char* kSaveTitle = "Save preset";
constexpr const char* kDeleteTitle = "Delete preset";
constexpr const char* kLoadPrefix = "Could not load the preset: ";
constexpr const char* kSavePrefix = "Could not save the preset: ";
constexpr const char* kDeletePrefix = "Could not delete the preset: ";

std::string trimmed(const std::string& name)
{
  const auto first = name.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  const auto last = name.find_last_not_of(" \t");
  return name.substr(first, last - first + 1);
}

bool holdsState(const SavedPreset& preset)
{
  const auto& bytes = preset.state;
  if (bytes.size() < 4)
    return false;
  // The chunk stores its words little-endian.
  const std::uint32_t first = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                              std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  return first == kStateMagic;
}
} // namespace

std::filesystem::path OstraTapeDelay::presetDirectory() const
{
  return corvana::presets::userPresetDirectory(kPresetFormat,
                                               corvana::files::applicationSupportDirectory());
}

std::vector<SavedPreset> OstraTapeDelay::savedPresets() const
{
  try
  {
    const auto folder = presetDirectory();
    if (folder.empty())
      return {};
    return corvana::presets::listPresets(kPresetFormat, folder);
  }
  catch (const std::exception&)
  {
    return {};
  }
}

std::string OstraTapeDelay::presetName() const
{
  std::lock_guard lock(mPresetLock);
  return mPresetName;
}

bool OstraTapeDelay::presetIsFactory() const
{
  std::lock_guard lock(mPresetLock);
  return mPresetFactory;
}

std::vector<double> OstraTapeDelay::soundSnapshot() const
{
  std::vector<double> values(static_cast<size_t>(NParams()));
  for (int i = 0; i < NParams(); ++i)
    values[static_cast<size_t>(i)] = GetParam(i)->Value();
  return values;
}

void OstraTapeDelay::retakePresetSnapshot(bool forced)
{
  // A host restore calls this on its own thread while the idle tick may be comparing, so
  // the snapshot itself is left to the idle tick: it replaces it before any comparison
  // once it sees the request.
  std::lock_guard lock(mPresetLock);
  mForcedModified.store(forced);
  mModified.store(false);
  mRetakeRequested.store(true);
}

void OstraTapeDelay::applyPreset(const SavedPreset& preset, bool factory)
{
  if (!holdsState(preset))
  {
    tell(std::string(kLoadPrefix) + "it does not hold an " + kProductName + " state.", kLoadTitle);
    return;
  }
  plug::IByteChunk chunk;
  if (chunk.AppendBytes(preset.state.data(), static_cast<int>(preset.state.size())) <= 0)
    throw std::bad_alloc();

  // A damaged preset would leave the sound half replaced and the rest at defaults, losing
  // the user's settings; check the whole parameter block first so it changes nothing.
  StateHeader header;
  if (!readStateHeader(chunk, 0, header) || !stateValuesComplete(chunk, header))
  {
    tell(std::string(kLoadPrefix) + "its state is damaged.", kLoadTitle);
    return;
  }

  const int result =
      readState(chunk, 0, factory ? StateSource::kFactoryPreset : StateSource::kUserPreset);
  if (result < 0)
  {
    tell(std::string(kLoadPrefix) + "its state is damaged.", kLoadTitle);
    return;
  }

  // The host hears every value inside one gesture per parameter; the controls follow.
  const int n = NParams();
  auto normalized = [this](int i)
  {
    const plug::IParam* p = GetParam(i);
    return std::clamp(p->ToNormalized(p->Constrain(p->Value())), 0.0, 1.0);
  };
  for (int i = 0; i < n; ++i)
    BeginInformHostOfParamChangeFromUI(i);
  // Telling the host goes through the normalised form, which gives back the values only
  // to the last few bits; keep the preset's own values so that loading and saving again
  // never lets them drift.
  const std::vector<double> exact = soundSnapshot();
  for (int i = 0; i < n; ++i)
    SendParameterValueFromUI(i, normalized(i));
  for (int i = 0; i < n; ++i)
    EndInformHostOfParamChangeFromUI(i);
  for (int i = 0; i < n; ++i)
    GetParam(i)->Set(exact[static_cast<size_t>(i)]);
  for (int i = 0; i < n; ++i)
    SendParameterValueFromDelegate(i, normalized(i), true);

  // A window size saved with a user preset applies to an open editor; a closed one keeps
  // the size the restore stored.
  if (!factory && storedEditorWidth() > 0 && ui())
  {
    const float scale = float(storedEditorWidth()) / 1000.f;
    if (std::abs(scale - editorScale()) > 0.01f)
      applyEditorScale(scale);
  }

  {
    std::lock_guard lock(mPresetLock);
    mPresetName = preset.name;
    mPresetFactory = factory;
  }
  retakePresetSnapshot(false);
}

void OstraTapeDelay::loadPresetFile(const SavedPreset& preset)
{
  SavedPreset fresh;
  std::string error;
  if (corvana::presets::readPreset(kPresetFormat, preset.path, fresh, error))
    applyPreset(fresh, false);
  else
    tell(kLoadPrefix + error, kLoadTitle);
}

void OstraTapeDelay::loadPreset(const SavedPreset& preset)
{
  try
  {
    loadPresetFile(preset);
  }
  catch (const std::exception& e)
  {
    tell(kLoadPrefix + std::string(e.what()), kLoadTitle);
  }
}

void OstraTapeDelay::loadFactoryPreset(const std::string& name)
{
  try
  {
    const auto& presets = ostratapedelay::offline::factoryPresets();
    const auto it = std::find_if(presets.begin(), presets.end(),
                                 [&](const SavedPreset& p) { return p.name == name; });
    if (it != presets.end())
      applyPreset(*it, true);
  }
  catch (const std::exception& e)
  {
    tell(kLoadPrefix + std::string(e.what()), kLoadTitle);
  }
}

void OstraTapeDelay::savePresetFile(const std::string& typedName, bool askFirst)
{
  const std::string name = trimmed(typedName);
  if (name.empty())
    return;
  const auto folder = presetDirectory();
  if (askFirst)
  {
    const auto path = corvana::presets::presetPathForName(kPresetFormat, folder, name);
    std::error_code ec;
    if (!path.empty() && std::filesystem::exists(path, ec) &&
        !ask("A preset named \"" + name + "\" already exists. Replace it?", kSaveTitle))
      return;
  }

  const std::string oldName = presetName();
  const bool oldFactory = presetIsFactory();
  const bool oldModified = presetModified();
  {
    std::lock_guard lock(mPresetLock);
    mPresetName = name;
    mPresetFactory = false;
  }
  retakePresetSnapshot(false);

  plug::IByteChunk chunk;
  std::string error;
  if (SerializeState(chunk) &&
      corvana::presets::writePreset(
          kPresetFormat, folder, name,
          std::span(chunk.Bytes(), static_cast<size_t>(chunk.ByteCount())), error))
    return;

  {
    std::lock_guard lock(mPresetLock);
    mPresetName = oldName;
    mPresetFactory = oldFactory;
  }
  retakePresetSnapshot(oldModified);
  tell(kSavePrefix + (error.empty() ? std::string("the state could not be taken") : error),
       kSaveTitle);
}

void OstraTapeDelay::savePreset(const std::string& name, bool askFirst)
{
  try
  {
    savePresetFile(name, askFirst);
  }
  catch (const std::exception& e)
  {
    tell(kSavePrefix + std::string(e.what()), kSaveTitle);
  }
}

void OstraTapeDelay::removePresetFile(const SavedPreset& preset)
{
  std::string error;
  if (!corvana::files::deleteNamedFile(preset.path, error))
    tell(kDeletePrefix + error, kDeleteTitle);
}

void OstraTapeDelay::removePreset(const SavedPreset& preset)
{
  try
  {
    removePresetFile(preset);
  }
  catch (const std::exception& e)
  {
    tell(kDeletePrefix + std::string(e.what()), kDeleteTitle);
  }
}

void OstraTapeDelay::requestSave(const std::string& typedName)
{
  // Decide on the name that will be saved: an untrimmed name would miss its own file here
  // and then replace it without the question once trimmed.
  const std::string name = trimmed(typedName);
  if (name.empty())
    return;
  if (name == presetName() && !presetIsFactory())
  {
    savePreset(name, false);
    return;
  }
  std::error_code ec;
  const auto path = corvana::presets::presetPathForName(kPresetFormat, presetDirectory(), name);
  if (path.empty() || !std::filesystem::exists(path, ec))
    savePreset(name, false);
  else
    mPendingSaveName = name; // asked on the next idle tick, outside the caller's callback
}

void OstraTapeDelay::checkPresetModified()
{
  bool retake = false;
  {
    std::lock_guard lock(mPresetLock);
    if (mRetakeRequested.exchange(false))
    {
      retake = true;
      mModified.store(mForcedModified.exchange(false));
    }
  }
  if (retake)
  {
    mSnapshot = soundSnapshot();
    return;
  }
  if (mModified.load() || presetName().empty())
    return;
  {
    std::lock_guard lock(mPresetLock);
    if (mPresetName.empty())
      return;
  }
  // Compared in place: this runs every tick and must not allocate.
  if (mSnapshot.empty() || mSnapshot.size() != static_cast<size_t>(NParams()))
    return;
  for (int i = 0; i < NParams(); ++i)
  {
    const double current = GetParam(i)->Value();
    if (std::abs(current - mSnapshot[size_t(i)]) > 1e-6 * std::max(std::abs(current), 1.0))
    {
      // A retake raised meanwhile (a host restore) outranks this comparison with the old
      // snapshot. The editor's preset bar redraws from presetModified().
      std::lock_guard lock(mPresetLock);
      if (!mRetakeRequested.load())
        mModified.store(true);
      if (plug::graphics::ICanvas* g = ui())
        g->SetAllControlsDirty(); // the preset bar shows the mark
      return;
    }
  }
}
