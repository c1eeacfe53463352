#include "framework/IParam.h"

#include "framework/JSONString.h"
#include "framework/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace plug
{

namespace
{

/** Copies at most IParam::kMaxTextLength - 1 bytes, always terminated; null reads as "". */
void CopyText(char (&dst)[IParam::kMaxTextLength], const char* src)
{
  std::snprintf(dst, sizeof(dst), "%s", src ? src : "");
}

/** Smallest k in 0..5 with step * 10^k whole; 6 if there is none. The tolerance keeps
 *  steps like 0.07, whose binary value is not exactly 7/100, at the decimals they mean. */
int PrecisionFromStep(double step)
{
  double scaled = std::fabs(step);
  for (int k = 0; k <= 5; ++k, scaled *= 10.0)
  {
    if (!std::isfinite(scaled))
      break;
    if (std::fabs(scaled - std::round(scaled)) <= 1e-9 * std::max(1.0, scaled))
      return k;
  }
  return 6;
}

void AppendJSONNumber(std::string& json, double value)
{
  // JSON has no infinities or NaN; ranges and defaults are finite in practice.
  if (!std::isfinite(value))
    value = 0.0;
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof(buf), value);
  json.append(buf, result.ptr);
}

} // namespace

// Shapes

std::unique_ptr<IParam::Shape> IParam::ShapeLinear::Clone() const
{
  return std::make_unique<ShapeLinear>(*this);
}

EDisplayType IParam::ShapeLinear::GetDisplayType() const
{
  return kDisplayLinear;
}

double IParam::ShapeLinear::NormalizedToValue(double norm, const IParam& param) const
{
  return param.GetMin() + norm * param.GetRange();
}

double IParam::ShapeLinear::ValueToNormalized(double value, const IParam& param) const
{
  return (value - param.GetMin()) / param.GetRange();
}

IParam::ShapePowCurve::ShapePowCurve(double shape)
  : mShape(shape)
{
}

std::unique_ptr<IParam::Shape> IParam::ShapePowCurve::Clone() const
{
  return std::make_unique<ShapePowCurve>(*this);
}

EDisplayType IParam::ShapePowCurve::GetDisplayType() const
{
  if (mShape > 2.5)
    return kDisplayCubeRoot;
  if (mShape > 1.5)
    return kDisplaySquareRoot;
  if (mShape < 0.4)
    return kDisplayCubed;
  if (mShape < 2.0 / 3.0)
    return kDisplaySquared;
  return kDisplayLinear;
}

double IParam::ShapePowCurve::NormalizedToValue(double norm, const IParam& param) const
{
  return param.GetMin() + std::pow(norm, mShape) * param.GetRange();
}

double IParam::ShapePowCurve::ValueToNormalized(double value, const IParam& param) const
{
  return std::pow((value - param.GetMin()) / param.GetRange(), 1.0 / mShape);
}

std::unique_ptr<IParam::Shape> IParam::ShapeExp::Clone() const
{
  return std::make_unique<ShapeExp>(*this);
}

void IParam::ShapeExp::Init(const IParam& param)
{
  // A logarithmic travel cannot start at zero; the curve starts just above it instead.
  const double lo = param.GetMin() > 0.0 ? param.GetMin() : 1e-8;
  mAdd = std::log(lo);
  mMul = std::log(param.GetMax() / lo);
}

EDisplayType IParam::ShapeExp::GetDisplayType() const
{
  return kDisplayLog;
}

double IParam::ShapeExp::NormalizedToValue(double norm, const IParam&) const
{
  return std::exp(mAdd + norm * mMul);
}

double IParam::ShapeExp::ValueToNormalized(double value, const IParam&) const
{
  return (std::log(value) - mAdd) / mMul;
}

// Construction

IParam::IParam()
  : mShape(std::make_unique<ShapeLinear>())
{
}

IParam::~IParam() = default;

void IParam::InitBool(const char* name, bool defaultValue, const char* label, int flags,
                      const char* group, const char* offText, const char* onText)
{
  if (mType == kTypeNone)
    mType = kTypeBool;
  InitDouble(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, flags | kFlagStepped, group);
  SetDisplayText(0.0, offText);
  SetDisplayText(1.0, onText);
}

void IParam::InitEnum(const char* name, int defaultValue, int count, const char* label, int flags,
                      const char* group, std::initializer_list<const char*> items)
{
  if (mType == kTypeNone)
    mType = kTypeEnum;
  InitDouble(name, defaultValue, 0.0, count - 1, 1.0, label, flags | kFlagStepped, group);
  int i = 0;
  for (const char* item : items)
  {
    if (i >= count)
      break;
    if (item)
      SetDisplayText(i, item);
    ++i;
  }
}

void IParam::InitInt(const char* name, int defaultValue, int min, int max, const char* label,
                     int flags, const char* group)
{
  if (mType == kTypeNone)
    mType = kTypeInt;
  InitDouble(name, defaultValue, min, max, 1.0, label, flags | kFlagStepped, group);
}

void IParam::InitDouble(const char* name, double defaultValue, double min, double max, double step,
                        const char* label, int flags, const char* group, const Shape& shape,
                        EParamUnit unit, DisplayFunc displayFunc)
{
  if (mType == kTypeNone)
    mType = kTypeDouble;
  CopyText(mName, name);
  CopyText(mLabel, label);
  CopyText(mGroup, group);
  mMin = min;
  mMax = std::max(max, min + step);
  if (!(mMax >= mMin))
    mMax = mMin; // a negative step must not leave an inverted range for clamping
  mStep = step;
  mDefault = defaultValue;
  mUnit = unit;
  mFlags = flags;
  mDisplayFunction = std::move(displayFunc);
  mValue.store(Constrain(defaultValue));
  mDisplayPrecision = PrecisionFromStep(step);
  mShape = shape.Clone();
  mShape->Init(*this);
}

void IParam::InitFrequency(const char* name, double defaultValue, double min, double max,
                           double step, int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, step, "Hz", flags, group, ShapeExp(), kUnitFrequency);
}

void IParam::InitSeconds(const char* name, double defaultValue, double min, double max, double step,
                         int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, step, "Seconds", flags, group, ShapeLinear(),
             kUnitSeconds);
}

void IParam::InitMilliseconds(const char* name, double defaultValue, double min, double max,
                              int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, 1.0, "ms", flags, group, ShapeLinear(),
             kUnitMilliseconds);
}

void IParam::InitGain(const char* name, double defaultValue, double min, double max, double step,
                      int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, step, "dB", flags, group, ShapeLinear(), kUnitDB);
}

void IParam::InitPercentage(const char* name, double defaultValue, double min, double max,
                            int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, 1.0, "%", flags, group, ShapeLinear(), kUnitPercentage);
}

void IParam::InitAngleDegrees(const char* name, double defaultValue, double min, double max,
                              int flags, const char* group)
{
  InitDouble(name, defaultValue, min, max, 1.0, "degrees", flags, group, ShapeLinear(),
             kUnitDegrees);
}

void IParam::InitPitch(const char* name, int defaultValue, int min, int max, int flags,
                       const char* group)
{
  static constexpr const char* kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                 "F#", "G",  "G#", "A",  "A#", "B"};
  InitDouble(name, defaultValue, min, max, 1.0, "", flags | kFlagStepped, group);
  for (int note = min; note <= max; ++note)
  {
    // Floor division so that notes below 0 still name the right octave.
    const int octave = (note >= 0 ? note / 12 : (note - 11) / 12) - 1;
    const int pitchClass = note - (octave + 1) * 12;
    char text[kMaxTextLength];
    std::snprintf(text, sizeof(text), "%s%i", kNoteNames[pitchClass], octave);
    SetDisplayText(note, text);
  }
}

void IParam::SetDisplayText(double value, const char* text)
{
  DisplayText entry{value, {}};
  CopyText(entry.mText, text);
  mDisplayTexts.push_back(entry);
}

void IParam::SetDisplayPrecision(int precision)
{
  mDisplayPrecision = std::clamp(precision, 0, 6);
}

// Conversions

double IParam::Constrain(double value) const noexcept
{
  if (std::isnan(value))
    value = std::isnan(mDefault) ? mMin : mDefault;
  if (GetStepped() && mStep > 0.0)
    value = std::round(value / mStep) * mStep; // std::round takes halves away from zero
  return std::clamp(value, mMin, mMax);
}

double IParam::FromNormalized(double normalized) const noexcept
{
  // The top of a curved shape lands a rounding error below the maximum, where the clamp
  // cannot catch it; the bottom lands above the minimum or is clamped.
  if (normalized >= 1.0)
    return Constrain(mMax);
  return Constrain(mShape->NormalizedToValue(normalized, *this));
}

double IParam::ToNormalized(double value) const noexcept
{
  // The ends are exact both ways (see FromNormalized), so that they read back as
  // themselves: a curved shape's rounding would otherwise turn High Cut's 20000 ("Off")
  // into 19999.99999.
  const double constrained = Constrain(value);
  if (constrained <= mMin)
    return 0.0;
  if (constrained >= mMax)
    return 1.0;
  const double normalized = mShape->ValueToNormalized(constrained, *this);
  return std::isnan(normalized) ? 0.0 : std::clamp(normalized, 0.0, 1.0);
}

double IParam::StringToValue(const char* text) const
{
  double value = 0.0;
  if (MapDisplayText(text, &value))
    return value;
  if (mType == kTypeBool || mType == kTypeEnum)
    return 0.0;
  value = ParseLeadingDouble(text);
  if (GetNegateDisplay())
    value = -value;
  return Constrain(value);
}

// Display

void IParam::GetDisplay(double value, bool normalized, std::string& out, bool withDisplayText) const
{
  if (normalized)
    value = FromNormalized(value);

  if (mDisplayFunction)
  {
    out.clear();
    mDisplayFunction(value, out);
    return;
  }

  if (withDisplayText)
  {
    if (const DisplayText* entry = FindDisplayText(value))
    {
      out = entry->mText;
      return;
    }
  }

  double shown = GetNegateDisplay() ? -value : value;
  if (shown == 0.0)
    shown = 0.0; // no "-0"

  if (mDisplayPrecision == 0)
    out = FormatFixed(std::round(shown), 0);
  else
    out = FormatFixed(shown, mDisplayPrecision, GetSignDisplay() && shown != 0.0);
}

void IParam::GetDisplayWithLabel(std::string& out, bool withDisplayText) const
{
  GetDisplay(Value(), false, out, withDisplayText);
  const char* label = GetLabel();
  if (label[0] != '\0')
  {
    out += ' ';
    out += label;
  }
}

const char* IParam::GetLabel() const
{
  // The label belongs to numbers: "Off" is never followed by "Hz". Only a value that is
  // shown by its display text drops the label; 20.4 Hz still reads "20 Hz".
  return FindDisplayText(Value()) ? "" : mLabel;
}

const char* IParam::GetDisplayTextAtIdx(int idx, double* value) const
{
  if (idx < 0 || idx >= NDisplayTexts())
    return "";
  const DisplayText& entry = mDisplayTexts[static_cast<size_t>(idx)];
  if (value)
    *value = entry.mValue;
  return entry.mText;
}

const char* IParam::GetDisplayText(double value) const
{
  const DisplayText* entry = FindDisplayText(value);
  return entry ? entry->mText : "";
}

bool IParam::MapDisplayText(const char* text, double* value) const
{
  if (!text)
    return false;
  for (const DisplayText& entry : mDisplayTexts)
  {
    if (std::strcmp(entry.mText, text) == 0)
    {
      if (value)
        *value = entry.mValue;
      return true;
    }
  }
  return false;
}

const IParam::DisplayText* IParam::FindDisplayText(double value) const
{
  for (const DisplayText& entry : mDisplayTexts)
    if (entry.mValue == value) // exact on purpose: 20.0000001 Hz is not "Off"
      return &entry;
  return nullptr;
}

std::string IParam::GetJSON(int idx) const
{
  static constexpr const char* kTypeNames[] = {"none", "bool", "int", "enum", "double"};
  const int type = (mType >= kTypeNone && mType <= kTypeDouble) ? mType : kTypeNone;
  std::string json = "{\"id\":" + std::to_string(idx) + ",\"name\":";
  AppendJSONString(json, mName);
  json += ",\"type\":";
  AppendJSONString(json, kTypeNames[type]);
  json += ",\"min\":";
  AppendJSONNumber(json, mMin);
  json += ",\"max\":";
  AppendJSONNumber(json, mMax);
  json += ",\"default\":";
  AppendJSONNumber(json, mDefault);
  json += ",\"display_type\":" + std::to_string(GetDisplayType());
  json += ",\"rate\":\"control\"}";
  return json;
}

IParam::EShapeIDs IParam::GetShapeID() const
{
  if (dynamic_cast<const ShapeLinear*>(mShape.get()))
    return kShapeLinear;
  if (dynamic_cast<const ShapePowCurve*>(mShape.get()))
    return kShapePowCurve;
  if (dynamic_cast<const ShapeExp*>(mShape.get()))
    return kShapeExponential;
  return kShapeUnknown;
}

double IParam::GetShapeValue() const
{
  const auto* curve = dynamic_cast<const ShapePowCurve*>(mShape.get());
  return curve ? curve->mShape : 0.0;
}

} // namespace plug
