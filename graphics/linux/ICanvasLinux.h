#pragma once

#include "graphics/nanovg/GLRenderTarget.h"
#include "graphics/nanovg/ICanvasNanoVG.h"

#include <functional>
#include <memory>
#include <string>

namespace plug::graphics
{

/** Where and how the native view opens. */
struct ILinuxViewOptions
{
  /** The X window to open inside (the host's), or 0 for a top-level window. */
  unsigned long parent = 0;
  /** Device pixels per editor unit at draw scale 1 as the host reports it; 0 when the host
   *  says nothing, and then the X resource Xft.dpi decides (96 dpi is 1). */
  float hostScale = 0.f;
  /** The X display to connect to; null for $DISPLAY. */
  const char* display = nullptr;
  /** The title of a top-level window. */
  std::string title = "OstraTape-delay";
};

/**
 * The editor's native view on Linux: a child X11 window of the host's window (or a top-level
 * one), with a GLX OpenGL 3.3 context whose visual has an 8-bit stencil buffer, drawn by the
 * NanoVG backend. Frames are drawn into an offscreen framebuffer, only where controls are
 * dirty, and copied to the window; an exposed window is repainted from that copy.
 *
 * It has no threads: the host calls Idle() from its main-thread idle callback, which handles
 * the window's pending events and runs the frame loop at the editor's frame rate. Menus, text
 * fields and message boxes are the context's in-editor controls, attached here; a message box
 * keeps handling this window's events until it is answered.
 */
class ICanvasLinux : public ICanvasNanoVG
{
public:
  /** Opens the view, or returns null with the reason (no X display, no GLX visual with a
   *  stencil buffer, no OpenGL 3.3 context, a parent window that does not exist). */
  static std::unique_ptr<ICanvasLinux> Create(ICanvasEditorDelegate* delegate, int width,
                                              int height, int fps, float scale,
                                              const ILinuxViewOptions& options, std::string& error);
  ~ICanvasLinux() override;

  /** One idle step: handles pending events and, when a frame period has passed, draws what
   *  is dirty. False once the window is gone (closed by the user or destroyed). */
  bool Idle();
  /** The frame loop's step on its own: draws what is dirty; true when a frame was drawn. */
  bool Tick();
  /** Frames drawn (ticks that found something dirty) and ticks run, since opening. */
  int FramesDrawn() const { return mFramesDrawn; }
  int Ticks() const { return mTicks; }
  /** The X window id, as the host embeds it. */
  unsigned long GetXWindow() const { return mWindow; }
  bool IsOpen() const { return mWindow != 0 && !mClosed; }
  /** The parent now has this size in pixels. By default the editor scales to fit. */
  void SetParentResizeFunc(std::function<void(int width, int height)> func)
  {
    mParentResizeFunc = std::move(func);
  }

  // ---- Platform operations ----------------------------------------------------------------

  void* GetWindow() override;
  ECursor SetMouseCursor(ECursor cursor) override;
  void HideMouseCursor(bool hide = true, bool lock = true) override;
  void MoveMouseCursor(float x, float y) override;
  bool GetMouseLocation(float& x, float& y) const override;
  bool GetTextFromClipboard(std::string& str) override;
  bool SetTextInClipboard(const char* str) override;
  bool OpenURL(const char* url) override;
  const char* GetPlatformAPIStr() override { return "X11 GLX"; }
  float GetPlatformWindowScale() const override { return mPlatformScale; }

protected:
  void PlatformResize(bool parentHasResized) override;
  bool RunModalLoop(const std::function<bool()>& answered) override;
  bool LoadAPIFont(const std::string& fontID, const std::vector<unsigned char>& data,
                   std::string& error) override;
  std::shared_ptr<APIBitmap> LoadAPIBitmap(const std::vector<unsigned char>& data, int scale,
                                           std::string& error) override;
  std::shared_ptr<APIBitmap> CreateAPIBitmap(int width, int height, float scale) override;

private:
  struct X;
  ICanvasLinux(ICanvasEditorDelegate* delegate, int width, int height, int fps, float scale);
  bool Open(const ILinuxViewOptions& options, std::string& error);
  void Destroy();

  // Events (ICanvasLinuxEvents.cpp).
  void HandleEvents();
  void HandleEvent(void* event);
  void HandleButton(void* event, bool press);
  void HandleMotion(void* event);
  void HandleKey(void* event, bool press);
  void HandleParentConfigure(int width, int height);
  /** Takes the keyboard while an overlay wants keys and gives it back after. */
  void FollowOverlayFocus();
  void ToUnits(int px, int py, float& x, float& y) const;

  // Clipboard (ICanvasLinuxClipboard.cpp).
  void HandleSelectionRequest(void* event);

  // Frames.
  /** Makes the GL context current; the previous one is restored by the guard it returns. */
  struct CurrentGuard;
  bool EnsureFramebuffer();
  void DeleteFramebuffer();
  /** Shows the last frame; an X error (the window is gone) closes the view. */
  void Present();
  void PresentUntrapped();
  double NowMs() const;

  std::unique_ptr<X> mX;
  unsigned long mWindow = 0;
  unsigned long mParent = 0;
  bool mClosed = false;
  bool mMapped = false;
  float mPlatformScale = 1.f;
  std::function<void(int, int)> mParentResizeFunc;
  int mParentWidth = 0;
  int mParentHeight = 0;

  GLRenderTarget mTarget;
  bool mHasPicture = false;
  double mLastTickMs = -1e9;
  int mFramesDrawn = 0;
  int mTicks = 0;
  int mModalDepth = 0;

  // Pointer state.
  bool mButtonDown[4] = {};
  float mLastX = 0.f;
  float mLastY = 0.f;
  unsigned long mLastClickTime = 0;
  int mLastClickButton = 0;
  int mLastClickPX = 0;
  int mLastClickPY = 0;
  bool mCursorHidden = false;
  bool mCursorLocked = false;
  int mLockPX = 0;
  int mLockPY = 0;
  ECursor mCursor = ECursor::Arrow;

  std::string mClipboard;

  bool mHoldsFocus = false;
  unsigned long mFocusBefore = 0;
};

} // namespace plug::graphics
