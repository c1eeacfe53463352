#pragma once

#include "graphics/IGraphicsTypes.h"
#include "graphics/IPopupMenu.h"

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plug::graphics
{

class IControl;
class ICanvasEditorDelegate;
class IPopupMenuControl;
class ITextEntryControl;
class IMessageBoxControl;

/** Path winding for PathArc and for holes (PathSetWinding). */
enum class EWinding
{
  CW,
  CCW
};

enum class EFillRule
{
  Winding,
  EvenOdd
};

enum class ELineCap
{
  Butt,
  Round,
  Square
};

enum class ELineJoin
{
  Miter,
  Round,
  Bevel
};

struct IFillOptions
{
  EFillRule fillRule = EFillRule::Winding;
  /** Keep the path after filling (to stroke it too). */
  bool preserve = false;
};

struct IStrokeOptions
{
  ELineJoin join = ELineJoin::Miter;
  ELineCap cap = ELineCap::Butt;
  float miterLimit = 10.f;
  /** Keep the path after stroking. */
  bool preserve = false;
};

/** Buttons of a message box. */
enum EMsgBoxType : int
{
  kMB_OK = 0,
  kMB_OKCANCEL = 1,
  kMB_YESNOCANCEL = 3,
  kMB_YESNO = 4,
  kMB_RETRYCANCEL = 5
};

/** What a message box answers, by the button pressed. */
enum EMsgBoxResult : int
{
  kNoResult = 0,
  kOK = 1,
  kCANCEL = 2,
  kRETRY = 4,
  kYES = 6,
  kNO = 7
};

/** How a corner drag resizes the editor. */
enum class EUIResizerMode
{
  Scale,
  Size
};

/** Regions of a frame that need drawing, in editor units, kept free of overlaps. */
class IRECTList
{
public:
  /** Adds r, merging it with every region it overlaps; empty rectangles are ignored. */
  void Add(const IRECT& r);
  void Clear() { mRects.clear(); }
  int Size() const { return static_cast<int>(mRects.size()); }
  const IRECT& Get(int i) const { return mRects[size_t(i)]; }
  /** The union of all regions. */
  IRECT Bounds() const;
  auto begin() const { return mRects.begin(); }
  auto end() const { return mRects.end(); }

private:
  std::vector<IRECT> mRects;
};

/**
 * The graphics context of an editor: it owns a flat, ordered list of controls, draws the
 * dirty ones each frame, routes pointer and key input to them, and joins them to the plug-in's
 * parameters through the editor delegate.
 *
 * Drawing is abstract: a backend derives from this class and implements the path, clip,
 * text, bitmap, layer and frame operations below. The shape primitives (DrawRect, FillArc,
 * ...) have default bodies here built on the path operations; a backend may draw them
 * directly instead. Geometry is in editor units; the backend multiplies by the draw scale
 * (and the screen scale to reach backing pixels). Angles are in degrees, 0° pointing up,
 * growing clockwise.
 *
 * The platform operations (cursor, clipboard, menus, text fields, message boxes, URLs,
 * window size) have safe do-nothing defaults here; a native view overrides them.
 *
 * Everything here runs on the main (user interface) thread.
 */
class ICanvas
{
public:
  /** `delegate` may be null (a picture of controls with no plug-in behind them: values stay
   *  local). width and height in editor units; scale is the initial draw scale. */
  ICanvas(ICanvasEditorDelegate* delegate, int width, int height, int fps = 60, float scale = 1.f);
  virtual ~ICanvas();
  ICanvas(const ICanvas&) = delete;
  ICanvas& operator=(const ICanvas&) = delete;

  // ---- Frame (backend) -----------------------------------------------------------------

  /** Starts drawing a frame: the backend binds its target, clears nothing. */
  virtual void BeginFrame() {}
  /** Completes a frame (flush, present). */
  virtual void EndFrame() {}
  /** The native view's drawing context exists now / is going away. */
  virtual void OnViewInitialized(void* /*platformContext*/) {}
  virtual void OnViewDestroyed() {}
  /** Backing pixels per editor unit: the draw scale times the screen scale. */
  virtual float GetBackingPixelScale() const { return mDrawScale * mScreenScale; }
  virtual const char* GetDrawingAPIStr() { return ""; }

  // ---- Artwork --------------------------------------------------------------------------

  /** Draws `svg` fitted into `bounds`, keeping its proportions, centred. */
  virtual void DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend = nullptr);
  /** Draws `svg` at size w × h centred on (cx, cy), rotated by `angle` degrees clockwise. */
  virtual void DrawRotatedSVG(const ISVG& svg, float cx, float cy, float w, float h, float angle,
                              const IBlend* blend = nullptr);
  /** Draws the part of `bitmap` that starts at (srcX, srcY) (editor units inside the bitmap)
   *  into `bounds`, unscaled. */
  virtual void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
                          const IBlend* blend = nullptr) = 0;
  /** Draws all of `bitmap` scaled to fill `bounds`. */
  virtual void DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds,
                                const IBlend* blend = nullptr);

  // ---- Strokes: colour, geometry, optional blend, thickness in editor units -------------

  virtual void DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                        const IBlend* blend = nullptr, float thickness = 1.f);
  /** A line of dashes `dashLength` long with gaps of the same length. */
  virtual void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                              const IBlend* blend = nullptr, float thickness = 1.f,
                              float dashLength = 2.f);
  virtual void DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                            float y3, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                        float thickness = 1.f);
  virtual void DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr, float thickness = 1.f);
  /** Corner radii top-left, top-right, bottom-right, bottom-left. */
  virtual void DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR,
                             float cRBR, float cRBL, const IBlend* blend = nullptr,
                             float thickness = 1.f);
  /** The arc of the circle about (cx, cy) from angle a1 to a2 (degrees, 0° up, clockwise). */
  virtual void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawCircle(const IColor& color, float cx, float cy, float r,
                          const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                           float thickness = 1.f);
  /** Ellipse about (x, y) with radii r1 (along x) and r2 (along y), turned by `angle` degrees
   *  clockwise. */
  virtual void DrawEllipse(const IColor& color, float x, float y, float r1, float r2,
                           float angle = 0.f, const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                 const IBlend* blend = nullptr, float thickness = 1.f);
  virtual void DrawDottedRect(const IColor& color, const IRECT& bounds,
                              const IBlend* blend = nullptr, float thickness = 1.f,
                              float dashLength = 2.f);

  // ---- Fills ------------------------------------------------------------------------------

  virtual void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                            float y3, const IBlend* blend = nullptr);
  virtual void FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                             const IBlend* blend = nullptr);
  virtual void FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR,
                             float cRBR, float cRBL, const IBlend* blend = nullptr);
  virtual void FillCircle(const IColor& color, float cx, float cy, float r,
                          const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  virtual void FillEllipse(const IColor& color, float x, float y, float r1, float r2,
                           float angle = 0.f, const IBlend* blend = nullptr);
  /** A pie slice: centre, arc from a1 to a2, back to the centre. */
  virtual void FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                       const IBlend* blend = nullptr);
  virtual void FillConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                 const IBlend* blend = nullptr);
  /** Fills `bounds` with a pattern (a solid colour or a gradient). */
  virtual void PatternFill(const IPattern& pattern, const IRECT& bounds,
                           const IBlend* blend = nullptr);

  // ---- Paths (backend) ---------------------------------------------------------------------
  // A path is built from the current point with the operations below and is consumed by the
  // next PathFill or PathStroke (unless their options preserve it). Coordinates go through
  // the current path transform (PathTransform*), then the draw scale.

  virtual void PathClear() = 0;
  virtual void PathClose() = 0;
  /** Arc about (cx, cy) from a1 to a2 (degrees, 0° up, clockwise), drawn in direction
   *  `winding`; joins the current point with a line when there is one. */
  virtual void PathArc(float cx, float cy, float r, float a1, float a2,
                       EWinding winding = EWinding::CW) = 0;
  virtual void PathMoveTo(float x, float y) = 0;
  virtual void PathLineTo(float x, float y) = 0;
  /** Marks the current sub-path as solid (clockwise) or as a hole (counter-clockwise). */
  virtual void PathSetWinding(bool clockwise) = 0;
  virtual void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2,
                                 float y2) = 0;
  virtual void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) = 0;
  virtual void PathStroke(const IPattern& pattern, float thickness,
                          const IStrokeOptions& options = {}, const IBlend* blend = nullptr) = 0;
  virtual void PathFill(const IPattern& pattern, const IFillOptions& options = {},
                        const IBlend* blend = nullptr) = 0;
  /** The path transform (on top of the draw scale) is now `matrix`. */
  virtual void PathTransformSetMatrix(const IMatrix& matrix) = 0;
  /** Drawing is clipped to `r` (editor units, untransformed) until the next call; an empty
   *  rectangle clips everything away. */
  virtual void SetClipRegion(const IRECT& r) = 0;

  // Path helpers built on the operations above.
  void PathLine(float x1, float y1, float x2, float y2);
  void PathRect(const IRECT& bounds);
  void PathRoundRect(const IRECT& bounds, float cornerRadius);
  void PathRoundRect(const IRECT& bounds, float cRTL, float cRTR, float cRBR, float cRBL);
  void PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3);
  void PathCircle(float cx, float cy, float r);
  void PathEllipse(const IRECT& bounds);
  void PathEllipse(float x, float y, float r1, float r2, float angle = 0.f);
  void PathConvexPolygon(const float* x, const float* y, int nPoints);

  // The path transform: a stack kept here, handed to the backend whole.
  void PathTransformSave();
  void PathTransformRestore();
  void PathTransformReset(bool clearStack = false);
  void PathTransformTranslate(float x, float y);
  void PathTransformScale(float x, float y);
  void PathTransformScale(float s) { PathTransformScale(s, s); }
  /** Rotates by `angle` degrees clockwise about the origin of the current transform. */
  void PathTransformRotate(float angle);
  void PathTransformMatrix(const IMatrix& matrix);
  const IMatrix& GetTransform() const { return mTransform; }

  // ---- Text -------------------------------------------------------------------------------

  /** Draws `str` inside `bounds` with the style's alignment. Nothing for an empty string. */
  void DrawText(const IText& text, const char* str, const IRECT& bounds,
                const IBlend* blend = nullptr);
  /** Returns the width of `str`; sets `bounds` to the rectangle the text takes when drawn in
   *  the given bounds (aligned as the style says). */
  float MeasureText(const IText& text, const char* str, IRECT& bounds) const;

  /** Registers font file `fileName` under `fontID`. A relative name is looked for in the
   *  resource folders (AddResourcePath). False, with the reason, when the file cannot be read
   *  or the backend refuses it; drawing with an unknown font draws nothing. Loading an
   *  identifier again is a success that changes nothing. */
  bool LoadFont(const char* fontID, const char* fileName, std::string& error);
  bool LoadFont(const char* fontID, const char* fileName);
  bool HasFont(const char* fontID) const;

  /** Reads and parses an SVG file (a relative name is looked for in the resource folders).
   *  An invalid ISVG, with the reason, when it cannot be read or understood. `units` and
   *  `dpi` say how lengths in the file become editor units ("px" at 72 dpi is 1:1). */
  ISVG LoadSVG(const char* fileName, std::string& error, const char* units = "px",
               float dpi = 72.f);
  ISVG LoadSVG(const char* fileName, const char* units = "px", float dpi = 72.f);

  /** Loads a PNG or JPEG (a relative name is looked for in the resource folders). An invalid
   *  IBitmap, with the reason, on failure. `scale` is the image's pixels per editor unit. */
  IBitmap LoadBitmap(const char* fileName, std::string& error, int scale = 1);
  IBitmap LoadBitmap(const char* fileName, int scale = 1);

  /** Folders searched, in the order added, for files named relative to nothing. */
  void AddResourcePath(const std::string& folder);
  /** The full path of a resource, or "" when no folder has it. */
  std::string FindResource(const char* fileName) const;

  // ---- Layers ------------------------------------------------------------------------------

  /** Everything drawn until EndLayer goes into a new offscreen layer covering `r`. Nothing
   *  changes (drawing goes on as before) when the backend cannot make one. */
  void StartLayer(IControl* control, const IRECT& r);
  /** Finishes the innermost layer and returns it; null when StartLayer made none. */
  ILayerPtr EndLayer();
  /** True when `layer` can be drawn as it is; false (and the layer is dropped) when it is
   *  missing, invalidated or made at another scale, so that the caller redraws it. */
  bool CheckLayer(ILayerPtr& layer) const;
  /** Draws a layer's picture where it was made. */
  void DrawLayer(const ILayerPtr& layer, const IBlend* blend = nullptr);
  int LayerDepth() const { return static_cast<int>(mLayers.size()); }

  // ---- Controls ------------------------------------------------------------------------------

  /**
   * Takes ownership of `control` and appends it, unless `tag` is non-negative and already
   * used by another control: then the control is deleted and null returned. On success the
   * control gets the delegate and this context, then OnInit, OnResize, OnRescale, its group,
   * its place at the end of the list, and last OnAttached.
   */
  IControl* AttachControl(IControl* control, int tag = -1, const char* group = "");
  /** An IPanelControl over the whole editor in `pattern`, put first in the list (drawn first,
   *  hit last). Replaces an earlier background. */
  IControl* AttachPanelBackground(const IPattern& pattern);

  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int idx) const;
  int GetControlIdx(const IControl* control) const;
  /** The background control, when AttachPanelBackground made one. */
  IControl* GetBackgroundControl() const { return mBackground; }
  IControl* GetControlWithTag(int tag) const;
  /** The first control bound to parameter `paramIdx` in any of its values. */
  IControl* GetControlWithParamIdx(int paramIdx) const;
  /** Calls `func` for every control bound to parameter `paramIdx`. */
  void ForControlWithParam(int paramIdx, const std::function<void(IControl&)>& func);
  void ForAllControls(const std::function<void(IControl&)>& func);
  /** Calls `func` for every control in group `group`. */
  void ForControlInGroup(const char* group, const std::function<void(IControl&)>& func);
  void HideControlsInGroup(const char* group, bool hide);

  /** Deletes a control (its pointer becomes invalid), dropping captures and references. */
  void RemoveControl(IControl* control);
  void RemoveControlWithTag(int tag);
  /** Deletes every control from index `fromIdx` on. */
  void RemoveControls(int fromIdx);
  /** Deletes every control, the background included. */
  void RemoveAllControls();

  ICanvasEditorDelegate* GetDelegate() const { return mDelegate; }

  // ---- Frame -----------------------------------------------------------------------------

  /** Animates every control, then adds the drawing region of each dirty control to `rects`.
   *  True when anything is dirty. */
  bool IsDirty(IRECTList& rects);
  /** Draws the controls that meet `rects`, in list order, each clipped to its region. */
  void Draw(const IRECTList& rects);
  /** One tick of the frame loop: when anything is dirty, marks all controls clean, begins a
   *  frame, draws the dirty regions and ends the frame. True when a frame was drawn. */
  bool DrawFrameIfDirty();
  /** Draws every control (a full frame, as a snapshot needs). */
  void DrawAll();
  /** The region a control draws into: its bounds grown by 0.75 units, snapped outward to
   *  backing pixels, limited to its enclosing containers' likewise snapped bounds. */
  IRECT GetDrawRegion(const IControl& control) const;
  void SetAllControlsDirty();
  void SetAllControlsClean();
  int FPS() const { return mFPS; }

  /** Milliseconds of a steady clock; animation reads time here so tests can replace it. */
  double GetTimeMs() const;
  void SetClock(std::function<double()> clockMs) { mClock = std::move(clockMs); }

  // ---- Pointer and keys: a native view calls these with editor coordinates ----------------

  void OnMouseDown(const IMouseInfos& points);
  void OnMouseDown(float x, float y, const IMouseMod& mod);
  void OnMouseUp(const IMouseInfos& points);
  void OnMouseUp(float x, float y, const IMouseMod& mod);
  void OnMouseDrag(const IMouseInfos& points);
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  /** True when a control took the double click. */
  bool OnMouseDblClick(float x, float y, const IMouseMod& mod);
  /** The pointer moved with no button down. True when a control is under it. */
  bool OnMouseOver(float x, float y, const IMouseMod& mod);
  /** The pointer left the editor. */
  void OnMouseOut();
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float delta);
  /** True when a control used the key. */
  bool OnKeyDown(float x, float y, const IKeyPress& key);
  bool OnKeyUp(float x, float y, const IKeyPress& key);

  /** Drops every pointer capture without telling the controls (a menu or resize ends a
   *  drag). */
  void ReleaseMouseCapture();
  /** The control that pointer `touchID` is captured by, or null. */
  IControl* GetCapturedControl(ITouchID touchID = 0) const;
  bool HasCapture() const { return !mCaptures.empty(); }
  /** True while any pointer holds `control`. */
  bool IsCaptured(const IControl* control) const;
  /** The control the mouse is over, or null. */
  IControl* GetMouseOver() const { return mMouseOver; }
  void GetMouseDownPoint(float& x, float& y) const
  {
    x = mMouseDownX;
    y = mMouseDownY;
  }
  void EnableMouseOver(bool enable);
  bool MouseOverEnabled() const { return mMouseOverEnabled; }
  void EnableTooltips(bool enable);
  bool TooltipsEnabled() const { return mTooltipsEnabled; }
  /** The topmost control under (x, y) that takes clicks (mouseOver false) or mouse-over. */
  IControl* GetMouseControl(float x, float y, bool mouseOver) const;

  /** A corner drag now resizes the editor until the mouse goes up. */
  void StartDragResize(EUIResizerMode mode);
  bool IsInDragResize() const { return mDragResizing; }
  /** Called with keys no control used. */
  void SetKeyHandlerFunc(std::function<bool(const IKeyPress&, bool down)> func)
  {
    mKeyHandler = std::move(func);
  }

  // ---- Menus and text entry ---------------------------------------------------------------

  /** Shows `menu` for `control` at `bounds`. Returns the chosen menu when the answer is known
   *  at once (it has then been delivered), else null: the answer arrives later through
   *  SetControlValueAfterPopupMenu. */
  IPopupMenu* CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& bounds,
                              int valIdx = 0);
  /** Opens a text field for `control` over `bounds` with the initial text `str`. */
  void CreateTextEntry(IControl& control, const IText& text, const IRECT& bounds,
                       const char* str = "", int valIdx = 0);
  /** A menu of display texts for a parameter that has them, else a text field. */
  void PromptUserInput(IControl& control, const IRECT& bounds, int valIdx = 0);
  /** The answer of a menu: the chosen menu, or null when it was dismissed. */
  void SetControlValueAfterPopupMenu(IPopupMenu* menu);
  /** The text typed into the open field. */
  void SetControlValueAfterTextEdit(const char* str);
  /** The control a menu or text field is open for, or null. */
  IControl* GetControlInPrompt() const { return mInPrompt; }
  /** The control whose value is being typed right now, or null. */
  IControl* GetControlInTextEntry() const { return mInTextEntry ? mInPrompt : nullptr; }
  /** The reusable menu of parameter prompts. */
  IPopupMenu& GetPromptMenu() { return mPromptMenu; }

  /** Releases captures, then shows the box: the in-editor one while the view can run its
   *  events until it is answered, else the platform's. The completion (when given) gets the
   *  result, which is returned. */
  int ShowMessageBox(const char* message, const char* caption, EMsgBoxType type,
                     std::function<void(int)> completion = nullptr);

  // ---- In-editor menus, text fields and message boxes -----------------------------------
  // Hosted outside the control list: drawn over every control and given input first while
  // open. Each replaces an earlier one; null attaches the stock look.

  /** Menus of CreatePopupMenu open here instead of on the platform. */
  IPopupMenuControl* AttachPopupMenuControl(IPopupMenuControl* control = nullptr);
  /** Fields of CreateTextEntry open here instead of on the platform. */
  ITextEntryControl* AttachTextEntryControl(ITextEntryControl* control = nullptr);
  /** ShowMessageBox draws its box here while the view runs modally (RunModalLoop). */
  IMessageBoxControl* AttachMessageBoxControl(IMessageBoxControl* control = nullptr);
  IPopupMenuControl* GetPopupMenuControl() const { return mMenuControl.get(); }
  ITextEntryControl* GetTextEntryControl() const { return mTextEntryControl.get(); }
  IMessageBoxControl* GetMessageBoxControl() const { return mMessageBoxControl.get(); }
  /** The open in-editor box, menu or field (topmost first) that takes input, or null. */
  IControl* GetOpenOverlay() const;
  /** Ends the open field with no answer: the control gets nothing. */
  void CancelTextEntry();
  /** Ends the open menu with no choice (the control hears of it, its gestures end). */
  void DismissPopupMenu();
  /** Whatever lies in `r` is drawn again in the next frame (something over it went). */
  void SetRegionDirty(const IRECT& r);

  // ---- Size and scale -------------------------------------------------------------------

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  /** The editor's size in points of the window: width or height times the draw scale. */
  int WindowWidth() const { return int(float(mWidth) * mDrawScale); }
  int WindowHeight() const { return int(float(mHeight) * mDrawScale); }
  /** The editor's size in backing pixels: width or height times draw and screen scale. */
  int PixelWidth() const { return int(std::lround(float(mWidth) * GetBackingPixelScale())); }
  int PixelHeight() const { return int(std::lround(float(mHeight) * GetBackingPixelScale())); }
  IRECT GetBounds() const { return IRECT(0.f, 0.f, float(mWidth), float(mHeight)); }
  float GetDrawScale() const { return mDrawScale; }
  float GetScreenScale() const { return mScreenScale; }

  /** The display's backing scale changed: every control is rescaled and redrawn. */
  void SetScreenScale(float scale);
  /**
   * Changes size (editor units) or draw scale. The delegate may first correct the size; the
   * scale is kept inside the limits. Nothing happens when nothing changes; otherwise captures
   * are dropped, the platform view resized (when asked), the controls resized or laid out
   * again, and everything redrawn.
   */
  void Resize(int width, int height, float scale, bool needsPlatformResize = true);
  /** Stores the smaller argument as the minimum scale and the larger as the maximum. */
  void SetScaleConstraints(float lo, float hi);
  float GetMinScale() const { return mMinScale; }
  float GetMaxScale() const { return mMaxScale; }
  void SetLayoutOnResize(bool layout) { mLayoutOnResize = layout; }
  bool GetLayoutOnResize() const { return mLayoutOnResize; }

  // ---- Platform operations: safe defaults, overridden by a native view --------------------

  /** Shows `cursor` and returns the one shown before. */
  virtual ECursor SetMouseCursor(ECursor cursor);
  virtual void HideMouseCursor(bool /*hide*/ = true, bool /*lock*/ = true) {}
  virtual void MoveMouseCursor(float /*x*/, float /*y*/) {}
  virtual bool GetMouseLocation(float& /*x*/, float& /*y*/) const { return false; }
  virtual void ForceEndUserEdit() {}
  virtual void* GetWindow() { return nullptr; }
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  virtual bool GetTextFromClipboard(std::string& /*str*/) { return false; }
  virtual bool SetTextInClipboard(const char* /*str*/) { return false; }
  virtual void UpdateTooltips() {}
  /** Opens `url` in the user's browser; false when it could not be started. */
  virtual bool OpenURL(const char* /*url*/) { return false; }
  virtual const char* GetPlatformAPIStr() { return ""; }
  /** The window's backing scale as the platform reports it. */
  virtual float GetPlatformWindowScale() const { return mScreenScale; }

protected:
  // ---- Backend resources --------------------------------------------------------------------

  /** Turns `data`, which stays alive and unchanged as long as this context, into a font known
   *  as `fontID`. False with the reason when the data is no font. */
  virtual bool LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                           std::string& error) = 0;
  /** Decodes an image file's bytes; null with the reason on failure. */
  virtual std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::vector<unsigned char>& /*data*/,
                                                   int /*scale*/, std::string& error)
  {
    error = "this drawing backend has no images";
    return nullptr;
  }
  /** A transparent offscreen image of width × height backing pixels for a layer; null when
   *  the backend has none. */
  virtual std::shared_ptr<APIBitmap> CreateAPIBitmap(int /*width*/, int /*height*/, float /*scale*/)
  {
    return nullptr;
  }
  /** Drawing now goes to the innermost layer (GetActiveLayer), or to the frame when none.
   *  Coordinates stay in editor units: inside a layer the backend maps the layer's
   *  Bounds() onto its bitmap. */
  virtual void UpdateLayer() {}
  const ILayer* GetActiveLayer() const { return mLayers.empty() ? nullptr : mLayers.back().get(); }

  /** Measures `str` in `text`'s font and size; returns its width and sets `bounds` to the
   *  rectangle it takes inside the given bounds, aligned as the style says. */
  virtual float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const = 0;
  /** Draws a non-empty `str` aligned inside `bounds`. */
  virtual void DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                          const IBlend* blend) = 0;

  // ---- Platform forms of menus, text fields and message boxes ------------------------------

  /** Shows a menu. Returns the chosen menu at once (isAsync false), or null with isAsync set
   *  when the answer comes later through SetControlValueAfterPopupMenu. The default has no
   *  menu to show: dismissed at once. */
  virtual IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& /*menu*/, const IRECT& /*bounds*/,
                                              bool& isAsync)
  {
    isAsync = false;
    return nullptr;
  }
  /** Opens a field; its text comes back through SetControlValueAfterTextEdit. paramIdx is the
   *  bound parameter (-1 for none), `length` the number of characters it accepts. */
  virtual void CreatePlatformTextEntry(int /*paramIdx*/, const IText& /*text*/,
                                       const IRECT& /*bounds*/, int /*length*/, const char* /*str*/)
  {
  }
  /** Runs a modal box and returns the button pressed. With no platform box to show, the
   *  answer is the cautious one: Cancel where offered, else No, else OK. */
  virtual int ShowPlatformMessageBox(const char* message, const char* caption, EMsgBoxType type);
  /** The platform view follows the context's size and scale. */
  virtual void PlatformResize(bool /*parentHasResized*/) {}
  /** Handles the view's own events and frames until `answered` returns true, and returns
   *  true; or returns false at once when there is no view to do so. A view that goes away
   *  meanwhile ends the loop unanswered. */
  virtual bool RunModalLoop(const std::function<bool()>& /*answered*/) { return false; }

  /** The control whose Draw is running, or null between controls. */
  const IControl* GetControlBeingDrawn() const { return mDrawingControl; }

  /** The delegate's layout, run again when layout-on-resize is set. */
  void RunLayout();

private:
  void DrawControl(IControl& control, const IRECT& bounds, float scale);
  void AnimateAll();
  void DeleteControl(IControl* control);
  void ForgetControl(IControl* control);
  void BeginGestures(IControl& control);
  void EndGestures(IControl& control);
  void UpdateMouseOver(float x, float y, const IMouseMod& mod);
  void DragResize(float x, float y);
  template <class C>
  C* AttachOverlay(std::unique_ptr<C>& slot, C* control);
  /** Closes menus and fields without answers (the context is resized, or a box opens). */
  void CloseOverlays();
  /** The open overlays, bottom first. */
  std::vector<IControl*> OpenOverlays() const;
  /** A press on the open overlay, if there is one; true when it took the press. */
  bool OverlayMouseDown(float x, float y, const IMouseMod& mod, bool doubleClick);

  ICanvasEditorDelegate* mDelegate;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::map<int, IControl*> mTags;
  IControl* mBackground = nullptr;
  int mWidth;
  int mHeight;
  int mFPS;
  float mDrawScale;
  float mScreenScale = 1.f;
  float mMinScale = 0.5f;
  float mMaxScale = 4.f;
  bool mLayoutOnResize = false;

  std::map<ITouchID, IControl*> mCaptures;
  IControl* mMouseOver = nullptr;
  float mMouseDownX = -1.f;
  float mMouseDownY = -1.f;
  bool mMouseOverEnabled = false;
  bool mTooltipsEnabled = false;
  bool mDragResizing = false;
  // A captured control is being handed a drag: a resize it asks for keeps its capture.
  bool mDispatchingDrag = false;
  EUIResizerMode mResizerMode = EUIResizerMode::Scale;
  ECursor mCursor = ECursor::Arrow;
  std::function<bool(const IKeyPress&, bool)> mKeyHandler;

  IControl* mInPrompt = nullptr;
  int mPromptValIdx = 0;
  bool mInTextEntry = false;
  IPopupMenu mPromptMenu;
  std::unique_ptr<IPopupMenuControl> mMenuControl;
  std::unique_ptr<ITextEntryControl> mTextEntryControl;
  std::unique_ptr<IMessageBoxControl> mMessageBoxControl;
  IRECTList mPendingRegions;

  IRECT mClipRegion;
  const IControl* mDrawingControl = nullptr;
  IMatrix mTransform;
  std::vector<IMatrix> mTransformStack;
  std::vector<ILayerPtr> mLayers;
  std::vector<std::string> mResourcePaths;
  std::map<std::string, std::vector<unsigned char>> mFontData;
  std::function<double()> mClock;
};

} // namespace plug::graphics
