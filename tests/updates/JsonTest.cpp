#include "updates/Json.h"
#include "framework/JSONString.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace corvana::updates;

TEST(Json, ReadsEveryKindOfValueAndFindsTheFirstMemberOfAName)
{
  const auto value =
      parseJson(R"( {"a": [1, -2.5e2, true, false, null], "b": {"c": "d"}, "a": 7} )");
  ASSERT_TRUE(value && value->isObject());
  const JsonValue* a = value->member("a");
  ASSERT_TRUE(a != nullptr && a->type == JsonValue::Type::Array && a->array.size() == 5u);
  EXPECT_EQ(
      std::tuple(a->array[1].number, a->array[2].boolean, a->array[3].boolean, a->array[4].type),
      std::tuple(-250.0, true, false, JsonValue::Type::Null));
  ASSERT_TRUE(value->member("b") && value->member("b")->member("c"));
  EXPECT_EQ(value->member("b")->member("c")->string, "d");
  EXPECT_EQ(value->member("missing"), nullptr);
}

TEST(Json, RefusesBadGrammarAndAnythingButWhiteSpaceAfterTheValue)
{
  EXPECT_TRUE(parseJson(" \n{} \t\r\n"));
  for (const char* bad : {"", "{", "[1,]", "{\"a\":1,}", "{a:1}", "01", "-", "1.", ".5", "NaN",
                          "tru", "\"abc", "\"a\\x\"", "\"\\u12G4\"", "\"tab\there\"", "[1 2]",
                          // trailing garbage
                          "{}x", "{} {}", "[1]]", "1 2", "{}\f", "null,"})
    EXPECT_FALSE(parseJson(bad)) << bad;
  EXPECT_FALSE(parseJson(std::string_view("{}\0", 3)));
}

TEST(Json, NestsAtMostEightLevelsBelowTheRoot)
{
  const auto nested = [](std::size_t n) { return std::string(n, '[') + std::string(n, ']'); };
  EXPECT_TRUE(parseJson(nested(9)));   // the root and eight levels below it
  EXPECT_FALSE(parseJson(nested(10))); // nine levels below
  EXPECT_TRUE(parseJson("[" + nested(8) + "," + nested(8) + "]")); // depth is per path, not a total
  EXPECT_FALSE(parseJson(nested(100000))); // hostile depth: no stack exhaustion
  // Objects count as levels just as arrays do, alone and mixed with them.
  const auto objects = [](std::size_t n)
  {
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
      text += "{\"a\":";
    return text + "1" + std::string(n, '}');
  };
  EXPECT_TRUE(parseJson(objects(9)));
  EXPECT_FALSE(parseJson(objects(10)));
  EXPECT_FALSE(parseJson(objects(100000)));
  EXPECT_TRUE(parseJson("[{\"a\":[{\"a\":[{\"a\":[{\"a\":[]}]}]}]}]"));
  EXPECT_FALSE(parseJson("[{\"a\":[{\"a\":[{\"a\":[{\"a\":[{}]}]}]}]}]"));
}

TEST(Json, DecodesEscapesAndWritesStringsThatReadBackByteForByte)
{
  const auto value = parseJson(R"("\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC\ud83d\ude00\u0000")");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->string,
            std::string("\"\\/\b\f\n\r\tA\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 18) + '\0');
  for (const char* lone : {R"("\ud83d")", R"("\ud83d\u0041")", R"("\ude00")"})
    EXPECT_FALSE(parseJson(lone)) << lone;

  std::string all;
  for (int byte = 0; byte < 256; ++byte)
    all += static_cast<char>(byte);
  for (const std::string& text : {all, std::string("{\"x\":\"\\u00e9\"}\n"), std::string()})
  {
    std::string written;
    plug::AppendJSONString(written, text);
    const auto back = parseJson(written);
    ASSERT_TRUE(back) << written;
    EXPECT_EQ(back->string, text);
  }
}
