// Byte chunk: encoding, growth steps of its heap buffer, positioned reads and their failures.
#include "framework/IByteChunk.h"
#include "support/Sanitizers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <tuple>
#include <vector>

using plug::IByteChunk;
using Bytes = std::vector<unsigned char>;

namespace
{

Bytes BytesOf(const IByteChunk& chunk)
{
  const unsigned char* bytes = chunk.Bytes();
  return bytes ? Bytes(bytes, bytes + chunk.ByteCount()) : Bytes();
}

} // namespace

TEST(ByteChunk, ValuesAndStringsAreLittleEndianUnpaddedAndReadBackInOrder)
{
  IByteChunk chunk;
  EXPECT_EQ(chunk.AppendValue(int32_t(3)), 4);
  EXPECT_EQ(chunk.AppendValue(1.0), 12);
  EXPECT_EQ(chunk.AppendString(""), 16);
  EXPECT_EQ(chunk.AppendString(std::string_view("ab\0cd", 5)), 22); // up to the zero byte
  EXPECT_EQ(BytesOf(chunk),
            (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));

  // A zero byte inside a stored string ends the text but not the position.
  chunk.AppendValue(int32_t(5));
  chunk.AppendBytes("ab\0cd", 5);
  int32_t i = 0;
  double d = 0.0;
  std::string empty = "x", s, cut;
  const int end = chunk.ReadValue(d, chunk.ReadValue(i, 0));
  EXPECT_EQ(chunk.ReadString(cut, chunk.ReadString(s, chunk.ReadString(empty, end))), 31);
  EXPECT_EQ(std::make_tuple(i, d, empty, s, cut),
            std::make_tuple(3, 1.0, std::string(), std::string("ab"), std::string("ab")));
}

TEST(ByteChunkGrowth, OneByteAtATimeGrowsInPageSteps)
{
  IByteChunk chunk;
  std::vector<std::pair<int, int>> changes; // (size, new allocation)
  const unsigned char byte = 0x5A;
  for (int i = 1; i <= 12193; ++i)
  {
    const int before = chunk.Allocated();
    ASSERT_EQ(chunk.AppendBytes(&byte, 1), i);
    if (chunk.Allocated() != before)
      changes.emplace_back(i, chunk.Allocated());
  }
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{
                         {1, 4000}, {4001, 8096}, {8097, 12192}, {12193, 16288}}));
  EXPECT_EQ(BytesOf(chunk), Bytes(12193, 0x5A));
}

TEST(ByteChunkFailures, FailedReadsAndOverflowingAppendsChangeNothing)
{
  IByteChunk values, cut, negative, missing, chunk;
  for (int32_t v = 1; v <= 3; ++v)
    values.AppendValue(v);
  int32_t out = 99;
  char bytes[12] = {};
  // INT_MAX - 1 must not wrap pos + size.
  EXPECT_EQ(std::vector<int>({values.ReadValue(out, 9), values.ReadValue(out, -1),
                              values.ReadValue(out, INT_MAX - 1), IByteChunk().ReadValue(out, 0),
                              values.ReadBytes(bytes, -1, 0), values.ReadBytes(bytes, 13, 0),
                              values.ReadBytes(bytes, 12, 0)}),
            std::vector<int>({-1, -1, -1, -1, -1, -1, 12}));
  EXPECT_EQ(out, 99);

  // A string whose length runs past the end, is negative or is itself cut short.
  cut.AppendValue(int32_t(10));
  cut.AppendBytes("abc", 3);
  negative.AppendValue(int32_t(-4));
  negative.AppendBytes("abcdefgh", 8);
  missing.AppendBytes("ab", 2);
  std::string s = "keep";
  EXPECT_EQ(std::vector<int>({cut.ReadString(s, 0), negative.ReadString(s, 0),
                              missing.ReadString(s, 0), cut.ReadString(s, -1)}),
            std::vector<int>(4, -1));
  EXPECT_EQ(s, "keep");

  const unsigned char byte = 1;
  chunk.AppendValue(uint8_t(7));
  EXPECT_EQ(std::vector<int>({chunk.AppendBytes(&byte, INT_MAX), chunk.AppendBytes(&byte, -1),
                              chunk.AppendBytes(nullptr, 1), chunk.SetByteCount(-5)}),
            std::vector<int>({1, 1, 1, 0}));
  // Bytes uncovered again by a resize read as zero, not as what was there before.
  chunk.AppendValue(int32_t(0x01020304));
  chunk.SetByteCount(2);
  chunk.SetByteCount(8);
  EXPECT_EQ(BytesOf(chunk), (Bytes{4, 3, 0, 0, 0, 0, 0, 0}));
}

// A sanitizer reserves terabytes of shadow address space, which the cap would forbid.
#if !OSTRA_SANITIZED
TEST(ByteChunkFailuresDeathTest, AllocationFailureKeepsSizeAndBytes)
{
  // In a child with a capped address space, a large growth must fail cleanly.
  const auto grow = []
  {
    IByteChunk chunk;
    chunk.AppendValue(int32_t(1234));
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = rlim_t(1) << 30;
    setrlimit(RLIMIT_AS, &limit);
    int32_t value = 0;
    const bool kept = chunk.SetByteCount(1500 * 1000 * 1000) == 4 &&
                      chunk.ReadValue(value, 0) == 4 && value == 1234;
    std::_Exit(kept ? 0 : 1);
  };
  EXPECT_EXIT(grow(), testing::ExitedWithCode(0), "");
}
#endif
