#pragma once

#include "graphics/IRECT.h"

#include <memory>

namespace plug::graphics
{

class IControl;

/** An image that belongs to the drawing backend (a texture, or a framebuffer for a layer).
 *  The core only keeps it alive and knows its size; the backend derives its own kind. */
class APIBitmap
{
public:
  /** width and height in backing pixels; scale is backing pixels per editor unit at the
   *  time it was made (draw scale × screen scale). */
  APIBitmap(int width, int height, float scale)
    : mWidth(width)
    , mHeight(height)
    , mScale(scale)
  {
  }
  virtual ~APIBitmap() = default;
  APIBitmap(const APIBitmap&) = delete;
  APIBitmap& operator=(const APIBitmap&) = delete;

  int GetWidth() const { return mWidth; }
  int GetHeight() const { return mHeight; }
  float GetScale() const { return mScale; }

private:
  int mWidth;
  int mHeight;
  float mScale;
};

/** A loaded image or a layer's contents, as controls hold it: size in editor units. */
struct IBitmap
{
  std::shared_ptr<APIBitmap> api;

  IBitmap() = default;
  explicit IBitmap(std::shared_ptr<APIBitmap> bitmap)
    : api(std::move(bitmap))
  {
  }
  bool IsValid() const { return api != nullptr; }
  float W() const { return api ? float(api->GetWidth()) / api->GetScale() : 0.f; }
  float H() const { return api ? float(api->GetHeight()) / api->GetScale() : 0.f; }
};

/** An offscreen picture of part of the editor that persists between frames until it is
 *  invalidated (by the control, or because the scale changed). */
class ILayer
{
public:
  ILayer(IBitmap bitmap, const IRECT& bounds, IControl* control)
    : mBitmap(std::move(bitmap))
    , mBounds(bounds)
    , mControl(control)
  {
  }
  const IBitmap& GetBitmap() const { return mBitmap; }
  /** Where the layer sits, in editor units. */
  const IRECT& Bounds() const { return mBounds; }
  IControl* GetControl() const { return mControl; }
  void Invalidate() { mInvalid = true; }
  bool IsInvalid() const { return mInvalid; }

private:
  IBitmap mBitmap;
  IRECT mBounds;
  IControl* mControl;
  bool mInvalid = false;
};

using ILayerPtr = std::unique_ptr<ILayer>;

} // namespace plug::graphics
