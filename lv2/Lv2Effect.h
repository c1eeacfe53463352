#pragma once

#include "plugin/OstraTapeDelay.h"

namespace ostratapedelay::lv2
{

/**
 * The plug-in as an LV2 host sees it. An LV2 host owns the values of its control ports and
 * has no channel for value-change or gesture events from the plug-in, so the notifications
 * the Audio Unit binding would post are dropped here.
 */
class Lv2Effect final : public OstraTapeDelay
{
public:
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override {}
  void EndInformHostOfParamChange(int) override {}
};

} // namespace ostratapedelay::lv2
