#pragma once

#include <string>

namespace plug::graphics
{

/**
 * A framebuffer the NanoVG backend draws into: a colour renderbuffer and a depth-stencil one
 * (NanoVG fills through the stencil), sized in pixels. The offscreen frames and the native view
 * both keep their picture in one.
 *
 * Threads: every call needs the owner's GL context current.
 */
class GLRenderTarget
{
public:
  /** Makes the target exist at this size (nothing happens when it already does). On failure
   * the target is released and error says why. */
  bool Resize(int width, int height, std::string& error);
  void Release();

  unsigned int Framebuffer() const { return mFramebuffer; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }

private:
  unsigned int mFramebuffer = 0;
  unsigned int mColorBuffer = 0;
  unsigned int mStencilBuffer = 0;
  int mWidth = 0;
  int mHeight = 0;
};

} // namespace plug::graphics
