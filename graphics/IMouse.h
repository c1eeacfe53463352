#pragma once

#include <vector>

namespace plug::graphics
{

/** Identifies a pointer: 0 is the mouse, touches count from 1. */
using ITouchID = long;

/** Buttons and modifiers of a pointer event. */
struct IMouseMod
{
  bool L = false;
  bool R = false;
  bool S = false; // shift
  bool C = false; // control (command on a Mac keyboard)
  bool A = false; // alt / option
  ITouchID touchID = 0;

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool l, bool r = false, bool s = false, bool c = false, bool a = false,
                      ITouchID id = 0)
    : L(l)
    , R(r)
    , S(s)
    , C(c)
    , A(a)
    , touchID(id)
  {
  }
  constexpr bool IsTouch() const { return touchID > 0; }
  constexpr bool operator==(const IMouseMod&) const = default;
};

/** One pointer of a (possibly multi-pointer) event, in editor units. */
struct IMouseInfo
{
  float x = 0.f;
  float y = 0.f;
  float dX = 0.f;
  float dY = 0.f;
  IMouseMod ms;
};

using IMouseInfos = std::vector<IMouseInfo>;

/** A key press as the platform view reports it. */
struct IKeyPress
{
  int vk = 0;        // platform-neutral virtual key code
  char utf8[5] = {}; // the character typed, when there is one
  bool S = false;
  bool C = false;
  bool A = false;
};

/** Mouse cursors the platform view can show. */
enum class ECursor
{
  Arrow,
  IBeam,
  Wait,
  Cross,
  UpArrow,
  SizeNWSE,
  SizeNESW,
  SizeWE,
  SizeNS,
  SizeAll,
  No,
  Hand,
  AppStarting,
  Help
};

} // namespace plug::graphics
