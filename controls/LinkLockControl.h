#pragma once

#include "graphics/IControl.h"

#include <functional>

namespace corvana::controls
{

/**
 * A padlock that links the right delay time to the left: closed (accent) while its parameter
 * is on, open (grey) while off. A left click first runs the action (which copies the left
 * side across), then toggles; a double click does the same inside one host gesture, since
 * the context wraps only single clicks in one. Editor thread.
 */
class LinkLockControl : public plug::graphics::IControl
{
public:
  using Action = std::function<void()>;

  LinkLockControl(const plug::graphics::IRECT& bounds, int paramIdx,
                  const plug::graphics::IColor& accent, Action action);

  void OnMouseDown(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const plug::graphics::IMouseMod& mod) override;
  void Draw(plug::graphics::ICanvas& g) override;

private:
  plug::graphics::IColor mOnColor;
  plug::graphics::IColor mOffColor{107, 250, 250, 250};
  Action mAction;
};

} // namespace corvana::controls
