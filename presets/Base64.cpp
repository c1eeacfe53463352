#include "presets/Base64.h"

#include <array>

namespace corvana::presets
{

namespace
{

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable()
{
  std::array<std::int8_t, 256> table{};
  for (auto& v : table)
    v = -1;
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

constexpr auto kDecode = makeDecodeTable();

} // namespace

std::string toBase64(std::span<const std::uint8_t> bytes)
{
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3)
  {
    const std::uint32_t v =
        (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0)
  {
    std::uint32_t v = std::uint32_t(bytes[i]) << 16;
    if (rest == 2)
      v |= std::uint32_t(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool fromBase64(std::string_view text, std::vector<std::uint8_t>& out)
{
  out.clear();
  if (text.size() % 4 != 0)
    return false;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t g = 0; g < text.size(); g += 4)
  {
    const bool last = g + 4 == text.size();
    int missing = 0;
    if (last && text[g + 3] == '=')
      missing = text[g + 2] == '=' ? 2 : 1;
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
    {
      if (k >= 4 - missing)
      {
        v <<= 6;
        continue;
      }
      const std::int8_t d = kDecode[static_cast<unsigned char>(text[g + k])];
      if (d < 0)
      {
        out.clear();
        return false;
      }
      v = (v << 6) | std::uint32_t(d);
    }
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    if (missing < 2)
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    if (missing < 1)
      out.push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

} // namespace corvana::presets
