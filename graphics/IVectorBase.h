#pragma once

#include "graphics/IControl.h"

#include <string>

namespace plug::graphics
{

/**
 * What the vector controls share: a style, a label and a value text, the layout of the
 * control's rectangle into label, widget and value areas, the pressable ellipse, and the
 * splash that a click can leave. Mixed into an IControl subclass.
 */
class IVectorBase
{
public:
  IVectorBase(IControl& control, const IVectorStyle& style, const char* label = "");
  virtual ~IVectorBase() = default;

  const IVectorStyle& GetStyle() const { return mStyle; }
  virtual void SetStyle(const IVectorStyle& style);
  const IColor& GetColor(EVColor role) const { return mStyle.colorSpec[role]; }
  void SetColor(EVColor role, const IColor& color);
  const char* GetLabelStr() const { return mLabelStr.c_str(); }
  void SetLabelStr(const char* label);
  const char* GetValueStr() const { return mValueStr.c_str(); }
  void SetValueStr(const char* value);

  /** Splits `parent` into label (top), value (bottom) and widget areas; the widget area is
   *  the rest scaled about its centre by the style's widget fraction. Returns the widget area
   *  (when `valueInWidget`, the value is drawn over the widget). */
  IRECT MakeRects(const IRECT& parent, bool valueInWidget = false);
  const IRECT& GetWidgetBounds() const { return mWidgetBounds; }
  const IRECT& GetLabelBounds() const { return mLabelBounds; }
  const IRECT& GetValueBounds() const { return mValueBounds; }

  virtual void DrawBackground(ICanvas& g, const IRECT& r);
  virtual void DrawWidget(ICanvas& g) = 0;
  virtual void DrawLabel(ICanvas& g);
  virtual void DrawValue(ICanvas& g, bool mouseOver);
  /** A shaded ellipse: shadow (unless pressed), face (pressed colour while held), highlight
   *  while the mouse is over it, frame. */
  virtual void DrawPressableEllipse(ICanvas& g, const IRECT& bounds, bool pressed, bool mouseOver,
                                    bool disabled);
  /** The splash of the last click, while it animates. */
  void DrawSplash(ICanvas& g);

  void SetSplashPoint(float x, float y)
  {
    mSplashX = x;
    mSplashY = y;
  }
  void SetSplashRadius(float r) { mSplashRadius = r; }
  float GetSplashRadius() const { return mSplashRadius; }
  float GetMaxSplashRadius() const { return mMaxSplashRadius; }

protected:
  IControl& mControl;
  IVectorStyle mStyle;
  std::string mLabelStr;
  std::string mValueStr;
  IRECT mWidgetBounds;
  IRECT mLabelBounds;
  IRECT mValueBounds;
  float mSplashX = 0.f;
  float mSplashY = 0.f;
  float mSplashRadius = 0.f;
  float mMaxSplashRadius = 50.f;
};

/** Grows the splash of an IVectorBase control with the animation's progress, redrawing it each
 *  frame, and ends the animation after it. */
void SplashAnimationFunc(IControl* control);
/** Puts the splash at the last mouse-down point and starts its 100 ms animation. */
void SplashClickActionFunc(IControl* control);

} // namespace plug::graphics
