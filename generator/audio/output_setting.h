// The output choices in the registry, beside the latency:
// HKEY_CURRENT_USER\Quenby_Audio\Generator "OutputDevice" (REG_SZ, the
// device's name), "SampleRate" and "SampleWidth" (REG_DWORD, the rate in Hz
// and the OutputWidth number), "OutputDevicePosition" (REG_DWORD, the
// device's position in the list, from 1), "OutputInterface" (REG_DWORD, 0
// wave, 1 WASAPI shared, 2 WASAPI exclusive), "OutputEndpoint" (REG_SZ,
// the WASAPI endpoint's id in UTF-8, "" for the default) and
// "OutputEndpointName" (REG_SZ, its name then). Each is a value
// of its own: a program that knows only the first three reads and writes
// them as before (and plays the wave interface), and a setting without the
// newer ones finds the device by its name alone.
#pragma once

#include "generator/audio/output_choice.h"

constexpr char kOutputDeviceValueName[] = "OutputDevice";
constexpr char kSampleRateValueName[] = "SampleRate";
constexpr char kSampleWidthValueName[] = "SampleWidth";
constexpr char kOutputDevicePositionValueName[] = "OutputDevicePosition";
constexpr char kOutputInterfaceValueName[] = "OutputInterface";
constexpr char kOutputEndpointValueName[] = "OutputEndpoint";
constexpr char kOutputEndpointNameValueName[] = "OutputEndpointName";

// The kept choices; each value that is missing, of another type or outside
// the menu gives its default (the wave mapper, 44,100 Hz, 16-bit, position
// 0, the wave interface, the default endpoint). `stored` tells whether any
// of the device, rate, width or interface values is in the registry.
OutputChoice ReadOutputSetting(bool* stored);

// Stores the choices, creating the key when it does not exist. 1 on success.
int WriteOutputSetting(const OutputChoice& choice);
