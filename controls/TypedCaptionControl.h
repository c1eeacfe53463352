#pragma once

#include "graphics/ICaptionControl.h"

namespace corvana::controls::typed_value
{

/**
 * A parameter's value under its knob that the user can type over: a left click (or double
 * click) opens a text field pre-filled with the value, and the typed text is read by
 * parseTypedValue, so units and either decimal separator are accepted. The caption lights in
 * the edit colour while the mouse is over it. Editor thread.
 */
class TypedCaptionControl : public plug::graphics::ICaptionControl
{
public:
  static constexpr int kMaxTypedLength = 16;

  TypedCaptionControl(const plug::graphics::IRECT& bounds, int paramIdx,
                      const plug::graphics::IText& text, const plug::graphics::IColor& bgColor,
                      bool showParamLabel, const plug::graphics::IText& editText);

  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;
  void Draw(plug::graphics::ICanvas& g) override;

  const plug::graphics::IText& editText() const { return mEditText; }

private:
  void openField();

  plug::graphics::IText mEditText;
};

} // namespace corvana::controls::typed_value
