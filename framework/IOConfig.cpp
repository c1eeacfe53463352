#include "framework/IOConfig.h"

#include <algorithm>
#include <cctype>

namespace plug
{

void IOConfig::AddBusInfo(ERoute direction, int nChannels)
{
  (direction == kInput ? inputBuses : outputBuses).push_back({direction, nChannels});
}

int IOConfig::NBuses(ERoute direction) const
{
  return static_cast<int>(Buses(direction).size());
}

int IOConfig::NChannelsOnBus(ERoute direction, int index) const
{
  const auto& buses = Buses(direction);
  if (index < 0 || index >= static_cast<int>(buses.size()))
    return 0;
  return buses[static_cast<size_t>(index)].nChannels;
}

int IOConfig::GetTotalNChannels(ERoute direction) const
{
  int total = 0;
  for (const auto& bus : Buses(direction))
    total += bus.nChannels;
  return total;
}

bool IOConfig::ContainsWildcard(ERoute direction) const
{
  const auto& buses = Buses(direction);
  return std::any_of(buses.begin(), buses.end(),
                     [](const IBusInfo& b) { return b.nChannels == kWildcardChannels; });
}

namespace
{

// Parses one side ("2" or "1.1" or "*") into counts; false when malformed.
bool ParseSide(std::string_view side, std::vector<int>& counts)
{
  counts.clear();
  if (side.empty())
    return false;
  size_t start = 0;
  while (start <= side.size())
  {
    size_t end = side.find('.', start);
    if (end == std::string_view::npos)
      end = side.size();
    const std::string_view item = side.substr(start, end - start);
    if (item == "*")
      counts.push_back(kWildcardChannels);
    else
    {
      if (item.empty())
        return false;
      int value = 0;
      for (char c : item)
      {
        if (!std::isdigit(static_cast<unsigned char>(c)))
          return false;
        value = value * 10 + (c - '0');
        if (value > kMaxChannelsPerBus)
          return false;
      }
      counts.push_back(value);
    }
    start = end + 1;
  }
  return true;
}

} // namespace

int ParseChannelIOStr(std::string_view text, std::vector<IOConfig>& configs, int& maxNInputs,
                      int& maxNOutputs, int& maxNInBuses, int& maxNOutBuses)
{
  maxNInputs = maxNOutputs = maxNInBuses = maxNOutBuses = 0;
  std::vector<int> inCounts, outCounts;

  size_t pos = 0;
  while (pos < text.size())
  {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
      ++pos;
    size_t end = pos;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
      ++end;
    const std::string_view token = text.substr(pos, end - pos);
    pos = end;
    if (token.empty())
      continue;

    const size_t dash = token.find('-');
    if (dash == std::string_view::npos || !ParseSide(token.substr(0, dash), inCounts) ||
        !ParseSide(token.substr(dash + 1), outCounts))
      continue;

    IOConfig config;
    for (int n : inCounts)
      if (n != 0)
        config.AddBusInfo(kInput, n);
    for (int n : outCounts)
      if (n != 0)
        config.AddBusInfo(kOutput, n);

    maxNInputs = std::max(maxNInputs, config.GetTotalNChannels(kInput));
    maxNOutputs = std::max(maxNOutputs, config.GetTotalNChannels(kOutput));
    maxNInBuses = std::max(maxNInBuses, config.NBuses(kInput));
    maxNOutBuses = std::max(maxNOutBuses, config.NBuses(kOutput));
    configs.push_back(std::move(config));
  }
  return static_cast<int>(configs.size());
}

} // namespace plug
