// The drawing side of the context: shape primitives built on the backend's path operations,
// the path transform, text, fonts, artwork, bitmaps and layers.
#include "graphics/ICanvas.h"

#include "graphics/SvgRender.h"
#include "graphics/svg/SvgDocument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

namespace plug::graphics
{

namespace
{
/** Control-point distance of a cubic Bézier quarter circle, as a share of the radius. */
constexpr float kKappa = 0.5522847498f;

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>& data, std::string& error)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
  {
    error = "cannot open " + path;
    return false;
  }
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad())
  {
    error = "cannot read " + path;
    return false;
  }
  if (data.empty())
  {
    error = path + " is empty";
    return false;
  }
  return true;
}
} // namespace

// ---- Artwork and bitmaps ----------------------------------------------------------------------

void ICanvas::DrawSVG(const ISVG& svg, const IRECT& bounds, const IBlend* blend)
{
  RenderSvg(*this, svg, bounds, blend);
}

void ICanvas::DrawRotatedSVG(const ISVG& svg, float cx, float cy, float w, float h, float angle,
                             const IBlend* blend)
{
  PathTransformSave();
  PathTransformTranslate(cx, cy);
  PathTransformRotate(angle);
  RenderSvg(*this, svg, IRECT(-0.5f * w, -0.5f * h, 0.5f * w, 0.5f * h), blend);
  PathTransformRestore();
}

void ICanvas::DrawFittedBitmap(const IBitmap& bitmap, const IRECT& bounds, const IBlend* blend)
{
  if (!bitmap.IsValid() || bitmap.W() <= 0.f || bitmap.H() <= 0.f)
    return;
  PathTransformSave();
  PathTransformTranslate(bounds.L, bounds.T);
  PathTransformScale(bounds.W() / bitmap.W(), bounds.H() / bitmap.H());
  DrawBitmap(bitmap, IRECT(0.f, 0.f, bitmap.W(), bitmap.H()), 0, 0, blend);
  PathTransformRestore();
}

// ---- Strokes ----------------------------------------------------------------------------------

void ICanvas::DrawLine(const IColor& color, float x1, float y1, float x2, float y2,
                       const IBlend* blend, float thickness)
{
  PathClear();
  PathLine(x1, y1, x2, y2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawDottedLine(const IColor& color, float x1, float y1, float x2, float y2,
                             const IBlend* blend, float thickness, float dashLength)
{
  const float dx = x2 - x1, dy = y2 - y1;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length <= 0.f)
    return;
  dashLength = std::max(dashLength, 0.5f);
  const float ux = dx / length, uy = dy / length;
  PathClear();
  for (float pos = 0.f; pos < length; pos += 2.f * dashLength)
  {
    const float end = std::min(pos + dashLength, length);
    PathMoveTo(x1 + ux * pos, y1 + uy * pos);
    PathLineTo(x1 + ux * end, y1 + uy * end);
  }
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                           float y3, const IBlend* blend, float thickness)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend,
                       float thickness)
{
  PathClear();
  PathRect(bounds);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                            const IBlend* blend, float thickness)
{
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR,
                            float cRBR, float cRBL, const IBlend* blend, float thickness)
{
  PathClear();
  PathRoundRect(bounds, cRTL, cRTR, cRBR, cRBL);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                      const IBlend* blend, float thickness)
{
  PathClear();
  PathArc(cx, cy, r, a1, a2);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend,
                         float thickness)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend,
                          float thickness)
{
  PathClear();
  PathEllipse(bounds);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend, float thickness)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                const IBlend* blend, float thickness)
{
  PathClear();
  PathConvexPolygon(x, y, nPoints);
  PathStroke(color, thickness, IStrokeOptions(), blend);
}

void ICanvas::DrawDottedRect(const IColor& color, const IRECT& bounds, const IBlend* blend,
                             float thickness, float dashLength)
{
  DrawDottedLine(color, bounds.L, bounds.T, bounds.R, bounds.T, blend, thickness, dashLength);
  DrawDottedLine(color, bounds.R, bounds.T, bounds.R, bounds.B, blend, thickness, dashLength);
  DrawDottedLine(color, bounds.R, bounds.B, bounds.L, bounds.B, blend, thickness, dashLength);
  DrawDottedLine(color, bounds.L, bounds.B, bounds.L, bounds.T, blend, thickness, dashLength);
}

// ---- Fills ------------------------------------------------------------------------------------

void ICanvas::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3,
                           float y3, const IBlend* blend)
{
  PathClear();
  PathTriangle(x1, y1, x2, y2, x3, y3);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathRect(bounds);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& bounds, float cornerRadius,
                            const IBlend* blend)
{
  PathClear();
  PathRoundRect(bounds, cornerRadius);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillRoundRect(const IColor& color, const IRECT& bounds, float cRTL, float cRTR,
                            float cRBR, float cRBL, const IBlend* blend)
{
  PathClear();
  PathRoundRect(bounds, cRTL, cRTR, cRBR, cRBL);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillCircle(const IColor& color, float cx, float cy, float r, const IBlend* blend)
{
  PathClear();
  PathCircle(cx, cy, r);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathEllipse(bounds);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillEllipse(const IColor& color, float x, float y, float r1, float r2, float angle,
                          const IBlend* blend)
{
  PathClear();
  PathEllipse(x, y, r1, r2, angle);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillArc(const IColor& color, float cx, float cy, float r, float a1, float a2,
                      const IBlend* blend)
{
  PathClear();
  PathMoveTo(cx, cy);
  PathArc(cx, cy, r, a1, a2);
  PathClose();
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::FillConvexPolygon(const IColor& color, const float* x, const float* y, int nPoints,
                                const IBlend* blend)
{
  PathClear();
  PathConvexPolygon(x, y, nPoints);
  PathFill(color, IFillOptions(), blend);
}

void ICanvas::PatternFill(const IPattern& pattern, const IRECT& bounds, const IBlend* blend)
{
  PathClear();
  PathRect(bounds);
  PathFill(pattern, IFillOptions(), blend);
}

// ---- Path helpers -------------------------------------------------------------------------------

void ICanvas::PathLine(float x1, float y1, float x2, float y2)
{
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
}

void ICanvas::PathRect(const IRECT& b)
{
  PathMoveTo(b.L, b.T);
  PathLineTo(b.R, b.T);
  PathLineTo(b.R, b.B);
  PathLineTo(b.L, b.B);
  PathClose();
}

void ICanvas::PathRoundRect(const IRECT& bounds, float cornerRadius)
{
  PathRoundRect(bounds, cornerRadius, cornerRadius, cornerRadius, cornerRadius);
}

void ICanvas::PathRoundRect(const IRECT& b, float cRTL, float cRTR, float cRBR, float cRBL)
{
  // Radii beyond half the shorter side would make corners overlap.
  const float limit = std::max(0.f, 0.5f * std::min(b.W(), b.H()));
  const float tl = std::clamp(cRTL, 0.f, limit), tr = std::clamp(cRTR, 0.f, limit);
  const float br = std::clamp(cRBR, 0.f, limit), bl = std::clamp(cRBL, 0.f, limit);
  if (tl == 0.f && tr == 0.f && br == 0.f && bl == 0.f)
  {
    PathRect(b);
    return;
  }
  // Clockwise from the top-left corner's end; each corner a quarter arc (0° is up).
  PathMoveTo(b.L + tl, b.T);
  PathLineTo(b.R - tr, b.T);
  if (tr > 0.f)
    PathArc(b.R - tr, b.T + tr, tr, 0.f, 90.f);
  PathLineTo(b.R, b.B - br);
  if (br > 0.f)
    PathArc(b.R - br, b.B - br, br, 90.f, 180.f);
  PathLineTo(b.L + bl, b.B);
  if (bl > 0.f)
    PathArc(b.L + bl, b.B - bl, bl, 180.f, 270.f);
  PathLineTo(b.L, b.T + tl);
  if (tl > 0.f)
    PathArc(b.L + tl, b.T + tl, tl, 270.f, 360.f);
  PathClose();
}

void ICanvas::PathTriangle(float x1, float y1, float x2, float y2, float x3, float y3)
{
  PathMoveTo(x1, y1);
  PathLineTo(x2, y2);
  PathLineTo(x3, y3);
  PathClose();
}

void ICanvas::PathCircle(float cx, float cy, float r)
{
  PathEllipse(cx, cy, r, r, 0.f);
}

void ICanvas::PathEllipse(const IRECT& b)
{
  PathEllipse(b.MW(), b.MH(), 0.5f * b.W(), 0.5f * b.H(), 0.f);
}

void ICanvas::PathEllipse(float x, float y, float r1, float r2, float angle)
{
  // Four cubic quarters, clockwise from the end of the first axis, turned by `angle`.
  const float a = angle * std::numbers::pi_v<float> / 180.f;
  const float c = std::cos(a), s = std::sin(a);
  auto px = [&](float u, float v) { return x + u * c - v * s; };
  auto py = [&](float u, float v) { return y + u * s + v * c; };
  const float k1 = kKappa * r1, k2 = kKappa * r2;
  PathMoveTo(px(r1, 0.f), py(r1, 0.f));
  PathCubicBezierTo(px(r1, k2), py(r1, k2), px(k1, r2), py(k1, r2), px(0.f, r2), py(0.f, r2));
  PathCubicBezierTo(px(-k1, r2), py(-k1, r2), px(-r1, k2), py(-r1, k2), px(-r1, 0.f), py(-r1, 0.f));
  PathCubicBezierTo(px(-r1, -k2), py(-r1, -k2), px(-k1, -r2), py(-k1, -r2), px(0.f, -r2),
                    py(0.f, -r2));
  PathCubicBezierTo(px(k1, -r2), py(k1, -r2), px(r1, -k2), py(r1, -k2), px(r1, 0.f), py(r1, 0.f));
  PathClose();
}

void ICanvas::PathConvexPolygon(const float* x, const float* y, int nPoints)
{
  if (!x || !y || nPoints < 1)
    return;
  PathMoveTo(x[0], y[0]);
  for (int i = 1; i < nPoints; ++i)
    PathLineTo(x[i], y[i]);
  PathClose();
}

// ---- Path transform -----------------------------------------------------------------------------

void ICanvas::PathTransformSave()
{
  mTransformStack.push_back(mTransform);
}

void ICanvas::PathTransformRestore()
{
  if (mTransformStack.empty())
    return;
  mTransform = mTransformStack.back();
  mTransformStack.pop_back();
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformReset(bool clearStack)
{
  if (clearStack)
    mTransformStack.clear();
  mTransform = IMatrix();
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformTranslate(float x, float y)
{
  mTransform = mTransform.Translate(x, y);
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformScale(float x, float y)
{
  mTransform = mTransform.Scale(x, y);
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformRotate(float angle)
{
  mTransform = mTransform.Rotate(angle);
  PathTransformSetMatrix(mTransform);
}

void ICanvas::PathTransformMatrix(const IMatrix& matrix)
{
  mTransform = mTransform.Multiply(matrix);
  PathTransformSetMatrix(mTransform);
}

// ---- Text -------------------------------------------------------------------------------------

void ICanvas::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend)
{
  if (!str || !*str)
    return;
  DoDrawText(text, str, bounds, blend);
}

float ICanvas::MeasureText(const IText& text, const char* str, IRECT& bounds) const
{
  return DoMeasureText(text, str ? str : "", bounds);
}

bool ICanvas::LoadFont(const char* fontID, const char* fileName, std::string& error)
{
  if (!fontID || !*fontID || !fileName)
  {
    error = "a font needs an identifier and a file";
    return false;
  }
  if (mFontData.count(fontID))
    return true;
  const std::string path = FindResource(fileName);
  if (path.empty())
  {
    error = std::string("font file not found: ") + fileName;
    return false;
  }
  std::vector<unsigned char> data;
  if (!ReadFileBytes(path, data, error))
    return false;
  // The backend may keep pointing into the bytes, so they live in the map from now on.
  auto [it, added] = mFontData.emplace(fontID, std::move(data));
  if (!LoadAPIFont(it->first, it->second, error))
  {
    mFontData.erase(it);
    return false;
  }
  return true;
}

bool ICanvas::LoadFont(const char* fontID, const char* fileName)
{
  std::string error;
  return LoadFont(fontID, fileName, error);
}

bool ICanvas::HasFont(const char* fontID) const
{
  return fontID && mFontData.count(fontID) > 0;
}

// ---- Resources --------------------------------------------------------------------------------

void ICanvas::AddResourcePath(const std::string& folder)
{
  if (!folder.empty())
    mResourcePaths.push_back(folder);
}

std::string ICanvas::FindResource(const char* fileName) const
{
  namespace fs = std::filesystem;
  if (!fileName || !*fileName)
    return {};
  std::error_code ec;
  const fs::path name(fileName);
  if (name.is_absolute())
    return fs::is_regular_file(name, ec) ? name.string() : std::string();
  for (const std::string& folder : mResourcePaths)
  {
    const fs::path candidate = fs::path(folder) / name;
    if (fs::is_regular_file(candidate, ec))
      return candidate.string();
  }
  return fs::is_regular_file(name, ec) ? name.string() : std::string();
}

ISVG ICanvas::LoadSVG(const char* fileName, std::string& error, const char* units, float dpi)
{
  if (units && std::strcmp(units, "px") != 0)
  {
    error = std::string("unsupported SVG units: ") + units;
    return ISVG();
  }
  if (!(dpi > 0.f))
  {
    error = "the SVG resolution must be above 0 dpi";
    return ISVG();
  }
  const std::string path = FindResource(fileName);
  if (path.empty())
  {
    error = std::string("SVG file not found: ") + (fileName ? fileName : "");
    return ISVG();
  }
  std::shared_ptr<const svg::Document> doc = svg::loadFile(path, error);
  if (!doc)
    return ISVG();
  // The reader measures at 72 dpi; another resolution scales the artwork with it.
  const float k = dpi / 72.f;
  ISVG svg(doc, doc->width * k, doc->height * k);
  if (!svg.IsValid())
  {
    error = path + " has no size";
    return ISVG();
  }
  return svg;
}

ISVG ICanvas::LoadSVG(const char* fileName, const char* units, float dpi)
{
  std::string error;
  return LoadSVG(fileName, error, units, dpi);
}

IBitmap ICanvas::LoadBitmap(const char* fileName, std::string& error, int scale)
{
  const std::string path = FindResource(fileName);
  if (path.empty())
  {
    error = std::string("image file not found: ") + (fileName ? fileName : "");
    return IBitmap();
  }
  std::vector<unsigned char> data;
  if (!ReadFileBytes(path, data, error))
    return IBitmap();
  std::shared_ptr<APIBitmap> api = LoadAPIBitmap(data, std::max(scale, 1), error);
  return api ? IBitmap(std::move(api)) : IBitmap();
}

IBitmap ICanvas::LoadBitmap(const char* fileName, int scale)
{
  std::string error;
  return LoadBitmap(fileName, error, scale);
}

// ---- Layers -----------------------------------------------------------------------------------

void ICanvas::StartLayer(IControl* control, const IRECT& r)
{
  const float scale = GetBackingPixelScale();
  const int w = int(std::ceil(r.W() * scale));
  const int h = int(std::ceil(r.H() * scale));
  std::shared_ptr<APIBitmap> bitmap = (w > 0 && h > 0) ? CreateAPIBitmap(w, h, scale) : nullptr;
  // A null entry keeps StartLayer and EndLayer paired when no layer could be made.
  mLayers.push_back(bitmap ? std::make_unique<ILayer>(IBitmap(bitmap), r, control) : nullptr);
  if (bitmap)
  {
    PathTransformSave();
    UpdateLayer();
    PathTransformReset();
    SetClipRegion(r);
  }
}

ILayerPtr ICanvas::EndLayer()
{
  if (mLayers.empty())
    return nullptr;
  ILayerPtr layer = std::move(mLayers.back());
  mLayers.pop_back();
  if (layer)
  {
    UpdateLayer();
    PathTransformRestore();
    const ILayer* outer = GetActiveLayer();
    SetClipRegion(outer ? outer->Bounds() : mClipRegion);
  }
  return layer;
}

bool ICanvas::CheckLayer(ILayerPtr& layer) const
{
  if (!layer)
    return false;
  const IBitmap& bitmap = layer->GetBitmap();
  if (layer->IsInvalid() || !bitmap.IsValid() || bitmap.api->GetScale() != GetBackingPixelScale())
  {
    layer.reset();
    return false;
  }
  return true;
}

void ICanvas::DrawLayer(const ILayerPtr& layer, const IBlend* blend)
{
  if (layer && layer->GetBitmap().IsValid())
    DrawBitmap(layer->GetBitmap(), layer->Bounds(), 0, 0, blend);
}

} // namespace plug::graphics
