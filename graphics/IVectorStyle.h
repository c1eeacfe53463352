#pragma once

#include "graphics/IColor.h"
#include "graphics/IText.h"

#include <array>

namespace plug::graphics
{

/** Colour roles of the vector controls. */
enum EVColor : int
{
  kBG = 0, // behind the widget
  kFG,     // the widget's face (the knob's handle)
  kPR,     // the face while pressed
  kFR,     // frame and pointer
  kHL,     // highlight while the mouse is over it
  kSH,     // shadow
  kX1,     // first extra colour (value arcs)
  kX2,
  kX3,
  kNumVColors
};

/** The colours of a vector control, one per role. */
struct IVColorSpec
{
  std::array<IColor, kNumVColors> colors = {COLOR_TRANSPARENT,          // kBG
                                            IColor(255, 200, 200, 200), // kFG
                                            IColor(255, 240, 240, 240), // kPR
                                            IColor(255, 70, 70, 70),    // kFR
                                            IColor(30, 255, 255, 255),  // kHL
                                            IColor(60, 0, 0, 0),        // kSH
                                            IColor(255, 255, 0, 0),     // kX1
                                            IColor(255, 0, 0, 255),     // kX2
                                            IColor(255, 0, 255, 0)};    // kX3

  const IColor& GetColor(EVColor role) const { return colors[size_t(role)]; }
  IColor& operator[](EVColor role) { return colors[size_t(role)]; }
  const IColor& operator[](EVColor role) const { return colors[size_t(role)]; }
  bool operator==(const IVColorSpec&) const = default;
};

/** How a vector control is drawn: which parts show, its colours and proportions. */
struct IVectorStyle
{
  bool hideCursor = true;
  bool showLabel = true;
  bool showValue = true;
  bool drawFrame = true;
  bool drawShadows = true;
  bool emboss = false;
  /** 0 square corners .. 1 fully round. */
  float roundness = 0.f;
  float frameThickness = 1.f;
  float shadowOffset = 3.f;
  /** Share of the widget area the widget itself takes, 0..1, about its centre. */
  float widgetFrac = 1.f;
  float angle = 0.f;
  IVColorSpec colorSpec;
  IText labelText =
      IText(kDefaultFontSize, COLOR_BLACK, kDefaultFont, EAlign::Center, EVAlign::Top);
  IText valueText =
      IText(kDefaultFontSize, COLOR_BLACK, kDefaultFont, EAlign::Center, EVAlign::Bottom);

  bool operator==(const IVectorStyle&) const = default;

  IVectorStyle WithShowLabel(bool show) const
  {
    IVectorStyle s = *this;
    s.showLabel = show;
    return s;
  }
  IVectorStyle WithShowValue(bool show) const
  {
    IVectorStyle s = *this;
    s.showValue = show;
    return s;
  }
  IVectorStyle WithWidgetFrac(float f) const
  {
    IVectorStyle s = *this;
    s.widgetFrac = f;
    return s;
  }
  IVectorStyle WithColor(EVColor role, const IColor& c) const
  {
    IVectorStyle s = *this;
    s.colorSpec[role] = c;
    return s;
  }
};

inline const IVectorStyle kDefaultStyle{};

} // namespace plug::graphics
