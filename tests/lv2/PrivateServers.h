#pragma once

#include "ToolRunner.h"

#include <memory>
#include <string>

namespace ostra::lv2test
{

/**
 * A JACK server of this test program's own name on the dummy driver: no sound card, no realtime
 * scheduling, and a server someone else runs is never touched. Ready once it lists its system
 * ports; ended with the object.
 */
class JackDummyServer
{
public:
  JackDummyServer();
  bool ok() const { return mError.empty(); }
  const std::string& error() const { return mError; }
  /** What a client of this server needs in its environment. */
  const Env& env() const { return mEnv; }

private:
  Env mEnv;
  std::unique_ptr<BackgroundTool> mJackd;
  std::string mError;
};

/** An X server of our own (Xvfb) on a free display number, ended with the object. */
class PrivateDisplay
{
public:
  /** `screen` as Xvfb takes it: WIDTHxHEIGHTxDEPTH. */
  explicit PrivateDisplay(const std::string& screen);
  bool ok() const { return !mName.empty(); }
  const std::string& error() const { return mError; }
  /** ":N", for $DISPLAY. */
  const std::string& name() const { return mName; }

private:
  std::unique_ptr<BackgroundTool> mXvfb;
  std::string mName;
  std::string mError;
};

} // namespace ostra::lv2test
