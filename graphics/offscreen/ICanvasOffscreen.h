#pragma once

#include "graphics/nanovg/GLRenderTarget.h"
#include "graphics/nanovg/ICanvasNanoVG.h"
#include "graphics/offscreen/IOffscreenContext.h"

#include <memory>
#include <string>
#include <vector>

namespace plug::graphics
{

/** A drawn frame: straight RGBA, top row first. */
struct IOffscreenFrame
{
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;

  /** The pixel at (x, y) as alpha, red, green, blue; transparent outside the frame. */
  IColor GetPixel(int x, int y) const;
};

/**
 * A drawing context with no window: it draws its controls with the NanoVG backend into a
 * framebuffer of its own and reads the pixels back. Works on a machine with no display and
 * no GPU. When OpenGL cannot start, the context still holds controls (and measures nothing),
 * and every frame fails with "cannot render: <reason>".
 */
class ICanvasOffscreen : public ICanvasNanoVG
{
public:
  /** width and height in editor units; scale is the draw scale. */
  ICanvasOffscreen(ICanvasEditorDelegate* delegate, int width, int height, float scale = 1.f);
  ~ICanvasOffscreen() override;

  /** Whether frames can be drawn; when not, GetError() says why. */
  bool IsReady() const { return mContext && IsDrawingReady(); }
  const std::string& GetError() const { return mError; }

  /** Draws every control at the current draw scale (Resize sets it) and reads the frame
   *  back, Width() × Height() × the scale in pixels. */
  bool RenderFrame(IOffscreenFrame& frame, std::string& error);
  /** RenderFrame, then the frame as a PNG file. */
  bool RenderPng(const std::string& path, std::string& error);

  const char* GetPlatformAPIStr() override { return "EGL surfaceless"; }

protected:
  bool LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                   std::string& error) override;
  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::vector<unsigned char>& data, int scale,
                                           std::string& error) override;

private:
  bool EnsureFramebuffer(int width, int height, std::string& error);

  std::unique_ptr<IOffscreenContext> mContext;
  std::string mError;
  GLRenderTarget mTarget;
};

} // namespace plug::graphics
