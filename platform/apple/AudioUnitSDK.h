// The one header through which the Audio Unit binding reaches Apple's interfaces: Apple's SDK when
// building for macOS (OSTRA_APPLE_SDK), our own declarations of the same names otherwise.
#pragma once

#if defined(OSTRA_APPLE_SDK) && OSTRA_APPLE_SDK
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#else
#include "platform/apple/AUComponent.h"
#include "platform/apple/AudioUnitProperties.h"
#include "platform/apple/AudioUnitUtilities.h"
#include "platform/apple/CFRunLoop.h"
#include "platform/apple/Components.h"
#include "platform/apple/CoreAudioTypes.h"
#include "platform/apple/CoreFoundation.h"
#include "platform/apple/MacTypes.h"
#include "platform/apple/MusicDevice.h"
#endif
