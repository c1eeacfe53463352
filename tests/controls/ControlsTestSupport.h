#pragma once

#include "graphics/GraphicsTestSupport.h"

#include <string>
#include <vector>

namespace ostra::test
{

/** The calls `control` makes when the whole editor is drawn once. */
template <class P>
std::vector<DrawCall> drawOf(Editor<P>& editor, const IControl* control)
{
  editor.canvas->ClearCalls();
  editor.canvas->DrawAll();
  return editor.canvas->CallsOf(control);
}

/** The first call named `name` in `calls`; a default call (empty name) when none. */
inline DrawCall firstCall(const std::vector<DrawCall>& calls, const std::string& name)
{
  for (const DrawCall& c : calls)
    if (c.name == name)
      return c;
  return {};
}

inline std::vector<DrawCall> callsNamed(const std::vector<DrawCall>& calls, const std::string& name)
{
  std::vector<DrawCall> out;
  for (const DrawCall& c : calls)
    if (c.name == name)
      out.push_back(c);
  return out;
}

/** The accent the control tests pass in. */
inline constexpr IColor kTestAccent(255, 21, 232, 121);
inline constexpr IColor kWhite56(56, 250, 250, 250);
inline constexpr IColor kWhite107(107, 250, 250, 250);

} // namespace ostra::test
