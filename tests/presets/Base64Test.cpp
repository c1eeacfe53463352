#include "presets/Base64.h"

#include <gtest/gtest.h>

#include <random>

using corvana::presets::fromBase64;
using corvana::presets::toBase64;

TEST(Base64, KnownVectorsEncodeAndDecode)
{
  // RFC 4648 vectors (no, one and two padding characters) and the two high-bit letters.
  const std::pair<std::string, const char*> vectors[] = {
    {"", ""},           {"f", "Zg=="},        {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff\xbf", "+/+/"},
  };
  for (const auto& [plain, encoded] : vectors)
  {
    const std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
    EXPECT_EQ(toBase64(bytes), encoded);
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_TRUE(fromBase64(encoded, out)) << encoded;
    EXPECT_EQ(out, bytes) << encoded;
  }
}

TEST(Base64, RefusesMalformedTextAndLeavesNoOutput)
{
  const std::string_view bad[] = {
    "YQ=A", "Y===", "====", "YQ==YWJj", // padding misplaced or alone
    "YW=j", "YWJ",                      // padding in the third place only; length not 4n
    "YW J", "YWJj\n", "YW\nJ",           // whitespace
    "-_-_", "YWJ\x80",                  // URL-safe alphabet; byte outside ASCII
    std::string_view("YW\0j", 4),
  };
  for (std::string_view text : bad)
  {
    std::vector<std::uint8_t> out{9, 9};
    EXPECT_FALSE(fromBase64(text, out)) << text;
    EXPECT_TRUE(out.empty()) << text;
  }
}

TEST(Base64, RoundTripsEveryLengthAndByteValue)
{
  std::mt19937 random(1234);
  for (std::size_t length = 0; length < 300; ++length)
  {
    std::vector<std::uint8_t> bytes(length), out;
    for (auto& b : bytes)
      b = static_cast<std::uint8_t>(random());
    const auto text = toBase64(bytes);
    EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
    ASSERT_TRUE(fromBase64(text, out)) << length;
    EXPECT_EQ(out, bytes) << length;
  }
}
