#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvana::presets
{

/**
 * Standard base64 (RFC 4648 alphabet, "=" padding, one unbroken line). The empty input
 * gives the empty string. Any thread; allocates, so not real-time safe.
 */
std::string toBase64(std::span<const std::uint8_t> bytes);

/**
 * Strict base64 decoding: the length must be a multiple of 4, padding may appear only at
 * the end of the last group, and any character outside the standard alphabet (whitespace,
 * line breaks, the URL-safe "-" and "_") fails the whole decoding. `out` is emptied first
 * and holds the bytes only on success. The empty text decodes to no bytes and succeeds.
 * Any thread; allocates, so not real-time safe.
 */
bool fromBase64(std::string_view text, std::vector<std::uint8_t>& out);

} // namespace corvana::presets
