// What the view makes of X's key symbols and resources, without a server.
#include "graphics/linux/XKeys.h"
#include "graphics/linux/XScale.h"

// GoogleTest comes before the X headers, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <string>

namespace
{

using namespace plug::graphics;
using namespace plug::graphics::x11;

TEST(XKeys, EditingKeysLettersAndDigitsGetTheirCodesAndText)
{
  EXPECT_EQ(TranslateKey(XK_Return, "\r", 1, 0).vk, kVK_RETURN);
  EXPECT_STREQ(TranslateKey(XK_Return, "\r", 1, 0).utf8, ""); // no text for control characters
  EXPECT_EQ(TranslateKey(XK_KP_Enter, "\r", 1, 0).vk, kVK_RETURN);
  EXPECT_EQ(TranslateKey(XK_BackSpace, "\b", 1, 0).vk, kVK_BACK);
  EXPECT_EQ(TranslateKey(XK_Delete, "", 0, 0).vk, kVK_DELETE);
  EXPECT_EQ(TranslateKey(XK_KP_Left, "", 0, 0).vk, kVK_LEFT);
  EXPECT_EQ(TranslateKey(XK_Escape, "\x1b", 1, 0).vk, kVK_ESCAPE);
  EXPECT_EQ(TranslateKey(XK_ISO_Left_Tab, "", 0, ShiftMask).vk, kVK_TAB);

  const IKeyPress a = TranslateKey(XK_A, "A", 1, ShiftMask);
  EXPECT_EQ(a.vk, kVK_A);
  EXPECT_STREQ(a.utf8, "A");
  EXPECT_TRUE(a.S);
  EXPECT_FALSE(a.C);
  const IKeyPress ctrlV = TranslateKey(XK_v, "\x16", 1, ControlMask);
  EXPECT_EQ(ctrlV.vk, kVK_A + ('V' - 'A'));
  EXPECT_TRUE(ctrlV.C);
  EXPECT_STREQ(ctrlV.utf8, "");
  EXPECT_EQ(TranslateKey(XK_KP_7, "7", 1, 0).vk, kVK_0 + 7);
  EXPECT_STREQ(TranslateKey(XK_KP_7, "7", 1, 0).utf8, "7");

  // Punctuation has no code of its own, only its text; Latin-1 becomes UTF-8.
  const IKeyPress dot = TranslateKey(XK_period, ".", 1, 0);
  EXPECT_EQ(dot.vk, kVK_NONE);
  EXPECT_STREQ(dot.utf8, ".");
  EXPECT_EQ(std::string(TranslateKey(XK_mu, "\xb5", 1, 0).utf8), "\xc2\xb5");
  EXPECT_TRUE(TranslateKey(XK_a, "a", 1, Mod1Mask).A);
}

TEST(XScale, XftDpiSetsTheScaleAnd96IsOne)
{
  EXPECT_FLOAT_EQ(ScaleFromResources(nullptr), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources(""), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\t96\n"), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xcursor.size:\t24\nXft.dpi:\t144\nXft.hinting:\t1\n"), 1.5f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi: 192"), 2.f);
  // The last setting wins; nonsense and other resources are ignored; extremes are limited.
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\t96\nXft.dpi:\t192\n"), 2.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\tlarge\n"), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpix:\t192\n"), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\t-5\n"), 1.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\t4800\n"), 4.f);
  EXPECT_FLOAT_EQ(ScaleFromResources("Xft.dpi:\t10\n"), 0.5f);
}

} // namespace
