// The wave stream: one opened device (wave_devices.h), a ring of eight
// driver buffers and a table of eight operations, written once for the
// Windows multimedia wave interface (waveOut for playback, waveIn for
// capture). The program opens one playback stream, on the device the Output
// menu chose (the wave mapper until one is chosen).
#pragma once

#include <windows.h>

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

struct WaveStream {
  int32_t direction;
  WaveStreamOps ops;
  int32_t device_index;  // 1-based among the entries of this direction; 0 none
  WaveDeviceEntry device;
  WaveFormatSpec format;
  HANDLE device_handle;  // HWAVEOUT or HWAVEIN
  WaveBuffer* buffers;
  int32_t buffer_count;
  int32_t started;
  int32_t connection_lost;
  int32_t opened;
  int32_t prepared;
  int32_t buffer_bytes;
  int32_t buffer_frames;
  int32_t frame_alignment;
  volatile LONG in_flight;  // shared with the device's callback thread
  int32_t write_index;
  int32_t read_index;
  HANDLE event;  // manual reset: completions and StopAudio set it
  int32_t report_lost;
  char error_text[256];
  int32_t capture_no_copy;
  volatile LONG wait_cancelled;  // set with the event to end a transfer's wait for good
  int32_t failed_writes;         // transfers the device refused, counted since the stream was made
};

// Zero-fills the stream, sets the defaults (44,100 Hz stereo 16-bit, eight
// buffers of the default latency, DefaultStreamBuffer), creates the event and selects
// device 1 of the direction. 1, or 0 (error text set).
int InitWaveStream(WaveStream* stream, int direction);

// Selects the n-th device of the stream's direction and installs its
// operations. 1 (also when already selected), or 0 when there is none.
int SelectWaveDevice(WaveStream* stream, int n);

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
