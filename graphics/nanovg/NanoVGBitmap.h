#pragma once

#include "graphics/IBitmap.h"

struct NVGcontext;
struct NVGLUframebuffer;

namespace plug::graphics
{

/** A NanoVG image, or a NanoVG framebuffer (a layer) with its image. The GL objects are
 *  freed with the bitmap, or earlier by Release when the GL context goes first; after that
 *  the bitmap draws nothing. */
class NanoVGBitmap : public APIBitmap
{
public:
  NanoVGBitmap(NVGcontext* vg, int image, int width, int height, float scale);
  NanoVGBitmap(NVGcontext* vg, NVGLUframebuffer* framebuffer, int width, int height, float scale);
  ~NanoVGBitmap() override;

  void Release();
  int Image() const { return mImage; }
  NVGLUframebuffer* Framebuffer() const { return mFramebuffer; }
  /** A layer is cleared the first time it becomes the target. */
  bool TakeNeedsClear()
  {
    const bool needs = mNeedsClear;
    mNeedsClear = false;
    return needs;
  }

private:
  NVGcontext* mVG;
  int mImage;
  NVGLUframebuffer* mFramebuffer = nullptr;
  bool mNeedsClear = false;
};

} // namespace plug::graphics
