// The output choices of Generator beyond its own 16-bit 44,100 Hz stream:
// the interface (the wave interface, or WASAPI shared or exclusive), the
// sample rate and the sample width (with the precise synth's double
// precision and TPDF dither for the high-precision widths). A wave device
// is chosen by its name and position, a WASAPI endpoint by its id
// (output_setting.h). Portable: genrender takes the same rates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generator/audio/wave_format.h"

// The interfaces, by their numbers in the registry's OutputInterface.
enum OutputInterface : int32_t {
  kInterfaceWave = 0,       // waveOut through the system's mixer (the default)
  kInterfaceShared = 1,     // WASAPI shared: the mixer's rate and float samples, no effects
  kInterfaceExclusive = 2,  // WASAPI exclusive: the device itself, nothing converted
};
constexpr int kOutputInterfaceCount = 3;
bool IsOfferedInterface(int32_t number);

// The menu's text of an interface, into `out`: "Windows wave (waveOut)",
// "WASAPI shared (48 kHz)" with the rate Windows mixes at (none when it is
// not known, 0), "WASAPI exclusive (bit-exact)".
void OutputInterfaceText(OutputInterface interface_kind, int32_t mix_rate, char* out, size_t size);

// The rates offered, in menu order; the first is the default.
constexpr int32_t kOutputRates[] = {44100, 48000, 88200, 96000, 192000};
constexpr int kOutputRateCount = sizeof kOutputRates / sizeof kOutputRates[0];
constexpr int32_t kDefaultOutputRate = kOutputRates[0];

enum OutputWidth : int32_t {
  kWidth16 = 0,         // the engine's own 16-bit output, bit for bit (the default)
  kWidth16Precise = 1,  // the precise synth, dithered to 16 bits
  kWidth24Precise = 2,  // the precise synth, dithered to 24 bits
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

// A WASAPI endpoint's id as text (the system's ids are some 55 characters).
constexpr int kEndpointIdBytes = 256;

// What the Output menu chose: the interface; the wave device by its name
// (indices change when devices come and go) and its position in the list
// then, which tells apart devices of the same name; the WASAPI endpoint by
// its id; the rate and the width.
struct OutputChoice {
  char device[kDeviceNameBytes];  // "" or a name no device has: the wave mapper
  int32_t rate;
  OutputWidth width;
  int32_t device_position;  // from 1, the mapper first; 0 not known (kept by an older program)
  OutputInterface interface_kind;
  char endpoint[kEndpointIdBytes];       // "" or an id no endpoint has: the default endpoint
  char endpoint_name[kEndpointIdBytes];  // its name then, for a message when it is gone
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

// The bits of a width's samples as the device plays them: 16 or 24.
inline int OutputSampleBits(OutputWidth width) { return width == kWidth24Precise ? 24 : 16; }

// The stream format of a choice, stereo: for the wave interface 16- or
// packed 24-bit PCM; for WASAPI exclusive 16-bit or 24 bits in a 32-bit
// container (packed 24 where the device takes only that, which its open
// finds); for WASAPI shared the mixer's float at its rate (`mix_rate`).
WaveFormatSpec OutputWaveFormat(int32_t rate, OutputWidth width,
                                OutputInterface interface_kind = kInterfaceWave,
                                int32_t mix_rate = 0);
