#pragma once

#include "presets/PresetFormat.h"
#include "presets/ProductFormat.h"

#include <vector>

namespace ostratapedelay::offline
{

/**
 * The built-in presets as whole preset texts (header, name and state lines), ended by a
 * null entry. Each state is a version-2 state chunk with accent 5, editor size 1000 x 456
 * and a tail of three zero words.
 */
extern const char* const kFactoryPresetTexts[];

/**
 * The factory presets parsed from kFactoryPresetTexts, sorted by name, with empty paths.
 * Built once on first use (thread-safe); if building throws, the next call tries again.
 * Any thread; allocates on the first call only.
 */
const std::vector<corvana::presets::SavedPreset>& factoryPresets();

} // namespace ostratapedelay::offline
