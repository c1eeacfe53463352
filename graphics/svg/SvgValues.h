#pragma once

#include "graphics/svg/SvgDocument.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plug::graphics::svg
{

/** Reads numbers one after another from SVG attribute text, where separators are optional
 *  wherever the grammar allows ("10-5", "1.5.5", "M0,0L1 1"). */
class NumberScanner
{
public:
  explicit NumberScanner(std::string_view text)
    : mText(text)
  {
  }

  /** Skips whitespace and at most one comma. */
  void skipSeparators();
  bool atEnd();
  /** The next character after separators, or 0 at the end. */
  char peek();
  void advance() { ++mPos; }
  /** A finite number no larger than 1e9 in magnitude; nothing when none is there. */
  std::optional<float> number();
  /** A single '0' or '1', as arc flags are written (they need no separator). */
  std::optional<bool> flag();
  std::size_t position() const { return mPos; }

private:
  std::string_view mText;
  std::size_t mPos = 0;
};

/** A length in px at 72 dpi: a number with no unit or px, pt, pc, in, cm or mm. */
std::optional<float> parseLength(std::string_view text);

/** A colour: none, #rgb, #rrggbb, rgb(r, g, b) (numbers or percentages) or a basic
 *  colour keyword. Nothing when it is none of these. */
std::optional<Paint> parsePaint(std::string_view text);

/** A transform list: matrix, translate, scale, rotate (with an optional centre), skewX,
 *  skewY; applied left to right as written. */
std::optional<Transform> parseTransform(std::string_view text);

/** The declarations of a style attribute, as property and value pairs. */
std::optional<std::vector<std::pair<std::string, std::string>>> parseStyle(std::string_view text);

std::string_view trim(std::string_view text);

} // namespace plug::graphics::svg
