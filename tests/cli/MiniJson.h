#pragma once

// A small strict JSON reader for checking the tool's JSON output in tests: objects, arrays,
// strings (with the common escapes), numbers, true, false, null. Throws std::runtime_error
// on anything malformed, including trailing text.

#include <cctype>
#include <charconv>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ostratapedelay::cli::test
{

struct JsonValue
{
  using Object = std::map<std::string, JsonValue>;
  using Array = std::vector<JsonValue>;
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> v;

  bool isNull() const { return std::holds_alternative<std::nullptr_t>(v); }
  bool boolean() const { return std::get<bool>(v); }
  double number() const { return std::get<double>(v); }
  const std::string& string() const { return std::get<std::string>(v); }
  const Array& array() const { return *std::get<std::shared_ptr<Array>>(v); }
  const Object& object() const { return *std::get<std::shared_ptr<Object>>(v); }
  const JsonValue& operator[](const std::string& key) const
  {
    const auto& o = object();
    const auto it = o.find(key);
    if (it == o.end())
      throw std::runtime_error("missing key " + key);
    return it->second;
  }
};

class JsonReader
{
public:
  static JsonValue parse(std::string_view text)
  {
    JsonReader r(text);
    JsonValue value = r.value();
    r.space();
    if (r.mPos != text.size())
      throw std::runtime_error("trailing text");
    return value;
  }

private:
  explicit JsonReader(std::string_view text) : mText(text) {}

  void space()
  {
    while (mPos < mText.size() && std::isspace(static_cast<unsigned char>(mText[mPos])))
      ++mPos;
  }
  char peek()
  {
    space();
    if (mPos >= mText.size())
      throw std::runtime_error("unexpected end");
    return mText[mPos];
  }
  void expect(char c)
  {
    if (peek() != c)
      throw std::runtime_error(std::string("expected ") + c);
    ++mPos;
  }
  void word(std::string_view w)
  {
    if (mText.substr(mPos, w.size()) != w)
      throw std::runtime_error("bad literal");
    mPos += w.size();
  }

  JsonValue value()
  {
    const char c = peek();
    if (c == '{')
      return object();
    if (c == '[')
      return array();
    if (c == '"')
      return JsonValue{string()};
    if (c == 't')
      return word("true"), JsonValue{true};
    if (c == 'f')
      return word("false"), JsonValue{false};
    if (c == 'n')
      return word("null"), JsonValue{nullptr};
    return JsonValue{number()};
  }

  JsonValue object()
  {
    expect('{');
    auto o = std::make_shared<JsonValue::Object>();
    if (peek() == '}')
      return ++mPos, JsonValue{o};
    for (;;)
    {
      if (peek() != '"')
        throw std::runtime_error("expected key");
      std::string key = string();
      expect(':');
      if (!o->emplace(key, value()).second)
        throw std::runtime_error("duplicate key " + key);
      if (peek() == ',')
      {
        ++mPos;
        continue;
      }
      expect('}');
      return JsonValue{o};
    }
  }

  JsonValue array()
  {
    expect('[');
    auto a = std::make_shared<JsonValue::Array>();
    if (peek() == ']')
      return ++mPos, JsonValue{a};
    for (;;)
    {
      a->push_back(value());
      if (peek() == ',')
      {
        ++mPos;
        continue;
      }
      expect(']');
      return JsonValue{a};
    }
  }

  std::string string()
  {
    expect('"');
    std::string out;
    while (mPos < mText.size() && mText[mPos] != '"')
    {
      char c = mText[mPos++];
      if (static_cast<unsigned char>(c) < 0x20)
        throw std::runtime_error("control character in string");
      if (c == '\\')
      {
        if (mPos >= mText.size())
          break;
        const char e = mText[mPos++];
        switch (e)
        {
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        case '"': case '\\': case '/': c = e; break;
        default: throw std::runtime_error("unsupported escape");
        }
      }
      out += c;
    }
    expect('"');
    return out;
  }

  double number()
  {
    space();
    const size_t start = mPos;
    if (mPos < mText.size() && mText[mPos] == '-')
      ++mPos;
    while (mPos < mText.size() && (std::isdigit(static_cast<unsigned char>(mText[mPos])) || mText[mPos] == '.' ||
                                   mText[mPos] == 'e' || mText[mPos] == 'E' || mText[mPos] == '+' || mText[mPos] == '-'))
      ++mPos;
    double d = 0.0;
    const auto [end, ec] = std::from_chars(mText.data() + start, mText.data() + mPos, d);
    if (ec != std::errc() || end != mText.data() + mPos || start == mPos)
      throw std::runtime_error("bad number");
    return d;
  }

  std::string_view mText;
  size_t mPos = 0;
};

} // namespace ostratapedelay::cli::test
