#include "framework/au/AUHostIdentity.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace plug
{

namespace
{

struct KnownHost
{
  const char* substring;
  int id;
};

// Order matters: longer names that contain shorter ones ("wavelab elements") come first.
constexpr KnownHost kKnownHosts[] = {
    {"reaper", 1},         {"protools", 2},
    {"cubase", 3},         {"nuendo", 4},
    {"cakewalk", 5},       {"vegas", 6},
    {"fruity", 7},         {"samplitude", 8},
    {"live", 9},           {"tracktion", 10},
    {"ntracks", 11},       {"melodyne", 12},
    {"vstmanlib", 13},     {"aulab", 14},
    {"forte", 15},         {"chainer", 16},
    {"audition", 17},      {"orion", 18},
    {"bias", 19},          {"sawstudio", 20},
    {"logic", 21},         {"garageband", 22},
    {"digital", 23},       {"audiomulch", 25},
    {"presonus", 26},      {"vst3plugintesthost", 27},
    {"ardour", 28},        {"renoise", 29},
    {"openmpt", 30},       {"wavelab elements", 32},
    {"wavelab", 31},       {"twistedwave", 33},
    {"bitwig studio", 34}, {"reason", 36},
    {"gwvst", 37},         {"waveform", 38},
    {"audacity", 39},      {"acoustica", 40},
    {"plugindoctor", 41},  {"izotope rx", 42},
    {"savihost", 43},      {"blue cat's vst host", 44},
    {"mixbus", 45},        {"standalone", 24},
    {"www", 35},
};

} // namespace

int LookUpHostID(std::string_view hostName)
{
  std::string lower(hostName);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const KnownHost& host : kKnownHosts)
    if (lower.find(host.substring) != std::string::npos)
      return host.id;
  return kHostUnknown;
}

std::uint32_t ParseHostVersion(std::string_view version)
{
  std::uint32_t parts[3] = {0, 0, 0};
  const std::uint32_t limits[3] = {0xFFFF, 0xFF, 0xFF};
  size_t pos = 0;
  for (int part = 0; part < 3 && pos < version.size(); ++part)
  {
    if (!std::isdigit(static_cast<unsigned char>(version[pos])))
      break;
    std::uint32_t value = 0;
    while (pos < version.size() && std::isdigit(static_cast<unsigned char>(version[pos])))
    {
      value = std::min<std::uint32_t>(value * 10 + static_cast<std::uint32_t>(version[pos] - '0'),
                                      limits[part]);
      ++pos;
    }
    parts[part] = value;
    if (pos >= version.size() || version[pos] != '.')
      break;
    ++pos;
  }
  return (parts[0] << 16) | (parts[1] << 8) | parts[2];
}

} // namespace plug
