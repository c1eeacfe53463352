#include "plugin/EditorStyle.h"

namespace ostratapedelay::plugin::editor
{

using namespace plug::graphics;

namespace
{
IText style(const char* font, float size, int alpha, EAlign align)
{
  return IText(size, white(alpha), font, align, EVAlign::Middle);
}
} // namespace

const TextStyles& textStyles()
{
  static const TextStyles styles = []
  {
    TextStyles s;
    s.title = style(kCondensedFont, 25.f, 255, EAlign::Near);
    s.pill = style(kRegularFont, 11.5f, 255, EAlign::Center);
    s.wordmark = style(kCondensedFont, 15.f, 107, EAlign::Near);
    s.status = style(kRegularFont, 12.f, 77, EAlign::Far);
    s.section = style(kCondensedFont, 19.f, 255, EAlign::Near);
    s.button = style(kRegularFont, 11.f, 255, EAlign::Center);
    s.knobLabel = style(kRegularFont, 13.5f, 255, EAlign::Center);
    s.smallLabel = style(kRegularFont, 12.f, 107, EAlign::Center);
    s.value = style(kRegularFont, 12.5f, 107, EAlign::Center);
    s.valueEntry = style(kRegularFont, 12.5f, 255, EAlign::Center);
    s.valueEntry.textEntryBGColor = IColor(255, 30, 30, 30);
    s.valueEntry.textEntryFGColor = white(255);
    s.repeatsText = style(kRegularFont, 11.5f, 107, EAlign::Near);
    s.repeatsSmall = style(kRegularFont, 10.f, 97, EAlign::Center);
    s.meterLabel = style(kRegularFont, 12.f, 107, EAlign::Center);
    s.meterValue = style(kRegularFont, 12.f, 255, EAlign::Center);
    s.meterScale = style(kRegularFont, 10.f, 97, EAlign::Far);
    return s;
  }();
  return styles;
}

IVectorStyle knobStyle(const IColor& accent)
{
  IVectorStyle s;
  s.hideCursor = false;
  s.showLabel = false;
  s.showValue = false;
  s.drawFrame = false;
  s.drawShadows = false;
  s.widgetFrac = 0.92f;
  s.colorSpec[kBG] = COLOR_TRANSPARENT;
  s.colorSpec[kFG] = IColor(255, 19, 19, 19);
  s.colorSpec[kPR] = IColor(255, 34, 34, 34);
  s.colorSpec[kFR] = white(255);
  s.colorSpec[kX1] = accent;
  return s;
}

} // namespace ostratapedelay::plugin::editor
