#include "presets/Base64.h"

#include <gtest/gtest.h>

#include <random>

using corvana::presets::fromBase64;
using corvana::presets::toBase64;

namespace
{

std::vector<std::uint8_t> bytesOf(std::string_view text)
{
  return {text.begin(), text.end()};
}

} // namespace

TEST(Base64, KnownVectorsEncodeAndDecode)
{
  // RFC 4648 test vectors cover no, one and two padding characters.
  const std::pair<const char*, const char*> vectors[] = {
    {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"},
  };
  for (const auto& [plain, encoded] : vectors)
  {
    EXPECT_EQ(toBase64(bytesOf(plain)), encoded) << plain;
    std::vector<std::uint8_t> out{1, 2, 3};
    ASSERT_TRUE(fromBase64(encoded, out)) << encoded;
    EXPECT_EQ(out, bytesOf(plain)) << encoded;
  }
}

TEST(Base64, UsesTheStandardAlphabetForHighBits)
{
  const std::vector<std::uint8_t> bytes{0xfb, 0xff, 0xbf};
  EXPECT_EQ(toBase64(bytes), "+/+/");
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(fromBase64("+/+/", out));
  EXPECT_EQ(out, bytes);
}

TEST(Base64, RefusesMalformedTextAndLeavesNoOutput)
{
  const char* bad[] = {
    "YQ=A",      // padding followed by a character
    "Y===",      // three padding characters
    "====",      // nothing but padding
    "YQ==YWJj",  // padding outside the last group
    "YWJ",       // length not a multiple of four
    "YW J",      // space
    "YWJj\n",    // line break
    "YW\nJ",
    "-_-_",      // URL-safe alphabet
    "YWJ\x80",   // byte outside ASCII
    "YW=j",      // padding in the third place only
  };
  for (const char* text : bad)
  {
    std::vector<std::uint8_t> out{9, 9};
    EXPECT_FALSE(fromBase64(text, out)) << text;
    EXPECT_TRUE(out.empty()) << text;
  }
  std::vector<std::uint8_t> out{9};
  EXPECT_FALSE(fromBase64(std::string_view("YW\0j", 4), out));
}

TEST(Base64, RoundTripsEveryLengthAndByteValue)
{
  std::mt19937 random(1234);
  for (std::size_t length = 0; length < 300; ++length)
  {
    std::vector<std::uint8_t> bytes(length);
    for (auto& b : bytes)
      b = static_cast<std::uint8_t>(random());
    const auto text = toBase64(bytes);
    EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(fromBase64(text, out)) << length;
    EXPECT_EQ(out, bytes) << length;
  }
}
