// The note-value table and the index rule for damaged Note values.
#include "plugin/NoteValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace ostratapedelay::plugin;

namespace
{

const NoteValue* Find(const std::string& name)
{
  for (const NoteValue& note : kNoteValues)
    if (name == note.name)
      return &note;
  return nullptr;
}

} // namespace

TEST(NoteValues, OrderedByLength)
{
  for (size_t i = 1; i < kNoteValues.size(); ++i)
    EXPECT_LT(kNoteValues[i - 1].beats, kNoteValues[i].beats) << kNoteValues[i].name;
  EXPECT_STREQ(kNoteValues.front().name, "1/64T");
  EXPECT_STREQ(kNoteValues.back().name, "Whole");
  EXPECT_STREQ(kNoteValues[kDefaultNoteIndex].name, "1/4");
}

TEST(NoteValues, PlainLengthsAreFractionsOfAWholeNote)
{
  // A whole note is four quarter notes; "1/n" is 4/n beats.
  int plain = 0;
  for (const NoteValue& note : kNoteValues)
  {
    const std::string name = note.name;
    if (name.size() > 2 && name.compare(0, 2, "1/") == 0 && std::isdigit(name.back()))
    {
      EXPECT_DOUBLE_EQ(note.beats, 4.0 / std::stoi(name.substr(2))) << name;
      ++plain;
    }
  }
  EXPECT_EQ(plain, 6);
  EXPECT_EQ(Find("Whole")->beats, 4.0);
}

TEST(NoteValues, TripletsAreTwoThirdsAndDottedOneAndAHalf)
{
  int variants = 0;
  for (const NoteValue& note : kNoteValues)
  {
    std::string name = note.name;
    const char kind = name.back();
    if (kind != 'T' && kind != 'D')
      continue;
    name.pop_back();
    const NoteValue* base = Find(name);
    ASSERT_NE(base, nullptr) << note.name;
    EXPECT_DOUBLE_EQ(note.beats, base->beats * (kind == 'T' ? 2.0 / 3.0 : 1.5)) << note.name;
    ++variants;
  }
  EXPECT_EQ(variants, 12);
}

TEST(NoteValues, DamagedIndicesFallBackToAQuarterNote)
{
  EXPECT_EQ(noteValueIndex(0.0), 0);
  EXPECT_EQ(noteValueIndex(12.9), 12);
  EXPECT_EQ(noteValueIndex(18.0), 18);
  EXPECT_EQ(noteValueIndex(-0.5), 0);
  EXPECT_EQ(noteValueIndex(19.0), kDefaultNoteIndex);
  EXPECT_EQ(noteValueIndex(-1.0), kDefaultNoteIndex);
  EXPECT_EQ(noteValueIndex(1e300), kDefaultNoteIndex);
  EXPECT_EQ(noteValueIndex(std::nan("")), kDefaultNoteIndex);
  EXPECT_EQ(noteValueIndex(-std::numeric_limits<double>::infinity()), kDefaultNoteIndex);
}
