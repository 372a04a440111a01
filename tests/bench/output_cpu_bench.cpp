// The CPU the playing program takes for each output choice: the audio
// thread, the wave stream and the system's audio path in this process,
// playing a 1 kHz sine at -1 dBFS at the default 100 ms latency to a device
// that consumes in real time (under Wine: the ALSA device paced_capture,
// which make bench offers and paces). The choices take turns, three rounds
// of 15 s, and each reports its median. Prints one line a choice:
//   bench output_cpu_<choice> cpu_percent=<N> relative=<N / the 44.1 kHz 16-bit figure>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "generator/audio/audio_thread.h"

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

// Plays one choice and returns the process's CPU use in percent of one core,
// or -1 when it cannot play.
double MeasureChoice(const char* device, int32_t rate, OutputWidth width) {
  GeneratorEngine* engine = CreateGenerator();
  if (!engine || !InitAudioOutput(GetModuleHandleA(nullptr), &engine)) return -1.0;
  OutputChoice by_name = {};
  std::snprintf(by_name.device, sizeof by_name.device, "%s", device);
  const int n = FindKeptWaveDevice(by_name, kDirectionPlayback);
  double percent = -1.0;
  if (n > 0 && SelectWaveDevice(&g_audio.stream, n)) {
    g_audio.latency_s = kDefaultLatencySeconds;
    g_audio.sample_rate = rate;
    g_audio.width = width;
    GeneratorSettings s = kGeneratorDefaults;
    s.on = 1;
    s.level_db = -1.0f;
    if (ApplyStreamFormat() && SetGeneratorFormat(&engine, static_cast<float>(rate), 2)) {
      SetGeneratorSettings(engine, &s);
      ResetGenerator(&engine);
      StartAudio();
      Sleep(kWarmUpMs);
      const double cpu = ProcessCpuSeconds();
      const DWORD wall = GetTickCount();
      Sleep(kMeasureMs);
      const double used = ProcessCpuSeconds() - cpu;
      const DWORD elapsed = GetTickCount() - wall;
      if (g_audio.run.load() == 1) percent = 100.0 * used / (elapsed / 1000.0);
      StopAudio();
    }
  }
  EndAudioOutput();
  DestroyGenerator(&engine);
  return percent;
}

}  // namespace

int main(int argc, char** argv) {
  const char* device = argc > 1 ? argv[1] : "Out: paced_capture";
  const struct {
    const char* name;
    int32_t rate;
    OutputWidth width;
  } kChoices[] = {{"44k1_16bit", 44100, kWidth16},
                  {"96k_24bit_high_precision", 96000, kWidth24Precise}};
  constexpr int kChoiceCount = sizeof kChoices / sizeof kChoices[0];
  double percent[kChoiceCount][kRounds];
  for (int round = 0; round < kRounds; ++round) {
    for (int c = 0; c < kChoiceCount; ++c) {
      percent[c][round] = MeasureChoice(device, kChoices[c].rate, kChoices[c].width);
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
  return 0;
}
