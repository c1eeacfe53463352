#include "graphics/svg/SvgDocument.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

namespace plug::graphics::svg
{

Transform Transform::operator*(const Transform& inner) const
{
  return {a * inner.a + c * inner.b, b * inner.a + d * inner.b,     a * inner.c + c * inner.d,
          b * inner.c + d * inner.d, a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
}

Transform Transform::rotate(float degrees)
{
  const double radians = static_cast<double>(degrees) * std::numbers::pi / 180.0;
  const auto cosine = static_cast<float>(std::cos(radians));
  const auto sine = static_cast<float>(std::sin(radians));
  return {cosine, sine, -sine, cosine, 0.f, 0.f};
}

Transform Document::viewTransform() const
{
  if (viewWidth <= 0.f || viewHeight <= 0.f)
    return {};
  const float sx = width / viewWidth;
  const float sy = height / viewHeight;
  if (stretch)
    return Transform::scale(sx, sy) * Transform::translate(-viewX, -viewY);
  // Fitted whole and centred, as the default preserveAspectRatio asks.
  const float s = std::fmin(sx, sy);
  return Transform::translate((width - viewWidth * s) / 2.f, (height - viewHeight * s) / 2.f) *
         Transform::scale(s, s) * Transform::translate(-viewX, -viewY);
}

std::shared_ptr<const Document> loadFile(const std::string& path, std::string& error)
{
  std::ifstream file(path, std::ios::binary);
  if (!file)
  {
    error = "cannot open " + path;
    return nullptr;
  }
  std::string text;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
  {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxBytes)
    {
      error = path + " is larger than " + std::to_string(kMaxBytes) + " bytes";
      return nullptr;
    }
  }
  auto document = parse(text, error);
  if (!document)
    error = path + ": " + error;
  return document;
}

} // namespace plug::graphics::svg
