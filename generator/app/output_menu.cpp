// The Output menu: see output_menu.h.
#include "generator/app/output_menu.h"

#include <cstdio>
#include <cstring>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/output_setting.h"

namespace {

struct OutputMenu {
  HMENU menu;
  int device_count;  // playback devices in the menu, CMD_OUTPUT_DEVICE onwards
  bool keep;         // write the choices back at the end
};

OutputMenu g_output;

// What plays now: the selected device's position (from 1), rate and width.
struct Output {
  int device;
  int32_t rate;
  OutputWidth width;
};

Output CurrentOutput() { return {g_audio.stream.device_index, g_audio.sample_rate, g_audio.width}; }

void DeviceName(int device, char* out, size_t size) {
  const WaveDeviceEntry* entry = FindWaveDevice(device, kDirectionPlayback);
  if (entry) {
    SystemDeviceName(entry, out, size);
  } else {
    std::snprintf(out, size, "%s", "?");
  }
}

// Selects the output and opens the device once to hear its answer; the
// engine takes the rate only when the device has taken it. 1, or 0 with the
// device's reason in the stream's error text.
int TryOutput(const Output& output) {
  if (!SelectWaveDevice(&g_audio.stream, output.device)) {
    std::snprintf(g_audio.stream.error_text, sizeof g_audio.stream.error_text,
                  "The device is no longer there.");
    return 0;
  }
  g_audio.sample_rate = output.rate;
  g_audio.width = output.width;
  if (!ApplyStreamFormat()) return 0;
  // A query may accept a format that the open refuses: the open decides.
  if (OpenStream(&g_audio.stream) != 0) return 0;
  CloseStream(&g_audio.stream);
  if (!SetGeneratorFormat(&g_app.engine, static_cast<float>(output.rate), 2)) {
    std::snprintf(g_audio.stream.error_text, sizeof g_audio.stream.error_text, "Not enough memory");
    return 0;
  }
  return 1;
}

void ChooseOutput(HWND window, const Output& chosen) {
  const Output previous = CurrentOutput();
  if (chosen.device == previous.device && chosen.rate == previous.rate &&
      chosen.width == previous.width) {
    return;
  }
  StopAudio();
  if (TryOutput(chosen)) {
    g_output.keep = true;
  } else {
    char chosen_name[kDeviceNameBytes], previous_name[kDeviceNameBytes];
    DeviceName(chosen.device, chosen_name, sizeof chosen_name);
    DeviceName(previous.device, previous_name, sizeof previous_name);
    char text[768];
    std::snprintf(text, sizeof text,
                  "\"%s\" cannot play %s %s:\n%s\n\nThe output stays as it was: \"%s\", %s %s.",
                  chosen_name, OutputRateText(chosen.rate), OutputWidthText(chosen.width),
                  GetStreamError(&g_audio.stream), previous_name, OutputRateText(previous.rate),
                  OutputWidthText(previous.width));
    ClearStreamError(&g_audio.stream);
    MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
    const Output fallback = {1, kDefaultOutputRate, kWidth16};
    if (!TryOutput(previous) && !TryOutput(fallback)) {
      // What played a moment ago is gone too (a device unplugged), and so is
      // the mapper: the window stays, silent, and says so; any later choice
      // tries again.
      std::snprintf(text, sizeof text,
                    "No output can be opened:\n%s\n\nGenerator stays silent until a choice "
                    "of the Output menu opens.",
                    GetStreamError(&g_audio.stream));
      ClearStreamError(&g_audio.stream);
      SetGeneratorFormat(&g_app.engine, static_cast<float>(g_audio.sample_rate), 2);
      MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
    }
  }
  ResetGenerator(&g_app.engine);
  StartAudio();
}

// A device name as a menu item: an ampersand is shown, not a mnemonic.
void MenuText(const char* name, char* out, size_t size) {
  size_t n = 0;
  for (const char* c = name; *c && n + 2 < size; ++c) {
    if (*c == '&') out[n++] = '&';
    out[n++] = *c;
  }
  out[n] = '\0';
}

}  // namespace

void SelectKeptOutput(HWND window) {
  const OutputChoice kept = ReadOutputSetting(&g_output.keep);
  g_audio.sample_rate = kDefaultOutputRate;
  g_audio.width = kWidth16;
  if (!g_output.keep) return;
  const int found = FindKeptWaveDevice(kept, kDirectionPlayback);
  const Output wanted = {found > 0 ? found : 1, kept.rate, kept.width};
  if (wanted.device == 1 && wanted.rate == kDefaultOutputRate && wanted.width == kWidth16) return;
  // As for a choice from the menu, the device's open is its answer; the
  // engine is made at the rate chosen here, after this.
  SelectWaveDevice(&g_audio.stream, wanted.device);
  g_audio.sample_rate = wanted.rate;
  g_audio.width = wanted.width;
  if (ApplyStreamFormat() && OpenStream(&g_audio.stream) == 0) {
    CloseStream(&g_audio.stream);
    return;
  }
  char name[kDeviceNameBytes], mapper[kDeviceNameBytes];
  DeviceName(wanted.device, name, sizeof name);
  DeviceName(1, mapper, sizeof mapper);
  char text[768];
  std::snprintf(text, sizeof text,
                "\"%s\" cannot play %s %s:\n%s\n\nGenerator plays through \"%s\" at %s %s.", name,
                OutputRateText(wanted.rate), OutputWidthText(wanted.width),
                GetStreamError(&g_audio.stream), mapper, OutputRateText(kDefaultOutputRate),
                OutputWidthText(kWidth16));
  ClearStreamError(&g_audio.stream);
  SelectWaveDevice(&g_audio.stream, 1);
  g_audio.sample_rate = kDefaultOutputRate;
  g_audio.width = kWidth16;
  MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
}

int AppendOutputMenu(HWND window) {
  HMENU bar = GetMenu(window);
  HMENU menu = CreatePopupMenu();
  if (!bar || !menu) {
    if (menu) DestroyMenu(menu);
    return 0;
  }
  g_output.device_count = 0;
  for (int device = 1; CMD_OUTPUT_DEVICE + device - 1 <= CMD_OUTPUT_DEVICE_LAST; ++device) {
    const WaveDeviceEntry* entry = FindWaveDevice(device, kDirectionPlayback);
    if (!entry) break;
    char name[kDeviceNameBytes], text[2 * kDeviceNameBytes];
    SystemDeviceName(entry, name, sizeof name);
    MenuText(name, text, sizeof text);
    AppendMenuA(menu, MF_STRING, CMD_OUTPUT_DEVICE + device - 1, text);
    g_output.device_count = device;
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  for (int i = 0; i < kOutputRateCount; ++i) {
    AppendMenuA(menu, MF_STRING, CMD_OUTPUT_RATE + i, OutputRateText(kOutputRates[i]));
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  for (int i = 0; i < kOutputWidthCount; ++i) {
    AppendMenuA(menu, MF_STRING, CMD_OUTPUT_WIDTH + i,
                OutputWidthText(static_cast<OutputWidth>(i)));
  }
  // The bar owns the menu from here and destroys it with the window.
  if (!AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), "&Output")) {
    DestroyMenu(menu);
    return 0;
  }
  g_output.menu = menu;
  DrawMenuBar(window);
  return 1;
}

bool OnOutputCommand(HWND window, int command) {
  Output chosen = CurrentOutput();
  if (command >= CMD_OUTPUT_DEVICE && command < CMD_OUTPUT_DEVICE + g_output.device_count) {
    chosen.device = command - CMD_OUTPUT_DEVICE + 1;
  } else if (command >= CMD_OUTPUT_RATE && command < CMD_OUTPUT_RATE + kOutputRateCount) {
    chosen.rate = kOutputRates[command - CMD_OUTPUT_RATE];
  } else if (command >= CMD_OUTPUT_WIDTH && command < CMD_OUTPUT_WIDTH + kOutputWidthCount) {
    chosen.width = static_cast<OutputWidth>(command - CMD_OUTPUT_WIDTH);
  } else {
    return false;
  }
  ChooseOutput(window, chosen);
  return true;
}

void CheckOutputMenu(HMENU menu) {
  if (!g_output.menu || !menu) return;
  const Output now = CurrentOutput();
  auto check = [](int command, bool on) {
    CheckMenuItem(g_output.menu, static_cast<UINT>(command),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  };
  for (int device = 1; device <= g_output.device_count; ++device) {
    check(CMD_OUTPUT_DEVICE + device - 1, device == now.device);
  }
  for (int i = 0; i < kOutputRateCount; ++i)
    check(CMD_OUTPUT_RATE + i, kOutputRates[i] == now.rate);
  for (int i = 0; i < kOutputWidthCount; ++i) check(CMD_OUTPUT_WIDTH + i, i == now.width);
}

void SaveOutputChoice() {
  if (!g_output.keep) return;
  OutputChoice choice = {{0}, g_audio.sample_rate, g_audio.width, g_audio.stream.device_index};
  DeviceName(g_audio.stream.device_index, choice.device, sizeof choice.device);
  WriteOutputSetting(choice);
}
