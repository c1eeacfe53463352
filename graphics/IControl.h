#pragma once

#include "graphics/IGraphicsTypes.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace plug
{
class IParam;
struct IMidiMsg;
} // namespace plug

namespace plug::graphics
{

class ICanvas;
class ICanvasEditorDelegate;
class IContainerBase;
class IPopupMenu;

/** Value index meaning "every value" (or "none under the pointer"). */
inline constexpr int kNoValIdx = -1;
/** Parameter index of a value bound to no parameter. */
inline constexpr int kNoParameter = -1;
/** Tag of a control that has none. */
inline constexpr int kNoTag = -1;
/** Characters a text field accepts unless a control says otherwise. */
inline constexpr int kDefaultTextEntryLength = 7;
/** Length of the stock click animation, milliseconds. */
inline constexpr double kDefaultAnimationDurationMs = 100.0;

enum class EDirection
{
  Vertical,
  Horizontal
};

/**
 * One element of an editor: a rectangle that draws itself and reacts to the pointer, holding
 * one or more normalised values (0..1), each bound to a parameter or to none. Owned by the
 * graphics context once attached. Main thread only.
 */
class IControl
{
public:
  using ActionFunc = std::function<void(IControl*)>;
  using AnimationFunc = std::function<void(IControl*)>;

  /** One value bound to `paramIdx` (kNoParameter for none). */
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter,
                    ActionFunc actionFunc = nullptr);
  /** One value per parameter index, in order. */
  IControl(const IRECT& bounds, std::initializer_list<int> params, ActionFunc actionFunc = nullptr);
  /** One unbound value. */
  IControl(const IRECT& bounds, ActionFunc actionFunc);
  virtual ~IControl();
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // ---- Input hooks ----------------------------------------------------------------------

  /** With the right button: prompts for the value under the pointer. */
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnMouseDrag(float /*x*/, float /*y*/, float /*dX*/, float /*dY*/,
                           const IMouseMod& /*mod*/)
  {
  }
  /** Returns the value under the pointer to its parameter's default. */
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float /*x*/, float /*y*/, const IMouseMod& /*mod*/, float /*d*/) {}
  /** True when the key was used. */
  virtual bool OnKeyDown(float /*x*/, float /*y*/, const IKeyPress& /*key*/) { return false; }
  virtual bool OnKeyUp(float /*x*/, float /*y*/, const IKeyPress& /*key*/) { return false; }
  /** Sets the mouse-over flag, redrawing when it was clear. */
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  /** Clears the mouse-over flag, redrawing when it was set. */
  virtual void OnMouseOut();
  virtual void OnTouchCancelled(float /*x*/, float /*y*/, const IMouseMod& /*mod*/) {}
  virtual void OnDrop(const char* /*str*/) {}

  // ---- Lifecycle hooks --------------------------------------------------------------------

  /** The scale changed (SetScreenScale, or after attaching). */
  virtual void OnRescale() {}
  /** The rectangle changed (or after attaching). */
  virtual void OnResize() {}
  /** The control has its delegate and context; before it joins the list. */
  virtual void OnInit() {}
  /** The control is in the list. */
  virtual void OnAttached() {}
  virtual void OnMsgFromDelegate(int /*msgTag*/, int /*dataSize*/, const void* /*data*/) {}
  virtual void OnMidi(const IMidiMsg& /*msg*/) {}

  // ---- Answers to prompts -------------------------------------------------------------------

  /** A menu shown for this control was answered (null when dismissed). By default the chosen
   *  item's index becomes the bound parameter's real value. */
  virtual void OnPopupMenuSelection(IPopupMenu* menu, int valIdx);
  /** The host's context menu was answered (-1 for none). */
  virtual void OnContextSelection(int /*itemSelected*/) {}
  /** Text typed for an unbound value. */
  virtual void OnTextEntryCompletion(const char* /*str*/, int /*valIdx*/) {}

  // ---- Drawing ------------------------------------------------------------------------------

  virtual void Draw(ICanvas& g) = 0;
  /** Marks the control while the host shows it as automated. */
  virtual void DrawPTHighlight(ICanvas& g);

  // ---- Values and binding -------------------------------------------------------------------

  virtual void SetParamIdx(int paramIdx, int valIdx = 0);
  /** The value under (x, y): 0 for a control of one value, kNoValIdx when unknown. */
  virtual int GetValIdxForPos(float x, float y) const;
  /** The delegate pushes a parameter's value. Ignored while a pointer holds this control;
   *  otherwise a different value is stored and the control redrawn without its action. */
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  /** The user changed the value: a different value is stored, sent and acted on. */
  virtual void SetValueFromUserInput(double value, int valIdx = 0);
  /** Bound values return to their parameter's default (on its step, inside its range). */
  virtual void SetValueToDefault(int valIdx = kNoValIdx);
  /** Stores a value, with no side effects. */
  virtual void SetValue(double value, int valIdx = 0);
  virtual void SetText(const IText& text) { mText = text; }
  /** Moves the control's top-left corner, keeping its size (target rectangle too). */
  virtual void SetPosition(float x, float y);
  virtual void SetSize(float w, float h);
  virtual void Hide(bool hide);
  virtual void SetDisabled(bool disable);
  virtual void SetIgnoreMouse(bool ignore) { mIgnoreMouse = ignore; }
  /** True inside the target rectangle. */
  virtual bool IsHit(float x, float y) const { return mTargetRECT.Contains(x, y); }
  /**
   * Clamps the affected values (all when valIdx < 0; value 0 when there is one) to 0..1 and
   * marks the control dirty. With `triggerAction`, each affected bound value is sent to the
   * plug-in as the user's change and to the other controls of its parameter, then the action
   * function runs.
   */
  virtual void SetDirty(bool triggerAction = true, int valIdx = kNoValIdx);
  virtual void SetClean() { mDirty = false; }
  /** True when marked dirty, or while an animation runs. */
  virtual bool IsDirty();
  virtual bool GetWantsMultiTouch() const { return false; }
  /** True when the control shows its parameter's unit label beside the value, so that a
   *  typed value starts with it too. */
  virtual bool GetShowsParamLabel() const { return false; }
  virtual bool GetWantsGestures() const { return false; }
  /** Sets the value from a pointer position along `bounds` in `direction`, clipped to
   *  minClip..maxClip, as the user's change. */
  virtual void SnapToMouse(float x, float y, EDirection direction, const IRECT& bounds,
                           int valIdx = kNoValIdx, double minClip = 0.0, double maxClip = 1.0);
  /** Ends the running animation: the animation function goes, the control is redrawn and the
   *  end-of-animation function (when set) runs. */
  virtual void OnEndAnimation();

  // ---- Plain accessors --------------------------------------------------------------------

  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  /** Sets the drawing rectangle: the mouse-over flag clears and OnResize runs. */
  void SetRECT(const IRECT& bounds);
  void SetTargetRECT(const IRECT& bounds) { mTargetRECT = bounds; }
  /** Both rectangles at once, as SetRECT does. */
  void SetTargetAndDrawRECTs(const IRECT& bounds);

  const std::string& GetGroup() const { return mGroup; }
  void SetGroup(const char* group) { mGroup = group ? group : ""; }
  const IText& GetText() const { return mText; }
  int GetTextEntryLength() const { return mTextEntryLength; }
  void SetTextEntryLength(int length) { mTextEntryLength = length; }

  bool IsHidden() const { return mHide; }
  bool IsDisabled() const { return mDisabled; }
  bool GetIgnoreMouse() const { return mIgnoreMouse; }
  bool GetMouseIsOver() const { return mMouseIsOver; }
  bool GetPromptDisabled() const { return mDisablePrompt; }
  void DisablePrompt(bool disable) { mDisablePrompt = disable; }
  bool GetMouseDblAsSingleClick() const { return mDblAsSingleClick; }
  void SetMouseDblAsSingleClick(bool single) { mDblAsSingleClick = single; }
  /** Mouse-over (MO) and mouse events (ME) reach the control while it is disabled. */
  bool GetMOWhenGrayed() const { return mMOWhenGrayed; }
  void SetMOWhenGrayed(bool allow) { mMOWhenGrayed = allow; }
  bool GetMEWhenGrayed() const { return mMEWhenGrayed; }
  void SetMEWhenGrayed(bool allow) { mMEWhenGrayed = allow; }

  const std::string& GetTooltip() const { return mTooltip; }
  void SetTooltip(const char* tooltip) { mTooltip = tooltip ? tooltip : ""; }
  void SetPTParameterHighlight(bool active, const IColor& color = COLOR_RED);
  bool GetPTHighlightActive() const { return mPTisHighlighted; }
  const IColor& GetPTHighlightColor() const { return mPTHighlightColor; }

  /** The control's own opacity and compositing, used by its drawing. */
  const IBlend& GetBlend() const { return mBlend; }
  void SetBlend(const IBlend& blend) { mBlend = blend; }

  ICanvasEditorDelegate* GetDelegate() const { return mDelegate; }
  ICanvas* GetUI() const { return mGraphics; }
  /** The enclosing container, when the control is a container's child. */
  IContainerBase* GetParent() const { return mParent; }
  void SetParent(IContainerBase* parent) { mParent = parent; }

  int GetTag() const { return mTag; }

  // ---- Values -------------------------------------------------------------------------------

  int NVals() const { return static_cast<int>(mVals.size()); }
  double GetValue(int valIdx = 0) const;
  int GetParamIdx(int valIdx = 0) const;
  /** The bound parameter of a value, or null when unbound or no delegate. */
  const IParam* GetParam(int valIdx = 0) const;
  /** The index of the first value bound to `paramIdx`, or -1. */
  int LinkedToParam(int paramIdx) const;
  /** Prompts for value `valIdx` with a 40 × 16 field centred on the control (or a menu of
   *  display texts). Nothing for an unbound value or when prompting is disabled. */
  void PromptUserInput(int valIdx = 0);
  /** The same over `bounds`. */
  void PromptUserInput(const IRECT& bounds, int valIdx = 0);

  // ---- Actions and animation --------------------------------------------------------------

  void SetActionFunction(ActionFunc func) { mActionFunc = std::move(func); }
  const ActionFunc& GetActionFunction() const { return mActionFunc; }
  void SetAnimation(AnimationFunc func) { mAnimationFunc = std::move(func); }
  /** Sets the animation and starts it with `durationMs`. */
  void SetAnimation(AnimationFunc func, double durationMs);
  const AnimationFunc& GetAnimationFunction() const { return mAnimationFunc; }
  void SetAnimationEndActionFunction(ActionFunc func) { mAnimationEndFunc = std::move(func); }
  /** Records now as the start of an animation that lasts `durationMs`. */
  void StartAnimation(double durationMs);
  /** Elapsed time over duration since StartAnimation; 0 when none was started. */
  double GetAnimationProgress() const;
  double GetAnimationDuration() const { return mAnimationDurationMs; }
  /** Called each frame by the context: runs the animation function when there is one. */
  void Animate();

protected:
  /** Now, in milliseconds, from the context's clock (or the steady clock when unattached). */
  double NowMs() const;

  struct Val
  {
    int paramIdx = kNoParameter;
    double value = 0.0;
  };

  IRECT mRECT;
  IRECT mTargetRECT;
  std::string mGroup;
  IText mText;
  IBlend mBlend;
  int mTextEntryLength = kDefaultTextEntryLength;
  bool mDirty = true;
  bool mHide = false;
  bool mDisabled = false;
  bool mDisablePrompt = false;
  bool mDblAsSingleClick = false;
  bool mMOWhenGrayed = false;
  bool mMEWhenGrayed = false;
  bool mIgnoreMouse = false;
  bool mMouseIsOver = false;
  bool mPTisHighlighted = false;
  std::string mTooltip;
  IColor mPTHighlightColor = COLOR_RED;
  std::vector<Val> mVals;

private:
  friend class ICanvas;
  void Attach(ICanvasEditorDelegate* delegate, ICanvas* graphics, int tag);

  ICanvasEditorDelegate* mDelegate = nullptr;
  ICanvas* mGraphics = nullptr;
  IContainerBase* mParent = nullptr;
  ActionFunc mActionFunc;
  AnimationFunc mAnimationFunc;
  ActionFunc mAnimationEndFunc;
  double mAnimationStartMs = 0.0;
  double mAnimationDurationMs = 0.0;
  int mTag = kNoTag;
};

/** Ends the animation once its progress passes 1. */
void DefaultAnimationFunc(IControl* control);
/** Starts the default animation (100 ms): a click's brief highlight. */
void DefaultClickActionFunc(IControl* control);

/** A control that draws nothing and ignores the mouse (a spacer, or a parameter holder). */
class IPlaceholderControl : public IControl
{
public:
  explicit IPlaceholderControl(const IRECT& bounds, int paramIdx = kNoParameter)
    : IControl(bounds, paramIdx)
  {
    mIgnoreMouse = true;
  }
  void Draw(ICanvas&) override {}
};

} // namespace plug::graphics
