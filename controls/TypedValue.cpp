#include "controls/TypedValue.h"

#include "framework/IParam.h"
#include "graphics/ICanvas.h"
#include "graphics/ICanvasEditorDelegate.h"
#include "graphics/IControl.h"

#include <algorithm>

namespace corvana::controls
{

namespace
{
bool isSpace(char c)
{
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c)
{
  return c >= '0' && c <= '9';
}
} // namespace

std::optional<double> parseTypedValue(std::string_view text, double min, double max)
{
  size_t i = 0;
  const size_t n = text.size();
  auto skipSpaces = [&]
  {
    while (i < n && isSpace(text[i]))
      ++i;
  };

  skipSpaces();
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+'))
  {
    negative = text[i] == '-';
    ++i;
  }
  else if (text.substr(i, 3) == "\xE2\x88\x92") // U+2212 MINUS SIGN
  {
    negative = true;
    i += 3;
  }
  skipSpaces();
  if (i >= n)
    return std::nullopt;

  double value = 0.0;
  const bool hadDigits = isDigit(text[i]);
  while (i < n && isDigit(text[i]))
    value = value * 10.0 + (text[i++] - '0');

  bool fractionDigits = false;
  if (i < n && (text[i] == '.' || text[i] == ','))
  {
    ++i;
    if (i < n && isDigit(text[i]))
    {
      fractionDigits = true;
      value += (text[i++] - '0') * 0.1;
      double scale = 0.1 * 0.1;
      while (i < n && isDigit(text[i]))
      {
        value += (text[i++] - '0') * scale;
        scale *= 0.1;
      }
    }
  }
  if (!hadDigits && !fractionDigits)
    return std::nullopt;

  if (negative)
    value = -value;
  if (value < min)
    return min;
  if (value > max)
    return max;
  return value;
}

namespace typed_value
{

bool sendTypedValue(plug::graphics::IControl& control, int paramIdx, std::string_view text)
{
  using namespace plug::graphics;
  ICanvasEditorDelegate* delegate = control.GetDelegate();
  if (text.empty() || paramIdx < 0 || !delegate)
    return false;
  const plug::IParam* param = delegate->GetParam(paramIdx);
  if (!param)
    return false;
  const std::optional<double> value = parseTypedValue(text, param->GetMin(), param->GetMax());
  if (!value)
    return false;

  // Constrain rounds to the step (halves away from zero) and clamps; ToNormalized keeps 0..1.
  auto normalized = [param](double v) { return std::clamp(param->ToNormalized(v), 0.0, 1.0); };
  delegate->BeginInformHostOfParamChangeFromUI(paramIdx);
  delegate->SendParameterValueFromUI(paramIdx, normalized(param->Constrain(*value)));
  delegate->EndInformHostOfParamChangeFromUI(paramIdx);

  // Knob and caption show the new value now rather than on the next idle tick.
  const double current = normalized(param->Value());
  if (ICanvas* ui = control.GetUI())
    ui->ForControlWithParam(paramIdx,
                            [&](IControl& c)
                            {
                              for (int i = 0; i < c.NVals(); ++i)
                                if (c.GetParamIdx(i) == paramIdx)
                                  c.SetValue(current, i);
                              c.SetDirty(false);
                            });
  return true;
}

} // namespace typed_value

} // namespace corvana::controls
