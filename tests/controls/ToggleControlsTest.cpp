// The pill toggle and the link lock: labels, lit state, what a click sends and in which
// order, and how each is drawn.
#include "controls/ControlsTestSupport.h"
#include "controls/LinkLockControl.h"
#include "controls/PillToggleControl.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

using namespace ostra::test;
using corvana::controls::LinkLockControl;
using corvana::controls::PillToggleControl;
namespace p = ostratapedelay::plugin;

namespace
{

struct PillEditor : Editor<RealPlugin>
{
  PillEditor()
    : Editor<RealPlugin>(1000, 456, 1.f,
                         [](ICanvas* g)
                         {
                           g->AttachControl(new PillToggleControl(
                               IRECT(866, 47, 972, 77), p::kBypass, "ACTIVE", "BYPASSED",
                               IText(11.5f), 1.f, kTestAccent, true));
                           g->AttachControl(new PillToggleControl(
                               IRECT(462, 288, 558, 312), p::kSync, "HOST SYNC", "HOST SYNC",
                               IText(11.f), 2.f, kTestAccent, false));
                         })
  {
    bypass = static_cast<PillToggleControl*>(canvas->GetControl(0));
    sync = static_cast<PillToggleControl*>(canvas->GetControl(1));
  }
  PillToggleControl* bypass = nullptr;
  PillToggleControl* sync = nullptr;
};

TEST(PillToggle, BypassReadsActiveAndLitWhileOffAndClickingBypasses)
{
  PillEditor e;
  auto calls = drawOf(e, e.bypass);
  EXPECT_EQ(firstCall(calls, "DrawText").text, "ACTIVE");
  EXPECT_EQ(firstCall(calls, "DrawRoundRect").color, kWhite107); // the lit border
  const DrawCall dot = firstCall(calls, "FillEllipse");
  EXPECT_EQ(dot.color, kTestAccent);
  // Inset 0.6 × half the height (9), diameter 5, centred vertically.
  EXPECT_EQ(dot.rect, IRECT(875.f, 59.5f, 880.f, 64.5f));
  EXPECT_EQ(firstCall(calls, "DrawText").rect, IRECT(880.f, 47.f, 963.f, 77.f));
  EXPECT_EQ(firstCall(calls, "FillRoundRect").color, IColor(255, 20, 20, 20));
  EXPECT_FLOAT_EQ(firstCall(calls, "FillRoundRect").nums[0], 15.f); // fully round ends

  e.plugin->events.clear();
  e.input->Click(900, 60);
  EXPECT_EQ(e.plugin->GetParam(p::kBypass)->Value(), 1.0);
  EXPECT_EQ(e.plugin->kinds(), "BVE");
  calls = drawOf(e, e.bypass);
  EXPECT_EQ(firstCall(calls, "DrawText").text, "BYPASSED");
  EXPECT_EQ(firstCall(calls, "FillEllipse").color, kWhite56);
  EXPECT_EQ(firstCall(calls, "DrawRoundRect").color, kWhite56);
}

TEST(PillToggle, AnyButtonTogglesAndDoubleClickReturnsTheDefault)
{
  PillEditor e;
  ASSERT_EQ(e.plugin->GetParam(p::kSync)->Value(), 1.0); // Sync starts on
  EXPECT_TRUE(e.sync->isLit());
  e.input->Click(500, 300, EventInjector::Right());
  EXPECT_EQ(e.plugin->GetParam(p::kSync)->Value(), 0.0);
  EXPECT_FALSE(e.sync->isLit());
  EXPECT_EQ(e.sync->label(), "HOST SYNC");
  // The double click's first press toggles back on, the double click itself restores the
  // default (on) without toggling.
  e.plugin->GetParam(p::kSync)->Set(0.0);
  e.sync->SetValueFromDelegate(0.0);
  e.input->DoubleClick(500, 300);
  EXPECT_EQ(e.plugin->GetParam(p::kSync)->Value(), 1.0);
  const DrawCall dot = firstCall(drawOf(e, e.sync), "FillEllipse");
  EXPECT_FLOAT_EQ(dot.rect.W(), 10.f); // dot scale 2
}

struct LockEditor : Editor<RealPlugin>
{
  LockEditor()
    : Editor<RealPlugin>(1000, 456, 1.f,
                         [this](ICanvas* g)
                         {
                           g->AttachControl(new LinkLockControl(
                               IRECT(290, 302, 322, 330), p::kLink, IColor(40, 21, 232, 121),
                               [this] {
                                 order += "action(" +
                                          std::to_string(int(plugin->GetParam(p::kLink)->Value())) +
                                          ") ";
                               }));
                         })
  {
    lock = static_cast<LinkLockControl*>(canvas->GetControl(0));
  }
  LinkLockControl* lock = nullptr;
  std::string order;
};

TEST(LinkLock, TheActionRunsBeforeTheToggleEvenWhenClickedWhileOn)
{
  LockEditor e;
  ASSERT_EQ(e.plugin->GetParam(p::kLink)->Value(), 1.0);
  e.lock->SetValueFromDelegate(1.0);
  e.input->Click(306, 316);
  // The action saw Link still on; then the lock opened.
  EXPECT_EQ(e.order, "action(1) ");
  EXPECT_EQ(e.plugin->GetParam(p::kLink)->Value(), 0.0);
  EXPECT_EQ(e.lock->GetTooltip(), "Link TIME R to TIME L");

  e.input->Click(306, 316, EventInjector::Right());
  EXPECT_EQ(e.order, "action(1) ") << "only the left button acts";
}

TEST(LinkLock, ADoubleClickActsInsideItsOwnGesture)
{
  LockEditor e;
  e.lock->SetValueFromDelegate(1.0);
  e.plugin->events.clear();
  e.input->DoubleClick(306, 316);
  // Down toggles inside the context's gesture; the double click wraps its own toggle.
  EXPECT_EQ(e.order, "action(1) action(0) ");
  EXPECT_EQ(e.plugin->kinds(), "BVEBVE");
  EXPECT_EQ(e.plugin->GetParam(p::kLink)->Value(), 1.0);

  e.plugin->events.clear();
  e.lock->OnMouseDblClick(306, 316, EventInjector::Right());
  EXPECT_EQ(e.plugin->kinds(), "BE") << "the gesture is sent whatever the button";
}

TEST(LinkLock, DrawsAClosedLockWithLinkLinesWhenOnAndAnOpenOneWhenOff)
{
  LockEditor e;
  e.lock->SetValueFromDelegate(1.0);
  auto calls = drawOf(e, e.lock);
  const auto lines = callsNamed(calls, "DrawLine");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].color, IColor(153, 21, 232, 121)); // accent at alpha 153
  EXPECT_EQ(lines[0].nums, (std::vector<float>{290, 319.5f, 297, 319.5f, 1}));
  EXPECT_EQ(lines[1].nums, (std::vector<float>{315, 319.5f, 322, 319.5f, 1}));
  EXPECT_EQ(firstCall(calls, "FillRoundRect").color, IColor(255, 21, 232, 121));
  EXPECT_EQ(firstCall(calls, "FillRoundRect").rect, IRECT(300, 315, 312, 324));
  EXPECT_EQ(firstCall(calls, "PathMoveTo").nums, (std::vector<float>{302, 315}));
  EXPECT_EQ(firstCall(calls, "PathArc").nums, (std::vector<float>{306, 312, 4, -90, 90, 1}));

  e.lock->SetValueFromDelegate(0.0);
  calls = drawOf(e, e.lock);
  EXPECT_TRUE(callsNamed(calls, "DrawLine").empty());
  EXPECT_TRUE(callsNamed(calls, "FillRoundRect").empty());
  EXPECT_EQ(firstCall(calls, "DrawRoundRect").color, kWhite107);
  EXPECT_EQ(firstCall(calls, "PathMoveTo").nums, (std::vector<float>{306, 309}));
  EXPECT_EQ(firstCall(calls, "PathArc").nums, (std::vector<float>{310, 309, 4, -90, 90, 1}));
  EXPECT_EQ(firstCall(calls, "PathLineTo").nums, (std::vector<float>{314, 315}));
}

} // namespace
