#pragma once

#include <array>

namespace ostratapedelay::plugin
{

/** A note value for synchronised delay times: its name and its length in quarter notes. */
struct NoteValue
{
  const char* name;
  double beats;
};

/** Ordered by length, not by name. Entry i is display text i of both Note parameters.
 *  Triplets are two thirds, dotted values one and a half times the plain value. */
inline constexpr std::array<NoteValue, 19> kNoteValues{{
    {"1/64T", 1.0 / 24.0}, {"1/64", 0.0625},     {"1/32T", 1.0 / 12.0}, {"1/64D", 0.09375},
    {"1/32", 0.125},       {"1/16T", 1.0 / 6.0}, {"1/32D", 0.1875},     {"1/16", 0.25},
    {"1/8T", 1.0 / 3.0},   {"1/16D", 0.375},     {"1/8", 0.5},          {"1/4T", 2.0 / 3.0},
    {"1/8D", 0.75},        {"1/4", 1.0},         {"1/2T", 4.0 / 3.0},   {"1/4D", 1.5},
    {"1/2", 2.0},          {"1/2D", 3.0},        {"Whole", 4.0},
}};

/** "1/4": the Note parameters' default and the stand-in for a damaged index. */
inline constexpr int kDefaultNoteIndex = 13;

/** Table index for a Note parameter value: truncated, and kDefaultNoteIndex unless it is
 *  a valid index (NaN included). Any thread; real-time safe. */
constexpr int noteValueIndex(double value) noexcept
{
  if (!(value > -1.0 && value < static_cast<double>(kNoteValues.size())))
    return kDefaultNoteIndex;
  return static_cast<int>(value); // truncation toward zero, so -0.5 gives 0
}

} // namespace ostratapedelay::plugin
