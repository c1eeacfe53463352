#include "updates/Json.h"

#include "framework/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace corvana::updates
{

const JsonValue* JsonValue::member(std::string_view name) const noexcept
{
  if (type != Type::Object)
    return nullptr;
  for (const auto& entry : object)
    if (entry.name == name)
      return &entry.value;
  return nullptr;
}

namespace
{

bool isDigit(char c) noexcept
{
  return c >= '0' && c <= '9';
}

int hexValue(char c) noexcept
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

/**
 * The power of ten of the leading significant digit of a grammatical number, enough to
 * tell an overflowing literal from an underflowing one. Clamped far beyond double's range.
 */
long decimalOrder(std::string_view number) noexcept
{
  constexpr long kClamp = 1000000;
  std::size_t i = number.empty() || number[0] != '-' ? 0 : 1;
  long order = 0;
  bool found = false;
  long integerDigits = 0;
  for (; i < number.size() && isDigit(number[i]); ++i)
  {
    if (!found && number[i] != '0')
    {
      found = true;
      integerDigits = 0;
    }
    if (found)
      ++integerDigits;
  }
  if (found)
    order = integerDigits - 1; // else the fraction counts down from 10^0
  if (i < number.size() && number[i] == '.')
  {
    for (++i; i < number.size() && isDigit(number[i]); ++i)
    {
      if (!found)
      {
        order = std::max(order - 1, -kClamp);
        if (number[i] != '0')
          found = true;
      }
    }
  }
  if (!found)
    return -kClamp; // zero never overflows
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E'))
  {
    ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+'))
      ++i;
    long exponent = 0;
    for (; i < number.size() && isDigit(number[i]); ++i)
      exponent = std::min(exponent * 10 + (number[i] - '0'), kClamp);
    order += negative ? -exponent : exponent;
  }
  return order;
}

/** Recursive-descent reader; the depth limit bounds the recursion. */
class Reader
{
public:
  explicit Reader(std::string_view text) noexcept
    : mText(text)
  {
  }

  std::optional<JsonValue> document()
  {
    JsonValue value;
    if (!readValue(value, 0))
      return std::nullopt;
    skipSpace();
    if (mPos != mText.size())
      return std::nullopt;
    return value;
  }

private:
  bool atEnd() const noexcept { return mPos >= mText.size(); }
  char peek() const noexcept { return atEnd() ? '\0' : mText[mPos]; }

  void skipSpace() noexcept
  {
    while (!atEnd())
    {
      const char c = mText[mPos];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
        break;
      ++mPos;
    }
  }

  bool literal(std::string_view word) noexcept
  {
    if (mText.substr(mPos, word.size()) != word)
      return false;
    mPos += word.size();
    return true;
  }

  // `depth` is the nesting level of the value being read; the root is level 0.
  bool readValue(JsonValue& value, int depth)
  {
    skipSpace();
    switch (peek())
    {
      case '{':
        return depth <= kJsonMaxDepth && readObject(value, depth);
      case '[':
        return depth <= kJsonMaxDepth && readArray(value, depth);
      case '"':
        value.type = JsonValue::Type::String;
        return readString(value.string);
      case 't':
        value.type = JsonValue::Type::Boolean;
        value.boolean = true;
        return literal("true");
      case 'f':
        value.type = JsonValue::Type::Boolean;
        value.boolean = false;
        return literal("false");
      case 'n':
        value.type = JsonValue::Type::Null;
        return literal("null");
      default:
        value.type = JsonValue::Type::Number;
        return readNumber(value.number);
    }
  }

  bool readObject(JsonValue& value, int depth)
  {
    value.type = JsonValue::Type::Object;
    ++mPos; // '{'
    skipSpace();
    if (peek() == '}')
    {
      ++mPos;
      return true;
    }
    for (;;)
    {
      skipSpace();
      if (peek() != '"')
        return false;
      std::string key;
      if (!readString(key))
        return false;
      skipSpace();
      if (peek() != ':')
        return false;
      ++mPos;
      JsonValue member;
      if (!readValue(member, depth + 1))
        return false;
      value.object.push_back(JsonMember{std::move(key), std::move(member)});
      skipSpace();
      const char c = peek();
      ++mPos;
      if (c == '}')
        return true;
      if (c != ',')
        return false;
    }
  }

  bool readArray(JsonValue& value, int depth)
  {
    value.type = JsonValue::Type::Array;
    ++mPos; // '['
    skipSpace();
    if (peek() == ']')
    {
      ++mPos;
      return true;
    }
    for (;;)
    {
      JsonValue element;
      if (!readValue(element, depth + 1))
        return false;
      value.array.push_back(std::move(element));
      skipSpace();
      const char c = peek();
      ++mPos;
      if (c == ']')
        return true;
      if (c != ',')
        return false;
    }
  }

  bool readHex4(std::uint32_t& code) noexcept
  {
    if (mText.size() - mPos < 4)
      return false;
    code = 0;
    for (int i = 0; i < 4; ++i)
    {
      const int digit = hexValue(mText[mPos++]);
      if (digit < 0)
        return false;
      code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  bool readEscape(std::string& out)
  {
    if (atEnd())
      return false;
    const char c = mText[mPos++];
    switch (c)
    {
      case '"':
        out += '"';
        return true;
      case '\\':
        out += '\\';
        return true;
      case '/':
        out += '/';
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        return false;
    }
    std::uint32_t code = 0;
    if (!readHex4(code))
      return false;
    if (code >= 0xDC00 && code <= 0xDFFF)
      return false; // a low surrogate with no high one before it
    if (code >= 0xD800 && code <= 0xDBFF)
    {
      // Only a following low surrogate makes a character; anything else would
      // produce bytes that are not UTF-8.
      std::uint32_t low = 0;
      if (!literal("\\u") || !readHex4(low) || low < 0xDC00 || low > 0xDFFF)
        return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    plug::AppendUtf8(out, code);
    return true;
  }

  bool readString(std::string& out)
  {
    ++mPos; // opening quote
    for (;;)
    {
      if (atEnd())
        return false;
      const char c = mText[mPos++];
      if (c == '"')
        return true;
      if (static_cast<unsigned char>(c) < 0x20)
        return false;
      if (c == '\\')
      {
        if (!readEscape(out))
          return false;
      }
      else
      {
        out += c;
      }
    }
  }

  bool readNumber(double& number) noexcept
  {
    const std::size_t start = mPos;
    if (peek() == '-')
      ++mPos;
    if (peek() == '0')
    {
      ++mPos;
    }
    else if (isDigit(peek()))
    {
      while (isDigit(peek()))
        ++mPos;
    }
    else
    {
      return false;
    }
    if (peek() == '.')
    {
      ++mPos;
      if (!isDigit(peek()))
        return false;
      while (isDigit(peek()))
        ++mPos;
    }
    if (peek() == 'e' || peek() == 'E')
    {
      ++mPos;
      if (peek() == '+' || peek() == '-')
        ++mPos;
      if (!isDigit(peek()))
        return false;
      while (isDigit(peek()))
        ++mPos;
    }
    // from_chars gives strtod's value without depending on the host's locale.
    const char* first = mText.data() + start;
    const char* last = mText.data() + mPos;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error == std::errc::result_out_of_range)
    {
      // As strtod: overflow gives infinity, underflow zero, both keeping the sign.
      const double magnitude =
          decimalOrder(std::string_view(first, static_cast<std::size_t>(last - first))) >= 0
              ? std::numeric_limits<double>::infinity()
              : 0.0;
      number = *first == '-' ? -magnitude : magnitude;
      return true;
    }
    return error == std::errc() && end == last;
  }

  std::string_view mText;
  std::size_t mPos = 0;
};

} // namespace

std::optional<JsonValue> parseJson(std::string_view text)
{
  return Reader(text).document();
}

bool isJsonObject(std::string_view text)
{
  const auto value = parseJson(text);
  return value && value->isObject();
}

} // namespace corvana::updates
