// The bundle checked by tools nobody here wrote: the LV2 validator, lilv's command-line tools,
// the command-line renderer and cmake's installer.
#include "LilvHost.h"
#include "ToolRunner.h"
#include "support/Sanitizers.h"

#include "plugin/OstraTapeDelay.h"
#include "plugin/Parameters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

using namespace ostra::lv2test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace
{

const Env kLv2Env = {{"LV2_PATH", bundleParent()}};

// The settings both renders use, as LV2 port symbols and as the effect's parameters.
struct Setting
{
  const char* symbol;
  int param;
  double value;
};
namespace p = ostratapedelay::plugin;
const Setting kSettings[] = {{"sync", p::kSync, 0.0},
                             {"link", p::kLink, 0.0},
                             {"time_l", p::kTimeL, 180.0},
                             {"time_r", p::kTimeR, 240.0},
                             {"feedback", p::kFeedback, 45.0},
                             {"ping_pong", p::kPingPong, 1.0},
                             {"drive", p::kDrive, 6.0},
                             {"width", p::kWidth, 30.0},
                             {"mix", p::kMix, 60.0}};

Audio readWav(const std::string& path, int expectedRate)
{
  Audio out;
  int rate = 0;
  EXPECT_TRUE(readFloatWav(path, out, rate)) << path;
  EXPECT_EQ(rate, expectedRate);
  return out;
}

} // namespace

TEST(Lv2Tools, SordValidateFindsNoErrorsAgainstTheLv2Schemas)
{
  // The LV2 vocabularies' own bundles (those without a binary): installed plug-ins are not ours to
  // judge.
  std::vector<std::string> args = {"sord_validate"};
  for (const auto& schema : fs::directory_iterator("/usr/lib/lv2"))
  {
    std::vector<std::string> ttl;
    bool hasBinary = false;
    for (const auto& file : fs::directory_iterator(schema.path()))
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
  // Every Turtle file of ours, the UI's declaration included.
  size_t ours = 0;
  for (const auto& file : fs::directory_iterator(bundleDir()))
  {
    if (file.path().extension() == ".ttl")
    {
      args.push_back(file.path().string());
      ++ours;
    }
  }
  EXPECT_GE(ours, 3u);
  const ToolResult run = runTool(args, {}, 60s);
  // The exit status says little; the summary line says it all.
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(run.output, m, std::regex(R"(Found (\d+) errors among (\d+) files)")))
      << run.output;
  EXPECT_EQ(m[1].str(), "0") << run.output;
  EXPECT_EQ(std::stoul(m[2].str()), schemaFiles + ours);
}

TEST(Lv2Tools, Lv2InfoShowsTheNamesPortPropertiesAndPresets)
{
  const ToolResult info = runTool({"lv2info", kMonoStereoUri}, kLv2Env, 30s);
  EXPECT_EQ(info.exitCode, 0);
  for (const char* text :
       {"Name:              OstraTape-delay Mono to Stereo", "Author:            Corvana",
        "Ping and pong", "Warm and wide delay", "Symbol:      duck_release",
        "http://lv2plug.in/ns/ext/port-props#logarithmic", "Symbol:      out_r",
        "http://lv2plug.in/ns/lv2core#enabled", "http://lv2plug.in/ns/lv2core#freeWheeling",
        "http://lv2plug.in/ns/ext/atom#AtomPort", "http://lv2plug.in/ns/ext/state#interface"})
    EXPECT_NE(info.output.find(text), std::string::npos) << text;
}

TEST(Lv2Tools, Lv2InfoListsTheEditorForEveryPlugin)
{
  const std::string ui = "\tUIs:\n"
                         "\t\turn:corvana:ostratape-delay#ui\n"
                         "\t\t\tClass:  http://lv2plug.in/ns/extensions/ui#X11UI\n"
                         "\t\t\tBinary: file://" +
                         bundleDir() + "/ostratape-delay_ui.so\n";
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
  {
    const ToolResult info = runTool({"lv2info", uri}, kLv2Env, 30s);
    EXPECT_EQ(info.exitCode, 0) << uri;
    EXPECT_NE(info.output.find(ui), std::string::npos) << uri << "\n" << info.output;
  }
  EXPECT_TRUE(fs::exists(bundleDir() + "/ostratape-delay_ui.so"));
}

TEST(Lv2Tools, Lv2ApplyRendersLikeTheCommandLineTool)
{
  if (OSTRA_SANITIZED)
    GTEST_SKIP() << "the sanitized plug-in cannot load into lv2apply, which is not instrumented";
  constexpr int kRate = 44100;
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  // Something for every stage: a noise burst, silence for the echoes, a click on each side.
  Audio in = noise(2, kRate * 3 / 2, 0.3f, 7);
  for (auto& ch : in)
    std::fill(ch.begin() + kRate / 4, ch.end(), 0.0f);
  in[0][kRate] = 0.8f;
  in[1][kRate + 10] = -0.6f;
  ASSERT_TRUE(writeFloatWav(dir.path + "/in.wav", in, kRate));

  std::vector<std::string> lv2apply = {"lv2apply", "-i", dir.path + "/in.wav", "-o",
                                       dir.path + "/lv2.wav"};
  std::vector<std::string> cli = {std::string(OSTRA_BUILD_DIR) + "/cli/ostratape",
                                  "render",
                                  dir.path + "/in.wav",
                                  dir.path + "/cli.wav",
                                  "--tail",
                                  "0"};
  OstraTapeDelay names;
  for (const auto& s : kSettings)
  {
    const plug::IParam* param = names.GetParam(s.param);
    lv2apply.insert(lv2apply.end(), {"-c", s.symbol, std::to_string(s.value)});
    const bool onOff = param->Type() == plug::IParam::kTypeBool;
    cli.insert(cli.end(),
               {"--set", std::string(param->GetName()) + "=" +
                             (onOff ? (s.value >= 0.5 ? "on" : "off") : std::to_string(s.value))});
  }
  lv2apply.push_back(kStereoUri);
  const ToolResult lv2Run = runTool(lv2apply, kLv2Env, 60s);
  ASSERT_EQ(lv2Run.exitCode, 0) << lv2Run.output;
  const ToolResult cliRun = runTool(cli, {{"CORVANA_UPDATES_FOLDER", dir.path}}, 60s);
  ASSERT_EQ(cliRun.exitCode, 0) << cliRun.output;

  const Audio viaLv2 = readWav(dir.path + "/lv2.wav", kRate),
              viaCli = readWav(dir.path + "/cli.wav", kRate);
  ASSERT_EQ(viaLv2.size(), 2u);
  ASSERT_EQ(viaCli.size(), 2u);
  ASSERT_EQ(viaLv2[0].size(), in[0].size());
  ASSERT_GE(viaCli[0].size(), in[0].size());
  float worst = 0.0f;
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < in[0].size(); ++i)
      worst = std::max(worst, std::fabs(viaLv2[c][i] - viaCli[c][i]));
  EXPECT_LT(worst, 1e-6f);
  // And the effect was at work: at 60 % mix the dry part is 0.8 of the input, the rest is echo,
  // also after the input went quiet.
  std::vector<float> wet(in[0].size());
  for (size_t i = 0; i < wet.size(); ++i)
    wet[i] = viaLv2[0][i] - 0.8f * in[0][i];
  EXPECT_GT(peakLevel(wet, 0, kRate / 4), 0.05f);
  EXPECT_GT(peakLevel(wet, kRate / 4 + kRate / 10, kRate / 2), 0.02f);
}

TEST(Lv2Tools, CmakeInstallPutsTheBundleWhereHostsFindIt)
{
  TempDir dir;
  const ToolResult run =
      runTool({"cmake", "--install", OSTRA_BUILD_DIR, "--component", "lv2", "--prefix", dir.path},
              {}, 120s);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  for (const char* name :
       {"manifest.ttl", "ostratape-delay.ttl", "presets.ttl", "ostratape-delay.so"})
    EXPECT_TRUE(fs::exists(dir.path + "/lib/lv2/ostratape-delay.lv2/" + name)) << name;
  const ToolResult list = runTool({"lv2ls"}, {{"LV2_PATH", dir.path + "/lib/lv2"}}, 30s);
  for (const char* uri : {kStereoUri, kMonoUri, kMonoStereoUri})
    EXPECT_NE(list.output.find(std::string(uri) + "\n"), std::string::npos) << list.output;
}

std::vector<std::string> toolLines(const std::vector<std::string>& args, bool lastWord)
{
  const ToolResult run = runTool(args, {}, 30s);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::vector<std::string> lines;
  std::istringstream text(run.output);
  for (std::string line; std::getline(text, line);)
    if (!line.empty())
      lines.push_back(lastWord ? line.substr(line.rfind(' ') + 1) : line);
  return lines;
}

TEST(Lv2Tools, EachBinaryExportsOnlyItsDescriptorAndOnlyTheEditorNeedsX11AndOpenGL)
{
  const std::string plugin = bundleDir() + "/ostratape-delay.so";
  const std::string ui = bundleDir() + "/ostratape-delay_ui.so";
  EXPECT_EQ(toolLines({"nm", "-D", "--defined-only", plugin}, true),
            std::vector<std::string>{"lv2_descriptor"});
  EXPECT_EQ(toolLines({"nm", "-D", "--defined-only", ui}, true),
            std::vector<std::string>{"lv2ui_descriptor"});

  // A host that never shows the editor never loads the display libraries.
  auto needs = [](const std::vector<std::string>& lines, const std::string& library)
  {
    for (const auto& line : lines)
      if (line.find("NEEDED") != std::string::npos && line.find(library) != std::string::npos)
        return true;
    return false;
  };
  const auto pluginNeeds = toolLines({"readelf", "-d", plugin}, false);
  const auto uiNeeds = toolLines({"readelf", "-d", ui}, false);
  for (const char* library : {"libX11", "libGL"})
  {
    EXPECT_FALSE(needs(pluginNeeds, library)) << library;
    EXPECT_TRUE(needs(uiNeeds, library)) << library;
  }
}
