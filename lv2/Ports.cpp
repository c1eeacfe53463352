#include "lv2/Ports.h"

namespace ostratapedelay::lv2
{

std::string portSymbol(const char* paramName)
{
  // Symbols must be C identifiers: letters, digits and underscores, not starting with a digit.
  std::string symbol;
  for (const char* c = paramName; *c; ++c)
  {
    const char ch = *c;
    if (ch >= 'A' && ch <= 'Z')
      symbol += static_cast<char>(ch - 'A' + 'a');
    else if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9'))
      symbol += ch;
    else if (!symbol.empty() && symbol.back() != '_')
      symbol += '_';
  }
  while (!symbol.empty() && symbol.back() == '_')
    symbol.pop_back();
  if (symbol.empty() || (symbol[0] >= '0' && symbol[0] <= '9'))
    symbol.insert(0, "p_");
  return symbol;
}

std::string audioSymbol(bool input, int channel, int nChannels)
{
  std::string symbol = input ? "in" : "out";
  if (nChannels > 1)
    symbol += channel == 0 ? "_l" : "_r";
  return symbol;
}

} // namespace ostratapedelay::lv2
