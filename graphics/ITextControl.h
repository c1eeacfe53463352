#pragma once

#include "graphics/IControl.h"

#include <string>

namespace plug::graphics
{

/** A fixed or program-set string over a background colour. Bound to nothing; ignores the
 *  mouse. */
class ITextControl : public IControl
{
public:
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = IText(),
               const IColor& bgColor = COLOR_TRANSPARENT, bool setBoundsBasedOnStr = false);

  void Draw(ICanvas& g) override;
  void OnInit() override;

  /** Nothing when `str` is already shown; otherwise stores it, refits the rectangle when
   *  asked to, and redraws without action. */
  virtual void SetStr(const char* str);
  /** printf-style, at most `maxLength` bytes. */
  virtual void SetStrFmt(int maxLength, const char* format, ...)
      __attribute__((format(printf, 3, 4)));
  virtual void ClearStr() { SetStr(""); }
  const char* GetStr() const { return mStr.c_str(); }

  const IColor& GetBGColor() const { return mBGColor; }
  void SetBGColor(const IColor& color);

  /** Fits both rectangles to the measured string about the present centre. */
  void SetBoundsBasedOnStr();

protected:
  /** Background, then the string unless it is being typed over right now. */
  void DrawTextAndBackground(ICanvas& g);

  std::string mStr;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr;
};

} // namespace plug::graphics
