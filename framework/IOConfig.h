#pragma once

#include <string_view>
#include <vector>

namespace plug
{

/** Direction of a bus or channel. */
enum ERoute : int
{
  kInput = 0,
  kOutput = 1
};

/** Channel count stored for a "*" (any number of channels) in a channel I/O string. */
constexpr int kWildcardChannels = -64;

/** Largest per-bus channel count accepted from a channel I/O string; larger counts are
 *  treated as malformed so a typo cannot make the processor allocate thousands of channels. */
constexpr int kMaxChannelsPerBus = 256;

/** One bus of a channel layout. */
struct IBusInfo
{
  ERoute direction = kInput;
  int nChannels = 0;
};

/**
 * One accepted channel layout: ordered input buses and ordered output buses.
 * Plain data, built at construction and only read afterwards (any thread).
 */
struct IOConfig
{
  std::vector<IBusInfo> inputBuses;
  std::vector<IBusInfo> outputBuses;

  void AddBusInfo(ERoute direction, int nChannels);
  int NBuses(ERoute direction) const;
  /** Number of channels of bus `index`, or 0 when there is no such bus. */
  int NChannelsOnBus(ERoute direction, int index) const;
  /** Sum of the bus counts of a direction; a wildcard bus contributes kWildcardChannels. */
  int GetTotalNChannels(ERoute direction) const;
  /** True when some bus of the direction takes any number of channels. */
  bool ContainsWildcard(ERoute direction) const;

  const std::vector<IBusInfo>& Buses(ERoute direction) const
  {
    return direction == kInput ? inputBuses : outputBuses;
  }
};

/**
 * Parses a channel I/O string such as "1-1 1-2 2-2" and appends one IOConfig per layout.
 * Layouts are separated by white space, the input and output sides by '-', the buses of a
 * side by '.'; a count is a decimal number or '*' (any). A count of 0 adds no bus.
 * Malformed layouts (no '-', a non-numeric or oversized count) are skipped.
 * The four maxima are reset to 0 and raised to the totals and bus counts seen.
 * Returns the number of configurations in `configs` afterwards. Any thread; allocates.
 */
int ParseChannelIOStr(std::string_view text, std::vector<IOConfig>& configs, int& maxNInputs,
                      int& maxNOutputs, int& maxNInBuses, int& maxNOutBuses);

} // namespace plug
