#include "graphics/nanovg/GLRenderTarget.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>

namespace plug::graphics
{

bool GLRenderTarget::Resize(int width, int height, std::string& error)
{
  if (mFramebuffer && width == mWidth && height == mHeight)
    return true;
  Release();
  GLint limit = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
  GLint viewport[2] = {};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  limit = std::min({limit, viewport[0], viewport[1]});
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0 || width > limit || height > limit)
  {
    error = "a frame of " + size + " is outside what the renderer allows (" +
            std::to_string(limit) + " a side)";
    return false;
  }
  glGenFramebuffers(1, &mFramebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
  glGenRenderbuffers(1, &mColorBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, mColorBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, mColorBuffer);
  glGenRenderbuffers(1, &mStencilBuffer);
  glBindRenderbuffer(GL_RENDERBUFFER, mStencilBuffer);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            mStencilBuffer);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
  {
    Release();
    error = "the framebuffer for a frame of " + size + " is incomplete";
    return false;
  }
  mWidth = width;
  mHeight = height;
  return true;
}

void GLRenderTarget::Release()
{
  if (mFramebuffer)
    glDeleteFramebuffers(1, &mFramebuffer);
  if (mColorBuffer)
    glDeleteRenderbuffers(1, &mColorBuffer);
  if (mStencilBuffer)
    glDeleteRenderbuffers(1, &mStencilBuffer);
  mFramebuffer = mColorBuffer = mStencilBuffer = 0;
  mWidth = mHeight = 0;
}

} // namespace plug::graphics
