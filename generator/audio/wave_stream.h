// The wave stream: one opened output or input, a table of eight operations
// and the part every interface shares (format, block size, the wait and its
// cancel, the errors), with each interface's own state behind it: the
// Windows multimedia wave interface's ring of eight driver buffers (waveOut
// for playback, waveIn for capture) and the WASAPI stream's endpoint
// buffer (wasapi_stream.h, playback only). The device entry's driver type
// chooses the table. The program opens one playback stream, on the output
// the Output menu chose (the wave mapper until one is chosen).
#pragma once

#include <windows.h>
// After windows.h, whose types they use.
#include <mmreg.h>
#include <mmsystem.h>

#include <cstdint>

#include "generator/audio/output_choice.h"
#include "generator/audio/wave_devices.h"
#include "generator/audio/wave_format.h"

constexpr int kStreamBufferCount = 8;
constexpr char kDriverLostText[] = "Driver Communication lost...";

// Fills a WAVEFORMATEX for a format (zeroed first, cbSize 0). Returns 1, or 0
// for the codes that are not built (then only the zeroes are written). Open
// and query offer a 24-bit format as WAVE_FORMAT_EXTENSIBLE first and as
// this plain PCM when the device refuses that.
int MakeWaveFormat(const WaveFormatSpec& format, WAVEFORMATEX* out);

// The same as WAVE_FORMAT_EXTENSIBLE, for 16-bit, 24-bit (packed, or in a
// 32-bit container with 24 valid bits) and 32-bit float samples, front left
// and right for stereo. 1, or 0 for any other code.
int MakeExtensibleFormat(const WaveFormatSpec& format, WAVEFORMATEXTENSIBLE* out);

// One ring slot: header and data are locked global memory blocks.
struct WaveBuffer {
  HGLOBAL header_memory;
  WAVEHDR* header;  // in a 64-byte block
  uint8_t* data;
  HGLOBAL data_memory;
  int32_t prepared;
  volatile LONG done;  // capture: filled by the device, not yet read
};

struct WaveStream;

// The operations of a stream, in table order. All return 0 on success unless
// stated; failures leave the device's error text in the stream.
struct WaveStreamOps {
  int (*query_format)(WaveStream* stream, const WaveFormatSpec* format);  // 1 supported / 0
  int (*open)(WaveStream* stream);       // 0 or the device's error code
  int (*close)(WaveStream* stream);      // 0 or the device's error code
  int (*prepare)(WaveStream* stream);    // 0 / -1; leaves playback paused
  int (*unprepare)(WaveStream* stream);  // 0
  int (*stop)(WaveStream* stream);       // 0
  int (*start)(WaveStream* stream);      // 0 / -1
  // Playback writes `block` (or a buffer of silence when null); capture reads
  // into it. Waits for a completion first while more than `threshold`
  // buffers are queued. 0 / -1.
  int (*transfer)(WaveStream* stream, void* block, int threshold);
};

// The wave interface's part of a stream: its ring of driver buffers.
struct WaveRing {
  HANDLE device_handle;     // HWAVEOUT or HWAVEIN while open
  WaveBuffer* buffers;      // the ring's slots, or null
  int32_t buffer_count;     // kStreamBufferCount while the slots exist
  volatile LONG in_flight;  // buffers the device holds; shared with its callback thread
  int32_t write_index;      // the next slot to hand the device
  int32_t read_index;       // capture: the oldest slot the device may have filled
  int32_t capture_no_copy;  // capture: a read hands back nothing (the Part's option)
};

// The WASAPI stream's part (wasapi_stream.cpp): the endpoint it opens and
// the interfaces it holds while open. Playback only.
struct WasapiPart {
  wchar_t endpoint_id[kEndpointIdBytes];  // "" opens the default render endpoint
  void* client;                           // IAudioClient, while open
  void* render;                           // IAudioRenderClient, while open
  HANDLE buffer_event;      // set by the audio engine when a period is free (event-driven)
  uint32_t buffer_frames;   // the endpoint buffer the open was granted
  uint32_t period_frames;   // the device period the open was granted
  int32_t event_driven;     // 1: waits for buffer_event; 0: polls the padding
  int32_t raw;              // the system's effects are off (AUDCLNT_STREAMOPTIONS_RAW)
  int32_t com_initialised;  // the open initialised COM on its thread; the close ends it
};

struct WaveStream {
  int32_t direction;
  WaveStreamOps ops;        // chosen by the device entry's driver type
  int32_t device_index;     // 1-based among the entries of this direction; 0 none
  WaveDeviceEntry device;   // its copy
  WaveFormatSpec format;    // what the stream plays (its open may change a 24-bit container)
  int32_t started;          // playing (or capturing) since the last start
  int32_t connection_lost;  // a transfer found the device gone (with report_lost)
  int32_t opened;
  int32_t prepared;
  int32_t buffer_bytes;          // one block, what a transfer moves
  int32_t buffer_frames;         //
  int32_t frame_alignment;       // blocks are whole groups of this many frames
  HANDLE event;                  // manual reset: completions and CancelStreamWait set it
  int32_t report_lost;           // 1: a failed transfer marks the connection lost
  char error_text[256];          // the last device error, or kDriverLostText
  volatile LONG wait_cancelled;  // set with the event to end a transfer's wait for good
  int32_t failed_writes;         // transfers the device refused, counted since the stream was made
  // Blocks written when the device had nothing left to play (after the
  // stream's first): each is an underrun of the writer, a gap the device
  // filled with silence.
  int32_t late_writes;
  WaveRing wave;      // the wave interface's
  WasapiPart wasapi;  // the WASAPI stream's
};

// Zero-fills the stream, sets the defaults (44,100 Hz stereo 16-bit, eight
// buffers of the default latency, DefaultStreamBuffer), creates the event and selects
// device 1 of the direction. 1, or 0 (error text set).
int InitWaveStream(WaveStream* stream, int direction);

// Selects the n-th wave device of the stream's direction and installs its
// operations. 1 (also when already selected), or 0 when there is none.
int SelectWaveDevice(WaveStream* stream, int n);

// Selects `entry` (a wave device, or a WASAPI endpoint as its driver type
// gives it, opened by `endpoint_id`, "" for the default) at position
// `index`, and installs the operations of its driver type. 1, or 0 for a
// type that has none (nothing is changed).
int SelectStreamDevice(WaveStream* stream, const WaveDeviceEntry& entry, int index,
                       const wchar_t* endpoint_id);

// Copies the format in and sizes the buffers for a latency in seconds.
// 1, or 0 when the format code cannot be played (error text set).
int SetStreamLatency(WaveStream* stream, const WaveFormatSpec* format, float latency_s);

// Closes the event, frees the buffers and zero-fills the stream.
void FreeWaveStream(WaveStream* stream);

const char* GetStreamError(const WaveStream* stream);
void ClearStreamError(WaveStream* stream);

// The operations by name, through the stream's table; -1 (or 0 for the
// query) when no device is selected.
int QueryStreamFormat(WaveStream* stream, const WaveFormatSpec* format);
int OpenStream(WaveStream* stream);
int CloseStream(WaveStream* stream);
int PrepareStream(WaveStream* stream);
int UnprepareStream(WaveStream* stream);
int StopStream(WaveStream* stream);
int StartStream(WaveStream* stream);
int WriteStream(WaveStream* stream, const void* block, int threshold);
int ReadStream(WaveStream* stream, void* block, int threshold);

// Ends any wait of a transfer now and for good (until the next open).
void CancelStreamWait(WaveStream* stream);

// Waits about one buffer's duration, or until CancelStreamWait: the pause
// after a failed transfer, so that a lost device is not retried in a busy
// loop. The transferring thread only.
void PauseAfterFailedTransfer(WaveStream* stream);
