#pragma once

#include "graphics/ICanvas.h"

#include <functional>
#include <string>
#include <vector>

namespace plug::graphics::testing
{

/** One drawing call with the arguments it was given. Which fields are used depends on the
 *  call: `nums` holds its plain numbers in argument order (coordinates, radii, angles,
 *  thickness last for strokes). */
struct DrawCall
{
  std::string name;
  std::vector<float> nums;
  IRECT rect;
  IColor color;
  std::string text;
  IText style;
  /** The blend's weight, 1 when no blend was given. */
  float blendWeight = 1.f;
  bool hasBlend = false;
  /** The control being drawn when the call was made (null outside a control's Draw). */
  const IControl* control = nullptr;
};

/** A menu as it was shown: its title and each item's shown text and flags. */
struct ShownMenu
{
  std::string title;
  std::vector<std::string> texts;
  std::vector<int> flags;
};

/** A text field as it was opened. */
struct OpenedTextEntry
{
  int paramIdx = -1;
  IText style;
  IRECT bounds;
  int length = 0;
  std::string text;
};

/**
 * A drawing context that records every primitive with its exact arguments instead of
 * drawing, so that tests check geometry and colours without pixels. Text is measured
 * deterministically: each character is 0.6 × the font size wide and a line is one font size
 * high. Layers are made (as empty bitmaps) so that layer logic runs; fonts load when the file
 * starts like a TrueType or OpenType font. Menus answer as the test scripts them.
 */
class RecordingCanvas : public ICanvas
{
public:
  RecordingCanvas(ICanvasEditorDelegate* delegate, int width, int height, float scale = 1.f);

  // ---- What was recorded ---------------------------------------------------------------

  const std::vector<DrawCall>& Calls() const { return mCalls; }
  /** The calls named `name`, in order. */
  std::vector<DrawCall> Calls(const std::string& name) const;
  /** The calls made while `control` was being drawn. */
  std::vector<DrawCall> CallsOf(const IControl* control) const;
  int Count(const std::string& name) const;
  /** The controls drawn, in drawing order (once per region each is drawn in). */
  const std::vector<const IControl*>& DrawnControls() const { return mDrawn; }
  void ClearCalls();

  const std::vector<ShownMenu>& Menus() const { return mMenus; }
  const std::vector<OpenedTextEntry>& TextEntries() const { return mTextEntries; }
  const std::vector<std::string>& MessageBoxes() const { return mMessageBoxes; }
  /** Cursors set, in order. */
  const std::vector<ECursor>& Cursors() const { return mCursors; }

  // ---- Scripted answers -------------------------------------------------------------------

  /** The next menu answers with item `index` (-1: dismissed); with `async` it answers
   *  nothing at once and the test delivers later (SetControlValueAfterPopupMenu). */
  void AnswerNextMenu(int index, bool async = false)
  {
    mNextMenuChoice = index;
    mNextMenuAsync = async;
  }
  void AnswerNextMessageBox(int result) { mNextMessageBoxResult = result; }

  /** The context's frame loop once, as a native view's timer tick runs it. */
  bool Tick() { return DrawFrameIfDirty(); }

  // ---- ICanvas ----------------------------------------------------------------------------

  void BeginFrame() override;
  void EndFrame() override;
  const char* GetDrawingAPIStr() override { return "recording"; }

  void DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend = nullptr) override;
  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
                  const IBlend* blend = nullptr) override;

  void DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                      const IBlend* blend = nullptr, float thickness = 1.f,
                      float dashLength = 2.f) override;
  void DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                float thickness = 1.f) override;
  void DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                     const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBR,
                     float cRBL, const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
               const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                  float thickness = 1.f) override;
  void DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                   float thickness = 1.f) override;
  void DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                   const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                         const IBlend* blend = nullptr, float thickness = 1.f) override;
  void DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr,
                      float thickness = 1.f, float dashLength = 2.f) override;

  void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* blend = nullptr) override;
  void FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr) override;
  void FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius = 5.f,
                     const IBlend* blend = nullptr) override;
  void FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR, float cRBR,
                     float cRBL, const IBlend* blend = nullptr) override;
  void FillCircle(const IColor& color, float cx, float cy, float r,
                  const IBlend* blend = nullptr) override;
  void FillEllipse(const IColor& color, const IRECT& bounds,
                   const IBlend* blend = nullptr) override;
  void FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle = 0.f,
                   const IBlend* blend = nullptr) override;
  void FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
               const IBlend* blend = nullptr) override;
  void FillConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                         const IBlend* blend = nullptr) override;

  void PathClear() override;
  void PathClose() override;
  void PathArc(float cx, float cy, float r, float a1, float a2,
               EWinding winding = EWinding::CW) override;
  void PathMoveTo(float x, float y) override;
  void PathLineTo(float x, float y) override;
  void PathSetWinding(bool clockwise) override;
  void PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2, float y2) override;
  void PathQuadraticBezierTo(float cx, float cy, float x2, float y2) override;
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options = {},
                  const IBlend* blend = nullptr) override;
  void PathFill(const IPattern& pattern, const IFillOptions& options = {},
                const IBlend* blend = nullptr) override;
  void PathTransformSetMatrix(const IMatrix& matrix) override;
  void SetClipRegion(const IRECT& r) override;

  ECursor SetMouseCursor(ECursor cursor) override;

  /** Records primitives only (false: shapes go through the context's own path versions, so
   *  that those are what gets recorded). */
  void SetRecordPrimitives(bool record) { mRecordPrimitives = record; }
  /** Path transform changes are recorded only when asked (they are frequent). */
  void SetRecordTransforms(bool record) { mRecordTransforms = record; }

protected:
  bool LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                   std::string& error) override;
  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::vector<unsigned char>& data, int scale,
                                           std::string& error) override;
  std::shared_ptr<APIBitmap> CreateAPIBitmap(int width, int height, float scale) override;
  void UpdateLayer() override;
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override;
  void DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                  const IBlend* blend) override;
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds,
                                      bool& isAsync) override;
  void CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                               const char* str) override;
  int ShowPlatformMessageBox(const char* message, const char* caption, EMsgBoxType type) override;

private:
  DrawCall& Record(const char* name, const IBlend* blend = nullptr);
  const IControl* ControlBeingDrawn() const;

  std::vector<DrawCall> mCalls;
  std::vector<const IControl*> mDrawn;
  std::vector<ShownMenu> mMenus;
  std::vector<OpenedTextEntry> mTextEntries;
  std::vector<std::string> mMessageBoxes;
  std::vector<ECursor> mCursors;
  int mNextMenuChoice = -1;
  bool mNextMenuAsync = false;
  int mNextMessageBoxResult = -1;
  bool mRecordPrimitives = true;
  bool mRecordTransforms = false;
  IRECT mLastClip;
};

} // namespace plug::graphics::testing
