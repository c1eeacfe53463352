#include "graphics/testing/EventInjector.h"

#include <algorithm>
#include <cstring>

namespace plug::graphics::testing
{

void EventInjector::MoveTo(float x, float y, const IMouseMod& mod)
{
  mX = x;
  mY = y;
  mCanvas.OnMouseOver(x, y, mod);
}

void EventInjector::Down(float x, float y, const IMouseMod& mod)
{
  mX = x;
  mY = y;
  mCanvas.OnMouseDown(x, y, mod);
}

void EventInjector::DragTo(float x, float y, int steps, const IMouseMod& mod)
{
  DragBy(x - mX, y - mY, steps, mod);
}

void EventInjector::DragBy(float dX, float dY, int steps, const IMouseMod& mod)
{
  steps = std::max(steps, 1);
  const float sx = dX / float(steps), sy = dY / float(steps);
  for (int i = 0; i < steps; ++i)
  {
    mX += sx;
    mY += sy;
    mCanvas.OnMouseDrag(mX, mY, sx, sy, mod);
  }
}

void EventInjector::Up(const IMouseMod& mod)
{
  mCanvas.OnMouseUp(mX, mY, mod);
}

void EventInjector::Up(float x, float y, const IMouseMod& mod)
{
  mX = x;
  mY = y;
  mCanvas.OnMouseUp(x, y, mod);
}

void EventInjector::Click(float x, float y, const IMouseMod& mod)
{
  Down(x, y, mod);
  Up(x, y, mod);
}

void EventInjector::DoubleClick(float x, float y, const IMouseMod& mod)
{
  Click(x, y, mod);
  mCanvas.OnMouseDblClick(x, y, mod);
  Up(x, y, mod);
}

void EventInjector::Wheel(float x, float y, float delta, const IMouseMod& mod)
{
  mX = x;
  mY = y;
  mCanvas.OnMouseWheel(x, y, mod, delta);
}

bool EventInjector::Key(float x, float y, int virtualKey, const char* utf8)
{
  IKeyPress key;
  key.vk = virtualKey;
  std::strncpy(key.utf8, utf8 ? utf8 : "", sizeof key.utf8 - 1);
  return mCanvas.OnKeyDown(x, y, key);
}

} // namespace plug::graphics::testing
