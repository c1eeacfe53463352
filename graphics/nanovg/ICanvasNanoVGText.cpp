// Fonts and text through NanoVG's fontstash.
#include "graphics/nanovg/ICanvasNanoVG.h"

#include "graphics/nanovg/NanoVGGL.h"

// The font reader inside nanovg.c, whose functions it exports; only declared here.
#define stbtt_fontinfo dpf_nvg_stbtt_fontinfo
#include <stb_truetype.h>
#undef stbtt_fontinfo

#include <algorithm>
#include <cmath>
#include <numbers>

namespace plug::graphics
{

namespace
{

/** Whether the bytes hold a font the reader can use, checked without a NanoVG context. */
bool readableFont(const std::vector<unsigned char>& data)
{
  // The reader trusts the table directory; anything shorter than one is no font.
  if (data.size() < 12 || stbtt_GetNumberOfFonts(data.data()) <= 0)
    return false;
  dpf_nvg_stbtt_fontinfo info{};
  return stbtt_InitFont(&info, data.data(), stbtt_GetFontOffsetForIndex(data.data(), 0)) != 0;
}

} // namespace

bool ICanvasNanoVG::RegisterFont(const Font& font, std::string& error)
{
  if (!mVG)
    return true; // registered when the context is made
  if (nvgFindFont(mVG, font.id.c_str()) >= 0)
    return true;
  const int handle =
      nvgCreateFontMem(mVG, font.id.c_str(), const_cast<unsigned char*>(font.data->data()),
                       static_cast<int>(font.data->size()), 0);
  if (handle < 0)
  {
    error = "font \"" + font.id + "\" could not be loaded by the text renderer";
    return false;
  }
  return true;
}

bool ICanvasNanoVG::LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                                std::string& error)
{
  if (!readableFont(data))
  {
    error = "font \"" + fontID + "\": the file is not a TrueType or OpenType font";
    return false;
  }
  Font font{fontID, &data};
  if (!RegisterFont(font, error))
    return false;
  mFonts.push_back(std::move(font));
  return true;
}

int ICanvasNanoVG::TextAnchor(const IText& text, const IRECT& bounds, float& x, float& y) const
{
  int flags = 0;
  switch (text.align)
  {
    case EAlign::Near:
      flags |= NVG_ALIGN_LEFT;
      x = bounds.L;
      break;
    case EAlign::Center:
      flags |= NVG_ALIGN_CENTER;
      x = bounds.MW();
      break;
    case EAlign::Far:
      flags |= NVG_ALIGN_RIGHT;
      x = bounds.R;
      break;
  }
  switch (text.valign)
  {
    case EVAlign::Top:
      flags |= NVG_ALIGN_TOP;
      y = bounds.T;
      break;
    case EVAlign::Middle:
      flags |= NVG_ALIGN_MIDDLE;
      y = bounds.MH();
      break;
    case EVAlign::Bottom:
      flags |= NVG_ALIGN_BOTTOM;
      y = bounds.B;
      break;
  }
  return flags;
}

float ICanvasNanoVG::DoMeasureText(const IText& text, const char* str, IRECT& bounds) const
{
  if (!mVG || !str || nvgFindFont(mVG, text.font.c_str()) < 0)
    return 0.f;
  float x = 0.f, y = 0.f;
  const int flags = TextAnchor(text, bounds, x, y);
  nvgSave(mVG);
  nvgFontFace(mVG, text.font.c_str());
  nvgFontSize(mVG, text.size);
  nvgTextAlign(mVG, flags);
  const float width = nvgTextBounds(mVG, x, y, str, nullptr, nullptr);
  // The advance and the line's height, not the ink's, so that texts of one style measure
  // alike and a rectangle fitted to a string is as wide as the string's advance.
  float ascender = 0.f, descender = 0.f, lineHeight = 0.f;
  nvgTextMetrics(mVG, &ascender, &descender, &lineHeight);
  nvgRestore(mVG);
  const float height = ascender - descender;
  const float left = text.align == EAlign::Near     ? x
                     : text.align == EAlign::Center ? x - width / 2.f
                                                    : x - width;
  const float top = text.valign == EVAlign::Top      ? y
                    : text.valign == EVAlign::Middle ? y - height / 2.f
                                                     : y - height;
  bounds = IRECT(left, top, left + width, top + height);
  return width;
}

void ICanvasNanoVG::DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                               const IBlend* blend)
{
  if (!PrepareDraw(blend) || nvgFindFont(mVG, text.font.c_str()) < 0)
    return;
  float x = 0.f, y = 0.f;
  const int flags = TextAnchor(text, bounds, x, y);
  nvgFontFace(mVG, text.font.c_str());
  nvgFontSize(mVG, text.size);
  nvgTextAlign(mVG, flags);
  nvgFillColor(mVG, nvgRGBA(static_cast<unsigned char>(std::clamp(text.fgColor.R, 0, 255)),
                            static_cast<unsigned char>(std::clamp(text.fgColor.G, 0, 255)),
                            static_cast<unsigned char>(std::clamp(text.fgColor.B, 0, 255)),
                            static_cast<unsigned char>(std::clamp(text.fgColor.A, 0, 255))));
  if (text.angle != 0.f)
  {
    // Turned about its anchor point.
    nvgSave(mVG);
    nvgTranslate(mVG, x, y);
    nvgRotate(mVG, text.angle * std::numbers::pi_v<float> / 180.f);
    nvgText(mVG, 0.f, 0.f, str, nullptr);
    nvgRestore(mVG);
  }
  else
    nvgText(mVG, x, y, str, nullptr);
}

} // namespace plug::graphics
