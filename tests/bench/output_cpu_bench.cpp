// The CPU the playing program takes for each output choice: the audio
// thread, the stream and the system's audio path in this process, playing
// a 1 kHz sine at -1 dBFS at the default 100 ms latency to a device that
// consumes in real time (under Wine: the ALSA device paced_capture, which
// make bench offers and paces), through the wave interface and through
// WASAPI shared and exclusive. The choices take turns, three rounds of 15 s,
// and each reports its median. Prints one line a choice:
//   bench output_cpu_<choice> cpu_percent=<N> relative=<N / the 44.1 kHz 16-bit figure>
// and the exclusive stream's latency at the default and the shortest
// setting, as the device granted it:
//   bench output_latency_wasapi_exclusive_<ms>ms period_ms=<N> buffer_ms=<N> driven=<how>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "generator/audio/audio_thread.h"
#include "generator/audio/wasapi_stream.h"

namespace {

constexpr DWORD kWarmUpMs = 2000;
constexpr DWORD kMeasureMs = 15000;  // the process times tick in 10 ms
constexpr int kRounds = 3;           // the choices take turns; the median of each counts

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}

struct Choice {
  const char* name;
  OutputInterface interface_kind;
  int32_t rate;  // WASAPI shared plays the mix rate instead
  OutputWidth width;
};

// Selects the device of that name for the interface: the wave device, or
// the render endpoint as the Output menu lists it. False when there is none.
bool SelectOutput(const char* device, OutputInterface interface_kind) {
  g_audio.interface_kind = interface_kind;
  g_audio.mix_rate = 0;
  if (interface_kind == kInterfaceWave) {
    OutputChoice by_name = {};
    std::snprintf(by_name.device, sizeof by_name.device, "%s", device);
    const int n = FindKeptWaveDevice(by_name, kDirectionPlayback);
    return n > 0 && SelectWaveDevice(&g_audio.stream, n);
  }
  static WasapiEndpoint endpoints[64];
  const int count = ListRenderEndpoints(endpoints, 64);
  for (int i = 1; i < count; ++i) {
    if (std::strcmp(endpoints[i].name, device) != 0) continue;
    const bool shared = interface_kind == kInterfaceShared;
    if (shared) g_audio.mix_rate = WasapiMixRate(endpoints[i].id);
    const int type = shared ? kDriverTypeWasapiShared : kDriverTypeWasapiExclusive;
    return SelectStreamDevice(&g_audio.stream, WasapiDeviceEntry(type, i, device), i,
                              endpoints[i].id) == 1;
  }
  return false;
}

// What one run of a choice measured.
struct Played {
  double cpu_percent;  // of one core, -1 when it did not play
  WasapiPart granted;  // the WASAPI stream as it was opened
};

// Plays one choice at `latency_s` for `measure_ms`.
Played PlayChoice(const char* device, const Choice& choice, float latency_s, DWORD measure_ms) {
  Played played = {-1.0, {}};
  GeneratorEngine* engine = CreateGenerator();
  if (!engine || !InitAudioOutput(GetModuleHandleA(nullptr), &engine)) return played;
  if (SelectOutput(device, choice.interface_kind)) {
    g_audio.latency_s = latency_s;
    g_audio.sample_rate =
        choice.interface_kind == kInterfaceShared ? g_audio.mix_rate : choice.rate;
    g_audio.width = choice.width;
    GeneratorSettings s = kGeneratorDefaults;
    s.on = 1;
    s.level_db = -1.0f;
    if (g_audio.sample_rate > 0 && ApplyStreamFormat() &&
        SetGeneratorFormat(&engine, static_cast<float>(g_audio.sample_rate), 2)) {
      SetGeneratorSettings(engine, &s);
      ResetGenerator(&engine);
      StartAudio();
      Sleep(kWarmUpMs);
      const double cpu = ProcessCpuSeconds();
      const DWORD wall = GetTickCount();
      Sleep(measure_ms);
      const double used = ProcessCpuSeconds() - cpu;
      const DWORD elapsed = GetTickCount() - wall;
      played.granted = g_audio.stream.wasapi;
      if (g_audio.run.load() == 1) played.cpu_percent = 100.0 * used / (elapsed / 1000.0);
      StopAudio();
    }
  }
  EndAudioOutput();
  DestroyGenerator(&engine);
  return played;
}

}  // namespace

int main(int argc, char** argv) {
  const char* device = argc > 1 ? argv[1] : "Out: paced_capture";
  const Choice kChoices[] = {
      {"44k1_16bit", kInterfaceWave, 44100, kWidth16},
      {"96k_24bit_high_precision", kInterfaceWave, 96000, kWidth24Precise},
      {"wave_48k_24bit", kInterfaceWave, 48000, kWidth24Precise},
      {"wasapi_shared_48k_24bit", kInterfaceShared, 48000, kWidth24Precise},
      {"wasapi_exclusive_48k_24bit", kInterfaceExclusive, 48000, kWidth24Precise}};
  constexpr int kChoiceCount = sizeof kChoices / sizeof kChoices[0];
  double percent[kChoiceCount][kRounds];
  for (int round = 0; round < kRounds; ++round) {
    for (int c = 0; c < kChoiceCount; ++c) {
      percent[c][round] =
          PlayChoice(device, kChoices[c], kDefaultLatencySeconds, kMeasureMs).cpu_percent;
      if (percent[c][round] < 0) {
        std::printf("bench output_cpu_%s: \"%s\" does not play it\n", kChoices[c].name, device);
        return 1;
      }
    }
  }
  double base = 0.0;
  for (int c = 0; c < kChoiceCount; ++c) {
    std::sort(percent[c], percent[c] + kRounds);
    const double median = percent[c][kRounds / 2];
    if (c == 0) base = median;
    std::printf("bench output_cpu_%s cpu_percent=%.2f relative=%.2f\n", kChoices[c].name, median,
                base > 0 ? median / base : 0.0);
  }
  const Choice& exclusive = kChoices[kChoiceCount - 1];
  for (float latency_s : {kDefaultLatencySeconds, 0.02f}) {
    const Played played = PlayChoice(device, exclusive, latency_s, 1000);
    const double rate = exclusive.rate;
    std::printf(
        "bench output_latency_wasapi_exclusive_%dms period_ms=%.2f buffer_ms=%.2f "
        "driven=%s\n",
        static_cast<int>(latency_s * 1000.0f + 0.5f), 1000.0 * played.granted.period_frames / rate,
        1000.0 * played.granted.buffer_frames / rate,
        played.granted.event_driven ? "events" : "padding");
  }
  return 0;
}
