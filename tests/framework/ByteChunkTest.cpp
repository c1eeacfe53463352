// Byte chunk: encoding, growth steps of its heap buffer, positioned reads and their failures.
#include "framework/IByteChunk.h"

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
  EXPECT_EQ(chunk.Bytes(), nullptr);
  EXPECT_EQ(chunk.AppendValue(int32_t(3)), 4);
  EXPECT_EQ(chunk.AppendValue(1.0), 12);
  EXPECT_EQ(chunk.AppendString(""), 16);
  EXPECT_EQ(chunk.AppendString(std::string_view("ab\0cd", 5)), 22); // up to the zero byte
  EXPECT_EQ(BytesOf(chunk), (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
  IByteChunk copy;
  copy.PutChunk(chunk);
  EXPECT_TRUE(copy.IsEqual(chunk));

  // A zero byte inside a stored string ends the text but not the position.
  chunk.AppendValue(int32_t(5));
  chunk.AppendBytes("ab\0cd", 5);
  chunk.AppendValue(uint8_t(0xAB));
  int32_t i = 0;
  double d = 0.0;
  std::string empty = "x", s, cut;
  uint8_t b = 0;
  EXPECT_EQ(chunk.ReadValue(i, 0), 4);
  EXPECT_EQ(chunk.ReadValue(d, 4), 12);
  EXPECT_EQ(chunk.ReadString(empty, 12), 16);
  EXPECT_EQ(chunk.ReadString(s, 16), 22);
  EXPECT_EQ(chunk.ReadString(cut, 22), 31);
  EXPECT_EQ(chunk.ReadValue(b, 31), 32);
  EXPECT_EQ(std::make_tuple(i, d, empty, s, cut, b), std::make_tuple(3, 1.0, std::string(), std::string("ab"),
                                                                     std::string("ab"), uint8_t(0xAB)));
}

TEST(ByteChunk, FailedReadsReturnMinusOneAndLeaveTheTargetAlone)
{
  IByteChunk values, cut, negative, missing;
  for (int32_t v = 1; v <= 3; ++v)
    values.AppendValue(v);
  int32_t out = 99;
  for (int pos : {values.ByteCount() - 3, -1, INT_MAX - 1}) // the last must not wrap pos + size
    EXPECT_EQ(values.ReadValue(out, pos), -1) << pos;
  EXPECT_EQ(IByteChunk().ReadValue(out, 0), -1);
  EXPECT_EQ(out, 99);
  char bytes[12] = {};
  EXPECT_EQ(values.ReadBytes(bytes, -1, 0), -1);
  EXPECT_EQ(values.ReadBytes(bytes, 13, 0), -1);
  EXPECT_EQ(values.ReadBytes(bytes, 12, 0), 12);

  // A string whose length runs past the end, is negative or is itself cut short.
  cut.AppendValue(int32_t(10));
  cut.AppendBytes("abc", 3);
  negative.AppendValue(int32_t(-4));
  negative.AppendBytes("abcdefgh", 8);
  missing.AppendBytes("ab", 2);
  std::string s = "keep";
  for (const IByteChunk* chunk : {&cut, &negative, &missing})
    EXPECT_EQ(chunk->ReadString(s, 0), -1);
  EXPECT_EQ(cut.ReadString(s, -1), -1);
  EXPECT_EQ(s, "keep");
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
  EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{1, 4000}, {4001, 8096}, {8097, 12192}, {12193, 16288}}));
  EXPECT_EQ(BytesOf(chunk), Bytes(12193, 0x5A));
}

TEST(ByteChunkGrowth, SizesStayBelowAPageMultipleShrinkWhenMostlyUnusedAndZeroNewBytes)
{
  IByteChunk chunk;
  for (int size : {1, 5000, 100000, 3000000, 20000000, 2000})
  {
    ASSERT_EQ(chunk.SetByteCount(size), size);
    EXPECT_EQ((chunk.Allocated() + 96) % 4096, 0) << size;
    // Headroom is at most half the request, capped at 4 MiB, plus one page.
    EXPECT_GE(chunk.Allocated(), size);
    EXPECT_LE(chunk.Allocated() - size, std::min(std::max(size / 2, 4096), 4 << 20) + 4096) << size;
  }
  chunk.SetByteCount(100000);
  const int big = chunk.Allocated();
  chunk.SetByteCount(80000);
  EXPECT_EQ(chunk.Allocated(), big);
  chunk.SetByteCount(10);
  EXPECT_LT(chunk.Allocated(), big);

  chunk.Empty();
  EXPECT_EQ(chunk.Bytes(), nullptr);
  chunk.AppendValue(int32_t(0x01020304));
  chunk.SetByteCount(2);
  chunk.SetByteCount(8);
  EXPECT_EQ(BytesOf(chunk), (Bytes{4, 3, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(chunk.SetByteCount(-5), 0);
}

TEST(ByteChunkFailures, AppendsThatWouldOverflowTheSizeChangeNothing)
{
  IByteChunk chunk;
  chunk.AppendValue(uint8_t(7));
  const unsigned char byte = 1;
  EXPECT_EQ(chunk.AppendBytes(&byte, INT_MAX), 1);
  EXPECT_EQ(chunk.AppendBytes(&byte, -1), 1);
  EXPECT_EQ(chunk.AppendBytes(nullptr, 1), 1);
  EXPECT_EQ(BytesOf(chunk), Bytes{7});
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(ByteChunkFailuresDeathTest, AllocationFailureKeepsSizeAndBytes)
{
  // In a child with a capped address space, a large growth must fail cleanly.
  EXPECT_EXIT(
    {
      IByteChunk chunk;
      chunk.AppendValue(int32_t(1234));
      rlimit limit{};
      getrlimit(RLIMIT_AS, &limit);
      limit.rlim_cur = rlim_t(1) << 30;
      setrlimit(RLIMIT_AS, &limit);
      const int result = chunk.SetByteCount(1500 * 1000 * 1000);
      int32_t value = 0;
      std::_Exit(result == 4 && chunk.ReadValue(value, 0) == 4 && value == 1234 ? 0 : 1);
    },
    testing::ExitedWithCode(0), "");
}
#endif
