#include "graphics/testing/RecordingCanvas.h"

#include "graphics/IControl.h"

#include <cstring>

namespace plug::graphics::testing
{

namespace
{
/** Characters of a UTF-8 string (continuation bytes do not count). */
int CountChars(const char* str)
{
  int n = 0;
  for (const char* p = str; p && *p; ++p)
    if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80)
      ++n;
  return n;
}

class RecordedBitmap : public APIBitmap
{
public:
  using APIBitmap::APIBitmap;
};
} // namespace

RecordingCanvas::RecordingCanvas(ICanvasEditorDelegate* delegate, int width, int height,
                                 float scale)
  : ICanvas(delegate, width, height, 60, scale)
{
}

std::vector<DrawCall> RecordingCanvas::Calls(const std::string& name) const
{
  std::vector<DrawCall> out;
  for (const DrawCall& c : mCalls)
    if (c.name == name)
      out.push_back(c);
  return out;
}

std::vector<DrawCall> RecordingCanvas::CallsOf(const IControl* control) const
{
  std::vector<DrawCall> out;
  for (const DrawCall& c : mCalls)
    if (c.control == control)
      out.push_back(c);
  return out;
}

int RecordingCanvas::Count(const std::string& name) const
{
  int n = 0;
  for (const DrawCall& c : mCalls)
    n += c.name == name ? 1 : 0;
  return n;
}

void RecordingCanvas::ClearCalls()
{
  mCalls.clear();
  mDrawn.clear();
}

const IControl* RecordingCanvas::ControlBeingDrawn() const
{
  return GetControlBeingDrawn();
}

DrawCall& RecordingCanvas::Record(const char* name, const IBlend* blend)
{
  DrawCall call;
  call.name = name;
  call.hasBlend = blend != nullptr;
  call.blendWeight = BlendWeight(blend);
  call.control = ControlBeingDrawn();
  mCalls.push_back(std::move(call));
  return mCalls.back();
}

void RecordingCanvas::BeginFrame()
{
  Record("BeginFrame");
}

void RecordingCanvas::EndFrame()
{
  Record("EndFrame");
}

void RecordingCanvas::DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend)
{
  DrawCall& c = Record("DrawSVG", blend);
  c.rect = bounds;
  c.nums = {svg.W, svg.H};
  // The artwork's own paths are recorded after it (the reader draws through the path ops).
  ICanvas::DrawSVG(svg, bounds, blend);
}

void RecordingCanvas::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
                                 const IBlend* blend)
{
  DrawCall& c = Record("DrawBitmap", blend);
  c.rect = bounds;
  c.nums = {bitmap.W(), bitmap.H(), float(srcX), float(srcY)};
}

#define OSTRA_STROKE_OR_PATH(NAME, BASECALL)                                                       \
  if (!mRecordPrimitives)                                                                          \
  {                                                                                                \
    BASECALL;                                                                                      \
    return;                                                                                        \
  }                                                                                                \
  DrawCall& c = Record(NAME, blend);                                                               \
  c.color = color

void RecordingCanvas::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                               const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawLine", ICanvas::DrawLine(color, x1, y1, x2, y2, blend, thickness));
  c.nums = {x1, y1, x2, y2, thickness};
}

void RecordingCanvas::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                                     const IBlend* blend, float thickness, float dashLength)
{
  OSTRA_STROKE_OR_PATH("DrawDottedLine", ICanvas::DrawDottedLine(color, x1, y1, x2, y2, blend,
                                                                 thickness, dashLength));
  c.nums = {x1, y1, x2, y2, thickness, dashLength};
}

void RecordingCanvas::DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2,
                                   float x3, float y3, const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawTriangle",
                       ICanvas::DrawTriangle(color, x1, y1, x2, y2, x3, y3, blend, thickness));
  c.nums = {x1, y1, x2, y2, x3, y3, thickness};
}

void RecordingCanvas::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend,
                               float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawRect", ICanvas::DrawRect(color, bounds, blend, thickness));
  c.rect = bounds;
  c.nums = {thickness};
}

void RecordingCanvas::DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                                    const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawRoundRect",
                       ICanvas::DrawRoundRect(color, bounds, cornerRadius, blend, thickness));
  c.rect = bounds;
  c.nums = {cornerRadius, thickness};
}

void RecordingCanvas::DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL,
                                    float cRTR, float cRBR, float cRBL, const IBlend* blend,
                                    float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawRoundRect4", ICanvas::DrawRoundRect(color, bounds, cRTL, cRTR, cRBR,
                                                                cRBL, blend, thickness));
  c.rect = bounds;
  c.nums = {cRTL, cRTR, cRBR, cRBL, thickness};
}

void RecordingCanvas::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                              const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawArc", ICanvas::DrawArc(color, cx, cy, r, a1, a2, blend, thickness));
  c.nums = {cx, cy, r, a1, a2, thickness};
}

void RecordingCanvas::DrawCircle(const IColor& color, float cx, float cy, float r,
                                 const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawCircle", ICanvas::DrawCircle(color, cx, cy, r, blend, thickness));
  c.nums = {cx, cy, r, thickness};
}

void RecordingCanvas::DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend,
                                  float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawEllipse", ICanvas::DrawEllipse(color, bounds, blend, thickness));
  c.rect = bounds;
  c.nums = {thickness};
}

void RecordingCanvas::DrawEllipse(const IColor& color, float x, float y, float r1, float r2,
                                  float angle, const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawEllipseAt",
                       ICanvas::DrawEllipse(color, x, y, r1, r2, angle, blend, thickness));
  c.nums = {x, y, r1, r2, angle, thickness};
}

void RecordingCanvas::DrawConvexPolygon(const IColor& color, const float* x, const float* y,
                                        int nPoints, const IBlend* blend, float thickness)
{
  OSTRA_STROKE_OR_PATH("DrawConvexPolygon",
                       ICanvas::DrawConvexPolygon(color, x, y, nPoints, blend, thickness));
  for (int i = 0; i < nPoints; ++i)
    c.nums.insert(c.nums.end(), {x[i], y[i]});
  c.nums.push_back(thickness);
}

void RecordingCanvas::DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend,
                                     float thickness, float dashLength)
{
  OSTRA_STROKE_OR_PATH("DrawDottedRect",
                       ICanvas::DrawDottedRect(color, bounds, blend, thickness, dashLength));
  c.rect = bounds;
  c.nums = {thickness, dashLength};
}

void RecordingCanvas::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2,
                                   float x3, float y3, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillTriangle", ICanvas::FillTriangle(color, x1, y1, x2, y2, x3, y3, blend));
  c.nums = {x1, y1, x2, y2, x3, y3};
}

void RecordingCanvas::FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillRect", ICanvas::FillRect(color, bounds, blend));
  c.rect = bounds;
}

void RecordingCanvas::FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                                    const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillRoundRect", ICanvas::FillRoundRect(color, bounds, cornerRadius, blend));
  c.rect = bounds;
  c.nums = {cornerRadius};
}

void RecordingCanvas::FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL,
                                    float cRTR, float cRBR, float cRBL, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillRoundRect4",
                       ICanvas::FillRoundRect(color, bounds, cRTL, cRTR, cRBR, cRBL, blend));
  c.rect = bounds;
  c.nums = {cRTL, cRTR, cRBR, cRBL};
}

void RecordingCanvas::FillCircle(const IColor& color, float cx, float cy, float r,
                                 const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillCircle", ICanvas::FillCircle(color, cx, cy, r, blend));
  c.nums = {cx, cy, r};
}

void RecordingCanvas::FillEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillEllipse", ICanvas::FillEllipse(color, bounds, blend));
  c.rect = bounds;
}

void RecordingCanvas::FillEllipse(const IColor& color, float x, float y, float r1, float r2,
                                  float angle, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillEllipseAt", ICanvas::FillEllipse(color, x, y, r1, r2, angle, blend));
  c.nums = {x, y, r1, r2, angle};
}

void RecordingCanvas::FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                              const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillArc", ICanvas::FillArc(color, cx, cy, r, a1, a2, blend));
  c.nums = {cx, cy, r, a1, a2};
}

void RecordingCanvas::FillConvexPolygon(const IColor& color, const float* x, const float* y,
                                        int nPoints, const IBlend* blend)
{
  OSTRA_STROKE_OR_PATH("FillConvexPolygon",
                       ICanvas::FillConvexPolygon(color, x, y, nPoints, blend));
  for (int i = 0; i < nPoints; ++i)
    c.nums.insert(c.nums.end(), {x[i], y[i]});
}

#undef OSTRA_STROKE_OR_PATH

void RecordingCanvas::PathClear()
{
  Record("PathClear");
}

void RecordingCanvas::PathClose()
{
  Record("PathClose");
}

void RecordingCanvas::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding)
{
  Record("PathArc").nums = {cx, cy, r, a1, a2, winding == EWinding::CW ? 1.f : 0.f};
}

void RecordingCanvas::PathMoveTo(float x, float y)
{
  Record("PathMoveTo").nums = {x, y};
}

void RecordingCanvas::PathLineTo(float x, float y)
{
  Record("PathLineTo").nums = {x, y};
}

void RecordingCanvas::PathSetWinding(bool clockwise)
{
  Record("PathSetWinding").nums = {clockwise ? 1.f : 0.f};
}

void RecordingCanvas::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2,
                                        float y2)
{
  Record("PathCubicBezierTo").nums = {c1x, c1y, c2x, c2y, x2, y2};
}

void RecordingCanvas::PathQuadraticBezierTo(float cx, float cy, float x2, float y2)
{
  Record("PathQuadraticBezierTo").nums = {cx, cy, x2, y2};
}

void RecordingCanvas::PathStroke(const IPattern& pattern, float thickness,
                                 const IStrokeOptions& options, const IBlend* blend)
{
  DrawCall& c = Record("PathStroke", blend);
  c.color = pattern.GetColor();
  c.nums = {thickness, float(int(options.cap)), float(int(options.join))};
}

void RecordingCanvas::PathFill(const IPattern& pattern, const IFillOptions& options,
                               const IBlend* blend)
{
  DrawCall& c = Record("PathFill", blend);
  c.color = pattern.GetColor();
  c.nums = {float(int(pattern.type)), options.fillRule == EFillRule::EvenOdd ? 1.f : 0.f};
}

void RecordingCanvas::PathTransformSetMatrix(const IMatrix& m)
{
  if (mRecordTransforms)
    Record("PathTransformSetMatrix").nums = {float(m.xx), float(m.yx), float(m.xy),
                                             float(m.yy), float(m.tx), float(m.ty)};
}

void RecordingCanvas::SetClipRegion(const IRECT& r)
{
  mLastClip = r;
  DrawCall& c = Record("SetClipRegion");
  c.rect = r;
  // The context sets each control's region just before its Draw.
  if (c.control)
    mDrawn.push_back(c.control);
}

ECursor RecordingCanvas::SetMouseCursor(ECursor cursor)
{
  mCursors.push_back(cursor);
  return ICanvas::SetMouseCursor(cursor);
}

bool RecordingCanvas::LoadAPIFont(const std::string&, const std::vector<unsigned char>& data,
                                  std::string& error)
{
  // TrueType (00 01 00 00 or "true") and OpenType ("OTTO") files start with these tags.
  static const unsigned char kTrueType[4] = {0, 1, 0, 0};
  const bool font = data.size() >= 4 && (std::memcmp(data.data(), kTrueType, 4) == 0 ||
                                         std::memcmp(data.data(), "OTTO", 4) == 0 ||
                                         std::memcmp(data.data(), "true", 4) == 0);
  if (!font)
    error = "not a TrueType or OpenType font";
  return font;
}

std::shared_ptr<APIBitmap> RecordingCanvas::LoadAPIBitmap(const std::vector<unsigned char>& data,
                                                          int scale, std::string& error)
{
  // Enough of a PNG to test loading: the signature, then the IHDR's width and height.
  static const unsigned char kPNG[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (data.size() < 24 || std::memcmp(data.data(), kPNG, 8) != 0)
  {
    error = "not a PNG image";
    return nullptr;
  }
  auto be32 = [&](size_t at)
  {
    return int(data[at]) << 24 | int(data[at + 1]) << 16 | int(data[at + 2]) << 8 |
           int(data[at + 3]);
  };
  return std::make_shared<RecordedBitmap>(be32(16), be32(20), float(scale));
}

std::shared_ptr<APIBitmap> RecordingCanvas::CreateAPIBitmap(int width, int height, float scale)
{
  DrawCall& c = Record("CreateLayerBitmap");
  c.nums = {float(width), float(height), scale};
  return std::make_shared<RecordedBitmap>(width, height, scale);
}

void RecordingCanvas::UpdateLayer()
{
  const ILayer* layer = GetActiveLayer();
  DrawCall& c = Record("UpdateLayer");
  if (layer)
    c.rect = layer->Bounds();
}

float RecordingCanvas::DoMeasureText(const IText& text, const char* str, IRECT& bounds) const
{
  const float w = 0.6f * text.size * float(CountChars(str));
  const float h = text.size;
  float x = bounds.L, y = bounds.T;
  if (text.align == EAlign::Center)
    x = bounds.MW() - 0.5f * w;
  else if (text.align == EAlign::Far)
    x = bounds.R - w;
  if (text.valign == EVAlign::Middle)
    y = bounds.MH() - 0.5f * h;
  else if (text.valign == EVAlign::Bottom)
    y = bounds.B - h;
  bounds = IRECT(x, y, x + w, y + h);
  return w;
}

void RecordingCanvas::DoDrawText(const IText& text, const char* str, const IRECT& bounds,
                                 const IBlend* blend)
{
  DrawCall& c = Record("DrawText", blend);
  c.text = str;
  c.style = text;
  c.rect = bounds;
  c.color = text.fgColor;
}

IPopupMenu* RecordingCanvas::CreatePlatformPopupMenu(IPopupMenu& menu, const IRECT& bounds,
                                                     bool& isAsync)
{
  ShownMenu shown;
  shown.title = menu.GetRootTitle();
  for (int i = 0; i < menu.NItems(); ++i)
  {
    shown.texts.push_back(menu.GetDisplayText(i));
    shown.flags.push_back(menu.GetItem(i)->GetFlags());
  }
  mMenus.push_back(shown);
  Record("ShowMenu").rect = bounds;
  isAsync = mNextMenuAsync;
  const int choice = mNextMenuChoice;
  mNextMenuChoice = -1;
  mNextMenuAsync = false;
  if (isAsync || choice < 0 || choice >= menu.NItems())
    return nullptr;
  menu.SetChosenItemIdx(choice);
  menu.ExecFunction();
  return &menu;
}

void RecordingCanvas::CreatePlatformTextEntry(int paramIdx, const IText& text, const IRECT& bounds,
                                              int length, const char* str)
{
  mTextEntries.push_back(OpenedTextEntry{paramIdx, text, bounds, length, str ? str : ""});
}

int RecordingCanvas::ShowPlatformMessageBox(const char* message, const char* caption,
                                            EMsgBoxType type)
{
  mMessageBoxes.push_back(std::string(caption) + ": " + message);
  const int result = mNextMessageBoxResult;
  mNextMessageBoxResult = -1;
  return result >= 0 ? result : ICanvas::ShowPlatformMessageBox(message, caption, type);
}

} // namespace plug::graphics::testing
