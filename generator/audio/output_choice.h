// The output choices of Generator beyond its own 16-bit 44,100 Hz stream:
// the sample rate and the sample width (with the precise synth's double
// precision and TPDF dither for the high-precision widths). The device is
// chosen by its name and position (output_setting.h). Portable: genrender
// takes the same rates.
#pragma once

#include <cstdint>

#include "generator/audio/wave_format.h"

// The rates offered, in menu order; the first is the default.
constexpr int32_t kOutputRates[] = {44100, 48000, 88200, 96000, 192000};
constexpr int kOutputRateCount = sizeof kOutputRates / sizeof kOutputRates[0];
constexpr int32_t kDefaultOutputRate = kOutputRates[0];

enum OutputWidth : int32_t {
  kWidth16 = 0,          // the engine's own 16-bit output, bit for bit (the default)
  kWidth16Precise = 1,   // the precise synth, dithered to 16 bits
  kWidth24Precise = 2,   // the precise synth, dithered to 24 bits
};
constexpr int kOutputWidthCount = 3;

// The menu's texts: "48 kHz", "16-bit high precision", ...
const char* OutputRateText(int32_t rate);  // "" for a rate not offered
const char* OutputWidthText(OutputWidth width);

bool IsOfferedRate(int32_t rate);
bool IsOfferedWidth(int32_t width);

// A device's name as the system gives it (a product name has at most 31
// characters).
constexpr int kDeviceNameBytes = 32;

// What the Output menu chose: the device by its name (indices change when
// devices come and go) and its position in the list then, which tells apart
// devices of the same name; the rate and the width.
struct OutputChoice {
  char device[kDeviceNameBytes];  // "" or a name no device has: the wave mapper
  int32_t rate;
  OutputWidth width;
  int32_t device_position;  // from 1, the mapper first; 0 not known (kept by an older program)
};

// Writes the name of the device at `position` (from 1) into `out`
// (kDeviceNameBytes); false when there is no such device.
typedef bool (*DeviceNameAt)(void* context, int position, char* out);

// The kept device among the devices that `name_at` names: the one at the
// kept position when it has the kept name, else the first that has it; 0
// when none has it or the kept name is empty.
int FindKeptDevice(const OutputChoice& kept, DeviceNameAt name_at, void* context);

// Whether the width renders with the precise synth.
inline bool IsPreciseWidth(OutputWidth width) { return width != kWidth16; }

// The stream format of a choice: stereo PCM, 16- or 24-bit.
inline WaveFormatSpec OutputWaveFormat(int32_t rate, OutputWidth width) {
  return {rate, 2, width == kWidth24Precise ? kFormatPcm24 : kFormatPcm16};
}
