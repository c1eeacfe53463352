// Feeds arbitrary bytes to the plug-in's state reader. Whatever it accepts must leave the
// plug-in in range, and the state written afterwards must read back to the same bytes.
#include "FuzzPluginSetup.h"
#include "plugin/StateChunk.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size > (1u << 20))
    return 0;
  OstraTapeDelay& plugin = fuzzPlugin();
  plug::IByteChunk chunk;
  chunk.AppendBytes(data, static_cast<int>(size));

  const int result = plugin.UnserializeState(chunk, 0);
  if (result < -1 || result > static_cast<int>(size))
    __builtin_trap();
  checkPluginInvariants(plugin);
  plugin.OnIdle(); // the snapshot and modified check run on whatever was restored

  // Our own chunk always reads back completely and writes the same bytes again.
  plug::IByteChunk written;
  if (!plugin.SerializeState(written))
    __builtin_trap();
  const int expected = written.ByteCount() - 4; // the last bypass word is never read
  if (plugin.UnserializeState(written, 0) != expected)
    __builtin_trap();
  plug::IByteChunk again;
  if (!plugin.SerializeState(again) || again.ByteCount() != written.ByteCount())
    __builtin_trap();
  // The window size may settle by a pixel as its proportion is corrected again.
  for (int pos = 0; pos < written.ByteCount(); ++pos)
    if (again.Bytes()[pos] != written.Bytes()[pos] && (pos < 12 || pos >= 20))
      __builtin_trap();
  std::int32_t size1[2]{}, size2[2]{};
  written.ReadValue(size1, 12);
  again.ReadValue(size2, 12);
  if (std::abs(size1[0] - size2[0]) > 1 || std::abs(size1[1] - size2[1]) > 1)
    __builtin_trap();

  ostratapedelay::plugin::StateHeader header;
  if (!ostratapedelay::plugin::readStateHeader(written, 0, header) || header.count != 18 ||
      !ostratapedelay::plugin::stateValuesComplete(written, header))
    __builtin_trap();
  return 0;
}
