#pragma once

namespace plug
{

/** Where a parameter change comes from; passed to OnParamChange and OnParamChangeUI. */
enum EParamSource : int
{
  kReset = 0,        // initialisation by the host binding
  kHost = 1,         // host automation
  kPresetRecall = 2, // state restore or preset load
  kUI = 3,           // a control in the editor
  kDelegate = 4      // the editor delegate pushing values to controls
};

} // namespace plug
