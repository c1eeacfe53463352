#include "graphics/nanovg/ICanvasNanoVG.h"

#include "graphics/nanovg/NanoVGBitmap.h"
#include "graphics/nanovg/NanoVGGL.h"

#include <cmath>
#include <numbers>

namespace plug::graphics
{

namespace
{

NVGcolor toNVG(const IColor& color)
{
  const IColor c = color.Clamped();
  return nvgRGBA(static_cast<unsigned char>(c.R), static_cast<unsigned char>(c.G),
                 static_cast<unsigned char>(c.B), static_cast<unsigned char>(c.A));
}

int compositeOperation(EBlend method)
{
  switch (method)
  {
    case EBlend::Clobber:
      return NVG_COPY;
    case EBlend::SourceIn:
      return NVG_SOURCE_IN;
    case EBlend::SourceOut:
      return NVG_SOURCE_OUT;
    case EBlend::SourceAtop:
      return NVG_ATOP;
    case EBlend::DestOver:
      return NVG_DESTINATION_OVER;
    case EBlend::DestIn:
      return NVG_DESTINATION_IN;
    case EBlend::DestOut:
      return NVG_DESTINATION_OUT;
    case EBlend::DestAtop:
      return NVG_DESTINATION_ATOP;
    case EBlend::Add:
      return NVG_LIGHTER;
    case EBlend::XOR:
      return NVG_XOR;
    default:
      return NVG_SOURCE_OVER;
  }
}

/** Editor angles (degrees, 0° up, clockwise) in NanoVG's (radians, 0 along x, clockwise). */
float toRadians(float degrees)
{
  return (degrees - 90.f) * std::numbers::pi_v<float> / 180.f;
}

/** A pattern as NanoVG paint in the current transform: NanoVG gradients have two colours,
 *  so the first and last stops are used, placed at their offsets along the gradient. */
NVGpaint toPaint(NVGcontext* vg, const IPattern& pattern)
{
  const IColorStop first =
      pattern.stops.empty() ? IColorStop{COLOR_TRANSPARENT, 0.f} : pattern.stops.front();
  const IColorStop last = pattern.stops.empty() ? first : pattern.stops.back();
  if (pattern.type == EPatternType::Linear)
  {
    const float dx = pattern.x2 - pattern.x1, dy = pattern.y2 - pattern.y1;
    return nvgLinearGradient(vg, pattern.x1 + dx * first.offset, pattern.y1 + dy * first.offset,
                             pattern.x1 + dx * last.offset, pattern.y1 + dy * last.offset,
                             toNVG(first.color), toNVG(last.color));
  }
  return nvgRadialGradient(vg, pattern.x1, pattern.y1, pattern.r * first.offset,
                           pattern.r * last.offset, toNVG(first.color), toNVG(last.color));
}

} // namespace

ICanvasNanoVG::ICanvasNanoVG(ICanvasEditorDelegate* delegate, int width, int height, int fps,
                             float scale)
  : ICanvas(delegate, width, height, fps, scale)
{
}

ICanvasNanoVG::~ICanvasNanoVG()
{
  // The platform should have called OnViewDestroyed with its GL context current; this is
  // the last chance, and right as long as that context is still current.
  OnViewDestroyed();
}

void ICanvasNanoVG::OnViewInitialized(void*)
{
  if (mVG)
    return;
  mBackendError.clear();
  mVG = nvgCreateGL3(NVG_ANTIALIAS | NVG_STENCIL_STROKES);
  if (!mVG)
  {
    mBackendError = "NanoVG could not start on this OpenGL context (it needs 3.3 core)";
    return;
  }
  for (const Font& font : mFonts)
  {
    std::string error;
    RegisterFont(font, error);
  }
}

void ICanvasNanoVG::OnViewDestroyed()
{
  for (auto& weak : mBitmaps)
    if (auto bitmap = weak.lock())
      bitmap->Release();
  mBitmaps.clear();
  if (mVG)
    nvgDeleteGL3(mVG);
  mVG = nullptr;
  mInFrame = false;
}

int ICanvasNanoVG::FramePixelWidth() const
{
  return static_cast<int>(std::lround(static_cast<float>(Width()) * GetBackingPixelScale()));
}

int ICanvasNanoVG::FramePixelHeight() const
{
  return static_cast<int>(std::lround(static_cast<float>(Height()) * GetBackingPixelScale()));
}

// ---- Frames and layers ---------------------------------------------------------------------

void ICanvasNanoVG::BindTarget(bool clearNewLayer)
{
  const ILayer* layer = GetActiveLayer();
  auto* bitmap = layer ? dynamic_cast<NanoVGBitmap*>(layer->GetBitmap().api.get()) : nullptr;
  int width = FramePixelWidth(), height = FramePixelHeight();
  if (bitmap && bitmap->Framebuffer())
  {
    glBindFramebuffer(GL_FRAMEBUFFER, bitmap->Framebuffer()->fbo);
    width = bitmap->GetWidth();
    height = bitmap->GetHeight();
  }
  else
    glBindFramebuffer(GL_FRAMEBUFFER, mFrameBuffer);
  glViewport(0, 0, width, height);
  if (bitmap && clearNewLayer && bitmap->TakeNeedsClear())
  {
    glClearColor(0.f, 0.f, 0.f, 0.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }
  nvgBeginFrame(mVG, static_cast<float>(width), static_cast<float>(height), 1.f);
  mInFrame = true;
  ApplyTransform();
}

void ICanvasNanoVG::BeginFrame()
{
  if (!mVG)
    return;
  if (mInFrame)
    nvgCancelFrame(mVG);
  BindTarget(false);
}

void ICanvasNanoVG::EndFrame()
{
  if (!mVG || !mInFrame)
    return;
  nvgEndFrame(mVG);
  mInFrame = false;
}

void ICanvasNanoVG::UpdateLayer()
{
  if (!mVG || !mInFrame)
    return;
  // What was drawn so far belongs to the previous target: draw it there before switching.
  nvgEndFrame(mVG);
  BindTarget(true);
}

void ICanvasNanoVG::ApplyTransform()
{
  if (!mVG)
    return;
  nvgResetTransform(mVG);
  const ILayer* layer = GetActiveLayer();
  const float scale = layer ? layer->GetBitmap().api->GetScale() : GetBackingPixelScale();
  nvgScale(mVG, scale, scale);
  if (layer)
    nvgTranslate(mVG, -layer->Bounds().L, -layer->Bounds().T);
  const IMatrix& m = mPathMatrix;
  nvgTransform(mVG, static_cast<float>(m.xx), static_cast<float>(m.yx), static_cast<float>(m.xy),
               static_cast<float>(m.yy), static_cast<float>(m.tx), static_cast<float>(m.ty));
}

void ICanvasNanoVG::PathTransformSetMatrix(const IMatrix& matrix)
{
  mPathMatrix = matrix;
  ApplyTransform();
}

void ICanvasNanoVG::SetClipRegion(const IRECT& r)
{
  mClipEmpty = r.Empty();
  if (!mVG)
    return;
  // The clip is untransformed: set it under the base map alone, then put the path
  // transform back (NanoVG keeps the clip in the space it was set in).
  const IMatrix saved = mPathMatrix;
  mPathMatrix = IMatrix();
  ApplyTransform();
  if (mClipEmpty)
    nvgResetScissor(mVG);
  else
    nvgScissor(mVG, r.L, r.T, r.W(), r.H());
  mPathMatrix = saved;
  ApplyTransform();
}

bool ICanvasNanoVG::PrepareDraw(const IBlend* blend)
{
  if (!mVG || !mInFrame || mClipEmpty)
    return false;
  nvgGlobalAlpha(mVG, BlendWeight(blend));
  nvgGlobalCompositeOperation(mVG, compositeOperation(blend ? blend->method : EBlend::Default));
  return true;
}

// ---- Paths -----------------------------------------------------------------------------------

void ICanvasNanoVG::PathClear()
{
  if (mVG)
    nvgBeginPath(mVG);
}

void ICanvasNanoVG::PathClose()
{
  if (mVG)
    nvgClosePath(mVG);
}

void ICanvasNanoVG::PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding)
{
  if (mVG)
    nvgArc(mVG, cx, cy, r, toRadians(a1), toRadians(a2),
           winding == EWinding::CW ? NVG_CW : NVG_CCW);
}

void ICanvasNanoVG::PathMoveTo(float x, float y)
{
  if (mVG)
    nvgMoveTo(mVG, x, y);
}

void ICanvasNanoVG::PathLineTo(float x, float y)
{
  if (mVG)
    nvgLineTo(mVG, x, y);
}

void ICanvasNanoVG::PathSetWinding(bool clockwise)
{
  // NanoVG turns a solid subpath clockwise on screen and a hole the other way round.
  if (mVG)
    nvgPathWinding(mVG, clockwise ? NVG_SOLID : NVG_HOLE);
}

void ICanvasNanoVG::PathCubicBezierTo(float c1x, float c1y, float c2x, float c2y, float x2,
                                      float y2)
{
  if (mVG)
    nvgBezierTo(mVG, c1x, c1y, c2x, c2y, x2, y2);
}

void ICanvasNanoVG::PathQuadraticBezierTo(float cx, float cy, float x2, float y2)
{
  if (mVG)
    nvgQuadTo(mVG, cx, cy, x2, y2);
}

void ICanvasNanoVG::PathStroke(const IPattern& pattern, float thickness,
                               const IStrokeOptions& options, const IBlend* blend)
{
  if (PrepareDraw(blend) && thickness > 0.f)
  {
    nvgStrokeWidth(mVG, thickness);
    nvgLineCap(mVG, options.cap == ELineCap::Round    ? NVG_ROUND
                    : options.cap == ELineCap::Square ? NVG_SQUARE
                                                      : NVG_BUTT);
    nvgLineJoin(mVG, options.join == ELineJoin::Round   ? NVG_ROUND
                     : options.join == ELineJoin::Bevel ? NVG_BEVEL
                                                        : NVG_MITER);
    nvgMiterLimit(mVG, options.miterLimit);
    if (pattern.type == EPatternType::Solid)
      nvgStrokeColor(mVG, toNVG(pattern.GetColor()));
    else
      nvgStrokePaint(mVG, toPaint(mVG, pattern));
    nvgStroke(mVG);
  }
  if (!options.preserve)
    PathClear();
}

void ICanvasNanoVG::PathFill(const IPattern& pattern, const IFillOptions& options,
                             const IBlend* blend)
{
  if (PrepareDraw(blend))
  {
    if (pattern.type == EPatternType::Solid)
      nvgFillColor(mVG, toNVG(pattern.GetColor()));
    else
      nvgFillPaint(mVG, toPaint(mVG, pattern));
    nvgFill(mVG);
  }
  if (!options.preserve)
    PathClear();
}

// ---- Bitmaps -----------------------------------------------------------------------------------

void ICanvasNanoVG::TrackBitmap(const std::shared_ptr<NanoVGBitmap>& bitmap)
{
  std::erase_if(mBitmaps, [](const auto& weak) { return weak.expired(); });
  mBitmaps.push_back(bitmap);
}

std::shared_ptr<APIBitmap> ICanvasNanoVG::LoadAPIBitmap(const std::vector<unsigned char>& data,
                                                        int scale, std::string& error)
{
  if (!mVG)
  {
    error = "images can only be loaded once the view has a drawing context";
    return nullptr;
  }
  const int image = nvgCreateImageMem(mVG, 0, const_cast<unsigned char*>(data.data()),
                                      static_cast<int>(data.size()));
  if (image <= 0)
  {
    error = "not an image this backend can decode (PNG, JPEG, BMP, TGA or GIF)";
    return nullptr;
  }
  int width = 0, height = 0;
  nvgImageSize(mVG, image, &width, &height);
  auto bitmap =
      std::make_shared<NanoVGBitmap>(mVG, image, width, height, static_cast<float>(scale));
  TrackBitmap(bitmap);
  return bitmap;
}

std::shared_ptr<APIBitmap> ICanvasNanoVG::CreateAPIBitmap(int width, int height, float scale)
{
  if (!mVG)
    return nullptr;
  GLint limit = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
  if (width > limit || height > limit)
    return nullptr;
  NVGLUframebuffer* framebuffer = nvgluCreateFramebuffer(mVG, width, height, 0);
  // Creating it bound it and then the framebuffer bound before, as NanoVG's helper does.
  if (!framebuffer)
    return nullptr;
  auto bitmap = std::make_shared<NanoVGBitmap>(mVG, framebuffer, width, height, scale);
  TrackBitmap(bitmap);
  return bitmap;
}

void ICanvasNanoVG::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
                               const IBlend* blend)
{
  auto* api = dynamic_cast<NanoVGBitmap*>(bitmap.api.get());
  if (!api || api->Image() <= 0 || bounds.Empty() || !PrepareDraw(blend))
    return;
  // The whole image, placed so that its point (srcX, srcY) lands on the bounds' corner, seen
  // through the bounds.
  const NVGpaint paint =
      nvgImagePattern(mVG, bounds.L - static_cast<float>(srcX), bounds.T - static_cast<float>(srcY),
                      bitmap.W(), bitmap.H(), 0.f, api->Image(), 1.f);
  nvgBeginPath(mVG);
  nvgRect(mVG, bounds.L, bounds.T, bounds.W(), bounds.H());
  nvgFillPaint(mVG, paint);
  nvgFill(mVG);
  nvgBeginPath(mVG);
}

} // namespace plug::graphics
