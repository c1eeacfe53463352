#include "updates/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using corvana::updates::appendJsonString;
using corvana::updates::JsonValue;
using corvana::updates::parseJson;

namespace
{

std::string nested(int containers, std::string_view inner = "")
{
    return std::string(static_cast<std::size_t>(containers), '[') + std::string(inner)
           + std::string(static_cast<std::size_t>(containers), ']');
}

std::string asJsonString(std::string_view text)
{
    std::string out;
    appendJsonString(out, text);
    return out;
}

} // namespace

TEST(Json, ReadsEveryKindOfValueInDocumentOrder)
{
    const auto value = parseJson(R"( {"a": [1, -2.5e2, true, false, null], "b": {"c": "d"}, "a": 7} )");
    ASSERT_TRUE(value);
    ASSERT_TRUE(value->isObject());
    ASSERT_EQ(value->object.size(), 3u);
    const JsonValue* a = value->member("a"); // the first of two members named "a"
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->type, JsonValue::Type::Array);
    ASSERT_EQ(a->array.size(), 5u);
    EXPECT_EQ(a->array[0].number, 1.0);
    EXPECT_EQ(a->array[1].number, -250.0);
    EXPECT_TRUE(a->array[2].boolean);
    EXPECT_EQ(a->array[3].type, JsonValue::Type::Boolean);
    EXPECT_FALSE(a->array[3].boolean);
    EXPECT_EQ(a->array[4].type, JsonValue::Type::Null);
    ASSERT_NE(value->member("b"), nullptr);
    ASSERT_NE(value->member("b")->member("c"), nullptr);
    EXPECT_EQ(value->member("b")->member("c")->string, "d");
    EXPECT_EQ(value->member("missing"), nullptr);
    EXPECT_EQ(a->member("a"), nullptr); // arrays have no members
}

TEST(Json, RefusesWhatTheGrammarDoesNotAllow)
{
    for (const char* bad : {"", "   ", "{", "}", "[1,]", "[,1]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "{'a':1}",
                            "01", "-", "+1", "1.", ".5", "1e", "1e+", "-01", "0x10", "NaN", "Infinity", "tru",
                            "nul", "True", "\"abc", "\"a\\x\"", "\"\\u12G4\"", "\"\\u123\"", "\"tab\there\"",
                            "\"line\nbreak\"", "[1 2]", "{\"a\":1 \"b\":2}"})
        EXPECT_FALSE(parseJson(bad)) << bad;
}

TEST(Json, AllowsOnlyWhiteSpaceAfterTheValue)
{
    EXPECT_TRUE(parseJson("{} \t\r\n"));
    EXPECT_TRUE(parseJson(" \n[1]"));
    for (const char* bad : {"{}x", "{} {}", "[1]]", "1 2", "{}\v", "{}\f", "null,", "\"a\"\"b\""})
        EXPECT_FALSE(parseJson(bad)) << bad;
    EXPECT_FALSE(parseJson(std::string_view("{}\0", 3)));
}

TEST(Json, NestsAtMostEightLevelsBelowTheRoot)
{
    EXPECT_TRUE(parseJson(nested(9)));            // root plus eight levels
    EXPECT_FALSE(parseJson(nested(10)));          // nine levels below the root
    EXPECT_TRUE(parseJson(nested(9, "1")));       // a scalar inside the deepest container is fine
    std::string objects = "1";
    for (int level = 0; level < 10; ++level)
        objects = "{\"k\":" + objects + "}";
    EXPECT_FALSE(parseJson(objects));
    EXPECT_FALSE(parseJson(nested(100000)));      // no stack exhaustion on hostile depth
    EXPECT_TRUE(parseJson("[" + nested(8) + "," + nested(8) + "]"));
}

TEST(Json, DecodesEscapesToUtf8)
{
    const auto value = parseJson(R"("\"\\\/\b\f\n\r\t\u0041\u00e9\u20AC\ud83d\ude00\u0000")");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->string, std::string("\"\\/\b\f\n\r\tA\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 18) + '\0');
    // Raw bytes above 0x7F pass through as they are.
    EXPECT_EQ(parseJson("\"\xC3\xA9\xFF\"")->string, "\xC3\xA9\xFF");
    // Lone surrogates would make invalid UTF-8.
    EXPECT_FALSE(parseJson(R"("\ud83d")"));
    EXPECT_FALSE(parseJson(R"("\ud83dx")"));
    EXPECT_FALSE(parseJson(R"("\ud83d\u0041")"));
    EXPECT_FALSE(parseJson(R"("\ude00")"));
}

TEST(Json, ConvertsNumbersLikeStrtodWhateverTheLocale)
{
    EXPECT_EQ(parseJson("0")->number, 0.0);
    EXPECT_TRUE(std::signbit(parseJson("-0")->number));
    EXPECT_EQ(parseJson("1700000000")->number, 1700000000.0);
    EXPECT_EQ(parseJson("0.125")->number, 0.125);
    EXPECT_EQ(parseJson("12E-1")->number, 1.2);
    EXPECT_EQ(parseJson("1e+2")->number, 100.0);
    EXPECT_EQ(parseJson("1e999")->number, HUGE_VAL);
    EXPECT_EQ(parseJson("-1e999")->number, -HUGE_VAL);
    EXPECT_EQ(parseJson("1e-999")->number, 0.0);
    EXPECT_EQ(parseJson("0.0000001e-999")->number, 0.0);
    EXPECT_EQ(parseJson("100000e-400")->number, 0.0);
    EXPECT_EQ(parseJson((std::string("1") + std::string(400, '0') + "e-5"))->number, HUGE_VAL);
}

TEST(Json, WritesStringsWithTheFiveEscapesAndHexForOtherControls)
{
    EXPECT_EQ(asJsonString(""), "\"\"");
    EXPECT_EQ(asJsonString("a\"b\\c\nd\re\tf"), R"("a\"b\\c\nd\re\tf")");
    EXPECT_EQ(asJsonString(std::string("\0\x01\x1f\b\f", 5)), R"("\u0000\u0001\u001f\u0008\u000c")");
    EXPECT_EQ(asJsonString("/\x7f\xC3\xA9\xFF"), "\"/\x7f\xC3\xA9\xFF\""); // slash and high bytes unchanged
}

TEST(Json, EveryByteStringRoundTrips)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += static_cast<char>(byte);
    for (const std::string& text : {all, std::string("{\"x\":\"\\u00e9\"}\n"), std::string()})
    {
        const auto back = parseJson(asJsonString(text));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->string, text);
    }
}
