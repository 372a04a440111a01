// The output choices in the registry, beside the latency:
// HKEY_CURRENT_USER\Quenby_Audio\Generator "OutputDevice" (REG_SZ, the
// device's name), "SampleRate" and "SampleWidth" (REG_DWORD, the rate in Hz
// and the OutputWidth number).
#pragma once

#include "generator/audio/output_choice.h"

constexpr char kOutputDeviceValueName[] = "OutputDevice";
constexpr char kSampleRateValueName[] = "SampleRate";
constexpr char kSampleWidthValueName[] = "SampleWidth";

// The kept choices; each value that is missing, of another type or outside
// the menu gives its default (the wave mapper, 44,100 Hz, 16-bit).
// `stored` tells whether any of the three values is in the registry.
OutputChoice ReadOutputSetting(bool* stored);

// Stores the choices, creating the key when it does not exist. 1 on success.
int WriteOutputSetting(const OutputChoice& choice);
