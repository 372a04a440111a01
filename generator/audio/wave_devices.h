// The system's wave devices: one list of the capture and playback devices,
// the wave mapper first in each direction, shared by everyone who takes a
// reference, and the names and positions the Output menu keeps them by.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "generator/audio/output_choice.h"

constexpr int kDirectionCapture = 1;
constexpr int kDirectionPlayback = 2;
constexpr int kDriverTypeWave = 1;             // the Windows multimedia wave interface
constexpr int kDriverTypeWasapiShared = 2;     // a WASAPI endpoint in shared mode
constexpr int kDriverTypeWasapiExclusive = 3;  // a WASAPI endpoint in exclusive mode

// One device as found by EnumerateWaveDevices. Fixed 1568-byte record.
struct WaveDeviceEntry {
  int32_t direction;    // kDirectionCapture or kDirectionPlayback
  int32_t driver_type;  // kDriverTypeWave (the list's), or a WASAPI type (an endpoint's entry)
  int32_t device_id;    // wave device number; -1 (WAVE_MAPPER) for the mapper
  uint32_t formats;     // dwFormats of the device capabilities
  uint8_t reserved_16[16];
  char name[1536];  // "WIN : " and the product name
};
static_assert(sizeof(WaveDeviceEntry) == 1568, "device entry record");
static_assert(offsetof(WaveDeviceEntry, device_id) == 8, "device id");
static_assert(offsetof(WaveDeviceEntry, formats) == 12, "formats");
static_assert(offsetof(WaveDeviceEntry, name) == 32, "name");

// Builds the shared device list on first use (capture mapper, capture
// devices, playback mapper, playback devices; unreadable ones skipped) and
// takes a reference. Returns 1, or 0 when its storage cannot be made.
int EnumerateWaveDevices(HINSTANCE instance);

// Drops one reference; the list is freed when none is left.
void ReleaseWaveDevices();

// The n-th entry (from 1) of a direction, or null.
const WaveDeviceEntry* FindWaveDevice(int n, int direction);

// A device's name as the system gives it: the product name without the
// list's "WIN : ", and for the mapper the name its capabilities report;
// `size` is kDeviceNameBytes or more.
void SystemDeviceName(const WaveDeviceEntry* entry, char* out, size_t size);

// The position (from 1) among the entries of a direction of the kept device
// (FindKeptDevice over their system names), or 0 when none has its name.
int FindKeptWaveDevice(const OutputChoice& kept, int direction);
