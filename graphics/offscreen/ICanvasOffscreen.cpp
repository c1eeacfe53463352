#include "graphics/offscreen/ICanvasOffscreen.h"

#include "graphics/offscreen/PngWriter.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

namespace plug::graphics
{

IColor IOffscreenFrame::GetPixel(int x, int y) const
{
  if (x < 0 || y < 0 || x >= width || y >= height)
    return COLOR_TRANSPARENT;
  const unsigned char* p = rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
  return IColor(p[3], p[0], p[1], p[2]);
}

ICanvasOffscreen::ICanvasOffscreen(ICanvasEditorDelegate* delegate, int width, int height,
                                   float scale)
  : ICanvasNanoVG(delegate, width, height, 60, scale)
{
  std::string error;
  mContext = IOffscreenContext::Create(error);
  if (!mContext)
  {
    mError = "cannot render: " + error;
    return;
  }
  OnViewInitialized(nullptr);
  if (!IsDrawingReady())
    mError = "cannot render: " + GetBackendError();
}

ICanvasOffscreen::~ICanvasOffscreen()
{
  if (mContext && mContext->MakeCurrent())
  {
    OnViewDestroyed();
    mTarget.Release();
  }
}

bool ICanvasOffscreen::LoadAPIFont(const std::string& fontID,
                                   const std::vector<unsigned char>& data, std::string& error)
{
  if (mContext)
    mContext->MakeCurrent();
  return ICanvasNanoVG::LoadAPIFont(fontID, data, error);
}

std::shared_ptr<APIBitmap> ICanvasOffscreen::LoadAPIBitmap(const std::vector<unsigned char>& data,
                                                           int scale, std::string& error)
{
  if (!mContext || !mContext->MakeCurrent())
  {
    error = mError.empty() ? "no OpenGL context" : mError;
    return nullptr;
  }
  return ICanvasNanoVG::LoadAPIBitmap(data, scale, error);
}

bool ICanvasOffscreen::EnsureFramebuffer(int width, int height, std::string& error)
{
  if (mTarget.Framebuffer() && width == mTarget.Width() && height == mTarget.Height())
    return true;
  if (!mTarget.Resize(width, height, error))
  {
    error = "cannot render: " + error + " (" + mContext->GetRenderer() + ")";
    return false;
  }
  SetFrameBuffer(mTarget.Framebuffer());
  return true;
}

bool ICanvasOffscreen::RenderFrame(IOffscreenFrame& frame, std::string& error)
{
  if (!IsReady())
  {
    error = mError;
    return false;
  }
  if (!mContext->MakeCurrent())
  {
    error = "cannot render: the OpenGL context could not be made current";
    return false;
  }
  const int width = FramePixelWidth(), height = FramePixelHeight();
  if (!EnsureFramebuffer(width, height, error))
    return false;
  glBindFramebuffer(GL_FRAMEBUFFER, mTarget.Framebuffer());
  glViewport(0, 0, width, height);
  glClearColor(0.f, 0.f, 0.f, 0.f);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawAll();

  frame.width = width;
  frame.height = height;
  frame.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  glBindFramebuffer(GL_FRAMEBUFFER, mTarget.Framebuffer());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, frame.rgba.data());
  if (glGetError() != GL_NO_ERROR)
  {
    error = "cannot render: reading the frame back failed";
    return false;
  }
  // GL's rows run bottom-up, and NanoVG leaves colours premultiplied by their alpha.
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  std::vector<unsigned char> row(rowBytes);
  for (int y = 0; y < height / 2; ++y)
  {
    unsigned char* top = frame.rgba.data() + static_cast<std::size_t>(y) * rowBytes;
    unsigned char* bottom = frame.rgba.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    std::memcpy(row.data(), top, rowBytes);
    std::memcpy(top, bottom, rowBytes);
    std::memcpy(bottom, row.data(), rowBytes);
  }
  for (std::size_t i = 0; i < frame.rgba.size(); i += 4)
  {
    const unsigned alpha = frame.rgba[i + 3];
    if (alpha == 0 || alpha == 255)
      continue;
    for (int c = 0; c < 3; ++c)
      frame.rgba[i + c] = static_cast<unsigned char>(
          std::min(255u, (frame.rgba[i + c] * 255u + alpha / 2) / alpha));
  }
  return true;
}

bool ICanvasOffscreen::RenderPng(const std::string& path, std::string& error)
{
  IOffscreenFrame frame;
  return RenderFrame(frame, error) &&
         writePng(path, frame.width, frame.height, frame.rgba.data(), error);
}

} // namespace plug::graphics
