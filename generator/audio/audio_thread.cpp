// The audio thread and its start/stop protocol: see audio_thread.h.
#include "generator/audio/audio_thread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

AudioState g_audio = {};

void FillBlock() {
  const bool can_render = g_audio.engine_slot && !IsGeneratorBusy(g_audio.engine_slot);
  if (!IsPreciseWidth(g_audio.width) || !can_render) {
    // The engine mixes into what the block holds: silence.
    std::memset(g_audio.render_block, 0, static_cast<size_t>(g_audio.render_bytes));
    if (!can_render) return;
    RenderGenerator(g_audio.engine_slot, static_cast<int16_t*>(g_audio.render_block),
                    static_cast<uint32_t>(g_audio.render_bytes));
    return;
  }
  // The precise synth writes every value (silence when it skips the block).
  const int32_t frames = g_audio.stream.buffer_frames;
  const int content =
      RenderPreciseGenerator(g_audio.engine_slot, g_audio.voice, g_audio.precise_block, frames);
  const size_t values = 2 * static_cast<size_t>(frames);
  const int sample_bytes = g_audio.width == kWidth24Precise ? 3 : 2;
  unsigned char* out = static_cast<unsigned char*>(g_audio.render_block);
  if (content == kPreciseBitPattern) {
    QuantiseBitPattern(g_audio.precise_block, values, sample_bytes, out);  // the J-test, exact
  } else {
    QuantisePcm(g_audio.precise_block, values, sample_bytes, &g_audio.dither, out);
  }
}

static DWORD WINAPI AudioThreadMain(LPVOID) {
  WaveStream* stream = &g_audio.stream;
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  stream->report_lost = 0;
  stream->capture_no_copy = 0;
  // Every start follows a reset of the engine (or a new rate).
  if (g_audio.voice) RestartPreciseVoice(g_audio.voice);

  if (OpenStream(stream) == 0 && PrepareStream(stream) == 0 &&
      WriteStream(stream, nullptr, 1) == 0 && StartStream(stream) == 0) {
    int written = 0;
    while (g_audio.run.load() == 1 && written == 0) {
      FillBlock();
      if (g_audio.run.load() != 1) break;
      const int32_t failures = stream->failed_writes;
      written = WriteStream(stream, g_audio.render_block, 3);
      // A device that refuses every write (unplugged) queues nothing, so the
      // write never waits: without a pause this thread would spin at
      // time-critical priority and starve the user interface.
      if (stream->failed_writes != failures) PauseAfterFailedTransfer(stream);
    }
  }
  StopStream(stream);
  UnprepareStream(stream);
  CloseStream(stream);
  g_audio.run.store(0);
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

// Frees the render blocks and the precise voice.
static void FreeRenderBlocks() {
  std::free(g_audio.render_block);
  std::free(g_audio.precise_block);
  FreePreciseVoice(g_audio.voice);
  g_audio.render_block = nullptr;
  g_audio.precise_block = nullptr;
  g_audio.voice = nullptr;
  g_audio.render_bytes = 0;
}

int ApplyStreamFormat() {
  if (g_audio.sample_rate == 0) g_audio.sample_rate = kDefaultOutputRate;
  const WaveFormatSpec format = OutputWaveFormat(g_audio.sample_rate, g_audio.width);
  if (!SetStreamLatency(&g_audio.stream, &format, g_audio.latency_s)) return 0;
  FreeRenderBlocks();
  g_audio.render_bytes = g_audio.stream.buffer_bytes;
  g_audio.render_block = std::calloc(1, static_cast<size_t>(g_audio.render_bytes));
  bool made = g_audio.render_block != nullptr;
  if (made && IsPreciseWidth(g_audio.width)) {
    const size_t values = 2 * static_cast<size_t>(g_audio.stream.buffer_frames);
    g_audio.precise_block = static_cast<double*>(std::calloc(values, sizeof(double)));
    g_audio.voice = CreatePreciseVoice();
    g_audio.dither = {kDitherSeed};
    made = g_audio.precise_block && g_audio.voice;
  }
  if (!made) {
    FreeRenderBlocks();
    std::snprintf(g_audio.stream.error_text, sizeof g_audio.stream.error_text,
                  "Not enough memory");
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
