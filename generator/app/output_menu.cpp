// The Output menu: see output_menu.h.
#include "generator/app/output_menu.h"

#include <cstdio>
#include <cstring>

#include "generator/app/app_info.h"
#include "generator/app/level_dialog.h"
#include "generator/app/level_setting.h"
#include "generator/app/main_window.h"
#include "generator/app/panel.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/output_setting.h"
#include "generator/audio/wasapi_stream.h"

namespace {

constexpr int kMaxDeviceItems = CMD_OUTPUT_DEVICE_LAST - CMD_OUTPUT_DEVICE + 1;
constexpr int kFirstDeviceItem = kOutputInterfaceCount + 1;  // after the interfaces and a separator

// An output as the menu chooses it: the interface, the wave device and the
// WASAPI endpoint (each interface keeps its own), the rate and the width.
struct Output {
  OutputInterface interface_kind;
  int wave_device;                     // the wave device's position, the mapper 1
  wchar_t endpoint[kEndpointIdBytes];  // WASAPI: the endpoint's id, "" the default
  char endpoint_name[256];             // its name, for the messages
  int32_t rate;                        // chosen; WASAPI shared plays the mix rate instead
  OutputWidth width;
};

struct OutputMenu {
  HMENU menu;
  int device_count;  // device items in the menu now, CMD_OUTPUT_DEVICE onwards
  bool keep;         // write the choices back at the end
  Output now;        // what plays
  // What the device items show under WASAPI: the default first, then every
  // active render endpoint.
  WasapiEndpoint endpoints[kMaxDeviceItems];
  int endpoint_count;
};

OutputMenu g_output;

bool IsWasapi(OutputInterface interface_kind) { return interface_kind != kInterfaceWave; }

Output DefaultOutput() {
  Output out = {};
  out.interface_kind = kInterfaceWave;
  out.wave_device = 1;
  out.rate = kDefaultOutputRate;
  out.width = kWidth16;
  return out;
}

// The device's name as the user knows it, and for WASAPI its interface.
void OutputName(const Output& out, char* name, size_t size, char* suffix, size_t suffix_size) {
  if (IsWasapi(out.interface_kind)) {
    std::snprintf(name, size, "%s", out.endpoint_name[0] ? out.endpoint_name : "Default device");
    std::snprintf(suffix, suffix_size, " (WASAPI %s)",
                  out.interface_kind == kInterfaceShared ? "shared" : "exclusive");
    return;
  }
  suffix[0] = '\0';
  const WaveDeviceEntry* entry = FindWaveDevice(out.wave_device, kDirectionPlayback);
  if (entry) {
    SystemDeviceName(entry, name, size);
  } else {
    std::snprintf(name, size, "%s", "?");
  }
}

constexpr char kOutputLevelItem[] = "Output level...";
constexpr size_t kCalibrationNameBytes = 300;

// The name of the output's calibration: its interface and its device as the
// menu names it.
void CalibrationName(const Output& out, char* name, size_t size) {
  char device[256], suffix[32];
  OutputName(out, device, sizeof device, suffix, sizeof suffix);
  OutputLevelName(out.interface_kind, device, name, size);
}

// The reference of the output-level dialog: the default set-up (a 1 kHz
// sine at -10 dBFS, centred, no gain) switched on; the set-up before it
// comes back when it ends.
GeneratorSettings g_before_reference;

void PlayReferenceTone(bool on, void* window) {
  if (on) {
    GetGeneratorSettings(g_app.engine, &g_before_reference);
    GeneratorSettings reference = kGeneratorDefaults;
    reference.level_db = static_cast<float>(kReferenceDbfs);
    reference.on = 1;
    SetGeneratorSettings(g_app.engine, &reference);
    SendMessageA(static_cast<HWND>(window), WM_COMMAND, CMD_START_AUDIO, 0);
  } else {
    SetGeneratorSettings(g_app.engine, &g_before_reference);
  }
  RefreshPanel(&g_panel);
}

void AskOutputLevel(HWND window) {
  char name[kCalibrationNameBytes], device[256], suffix[32], title[300];
  CalibrationName(g_output.now, name, sizeof name);
  OutputName(g_output.now, device, sizeof device, suffix, sizeof suffix);
  std::snprintf(title, sizeof title, "%s%s", device, suffix);
  LevelCalibration calibration = {ReadLevelUnit(), ReadFullScale(name)};
  const LevelDialogLook look = {g_app.skins[kSkinOutputLevel], g_app.skins[kSkinButtonOn],
                                g_app.skins[kSkinButtonOff]};
  if (!AskForOutputLevel(window, look, title, PlayReferenceTone, window, &calibration)) return;
  WriteLevelUnit(calibration.unit);
  if (IsCalibrated(calibration.full_scale_volts)) {
    WriteFullScale(name, calibration.full_scale_volts);
  }
  ShowOutputLevels();
}

// The rate the output plays at: the chosen one, or the mix rate in shared mode.
const char* PlayedRateText(const Output& out) {
  return OutputRateText(out.interface_kind == kInterfaceShared ? g_audio.mix_rate : out.rate);
}

// Selects the output and opens it once to hear its answer; the engine takes
// the rate only when the device has taken it. 1, or 0 with the device's
// reason in `error`.
int TryOutput(const Output& out, char* error, size_t size) {
  int selected = 0;
  if (IsWasapi(out.interface_kind)) {
    const int type = out.interface_kind == kInterfaceShared ? kDriverTypeWasapiShared
                                                            : kDriverTypeWasapiExclusive;
    selected = SelectStreamDevice(&g_audio.stream, WasapiDeviceEntry(type, 1, out.endpoint_name), 1,
                                  out.endpoint);
  } else {
    selected = SelectWaveDevice(&g_audio.stream, out.wave_device);
  }
  if (!selected) {
    std::snprintf(error, size, "The device is no longer there.");
    return 0;
  }
  g_audio.interface_kind = out.interface_kind;
  g_audio.mix_rate = out.interface_kind == kInterfaceShared ? WasapiMixRate(out.endpoint) : 0;
  if (out.interface_kind == kInterfaceShared && g_audio.mix_rate <= 0) {
    std::snprintf(error, size, "The device is no longer there.");
    return 0;
  }
  g_audio.sample_rate = out.interface_kind == kInterfaceShared ? g_audio.mix_rate : out.rate;
  g_audio.width = out.width;
  if (!ApplyStreamFormat()) {
    std::snprintf(error, size, "%s", GetStreamError(&g_audio.stream));
    return 0;
  }
  // A query may accept a format that the open refuses: the open decides.
  if (!ProbeStream(error, size)) return 0;
  // At the start the engine is made afterwards, at this rate.
  if (g_app.engine &&
      !SetGeneratorFormat(&g_app.engine, static_cast<float>(g_audio.sample_rate), 2)) {
    std::snprintf(error, size, "Not enough memory");
    return 0;
  }
  g_output.now = out;
  return 1;
}

// "\"Speakers\" (WASAPI exclusive) cannot play 96 kHz 24-bit high
// precision:\n<cause>" into `text`, and what follows appended by the caller.
int RefusalText(const Output& out, const char* cause, char* text, size_t size) {
  char name[256], suffix[32];
  OutputName(out, name, sizeof name, suffix, sizeof suffix);
  return std::snprintf(
      text, size, "\"%s\"%s cannot play %s %s:\n%s", name, suffix,
      out.interface_kind == kInterfaceShared ? "its mix rate" : OutputRateText(out.rate),
      OutputWidthText(out.width), cause);
}

// The refusal of `out`, and that the wave mapper plays the defaults
// instead, into `text`.
void MapperFallbackText(const Output& out, const char* cause, char* text, size_t size) {
  char mapper[kDeviceNameBytes] = "Wave Mapper";
  const WaveDeviceEntry* first = FindWaveDevice(1, kDirectionPlayback);
  if (first) SystemDeviceName(first, mapper, sizeof mapper);
  const int n = RefusalText(out, cause, text, size);
  if (n > 0 && static_cast<size_t>(n) < size) {
    std::snprintf(text + n, size - static_cast<size_t>(n),
                  "\n\nGenerator plays through \"%s\" at %s %s.", mapper,
                  OutputRateText(kDefaultOutputRate), OutputWidthText(kWidth16));
  }
}

void ChooseOutput(HWND window, const Output& chosen) {
  const Output previous = g_output.now;
  if (std::memcmp(&chosen, &previous, sizeof chosen) == 0) return;
  StopAudio();
  char error[256];
  if (TryOutput(chosen, error, sizeof error)) {
    g_output.keep = true;
  } else {
    char text[1024], name[256], suffix[32];
    const int n = RefusalText(chosen, error, text, sizeof text);
    OutputName(previous, name, sizeof name, suffix, sizeof suffix);
    if (n > 0 && static_cast<size_t>(n) < sizeof text) {
      std::snprintf(text + n, sizeof text - static_cast<size_t>(n),
                    "\n\nThe output stays as it was: \"%s\"%s, %s %s.", name, suffix,
                    PlayedRateText(previous), OutputWidthText(previous.width));
    }
    MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
    if (!TryOutput(previous, error, sizeof error) &&
        !TryOutput(DefaultOutput(), error, sizeof error)) {
      // What played a moment ago is gone too (a device unplugged), and so is
      // the mapper: the window stays, silent, and says so; any later choice
      // tries again.
      std::snprintf(text, sizeof text,
                    "No output can be opened:\n%s\n\nGenerator stays silent until a choice "
                    "of the Output menu opens.",
                    error);
      SetGeneratorFormat(&g_app.engine, static_cast<float>(g_audio.sample_rate), 2);
      MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
    }
  }
  ClearStreamError(&g_audio.stream);
  ResetGenerator(&g_app.engine);
  StartAudio();
}

// Windows changed its default endpoint: a shared stream the user chose as
// "Default device" moves to the new one, at its mix rate, as a choice
// would; everything else plays on where it is.
void FollowDefaultEndpoint(HWND window) {
  const Output now = g_output.now;
  if (now.interface_kind != kInterfaceShared || now.endpoint[0] != L'\0') return;
  const bool playing = g_audio.run.load() == 1;
  StopAudio();
  char error[256];
  if (!TryOutput(now, error, sizeof error)) {
    // The new default does not open: said, and the wave mapper plays.
    char text[1024];
    MapperFallbackText(now, error, text, sizeof text);
    MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
    TryOutput(DefaultOutput(), error, sizeof error);
  }
  ClearStreamError(&g_audio.stream);
  ResetGenerator(&g_app.engine);
  if (playing) StartAudio();
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

// The device items of the interface that plays, in place of those there.
void MakeDeviceItems() {
  HMENU menu = g_output.menu;
  for (int i = 0; i < g_output.device_count; ++i) {
    DeleteMenu(menu, static_cast<UINT>(CMD_OUTPUT_DEVICE + i), MF_BYCOMMAND);
  }
  g_output.device_count = 0;
  const bool wasapi = IsWasapi(g_output.now.interface_kind);
  if (wasapi) g_output.endpoint_count = ListRenderEndpoints(g_output.endpoints, kMaxDeviceItems);
  for (int i = 0; i < kMaxDeviceItems; ++i) {
    char name[kDeviceNameBytes + 256], text[2 * sizeof name];
    if (wasapi) {
      if (i >= g_output.endpoint_count) break;
      if (i == 0) {
        std::snprintf(name, sizeof name, "Default device (%s)", g_output.endpoints[0].name);
      } else {
        std::snprintf(name, sizeof name, "%s", g_output.endpoints[i].name);
      }
    } else {
      const WaveDeviceEntry* entry = FindWaveDevice(i + 1, kDirectionPlayback);
      if (!entry) break;
      SystemDeviceName(entry, name, kDeviceNameBytes);
    }
    MenuText(name, text, sizeof text);
    InsertMenuA(menu, static_cast<UINT>(kFirstDeviceItem + i), MF_BYPOSITION | MF_STRING,
                static_cast<UINT_PTR>(CMD_OUTPUT_DEVICE + i), text);
    g_output.device_count = i + 1;
  }
}

// The interfaces' items, the shared one naming the rate Windows mixes at.
void NameInterfaces() {
  const wchar_t* endpoint = IsWasapi(g_output.now.interface_kind) ? g_output.now.endpoint : L"";
  const int32_t mix_rate = WasapiMixRate(endpoint);
  for (int i = 0; i < kOutputInterfaceCount; ++i) {
    char text[64];
    OutputInterfaceText(static_cast<OutputInterface>(i), mix_rate, text, sizeof text);
    ModifyMenuA(g_output.menu, static_cast<UINT>(CMD_OUTPUT_INTERFACE + i),
                MF_BYCOMMAND | MF_STRING, static_cast<UINT_PTR>(CMD_OUTPUT_INTERFACE + i), text);
  }
}

// The output a device item names under the interface that plays.
Output WithDevice(int item) {
  Output out = g_output.now;
  if (!IsWasapi(out.interface_kind)) {
    out.wave_device = item + 1;
    return out;
  }
  const bool listed = item > 0 && item < g_output.endpoint_count;
  lstrcpynW(out.endpoint, listed ? g_output.endpoints[item].id : L"", kEndpointIdBytes);
  std::snprintf(out.endpoint_name, sizeof out.endpoint_name, "%s",
                listed ? g_output.endpoints[item].name : "");
  return out;
}

}  // namespace

void SelectKeptOutput(HWND window) {
  const OutputChoice kept = ReadOutputSetting(&g_output.keep);
  g_output.now = DefaultOutput();
  g_audio.sample_rate = kDefaultOutputRate;
  g_audio.width = kWidth16;
  g_audio.interface_kind = kInterfaceWave;
  if (!g_output.keep) return;
  Output wanted = DefaultOutput();
  const int found = FindKeptWaveDevice(kept, kDirectionPlayback);
  wanted.wave_device = found > 0 ? found : 1;
  wanted.rate = kept.rate;
  wanted.width = kept.width;
  wanted.interface_kind = kept.interface_kind;
  EndpointIdFromText(kept.endpoint, wanted.endpoint, kEndpointIdBytes);
  if (IsWasapi(wanted.interface_kind) && wanted.endpoint[0]) {
    // Its name, for a message: the endpoint's now, if it is still there.
    std::snprintf(wanted.endpoint_name, sizeof wanted.endpoint_name, "%s", kept.endpoint_name);
    WasapiEndpoint endpoints[kMaxDeviceItems];
    const int count = ListRenderEndpoints(endpoints, kMaxDeviceItems);
    for (int i = 1; i < count; ++i) {
      if (lstrcmpW(endpoints[i].id, wanted.endpoint) == 0) {
        std::snprintf(wanted.endpoint_name, sizeof wanted.endpoint_name, "%s", endpoints[i].name);
      }
    }
  }
  if (std::memcmp(&wanted, &g_output.now, sizeof wanted) == 0) return;
  // As for a choice from the menu, the device's open is its answer; the
  // engine is made at the rate chosen here, after this.
  char error[256];
  if (TryOutput(wanted, error, sizeof error)) return;
  char text[1024];
  MapperFallbackText(wanted, error, text, sizeof text);
  ClearStreamError(&g_audio.stream);
  SelectWaveDevice(&g_audio.stream, 1);
  g_output.now = DefaultOutput();
  g_audio.sample_rate = kDefaultOutputRate;
  g_audio.width = kWidth16;
  g_audio.interface_kind = kInterfaceWave;
  g_audio.mix_rate = 0;
  MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
}

int AppendOutputMenu(HWND window) {
  HMENU bar = GetMenu(window);
  HMENU menu = CreatePopupMenu();
  if (!bar || !menu) {
    if (menu) DestroyMenu(menu);
    return 0;
  }
  for (int i = 0; i < kOutputInterfaceCount; ++i) {
    char text[64];
    OutputInterfaceText(static_cast<OutputInterface>(i), 0, text, sizeof text);
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(CMD_OUTPUT_INTERFACE + i), text);
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);  // after the device items
  for (int i = 0; i < kOutputRateCount; ++i) {
    AppendMenuA(menu, MF_STRING, CMD_OUTPUT_RATE + i, OutputRateText(kOutputRates[i]));
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  for (int i = 0; i < kOutputWidthCount; ++i) {
    AppendMenuA(menu, MF_STRING, CMD_OUTPUT_WIDTH + i,
                OutputWidthText(static_cast<OutputWidth>(i)));
  }
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, CMD_OUTPUT_LEVEL, kOutputLevelItem);
  g_output.menu = menu;
  g_output.device_count = 0;
  MakeDeviceItems();
  // The bar owns the menu from here and destroys it with the window.
  if (!AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), "&Output")) {
    DestroyMenu(menu);
    g_output.menu = nullptr;
    return 0;
  }
  DrawMenuBar(window);
  return 1;
}

void RefreshOutputMenu(HMENU popup) {
  if (!popup || popup != g_output.menu) return;
  MakeDeviceItems();
  NameInterfaces();
  CheckOutputMenu(popup);
}

bool OnOutputCommand(HWND window, int command) {
  Output chosen = g_output.now;
  if (command >= CMD_OUTPUT_INTERFACE && command < CMD_OUTPUT_INTERFACE + kOutputInterfaceCount) {
    chosen.interface_kind = static_cast<OutputInterface>(command - CMD_OUTPUT_INTERFACE);
  } else if (command >= CMD_OUTPUT_DEVICE && command < CMD_OUTPUT_DEVICE + g_output.device_count) {
    chosen = WithDevice(command - CMD_OUTPUT_DEVICE);
  } else if (command >= CMD_OUTPUT_RATE && command < CMD_OUTPUT_RATE + kOutputRateCount) {
    if (chosen.interface_kind == kInterfaceShared) return true;  // the mixer's rate plays
    chosen.rate = kOutputRates[command - CMD_OUTPUT_RATE];
  } else if (command >= CMD_OUTPUT_WIDTH && command < CMD_OUTPUT_WIDTH + kOutputWidthCount) {
    chosen.width = static_cast<OutputWidth>(command - CMD_OUTPUT_WIDTH);
  } else if (command == CMD_OUTPUT_LOST) {
    OnOutputLost(window);
    return true;
  } else if (command == CMD_OUTPUT_DEFAULT_CHANGED) {
    FollowDefaultEndpoint(window);
    return true;
  } else if (command == CMD_OUTPUT_LEVEL) {
    AskOutputLevel(window);
    return true;
  } else {
    return false;
  }
  const OutputInterface before = g_output.now.interface_kind;
  ChooseOutput(window, chosen);
  if (g_output.now.interface_kind != before) MakeDeviceItems();  // the other interface's devices
  ShowOutputLevels();                                            // the calibration is the output's
  return true;
}

void CheckOutputMenu(HMENU menu) {
  if (!g_output.menu || !menu) return;
  const Output& now = g_output.now;
  auto check = [](int command, bool on) {
    CheckMenuItem(g_output.menu, static_cast<UINT>(command),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  };
  for (int i = 0; i < kOutputInterfaceCount; ++i) {
    check(CMD_OUTPUT_INTERFACE + i, i == now.interface_kind);
  }
  for (int item = 0; item < g_output.device_count; ++item) {
    bool on = false;
    if (!IsWasapi(now.interface_kind)) {
      on = item + 1 == g_audio.stream.device_index;
    } else if (item == 0) {
      on = now.endpoint[0] == L'\0';
    } else if (item < g_output.endpoint_count) {
      on = now.endpoint[0] != L'\0' && lstrcmpW(g_output.endpoints[item].id, now.endpoint) == 0;
    }
    check(CMD_OUTPUT_DEVICE + item, on);
  }
  // Shared mode plays the mixer's rate: that one checked, the others greyed.
  const bool shared = now.interface_kind == kInterfaceShared;
  for (int i = 0; i < kOutputRateCount; ++i) {
    check(CMD_OUTPUT_RATE + i, kOutputRates[i] == g_audio.sample_rate);
    EnableMenuItem(g_output.menu, static_cast<UINT>(CMD_OUTPUT_RATE + i),
                   MF_BYCOMMAND | (shared ? MF_GRAYED : MF_ENABLED));
  }
  for (int i = 0; i < kOutputWidthCount; ++i) check(CMD_OUTPUT_WIDTH + i, i == now.width);
  char name[kCalibrationNameBytes], text[64];
  CalibrationName(now, name, sizeof name);
  std::snprintf(text, sizeof text, "%s%s", kOutputLevelItem,
                IsCalibrated(ReadFullScale(name)) ? "" : " (not calibrated)");
  ModifyMenuA(g_output.menu, CMD_OUTPUT_LEVEL, MF_BYCOMMAND | MF_STRING, CMD_OUTPUT_LEVEL, text);
}

void OutputCalibrationName(char* name, size_t size) { CalibrationName(g_output.now, name, size); }

void ShowOutputLevels() {
  char name[kCalibrationNameBytes];
  CalibrationName(g_output.now, name, sizeof name);
  SetPanelLevelView(&g_panel, LevelView{ReadLevelUnit(), ReadFullScale(name)});
}

void OnOutputLost(HWND window) {
  StopAudio();  // joins the thread that ended
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  s.on = 0;
  SetGeneratorSettings(g_app.engine, &s);
  RefreshPanel(&g_panel);
  char name[256], suffix[32], text[512];
  OutputName(g_output.now, name, sizeof name, suffix, sizeof suffix);
  std::snprintf(text, sizeof text, "%s\n\n\"%s\"%s is gone. ON plays again once it is back.",
                kDriverLostText, name, suffix);
  MessageBoxA(window, text, "Output", MB_OK | MB_ICONWARNING);
}

void SaveOutputChoice() {
  if (!g_output.keep) return;
  const Output& now = g_output.now;
  OutputChoice choice = {{0}, now.rate, now.width, now.wave_device, now.interface_kind, {0}, {0}};
  const WaveDeviceEntry* entry = FindWaveDevice(now.wave_device, kDirectionPlayback);
  if (entry) SystemDeviceName(entry, choice.device, sizeof choice.device);
  EndpointIdToText(now.endpoint, choice.endpoint, sizeof choice.endpoint);
  std::snprintf(choice.endpoint_name, sizeof choice.endpoint_name, "%s", now.endpoint_name);
  WriteOutputSetting(choice);
}
