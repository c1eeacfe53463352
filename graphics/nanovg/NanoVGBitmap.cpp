#include "graphics/nanovg/NanoVGBitmap.h"

#include "graphics/nanovg/NanoVGGL.h"

namespace plug::graphics
{

NanoVGBitmap::NanoVGBitmap(NVGcontext* vg, int image, int width, int height, float scale)
  : APIBitmap(width, height, scale)
  , mVG(vg)
  , mImage(image)
{
}

NanoVGBitmap::NanoVGBitmap(NVGcontext* vg, NVGLUframebuffer* framebuffer, int width, int height,
                           float scale)
  : APIBitmap(width, height, scale)
  , mVG(vg)
  , mImage(framebuffer->image)
  , mFramebuffer(framebuffer)
  , mNeedsClear(true)
{
}

NanoVGBitmap::~NanoVGBitmap()
{
  Release();
}

void NanoVGBitmap::Release()
{
  if (mFramebuffer)
    nvgluDeleteFramebuffer(mFramebuffer); // deletes its image too
  else if (mVG && mImage > 0)
    nvgDeleteImage(mVG, mImage);
  mFramebuffer = nullptr;
  mVG = nullptr;
  mImage = 0;
}

} // namespace plug::graphics
