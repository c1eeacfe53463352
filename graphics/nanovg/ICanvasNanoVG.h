#pragma once

#include "graphics/ICanvas.h"

#include <memory>
#include <string>
#include <vector>

struct NVGcontext;

namespace plug::graphics
{

class NanoVGBitmap;

/**
 * The drawing context drawn with NanoVG on OpenGL 3.3. The platform (a native view, or the
 * offscreen renderer) owns the GL context: it makes it current, calls OnViewInitialized once
 * it is, names the framebuffer that frames go to, and calls OnViewDestroyed before the GL
 * context goes. Between those calls every drawing operation of ICanvas is drawn here.
 *
 * Units: NanoVG works in backing pixels of the target; editor units are mapped to them by
 * the draw scale times the screen scale (and, inside a layer, moved to the layer's corner).
 * Colours are straight alpha; a blend's weight multiplies their alpha. The even-odd fill
 * rule is not available in NanoVG: paths fill non-zero, with holes marked by PathSetWinding.
 */
class ICanvasNanoVG : public ICanvas
{
public:
  ICanvasNanoVG(ICanvasEditorDelegate* delegate, int width, int height, int fps = 60,
                float scale = 1.f);
  ~ICanvasNanoVG() override;

  /** Makes the NanoVG context in the current GL context and registers the fonts loaded so
   *  far. Afterwards IsDrawingReady() says whether that worked; GetBackendError() why not. */
  void OnViewInitialized(void* platformContext) override;
  /** Frees every GL resource (images, layers, the NanoVG context) while GL is still current.
   *  Bitmaps that controls still hold become empty. */
  void OnViewDestroyed() override;
  bool IsDrawingReady() const { return mVG != nullptr; }
  const std::string& GetBackendError() const { return mBackendError; }

  /** Frames are drawn into this GL framebuffer (0: the window's own). */
  void SetFrameBuffer(unsigned int framebuffer) { mFrameBuffer = framebuffer; }
  /** The size of a whole frame in backing pixels at the current scales. */
  int FramePixelWidth() const;
  int FramePixelHeight() const;

  void BeginFrame() override;
  void EndFrame() override;
  const char* GetDrawingAPIStr() override { return "NanoVG"; }
  NVGcontext* GetNVGContext() const { return mVG; }

  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int srcX, int srcY,
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

private:
  struct Font
  {
    std::string id;
    const std::vector<unsigned char>* data;
  };

  /** Binds the frame or the innermost layer and starts a NanoVG frame on it. */
  void BindTarget(bool clearNewLayer);
  /** Sets NanoVG's transform to the target's base map followed by the path transform. */
  void ApplyTransform();
  /** Readies NanoVG's paint state for one draw; false when nothing may be drawn. */
  bool PrepareDraw(const IBlend* blend);
  bool RegisterFont(const Font& font, std::string& error);
  /** Places `str` in `bounds` as the style aligns it: the anchor point and NanoVG's flags. */
  int TextAnchor(const IText& text, const IRECT& bounds, float& x, float& y) const;
  void TrackBitmap(const std::shared_ptr<NanoVGBitmap>& bitmap);

  NVGcontext* mVG = nullptr;
  std::string mBackendError;
  unsigned int mFrameBuffer = 0;
  bool mInFrame = false;
  bool mClipEmpty = false;
  IMatrix mPathMatrix;
  std::vector<Font> mFonts;
  std::vector<std::weak_ptr<NanoVGBitmap>> mBitmaps;
};

} // namespace plug::graphics
