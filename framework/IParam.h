#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace plug
{

/** Unit code reported to the host. Only the codes this framework uses are named. */
enum EParamUnit : int
{
  kUnitPercentage = 0,
  kUnitSeconds = 1,
  kUnitMilliseconds = 2,
  kUnitDB = 4,
  kUnitDegrees = 8,
  kUnitFrequency = 12,
  kUnitCustom = 21
};

/** How a host should draw a parameter's travel; the codes the host binding passes on. */
enum EDisplayType : int
{
  kDisplayLinear = 0,
  kDisplayLog = 1,
  kDisplayExp = 2,
  kDisplaySquared = 3,
  kDisplaySquareRoot = 4,
  kDisplayCubed = 5,
  kDisplayCubeRoot = 6
};

/**
 * One automatable parameter. Hosts and the editor exchange normalised values 0..1; the
 * audio code reads the real value through Value(), an atomic load.
 *
 * Threads: Init*, SetDisplayText, SetDisplayPrecision run during construction only. Value(),
 * Bool(), Int() and Set()/SetNormalized() are lock-free and real-time safe from any thread.
 * Everything that builds a string (GetDisplay, GetJSON, ...) may allocate: main thread only.
 */
class IParam
{
public:
  enum EParamType : int
  {
    kTypeNone = 0,
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeEnum = 3,
    kTypeDouble = 4
  };

  enum EFlags : int
  {
    kFlagsNone = 0,
    kFlagStepped = 2,       // values are rounded to the step
    kFlagNegateDisplay = 4, // the shown number is the negated value
    kFlagSignDisplay = 8    // positive numbers show a '+' (with decimals only)
  };

  enum EShapeIDs : int
  {
    kShapeLinear = 0,
    kShapePowCurve = 1,
    kShapeExponential = 2,
    kShapeUnknown = 3
  };

  /** Writes the text for a real value; when set it replaces all other formatting. */
  using DisplayFunc = std::function<void(double value, std::string& out)>;

  /** Mapping between normalised and real values. Value semantics through Clone(). */
  struct Shape
  {
    virtual ~Shape() = default;
    virtual std::unique_ptr<Shape> Clone() const = 0;
    /** Precomputes from the parameter's range; called once the range is set. */
    virtual void Init(const IParam&) {}
    virtual EDisplayType GetDisplayType() const = 0;
    virtual double NormalizedToValue(double norm, const IParam& param) const = 0;
    virtual double ValueToNormalized(double value, const IParam& param) const = 0;
  };

  /** min + n * (max - min) */
  struct ShapeLinear : Shape
  {
    std::unique_ptr<Shape> Clone() const override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double norm, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
  };

  /** min + n^shape * (max - min): more resolution at the low end for shape > 1. */
  struct ShapePowCurve : Shape
  {
    explicit ShapePowCurve(double shape);
    std::unique_ptr<Shape> Clone() const override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double norm, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;

    double mShape;
  };

  /** exp(add + n * mul): equal ratios per equal travel, for frequencies and times. */
  struct ShapeExp : Shape
  {
    std::unique_ptr<Shape> Clone() const override;
    void Init(const IParam& param) override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double norm, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;

    double mMul = 1.0;
    double mAdd = 1.0;
  };

  IParam();
  ~IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // Initialisers. Each sets the kind only if it is still none, so InitBool delegating to
  // InitDouble stays a bool. Names, labels, groups and texts keep at most 31 bytes.

  void InitBool(const char* name, bool defaultValue, const char* label = "", int flags = 0,
                const char* group = "", const char* offText = "off", const char* onText = "on");

  /** items: display texts for indices 0.. (at most count are used; null entries skipped). */
  void InitEnum(const char* name, int defaultValue, int count, const char* label = "",
                int flags = 0, const char* group = "",
                std::initializer_list<const char*> items = {});

  void InitInt(const char* name, int defaultValue, int min, int max, const char* label = "",
               int flags = 0, const char* group = "");

  void InitDouble(const char* name, double defaultValue, double min, double max, double step,
                  const char* label = "", int flags = 0, const char* group = "",
                  const Shape& shape = ShapeLinear(), EParamUnit unit = kUnitCustom,
                  DisplayFunc displayFunc = nullptr);

  void InitFrequency(const char* name, double defaultValue = 1000.0, double min = 0.1,
                     double max = 10000.0, double step = 0.1, int flags = 0,
                     const char* group = "");
  void InitSeconds(const char* name, double defaultValue = 1.0, double min = 0.0, double max = 10.0,
                   double step = 0.1, int flags = 0, const char* group = "");
  void InitMilliseconds(const char* name, double defaultValue = 1.0, double min = 0.0,
                        double max = 100.0, int flags = 0, const char* group = "");
  void InitGain(const char* name, double defaultValue = 0.0, double min = -70.0, double max = 24.0,
                double step = 0.5, int flags = 0, const char* group = "");
  void InitPercentage(const char* name, double defaultValue = 0.0, double min = 0.0,
                      double max = 100.0, int flags = 0, const char* group = "");
  void InitAngleDegrees(const char* name, double defaultValue = 0.0, double min = 0.0,
                        double max = 360.0, int flags = 0, const char* group = "");
  /** MIDI note numbers shown as note names with octave, 60 = "C4". */
  void InitPitch(const char* name, int defaultValue = 60, int min = 0, int max = 128, int flags = 0,
                 const char* group = "");

  /** Appends a named value; entries are never replaced or sorted, the first match wins. */
  void SetDisplayText(double value, const char* text);
  void SetDisplayPrecision(int precision);

  // Value access: lock-free, real-time safe.

  double Value() const noexcept { return mValue.load(std::memory_order_relaxed); }
  bool Bool() const noexcept { return Value() >= 0.5; }
  int Int() const noexcept { return static_cast<int>(Value()); }
  /** Stores Constrain(value). */
  void Set(double value) noexcept { mValue.store(Constrain(value), std::memory_order_relaxed); }
  /** Stores FromNormalized(normalized). */
  void SetNormalized(double normalized) noexcept { Set(FromNormalized(normalized)); }
  void SetToDefault() noexcept { Set(mDefault); }
  double GetNormalized() const noexcept { return ToNormalized(Value()); }

  // Conversions: pure, real-time safe.

  /** Rounds to the step when stepped (halves away from zero), then clamps to [min, max].
   *  NaN becomes the default value (the minimum if the default is NaN too). */
  double Constrain(double value) const noexcept;
  double FromNormalized(double normalized) const noexcept;
  /** Always in [0, 1]. */
  double ToNormalized(double value) const noexcept;
  /** Text typed by the user to a real value: an exact display text, else 0 for bools and
   *  enums, else the leading number (read the same in every locale), then constrained. */
  double StringToValue(const char* text) const;

  // Display (main thread; builds strings).

  void GetDisplay(double value, bool normalized, std::string& out,
                  bool withDisplayText = true) const;
  void GetDisplay(std::string& out, bool withDisplayText = true) const
  {
    GetDisplay(Value(), false, out, withDisplayText);
  }
  /** The current value's display text, then " " and the label when there is a label. */
  void GetDisplayWithLabel(std::string& out, bool withDisplayText = true) const;

  const char* GetName() const { return mName; }
  /** The stored label, or "" while the current value is shown by a display text. */
  const char* GetLabel() const;
  /** The stored label whatever the current value (the unit name hosts are given). */
  const char* GetUnitLabel() const { return mLabel; }
  const char* GetGroup() const { return mGroup; }

  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  /** Text of entry idx ("" when out of range); writes the entry's value when value != null. */
  const char* GetDisplayTextAtIdx(int idx, double* value = nullptr) const;
  /** Text of the first entry whose value equals exactly, or "". */
  const char* GetDisplayText(double value) const;
  /** Exact string match, first entry wins; false leaves value untouched. */
  bool MapDisplayText(const char* text, double* value) const;

  /** {"id":..,"name":..,"type":..,"min":..,"max":..,"default":..,"display_type":..,"rate":"control"} */
  std::string GetJSON(int idx) const;

  // Fixed properties.

  EParamType Type() const { return mType; }
  EParamUnit Unit() const { return mUnit; }
  int GetFlags() const { return mFlags; }
  bool GetStepped() const { return (mFlags & kFlagStepped) != 0; }
  bool GetNegateDisplay() const { return (mFlags & kFlagNegateDisplay) != 0; }
  bool GetSignDisplay() const { return (mFlags & kFlagSignDisplay) != 0; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetRange() const { return mMax - mMin; }
  void GetBounds(double& lo, double& hi) const
  {
    lo = mMin;
    hi = mMax;
  }
  double GetStep() const { return mStep; }
  double GetDefault(bool normalized = false) const
  {
    return normalized ? ToNormalized(mDefault) : mDefault;
  }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  bool HasDisplayFunction() const { return static_cast<bool>(mDisplayFunction); }
  EDisplayType GetDisplayType() const { return mShape->GetDisplayType(); }
  EShapeIDs GetShapeID() const;
  /** The power curve's exponent, 0 for other shapes. */
  double GetShapeValue() const;

  static constexpr int kMaxTextLength = 32; // bytes including the terminator

private:
  struct DisplayText
  {
    double mValue;
    char mText[kMaxTextLength];
  };

  const DisplayText* FindDisplayText(double value) const;

  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  int mFlags = 0;
  char mName[kMaxTextLength] = {};
  char mLabel[kMaxTextLength] = {};
  char mGroup[kMaxTextLength] = {};
  std::unique_ptr<Shape> mShape;
  DisplayFunc mDisplayFunction;
  std::vector<DisplayText> mDisplayTexts;
};

static_assert(std::atomic<double>::is_always_lock_free, "parameter values must be lock-free");

} // namespace plug
