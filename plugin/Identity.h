#pragma once

// Who the plug-in is, as hosts, files and tools see it: names, codes, URIs and the version.
// Everything that names the product reads it here. The version itself comes from
// project(VERSION) in the top CMakeLists.txt, which passes it to every compilation.

#include <array>
#include <cstddef>

#if !defined(OSTRA_VERSION) || !defined(OSTRA_VERSION_MAJOR) || !defined(OSTRA_VERSION_MINOR) ||   \
    !defined(OSTRA_VERSION_PATCH)
#error "OSTRA_VERSION and its parts come from project(VERSION) in the top CMakeLists.txt"
#endif

namespace ostratapedelay::plugin
{

/** Characters of a text constant before its terminating zero. */
template <class T>
struct TextLength;
template <std::size_t N>
struct TextLength<char[N]>
{
  static constexpr std::size_t value = N - 1;
};
template <std::size_t N>
struct TextLength<std::array<char, N>>
{
  static constexpr std::size_t value = N - 1;
};

/** Texts joined into one zero-terminated constant, for names derived from the ones below. */
template <class... T>
constexpr auto joined(const T&... parts)
{
  std::array<char, (TextLength<T>::value + ... + 1)> text{};
  std::size_t at = 0;
  auto append = [&]<class P>(const P& part)
  {
    for (std::size_t i = 0; i < TextLength<P>::value; ++i)
      text[at++] = part[i];
  };
  (append(parts), ...);
  return text;
}

inline constexpr char kProductName[] = "OstraTape-delay";
inline constexpr char kMakerName[] = "Corvana";
/** The product's key in the maker's update feed; also names its LV2 URIs. */
inline constexpr char kProductSlug[] = "ostratape-delay";

/** MAJOR.MINOR.PATCH, and the same packed as major * 65536 + minor * 256 + patch. */
inline constexpr char kVersion[] = OSTRA_VERSION;
inline constexpr int kVendorVersion =
    (OSTRA_VERSION_MAJOR << 16) | (OSTRA_VERSION_MINOR << 8) | OSTRA_VERSION_PATCH;

/** Audio Unit subtype and manufacturer codes, and the names the Audio Unit bundle uses. */
inline constexpr char kUniqueId[] = "OsTd";
inline constexpr char kMakerId[] = "Crvn";
inline constexpr auto kBundleId = joined("com.", kMakerName, ".audiounit.", kProductName);
inline constexpr auto kAppGroupId = joined("group.com.", kMakerName, ".", kProductName);
inline constexpr char kViewClassName[] = "OstraTapeDelay_View";

/** URI of the stereo LV2 plug-in; the mono variants and every other URI of the bundle live
 *  under it. */
inline constexpr auto kLv2Uri = joined("urn:corvana:", kProductSlug);

} // namespace ostratapedelay::plugin
