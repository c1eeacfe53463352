// Text and caption controls, and the menus and fields a prompt opens, on the plug-in's own
// parameters.
#include "GraphicsTestSupport.h"

#include "graphics/ICaptionControl.h"
#include "graphics/ITextControl.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

namespace P = ostratapedelay::plugin;
using Ed = Editor<RealPlugin>;

const IText kStyle(12.f, COLOR_WHITE, "Roboto-Regular", EAlign::Center, EVAlign::Middle);

double normalized(const Ed& ed, int paramIdx, double value)
{
  return ed.plugin->GetParam(paramIdx)->ToNormalized(value);
}

/** The strings drawn for `control` in the last frame. */
std::vector<std::string> textsOf(const RecordingCanvas& canvas, const IControl* control)
{
  std::vector<std::string> out;
  for (const auto& c : canvas.CallsOf(control))
    if (c.name == "DrawText")
      out.push_back(c.text);
  return out;
}

TEST(TextControl, SetStrWithTheSameStringLeavesItClean)
{
  Ed ed;
  auto* t = static_cast<ITextControl*>(
      ed.canvas->AttachControl(new ITextControl(IRECT(0, 0, 100, 20), "TAPE", kStyle)));
  ed.canvas->Tick();
  t->SetStr("TAPE");
  EXPECT_FALSE(t->IsDirty());
  t->SetStr("DELAY");
  EXPECT_TRUE(t->IsDirty());
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(textsOf(*ed.canvas, t), (std::vector<std::string>{"DELAY"}));
  t->SetStrFmt(5, "%d samples", 1234567);
  EXPECT_STREQ(t->GetStr(), "12345");
  t->ClearStr();
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  // An empty string draws its background only.
  EXPECT_TRUE(textsOf(*ed.canvas, t).empty());
  EXPECT_EQ(ed.canvas->CallsOf(t)[1].name, "FillRect");
}

TEST(TextControl, IgnoresTheMouseAndDrawsBackgroundThenText)
{
  Ed ed;
  auto* t = ed.canvas->AttachControl(
      new ITextControl(IRECT(10, 10, 110, 30), "HI", kStyle, IColor(255, 30, 30, 30)));
  EXPECT_TRUE(t->GetIgnoreMouse());
  EXPECT_EQ(t->NVals(), 1);
  EXPECT_EQ(t->GetParamIdx(), kNoParameter);
  ed.canvas->Tick();
  const auto calls = ed.canvas->CallsOf(t);
  ASSERT_EQ(calls.size(), 3u); // clip, background, text
  EXPECT_EQ(calls[1].name, "FillRect");
  EXPECT_EQ(calls[1].color, IColor(255, 30, 30, 30));
  EXPECT_EQ(calls[2].name, "DrawText");
  EXPECT_EQ(calls[2].rect, IRECT(10, 10, 110, 30));
  EXPECT_EQ(calls[2].style, kStyle);
}

TEST(TextControl, BoundsFromStringFitTheMeasuredTextAboutTheCentre)
{
  Ed ed;
  auto* t = static_cast<ITextControl*>(ed.canvas->AttachControl(
      new ITextControl(IRECT(0, 0, 100, 40), "ABCD", kStyle, COLOR_TRANSPARENT, true)));
  // 4 characters at 0.6 × 12 wide, 12 high, about the centre (50, 20).
  EXPECT_EQ(t->GetRECT(), IRECT(35.6f, 14, 64.4f, 26));
  EXPECT_EQ(t->GetTargetRECT(), t->GetRECT());
  t->SetStr("AB");
  EXPECT_EQ(t->GetRECT(), IRECT(42.8f, 14, 57.2f, 26));
}

TEST(Caption, NoteShowsItsNameWithTheMenuTriangleAtTheRight)
{
  Ed ed(1000, 456);
  ed.canvas->AttachPanelBackground(COLOR_BLACK); // the first control never gets mouse-over
  auto* cap = static_cast<ICaptionControl*>(ed.canvas->AttachControl(
      new ICaptionControl(IRECT(230, 368, 310, 382), P::kNoteL, kStyle, COLOR_TRANSPARENT, false)));
  ed.delegate.SetParameterFromDelegate(P::kNoteL, normalized(ed, P::kNoteL, 13));
  ed.canvas->Tick();
  EXPECT_EQ(textsOf(*ed.canvas, cap), (std::vector<std::string>{"1/4"}));

  // The indicator square is the font size wide at the right edge, the triangle half of it
  // wide and a third high, centred in it.
  const IRECT tri = cap->GetTriangleRECT();
  EXPECT_FLOAT_EQ(tri.W(), 6.f);
  EXPECT_NEAR(tri.H(), 0.33f * 12.f, 1e-4);
  EXPECT_FLOAT_EQ(tri.MW(), 310.f - 6.f);
  EXPECT_FLOAT_EQ(tri.MH(), 375.f);
  const auto fills = ed.canvas->Calls("FillTriangle");
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].nums, (std::vector<float>{tri.L, tri.T, tri.R, tri.T, tri.MW(), tri.B}));
  EXPECT_EQ(fills[0].color, COLOR_BLACK);

  // Right-aligned text moves the indicator to the left edge; the mouse over whitens it.
  auto* right = static_cast<ICaptionControl*>(ed.canvas->AttachControl(new ICaptionControl(
      IRECT(0, 0, 80, 14), P::kNoteR, kStyle.WithAlign(EAlign::Far), COLOR_TRANSPARENT, false)));
  EXPECT_FLOAT_EQ(right->GetTriangleRECT().MW(), 6.f);
  ed.canvas->EnableMouseOver(true);
  ed.input->MoveTo(250, 375);
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(ed.canvas->Calls("FillTriangle")[0].color, COLOR_WHITE);
}

TEST(Caption, ClickingANoteOpensTheNoteMenuWithTheCurrentOneChecked)
{
  Ed ed;
  auto* cap = ed.canvas->AttachControl(
      new ICaptionControl(IRECT(230, 368, 310, 382), P::kNoteL, kStyle, COLOR_TRANSPARENT, false));
  ed.delegate.SetParameterFromDelegate(P::kNoteL, normalized(ed, P::kNoteL, 13));
  ed.plugin->SetParameterFromHost(P::kNoteL, 13, 0);
  ed.plugin->events.clear();

  ed.canvas->AnswerNextMenu(10);
  ed.input->Click(250, 375);
  ASSERT_EQ(ed.canvas->Menus().size(), 1u);
  const ShownMenu& menu = ed.canvas->Menus()[0];
  EXPECT_EQ(menu.title, "Note L");
  ASSERT_EQ(menu.texts.size(), 19u);
  EXPECT_EQ(menu.texts[13], "1/4");
  for (size_t i = 0; i < menu.flags.size(); ++i)
    EXPECT_EQ(menu.flags[i], i == 13 ? IPopupMenu::Item::kChecked : 0) << i;
  // The menu shows over the caption; choosing item 10 sets the note to 10 inside one gesture.
  EXPECT_EQ(ed.canvas->Calls("ShowMenu")[0].rect, cap->GetRECT());
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(P::kNoteL)->Value(), 10.0);
  EXPECT_EQ(ed.plugin->kinds(), "BVE");
}

TEST(Caption, ShowsTheUnitOnlyWithoutADisplayText)
{
  Ed ed;
  auto* cap = ed.canvas->AttachControl(
      new ICaptionControl(IRECT(0, 0, 80, 14), P::kLowCut, kStyle, COLOR_TRANSPARENT, true));
  ed.delegate.SetParameterFromDelegate(P::kLowCut, normalized(ed, P::kLowCut, 20));
  ed.canvas->Tick();
  EXPECT_EQ(textsOf(*ed.canvas, cap), (std::vector<std::string>{"Off"}));
  EXPECT_TRUE(static_cast<ICaptionControl*>(cap)->GetTriangleRECT().Empty());

  ed.delegate.SetParameterFromDelegate(P::kLowCut, normalized(ed, P::kLowCut, 200));
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(textsOf(*ed.canvas, cap), (std::vector<std::string>{"200 Hz"}));
}

TEST(Caption, TypingAValueHidesTheCaptionsTextUntilItIsDelivered)
{
  Ed ed;
  auto* cap = ed.canvas->AttachControl(new ICaptionControl(IRECT(100, 100, 180, 114), P::kFeedback,
                                                           kStyle, COLOR_TRANSPARENT, true));
  ed.canvas->Tick();
  ed.plugin->events.clear();
  ed.input->Click(140, 107);
  ASSERT_EQ(ed.canvas->TextEntries().size(), 1u);
  const OpenedTextEntry& entry = ed.canvas->TextEntries()[0];
  EXPECT_EQ(entry.paramIdx, P::kFeedback);
  EXPECT_EQ(entry.text, "30.0 %"); // the value without display texts, then its label
  EXPECT_EQ(entry.bounds, cap->GetRECT());
  EXPECT_EQ(entry.length, kDefaultTextEntryLength);
  EXPECT_EQ(ed.canvas->GetControlInTextEntry(), cap);

  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_TRUE(textsOf(*ed.canvas, cap).empty());

  ed.canvas->SetControlValueAfterTextEdit("12.5");
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(P::kFeedback)->Value(), 12.5);
  EXPECT_EQ(ed.canvas->GetControlInTextEntry(), nullptr);
  ed.canvas->ClearCalls();
  ed.canvas->Tick();
  EXPECT_EQ(textsOf(*ed.canvas, cap), (std::vector<std::string>{"12.5 %"}));
}

// ---- Prompts on plain controls ---------------------------------------------------------------

TEST(Prompt, ARightClickOnAContinuousParameterOpensAFieldCentredOnTheControl)
{
  Ed ed;
  ed.canvas->AttachControl(new ProbeControl(IRECT(100, 100, 160, 140), P::kFeedback));
  ed.input->Click(110, 110, EventInjector::Right());
  ASSERT_EQ(ed.canvas->TextEntries().size(), 1u);
  EXPECT_EQ(ed.canvas->TextEntries()[0].bounds, IRECT(110, 112, 150, 128));
  EXPECT_EQ(ed.canvas->TextEntries()[0].text, "30.0"); // no label: the control shows none
  EXPECT_TRUE(ed.canvas->Menus().empty());
}

TEST(Prompt, ARightClickOnSyncOffersOffAndOnAndChoosingOnSetsIt)
{
  Ed ed;
  auto* c = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(100, 100, 160, 140), P::kSync)));
  ed.plugin->SetParameterFromHost(P::kSync, 0.0, 0);
  ed.plugin->OnTimer();
  ed.plugin->events.clear();
  c->take();

  ed.canvas->AnswerNextMenu(1);
  ed.input->Click(110, 110, EventInjector::Right());
  ASSERT_EQ(ed.canvas->Menus().size(), 1u);
  EXPECT_EQ(ed.canvas->Menus()[0].texts, (std::vector<std::string>{"off", "on"}));
  EXPECT_EQ(ed.canvas->Menus()[0].flags, (std::vector<int>{IPopupMenu::Item::kChecked, 0}));
  EXPECT_EQ(ed.canvas->Calls("ShowMenu")[0].rect, c->GetRECT());
  EXPECT_DOUBLE_EQ(ed.plugin->GetParam(P::kSync)->Value(), 1.0);
  EXPECT_DOUBLE_EQ(c->GetValue(), 1.0);
  // The menu ended the press: the gesture closes with the answer, not again on mouse up.
  EXPECT_EQ(ed.plugin->kinds(), "BVE");
  EXPECT_EQ(c->take(), "down menu 1");
}

TEST(Prompt, ADismissedMenuStillEndsTheGesture)
{
  Ed ed;
  auto* c = static_cast<ProbeControl*>(
      ed.canvas->AttachControl(new ProbeControl(IRECT(100, 100, 160, 140), P::kSync)));
  ed.plugin->events.clear();
  c->take();
  ed.canvas->AnswerNextMenu(-1, true); // answered later
  ed.input->Click(110, 110, EventInjector::Right());
  EXPECT_EQ(ed.plugin->kinds(), "B");
  EXPECT_EQ(ed.canvas->GetControlInPrompt(), c);
  ed.canvas->SetControlValueAfterPopupMenu(nullptr);
  EXPECT_EQ(ed.plugin->kinds(), "BE");
  EXPECT_EQ(c->take(), "down menu none");
  EXPECT_EQ(ed.canvas->GetControlInPrompt(), nullptr);
}

TEST(Prompt, NothingForUnboundValuesOrWhenPromptingIsDisabled)
{
  Ed ed;
  auto* unbound = ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50)));
  auto* quiet = ed.canvas->AttachControl(new ProbeControl(IRECT(100, 0, 150, 50), P::kSync));
  quiet->DisablePrompt(true);
  ed.input->Click(10, 10, EventInjector::Right());
  ed.input->Click(110, 10, EventInjector::Right());
  EXPECT_TRUE(ed.canvas->Menus().empty());
  EXPECT_TRUE(ed.canvas->TextEntries().empty());
  (void)unbound;
}

TEST(Prompt, UnboundTextGoesToTheControl)
{
  Ed ed;
  auto* c =
      static_cast<ProbeControl*>(ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50))));
  ed.canvas->CreateTextEntry(*c, kStyle, c->GetRECT(), "name");
  EXPECT_EQ(ed.canvas->TextEntries()[0].paramIdx, -1);
  ed.canvas->SetControlValueAfterTextEdit("My preset");
  EXPECT_EQ(c->take(), "text My preset");
}

TEST(MessageBox, ReleasesCapturesAndAnswersThroughTheCompletion)
{
  Ed ed;
  ed.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 50, 50)));
  ed.input->Down(10, 10);
  int seen = 0;
  ed.canvas->AnswerNextMessageBox(kNO);
  EXPECT_EQ(
      ed.canvas->ShowMessageBox("Replace it?", "Save preset", kMB_YESNO, [&](int r) { seen = r; }),
      kNO);
  EXPECT_EQ(seen, kNO);
  EXPECT_FALSE(ed.canvas->HasCapture());
  // Without a platform answer the cautious button is taken.
  EXPECT_EQ(ed.canvas->ShowMessageBox("m", "c", kMB_OK), kOK);
  EXPECT_EQ(ed.canvas->ShowMessageBox("m", "c", kMB_YESNOCANCEL), kCANCEL);
  EXPECT_EQ(ed.canvas->ShowMessageBox("m", "c", kMB_YESNO), kNO);
}

} // namespace
} // namespace ostra::test
