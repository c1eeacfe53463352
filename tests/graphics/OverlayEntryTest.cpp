// The in-editor text field and message box: which keys a field takes, what reaches the
// control, and the answers of a modal box.
#include "GraphicsTestSupport.h"

#include "graphics/IMessageBoxControl.h"
#include "graphics/IPopupMenuControl.h"
#include "graphics/ITextEntryControl.h"

#include <gtest/gtest.h>

namespace ostra::test
{
namespace
{

constexpr int kFeedback = 7;

/** A recording context with a clipboard, and a modal loop that runs a script of user
 *  actions until the box is answered. */
class ModalCanvas : public RecordingCanvas
{
public:
  using RecordingCanvas::RecordingCanvas;
  bool GetTextFromClipboard(std::string& str) override
  {
    str = clipboard;
    return !clipboard.empty();
  }
  bool SetTextInClipboard(const char* str) override
  {
    clipboard = str;
    return true;
  }

  std::string clipboard;
  /** One step of the user while a box waits; none: the view has no modal loop. */
  std::function<void()> user;
  int steps = 0;

protected:
  bool RunModalLoop(const std::function<bool()>& answered) override
  {
    if (!user)
      return false;
    while (!answered() && steps < 50)
    {
      ++steps;
      user();
    }
    return true;
  }
};

template <class P>
struct ModalEditor
{
  ModalEditor()
    : plugin(std::make_unique<P>())
    , delegate(*plugin)
  {
    auto made = std::make_unique<ModalCanvas>(&delegate, 400, 200);
    canvas = made.get();
    delegate.OpenEditor(std::move(made));
    input = std::make_unique<EventInjector>(*canvas);
    menu = canvas->AttachPopupMenuControl();
    field = canvas->AttachTextEntryControl();
    box = canvas->AttachMessageBoxControl();
  }
  /** Types each character as its own key press. */
  void type(const std::string& text)
  {
    for (char c : text)
    {
      const char s[2] = {c, 0};
      // Punctuation has no key code of its own, as the view reports it.
      const int vk = (c >= 'a' && c <= 'z')   ? kVK_A + (c - 'a')
                     : (c >= 'A' && c <= 'Z') ? kVK_A + (c - 'A')
                     : (c >= '0' && c <= '9') ? kVK_0 + (c - '0')
                     : c == ' '               ? int(kVK_SPACE)
                                              : int(kVK_NONE);
      input->Key(0, 0, vk, s);
    }
  }

  std::unique_ptr<P> plugin;
  ICanvasEditorDelegate delegate;
  ModalCanvas* canvas = nullptr;
  std::unique_ptr<EventInjector> input;
  IPopupMenuControl* menu = nullptr;
  ITextEntryControl* field = nullptr;
  IMessageBoxControl* box = nullptr;
};

TEST(TextEntryControl, AContinuousFieldRefusesLettersKeyByKeyAndTakesADecimal)
{
  ModalEditor<RealPlugin> s;
  auto* probe = s.canvas->AttachControl(new ProbeControl(IRECT(100, 50, 160, 110), kFeedback));
  s.input->Click(130, 80, EventInjector::Right());
  ASSERT_TRUE(s.field->IsOpen());
  EXPECT_EQ(s.field->GetRECT(), IRECT(110, 72, 150, 88)); // 40 × 16 about the centre
  EXPECT_EQ(s.canvas->GetControlInTextEntry(), probe);
  const std::string initial = s.field->GetString();
  EXPECT_EQ(initial, "30.0");
  // It opens all selected: typing replaces the value.
  EXPECT_EQ(s.field->GetSelectionStart(), 0);
  EXPECT_EQ(s.field->GetSelectionEnd(), int(initial.size()));

  for (char c : std::string("abc"))
  {
    s.type(std::string(1, c));
    EXPECT_EQ(s.field->GetString(), initial) << c;
  }
  s.type("12.5");
  EXPECT_EQ(s.field->GetString(), "12.5");
  s.input->Key(0, 0, kVK_RETURN);
  EXPECT_FALSE(s.field->IsOpen());
  EXPECT_EQ(s.canvas->GetControlInTextEntry(), nullptr);
  EXPECT_DOUBLE_EQ(s.plugin->GetParam(kFeedback)->Value(), 12.5);
  // The right click's gesture closed at mouse up; the value follows it.
  EXPECT_EQ(s.plugin->kinds(), "BEV");
}

TEST(TextEntryControl, AnIntegerFieldTakesDigitsUpToItsLengthAndEdits)
{
  ModalEditor<TestPlugin> s;
  auto* probe =
      s.canvas->AttachControl(new ProbeControl(IRECT(100, 50, 160, 110), TestPlugin::kInteger));
  probe->SetTextEntryLength(2);
  probe->PromptUserInput();
  ASSERT_TRUE(s.field->IsOpen());
  EXPECT_EQ(s.field->GetAcceptedCharacters(), "0123456789-+");
  s.type("1.");
  EXPECT_EQ(s.field->GetString(), "1");
  s.type("05");
  EXPECT_EQ(s.field->GetString(), "10"); // the 5 would make three
  s.input->Key(0, 0, kVK_BACK);
  EXPECT_EQ(s.field->GetString(), "1");
  s.input->Key(0, 0, kVK_HOME);
  s.type("2");
  EXPECT_EQ(s.field->GetString(), "21");
  EXPECT_EQ(s.field->GetCaret(), 1);
  s.input->Key(0, 0, kVK_DELETE);
  EXPECT_EQ(s.field->GetString(), "2");
  IKeyPress selectLeft;
  selectLeft.vk = kVK_LEFT;
  selectLeft.S = true;
  s.canvas->OnKeyDown(0, 0, selectLeft);
  EXPECT_EQ(s.field->GetSelectionStart(), 0);
  EXPECT_EQ(s.field->GetSelectionEnd(), 1);
  s.type("7");
  EXPECT_EQ(s.field->GetString(), "7");
  s.input->Key(0, 0, kVK_RETURN);
  EXPECT_DOUBLE_EQ(s.plugin->GetParam(TestPlugin::kInteger)->Value(), 7.0);
}

TEST(TextEntryControl, EscapeAndAClickOutsideCancelWithNothingForTheControl)
{
  ModalEditor<TestPlugin> s;
  auto* probe = static_cast<ProbeControl*>(
      s.canvas->AttachControl(new ProbeControl(IRECT(100, 50, 160, 110), TestPlugin::kLinear)));
  auto* other = static_cast<ProbeControl*>(
      s.canvas->AttachControl(new ProbeControl(IRECT(300, 150, 390, 190), TestPlugin::kToggle)));
  const double before = s.plugin->GetParam(TestPlugin::kLinear)->Value();

  probe->PromptUserInput();
  s.type("0.9");
  s.input->Key(0, 0, kVK_ESCAPE);
  EXPECT_FALSE(s.field->IsOpen());
  EXPECT_EQ(s.canvas->GetControlInPrompt(), nullptr);

  probe->PromptUserInput();
  s.type("0.8");
  s.input->Click(350, 170);
  EXPECT_FALSE(s.field->IsOpen());
  EXPECT_EQ(other->take(), ""); // the click only ended the field

  EXPECT_EQ(s.plugin->GetParam(TestPlugin::kLinear)->Value(), before);
  EXPECT_EQ(probe->take(), "");
  EXPECT_EQ(s.plugin->kinds(), "");
}

TEST(TextEntryControl, OneFieldAtATimeAndUnboundTextGoesToTheControl)
{
  ModalEditor<TestPlugin> s;
  auto* first =
      static_cast<ProbeControl*>(s.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 50, 20))));
  auto* second =
      static_cast<ProbeControl*>(s.canvas->AttachControl(new ProbeControl(IRECT(0, 40, 50, 60))));
  first->SetTextEntryLength(20);
  s.canvas->CreateTextEntry(*first, IText(), IRECT(0, 0, 120, 20), "name");
  s.canvas->CreateTextEntry(*second, IText(), IRECT(0, 40, 120, 60), "other");
  EXPECT_EQ(s.field->GetString(), "name");
  EXPECT_EQ(s.canvas->GetControlInPrompt(), first);
  EXPECT_TRUE(s.field->GetAcceptedCharacters().empty()); // anything printable

  s.input->Key(0, 0, kVK_END);
  s.type(" Is-ok 1");
  // Control keys and a clipboard paste: copy "name", paste it at the end.
  s.input->Key(0, 0, kVK_HOME);
  IKeyPress key;
  key.S = true;
  key.vk = kVK_RIGHT;
  for (int i = 0; i < 4; ++i)
    s.canvas->OnKeyDown(0, 0, key);
  key = IKeyPress();
  key.C = true;
  key.vk = 'C';
  s.canvas->OnKeyDown(0, 0, key);
  EXPECT_EQ(s.canvas->clipboard, "name");
  s.input->Key(0, 0, kVK_END);
  key.vk = 'V';
  s.canvas->OnKeyDown(0, 0, key);
  EXPECT_EQ(s.field->GetString(), "name Is-ok 1name");
  s.input->Key(0, 0, kVK_RETURN);
  EXPECT_EQ(first->take(), "text name Is-ok 1name");
  EXPECT_EQ(second->take(), "");
}

TEST(TextEntryControl, PasteKeepsOnlyWhatTheFieldTakes)
{
  ModalEditor<TestPlugin> s;
  auto* probe =
      s.canvas->AttachControl(new ProbeControl(IRECT(100, 50, 160, 110), TestPlugin::kLinear));
  probe->SetTextEntryLength(4);
  probe->PromptUserInput();
  s.canvas->clipboard = "0.25 ms and more";
  IKeyPress paste;
  paste.C = true;
  paste.vk = 'V';
  s.canvas->OnKeyDown(0, 0, paste);
  EXPECT_EQ(s.field->GetString(), "0.25");
}

TEST(TextEntryControl, TheFieldDrawsInItsStyleColoursAndAlignment)
{
  ModalEditor<TestPlugin> s;
  IText style(14.f, COLOR_WHITE, "Roboto-Regular", EAlign::Far);
  style.textEntryBGColor = IColor(255, 1, 2, 3);
  style.textEntryFGColor = IColor(255, 4, 5, 6);
  auto* probe = s.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 100, 20)));
  s.canvas->CreateTextEntry(*probe, style, IRECT(0, 0, 100, 20), "abc");
  s.canvas->ClearCalls();
  s.canvas->Tick();
  std::vector<DrawCall> fills;
  for (const DrawCall& c : s.canvas->CallsOf(s.field))
    if (c.name == "FillRect")
      fills.push_back(c);
  // The background, then the selection (it opens all selected) in the text colour, faint.
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].color, style.textEntryBGColor);
  EXPECT_EQ(fills[0].rect, IRECT(0, 0, 100, 20));
  EXPECT_EQ(fills[1].color.R, style.textEntryFGColor.R);
  EXPECT_LT(fills[1].color.A, 255);
  EXPECT_NEAR(fills[1].rect.W(), 3 * 0.6f * 14.f, 0.01f);
  const auto calls = s.canvas->CallsOf(s.field);
  bool drewText = false;
  for (const DrawCall& c : calls)
    if (c.name == "DrawText")
    {
      drewText = true;
      EXPECT_EQ(c.text, "abc");
      EXPECT_EQ(c.style.fgColor, style.textEntryFGColor);
      // Right-aligned: the text ends at the field's right edge, less the inset.
      EXPECT_NEAR(c.rect.L + 3 * 0.6f * 14.f, 98.f, 0.01f);
    }
  EXPECT_TRUE(drewText);
}

TEST(MessageBoxControl, ATypeFourBoxAnsweredNoReturnsSeven)
{
  ModalEditor<TestPlugin> s;
  s.canvas->user = [&]
  {
    ASSERT_TRUE(s.box->IsOpen());
    ASSERT_EQ(s.box->NButtons(), 2);
    EXPECT_STREQ(s.box->GetButtonText(0), "Yes");
    EXPECT_STREQ(s.box->GetButtonText(1), "No");
    const IRECT no = s.box->GetButtonRECT(1);
    s.input->Click(no.MW(), no.MH());
  };
  int completed = 0;
  const int result = s.canvas->ShowMessageBox("Replace it?", "Save preset", kMB_YESNO,
                                              [&](int r) { completed = r; });
  EXPECT_EQ(result, kNO);
  EXPECT_EQ(completed, kNO);
  EXPECT_FALSE(s.box->IsOpen());
  EXPECT_EQ(s.canvas->steps, 1);
  EXPECT_TRUE(s.canvas->MessageBoxes().empty()); // the platform's box was never asked
}

TEST(MessageBoxControl, KeysAnswerAndOnlyButtonsTakeClicks)
{
  ModalEditor<TestPlugin> s;
  auto* probe =
      static_cast<ProbeControl*>(s.canvas->AttachControl(new ProbeControl(IRECT(0, 0, 400, 200))));
  // Clicks beside the buttons do nothing; Escape is the cautious answer.
  s.canvas->user = [&]
  {
    s.input->Click(5, 5);
    s.input->Key(0, 0, kVK_ESCAPE);
  };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_YESNOCANCEL), kCANCEL);
  EXPECT_EQ(probe->take(), "");
  s.canvas->steps = 0;
  s.canvas->user = [&] { s.input->Key(0, 0, kVK_ESCAPE); };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_YESNO), kNO);
  s.canvas->user = [&] { s.input->Key(0, 0, kVK_RETURN); };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_OK), kOK);
  s.canvas->user = [&]
  {
    s.input->Key(0, 0, kVK_TAB);
    s.input->Key(0, 0, kVK_RETURN);
  };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_RETRYCANCEL), kCANCEL);
  // A press on one button released on another answers nothing.
  s.canvas->user = [&]
  {
    const IRECT ok = s.box->GetButtonRECT(0), cancel = s.box->GetButtonRECT(1);
    s.input->Down(ok.MW(), ok.MH());
    s.input->Up(cancel.MW(), cancel.MH());
    EXPECT_TRUE(s.box->IsOpen());
    s.input->Click(cancel.MW(), cancel.MH());
  };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_OKCANCEL), kCANCEL);
}

TEST(MessageBoxControl, WithoutAModalLoopItAnswersAsBeforeAndUnknownTypesCancel)
{
  ModalEditor<TestPlugin> s;
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", kMB_YESNO), kNO);
  EXPECT_FALSE(s.box->IsOpen());
  s.canvas->user = [&] { FAIL() << "no box has a button row for this type"; };
  EXPECT_EQ(s.canvas->ShowMessageBox("m", "c", EMsgBoxType(2)), kCANCEL);
}

TEST(MessageBoxControl, WrapsTheMessageAndClosesAnOpenMenuFirst)
{
  ModalEditor<TestPlugin> s;
  auto* probe = static_cast<ProbeControl*>(
      s.canvas->AttachControl(new ProbeControl(IRECT(10, 10, 110, 30), TestPlugin::kChoice)));
  s.input->Click(50, 20, EventInjector::Right());
  ASSERT_TRUE(s.menu->IsOpen());
  std::vector<std::string> lines;
  s.canvas->user = [&]
  {
    lines = s.box->GetMessageLines();
    s.canvas->ClearCalls();
    s.canvas->Tick();
    s.input->Key(0, 0, kVK_RETURN);
  };
  const std::string message =
      "A preset named \"Long name\" already exists in the presets folder. Replace it?";
  EXPECT_EQ(s.canvas->ShowMessageBox(message.c_str(), "Save preset", kMB_YESNO), kYES);
  EXPECT_FALSE(s.menu->IsOpen());
  EXPECT_EQ(probe->take(), "down menu none");
  ASSERT_GT(lines.size(), 1u);
  std::string joined;
  for (const std::string& l : lines)
  {
    joined += (joined.empty() ? "" : " ") + l;
    EXPECT_LE(0.6f * 13.f * float(l.size()), s.box->GetStyle().width - 2 * 16.f) << l;
  }
  EXPECT_EQ(joined, message);
}

} // namespace
} // namespace ostra::test
