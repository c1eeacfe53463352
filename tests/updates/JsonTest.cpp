#include "updates/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace corvana::updates;

namespace {

std::string nested(int containers) {
  const auto n = static_cast<std::size_t>(containers);
  return std::string(n, '[') + std::string(n, ']');
}

std::string asJsonString(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

} // namespace

TEST(Json, ReadsEveryKindOfValueAndFindsTheFirstMemberOfAName) {
  const auto value = parseJson(R"( {"a": [1, -2.5e2, true, false, null], "b": {"c": "d"}, "a": 7} )");
  ASSERT_TRUE(value && value->isObject());
  EXPECT_EQ(value->object.size(), 3u);
  const JsonValue *a = value->member("a");
  ASSERT_TRUE(a != nullptr && a->type == JsonValue::Type::Array && a->array.size() == 5u);
  EXPECT_EQ(a->array[1].number, -250.0);
  EXPECT_TRUE(a->array[2].boolean);
  EXPECT_EQ(a->array[3].type, JsonValue::Type::Boolean);
  EXPECT_FALSE(a->array[3].boolean);
  EXPECT_EQ(a->array[4].type, JsonValue::Type::Null);
  ASSERT_TRUE(value->member("b") && value->member("b")->member("c"));
  EXPECT_EQ(value->member("b")->member("c")->string, "d");
  EXPECT_EQ(value->member("missing"), nullptr);
  EXPECT_EQ(a->member("a"), nullptr); // arrays have no members
}

TEST(Json, RefusesBadGrammarAndAnythingButWhiteSpaceAfterTheValue) {
  EXPECT_TRUE(parseJson(" \n{} \t\r\n"));
  for (const char *bad : {"", "   ", "{", "[1,]", "[,1]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "{'a':1}", "01",
                          "-", "+1", "1.", ".5", "1e", "-01", "0x10", "NaN", "Infinity", "tru", "True",
                          "\"abc", "\"a\\x\"", "\"\\u12G4\"", "\"\\u123\"", "\"tab\there\"", "[1 2]",
                          // trailing garbage
                          "{}x", "{} {}", "[1]]", "1 2", "{}\v", "{}\f", "null,"})
    EXPECT_FALSE(parseJson(bad)) << bad;
  EXPECT_FALSE(parseJson(std::string_view("{}\0", 3)));
}

TEST(Json, NestsAtMostEightLevelsBelowTheRoot) {
  EXPECT_TRUE(parseJson(nested(9)));                               // the root and eight levels below it
  EXPECT_FALSE(parseJson(nested(10)));                             // nine levels below
  EXPECT_TRUE(parseJson("[" + nested(8) + "," + nested(8) + "]")); // depth is per path, not a total
  std::string objects = "1";
  for (int level = 0; level < 10; ++level)
    objects = "{\"k\":" + objects + "}";
  EXPECT_FALSE(parseJson(objects));
  EXPECT_FALSE(parseJson(nested(100000))); // hostile depth: no stack exhaustion
}

TEST(Json, DecodesEscapesToUtf8AndRefusesLoneSurrogates) {
  const auto value = parseJson(R"("\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC\ud83d\ude00\u0000")");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->string, std::string("\"\\/\b\f\n\r\tA\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 18) + '\0');
  EXPECT_EQ(parseJson("\"\xC3\xA9\xFF\"")->string, "\xC3\xA9\xFF"); // raw high bytes pass through
  for (const char *lone : {R"("\ud83d")", R"("\ud83dx")", R"("\ud83d\u0041")", R"("\ude00")"})
    EXPECT_FALSE(parseJson(lone)) << lone;
}

TEST(Json, ConvertsNumbersLikeStrtod) {
  // from_chars does the work; out-of-range values are mapped by hand as strtod would.
  const std::pair<std::string, double> cases[] = {{"0.125", 0.125},
                                                  {"12E-1", 1.2},
                                                  {"1e999", HUGE_VAL},
                                                  {"-1e999", -HUGE_VAL},
                                                  {"1e-999", 0.0},
                                                  {"100000e-400", 0.0},
                                                  {"1" + std::string(400, '0') + "e-5", HUGE_VAL}};
  for (const auto &[text, expected] : cases) {
    const auto value = parseJson(text);
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(value->number, expected) << text;
  }
  EXPECT_TRUE(std::signbit(parseJson("-0")->number));
}

TEST(Json, WritesStringsThatReadBackByteForByte) {
  EXPECT_EQ(asJsonString("a\"b\\c\nd\re\tf"), R"("a\"b\\c\nd\re\tf")");
  EXPECT_EQ(asJsonString(std::string("\0\x01\x1f\b\f", 5)), R"("\u0000\u0001\u001f\u0008\u000c")");
  EXPECT_EQ(asJsonString("/\x7f\xC3\xA9\xFF"), "\"/\x7f\xC3\xA9\xFF\""); // slash and high bytes unchanged
  std::string all;
  for (int byte = 0; byte < 256; ++byte)
    all += static_cast<char>(byte);
  for (const std::string &text : {all, std::string("{\"x\":\"\\u00e9\"}\n"), std::string()}) {
    const auto back = parseJson(asJsonString(text));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->string, text);
  }
}
