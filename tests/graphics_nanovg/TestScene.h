#pragma once

// A small editor-like scene: a panel, a filled rectangle, text, knobs (arcs), a path and a
// piece of SVG artwork. Shared by the frame tests and the frame benchmark.
#include "graphics/ICanvas.h"
#include "graphics/IPanelControl.h"
#include "graphics/ISVGControl.h"
#include "graphics/ITextControl.h"
#include "graphics/IVectorKnobControl.h"
#include "graphics/svg/SvgDocument.h"

#include <string>

namespace plug::graphics::test
{

inline constexpr int kSceneWidth = 400;
inline constexpr int kSceneHeight = 200;
inline constexpr IColor kScenePanel(255, 20, 20, 20);
inline constexpr IColor kSceneAccent(255, 21, 232, 121);
inline constexpr IRECT kSceneBlock(300, 20, 380, 60);
inline constexpr IRECT kSceneTitle(20, 20, 280, 50);
inline constexpr IRECT kSceneArt(20, 150, 120, 190);

/** A 2:1 lockup-like picture: a red block on the left, on the right a green ring (even-odd,
 *  the hole from one path) and a stroked wave drawn with arcs and curves. */
inline constexpr const char* kSceneSvg = R"svg(<svg xmlns="http://www.w3.org/2000/svg"
    width="200" height="100" viewBox="0 0 200 100">
  <rect x="0" y="0" width="100" height="100" fill="#c81e28"/>
  <g transform="translate(150 50)">
    <path fill="rgb(20, 220, 90)" fill-rule="evenodd"
          d="M-40 0 A40 40 0 1 1 40 0 A40 40 0 1 1 -40 0 Z M-20 0 a20 20 0 1 0 40 0 a20 20 0 1 0 -40 0 Z"/>
  </g>
  <path d="M5 90 Q25 70 45 90 T85 90" fill="none" stroke="white" stroke-width="3"/>
</svg>)svg";

/** Builds the scene; fonts "Roboto-Regular" and "RobotoCondensed-Bold" must be loaded. */
inline void BuildTestScene(ICanvas& g)
{
  g.AttachPanelBackground(IColor(255, 10, 10, 10));
  g.AttachControl(new IPanelControl(IRECT(10, 10, 390, 140), kScenePanel));
  g.AttachControl(new IPanelControl(kSceneBlock, kSceneAccent));
  g.AttachControl(new ITextControl(
      kSceneTitle, "OSTRATAPE-DELAY",
      IText(25.f, IColor(255, 250, 250, 250), "RobotoCondensed-Bold", EAlign::Near), kScenePanel));
  IVectorStyle knobStyle;
  knobStyle.showLabel = false;
  knobStyle.showValue = false;
  for (int i = 0; i < 4; ++i)
  {
    const float x = 40.f + 70.f * static_cast<float>(i);
    auto* knob = new IVectorKnobControl(IRECT(x - 26, 70, x + 26, 122), -1, "", knobStyle);
    knob->SetValue(0.2 + 0.2 * i);
    g.AttachControl(knob);
    g.AttachControl(new ITextControl(IRECT(x - 40, 124, x + 40, 138), "FEEDBACK",
                                     IText(12.f, IColor(107, 250, 250, 250), "Roboto-Regular"),
                                     kScenePanel));
  }
  std::string error;
  const auto document = svg::parse(kSceneSvg, error);
  g.AttachControl(new ISVGControl(kSceneArt, ISVG(document, document->width, document->height)));
  g.AttachControl(new ISVGControl(IRECT(140, 150, 240, 190),
                                  ISVG(document, document->width, document->height), true));
}

} // namespace plug::graphics::test
