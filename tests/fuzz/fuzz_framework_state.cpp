// Arbitrary bytes as a parameter state and as chunk fields: reads must stay inside the
// chunk, report -1 cleanly, and leave every parameter inside its range.
#include "framework/IByteChunk.h"
#include "framework/IEffectBase.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

class FuzzPlugin : public plug::IEffectBase
{
public:
  FuzzPlugin()
    : IEffectBase(MakeConfig())
  {
    GetParam(0)->InitBool("Bool", false);
    GetParam(1)->InitEnum("Enum", 3, 19);
    GetParam(2)->InitDouble("Pow", 500.0, 1.0, 2000.0, 0.1, "ms", 0, "",
                            plug::IParam::ShapePowCurve(3.0));
    GetParam(3)->InitDouble("Exp", 20.0, 20.0, 2000.0, 1.0, "Hz", 0, "", plug::IParam::ShapeExp());
    GetParam(3)->SetDisplayText(20.0, "Off");
    GetParam(4)->InitInt("Int", 0, -5, 5, "", plug::IParam::kFlagNegateDisplay);
    GetParam(5)->InitDouble("Signed", 0.0, -18.0, 18.0, 0.01, "dB", plug::IParam::kFlagSignDisplay);
  }

private:
  static plug::Config MakeConfig()
  {
    plug::Config config;
    config.nParams = 6;
    return config;
  }
};

void Check(bool condition)
{
  if (!condition)
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  plug::IByteChunk chunk;
  const int n = static_cast<int>(size);
  Check(chunk.AppendBytes(data, n) == (size > 0 ? n : 0));

  FuzzPlugin plugin;
  const int start = size > 0 ? data[0] % 16 - 1 : 0;
  const int end = plugin.UnserializeParams(chunk, start);
  Check(end == -1 || (end >= 0 && end <= chunk.ByteCount()) || (start < 0 && end == start));
  for (int i = 0; i < plugin.NParams(); ++i)
  {
    const plug::IParam& p = *plugin.GetParam(i);
    const double v = p.Value();
    Check(v >= p.GetMin() && v <= p.GetMax());
    const double norm = p.GetNormalized();
    Check(norm >= 0.0 && norm <= 1.0);
    std::string text;
    p.GetDisplayWithLabel(text);
    const double back = p.StringToValue(text.c_str());
    Check(back >= p.GetMin() && back <= p.GetMax());
  }

  // Walk the bytes as a sequence of strings and values.
  int pos = 0;
  while (pos >= 0 && pos < chunk.ByteCount())
  {
    std::string s = "unset";
    const int next = chunk.ReadString(s, pos);
    if (next < 0)
    {
      Check(s == "unset");
      double d = 0.0;
      const int after = chunk.ReadValue(d, pos);
      Check(after == -1 || after == pos + 8);
      pos = after < 0 ? pos + 1 : after;
      continue;
    }
    Check(next > pos && next <= chunk.ByteCount());
    Check(static_cast<int>(s.size()) <= next - pos - 4);
    plug::IParam& p = *plugin.GetParam(static_cast<int>(s.size()) % plugin.NParams());
    const double typed = p.StringToValue(s.c_str());
    Check(typed >= p.GetMin() && typed <= p.GetMax());
    pos = next;
  }

  plug::IByteChunk out;
  Check(plugin.SerializeParams(out) && out.ByteCount() == 8 * plugin.NParams());
  return 0;
}
