#pragma once

#include "graphics/IColor.h"

#include <string>

namespace plug::graphics
{

enum class EAlign
{
  Near,
  Center,
  Far
};

enum class EVAlign
{
  Top,
  Middle,
  Bottom
};

inline constexpr float kDefaultFontSize = 14.f;
inline constexpr const char* kDefaultFont = "Roboto-Regular";
/** Colours of a value being typed in place, unless a style says otherwise. */
inline constexpr IColor kDefaultTextEntryBG = COLOR_WHITE;
inline constexpr IColor kDefaultTextEntryFG = COLOR_BLACK;

/** A text style: size in editor units, colour, font, alignment inside a rectangle, angle in
 *  degrees (clockwise), and the colours used while the text is being edited. */
struct IText
{
  float size = kDefaultFontSize;
  IColor fgColor = COLOR_BLACK;
  std::string font = kDefaultFont;
  EAlign align = EAlign::Center;
  EVAlign valign = EVAlign::Middle;
  float angle = 0.f;
  IColor textEntryBGColor = kDefaultTextEntryBG;
  IColor textEntryFGColor = kDefaultTextEntryFG;

  IText() = default;
  IText(float s, const IColor& color = COLOR_BLACK, const char* fontID = kDefaultFont,
        EAlign a = EAlign::Center, EVAlign va = EVAlign::Middle, float ang = 0.f,
        const IColor& entryBG = kDefaultTextEntryBG, const IColor& entryFG = kDefaultTextEntryFG)
    : size(s)
    , fgColor(color)
    , font(fontID ? fontID : kDefaultFont)
    , align(a)
    , valign(va)
    , angle(ang)
    , textEntryBGColor(entryBG)
    , textEntryFGColor(entryFG)
  {
  }

  bool operator==(const IText&) const = default;

  IText WithSize(float s) const
  {
    IText t = *this;
    t.size = s;
    return t;
  }
  IText WithFGColor(const IColor& c) const
  {
    IText t = *this;
    t.fgColor = c;
    return t;
  }
  IText WithAlign(EAlign a) const
  {
    IText t = *this;
    t.align = a;
    return t;
  }
};

} // namespace plug::graphics
