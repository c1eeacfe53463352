#pragma once

#include "plugin/Identity.h"
#include "plugin/Parameters.h"

#include <cstdint>
#include <string>

namespace ostratapedelay::lv2
{

/** URI of the stereo plug-in; the mono variants and every other URI of the bundle live under it. */
inline constexpr const char* kPluginUri = plugin::kLv2Uri.data();
/** Key of the state chunk in a saved LV2 state (type atom:Chunk). */
inline constexpr auto kStateChunkUriText = plugin::joined(plugin::kLv2Uri, "#state");
inline constexpr const char* kStateChunkUri = kStateChunkUriText.data();

/** The bundle's editor (an X11 UI for every plug-in of the bundle), its binary without the
 *  suffix, and the private extension through which it reaches the running instance. */
inline constexpr auto kUiUriText = plugin::joined(plugin::kLv2Uri, "#ui");
inline constexpr const char* kUiUri = kUiUriText.data();
inline constexpr auto kUiBinaryName = plugin::joined(plugin::kProductSlug, "_ui");
inline constexpr auto kEditorAccessUriText = plugin::joined(plugin::kLv2Uri, "#editor-access");
inline constexpr const char* kEditorAccessUri = kEditorAccessUriText.data();

/** One plug-in of the bundle: a channel layout of the effect under its own URI. */
struct Variant
{
  const char* uri;
  const char* name;
  int nInputs;
  int nOutputs;
};

inline constexpr auto kMonoUri = plugin::joined(plugin::kLv2Uri, "#mono");
inline constexpr auto kMonoName = plugin::joined(plugin::kProductName, " Mono");
inline constexpr auto kMonoStereoUri = plugin::joined(plugin::kLv2Uri, "#mono-stereo");
inline constexpr auto kMonoStereoName = plugin::joined(plugin::kProductName, " Mono to Stereo");

/** The bundle's plug-ins, stereo first (the layouts "2-2", "1-1" and "1-2"). */
inline constexpr Variant kVariants[] = {
    {kPluginUri, plugin::kProductName, 2, 2},
    {kMonoUri.data(), kMonoName.data(), 1, 1},
    {kMonoStereoUri.data(), kMonoStereoName.data(), 1, 2},
};
inline constexpr int kNumVariants = static_cast<int>(sizeof(kVariants) / sizeof(kVariants[0]));

/**
 * Port layout, the same in every variant: one control input per parameter in parameter
 * order, the host's bypass switch, the free-wheeling flag, the time-position input, then
 * the audio inputs and outputs.
 */
inline constexpr std::uint32_t kPortEnabled = plugin::kNumParams;
inline constexpr std::uint32_t kPortFreeWheel = kPortEnabled + 1;
inline constexpr std::uint32_t kPortControl = kPortFreeWheel + 1;
inline constexpr std::uint32_t kPortAudio = kPortControl + 1;

inline constexpr std::uint32_t numPorts(const Variant& v)
{
  return kPortAudio + static_cast<std::uint32_t>(v.nInputs + v.nOutputs);
}

/** Port symbol of a parameter: its name in lower case with spaces as underscores
 *  ("Duck Release" -> "duck_release"). Any thread; allocates. */
std::string portSymbol(const char* paramName);

/** Symbol of audio input or output `channel` ("in", "in_l", "out_r", ...). */
std::string audioSymbol(bool input, int channel, int nChannels);

} // namespace ostratapedelay::lv2
