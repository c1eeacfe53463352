// Feeds arbitrary text to the strict base64 decoder and arbitrary bytes to the encoder;
// both directions must round-trip.
#include "presets/Base64.h"

#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  using namespace corvana::presets;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::vector<std::uint8_t> decoded{0xAA};
  if (fromBase64(text, decoded))
  {
    const std::size_t padding = size == 0 ? 0 : (text[size - 1] == '=') + (text[size - 2] == '=');
    if (decoded.size() != size / 4 * 3 - padding)
      __builtin_trap();
    std::vector<std::uint8_t> again;
    if (!fromBase64(toBase64(decoded), again) || again != decoded)
      __builtin_trap();
  }
  else if (!decoded.empty())
  {
    __builtin_trap();
  }

  const std::vector<std::uint8_t> bytes(data, data + size);
  std::vector<std::uint8_t> back;
  if (!fromBase64(toBase64(bytes), back) || back != bytes)
    __builtin_trap();
  return 0;
}
