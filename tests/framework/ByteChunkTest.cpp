// Byte chunk: encoding, growth steps of its heap buffer, positioned reads and their failures.
#include "framework/IByteChunk.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sys/resource.h>
#include <vector>

using plug::IByteChunk;
using plug::IHeapBuffer;

namespace
{

std::vector<unsigned char> BytesOf(const IByteChunk& chunk)
{
  const unsigned char* bytes = chunk.Bytes();
  return bytes ? std::vector<unsigned char>(bytes, bytes + chunk.ByteCount())
               : std::vector<unsigned char>();
}

} // namespace

TEST(ByteChunkEncoding, ValuesAreLittleEndianWithoutPadding)
{
  IByteChunk chunk;
  EXPECT_EQ(chunk.ByteCount(), 0);
  EXPECT_EQ(chunk.Bytes(), nullptr);
  EXPECT_EQ(chunk.AppendValue(int32_t(3)), 4);
  EXPECT_EQ(BytesOf(chunk), (std::vector<unsigned char>{3, 0, 0, 0}));
  EXPECT_EQ(chunk.AppendValue(1.0), 12);
  EXPECT_EQ(chunk.AppendValue(uint8_t(0xAB)), 13);
  EXPECT_EQ(BytesOf(chunk),
            (std::vector<unsigned char>{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0xAB}));
}

TEST(ByteChunkEncoding, ReadsChainPositionsThroughMixedValues)
{
  IByteChunk chunk;
  chunk.AppendValue(int32_t(-7));
  chunk.AppendString("Tape");
  chunk.AppendValue(0.125);
  chunk.AppendString("");
  chunk.AppendValue(uint8_t(1));

  int32_t i = 0;
  std::string s, empty = "x";
  double d = 0.0;
  uint8_t b = 0;
  int pos = chunk.ReadValue(i, 0);
  EXPECT_EQ(pos, 4);
  pos = chunk.ReadString(s, pos);
  EXPECT_EQ(pos, 12);
  pos = chunk.ReadValue(d, pos);
  EXPECT_EQ(pos, 20);
  pos = chunk.ReadString(empty, pos);
  EXPECT_EQ(pos, 24);
  pos = chunk.ReadValue(b, pos);
  EXPECT_EQ(pos, chunk.ByteCount());
  EXPECT_EQ(i, -7);
  EXPECT_EQ(s, "Tape");
  EXPECT_EQ(d, 0.125);
  EXPECT_EQ(empty, "");
  EXPECT_EQ(b, 1);
}

TEST(ByteChunkStrings, LengthPrefixWithoutTerminator)
{
  IByteChunk chunk;
  EXPECT_EQ(chunk.AppendString(""), 4);
  EXPECT_EQ(BytesOf(chunk), (std::vector<unsigned char>{0, 0, 0, 0}));

  IByteChunk text;
  // Only the part before the first zero byte is written.
  text.AppendString(std::string_view("ab\0cd", 5));
  EXPECT_EQ(BytesOf(text), (std::vector<unsigned char>{2, 0, 0, 0, 'a', 'b'}));
}

TEST(ByteChunkStrings, ZeroByteInsideEndsTheTextButNotThePosition)
{
  IByteChunk chunk;
  chunk.AppendValue(int32_t(5));
  chunk.AppendBytes("ab\0cd", 5);
  chunk.AppendValue(int32_t(42));
  std::string s;
  const int pos = chunk.ReadString(s, 0);
  EXPECT_EQ(s, "ab");
  EXPECT_EQ(pos, 9);
  int32_t after = 0;
  EXPECT_EQ(chunk.ReadValue(after, pos), 13);
  EXPECT_EQ(after, 42);
}

TEST(ByteChunkStrings, DamagedLengthsFailAndLeaveTheTargetAlone)
{
  IByteChunk cut, negative, missing;
  cut.AppendValue(int32_t(10));
  cut.AppendBytes("abc", 3);
  negative.AppendValue(int32_t(-4));
  negative.AppendBytes("abcdefgh", 8);
  missing.AppendBytes("ab", 2);

  std::string s = "keep";
  EXPECT_EQ(cut.ReadString(s, 0), -1);
  EXPECT_EQ(negative.ReadString(s, 0), -1);
  EXPECT_EQ(missing.ReadString(s, 0), -1);
  EXPECT_EQ(cut.ReadString(s, -1), -1);
  EXPECT_EQ(s, "keep");
}

TEST(ByteChunkReads, OutOfBoundsReadsFailWithoutCopying)
{
  IByteChunk chunk;
  for (int32_t v = 1; v <= 3; ++v)
    chunk.AppendValue(v);
  int32_t out = 99;
  EXPECT_EQ(chunk.ReadValue(out, chunk.ByteCount() - 3), -1);
  EXPECT_EQ(chunk.ReadValue(out, -1), -1);
  EXPECT_EQ(chunk.ReadValue(out, INT_MAX - 1), -1); // pos + size must not wrap
  EXPECT_EQ(out, 99);
  EXPECT_EQ(chunk.ReadValue(out, chunk.ByteCount() - 4), chunk.ByteCount());
  EXPECT_EQ(out, 3);

  char bytes[4] = {};
  EXPECT_EQ(chunk.ReadBytes(bytes, -1, 0), -1);
  EXPECT_EQ(chunk.ReadBytes(bytes, 0, chunk.ByteCount()), chunk.ByteCount());
  EXPECT_EQ(chunk.ReadBytes(bytes, 0, chunk.ByteCount() + 1), -1);
  IByteChunk empty;
  EXPECT_EQ(empty.ReadValue(out, 0), -1);
}

TEST(ByteChunkGrowth, OneByteAtATimeGrowsInPageSteps)
{
  IByteChunk chunk;
  std::vector<std::pair<int, int>> changes; // (size, new allocation)
  int allocated = chunk.Allocated();
  const unsigned char byte = 0x5A;
  for (int i = 1; i <= 12192 + 1; ++i)
  {
    ASSERT_EQ(chunk.AppendBytes(&byte, 1), i);
    if (chunk.Allocated() != allocated)
    {
      allocated = chunk.Allocated();
      changes.emplace_back(i, allocated);
    }
  }
  const std::vector<std::pair<int, int>> expected{
    {1, 4000}, {4001, 8096}, {8097, 12192}, {12193, 16288}};
  EXPECT_EQ(changes, expected);
  for (int i = 0; i < chunk.ByteCount(); ++i)
    ASSERT_EQ(chunk.Bytes()[i], 0x5A);
}

TEST(ByteChunkGrowth, LargeRequestsStayJustBelowAPageMultiple)
{
  IByteChunk chunk;
  for (int size : {1, 5000, 100000, 3000000, 20000000, 2000, 0})
  {
    ASSERT_EQ(chunk.SetByteCount(size), size);
    EXPECT_GE(chunk.Allocated(), size);
    EXPECT_EQ((chunk.Allocated() + 96) % 4096, 0) << "size " << size;
    // Growth beyond the request is at most half of it, capped at 4 MiB, plus one page.
    EXPECT_LE(chunk.Allocated() - size, std::min(std::max(size / 2, 4096), 4 << 20) + 4096);
  }
  EXPECT_EQ(chunk.Bytes(), nullptr);
}

TEST(ByteChunkGrowth, ShrinkingKeepsTheBufferUntilItIsMostlyUnused)
{
  IByteChunk chunk;
  chunk.SetByteCount(100000);
  const int big = chunk.Allocated();
  chunk.SetByteCount(80000);
  EXPECT_EQ(chunk.Allocated(), big);
  chunk.SetByteCount(10);
  EXPECT_LT(chunk.Allocated(), big);
  EXPECT_EQ(chunk.ByteCount(), 10);
}

TEST(ByteChunkGrowth, SetByteCountZeroesNewBytesAndKeepsOldOnes)
{
  IByteChunk chunk;
  chunk.AppendValue(int32_t(0x01020304));
  chunk.SetByteCount(2);
  chunk.SetByteCount(8);
  EXPECT_EQ(BytesOf(chunk), (std::vector<unsigned char>{4, 3, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(chunk.SetByteCount(-5), 0);
  chunk.AppendValue(int32_t(1));
  chunk.Empty();
  EXPECT_EQ(chunk.ByteCount(), 0);
  EXPECT_EQ(chunk.Bytes(), nullptr);
}

TEST(HeapBufferGrowth, SmallGranularityAddsHalfTheSizeOrTheGranularity)
{
  IHeapBuffer buffer(16);
  ASSERT_TRUE(buffer.Resize(10));
  EXPECT_EQ(buffer.GetAllocated(), 26);
  ASSERT_TRUE(buffer.Resize(26));
  EXPECT_EQ(buffer.GetAllocated(), 26);
  ASSERT_TRUE(buffer.Resize(100));
  EXPECT_EQ(buffer.GetAllocated(), 150);
  // Growing without the shrink flag never reallocates downwards.
  ASSERT_TRUE(buffer.Resize(1, false));
  EXPECT_EQ(buffer.GetAllocated(), 150);
  EXPECT_EQ(buffer.GetSize(), 1);
}

TEST(ByteChunkFailures, AppendsThatWouldOverflowTheSizeChangeNothing)
{
  IByteChunk chunk;
  chunk.AppendValue(uint8_t(7));
  const unsigned char byte = 1;
  EXPECT_EQ(chunk.AppendBytes(&byte, INT_MAX), 1);
  EXPECT_EQ(chunk.AppendBytes(&byte, -1), 1);
  EXPECT_EQ(chunk.AppendBytes(nullptr, 1), 1);
  EXPECT_EQ(chunk.ByteCount(), 1);
  EXPECT_EQ(chunk.Bytes()[0], 7);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(ByteChunkFailuresDeathTest, AllocationFailureKeepsSizeAndBytes)
{
  // In a child process with a capped address space, a large growth must fail cleanly.
  EXPECT_EXIT(
    {
      IByteChunk chunk;
      chunk.AppendValue(int32_t(1234));
      rlimit limit{};
      getrlimit(RLIMIT_AS, &limit);
      limit.rlim_cur = rlim_t(1) << 30; // 1 GiB
      setrlimit(RLIMIT_AS, &limit);
      const int result = chunk.SetByteCount(1500 * 1000 * 1000);
      int32_t value = 0;
      const bool ok = result == 4 && chunk.ByteCount() == 4 && chunk.ReadValue(value, 0) == 4 &&
                      value == 1234;
      std::_Exit(ok ? 0 : 1);
    },
    testing::ExitedWithCode(0), "");
}
#endif

TEST(ByteChunkCopy, PutChunkAndIsEqual)
{
  IByteChunk a, b;
  a.AppendString("state");
  EXPECT_FALSE(a.IsEqual(b));
  b.PutChunk(a);
  EXPECT_TRUE(a.IsEqual(b));
  b.PutChunk(IByteChunk());
  EXPECT_TRUE(a.IsEqual(b));
  EXPECT_TRUE(IByteChunk().IsEqual(IByteChunk()));
}
