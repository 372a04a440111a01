// The WASAPI playback stream: the stream operations (wave_stream.h) over a
// render endpoint's audio client, in shared or exclusive mode as the
// device entry's driver type says, and the render endpoints themselves.
//
// Shared mode plays the mixer's float samples at the rate Windows mixes at,
// with the system's effects off where Windows offers it (raw mode).
// Exclusive mode hands the device the stream's own samples, nothing
// converted: 16-bit PCM, or 24 bits in a 32-bit container (packed 24 bits
// where the device takes only that). Its period follows the block the
// latency gives, brought inside what the device allows.
//
// COM is initialised on the thread that calls the operations, which must
// stay the one that opens and closes the stream.
#pragma once

#include <windows.h>

#include <cstdint>

#include "generator/audio/wave_stream.h"

// The operations of a WASAPI playback stream.
const WaveStreamOps& WasapiPlaybackOps();

// A render endpoint as the Output menu lists it.
struct WasapiEndpoint {
  wchar_t id[kEndpointIdBytes];
  char name[256];  // its friendly name, whole, in the system's code page
};

// The active render endpoints, the default one first, read now, into `out`
// (up to `capacity`): how many. COM is initialised for the call.
int ListRenderEndpoints(WasapiEndpoint* out, int capacity);

// The rate Windows mixes the endpoint (`id`, "" for the default) at in
// shared mode, or 0 when it can't be read.
int32_t WasapiMixRate(const wchar_t* id);

// An endpoint's entry for the stream (SelectStreamDevice): `driver_type`
// kDriverTypeWasapiShared or kDriverTypeWasapiExclusive, its position in
// the list as its id, its name after "WASAPI : ".
WaveDeviceEntry WasapiDeviceEntry(int driver_type, int position, const char* name);

// The endpoint's text id and back, for the registry (UTF-8).
void EndpointIdToText(const wchar_t* id, char* out, size_t size);
void EndpointIdFromText(const char* text, wchar_t* out, size_t count);
