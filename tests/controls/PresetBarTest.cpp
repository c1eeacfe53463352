// The preset bar with hooks of its own: layout, drawing, stepping, the list, delete and the
// name prompt.
#include "graphics/GraphicsTestSupport.h"

#include "controls/PresetBarControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

using corvana::controls::PresetBarControl;
using corvana::controls::PresetHooks;
using Bar = PresetBarControl;

/** A product's presets as plain lists; every hook call is logged. */
struct Presets
{
  explicit Presets(std::vector<std::string> f = {}, std::vector<std::string> u = {},
                   std::string c = {}, bool cf = false, bool m = false)
    : factory(std::move(f))
    , user(std::move(u))
    , current(std::move(c))
    , currentFactory(cf)
    , modified(m)
  {
  }

  std::vector<std::string> factory;
  std::vector<std::string> user;
  std::string current;
  bool currentFactory = false;
  bool modified = false;
  std::vector<std::string> log;

  PresetHooks hooks()
  {
    PresetHooks h;
    h.userNames = [this] { return user; };
    h.currentName = [this] { return current; };
    h.load = [this](const std::string& n)
    {
      log.push_back("load " + n);
      current = n;
      currentFactory = false;
    };
    h.save = [this](const std::string& n) { log.push_back("save " + n); };
    h.remove = [this](const std::string& n)
    {
      log.push_back("remove " + n);
      std::erase(user, n);
    };
    h.isModified = [this] { return modified; };
    h.factoryNames = [this] { return factory; };
    h.loadFactory = [this](const std::string& n)
    {
      log.push_back("factory " + n);
      current = n;
      currentFactory = true;
    };
    h.isFactory = [this] { return currentFactory; };
    return h;
  }
};

Bar::Style barStyle()
{
  Bar::Style s;
  s.font = IText(11.f, IColor(255, 250, 250, 250), "Roboto-Regular", EAlign::Center,
                 EVAlign::Middle, 0.f, IColor(255, 30, 30, 30), IColor(255, 250, 250, 250));
  return s;
}

struct BarEditor
{
  explicit BarEditor(Presets& p, bool withMenu = true)
  {
    Bar::MenuHook hook;
    if (withMenu)
      hook = [this](const IRECT& r) { menuOpenedAt.push_back(r); };
    bar = new Bar(IRECT(0, 0, 1000, 32), barStyle(), p.hooks(), hook);
    ed.canvas->AttachControl(bar);
  }

  void click(int region)
  {
    const IRECT& r = bar->elementRect(region);
    bar->OnMouseDown(r.MW(), r.MH(), IMouseMod());
  }
  void hover(int region)
  {
    const IRECT& r = bar->elementRect(region);
    bar->OnMouseOver(r.MW(), r.MH(), IMouseMod());
  }
  void draw()
  {
    ed.canvas->ClearCalls();
    bar->Draw(*ed.canvas);
  }
  std::vector<std::string> texts() const
  {
    std::vector<std::string> out;
    for (const auto& c : ed.canvas->Calls("DrawText"))
      out.push_back(c.text);
    return out;
  }
  /** The colour a caption was drawn in. */
  IColor textColour(const std::string& text) const
  {
    for (const auto& c : ed.canvas->Calls("DrawText"))
      if (c.text == text)
        return c.style.fgColor;
    ADD_FAILURE() << "no text " << text;
    return {};
  }

  Editor<TestPlugin> ed{1000, 456};
  Bar* bar = nullptr;
  std::vector<IRECT> menuOpenedAt;
};

TEST(PresetBarLayout, TheEditorsBarPlacesEveryElement)
{
  Presets p;
  BarEditor e(p);
  const Bar& b = *e.bar;
  EXPECT_FLOAT_EQ(b.pad(), 5.76f);
  EXPECT_FLOAT_EQ(b.rowHeight(), 20.48f);
  auto near = [](float a, float b) { return std::fabs(a - b) < 1e-3f; };
  const IRECT& prev = b.elementRect(Bar::kPrevious);
  EXPECT_TRUE(near(prev.L, 22.2656f) && near(prev.R, 42.7456f) && near(prev.T, 5.76f) &&
              near(prev.B, 26.24f));
  EXPECT_TRUE(near(b.elementRect(Bar::kName).R, 252.7456f));
  EXPECT_TRUE(near(b.elementRect(Bar::kNext).R, 273.2256f));
  EXPECT_TRUE(near(b.elementRect(Bar::kSave).L, 283.4656f));
  EXPECT_TRUE(near(b.elementRect(Bar::kSave).R, 353.0976f));
  EXPECT_TRUE(near(b.elementRect(Bar::kSaveAs).L, 356.3744f));
  EXPECT_TRUE(near(b.elementRect(Bar::kSaveAs).R, 426.0064f));
  EXPECT_TRUE(near(b.elementRect(Bar::kDelete).L, 429.2832f));
  EXPECT_TRUE(near(b.elementRect(Bar::kDelete).R, 498.9152f));
  EXPECT_TRUE(near(b.elementRect(Bar::kMenu).L, 957.0496f));
  EXPECT_TRUE(near(b.elementRect(Bar::kMenu).R, 977.5296f));

  EXPECT_EQ(b.regionAt(prev.L, prev.T), Bar::kPrevious); // left and top inclusive
  EXPECT_EQ(b.regionAt(prev.R, prev.MH()), Bar::kName);  // right exclusive
  EXPECT_EQ(b.regionAt(prev.MW(), prev.B), Bar::kNone);  // bottom exclusive
  EXPECT_EQ(b.regionAt(700, 16), Bar::kNone);
}

TEST(PresetBarLayout, WithoutAMenuHookTheresNoMenuButtonAndALabelShiftsTheRow)
{
  Presets p;
  BarEditor e(p, false);
  EXPECT_EQ(e.bar->elementRect(Bar::kMenu).W(), 0.f);
  EXPECT_EQ(e.bar->regionAt(967, 16), Bar::kNone);
  e.draw();
  EXPECT_EQ(e.ed.canvas->Count("FillRoundRect"), 4); // the field and three buttons

  auto style = barStyle();
  style.label = "PRESET";
  Bar labelled(IRECT(0, 0, 1000, 32), style, {}, nullptr);
  EXPECT_NEAR(labelled.elementRect(Bar::kPrevious).L, 22.2656f + 120.f, 1e-3);
}

TEST(PresetBar, WithNoPresetsTheArrowsAreDimAndNothingOpens)
{
  Presets p;
  BarEditor e(p);
  e.draw();
  for (const auto& t : e.ed.canvas->Calls("FillTriangle"))
    EXPECT_EQ(t.color, barStyle().dimText);
  EXPECT_EQ(e.ed.canvas->Count("FillTriangle"), 2);
  EXPECT_EQ(e.textColour("no preset"), barStyle().dimText);
  e.click(Bar::kName);
  e.click(Bar::kNext);
  e.click(Bar::kPrevious);
  e.click(Bar::kSave);   // nothing selected
  e.click(Bar::kDelete); // nothing to arm
  EXPECT_TRUE(e.ed.canvas->Menus().empty());
  EXPECT_TRUE(p.log.empty());
  EXPECT_TRUE(e.bar->armedName().empty());
}

TEST(PresetBarStepping, FactoryFirstWrappingBothWays)
{
  Presets p({"Clean slap", "Ping and pong"}, {"Alpha", "Beta"}, "", false);
  BarEditor e(p);
  e.click(Bar::kNext); // no current match: the first
  e.click(Bar::kNext);
  e.click(Bar::kNext);
  e.click(Bar::kNext);
  e.click(Bar::kNext); // wraps to the first
  EXPECT_EQ(p.log, (std::vector<std::string>{"factory Clean slap", "factory Ping and pong",
                                             "load Alpha", "load Beta", "factory Clean slap"}));
  p.log.clear();
  e.click(Bar::kPrevious); // wraps back to the last
  e.click(Bar::kPrevious);
  EXPECT_EQ(p.log, (std::vector<std::string>{"load Beta", "load Alpha"}));

  // A user preset named like a factory one is a different entry.
  p.user = {"Clean slap"};
  p.current = "Clean slap";
  p.currentFactory = false;
  p.log.clear();
  e.click(Bar::kNext);
  EXPECT_EQ(p.log, (std::vector<std::string>{"factory Clean slap"}));
  p.current = "Gone";
  p.log.clear();
  e.click(Bar::kPrevious); // no match going back: the last
  EXPECT_EQ(p.log, (std::vector<std::string>{"load Clean slap"}));
  // Bright arrows once entries exist.
  e.draw();
  EXPECT_EQ(e.ed.canvas->Calls("FillTriangle")[0].color, barStyle().text);
}

TEST(PresetBarList, FactoryPresetsInASubmenuThenUserPresetsWithTheCurrentChecked)
{
  Presets p({"Clean slap", "Ping and pong"}, {"Alpha", "Beta"}, "Beta", false);
  BarEditor e(p);
  e.ed.canvas->AnswerNextMenu(3); // "Beta" is item 3: submenu, separator, Alpha, Beta
  e.click(Bar::kName);
  ASSERT_EQ(e.ed.canvas->Menus().size(), 1u);
  const ShownMenu& m = e.ed.canvas->Menus()[0];
  ASSERT_EQ(m.texts.size(), 4u);
  EXPECT_EQ(m.texts[0], "Factory presets");
  EXPECT_TRUE(m.flags[1] & IPopupMenu::Item::kSeparator);
  EXPECT_EQ(m.texts[2], "Alpha");
  EXPECT_EQ(m.flags[2] & IPopupMenu::Item::kChecked, 0);
  EXPECT_TRUE(m.flags[3] & IPopupMenu::Item::kChecked);
  EXPECT_EQ(e.ed.canvas->Calls("ShowMenu").back().rect, e.bar->elementRect(Bar::kName));
  EXPECT_EQ(p.log, (std::vector<std::string>{"load Beta"}));

  // A chosen item's tag indexes the entries as the list showed them: a factory entry loads as
  // factory, a tag past them (the list changed meanwhile) loads nothing.
  IPopupMenu chosen;
  chosen.AddItem(new IPopupMenu::Item("Ping and pong", 0, 1));
  chosen.AddItem(new IPopupMenu::Item("Stale", 0, 9));
  chosen.SetChosenItemIdx(0);
  e.bar->OnPopupMenuSelection(&chosen, 0);
  chosen.SetChosenItemIdx(1);
  e.bar->OnPopupMenuSelection(&chosen, 0);
  e.bar->OnPopupMenuSelection(nullptr, 0); // dismissed
  EXPECT_EQ(p.log, (std::vector<std::string>{"load Beta", "factory Ping and pong"}));
}

TEST(PresetBarList, OnlyFactoryPresetsGiveASubmenuWithoutSeparator)
{
  Presets p({"Clean slap"}, {}, "Clean slap", true);
  BarEditor e(p);
  e.click(Bar::kName);
  ASSERT_EQ(e.ed.canvas->Menus().size(), 1u);
  EXPECT_EQ(e.ed.canvas->Menus()[0].texts, (std::vector<std::string>{"Factory presets"}));
}

TEST(PresetBarDelete, TwoClicksOnTheSamePresetAndLeavingDisarms)
{
  Presets p({}, {"Alpha", "Beta"}, "Alpha", false);
  BarEditor e(p);
  e.hover(Bar::kDelete);
  e.click(Bar::kDelete);
  EXPECT_EQ(e.bar->armedName(), "Alpha");
  e.draw();
  EXPECT_EQ(e.textColour("Sure?"), barStyle().warning);
  EXPECT_TRUE(p.log.empty());

  e.hover(Bar::kSaveAs); // off the button: disarmed
  EXPECT_TRUE(e.bar->armedName().empty());
  e.hover(Bar::kDelete);
  e.click(Bar::kDelete);
  e.click(Bar::kDelete);
  EXPECT_EQ(p.log, (std::vector<std::string>{"remove Alpha"}));
  EXPECT_EQ(e.bar->entries().size(), 1u); // refreshed after the delete

  // A click elsewhere disarms too, as does leaving the bar.
  p.current = "Beta";
  e.click(Bar::kDelete);
  e.click(Bar::kSave);
  EXPECT_TRUE(e.bar->armedName().empty());
  e.click(Bar::kDelete);
  e.bar->OnMouseOut();
  EXPECT_TRUE(e.bar->armedName().empty());

  // Arming never survives a change of preset.
  e.click(Bar::kDelete);
  p.current = "Alpha";
  e.draw();
  EXPECT_EQ(e.textColour("Delete"), barStyle().text);
}

TEST(PresetBarSave, AFactoryPresetCanBeNeitherSavedOverNorDeleted)
{
  Presets p({"Clean slap"}, {"Alpha"}, "Clean slap", true);
  BarEditor e(p);
  e.draw();
  EXPECT_EQ(e.textColour("Save"), barStyle().dimText);
  EXPECT_EQ(e.textColour("Delete"), barStyle().dimText);
  EXPECT_EQ(e.textColour("Save as"), barStyle().text);
  e.click(Bar::kSave);
  e.click(Bar::kDelete);
  e.click(Bar::kDelete);
  EXPECT_TRUE(p.log.empty());
  EXPECT_TRUE(e.bar->armedName().empty());

  e.click(Bar::kSaveAs);
  ASSERT_EQ(e.ed.canvas->TextEntries().size(), 1u);
  const OpenedTextEntry& entry = e.ed.canvas->TextEntries()[0];
  EXPECT_EQ(entry.text, "Clean slap");
  EXPECT_EQ(entry.length, 80);
  EXPECT_FLOAT_EQ(entry.bounds.W(), 220.f); // wider than the 210-unit field
  EXPECT_FLOAT_EQ(entry.bounds.MW(), e.bar->elementRect(Bar::kName).MW());
  EXPECT_FLOAT_EQ(entry.bounds.H(), 20.48f);

  // A user preset saves over itself.
  p.current = "Alpha";
  p.currentFactory = false;
  e.click(Bar::kSave);
  EXPECT_EQ(p.log, (std::vector<std::string>{"save Alpha"}));
}

TEST(PresetBarSave, PromptedNamesAreTrimmedAndBlankOnesSaveNothing)
{
  Presets p({}, {"Alpha"}, "Alpha", false);
  BarEditor e(p);
  e.bar->OnTextEntryCompletion(" \t  ", 0);
  e.bar->OnTextEntryCompletion("", 0);
  EXPECT_TRUE(p.log.empty());
  p.user.push_back("Echo room");
  e.bar->OnTextEntryCompletion("\t Echo room  ", 0);
  EXPECT_EQ(p.log, (std::vector<std::string>{"save Echo room"}));
  EXPECT_EQ(e.bar->entries().size(), 2u);
}

TEST(PresetBarName, ALongNameIsCutWithAnEllipsisAndTheModifiedMarkerStays)
{
  Presets p({}, {}, std::string(60, 'W') + "\xC3\xA9nd", false, true);
  BarEditor e(p);
  e.draw();
  const auto texts = e.texts();
  std::string name;
  for (const auto& t : texts)
    if (t.size() > 10)
      name = t;
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(name.substr(name.size() - 4), "\xE2\x80\xA6*");
  // The recording canvas measures 0.6 x 11 per byte; the field's text area is 210 - 2 pad.
  const IRECT& field = e.bar->elementRect(Bar::kName);
  IRECT measured;
  EXPECT_LE(e.ed.canvas->MeasureText(barStyle().font, name.c_str(), measured),
            field.W() - 2 * e.bar->pad() + 1e-3);
  // A short name is drawn whole, with the marker only while modified.
  p.current = "Alpha";
  e.draw();
  EXPECT_EQ(e.textColour("Alpha*"), barStyle().text);
  p.modified = false;
  e.draw();
  EXPECT_EQ(e.textColour("Alpha"), barStyle().text);
}

TEST(PresetBarName, FittingCutsWholeCharactersAndCachesTheAnswer)
{
  Presets p;
  BarEditor e(p);
  const IText style = barStyle().font; // 6.6 units a character
  // "abéz" is 26.4 wide. In 20 units "abé…" does not fit, "ab…" (19.8) does: the two-byte
  // character went as a whole.
  EXPECT_EQ(e.bar->fitted(*e.ed.canvas, style, "ab\xC3\xA9z", 20.f), "ab\xE2\x80\xA6");
  EXPECT_EQ(e.bar->fitted(*e.ed.canvas, style, "ab\xC3\xA9", 15.f), "a\xE2\x80\xA6");
  // When not even one character and the ellipsis fit, the ellipsis alone.
  EXPECT_EQ(e.bar->fitted(*e.ed.canvas, style, "abc", 5.f), "\xE2\x80\xA6");
  EXPECT_EQ(e.bar->fitted(*e.ed.canvas, style, "ab", 33.f), "ab");
  e.ed.canvas->ClearCalls();
  EXPECT_EQ(e.bar->fitted(*e.ed.canvas, style, "ab", 33.4f), "ab"); // cached
}

TEST(PresetBarMenu, TheMenuButtonCallsTheHookWithItsRectangleAndHighlightsOnHover)
{
  Presets p;
  BarEditor e(p);
  e.click(Bar::kMenu);
  ASSERT_EQ(e.menuOpenedAt.size(), 1u);
  EXPECT_EQ(e.menuOpenedAt[0], e.bar->elementRect(Bar::kMenu));
  e.draw();
  auto bars = [&]
  {
    std::vector<DrawCall> out;
    for (const auto& c : e.ed.canvas->Calls("FillRoundRect"))
      if (c.rect.MW() > 960.f)
        out.push_back(c);
    return out;
  };
  ASSERT_EQ(bars().size(), 3u);
  EXPECT_EQ(bars()[0].color, barStyle().dimText);
  EXPECT_NEAR(bars()[0].rect.W(), 0.46f * 20.48f, 1e-3);
  EXPECT_NEAR(bars()[1].rect.MH() - bars()[0].rect.MH(), 0.21f * 20.48f, 1e-3);
  e.hover(Bar::kMenu);
  e.draw();
  ASSERT_EQ(bars().size(), 4u); // the highlight, then three bars
  EXPECT_EQ(bars()[0].color, barStyle().hover);
  EXPECT_EQ(bars()[1].color, barStyle().text);
}

} // namespace
} // namespace ostra::test
