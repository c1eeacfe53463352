#include "cli/DemoCommand.h"

#include "cli/AudioFile.h"
#include "cli/CliError.h"
#include "cli/DemoPhrase.h"
#include "cli/RenderCommand.h"
#include "framework/NumberText.h"
#include "plugin/Identity.h"

#include <CLI/CLI.hpp>
#include <sndfile.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

namespace ostratapedelay::cli
{

const std::vector<std::string>& demoSettings()
{
  static const std::vector<std::string> settings = {
      "Sync=on",    "Link=off", "Note L=1/8D", "Note R=1/4",    "Feedback=45", "Drive=6",
      "Wobble=160", "Width=70", "Low Cut=150", "High Cut=6000", "Mix=50",
  };
  return settings;
}

int runDemo(const std::string& dir, std::ostream& out, std::ostream& err)
{
  try
  {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
      throw CliError("cannot create '" + dir + "': " + ec.message());

    const std::string dryPath = (std::filesystem::path(dir) / "phrase.wav").string();
    const std::string wetPath = (std::filesystem::path(dir) / "phrase-ostratape.wav").string();
    const auto phrase = synthesiseDemoPhrase(kDemoSampleRate);
    writeAudioFile(dryPath, {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kDemoSampleRate}, phrase);

    RenderOptions options;
    options.input = dryPath;
    options.output = wetPath;
    options.state.sets = demoSettings();
    options.state.tempo = kDemoTempo;
    const RenderResult result = render(options, err, err);

    const double dryLength = static_cast<double>(phrase[0].size()) / kDemoSampleRate;
    const double wetLength =
        static_cast<double>(result.inputFrames + result.tailFrames) / kDemoSampleRate;
    out << "wrote " << dryPath << "  (dry phrase, stereo, 48000 Hz, "
        << plug::FormatFixed(dryLength, 2) << " s)\n";
    out << "wrote " << wetPath << "  (through " << plugin::kProductName << ", "
        << plug::FormatFixed(wetLength, 2) << " s)\n";
    out << "settings: tempo " << plug::FormatFixed(kDemoTempo, 0);
    for (const std::string& s : demoSettings())
      out << ", " << s;
    out << "\nsame render by hand:\n  ostratape render " << dryPath << " " << wetPath;
    for (const std::string& s : demoSettings())
      out << " --set \"" << s << "\"";
    out << '\n';
    return 0;
  }
  catch (const CliError& e)
  {
    err << "ostratape: " << e.what() << '\n';
    return kExitUserError;
  }
}

void addDemoCommand(CLI::App& app, int& exitCode)
{
  auto dir = std::make_shared<std::string>("demo");
  CLI::App* command =
      app.add_subcommand("demo", "Write a short synthesised phrase and its render through the "
                                 "effect into DIR (default ./demo)");
  command->add_option("DIR", *dir, "Folder to write into (created when missing)");
  command->callback([&exitCode, dir] { exitCode = runDemo(*dir, std::cout, std::cerr); });
}

} // namespace ostratapedelay::cli
