// The wave stream over waveOut / waveIn.
//
// How it works. A stream owns a ring of eight buffers, each a WAVEHDR and a
// data block in locked global memory. Playback copies a block into the buffer
// at the write index and hands it to waveOutWrite; the device's callback
// (on the system's thread) decrements the in-flight count and sets the
// manual-reset event. A writer that finds more than `threshold` buffers in
// flight resets the event and waits for it, so at most threshold + 1 buffers
// are queued. Capture mirrors this with waveInAddBuffer and a read index that
// follows the buffers the device has filled.
//
// The callbacks do only interlocked operations and SetEvent: nothing else is
// allowed on the device's callback thread.
#include "generator/audio/wave_stream.h"

#include <mmreg.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>

#include "generator/audio/wasapi_stream.h"

int MakeWaveFormat(const WaveFormatSpec& format, WAVEFORMATEX* out) {
  std::memset(out, 0, sizeof *out);
  WORD tag;
  switch (format.format_code) {
    case kFormatPcm8:
    case kFormatPcm16:
    case kFormatPcm24: tag = WAVE_FORMAT_PCM; break;
    case kFormatFloat32:
    case kFormatFloat64: tag = WAVE_FORMAT_IEEE_FLOAT; break;
    default: return 0;
  }
  const int sample_bytes = BytesPerSample(format.format_code);
  out->wFormatTag = tag;
  out->nChannels = static_cast<WORD>(format.channel_count);
  out->nSamplesPerSec = static_cast<DWORD>(format.sample_rate);
  out->wBitsPerSample = static_cast<WORD>(8 * sample_bytes);
  out->nBlockAlign = static_cast<WORD>(sample_bytes * format.channel_count);
  out->nAvgBytesPerSec = out->nBlockAlign * out->nSamplesPerSec;
  return 1;
}

// ---------------------------------------------------------------------------
// Device callbacks (the system's thread).

static void CALLBACK PlaybackCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR,
                                      DWORD_PTR) {
  auto* stream = reinterpret_cast<WaveStream*>(instance);
  if (message == WOM_DONE) InterlockedDecrement(&stream->wave.in_flight);
  if (message == WOM_OPEN || message == WOM_CLOSE || message == WOM_DONE) SetEvent(stream->event);
}

// The filled buffer is the one the device hands back (its ring slot is in
// dwUser), which is the slot at the read index unless the reader fell behind.
static void CALLBACK CaptureCallback(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                     DWORD_PTR) {
  auto* stream = reinterpret_cast<WaveStream*>(instance);
  if (message == WIM_DATA) {
    const auto* header = reinterpret_cast<const WAVEHDR*>(param1);
    const DWORD_PTR slot = header ? header->dwUser : 0;
    if (slot < static_cast<DWORD_PTR>(stream->wave.buffer_count)) {
      InterlockedExchange(&stream->wave.buffers[slot].done, 1);
    }
    InterlockedDecrement(&stream->wave.in_flight);
  }
  if (message == WIM_OPEN || message == WIM_CLOSE || message == WIM_DATA) SetEvent(stream->event);
}

// ---------------------------------------------------------------------------
// Helpers shared by both directions.

static void* LockedBlock(SIZE_T bytes, HGLOBAL* memory) {
  *memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, bytes);
  if (!*memory) return nullptr;
  void* block = GlobalLock(*memory);
  if (!block) {
    GlobalFree(*memory);
    *memory = nullptr;
  }
  return block;
}

static void FreeLockedBlock(HGLOBAL* memory) {
  if (!*memory) return;
  GlobalUnlock(*memory);
  GlobalFree(*memory);
  *memory = nullptr;
}

// Allocates the descriptors and their blocks; 0 when memory runs out.
static int AllocateBuffers(WaveStream* stream) {
  stream->wave.buffers = static_cast<WaveBuffer*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WaveBuffer) * kStreamBufferCount));
  if (!stream->wave.buffers) return 0;
  stream->wave.buffer_count = kStreamBufferCount;
  // Room for the widest sample format at this frame count.
  const SIZE_T data_bytes = 8 * static_cast<SIZE_T>(stream->buffer_bytes) + 32;
  for (int i = 0; i < stream->wave.buffer_count; ++i) {
    WaveBuffer* buffer = &stream->wave.buffers[i];
    buffer->header = static_cast<WAVEHDR*>(LockedBlock(64, &buffer->header_memory));
    buffer->data = static_cast<uint8_t*>(LockedBlock(data_bytes, &buffer->data_memory));
    if (!buffer->header || !buffer->data) return 0;
  }
  return 1;
}

// Frees every block whose header the device has given back; a header still
// prepared stays allocated, since the device may still use it.
static void FreeBuffers(WaveStream* stream) {
  if (!stream->wave.buffers) return;
  bool all_freed = true;
  for (int i = 0; i < stream->wave.buffer_count; ++i) {
    WaveBuffer* buffer = &stream->wave.buffers[i];
    if (buffer->prepared) {
      all_freed = false;
      continue;
    }
    FreeLockedBlock(&buffer->header_memory);
    FreeLockedBlock(&buffer->data_memory);
    buffer->header = nullptr;
    buffer->data = nullptr;
  }
  if (all_freed) {
    HeapFree(GetProcessHeap(), 0, stream->wave.buffers);
    stream->wave.buffers = nullptr;
    stream->wave.buffer_count = 0;
  }
}

static void WaitForNotification(WaveStream* stream) {
  WaitForSingleObject(stream->event, 1000);
  ResetEvent(stream->event);
}

// Waits for a completion while more than `threshold` buffers are queued,
// unless the wait was cancelled for good.
static void WaitBelowThreshold(WaveStream* stream, int threshold) {
  if (stream->wave.in_flight <= threshold) return;
  ResetEvent(stream->event);
  // A completion between the test above and the reset would be lost: test again.
  if (stream->wave.in_flight > threshold && !stream->wait_cancelled) {
    WaitForSingleObject(stream->event, INFINITE);
  }
}

// ---------------------------------------------------------------------------
// The device calls of each direction, behind one table, so that open, close,
// prepare and unprepare are written once for waveOut and waveIn.

struct DeviceCalls {
  MMRESULT(*open)
  (HANDLE* handle, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance,
   DWORD flags);
  MMRESULT (*close)(HANDLE handle);
  MMRESULT (*prepare_header)(HANDLE handle, WAVEHDR* header);
  MMRESULT (*unprepare_header)(HANDLE handle, WAVEHDR* header);
  MMRESULT (*reset)(HANDLE handle);
  MMRESULT (*hold)(HANDLE handle);  // after preparing: pause playback, stop capture
  MMRESULT (*error_text)(MMRESULT result, char* text, UINT size);
  DWORD_PTR callback;
  DWORD open_flags;
};

static const DeviceCalls kPlaybackCalls = {
    [](HANDLE* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
      return waveOutOpen(reinterpret_cast<HWAVEOUT*>(h), id, f, cb, inst, flags);
    },
    [](HANDLE h) { return waveOutClose(static_cast<HWAVEOUT>(h)); },
    [](HANDLE h, WAVEHDR* w) {
      return waveOutPrepareHeader(static_cast<HWAVEOUT>(h), w, sizeof *w);
    },
    [](HANDLE h, WAVEHDR* w) {
      return waveOutUnprepareHeader(static_cast<HWAVEOUT>(h), w, sizeof *w);
    },
    [](HANDLE h) { return waveOutReset(static_cast<HWAVEOUT>(h)); },
    [](HANDLE h) { return waveOutPause(static_cast<HWAVEOUT>(h)); },
    [](MMRESULT r, char* text, UINT size) { return waveOutGetErrorTextA(r, text, size); },
    reinterpret_cast<DWORD_PTR>(&PlaybackCallback),
    CALLBACK_FUNCTION | WAVE_ALLOWSYNC,
};

static const DeviceCalls kCaptureCalls = {
    [](HANDLE* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
      return waveInOpen(reinterpret_cast<HWAVEIN*>(h), id, f, cb, inst, flags);
    },
    [](HANDLE h) { return waveInClose(static_cast<HWAVEIN>(h)); },
    [](HANDLE h, WAVEHDR* w) { return waveInPrepareHeader(static_cast<HWAVEIN>(h), w, sizeof *w); },
    [](HANDLE h, WAVEHDR* w) {
      return waveInUnprepareHeader(static_cast<HWAVEIN>(h), w, sizeof *w);
    },
    [](HANDLE h) { return waveInReset(static_cast<HWAVEIN>(h)); },
    [](HANDLE h) { return waveInStop(static_cast<HWAVEIN>(h)); },
    [](MMRESULT r, char* text, UINT size) { return waveInGetErrorTextA(r, text, size); },
    reinterpret_cast<DWORD_PTR>(&CaptureCallback),
    CALLBACK_FUNCTION,
};

static const DeviceCalls& CallsOf(const WaveStream* stream) {
  return stream->direction == kDirectionCapture ? kCaptureCalls : kPlaybackCalls;
}

static void SetDeviceError(WaveStream* stream, MMRESULT result) {
  if (CallsOf(stream).error_text(result, stream->error_text, sizeof stream->error_text) != 0) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "Wave device error %u", result);
  }
}

int MakeExtensibleFormat(const WaveFormatSpec& format, WAVEFORMATEXTENSIBLE* out) {
  // KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT, written out (no uuid library needed).
  static const GUID kSubtypePcm = {
      0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  static const GUID kSubtypeFloat = {
      0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  std::memset(out, 0, sizeof *out);
  int valid_bits = 0;
  switch (format.format_code) {
    case kFormatPcm16: valid_bits = 16; break;
    case kFormatPcm24:
    case kFormatPcm24In32: valid_bits = 24; break;
    case kFormatFloat32: valid_bits = 32; break;
    default: return 0;
  }
  const int sample_bytes = BytesPerSample(format.format_code);
  out->Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  out->Format.nChannels = static_cast<WORD>(format.channel_count);
  out->Format.nSamplesPerSec = static_cast<DWORD>(format.sample_rate);
  out->Format.wBitsPerSample = static_cast<WORD>(8 * sample_bytes);
  out->Format.nBlockAlign = static_cast<WORD>(sample_bytes * format.channel_count);
  out->Format.nAvgBytesPerSec = out->Format.nBlockAlign * out->Format.nSamplesPerSec;
  out->Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
  out->Samples.wValidBitsPerSample = static_cast<WORD>(valid_bits);
  out->dwChannelMask = format.channel_count == 2 ? SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT : 0;
  out->SubFormat = format.format_code == kFormatFloat32 ? kSubtypeFloat : kSubtypePcm;
  return 1;
}

// The descriptions a format is offered to a device in, best first: a 24-bit
// format as WAVE_FORMAT_EXTENSIBLE (which drivers expect beyond 16 bits)
// and then as plain PCM for a driver that refuses that; every other format
// as plain PCM only. Returns how many were written (0: not built).
static int OpenFormats(const WaveFormatSpec& format, WAVEFORMATEXTENSIBLE out[2]) {
  std::memset(out, 0, 2 * sizeof out[0]);
  if (!MakeWaveFormat(format, &out[1].Format)) return 0;
  if (format.format_code != kFormatPcm24) {
    out[0] = out[1];
    return 1;
  }
  MakeExtensibleFormat(format, &out[0]);
  return 2;
}

static int QueryStreamFormatCommon(WaveStream* stream, const WaveFormatSpec* format) {
  if (format->sample_rate <= 10999) return 0;
  WAVEFORMATEXTENSIBLE candidates[2];
  const int count = OpenFormats(*format, candidates);
  const UINT id = static_cast<UINT>(stream->device.device_id);
  for (int i = 0; i < count; ++i) {
    if (CallsOf(stream).open(nullptr, id, &candidates[i].Format, 0, 0, WAVE_FORMAT_QUERY) ==
        MMSYSERR_NOERROR) {
      return 1;
    }
  }
  return 0;
}

static int OpenStreamCommon(WaveStream* stream) {
  if (stream->opened) return 0;
  const DeviceCalls& calls = CallsOf(stream);
  ResetEvent(stream->event);
  InterlockedExchange(&stream->wait_cancelled, 0);
  stream->started = 0;
  stream->opened = 1;
  WAVEFORMATEXTENSIBLE candidates[2];
  const int count = OpenFormats(stream->format, candidates);
  HANDLE handle = nullptr;
  MMRESULT result = WAVERR_BADFORMAT;
  for (int i = 0; i < count && result == WAVERR_BADFORMAT; ++i) {
    result = calls.open(&handle, static_cast<UINT>(stream->device.device_id), &candidates[i].Format,
                        calls.callback, reinterpret_cast<DWORD_PTR>(stream), calls.open_flags);
  }
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    stream->opened = 0;
    return static_cast<int>(result);
  }
  stream->wave.device_handle = handle;
  WaitForNotification(stream);
  return 0;
}

static int CloseStreamCommon(WaveStream* stream) {
  ResetEvent(stream->event);
  if (!stream->opened) return 0;
  const MMRESULT result = CallsOf(stream).close(stream->wave.device_handle);
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    stream->opened = 0;
    return static_cast<int>(result);
  }
  WaitForNotification(stream);
  stream->opened = 0;
  stream->wave.device_handle = nullptr;
  return 0;
}

static int PrepareStreamCommon(WaveStream* stream) {
  if (!stream->opened) return -1;
  if (stream->prepared) return 0;
  const DeviceCalls& calls = CallsOf(stream);
  stream->prepared = 1;
  stream->wave.in_flight = 0;
  stream->wave.write_index = 0;
  stream->wave.read_index = 0;
  if (!AllocateBuffers(stream)) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "Not enough memory");
    stream->prepared = 0;
    return -1;
  }
  for (int i = 0; i < stream->wave.buffer_count; ++i) {
    WaveBuffer* buffer = &stream->wave.buffers[i];
    buffer->header->lpData = reinterpret_cast<LPSTR>(buffer->data);
    buffer->header->dwBufferLength = static_cast<DWORD>(stream->buffer_bytes);
    buffer->header->dwFlags = 0;
    buffer->header->dwLoops = 0;
    buffer->header->dwUser = static_cast<DWORD_PTR>(i);  // the ring slot, for the capture callback
    const MMRESULT result = calls.prepare_header(stream->wave.device_handle, buffer->header);
    if (result != MMSYSERR_NOERROR) {
      SetDeviceError(stream, result);
      stream->prepared = 0;
      return -1;
    }
    buffer->prepared = 1;
  }
  calls.hold(stream->wave.device_handle);
  return 0;
}

static int UnprepareStreamCommon(WaveStream* stream) {
  if (stream->wave.buffers) {
    const DeviceCalls& calls = CallsOf(stream);
    // Buffers still queued (the stream was never started) must come back first.
    for (int i = 0; i < stream->wave.buffer_count; ++i) {
      const WAVEHDR* header = stream->wave.buffers[i].header;
      if (header && (header->dwFlags & WHDR_INQUEUE) && stream->opened) {
        calls.reset(stream->wave.device_handle);
        break;
      }
    }
    for (int i = 0; i < stream->wave.buffer_count; ++i) {
      WaveBuffer* buffer = &stream->wave.buffers[i];
      if (!buffer->prepared) continue;
      const MMRESULT result = calls.unprepare_header(stream->wave.device_handle, buffer->header);
      if (result == MMSYSERR_NOERROR) {
        buffer->prepared = 0;
      } else {
        SetDeviceError(stream, result);
      }
    }
    FreeBuffers(stream);
  }
  stream->prepared = 0;
  return 0;
}

// Marks a failed transfer: the slot is used again by the next one.
static void CountFailedTransfer(WaveStream* stream) {
  InterlockedDecrement(&stream->wave.in_flight);
  stream->failed_writes += 1;
  stream->wave.write_index =
      (stream->wave.write_index + stream->wave.buffer_count - 1) % stream->wave.buffer_count;
  if (stream->report_lost == 1) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "%s", kDriverLostText);
    stream->connection_lost = 1;
  }
}

// ---------------------------------------------------------------------------
// Playback: stop, start and write.

static int PlaybackStop(WaveStream* stream) {
  if (stream->started) {
    HWAVEOUT handle = static_cast<HWAVEOUT>(stream->wave.device_handle);
    waveOutPause(handle);
    waveOutReset(handle);
    stream->started = 0;
    ResetEvent(stream->event);
  }
  return 0;
}

static int PlaybackStart(WaveStream* stream) {
  if (!stream->opened) return -1;
  const MMRESULT result = waveOutRestart(static_cast<HWAVEOUT>(stream->wave.device_handle));
  stream->started = 1;
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    return -1;
  }
  return 0;
}

static int PlaybackWrite(WaveStream* stream, void* block, int threshold) {
  if (!stream || !stream->prepared || stream->connection_lost) return -1;
  WaveBuffer* buffer = &stream->wave.buffers[stream->wave.write_index];
  if (block) {
    std::memcpy(buffer->data, block, static_cast<size_t>(stream->buffer_bytes));
  } else {
    std::memset(buffer->data, 0, static_cast<size_t>(stream->buffer_bytes));
  }
  WaitBelowThreshold(stream, threshold);
  if (stream->started && stream->wave.in_flight == 0) stream->late_writes += 1;  // it ran dry
  InterlockedIncrement(&stream->wave.in_flight);
  buffer->header->dwFlags &= ~static_cast<DWORD>(WHDR_DONE | WHDR_INQUEUE);
  const MMRESULT result = waveOutWrite(static_cast<HWAVEOUT>(stream->wave.device_handle),
                                       buffer->header, sizeof(WAVEHDR));
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    CountFailedTransfer(stream);
  }
  stream->wave.write_index = (stream->wave.write_index + 1) % stream->wave.buffer_count;
  return stream->connection_lost ? -1 : 0;
}

// ---------------------------------------------------------------------------
// Capture: stop, start and read.

static int CaptureStop(WaveStream* stream) {
  if (stream->started) {
    HWAVEIN handle = static_cast<HWAVEIN>(stream->wave.device_handle);
    waveInStop(handle);
    waveInReset(handle);
    stream->started = 0;
    ResetEvent(stream->event);
  }
  return 0;
}

static int CaptureStart(WaveStream* stream) {
  if (!stream->opened) return -1;
  const MMRESULT result = waveInStart(static_cast<HWAVEIN>(stream->wave.device_handle));
  stream->started = 1;
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    return -1;
  }
  return 0;
}

// Queues the buffer at the write index for filling, then hands the caller the
// oldest filled buffer, or silence when none has come back yet.
static int CaptureRead(WaveStream* stream, void* block, int threshold) {
  if (!stream || !stream->prepared || stream->connection_lost) return -1;
  WaveBuffer* buffer = &stream->wave.buffers[stream->wave.write_index];
  WaitBelowThreshold(stream, threshold);
  InterlockedIncrement(&stream->wave.in_flight);
  InterlockedExchange(&buffer->done, 0);
  buffer->header->dwFlags &= ~static_cast<DWORD>(WHDR_DONE | WHDR_INQUEUE);
  const MMRESULT result = waveInAddBuffer(static_cast<HWAVEIN>(stream->wave.device_handle),
                                          buffer->header, sizeof(WAVEHDR));
  if (result != MMSYSERR_NOERROR) {
    SetDeviceError(stream, result);
    CountFailedTransfer(stream);
  }
  stream->wave.write_index = (stream->wave.write_index + 1) % stream->wave.buffer_count;

  const size_t bytes = static_cast<size_t>(stream->buffer_bytes);
  WaveBuffer* oldest = &stream->wave.buffers[stream->wave.read_index];
  if (oldest->done) {
    if (block && !stream->wave.capture_no_copy) std::memcpy(block, oldest->data, bytes);
    InterlockedExchange(&oldest->done, 0);
    stream->wave.read_index = (stream->wave.read_index + 1) % stream->wave.buffer_count;
  } else if (block && !stream->wave.capture_no_copy) {
    std::memset(block, 0, bytes);
  }
  return stream->connection_lost ? -1 : 0;
}

static const WaveStreamOps kPlaybackOps = {
    QueryStreamFormatCommon, OpenStreamCommon, CloseStreamCommon, PrepareStreamCommon,
    UnprepareStreamCommon,   PlaybackStop,     PlaybackStart,     PlaybackWrite};
static const WaveStreamOps kCaptureOps = {
    QueryStreamFormatCommon, OpenStreamCommon, CloseStreamCommon, PrepareStreamCommon,
    UnprepareStreamCommon,   CaptureStop,      CaptureStart,      CaptureRead};

// ---------------------------------------------------------------------------
// Stream management.

int InitWaveStream(WaveStream* stream, int direction) {
  std::memset(stream, 0, sizeof *stream);
  stream->direction = direction;
  stream->format = kGeneratorWaveFormat;
  stream->wave.buffer_count = kStreamBufferCount;
  const StreamBufferSize size = DefaultStreamBuffer(kGeneratorWaveFormat.sample_rate);
  stream->buffer_bytes = size.bytes;
  stream->buffer_frames = size.frames;
  stream->frame_alignment = kStreamFrameAlignment;
  stream->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!stream->event) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "Cannot create the wave event");
    return 0;
  }
  if (!SelectWaveDevice(stream, 1)) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "No wave device found");
    return 0;
  }
  return 1;
}

int SelectWaveDevice(WaveStream* stream, int n) {
  if (stream->device_index == n && n != 0 && stream->device.driver_type == kDriverTypeWave) {
    return 1;
  }
  const WaveDeviceEntry* entry = FindWaveDevice(n, stream->direction);
  return entry != nullptr && SelectStreamDevice(stream, *entry, n, L"");
}

int SelectStreamDevice(WaveStream* stream, const WaveDeviceEntry& entry, int index,
                       const wchar_t* endpoint_id) {
  const WaveStreamOps* ops = nullptr;
  switch (entry.driver_type) {
    case kDriverTypeWave:
      ops = stream->direction == kDirectionCapture ? &kCaptureOps : &kPlaybackOps;
      break;
    case kDriverTypeWasapiShared:
    case kDriverTypeWasapiExclusive:
      if (stream->direction == kDirectionPlayback) ops = &WasapiPlaybackOps();
      break;
    default: break;
  }
  if (ops == nullptr) {
    std::snprintf(stream->error_text, sizeof stream->error_text,
                  "No output of driver type %d is built", static_cast<int>(entry.driver_type));
    return 0;
  }
  stream->ops = *ops;
  stream->device = entry;
  stream->device_index = index;
  lstrcpynW(stream->wasapi.endpoint_id, endpoint_id ? endpoint_id : L"",
            sizeof stream->wasapi.endpoint_id / sizeof stream->wasapi.endpoint_id[0]);
  return 1;
}

int SetStreamLatency(WaveStream* stream, const WaveFormatSpec* format, float latency_s) {
  stream->format = *format;
  const StreamBufferSize size = StreamBufferForLatency(*format, latency_s, stream->frame_alignment);
  if (size.bytes <= 0) {
    std::snprintf(stream->error_text, sizeof stream->error_text, "Unsupported wave format");
    return 0;
  }
  stream->buffer_frames = size.frames;
  stream->buffer_bytes = size.bytes;
  return 1;
}

void FreeWaveStream(WaveStream* stream) {
  if (stream->event) CloseHandle(stream->event);
  stream->event = nullptr;
  FreeBuffers(stream);
  std::memset(stream, 0, sizeof *stream);
}

const char* GetStreamError(const WaveStream* stream) { return stream->error_text; }

void ClearStreamError(WaveStream* stream) { stream->error_text[0] = '\0'; }

void CancelStreamWait(WaveStream* stream) {
  InterlockedExchange(&stream->wait_cancelled, 1);
  if (stream->event) SetEvent(stream->event);
}

void PauseAfterFailedTransfer(WaveStream* stream) {
  const int32_t rate = stream->format.sample_rate > 0 ? stream->format.sample_rate : 44100;
  const DWORD pause_ms = static_cast<DWORD>(1000LL * stream->buffer_frames / rate) + 1;
  const DWORD start = GetTickCount();
  // Completions of buffers still queued set the event too: wait again for the rest.
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (stream->wait_cancelled || elapsed >= pause_ms) return;
    ResetEvent(stream->event);
    // A cancel between the test above and the reset would be lost: test again.
    if (stream->wait_cancelled) return;
    WaitForSingleObject(stream->event, pause_ms - elapsed);
  }
}

int QueryStreamFormat(WaveStream* stream, const WaveFormatSpec* format) {
  return stream->ops.query_format ? stream->ops.query_format(stream, format) : 0;
}
int OpenStream(WaveStream* stream) { return stream->ops.open ? stream->ops.open(stream) : -1; }
int CloseStream(WaveStream* stream) { return stream->ops.close ? stream->ops.close(stream) : -1; }
int PrepareStream(WaveStream* stream) {
  return stream->ops.prepare ? stream->ops.prepare(stream) : -1;
}
int UnprepareStream(WaveStream* stream) {
  return stream->ops.unprepare ? stream->ops.unprepare(stream) : -1;
}
int StopStream(WaveStream* stream) { return stream->ops.stop ? stream->ops.stop(stream) : -1; }
int StartStream(WaveStream* stream) { return stream->ops.start ? stream->ops.start(stream) : -1; }
int WriteStream(WaveStream* stream, const void* block, int threshold) {
  if (!stream || stream->direction != kDirectionPlayback || !stream->ops.transfer) return -1;
  return stream->ops.transfer(stream, const_cast<void*>(block), threshold);
}
int ReadStream(WaveStream* stream, void* block, int threshold) {
  if (!stream || stream->direction != kDirectionCapture || !stream->ops.transfer) return -1;
  return stream->ops.transfer(stream, block, threshold);
}
