// The editor's layout: every control with its rectangle, parameter, style and tag, in the
// order they are attached (which is also the order they are drawn in).
#include "plugin/OstraTapeDelay.h"

#include "controls/CornerScaleControl.h"
#include "controls/LinkLockControl.h"
#include "controls/OutputMeterControl.h"
#include "controls/PillToggleControl.h"
#include "controls/RingKnobControl.h"
#include "controls/TapButtonControl.h"
#include "controls/TypedCaptionControl.h"
#include "graphics/ICanvas.h"
#include "graphics/ICaptionControl.h"
#include "graphics/IPanelControl.h"
#include "graphics/ISVGControl.h"
#include "graphics/ITextControl.h"
#include "plugin/EditorPresetAndRepeats.h"
#include "plugin/EditorStyle.h"
#include "plugin/Parameters.h"
#include "plugin/Resources.h"

using namespace ostratapedelay::plugin;
using namespace ostratapedelay::plugin::editor;
using namespace plug::graphics;
using corvana::controls::CornerScaleControl;
using corvana::controls::LinkLockControl;
using corvana::controls::PillToggleControl;
using corvana::controls::RingKnobControl;
using corvana::controls::TapButtonControl;
using corvana::controls::limiter_panel::OutputMeterControl;
using corvana::controls::typed_value::TypedCaptionControl;

namespace
{

// Where a knob's value arc starts: the start of its travel, the top for two-sided values,
// or the end for High Cut, whose arc grows back from its maximum.
constexpr float kAnchorStart = -135.f;
constexpr float kAnchorCentre = 0.f;
constexpr float kAnchorEnd = 135.f;

// Rows of the knob area.
constexpr float kKnobTop = 290.f, kKnobBottom = 342.f;
constexpr float kLabelTop = 350.f, kLabelBottom = 366.f;
constexpr float kValueTop = 368.f, kValueBottom = 382.f;

class Builder
{
public:
  Builder(ICanvas& g, const IColor& accent)
    : mG(g)
    , mAccent(accent)
    , mKnobStyle(knobStyle(accent))
  {
  }

  template <class C>
  C* attach(C* control, int tag = kNoTag)
  {
    return static_cast<C*>(mG.AttachControl(control, tag));
  }

  RingKnobControl* knob(float x, int param, float anchor)
  {
    return attach(new RingKnobControl(IRECT(x - 26.f, kKnobTop, x + 26.f, kKnobBottom), param, "",
                                      mKnobStyle, false, false, -135.f, 135.f, anchor,
                                      EDirection::Vertical, 4.0, 2.f, kRingColour));
  }
  void label(float x, const char* text)
  {
    attach(new ITextControl(IRECT(x - 50.f, kLabelTop, x + 50.f, kLabelBottom), text,
                            textStyles().knobLabel));
  }
  TypedCaptionControl* typedValue(const IRECT& r, int param)
  {
    const TextStyles& t = textStyles();
    return attach(
        new TypedCaptionControl(r, param, t.value, COLOR_TRANSPARENT, true, t.valueEntry));
  }
  TypedCaptionControl* typedValue(float x, int param)
  {
    return typedValue(IRECT(x - 40.f, kValueTop, x + 40.f, kValueBottom), param);
  }
  ICaptionControl* noteValue(float x, int param)
  {
    return attach(new ICaptionControl(IRECT(x - 40.f, kValueTop, x + 40.f, kValueBottom), param,
                                      textStyles().value, COLOR_TRANSPARENT, false));
  }
  void knobGroup(int param, float x, const char* text, float anchor = kAnchorStart)
  {
    knob(x, param, anchor);
    label(x, text);
    typedValue(x, param);
  }
  void heading(float x, const char* text)
  {
    attach(new ITextControl(IRECT(x, 248.f, x + 140.f, 270.f), text, textStyles().section));
  }
  void divider(float x)
  {
    attach(new IPanelControl(IRECT(x, 248.f, x + 1.f, 388.f), kDividerColour));
  }
  PillToggleControl* pill(const IRECT& r, int param, const char* off, const char* on,
                          const IText& text, bool invert)
  {
    return attach(new PillToggleControl(r, param, off, on, text, 1.f, mAccent, invert));
  }

private:
  ICanvas& mG;
  IColor mAccent;
  IVectorStyle mKnobStyle;
};

} // namespace

void OstraTapeDelay::layout(ICanvas* g)
{
  if (!g)
    return;
  const TextStyles& text = textStyles();

  // A context made elsewhere (a test, another binding) may not know where our files are.
  if (g->FindResource(kRegularFontFile).empty() && g->FindResource(kLockupFile).empty())
    for (const std::string& folder :
         mResourceFolders.empty() ? resourceFolders() : mResourceFolders)
      g->AddResourcePath(folder);
  g->LoadFont(kRegularFont, kRegularFontFile);
  g->LoadFont(kCondensedFont, kCondensedFontFile);
  // A bigger window draws the same design larger; the controls never move.
  g->SetLayoutOnResize(false);
  g->EnableMouseOver(true);

  const IColor accent = resolvedAccent(255);
  g->AttachPanelBackground(kBackgroundColour);
  Builder b(*g, accent);

  b.attach(new IPanelControl(IRECT(14.f, 96.f, 986.f, 402.f), kBodyColour, false));
  b.attach(new ITextControl(IRECT(28.f, 48.f, 836.f, 82.f),
                            mCachedTrackLabel.empty() ? kWordmark : mCachedTrackLabel.c_str(),
                            text.title),
           kTitleTag);
  b.pill(IRECT(866.f, 47.f, 972.f, 77.f), kBypass, "ACTIVE", "BYPASSED", text.pill, true);
  attachRepeatsDisplay(*this, *g, accent);

  b.heading(30.f, "TAPE");
  OutputMeterControl::Options meter;
  meter.label = "TAPE";
  meter.range = 36.f;
  meter.ticks = {0, -12, -24, -36};
  meter.showRms = true;
  meter.zone = [] { return std::optional<OutputMeterControl::Zone>({-8.88f, -0.39f}); };
  b.attach(new OutputMeterControl(IRECT(14.f, 282.f, 90.f, 380.f), IRECT(50.f, 290.f, 64.f, 348.f),
                                  accent, text.meterLabel, text.meterValue, text.meterScale,
                                  std::move(meter)),
           kMeterTag);
  b.knobGroup(kDrive, 114.f, "DRIVE", kAnchorCentre);
  b.knobGroup(kWobble, 182.f, "WOBBLE");
  b.divider(222.f);

  b.heading(238.f, "DELAY");
  struct Side
  {
    float x;
    int time;
    int note;
    const char* label;
  };
  size_t recorded = 0;
  for (const Side& side :
       {Side{270.f, kTimeL, kNoteL, "TIME L"}, Side{342.f, kTimeR, kNoteR, "TIME R"}})
  {
    mTimeControls[recorded++] = b.knob(side.x, side.time, kAnchorStart);
    mTimeControls[recorded++] = b.typedValue(side.x, side.time);
    mTimeControls[recorded++] = b.knob(side.x, side.note, kAnchorStart);
    mTimeControls[recorded++] = b.noteValue(side.x, side.note);
    b.label(side.x, side.label);
  }
  b.attach(new LinkLockControl(
      IRECT(290.f, 302.f, 322.f, 330.f), kLink, accent,
      [this]
      {
        // Linking starts from the left side's values.
        for (auto [to, from] : {std::pair{kTimeR, kTimeL}, std::pair{kNoteR, kNoteL}})
        {
          BeginInformHostOfParamChangeFromUI(to);
          SendParameterValueFromUI(to, GetParam(from)->GetNormalized());
          EndInformHostOfParamChangeFromUI(to);
        }
      }));
  b.knobGroup(kFeedback, 416.f, "FEEDBACK");
  b.pill(IRECT(462.f, 288.f, 558.f, 312.f), kSync, "HOST SYNC", "HOST SYNC", text.button, false);
  auto* tap = b.attach(
      new TapButtonControl(IRECT(462.f, 318.f, 558.f, 342.f), kTap, "TAP", text.button, accent));
  // Taps mean nothing while the delay follows the host's tempo.
  tap->disabled = [this] { return param(kSync) >= 0.5; };
  b.pill(IRECT(462.f, 348.f, 558.f, 372.f), kPingPong, "PING PONG", "PING PONG", text.button,
         false);
  b.divider(574.f);

  b.heading(590.f, "TONE");
  b.knobGroup(kLowCut, 622.f, "LOW CUT");
  b.knobGroup(kHighCut, 698.f, "HIGH CUT", kAnchorEnd);
  b.divider(738.f);

  b.heading(754.f, "SPACE");
  b.knobGroup(ostratapedelay::plugin::kWidth, 784.f, "WIDTH", kAnchorCentre);
  b.knobGroup(kDuck, 842.f, "DUCK");
  b.attach(new RingKnobControl(IRECT(879.f, 303.f, 913.f, 337.f), kDuckRelease, "",
                               knobStyle(accent), false, false, -135.f, 135.f, kAnchorStart,
                               EDirection::Vertical, 4.0, 2.f, kRingColour));
  b.attach(new ITextControl(IRECT(846.f, 351.f, 946.f, 367.f), "RELEASE", text.smallLabel));
  b.typedValue(IRECT(856.f, 369.f, 936.f, 383.f), kDuckRelease);
  b.knobGroup(kMix, 950.f, "MIX");

  // Exactly one of the time and note controls shows on each side from the start.
  mLastSyncLink = -1;
  showTimeControls();

  attachSettingsNoticeAndPresetBar(
      *this, *g,
      {[this] { return editorScale(); }, [this](float scale) { applyEditorScale(scale); }});

  const ISVG lockup = g->LoadSVG(kLockupFile, "px", 72.f);
  if (lockup.IsValid())
    b.attach(new ISVGControl(IRECT(28.f, 418.f, 28.f + 22.f * lockup.W / lockup.H, 440.f), lockup,
                             true));
  else
    b.attach(new ITextControl(IRECT(28.f, 420.f, 300.f, 438.f), kWordmark, text.wordmark));

  b.attach(new ITextControl(IRECT(300.f, 421.f, 972.f, 437.f), "", text.status), kStatusTag);
  mLastStatus.clear(); // the next idle tick writes the status line
  mLastStatusKey = -1;

  b.attach(new CornerScaleControl(IRECT(986.f, 442.f, 998.f, 454.f), float(editor::kWidth), 0.75f,
                                  2.f, kRingColour, kGripHoverColour));
}
