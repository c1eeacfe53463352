#pragma once

#include "framework/Config.h"
#include "framework/EParamSource.h"
#include "framework/IByteChunk.h"
#include "framework/IParam.h"

#include <memory>
#include <vector>

namespace plug
{

/**
 * Host-independent base of a plug-in: its configuration, its parameters and the default
 * state form (a bare list of parameter values as doubles).
 *
 * Threads: construction and the parameter initialisers on the main thread. GetParam and
 * parameter value access from any thread. State operations run on the thread the host
 * uses for state (one at a time); they store values atomically, so the audio thread sees
 * each value either old or new.
 */
class IEffectBase
{
public:
  /** Creates config.nParams default parameters for the plug-in to initialise. */
  explicit IEffectBase(const Config& config);
  virtual ~IEffectBase();
  IEffectBase(const IEffectBase&) = delete;
  IEffectBase& operator=(const IEffectBase&) = delete;

  const Config& GetConfig() const noexcept { return mConfig; }

  int NParams() const noexcept { return static_cast<int>(mParams.size()); }
  /** Null when idx is out of range. Real-time safe. */
  IParam* GetParam(int idx) noexcept;
  const IParam* GetParam(int idx) const noexcept;

  /** Appends every parameter's real value as a double, in index order. False as soon as
   *  an append fails (the chunk did not grow). */
  bool SerializeParams(IByteChunk& chunk) const;

  /** Reads parameter values written by SerializeParams from startPos, constrained, then
   *  calls OnParamReset(kPresetRecall) whatever happened. Returns the position after the
   *  last value, startPos when there is nothing to read, or -1 when the chunk ends early
   *  (the values read before that keep their new values). */
  int UnserializeParams(const IByteChunk& chunk, int startPos);

  /** The plug-in's whole state. Defaults to the bare parameter list. */
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  /** Counterpart of SerializeState; a negative result means failure. */
  virtual int UnserializeState(const IByteChunk& chunk, int startPos)
  {
    return UnserializeParams(chunk, startPos);
  }

  /** For every parameter in index order: OnParamChange(i, source, -1), OnParamChangeUI(i, source).
   */
  void OnParamReset(EParamSource source);

  /** A parameter's value changed. sampleOffset is the position within the block, or -1.
   *  Called on the thread that made the change. */
  virtual void OnParamChange(int paramIdx, EParamSource source, int sampleOffset)
  {
    (void)paramIdx;
    (void)source;
    (void)sampleOffset;
  }

  /** A parameter's value changed and the editor side should follow. Main or host thread. */
  virtual void OnParamChangeUI(int paramIdx, EParamSource source)
  {
    (void)paramIdx;
    (void)source;
  }

private:
  Config mConfig;
  std::vector<std::unique_ptr<IParam>> mParams;
};

} // namespace plug
