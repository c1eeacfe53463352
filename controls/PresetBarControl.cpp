#include "controls/PresetBarControl.h"

#include "graphics/ICanvas.h"

#include <algorithm>
#include <cmath>

using namespace plug::graphics;

namespace corvana::controls
{

namespace
{
constexpr const char* kEllipsis = "\xE2\x80\xA6"; // U+2026

IText withColour(IText text, const IColor& colour, EAlign align = EAlign::Center)
{
  text.fgColor = colour;
  text.align = align;
  return text;
}
} // namespace

PresetBarControl::PresetBarControl(const IRECT& bounds, Style style, PresetHooks hooks,
                                   MenuHook menuHook)
  : IControl(bounds)
  , mStyle(std::move(style))
  , mHooks(std::move(hooks))
  , mMenuHook(std::move(menuHook))
{
  SetTextEntryLength(kNameLength);
  layout();
}

void PresetBarControl::layout()
{
  const IRECT& b = mRECT;
  mPad = std::max(2.f, 0.18f * b.H());
  const float top = b.T + mPad;
  const float bottom = b.B - mPad;
  const float h = b.H() - 2.f * mPad;
  mRowH = h;

  float right = b.R - mStyle.marginRight;
  mRects[kMenu] = IRECT();
  if (mMenuHook)
  {
    const float r = right + 0.27f * h;
    mRects[kMenu] = IRECT(r - h, top, r, bottom);
    right = mRects[kMenu].L - 0.5f * h;
  }
  float x = b.L + mStyle.marginLeft - 0.28f * h;
  if (!mStyle.label.empty())
    x += 120.f * mStyle.scale;

  const float fixed = 13.02f * h;
  const float nameW = std::max(h, std::min(210.f * mStyle.scale + fixed, right - x) - fixed);
  auto place = [&](int region, float width)
  {
    mRects[region] = IRECT(x, top, x + width, bottom);
    x += width;
  };
  place(kPrevious, h);
  place(kName, nameW);
  place(kNext, h);
  x += 0.5f * h;
  place(kSave, 3.4f * h);
  x += 0.16f * h;
  place(kSaveAs, 3.4f * h);
  x += 0.16f * h;
  place(kDelete, 3.4f * h);
}

int PresetBarControl::regionAt(float x, float y) const
{
  for (int region = kPrevious; region <= kMenu; ++region)
  {
    const IRECT& r = mRects[region];
    if (r.W() > 0.f && x >= r.L && x < r.R && y >= r.T && y < r.B)
      return region;
  }
  return kNone;
}

void PresetBarControl::refreshNames()
{
  mEntries.clear();
  if (mHooks.factoryNames && mHooks.loadFactory)
    for (std::string& name : mHooks.factoryNames())
      mEntries.push_back({std::move(name), true});
  if (mHooks.userNames)
    for (std::string& name : mHooks.userNames())
      mEntries.push_back({std::move(name), false});
  mHasEntries = !mEntries.empty();
  mLoaded = true;
}

std::string PresetBarControl::currentName() const
{
  return mHooks.currentName ? mHooks.currentName() : std::string();
}

bool PresetBarControl::currentIsFactory() const
{
  return mHooks.isFactory && mHooks.isFactory();
}

bool PresetBarControl::userPresetSelected(const std::string& name) const
{
  return !name.empty() && !currentIsFactory();
}

const std::string& PresetBarControl::fitted(ICanvas& g, const IText& style, const std::string& text,
                                            float width)
{
  if (text == mFitSource && std::fabs(width - mFitWidth) <= 0.5f)
    return mFitResult;
  IRECT measured;
  std::string result = text;
  if (g.MeasureText(style, result.c_str(), measured) > width)
  {
    std::string stem = text;
    for (;;)
    {
      // Drop one whole character: its continuation bytes (10xxxxxx) and its lead byte.
      while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80)
        stem.pop_back();
      if (!stem.empty())
        stem.pop_back();
      result = stem + kEllipsis;
      if (stem.empty() || g.MeasureText(style, result.c_str(), measured) <= width)
        break;
    }
  }
  mFitSource = text;
  mFitWidth = width;
  mFitResult = std::move(result);
  return mFitResult;
}

void PresetBarControl::Draw(ICanvas& g)
{
  if (!mLoaded)
    refreshNames();
  const IRECT& b = mRECT;
  g.FillRect(mStyle.barBackground, b);
  g.FillRect(mStyle.barLine, IRECT(b.L, b.B - 1, b.R, b.B));
  if (!mStyle.label.empty())
  {
    const IRECT labelRect(b.L + mStyle.marginLeft, b.T, mRects[kPrevious].L - mPad, b.B);
    if (labelRect.W() > 0.f)
      g.DrawText(withColour(mStyle.font, mStyle.dimText, EAlign::Near), mStyle.label.c_str(),
                 labelRect);
  }
  drawNameField(g);
  drawArrow(g, kPrevious);
  drawArrow(g, kNext);

  const std::string name = currentName();
  const bool userSelected = userPresetSelected(name);
  const bool armed = userSelected && mArmed == name;
  drawButton(g, kSave, "Save", userSelected, false);
  drawButton(g, kSaveAs, "Save as", true, false);
  drawButton(g, kDelete, armed ? "Sure?" : "Delete", userSelected, armed);
  if (mMenuHook)
    drawHamburger(g, mRects[kMenu], mHover == kMenu);
}

void PresetBarControl::drawNameField(ICanvas& g)
{
  const IRECT& field = mRects[kName];
  const float radius = 0.25f * mRowH;
  g.FillRoundRect(mStyle.fill, field, radius);
  if (mHover == kName)
    g.FillRoundRect(mStyle.hover, field, radius);
  g.DrawRoundRect(mStyle.frame, field, radius, nullptr, 1.f);

  const IRECT area(field.L + mPad, field.T, field.R - mPad, field.B);
  const std::string name = currentName();
  if (name.empty())
  {
    g.DrawText(withColour(mStyle.font, mStyle.dimText), "no preset", area);
    return;
  }
  // The marker is measured first so that a long name is cut before it, never the marker.
  const char* marker = mHooks.isModified && mHooks.isModified() ? "*" : "";
  const IText style = withColour(mStyle.font, mStyle.text);
  IRECT measured;
  const float markerW = *marker ? g.MeasureText(style, marker, measured) : 0.f;
  const std::string shown = fitted(g, style, name, area.W() - markerW) + marker;
  g.DrawText(style, shown.c_str(), area);
}

void PresetBarControl::drawArrow(ICanvas& g, int region)
{
  const IRECT& r = mRects[region];
  if (mHover == region && mHasEntries)
    g.FillRoundRect(mStyle.hover, r, 0.25f * mRowH);
  const IColor& colour = mHasEntries ? mStyle.text : mStyle.dimText;
  const float cx = r.MW(), cy = r.MH();
  const float dx = 0.22f * r.W(), dy = 0.26f * r.H();
  if (region == kPrevious)
    g.FillTriangle(colour, cx + dx, cy - dy, cx + dx, cy + dy, cx - dx, cy);
  else
    g.FillTriangle(colour, cx - dx, cy - dy, cx - dx, cy + dy, cx + dx, cy);
}

void PresetBarControl::drawButton(ICanvas& g, int region, const char* caption, bool enabled,
                                  bool armed)
{
  const IRECT& r = mRects[region];
  const float radius = 0.25f * mRowH;
  g.FillRoundRect(mStyle.fill, r, radius);
  if (mHover == region && enabled)
    g.FillRoundRect(mStyle.hover, r, radius);
  g.DrawRoundRect(armed ? mStyle.warning : mStyle.frame, r, radius, nullptr, 1.f);
  const IColor& colour = armed ? mStyle.warning : enabled ? mStyle.text : mStyle.dimText;
  g.DrawText(withColour(mStyle.font, colour), caption, r);
}

void PresetBarControl::drawHamburger(ICanvas& g, const IRECT& r, bool highlighted)
{
  if (highlighted)
    g.FillRoundRect(mStyle.hover, r, 0.25f * r.W());
  const IColor& colour = highlighted ? mStyle.text : mStyle.dimText;
  const float length = 0.46f * r.W();
  const float thickness = std::max(1.f, 0.085f * r.H());
  for (int i = -1; i <= 1; ++i)
  {
    const float cy = r.MH() + i * 0.21f * r.H();
    g.FillRoundRect(colour,
                    IRECT(r.MW() - 0.5f * length, cy - 0.5f * thickness, r.MW() + 0.5f * length,
                          cy + 0.5f * thickness),
                    0.5f * thickness);
  }
}

} // namespace corvana::controls
