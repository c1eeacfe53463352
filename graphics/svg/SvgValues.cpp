#include "graphics/svg/SvgValues.h"

#include <charconv>
#include <cmath>

namespace plug::graphics::svg
{

namespace
{

bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
  {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i])
      return false;
  }
  return true;
}

constexpr float kMaxMagnitude = 1e9f;

} // namespace

std::string_view trim(std::string_view text)
{
  while (!text.empty() && isSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

void NumberScanner::skipSeparators()
{
  while (mPos < mText.size() && isSpace(mText[mPos]))
    ++mPos;
  if (mPos < mText.size() && mText[mPos] == ',')
  {
    ++mPos;
    while (mPos < mText.size() && isSpace(mText[mPos]))
      ++mPos;
  }
}

bool NumberScanner::atEnd()
{
  skipSeparators();
  return mPos >= mText.size();
}

char NumberScanner::peek()
{
  skipSeparators();
  return mPos < mText.size() ? mText[mPos] : '\0';
}

std::optional<float> NumberScanner::number()
{
  skipSeparators();
  std::size_t p = mPos;
  if (p < mText.size() && mText[p] == '+')
    ++p; // from_chars takes no plus sign
  const std::size_t digitsAt = p + (p < mText.size() && mText[p] == '-' ? 1 : 0);
  // Only plain decimals: from_chars would also take "inf" and "nan".
  if (digitsAt >= mText.size() ||
      !((mText[digitsAt] >= '0' && mText[digitsAt] <= '9') || mText[digitsAt] == '.'))
    return std::nullopt;
  float value = 0.f;
  const auto [end, ec] = std::from_chars(mText.data() + p, mText.data() + mText.size(), value);
  if (ec != std::errc() || !std::isfinite(value) || std::fabs(value) > kMaxMagnitude)
    return std::nullopt;
  mPos = static_cast<std::size_t>(end - mText.data());
  return value;
}

std::optional<bool> NumberScanner::flag()
{
  skipSeparators();
  if (mPos < mText.size() && (mText[mPos] == '0' || mText[mPos] == '1'))
    return mText[mPos++] == '1';
  return std::nullopt;
}

std::optional<float> parseLength(std::string_view text)
{
  text = trim(text);
  NumberScanner scanner(text);
  const auto value = scanner.number();
  if (!value)
    return std::nullopt;
  const auto unit = text.substr(scanner.position());
  static constexpr std::pair<std::string_view, float> kUnits[] = {
      {"", 1.f},    {"px", 1.f},          {"pt", 1.f},         {"pc", 12.f},
      {"in", 72.f}, {"cm", 72.f / 2.54f}, {"mm", 72.f / 25.4f}};
  for (const auto& [name, factor] : kUnits)
    if (unit == name)
      return *value * factor;
  return std::nullopt;
}

namespace
{

std::optional<std::uint8_t> colourComponent(std::string_view text)
{
  text = trim(text);
  bool percent = false;
  if (!text.empty() && text.back() == '%')
  {
    percent = true;
    text.remove_suffix(1);
  }
  NumberScanner scanner(text);
  const auto value = scanner.number();
  if (!value || scanner.position() != text.size())
    return std::nullopt;
  const float v = percent ? *value * 2.55f : *value;
  return static_cast<std::uint8_t>(std::lround(std::fmin(255.f, std::fmax(0.f, v))));
}

int hexDigit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

struct NamedColour
{
  std::string_view name;
  std::uint8_t r, g, b;
};

constexpr NamedColour kNamedColours[] = {
    {"black", 0, 0, 0},       {"white", 255, 255, 255},  {"red", 255, 0, 0},
    {"green", 0, 128, 0},     {"lime", 0, 255, 0},       {"blue", 0, 0, 255},
    {"yellow", 255, 255, 0},  {"cyan", 0, 255, 255},     {"aqua", 0, 255, 255},
    {"magenta", 255, 0, 255}, {"fuchsia", 255, 0, 255},  {"gray", 128, 128, 128},
    {"grey", 128, 128, 128},  {"silver", 192, 192, 192}, {"maroon", 128, 0, 0},
    {"navy", 0, 0, 128},      {"olive", 128, 128, 0},    {"purple", 128, 0, 128},
    {"teal", 0, 128, 128},    {"orange", 255, 165, 0}};

} // namespace

std::optional<Paint> parsePaint(std::string_view text)
{
  text = trim(text);
  Paint paint;
  if (text == "none")
    return paint;
  paint.visible = true;
  if (text.starts_with('#'))
  {
    const auto hex = text.substr(1);
    if (hex.size() != 3 && hex.size() != 6)
      return std::nullopt;
    std::uint8_t rgb[3];
    for (int i = 0; i < 3; ++i)
    {
      const int hi = hexDigit(hex.size() == 3 ? hex[i] : hex[2 * i]);
      const int lo = hexDigit(hex.size() == 3 ? hex[i] : hex[2 * i + 1]);
      if (hi < 0 || lo < 0)
        return std::nullopt;
      rgb[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    paint.r = rgb[0];
    paint.g = rgb[1];
    paint.b = rgb[2];
    return paint;
  }
  if (text.starts_with("rgb(") && text.ends_with(')'))
  {
    auto inner = text.substr(4, text.size() - 5);
    std::uint8_t rgb[3];
    for (int i = 0; i < 3; ++i)
    {
      const auto comma = inner.find(',');
      if ((i < 2) == (comma == std::string_view::npos))
        return std::nullopt;
      const auto component = colourComponent(inner.substr(0, comma));
      if (!component)
        return std::nullopt;
      rgb[i] = *component;
      inner = i < 2 ? inner.substr(comma + 1) : std::string_view();
    }
    paint.r = rgb[0];
    paint.g = rgb[1];
    paint.b = rgb[2];
    return paint;
  }
  for (const auto& named : kNamedColours)
    if (equalsNoCase(text, named.name))
    {
      paint.r = named.r;
      paint.g = named.g;
      paint.b = named.b;
      return paint;
    }
  return std::nullopt;
}

namespace
{

constexpr float kDegrees = 3.14159265358979f / 180.f;

/** Reads "(a, b, ...)" with between `least` and `most` numbers. */
bool arguments(std::string_view& text, int least, int most, float* out, int& count)
{
  text = trim(text);
  if (!text.starts_with('('))
    return false;
  const auto close = text.find(')');
  if (close == std::string_view::npos)
    return false;
  NumberScanner scanner(text.substr(1, close - 1));
  count = 0;
  while (!scanner.atEnd())
  {
    if (count == most)
      return false;
    const auto value = scanner.number();
    if (!value)
      return false;
    out[count++] = *value;
  }
  text = text.substr(close + 1);
  return count >= least;
}

} // namespace

std::optional<Transform> parseTransform(std::string_view text)
{
  Transform result;
  for (;;)
  {
    text = trim(text);
    while (text.starts_with(','))
      text = trim(text.substr(1));
    if (text.empty())
      return result;
    std::size_t nameEnd = 0;
    while (nameEnd < text.size() && text[nameEnd] >= 'a' && text[nameEnd] <= 'z')
      ++nameEnd;
    if (nameEnd < text.size() && (text[nameEnd] == 'X' || text[nameEnd] == 'Y'))
      ++nameEnd;
    const auto name = text.substr(0, nameEnd);
    text = text.substr(nameEnd);
    float v[6] = {};
    int n = 0;
    Transform step;
    if (name == "matrix" && arguments(text, 6, 6, v, n))
      step = {v[0], v[1], v[2], v[3], v[4], v[5]};
    else if (name == "translate" && arguments(text, 1, 2, v, n))
      step = Transform::translate(v[0], n == 2 ? v[1] : 0.f);
    else if (name == "scale" && arguments(text, 1, 2, v, n))
      step = Transform::scale(v[0], n == 2 ? v[1] : v[0]);
    else if (name == "rotate" && arguments(text, 1, 3, v, n) && n != 2)
      step = Transform::translate(v[1], v[2]) * Transform::rotate(v[0]) *
             Transform::translate(-v[1], -v[2]);
    else if (name == "skewX" && arguments(text, 1, 1, v, n))
      step = {1.f, 0.f, std::tan(v[0] * kDegrees), 1.f, 0.f, 0.f};
    else if (name == "skewY" && arguments(text, 1, 1, v, n))
      step = {1.f, std::tan(v[0] * kDegrees), 0.f, 1.f, 0.f, 0.f};
    else
      return std::nullopt;
    result = result * step;
    for (const float m : {result.a, result.b, result.c, result.d, result.e, result.f})
      if (!std::isfinite(m) || std::fabs(m) > kMaxMagnitude)
        return std::nullopt;
  }
}

std::optional<std::vector<std::pair<std::string, std::string>>> parseStyle(std::string_view text)
{
  std::vector<std::pair<std::string, std::string>> declarations;
  while (!trim(text).empty())
  {
    const auto semicolon = text.find(';');
    const auto declaration = text.substr(0, semicolon);
    text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    if (trim(declaration).empty())
      continue;
    const auto colon = declaration.find(':');
    if (colon == std::string_view::npos)
      return std::nullopt;
    const auto property = trim(declaration.substr(0, colon));
    const auto value = trim(declaration.substr(colon + 1));
    if (property.empty() || value.empty())
      return std::nullopt;
    declarations.emplace_back(std::string(property), std::string(value));
  }
  return declarations;
}

} // namespace plug::graphics::svg
