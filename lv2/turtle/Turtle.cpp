#include "lv2/turtle/Turtle.h"

#include "framework/IByteChunk.h"
#include "lv2/Ports.h"
#include "plugin/OstraTapeDelay.h"
#include "presets/FactoryPresets.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

namespace ostratapedelay::lv2
{

namespace
{

constexpr const char* kPrefixes =
    "@prefix atom:   <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz:  <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:   <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:   <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:    <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts:   <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix param:  <http://lv2plug.in/ns/ext/parameters#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:   <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:    <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:   <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state:  <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time:   <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui:     <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units:  <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:   <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work:   <http://lv2plug.in/ns/ext/worker#> .\n\n";

std::string integerText(double value)
{
  return std::to_string(static_cast<long long>(std::llround(value)));
}

// Numbers of integer-valued ports are written as integers, the rest as decimals.
std::string portNumber(const plug::IParam& p, double value)
{
  return p.Type() == plug::IParam::kTypeDouble ? turtleNumber(value) : integerText(value);
}

const char* unitFor(const char* label)
{
  if (std::strcmp(label, "ms") == 0)
    return "units:ms";
  if (std::strcmp(label, "Hz") == 0)
    return "units:hz";
  if (std::strcmp(label, "dB") == 0)
    return "units:db";
  if (std::strcmp(label, "%") == 0)
    return "units:pc";
  return nullptr;
}

// The unit label; GetLabel hides it while the value is shown by a display text ("Off"), so
// it is read at a value in the middle of the range, which has none.
std::string unitLabel(plug::IParam& p)
{
  const double saved = p.Value();
  p.Set(0.5 * (p.GetMin() + p.GetMax()));
  std::string label = p.GetLabel();
  p.Set(saved);
  return label;
}

void writeParameterPort(std::ostream& out, plug::IParam& p, int index)
{
  out << "    [\n"
      << "        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << index << " ;\n"
      << "        lv2:symbol " << turtleString(portSymbol(p.GetName())) << " ;\n"
      << "        lv2:name " << turtleString(p.GetName()) << " ;\n"
      << "        lv2:default " << portNumber(p, p.GetDefault()) << " ;\n"
      << "        lv2:minimum " << portNumber(p, p.GetMin()) << " ;\n"
      << "        lv2:maximum " << portNumber(p, p.GetMax());

  std::vector<std::string> properties;
  switch (p.Type())
  {
    case plug::IParam::kTypeBool:
      properties.emplace_back("lv2:toggled");
      break;
    case plug::IParam::kTypeEnum:
      properties.emplace_back("lv2:integer");
      properties.emplace_back("lv2:enumeration");
      break;
    case plug::IParam::kTypeInt:
      properties.emplace_back("lv2:integer");
      break;
    default:
      break;
  }
  if (p.GetShapeID() == plug::IParam::kShapeExponential)
    properties.emplace_back("pprops:logarithmic");
  // The tap button is momentary: hosts that know triggers spring it back by themselves.
  if (index == plugin::kTap)
    properties.emplace_back("pprops:trigger");
  for (size_t i = 0; i < properties.size(); ++i)
    out << (i == 0 ? " ;\n        lv2:portProperty " : " , ") << properties[i];

  if (p.Type() == plug::IParam::kTypeDouble)
    if (const char* u = unitFor(unitLabel(p).c_str()))
      out << " ;\n        units:unit " << u;

  for (int t = 0; t < p.NDisplayTexts(); ++t)
  {
    double value = 0.0;
    const char* text = p.GetDisplayTextAtIdx(t, &value);
    out << (t == 0 ? " ;\n        lv2:scalePoint " : " , ") << "[ rdfs:label " << turtleString(text)
        << " ; rdf:value " << portNumber(p, value) << " ]";
  }
  out << "\n    ]";
}

void writeSwitchPort(std::ostream& out, int index, const char* symbol, const char* name,
                     const char* designation, int defaultValue)
{
  out << "    [\n"
      << "        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << index << " ;\n"
      << "        lv2:symbol \"" << symbol << "\" ;\n"
      << "        lv2:name \"" << name << "\" ;\n"
      << "        lv2:designation " << designation << " ;\n"
      << "        lv2:default " << defaultValue << " ;\n"
      << "        lv2:minimum 0 ;\n"
      << "        lv2:maximum 1 ;\n"
      << "        lv2:portProperty lv2:toggled , pprops:notOnGUI\n"
      << "    ]";
}

void writePlugin(std::ostream& out, plug::IEffectBase& plugin, const Variant& variant)
{
  out << "<" << variant.uri << ">\n"
      << "    a lv2:Plugin , lv2:DelayPlugin , doap:Project ;\n"
      << "    doap:name " << turtleString(variant.name) << " ;\n"
      << "    doap:developer [ a foaf:Organization ; foaf:name " << turtleString(plugin::kMakerName)
      << " ] ;\n"
      << "    doap:maintainer [ a foaf:Organization ; foaf:name "
      << turtleString(plugin::kMakerName) << " ] ;\n"
      << "    doap:release [ doap:revision " << turtleString(plugin::kVersion) << " ] ;\n"
      << "    ui:ui <" << kUiUri << "> ;\n"
      << "    lv2:minorVersion 0 ;\n"
      << "    lv2:microVersion 0 ;\n"
      << "    lv2:optionalFeature urid:map , lv2:hardRTCapable , opts:options , work:schedule ;\n"
      << "    lv2:extensionData state:interface , work:interface , opts:interface ;\n"
      << "    opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength , "
         "param:sampleRate ;\n"
      << "    lv2:port\n";

  for (int i = 0; i < plugin::kNumParams; ++i)
  {
    writeParameterPort(out, *plugin.GetParam(i), i);
    out << " ,\n";
  }
  writeSwitchPort(out, static_cast<int>(kPortEnabled), "enabled", "Enabled", "lv2:enabled", 1);
  out << " ,\n";
  writeSwitchPort(out, static_cast<int>(kPortFreeWheel), "freewheel", "Free-wheeling",
                  "lv2:freeWheeling", 0);
  out << " ,\n"
      << "    [\n"
      << "        a lv2:InputPort , atom:AtomPort ;\n"
      << "        atom:bufferType atom:Sequence ;\n"
      << "        atom:supports time:Position ;\n"
      << "        lv2:designation lv2:control ;\n"
      << "        lv2:portProperty lv2:connectionOptional ;\n"
      << "        lv2:index " << kPortControl << " ;\n"
      << "        lv2:symbol \"control\" ;\n"
      << "        lv2:name \"Control\"\n"
      << "    ]";

  std::uint32_t index = kPortAudio;
  for (int input = 1; input >= 0; --input)
  {
    const int n = input ? variant.nInputs : variant.nOutputs;
    for (int c = 0; c < n; ++c)
    {
      const char* side = n == 1 ? "" : (c == 0 ? " L" : " R");
      out << " ,\n"
          << "    [\n"
          << "        a lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
          << "        lv2:index " << index++ << " ;\n"
          << "        lv2:symbol " << turtleString(audioSymbol(input != 0, c, n)) << " ;\n"
          << "        lv2:name \"" << (input ? "In" : "Out") << side << "\"\n"
          << "    ]";
    }
  }
  out << " .\n\n";
}

} // namespace

std::string turtleNumber(double value)
{
  if (!std::isfinite(value))
    return "0.0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos)
    text += ".0";
  return text;
}

std::string turtleString(const std::string& text)
{
  std::string out = "\"";
  for (const char c : text)
  {
    if (c == '"' || c == '\\')
      out += '\\';
    if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

std::string presetUri(const std::string& label)
{
  std::string slug;
  for (const char c : label)
  {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      slug += c;
    else if (c >= 'A' && c <= 'Z')
      slug += static_cast<char>(c - 'A' + 'a');
    else if (!slug.empty() && slug.back() != '-')
      slug += '-';
  }
  while (!slug.empty() && slug.back() == '-')
    slug.pop_back();
  return std::string(kPluginUri) + "#preset-" + slug;
}

std::string manifestTurtle(const std::string& binaryName, const std::string& uiBinaryName,
                           const std::vector<PortPreset>& presets)
{
  std::ostringstream out;
  out << kPrefixes;
  for (const auto& variant : kVariants)
    out << "<" << variant.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << binaryName << "> ;\n"
        << "    rdfs:seeAlso <" << kPluginsFile << "> .\n\n";
  out << "<" << kUiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    ui:binary <" << uiBinaryName << "> ;\n"
      << "    rdfs:seeAlso <" << kPluginsFile << "> .\n\n";
  for (const auto& preset : presets)
  {
    out << "<" << presetUri(preset.label) << ">\n"
        << "    a pset:Preset ;\n"
        << "    lv2:appliesTo ";
    for (int v = 0; v < kNumVariants; ++v)
      out << (v ? " , " : "") << "<" << kVariants[v].uri << ">";
    out << " ;\n"
        << "    rdfs:seeAlso <" << kPresetsFile << "> .\n\n";
  }
  return out.str();
}

std::string pluginsTurtle(plug::IEffectBase& plugin)
{
  std::ostringstream out;
  out << kPrefixes;
  for (const auto& variant : kVariants)
    writePlugin(out, plugin, variant);
  // The editor works on the running instance, so it needs the instance and its extension
  // data; the host's idle calls drive it.
  out << "<" << kUiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> , "
         "<http://lv2plug.in/ns/ext/data-access> ;\n"
      << "    lv2:optionalFeature ui:resize , ui:touch , urid:map , opts:options ;\n"
      << "    opts:supportedOption ui:scaleFactor ;\n"
      << "    lv2:extensionData ui:idleInterface , ui:resize .\n";
  return out.str();
}

std::string presetsTurtle(const plug::IEffectBase& plugin, const std::vector<PortPreset>& presets)
{
  std::ostringstream out;
  out << kPrefixes;
  for (const auto& preset : presets)
  {
    out << "<" << presetUri(preset.label) << ">\n"
        << "    a pset:Preset ;\n"
        << "    rdfs:label " << turtleString(preset.label) << " ;\n"
        << "    lv2:appliesTo ";
    for (int v = 0; v < kNumVariants; ++v)
      out << (v ? " , " : "") << "<" << kVariants[v].uri << ">";
    out << " ;\n    lv2:port";
    for (size_t i = 0; i < preset.values.size() && i < static_cast<size_t>(plugin::kNumParams); ++i)
    {
      const plug::IParam& p = *plugin.GetParam(static_cast<int>(i));
      out << (i ? " , " : " ") << "[\n        lv2:symbol " << turtleString(portSymbol(p.GetName()))
          << " ;\n        pset:value " << turtleNumber(preset.values[i]) << "\n    ]";
    }
    out << " .\n\n";
  }
  return out.str();
}

std::vector<PortPreset> factoryPortPresets()
{
  std::vector<PortPreset> result;
  for (const auto& preset : offline::factoryPresets())
  {
    // A scratch instance reads the chunk exactly as a preset load would.
    OstraTapeDelay scratch;
    plug::IByteChunk chunk;
    chunk.AppendBytes(preset.state.data(), static_cast<int>(preset.state.size()));
    if (scratch.UnserializeState(chunk, 0) < 0)
      continue;
    PortPreset port{preset.name, {}};
    for (int i = 0; i < plugin::kNumParams; ++i)
      port.values.push_back(scratch.GetParam(i)->Value());
    result.push_back(std::move(port));
  }
  return result;
}

} // namespace ostratapedelay::lv2
