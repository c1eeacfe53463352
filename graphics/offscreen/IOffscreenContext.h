#pragma once

#include <memory>
#include <string>

namespace plug::graphics
{

/**
 * An OpenGL 3.3 core context with no window and no display: EGL on Mesa's surfaceless
 * platform, which renders with llvmpipe when there is no GPU. Drawing goes into framebuffer
 * objects. Use it from one thread at a time.
 */
class IOffscreenContext
{
public:
  /** A current context, or null with the reason in `error` (no EGL, no surfaceless platform,
   *  no GL 3.3 core). Never throws for a missing driver. */
  static std::unique_ptr<IOffscreenContext> Create(std::string& error);
  ~IOffscreenContext();
  IOffscreenContext(const IOffscreenContext&) = delete;
  IOffscreenContext& operator=(const IOffscreenContext&) = delete;

  /** Makes this the calling thread's current GL context. */
  bool MakeCurrent();
  /** The renderer's name, as GL reports it (for messages). */
  const std::string& GetRenderer() const { return mRenderer; }

private:
  IOffscreenContext() = default;

  void* mDisplay = nullptr;
  void* mContext = nullptr;
  std::string mRenderer;
};

} // namespace plug::graphics
