// Audio output under Wine: the device list, the stream life cycle and whole
// audio-thread runs, checked against what the ALSA capture file received.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "generator/audio/audio_thread.h"
#include "generator/audio/wave_stream.h"
#include "generator/files/offline_render.h"
#include "tests/generator/wine_paths.h"

namespace {

std::vector<int16_t> ReadCapture() {
  std::vector<int16_t> samples;
  HANDLE file = CreateFileA(AudioCapturePath().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return samples;
  const DWORD size = GetFileSize(file, nullptr);
  samples.resize(size / 2);
  DWORD got = 0;
  ReadFile(file, samples.data(), size / 2 * 2, &got, nullptr);
  CloseHandle(file);
  samples.resize(got / 2);
  return samples;
}

void ClearCapture() { DeleteFileA(AudioCapturePath().c_str()); }

TEST(WaveDevices, MappersFirstNamesPrefixedAndShared) {
  ASSERT_EQ(EnumerateWaveDevices(GetModuleHandleA(nullptr)), 1);
  ASSERT_EQ(EnumerateWaveDevices(GetModuleHandleA(nullptr)), 1);  // a second reference
  for (int direction : {kDirectionCapture, kDirectionPlayback}) {
    const WaveDeviceEntry* mapper = FindWaveDevice(1, direction);
    ASSERT_NE(mapper, nullptr) << direction;
    EXPECT_EQ(mapper->direction, direction);
    EXPECT_EQ(mapper->driver_type, kDriverTypeWave);
    EXPECT_EQ(mapper->device_id, -1);
    EXPECT_STREQ(mapper->name, "WIN : Windows Wave Mapper");
    for (int n = 2; FindWaveDevice(n, direction); ++n) {
      const WaveDeviceEntry* device = FindWaveDevice(n, direction);
      EXPECT_EQ(device->device_id, n - 2);
      EXPECT_EQ(std::strncmp(device->name, "WIN : ", 6), 0) << device->name;
    }
  }
  const UINT playback_devices = waveOutGetNumDevs();
  EXPECT_NE(FindWaveDevice(static_cast<int>(playback_devices) + 1, kDirectionPlayback), nullptr);
  EXPECT_EQ(FindWaveDevice(static_cast<int>(playback_devices) + 2, kDirectionPlayback), nullptr);
  EXPECT_EQ(FindWaveDevice(0, kDirectionPlayback), nullptr);
  ReleaseWaveDevices();
  EXPECT_NE(FindWaveDevice(1, kDirectionPlayback), nullptr);
  ReleaseWaveDevices();
  EXPECT_EQ(FindWaveDevice(1, kDirectionPlayback), nullptr);
}

TEST(WaveStream, PlaybackLifeCycle) {
  ASSERT_EQ(EnumerateWaveDevices(nullptr), 1);
  WaveStream stream;
  ASSERT_EQ(InitWaveStream(&stream, kDirectionPlayback), 1);
  EXPECT_EQ(stream.buffer_bytes, 17632);
  EXPECT_EQ(stream.buffer_frames, 4408);
  EXPECT_EQ(stream.device.device_id, -1);  // the mapper
  EXPECT_EQ(SelectWaveDevice(&stream, 1), 1);
  EXPECT_EQ(QueryStreamFormat(&stream, &kGeneratorWaveFormat), 1);
  const WaveFormatSpec too_slow = {8000, 2, 2};
  EXPECT_EQ(QueryStreamFormat(&stream, &too_slow), 0);

  // Nothing works before the device is open.
  EXPECT_EQ(PrepareStream(&stream), -1);
  EXPECT_EQ(StartStream(&stream), -1);
  EXPECT_EQ(WriteStream(&stream, nullptr, 1), -1);

  ASSERT_EQ(SetStreamLatency(&stream, &kGeneratorWaveFormat, 0.05f), 1);
  EXPECT_EQ(stream.buffer_bytes, 8816);
  ClearCapture();
  ASSERT_EQ(OpenStream(&stream), 0) << GetStreamError(&stream);
  EXPECT_EQ(stream.opened, 1);
  EXPECT_EQ(OpenStream(&stream), 0);  // already open
  ASSERT_EQ(PrepareStream(&stream), 0) << GetStreamError(&stream);
  EXPECT_EQ(stream.prepared, 1);
  EXPECT_EQ(stream.wave.buffer_count, kStreamBufferCount);
  ASSERT_EQ(WriteStream(&stream, nullptr, 1), 0);
  ASSERT_EQ(StartStream(&stream), 0) << GetStreamError(&stream);
  std::vector<int16_t> block(stream.buffer_bytes / 2);
  for (int i = 0; i < 20; ++i) {
    for (size_t k = 0; k < block.size(); ++k) block[k] = static_cast<int16_t>(i * 100 + 1);
    ASSERT_EQ(WriteStream(&stream, block.data(), 3), 0);
    EXPECT_LE(stream.wave.in_flight, 4);
  }
  EXPECT_EQ(StopStream(&stream), 0);
  EXPECT_EQ(stream.started, 0);
  EXPECT_EQ(UnprepareStream(&stream), 0);
  EXPECT_EQ(stream.prepared, 0);
  EXPECT_EQ(stream.wave.buffers, nullptr);
  EXPECT_EQ(CloseStream(&stream), 0);
  EXPECT_EQ(stream.opened, 0);
  FreeWaveStream(&stream);
  EXPECT_EQ(stream.event, nullptr);

  // What reached the device: one buffer of silence, then blocks in order
  // (the last few may have been cut off by the stop).
  const std::vector<int16_t> captured = ReadCapture();
  ASSERT_GE(captured.size(), 2 * 2204u * 4);
  for (size_t i = 0; i < 2 * 2204u; ++i) ASSERT_EQ(captured[i], 0) << i;
  size_t i = 2 * 2204u;
  for (; i < captured.size() && captured[i] != 0; ++i) {
    const size_t index = (i - 2 * 2204u) / (2 * 2204u);
    ASSERT_EQ(captured[i], static_cast<int16_t>(index * 100 + 1)) << i;
  }
  EXPECT_GE(i, 2 * 2204u * 4);
  for (; i < captured.size(); ++i) ASSERT_EQ(captured[i], 0) << i;  // padding after the reset
  ReleaseWaveDevices();
}

// Sets the engine to a 1 kHz sine, on, the way the panel would.
void SwitchOnSine(GeneratorEngine* engine) {
  GeneratorSettings s;
  GetGeneratorSettings(engine, &s);
  s.on = 1;
  SetGeneratorSettings(engine, &s);
}

// Runs the audio thread for a while and checks the capture: one buffer of
// silence, then exactly what the offline render gives, frame for frame.
void RunAndCompare(GeneratorEngine** slot, DWORD run_ms) {
  const int32_t buffer_frames = g_audio.stream.buffer_frames;
  ClearCapture();
  ResetGenerator(slot);
  StartAudio();
  const HANDLE thread = g_audio.thread;
  StartAudio();  // a second start changes nothing
  EXPECT_EQ(g_audio.thread, thread);
  Sleep(run_ms);
  StopAudio();
  EXPECT_EQ(g_audio.run.load(), 0);
  EXPECT_EQ(g_audio.thread, nullptr);

  const std::vector<int16_t> captured = ReadCapture();
  const size_t frames = captured.size() / 2;
  ASSERT_GE(frames, static_cast<size_t>(buffer_frames) * 3) << "too little was played";
  GeneratorSettings s;
  GetGeneratorSettings(*slot, &s);
  std::vector<int16_t> expected(2 * frames, 0);
  ASSERT_EQ(RenderOffline(s, frames - static_cast<size_t>(buffer_frames), buffer_frames,
                          expected.data() + 2 * buffer_frames),
            1);
  // Frame for frame up to the stop; the device may pad its last period with
  // silence when the stream is reset, which is no lost or repeated block.
  size_t same = 0;
  while (same < captured.size() && captured[same] == expected[same]) ++same;
  for (size_t i = same; i < captured.size(); ++i) {
    ASSERT_EQ(captured[i], 0) << "frame " << i / 2 << " of " << frames << " differs, buffer "
                              << buffer_frames << " frames";
  }
  EXPECT_LT((captured.size() - same) / 2, static_cast<size_t>(buffer_frames));
  EXPECT_GE(same / 2, static_cast<size_t>(buffer_frames) * 3);
}

TEST(AudioThread, PlaysExactlyWhatTheEngineRendersAtEveryLatency) {
  GeneratorEngine* engine = CreateGenerator();
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(SetGeneratorFormat(&engine, 44100.0f, 2), 1);
  SwitchOnSine(engine);
  ASSERT_EQ(InitAudioOutput(GetModuleHandleA(nullptr), &engine), 1)
      << GetStreamError(&g_audio.stream);
  EXPECT_FLOAT_EQ(g_audio.latency_s, 0.1f);
  ASSERT_EQ(ApplyLatency(nullptr), 1);
  EXPECT_EQ(g_audio.render_bytes, 17632);
  RunAndCompare(&engine, 400);

  const struct {
    float latency;
    int32_t bytes;
  } menu[] = {{0.2f, 35280}, {0.05f, 8816}, {0.03f, 5280}, {0.02f, 3520}, {0.1f, 17632}};
  for (const auto& entry : menu) {
    StopAudio();
    g_audio.latency_s = entry.latency;
    ASSERT_EQ(ApplyLatency(nullptr), 1);
    EXPECT_EQ(g_audio.render_bytes, entry.bytes);
    EXPECT_EQ(g_audio.stream.buffer_bytes, entry.bytes);
    RunAndCompare(&engine, 400);
  }

  // Stopping twice, or without a thread, is harmless.
  StopAudio();
  EndAudioOutput();
  EXPECT_EQ(g_audio.render_block, nullptr);
  ReleaseGenerator(&engine);
}

TEST(AudioThread, StopReturnsWhileTheThreadWaitsForACompletion) {
  GeneratorEngine* engine = CreateGenerator();
  ASSERT_EQ(SetGeneratorFormat(&engine, 44100.0f, 2), 1);
  SwitchOnSine(engine);
  ASSERT_EQ(InitAudioOutput(nullptr, &engine), 1);
  g_audio.latency_s = 0.5f;  // long buffers: the thread is nearly always waiting
  ASSERT_EQ(ApplyLatency(nullptr), 1);
  for (int round = 0; round < 5; ++round) {
    ResetGenerator(&engine);
    StartAudio();
    Sleep(30 + 20 * round);
    StopAudio();  // must not hang
    EXPECT_EQ(g_audio.run.load(), 0);
  }
  EndAudioOutput();
  ReleaseGenerator(&engine);
}

// A device that refuses every write, as an unplugged one does: the real
// playback write, but with a null device handle, which waveOutWrite refuses.
// The first buffer of silence still goes through so the thread gets going.
int (*g_real_transfer)(WaveStream*, void*, int) = nullptr;

int RefusingTransfer(WaveStream* stream, void* block, int threshold) {
  if (!block) return g_real_transfer(stream, block, threshold);
  const HANDLE device = stream->wave.device_handle;
  stream->wave.device_handle = nullptr;
  const int result = g_real_transfer(stream, block, threshold);
  stream->wave.device_handle = device;
  return result;
}

double ProcessCpuSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// The thread goes on retrying a refused write, but pauses about a buffer's
// duration (100 ms here) between tries instead of spinning at time-critical
// priority; a stop still ends it at once. The bounds are generous: a spinning
// thread fails tens of thousands of writes a second and takes a whole core.
TEST(AudioThread, RetriesARefusingDeviceCalmlyAndStopsPromptly) {
  GeneratorEngine* engine = CreateGenerator();
  ASSERT_EQ(SetGeneratorFormat(&engine, 44100.0f, 2), 1);
  SwitchOnSine(engine);
  ASSERT_EQ(InitAudioOutput(nullptr, &engine), 1);
  g_audio.latency_s = 0.1f;
  ASSERT_EQ(ApplyLatency(nullptr), 1);
  g_real_transfer = g_audio.stream.ops.transfer;
  g_audio.stream.ops.transfer = RefusingTransfer;

  ResetGenerator(&engine);
  const double cpu_before = ProcessCpuSeconds();
  StartAudio();
  Sleep(1000);
  const double cpu_used = ProcessCpuSeconds() - cpu_before;
  const DWORD stop_started = GetTickCount();
  StopAudio();
  const DWORD stop_ms = GetTickCount() - stop_started;
  const int32_t failures = g_audio.stream.failed_writes;

  EXPECT_GE(failures, 3) << "the thread gave up";
  EXPECT_LE(failures, 40);
  EXPECT_LT(cpu_used, 0.35) << failures << " refused writes";
  EXPECT_LT(stop_ms, 1000u);
  EXPECT_EQ(g_audio.run.load(), 0);
  EndAudioOutput();
  ReleaseGenerator(&engine);
}

}  // namespace
