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

/** Platform-neutral virtual key codes of IKeyPress::vk (the values of the common PC key
 *  codes, so that letters and digits are their upper-case ASCII codes). */
enum EVirtualKey : int
{
  kVK_NONE = 0,
  kVK_BACK = 0x08,
  kVK_TAB = 0x09,
  kVK_RETURN = 0x0D,
  kVK_ESCAPE = 0x1B,
  kVK_SPACE = 0x20,
  kVK_PRIOR = 0x21, // page up
  kVK_NEXT = 0x22,  // page down
  kVK_END = 0x23,
  kVK_HOME = 0x24,
  kVK_LEFT = 0x25,
  kVK_UP = 0x26,
  kVK_RIGHT = 0x27,
  kVK_DOWN = 0x28,
  kVK_DELETE = 0x2E,
  kVK_0 = 0x30, // to kVK_0 + 9
  kVK_A = 0x41, // to kVK_A + 25
  kVK_F1 = 0x70 // to kVK_F1 + 11
};

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
