// The audio thread and its start/stop protocol: see audio_thread.h.
#include "generator/audio/audio_thread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generator/audio/wasapi_stream.h"

AudioState g_audio = {};

// Bytes one sample of the stream's encoding takes in the render block.
static int SampleBytes(int format_code) { return BytesPerSample(format_code); }

// The engine's 16 bits into the block in the stream's encoding: as they are
// (16-bit PCM), or as float, converted exactly (v / 32768).
static void FillFromEngine(bool can_render) {
  const int code = g_audio.stream.format.format_code;
  const size_t values = 2 * static_cast<size_t>(g_audio.stream.buffer_frames);
  int16_t* pcm =
      code == kFormatPcm16 ? static_cast<int16_t*>(g_audio.render_block) : g_audio.engine_block;
  // The engine mixes into what the block holds: silence.
  std::memset(pcm, 0, values * sizeof(int16_t));
  if (can_render) {
    RenderGenerator(g_audio.engine_slot, pcm, static_cast<uint32_t>(values * sizeof(int16_t)));
  }
  if (code == kFormatFloat32) {
    float* out = static_cast<float*>(g_audio.render_block);
    for (size_t i = 0; i < values; ++i) out[i] = pcm[i] / 32768.0f;
  }
}

void FillBlock() {
  const bool can_render = g_audio.engine_slot && !IsGeneratorBusy(g_audio.engine_slot);
  if (!IsPreciseWidth(g_audio.width)) {
    FillFromEngine(can_render);
    return;
  }
  // The precise synth writes every value (silence when it skips the block).
  const int32_t frames = g_audio.stream.buffer_frames;
  const int content =
      RenderPreciseGenerator(g_audio.engine_slot, g_audio.voice, g_audio.precise_block, frames);
  const size_t values = 2 * static_cast<size_t>(frames);
  const int code = g_audio.stream.format.format_code;
  if (code == kFormatFloat32) {
    // Float holds the precise samples (and a bit pattern's codes over 2^23) as they are.
    float* out = static_cast<float*>(g_audio.render_block);
    for (size_t i = 0; i < values; ++i) out[i] = static_cast<float>(g_audio.precise_block[i]);
    return;
  }
  const int sample_bytes = SampleBytes(code);
  unsigned char* out = static_cast<unsigned char*>(g_audio.render_block);
  if (content == kPreciseBitPattern) {
    QuantiseBitPattern(g_audio.precise_block, values, sample_bytes, out);  // the J-test, exact
  } else {
    QuantisePcm(g_audio.precise_block, values, sample_bytes, &g_audio.dither, out);
  }
}

// Frees the render blocks and the precise voice.
static void FreeRenderBlocks() {
  std::free(g_audio.render_block);
  std::free(g_audio.engine_block);
  std::free(g_audio.precise_block);
  FreePreciseVoice(g_audio.voice);
  g_audio.render_block = nullptr;
  g_audio.engine_block = nullptr;
  g_audio.precise_block = nullptr;
  g_audio.voice = nullptr;
  g_audio.render_bytes = 0;
  g_audio.render_frames = 0;
}

// Makes the blocks for the stream's block size and encoding; 0 when memory
// runs out (none are left then).
static int MakeRenderBlocks() {
  FreeRenderBlocks();
  const int32_t frames = g_audio.stream.buffer_frames;
  const size_t values = 2 * static_cast<size_t>(frames);
  g_audio.render_frames = frames;
  g_audio.render_bytes =
      static_cast<int32_t>(values) * SampleBytes(g_audio.stream.format.format_code);
  g_audio.render_block = std::calloc(1, static_cast<size_t>(g_audio.render_bytes));
  g_audio.engine_block = static_cast<int16_t*>(std::calloc(values, sizeof(int16_t)));
  bool made = g_audio.render_block && g_audio.engine_block;
  if (made && IsPreciseWidth(g_audio.width)) {
    g_audio.precise_block = static_cast<double*>(std::calloc(values, sizeof(double)));
    g_audio.voice = CreatePreciseVoice();
    g_audio.dither = {kDitherSeed};
    made = g_audio.precise_block && g_audio.voice;
  }
  if (!made) FreeRenderBlocks();
  return made ? 1 : 0;
}

// The "Pro Audio" class of the multimedia class scheduler, where Windows
// has it: avrt.dll is loaded by its full path from the system folder, so no
// DLL of that name elsewhere can stand in for it.
struct ProAudio {
  HMODULE avrt;
  HANDLE task;
};

static ProAudio JoinProAudio() {
  ProAudio pro = {nullptr, nullptr};
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  if (length == 0 || length + sizeof "\\avrt.dll" > sizeof path) return pro;
  std::strcat(path, "\\avrt.dll");
  pro.avrt = LoadLibraryExA(path, nullptr, 0);
  if (!pro.avrt) return pro;
  typedef HANDLE(WINAPI * Join)(LPCSTR, LPDWORD);
  auto join = reinterpret_cast<Join>(
      reinterpret_cast<void*>(GetProcAddress(pro.avrt, "AvSetMmThreadCharacteristicsA")));
  DWORD index = 0;
  if (join) pro.task = join("Pro Audio", &index);
  return pro;
}

static void LeaveProAudio(ProAudio* pro) {
  if (pro->task) {
    typedef BOOL(WINAPI * Leave)(HANDLE);
    auto leave = reinterpret_cast<Leave>(
        reinterpret_cast<void*>(GetProcAddress(pro->avrt, "AvRevertMmThreadCharacteristics")));
    if (leave) leave(pro->task);
  }
  if (pro->avrt) FreeLibrary(pro->avrt);
  *pro = ProAudio{nullptr, nullptr};
}

static bool IsWasapi(const WaveStream* stream) {
  return stream->device.driver_type == kDriverTypeWasapiShared ||
         stream->device.driver_type == kDriverTypeWasapiExclusive;
}

static DWORD WINAPI AudioThreadMain(LPVOID) {
  WaveStream* stream = &g_audio.stream;
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  ProAudio pro = JoinProAudio();
  // The wave interface never reports a lost device (the Part's rule: the
  // loop goes on); a WASAPI endpoint that goes away ends the sound and says so.
  stream->report_lost = IsWasapi(stream) ? 1 : 0;
  stream->connection_lost = 0;
  stream->wave.capture_no_copy = 0;
  // Every start follows a reset of the engine (or a new rate).
  if (g_audio.voice) RestartPreciseVoice(g_audio.voice);

  bool opened = OpenStream(stream) == 0;
  // An open may give another block or encoding (an exclusive period, a
  // packed 24-bit container): the blocks follow it, before the loop.
  if (opened && (g_audio.render_frames != stream->buffer_frames ||
                 g_audio.render_bytes !=
                     2 * stream->buffer_frames * SampleBytes(stream->format.format_code))) {
    opened = MakeRenderBlocks() == 1;
  }
  if (opened && PrepareStream(stream) == 0 && WriteStream(stream, nullptr, 1) == 0 &&
      StartStream(stream) == 0) {
    int written = 0;
    while (g_audio.run.load() == 1 && written == 0) {
      FillBlock();
      if (g_audio.run.load() != 1) break;
      const int32_t failures = stream->failed_writes;
      written = WriteStream(stream, g_audio.render_block, 3);
      // A device that refuses every write (unplugged) queues nothing, so the
      // write never waits: without a pause this thread would spin at
      // time-critical priority and starve the user interface.
      if (stream->failed_writes != failures && !stream->connection_lost) {
        PauseAfterFailedTransfer(stream);
      }
    }
  }
  StopStream(stream);
  UnprepareStream(stream);
  CloseStream(stream);
  LeaveProAudio(&pro);
  const bool lost = stream->connection_lost != 0;
  g_audio.run.store(0);
  if (lost && g_audio.notify_window) {
    PostMessageA(g_audio.notify_window, WM_COMMAND, g_audio.lost_command, 0);
  }
  return 0;
}

// A thread that ended by itself (a device failure) leaves its handle behind.
static void CloseFinishedThread() {
  if (!g_audio.thread) return;
  WaitForSingleObject(g_audio.thread, INFINITE);
  CloseHandle(g_audio.thread);
  g_audio.thread = nullptr;
  g_audio.thread_id = 0;
}

void StartAudio() {
  if (g_audio.run.load() == 1) return;
  CloseFinishedThread();
  if (!g_audio.render_block) return;
  g_audio.run.store(1);
  g_audio.thread = CreateThread(nullptr, 0, AudioThreadMain, nullptr, 0, &g_audio.thread_id);
  if (!g_audio.thread) g_audio.run.store(0);
}

void StopAudio() {
  if (g_audio.run.load() == 0) {
    CloseFinishedThread();
    return;
  }
  g_audio.run.store(0);
  CancelStreamWait(&g_audio.stream);
  CloseFinishedThread();
}

int ApplyStreamFormat() {
  if (g_audio.sample_rate == 0) g_audio.sample_rate = kDefaultOutputRate;
  const WaveFormatSpec format = OutputWaveFormat(g_audio.sample_rate, g_audio.width,
                                                 g_audio.interface_kind, g_audio.mix_rate);
  if (!SetStreamLatency(&g_audio.stream, &format, g_audio.latency_s)) return 0;
  if (!MakeRenderBlocks()) {
    std::snprintf(g_audio.stream.error_text, sizeof g_audio.stream.error_text, "Not enough memory");
    return 0;
  }
  return 1;
}

int ApplyLatency(HWND window) {
  if (!ApplyStreamFormat()) {
    MessageBoxA(window, GetStreamError(&g_audio.stream), "Init Error", MB_OK | MB_ICONERROR);
    return 0;
  }
  return 1;
}

int InitAudioOutput(HINSTANCE instance, GeneratorEngine** engine_slot) {
  g_audio.engine_slot = engine_slot;
  if (g_audio.latency_s == 0.0f) g_audio.latency_s = kDefaultLatencySeconds;
  if (!EnumerateWaveDevices(instance)) return 0;
  ClearStreamError(&g_audio.stream);
  return InitWaveStream(&g_audio.stream, kDirectionPlayback);
}

void FreeAudioStream() {
  StopAudio();
  FreeWaveStream(&g_audio.stream);
  FreeRenderBlocks();
}

void EndAudioOutput() {
  FreeAudioStream();
  ReleaseWaveDevices();
}

int ProbeStream(char* error, size_t size) {
  const int opened = OpenStream(&g_audio.stream) == 0;
  if (!opened) {
    std::snprintf(error, size, "%s", GetStreamError(&g_audio.stream));
    return 0;
  }
  CloseStream(&g_audio.stream);
  return 1;
}
