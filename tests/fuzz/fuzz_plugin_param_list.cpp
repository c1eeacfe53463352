// Feeds arbitrary bytes to the bare parameter-list reader, from the start and from a
// position taken from the input. It reads whole values or fails, and keeps every
// parameter in range.
#include "FuzzPluginSetup.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size > (1u << 20))
    return 0;
  OstraTapeDelay& plugin = fuzzPlugin();
  plug::IByteChunk chunk;
  chunk.AppendBytes(data, static_cast<int>(size));
  const int n = plugin.NParams();
  const int bytes = static_cast<int>(size);

  const int starts[] = {0, size > 0 ? data[0] % 16 : 0, bytes, -(size > 1 ? data[1] : 1)};
  for (const int start : starts)
  {
    const int result = plugin.UnserializeParams(chunk, start);
    int expected = -1;
    if (start < 0)
      expected = start;
    else if (start + 8 * n <= bytes)
      expected = start + 8 * n;
    if (result != expected)
      __builtin_trap();
    checkPluginInvariants(plugin);
  }

  // What SerializeParams writes reads back to the same values.
  plug::IByteChunk written;
  if (!plugin.SerializeParams(written) || written.ByteCount() != 8 * n)
    __builtin_trap();
  std::vector<double> before;
  for (int i = 0; i < n; ++i)
    before.push_back(plugin.GetParam(i)->Value());
  if (plugin.UnserializeParams(written, 0) != 8 * n)
    __builtin_trap();
  for (int i = 0; i < n; ++i)
    if (plugin.GetParam(i)->Value() != before[static_cast<size_t>(i)])
      __builtin_trap();
  return 0;
}
