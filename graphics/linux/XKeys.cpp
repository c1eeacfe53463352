#include "graphics/linux/XKeys.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace plug::graphics::x11
{

namespace
{
int VirtualKey(unsigned long keysym)
{
  if (keysym >= XK_0 && keysym <= XK_9)
    return kVK_0 + int(keysym - XK_0);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
    return kVK_0 + int(keysym - XK_KP_0);
  if (keysym >= XK_a && keysym <= XK_z)
    return kVK_A + int(keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z)
    return kVK_A + int(keysym - XK_A);
  if (keysym >= XK_F1 && keysym <= XK_F12)
    return kVK_F1 + int(keysym - XK_F1);
  switch (keysym)
  {
    case XK_BackSpace:
      return kVK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return kVK_TAB;
    case XK_Return:
    case XK_KP_Enter:
      return kVK_RETURN;
    case XK_Escape:
      return kVK_ESCAPE;
    case XK_space:
    case XK_KP_Space:
      return kVK_SPACE;
    case XK_Page_Up:
    case XK_KP_Page_Up:
      return kVK_PRIOR;
    case XK_Page_Down:
    case XK_KP_Page_Down:
      return kVK_NEXT;
    case XK_End:
    case XK_KP_End:
      return kVK_END;
    case XK_Home:
    case XK_KP_Home:
      return kVK_HOME;
    case XK_Left:
    case XK_KP_Left:
      return kVK_LEFT;
    case XK_Up:
    case XK_KP_Up:
      return kVK_UP;
    case XK_Right:
    case XK_KP_Right:
      return kVK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
      return kVK_DOWN;
    case XK_Delete:
    case XK_KP_Delete:
      return kVK_DELETE;
    default:
      return kVK_NONE;
  }
}
} // namespace

IKeyPress TranslateKey(unsigned long keysym, const char* text, int length, unsigned int state)
{
  IKeyPress key;
  key.vk = VirtualKey(keysym);
  key.S = (state & ShiftMask) != 0;
  key.C = (state & ControlMask) != 0;
  key.A = (state & Mod1Mask) != 0;
  // One printable Latin-1 character becomes its UTF-8 form; control characters (Enter,
  // Backspace, control-letters) carry no text.
  if (text && length == 1)
  {
    const auto c = static_cast<unsigned char>(text[0]);
    if (c >= 0x20 && c < 0x7F)
      key.utf8[0] = char(c);
    else if (c >= 0xA0)
    {
      key.utf8[0] = char(0xC0 | (c >> 6));
      key.utf8[1] = char(0x80 | (c & 0x3F));
    }
  }
  return key;
}

} // namespace plug::graphics::x11
