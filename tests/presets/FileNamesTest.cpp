#include "presets/Files.h"

#include <gtest/gtest.h>

using namespace corvana::files;

TEST(FileNames, NamesBecomeSafePortableFileNames)
{
  std::string twoByte, threeByte;
  for (int i = 0; i < 50; ++i)
    twoByte += "é";
  for (int i = 0; i < 30; ++i)
    threeByte += "€";
  const std::pair<std::string, std::string> cases[] = {
      // Characters other systems refuse become "-"; everything else stays.
      {"My Delay", "My Delay"},
      {"\"*/:<>?\\|x", "---------x"},
      {std::string("a\tb\nc\x01") + '\0' + "d", "a-b-c--d"},
      {"Écho ~ ü'\x7f", "Écho ~ ü'\x7f"},
      // Leading and trailing dots and spaces go, with a fallback when nothing is left.
      {"...", "Preset"},
      {"   ", "Preset"},
      {"", "Preset"},
      {" . a.b . ", "a.b"},
      {"..hidden", "hidden"},
      // Reserved device names, before the first dot and in any case, get a "-".
      {"con", "con-"},
      {"COM1.x", "COM1.x-"},
      {"lpt9", "lpt9-"},
      {"Aux.mid.tail", "Aux.mid.tail-"},
      {"nul ", "nul-"},
      {"COM0", "COM0"},
      {"PRNx", "PRNx"},
      {"COM10", "COM10"},
      {"CONSOLE", "CONSOLE"},
      // Cut at 80 bytes on a character boundary (78 for three-byte characters), then trimmed.
      {twoByte, twoByte.substr(0, 80)},
      {threeByte, threeByte.substr(0, 78)},
      {std::string(81, 'x'), std::string(80, 'x')},
      {std::string(79, 'x') + "  yz", std::string(79, 'x')},
      {std::string(100, '\x80'), "Preset"},
  };
  for (const auto& [name, stem] : cases)
    EXPECT_EQ(pathForName("/presets", name, ".otdpreset", "Preset"),
              "/presets/" + stem + ".otdpreset")
        << name;
}
