#pragma once

#include "graphics/ICanvas.h"

namespace plug::graphics::testing
{

/**
 * Feeds pointer and key events into a context at editor coordinates, in the order and form a
 * native view reports them, so that tests go through the context's own dispatch. Remembers
 * the pointer's last position so that drags report their deltas.
 */
class EventInjector
{
public:
  explicit EventInjector(ICanvas& canvas)
    : mCanvas(canvas)
  {
  }

  static IMouseMod Left() { return IMouseMod(true); }
  static IMouseMod Right() { return IMouseMod(false, true); }

  /** The pointer moves with no button down (mouse-over tracking). */
  void MoveTo(float x, float y, const IMouseMod& mod = IMouseMod());
  void Down(float x, float y, const IMouseMod& mod = Left());
  /** Drags from the last position to (x, y) in `steps` equal moves. */
  void DragTo(float x, float y, int steps = 1, const IMouseMod& mod = Left());
  /** Drags by (dX, dY) from the last position in `steps` equal moves. */
  void DragBy(float dX, float dY, int steps = 1, const IMouseMod& mod = Left());
  void Up(const IMouseMod& mod = Left());
  void Up(float x, float y, const IMouseMod& mod = Left());
  /** Down and up at one point. */
  void Click(float x, float y, const IMouseMod& mod = Left());
  /** A double click as a native view reports it: down, up, the double click, up. */
  void DoubleClick(float x, float y, const IMouseMod& mod = Left());
  void Wheel(float x, float y, float delta, const IMouseMod& mod = IMouseMod());
  bool Key(float x, float y, int virtualKey, const char* utf8 = "");
  /** The pointer leaves the editor. */
  void Leave() { mCanvas.OnMouseOut(); }

  float X() const { return mX; }
  float Y() const { return mY; }

private:
  ICanvas& mCanvas;
  float mX = 0.f;
  float mY = 0.f;
};

} // namespace plug::graphics::testing
