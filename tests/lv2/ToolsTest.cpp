// The bundle checked by tools nobody here wrote: the LV2 validator, lilv's command-line
// tools, and cmake's installer.
#include "LilvHost.h"
#include "ToolRunner.h"

#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <regex>

using namespace ostra::lv2test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{

std::map<std::string, std::string> lv2Env()
{
  return {{"LV2_PATH", bundleParent()}};
}

// A test signal with something for every stage: a noise burst, silence for the echoes, a click.
std::vector<std::vector<float>> testSignal(int rate)
{
  auto signal = noise(2, rate * 3 / 2, 0.3f, 7);
  for (int i = rate / 4; i < rate * 3 / 2; ++i)
    for (auto& ch : signal)
      ch[static_cast<size_t>(i)] = 0.0f;
  signal[0][static_cast<size_t>(rate)] = 0.8f;
  signal[1][static_cast<size_t>(rate) + 10] = -0.6f;
  return signal;
}

// The settings both renders use, as LV2 port symbols and as the effect's parameters.
struct Setting
{
  const char* symbol;
  int param;
  double value;
};
const Setting kSettings[] = {
  {"sync", ostratapedelay::plugin::kSync, 0.0},
  {"link", ostratapedelay::plugin::kLink, 0.0},
  {"time_l", ostratapedelay::plugin::kTimeL, 180.0},
  {"time_r", ostratapedelay::plugin::kTimeR, 240.0},
  {"feedback", ostratapedelay::plugin::kFeedback, 45.0},
  {"ping_pong", ostratapedelay::plugin::kPingPong, 1.0},
  {"drive", ostratapedelay::plugin::kDrive, 6.0},
  {"width", ostratapedelay::plugin::kWidth, 30.0},
  {"mix", ostratapedelay::plugin::kMix, 60.0},
};

// The effect driven directly, as a host binding with double buffers does.
std::vector<std::vector<float>> renderDirect(const std::vector<std::vector<float>>& in, int rate, int block)
{
  OstraTapeDelay fx;
  const int nCh = static_cast<int>(in.size());
  fx.SetChannelConnections(plug::kInput, 0, fx.NChannels(plug::kInput), false);
  fx.SetChannelConnections(plug::kOutput, 0, fx.NChannels(plug::kOutput), false);
  fx.SetChannelConnections(plug::kInput, 0, nCh, true);
  fx.SetChannelConnections(plug::kOutput, 0, nCh, true);
  fx.SetSampleRate(rate);
  fx.SetBlockSize(block);
  fx.OnReset();
  for (const auto& s : kSettings)
    fx.SetParameterFromHost(s.param, s.value, 0);

  const size_t frames = in[0].size();
  std::vector<std::vector<double>> inD(in.size()), outD(in.size(), std::vector<double>(frames));
  for (size_t c = 0; c < in.size(); ++c)
    inD[c].assign(in[c].begin(), in[c].end());
  std::vector<double*> ins(in.size()), outs(in.size());
  for (size_t pos = 0; pos < frames; pos += static_cast<size_t>(block))
  {
    const int n = static_cast<int>(std::min(frames - pos, static_cast<size_t>(block)));
    for (size_t c = 0; c < in.size(); ++c)
    {
      ins[c] = inD[c].data() + pos;
      outs[c] = outD[c].data() + pos;
    }
    fx.AttachBuffers(plug::kInput, 0, nCh, ins.data(), n);
    fx.AttachBuffers(plug::kOutput, 0, nCh, outs.data(), n);
    fx.ProcessBuffers(n);
  }
  std::vector<std::vector<float>> out(in.size());
  for (size_t c = 0; c < in.size(); ++c)
    out[c].assign(outD[c].begin(), outD[c].end());
  return out;
}

double maxDifference(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b, size_t frames)
{
  double worst = 0.0;
  for (size_t c = 0; c < a.size(); ++c)
    for (size_t i = 0; i < frames; ++i)
      worst = std::max(worst, static_cast<double>(std::fabs(a[c][i] - b[c][i])));
  return worst;
}

std::vector<std::vector<float>> renderWithLv2Apply(const TempDir& dir, const std::vector<std::vector<float>>& in,
                                                   int rate)
{
  const std::string input = dir.path() + "/in.wav";
  const std::string output = dir.path() + "/lv2apply.wav";
  EXPECT_TRUE(writeFloatWav(input, in, rate));
  std::vector<std::string> args = {"lv2apply", "-i", input, "-o", output};
  for (const auto& s : kSettings)
  {
    args.insert(args.end(), {"-c", s.symbol, std::to_string(s.value)});
  }
  args.push_back(kStereoUri);
  const ToolResult run = runTool(args, lv2Env(), 60s);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::vector<std::vector<float>> out;
  int outRate = 0;
  EXPECT_TRUE(readFloatWav(output, out, outRate));
  EXPECT_EQ(outRate, rate);
  return out;
}

} // namespace

TEST(Lv2Tools, SordValidateFindsNoErrorsAgainstTheLv2Schemas)
{
  ASSERT_TRUE(haveTool("sord_validate"));
  std::vector<std::string> args = {"sord_validate"};
  // The specifications' bundles only: installed plug-ins (those with a binary) are not ours to judge.
  for (const auto& spec : fs::directory_iterator("/usr/lib/lv2"))
  {
    if (!spec.is_directory())
      continue;
    std::vector<std::string> ttl;
    bool hasBinary = false;
    for (const auto& file : fs::directory_iterator(spec.path()))
    {
      hasBinary = hasBinary || file.path().extension() == ".so";
      if (file.path().extension() == ".ttl")
        ttl.push_back(file.path().string());
    }
    if (!hasBinary)
      args.insert(args.end(), ttl.begin(), ttl.end());
  }
  const size_t schemaFiles = args.size() - 1;
  ASSERT_GT(schemaFiles, 20u);
  for (const char* name : {"manifest.ttl", "ostratape-delay.ttl", "presets.ttl"})
  {
    ASSERT_TRUE(fs::exists(bundleDir() + "/" + name)) << name;
    args.push_back(bundleDir() + "/" + name);
  }
  const ToolResult run = runTool(args, {}, 60s);
  ASSERT_FALSE(run.timedOut);
  // The exit status says little; the summary line says it all.
  const std::regex summary(R"(Found (\d+) errors among (\d+) files)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(run.output, m, summary)) << run.output;
  EXPECT_EQ(m[1].str(), "0") << run.output;
  EXPECT_EQ(std::stoul(m[2].str()), schemaFiles + 3);
}

TEST(Lv2Tools, LilvToolsListThePluginsPortsAndPresets)
{
  const ToolResult list = runTool({"lv2ls"}, lv2Env(), 30s);
  EXPECT_EQ(list.exitCode, 0);
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
    EXPECT_NE(list.output.find(std::string(uri) + "\n"), std::string::npos) << uri;

  const ToolResult info = runTool({"lv2info", kMonoStereoUri}, lv2Env(), 30s);
  EXPECT_EQ(info.exitCode, 0);
  for (const char* text : {"Name:              OstraTape-delay Mono to Stereo", "Author:            Corvana",
                           "Ping and pong", "Warm and wide delay", "Symbol:      duck_release",
                           "http://lv2plug.in/ns/ext/port-props#logarithmic", "Symbol:      out_r",
                           "http://lv2plug.in/ns/lv2core#enabled", "http://lv2plug.in/ns/lv2core#freeWheeling",
                           "http://lv2plug.in/ns/ext/atom#AtomPort", "http://lv2plug.in/ns/ext/state#interface"})
    EXPECT_NE(info.output.find(text), std::string::npos) << text;
}

TEST(Lv2Tools, Lv2ApplyRendersLikeTheEffectDrivenDirectly)
{
  constexpr int kRate = 48000;
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const auto in = testSignal(kRate);
  const auto viaLv2 = renderWithLv2Apply(dir, in, kRate);
  ASSERT_EQ(viaLv2.size(), 2u);
  ASSERT_EQ(viaLv2[0].size(), in[0].size());
  // lv2apply runs one frame per cycle; the effect's block processing gives the same sound
  // whatever the block size, so any block size compares.
  const auto direct = renderDirect(in, kRate, 512);
  EXPECT_LT(maxDifference(viaLv2, direct, in[0].size()), 1e-6);
  // And the effect was really at work: at 60 % mix the dry part is 0.8 of the input, and
  // what is left is echo, also after the input went quiet.
  std::vector<float> wet(in[0].size());
  for (size_t i = 0; i < wet.size(); ++i)
    wet[i] = viaLv2[0][i] - 0.8f * in[0][i];
  EXPECT_GT(peakLevel(wet, 0, kRate / 4), 0.05f);
  EXPECT_GT(peakLevel(wet, kRate / 4 + kRate / 10, kRate / 2), 0.02f);
}

TEST(Lv2Tools, Lv2ApplyRendersLikeTheCommandLineTool)
{
  const std::string ostratape = std::string(OSTRA_BUILD_DIR) + "/cli/ostratape";
  if (!fs::exists(ostratape))
    GTEST_SKIP() << "ostratape is not built in this build folder";
  constexpr int kRate = 44100;
  TempDir dir;
  const auto in = testSignal(kRate);
  const auto viaLv2 = renderWithLv2Apply(dir, in, kRate);

  std::vector<std::string> args = {ostratape, "render", dir.path() + "/in.wav", dir.path() + "/cli.wav", "--tail", "0"};
  OstraTapeDelay names;
  for (const auto& s : kSettings)
  {
    const plug::IParam* p = names.GetParam(s.param);
    const std::string value = p->Type() == plug::IParam::kTypeBool ? (s.value >= 0.5 ? "on" : "off")
                                                                   : std::to_string(s.value);
    args.insert(args.end(), {"--set", std::string(p->GetName()) + "=" + value});
  }
  const ToolResult run = runTool(args, {{"CORVANA_UPDATES_FOLDER", dir.path()}}, 60s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::vector<std::vector<float>> viaCli;
  int rate = 0;
  ASSERT_TRUE(readFloatWav(dir.path() + "/cli.wav", viaCli, rate));
  EXPECT_EQ(rate, kRate);
  ASSERT_EQ(viaCli.size(), 2u);
  ASSERT_GE(viaCli[0].size(), in[0].size());
  EXPECT_LT(maxDifference(viaLv2, viaCli, in[0].size()), 1e-6);
}

TEST(Lv2Tools, CmakeInstallPutsTheWholeBundleInPlace)
{
  TempDir dir;
  const ToolResult run = runTool({"cmake", "--install", OSTRA_BUILD_DIR, "--component", "lv2", "--prefix", dir.path()},
                                 {}, 120s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string installed = dir.path() + "/lib/lv2/ostratape-delay.lv2";
  for (const char* name : {"manifest.ttl", "ostratape-delay.ttl", "presets.ttl", "ostratape-delay.so"})
    EXPECT_TRUE(fs::exists(installed + "/" + name)) << name;
  // Hosts find it there.
  const ToolResult list = runTool({"lv2ls"}, {{"LV2_PATH", dir.path() + "/lib/lv2"}}, 30s);
  EXPECT_NE(list.output.find(std::string(kMonoUri) + "\n"), std::string::npos) << list.output;
}

TEST(Lv2Tools, OnlyTheDescriptorIsExported)
{
  const ToolResult run = runTool({"nm", "-D", "--defined-only", bundleDir() + "/ostratape-delay.so"}, {}, 30s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::vector<std::string> symbols;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty())
      symbols.push_back(line.substr(line.rfind(' ') + 1));
  EXPECT_EQ(symbols, std::vector<std::string>{"lv2_descriptor"});
}
