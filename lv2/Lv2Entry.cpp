// The bundle's C entry: one descriptor per channel layout, all sharing one implementation.
#include "lv2/Lv2Instance.h"

#include <cstring>
#include <new>

using ostratapedelay::lv2::kNumVariants;
using ostratapedelay::lv2::kVariants;
using ostratapedelay::lv2::Lv2Instance;

namespace
{

Lv2Instance* self(LV2_Handle handle)
{
  return static_cast<Lv2Instance*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features)
{
  for (const auto& variant : kVariants)
  {
    if (std::strcmp(descriptor->URI, variant.uri) != 0)
      continue;
    try
    {
      return Lv2Instance::create(variant, rate, features).release();
    }
    catch (...)
    {
      return nullptr; // out of memory: the host reports a failed instantiation
    }
  }
  return nullptr;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
  self(handle)->connectPort(port, data);
}

void activate(LV2_Handle handle)
{
  self(handle)->activate();
}

void run(LV2_Handle handle, uint32_t nFrames)
{
  self(handle)->run(nFrames);
}

void deactivate(LV2_Handle handle)
{
  self(handle)->deactivate();
}

void cleanup(LV2_Handle handle)
{
  delete self(handle);
}

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store,
                           LV2_State_Handle stateHandle, uint32_t /*flags*/,
                           const LV2_Feature* const* /*features*/)
{
  try
  {
    return self(handle)->save(store, stateHandle);
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle stateHandle, uint32_t /*flags*/,
                              const LV2_Feature* const* /*features*/)
{
  try
  {
    return self(handle)->restore(retrieve, stateHandle);
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function /*respond*/,
                       LV2_Worker_Respond_Handle /*respondHandle*/, uint32_t /*size*/,
                       const void* /*data*/)
{
  return self(handle)->work();
}

LV2_Worker_Status workResponse(LV2_Handle, uint32_t, const void*)
{
  return LV2_WORKER_SUCCESS;
}

uint32_t getOptions(LV2_Handle, LV2_Options_Option*)
{
  return LV2_OPTIONS_ERR_UNKNOWN;
}

uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options)
{
  try
  {
    return self(handle)->setOptions(options);
  }
  catch (...)
  {
    return LV2_OPTIONS_ERR_UNKNOWN;
  }
}

const LV2_State_Interface kStateInterface = {saveState, restoreState};
const LV2_Worker_Interface kWorkerInterface = {work, workResponse, nullptr};
const LV2_Options_Interface kOptionsInterface = {getOptions, setOptions};

const void* extensionData(const char* uri)
{
  if (std::strcmp(uri, LV2_STATE__interface) == 0)
    return &kStateInterface;
  if (std::strcmp(uri, LV2_WORKER__interface) == 0)
    return &kWorkerInterface;
  if (std::strcmp(uri, LV2_OPTIONS__interface) == 0)
    return &kOptionsInterface;
  if (std::strcmp(uri, ostratapedelay::lv2::kEditorAccessUri) == 0)
    return &Lv2Instance::editorAccess();
  return nullptr;
}

constexpr LV2_Descriptor describe(const char* uri)
{
  return {uri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData};
}

const LV2_Descriptor kDescriptors[] = {
    describe(kVariants[0].uri),
    describe(kVariants[1].uri),
    describe(kVariants[2].uri),
};
static_assert(sizeof(kDescriptors) / sizeof(kDescriptors[0]) == kNumVariants);

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index < static_cast<uint32_t>(kNumVariants) ? &kDescriptors[index] : nullptr;
}
