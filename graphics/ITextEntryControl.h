#pragma once

#include "graphics/IControl.h"

#include <algorithm>
#include <string>

namespace plug::graphics
{

/**
 * The in-editor form of a text field: one line over the rectangle it is given, in the text
 * style's font, size and alignment, with the style's text-entry colours. It opens with its
 * text selected, so that typing replaces it. Caret and selection move with the arrows,
 * Home and End (with shift to select), the pointer selects, Backspace and Delete erase,
 * control-A/C/X/V select all, copy, cut and paste where the view has a clipboard. Only the
 * characters the field accepts are typed, up to its length; other keys are refused. Enter
 * commits; Escape (or a click outside, which the context sees) cancels and the control gets
 * nothing.
 *
 * The context owns it (AttachTextEntryControl) and opens it from CreateTextEntry; one field
 * is open at a time.
 */
class ITextEntryControl : public IControl
{
public:
  ITextEntryControl();

  /** Characters typing may add to the field of a value bound to `param`: digits and signs
   *  for on/off, integer and enumerated parameters, a decimal point too for others. Empty
   *  (anything printable) for a field bound to no parameter. */
  static std::string AcceptedCharacters(const IParam* param);

  /** Opens over `bounds` with `str`; `length` limits what typing adds (characters). */
  void Open(const IParam* param, const IText& text, const IRECT& bounds, int length,
            const char* str);
  /** Closes with no answer. */
  void Close();
  bool IsOpen() const { return mOpen; }

  const std::string& GetString() const { return mStr; }
  /** Caret and selection as byte offsets into the string; equal when nothing is selected. */
  int GetCaret() const { return mCaret; }
  int GetSelectionStart() const { return std::min(mCaret, mAnchor); }
  int GetSelectionEnd() const { return std::max(mCaret, mAnchor); }
  /** Typing would add only these (empty: anything printable). */
  const std::string& GetAcceptedCharacters() const { return mAccepted; }
  int GetMaxLength() const { return mMaxLength; }

  /** Types `utf8` at the caret, over the selection. False, changing nothing, when a
   *  character is refused or the text would grow past the length. */
  bool Type(const std::string& utf8);

  void Draw(ICanvas& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;

private:
  /** Left edge of the text as drawn, in editor units (alignment and scrolling applied). */
  float TextLeft() const;
  float Advance(int bytes) const;
  /** The caret position nearest to x. */
  int OffsetAt(float x) const;
  int Prev(int offset) const;
  int Next(int offset) const;
  void MoveCaret(int offset, bool select);
  void EraseSelection();
  std::string Selected() const;
  void Commit();
  void Changed();

  bool mOpen = false;
  std::string mStr;
  std::string mAccepted;
  int mMaxLength = kDefaultTextEntryLength;
  int mCaret = 0;
  int mAnchor = 0;
  /** Shifts the text left when it is wider than the field, to keep the caret in sight. */
  float mScroll = 0.f;
};

} // namespace plug::graphics
