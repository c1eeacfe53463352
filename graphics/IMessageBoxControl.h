#pragma once

#include "graphics/ICanvas.h"
#include "graphics/IControl.h"

#include <string>
#include <vector>

namespace plug::graphics
{

/** How an in-editor message box looks. Sizes in editor units. */
struct IMessageBoxStyle
{
  IText caption = IText(15.f, IColor(255, 240, 240, 240), kDefaultFont, EAlign::Near, EVAlign::Top);
  IText message = IText(13.f, IColor(255, 200, 200, 204), kDefaultFont, EAlign::Near, EVAlign::Top);
  IText button = IText(13.f, IColor(255, 240, 240, 240));
  IColor dim = IColor(140, 0, 0, 0);
  IColor background = IColor(255, 44, 44, 48);
  IColor frame = IColor(255, 96, 96, 100);
  IColor buttonFace = IColor(255, 70, 70, 76);
  IColor buttonHover = IColor(255, 92, 92, 100);
  IColor buttonFocus = IColor(255, 52, 110, 190);
  float width = 360.f;
  float padding = 16.f;
  float buttonWidth = 78.f;
  float buttonHeight = 24.f;
  float buttonGap = 8.f;
};

/**
 * A modal message box drawn in the editor: the editor is dimmed, and a box in its middle
 * shows the caption as its message, the message below it (wrapped to the box), and the
 * buttons of the box's type, left to right as added. A click on a button, Enter (the focused
 * button, the first at the start; Tab and the arrows move the focus) or Escape (the cautious
 * answer: Cancel, else No, else OK) answers it and closes it.
 *
 * The context owns it (AttachMessageBoxControl); ShowMessageBox opens it and runs the view's
 * events until it is answered.
 */
class IMessageBoxControl : public IControl
{
public:
  struct Button
  {
    const char* text;
    int result;
  };

  explicit IMessageBoxControl(const IMessageBoxStyle& style = IMessageBoxStyle());

  /** The buttons of a type, left to right; none for a type that has no row. */
  static std::vector<Button> ButtonsFor(EMsgBoxType type);
  /** The answer of Escape, or of a box that went without one. */
  static int CautiousResult(EMsgBoxType type);

  void Open(const char* caption, const char* message, EMsgBoxType type);
  /** Closes with `result` as the answer. */
  void Close(int result);
  bool IsOpen() const { return mOpen; }
  const IMessageBoxStyle& GetStyle() const { return mStyle; }
  /** The answer once closed; kNoResult while open or before. */
  int GetResult() const { return mResult; }

  int NButtons() const { return static_cast<int>(mButtons.size()); }
  const char* GetButtonText(int i) const { return mButtons[size_t(i)].text; }
  /** Where button i is drawn (the box is laid out as it opens). */
  IRECT GetButtonRECT(int i) const;
  IRECT GetBoxRECT() const { return mBox; }
  /** The message split into the lines drawn. */
  const std::vector<std::string>& GetMessageLines() const { return mLines; }

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  int ButtonAt(float x, float y) const;
  void Layout();
  /** Splits the message at spaces into lines no wider than `width`. */
  std::vector<std::string> Wrap(const std::string& text, float width) const;

  IMessageBoxStyle mStyle;
  bool mOpen = false;
  int mResult = kNoResult;
  EMsgBoxType mType = kMB_OK;
  std::string mCaption;
  std::string mMessage;
  std::vector<Button> mButtons;
  std::vector<std::string> mLines;
  IRECT mBox;
  int mFocus = 0;
  int mHover = -1;
  int mPressed = -1;
};

} // namespace plug::graphics
