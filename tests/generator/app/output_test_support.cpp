// What the tests of the Output menu share: see output_test_support.h.
#include "tests/generator/app/output_test_support.h"

#include <cstring>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/audio/latency_setting.h"
#include "generator/audio/output_choice.h"
#include "generator/audio/output_setting.h"
#include "generator/engine/engine.h"
#include "tests/generator/wine_paths.h"
#include "tests/wine/test_waits.h"

std::string ScratchDirectory() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "gen_output_" + std::to_string(GetTickCount());
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

std::string MenuText(HWND window, int command) {
  char text[256] = {0};
  GetMenuStringA(GetMenu(window), static_cast<UINT>(command), text, sizeof text, MF_BYCOMMAND);
  return text;
}

// The Output menu as it opens: its items made afresh, then checked.
static HMENU OpenedOutputMenu(HWND window) {
  HMENU bar = GetMenu(window);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    HMENU popup = GetSubMenu(bar, i);
    if (popup && GetMenuState(popup, CMD_OUTPUT_RATE, MF_BYCOMMAND) != 0xFFFFFFFF) {
      SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), i);
    }
  }
  return bar;
}

static std::vector<std::string> CheckedIn(HWND window, int first, int last) {
  HMENU bar = OpenedOutputMenu(window);
  std::vector<std::string> checked;
  for (int command = first; command <= last; ++command) {
    const UINT state = GetMenuState(bar, static_cast<UINT>(command), MF_BYCOMMAND);
    if (state != 0xFFFFFFFF && (state & MF_CHECKED)) checked.push_back(MenuText(window, command));
  }
  return checked;
}

std::vector<std::string> CheckedOutput(HWND window) {
  return CheckedIn(window, CMD_OUTPUT_DEVICE, CMD_OUTPUT_WIDTH + kOutputWidthCount - 1);
}

std::string CheckedInterface(HWND window) {
  const std::vector<std::string> checked =
      CheckedIn(window, CMD_OUTPUT_INTERFACE, CMD_OUTPUT_INTERFACE + kOutputInterfaceCount - 1);
  return checked.size() == 1 ? checked[0] : std::string();
}

int DeviceCommand(HWND window, const std::string& name) {
  OpenedOutputMenu(window);
  for (int command = CMD_OUTPUT_DEVICE; command <= CMD_OUTPUT_DEVICE_LAST; ++command) {
    if (MenuText(window, command) == name) return command;
  }
  return 0;
}

int SignalCommand(HWND window, const std::string& name) {
  for (int command = CMD_SIGNALS; command <= CMD_SIGNALS_LAST; ++command) {
    if (MenuText(window, command) == name) return command;
  }
  return 0;
}

CapturedWav ReadCapture(size_t frames, Samples samples) {
  CapturedWav wav;
  HANDLE file = CreateFileA(AudioCapturePath().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return wav;
  std::vector<unsigned char> b(GetFileSize(file, nullptr));
  DWORD got = 0;
  ReadFile(file, b.data(), static_cast<DWORD>(b.size()), &got, nullptr);
  CloseHandle(file);
  b.resize(got);
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0) return wav;
  auto at = [&](size_t i, int n) {
    uint32_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = v << 8 | b[i + static_cast<size_t>(k)];
    return v;
  };
  wav.format_tag = static_cast<int>(at(20, 2));
  wav.channels = static_cast<int>(at(22, 2));
  wav.rate = static_cast<int>(at(24, 4));
  wav.bits = static_cast<int>(at(34, 2));
  size_t data = 12;  // the chunk after "data"
  while (data + 8 <= b.size() && std::memcmp(b.data() + data, "data", 4) != 0) {
    data += 8 + at(data + 4, 4);
  }
  data += 8;
  const size_t sample_bytes = static_cast<size_t>(wav.bits / 8);
  if (sample_bytes < 2 || sample_bytes > 4 || data > b.size()) return wav;
  const bool is_float = wav.format_tag == 3 || samples == Samples::kFloat;  // 3: IEEE float
  const size_t available = (b.size() - data) / (2 * sample_bytes);
  wav.total_frames = available;
  const int shift = 32 - 8 * static_cast<int>(sample_bytes);  // sign-extends
  const double full_scale = sample_bytes == 2   ? 32767.0
                            : sample_bytes == 3 ? 8388607.0
                                                : 2147483648.0;
  for (size_t f = available > frames ? available - frames : 0; f < available; ++f) {
    const uint32_t v = at(data + 2 * sample_bytes * f, static_cast<int>(sample_bytes));
    if (is_float && sample_bytes == 4) {
      float x;
      std::memcpy(&x, &v, sizeof x);
      wav.codes.push_back(0);
      wav.left.push_back(x);
      continue;
    }
    const int32_t code = static_cast<int32_t>(v << shift) >> shift;
    wav.codes.push_back(code);
    wav.left.push_back(code / full_scale);
  }
  return wav;
}

CapturedWav WaitForCapture(size_t frames, Samples samples) {
  CapturedWav wav;
  PollUntil(10000, 0, [&] {
    PumpMessagesFor(200);
    wav = ReadCapture(frames, samples);
    return wav.left.size() >= frames;
  });
  return wav;
}

CapturedWav WaitForNewCapture(size_t frames, Samples samples) {
  const size_t before = ReadCapture(0, samples).total_frames;
  CapturedWav wav;
  PollUntil(10000, 0, [&] {
    PumpMessagesFor(200);
    wav = ReadCapture(frames, samples);
    // A file made afresh (a new stream) counts from its start.
    return wav.total_frames >= frames &&
           (wav.total_frames < before || wav.total_frames >= before + frames);
  });
  return wav;
}

Silence LongestSilence(const std::vector<double>& x) {
  Silence longest = {0, 0};
  size_t run = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    run = x[i] == 0.0 ? run + 1 : 0;
    if (run > longest.frames) longest = {i + 1 - run, run};
  }
  return longest;
}

OutputBoxAnswer::OutputBoxAnswer() { thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr); }

OutputBoxAnswer::~OutputBoxAnswer() { Text(); }

bool OutputBoxAnswer::Done() const {
  return !thread_ || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
}

const std::string& OutputBoxAnswer::Text() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return text_;
}

DWORD WINAPI OutputBoxAnswer::Run(LPVOID self) {
  auto* answer = static_cast<OutputBoxAnswer*>(self);
  HWND box = nullptr;
  if (!PollUntil(10000, 50, [&] { return (box = FindWindowA("#32770", "Output")) != nullptr; })) {
    return 0;
  }
  char buffer[1024] = {0};
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[32];
    GetClassNameA(child, name, sizeof name);
    if (_stricmp(name, "Static") == 0 && GetWindowTextA(child, buffer, sizeof buffer) > 0 &&
        std::strchr(buffer, '"')) {
      answer->text_ = buffer;
    }
  }
  SendMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}

void KeepOutput(const char* device, DWORD rate, DWORD width) {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputDevicePositionValueName);  // older
  RegSetKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kSampleRateValueName, REG_DWORD, &rate, 4);
  RegSetKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kSampleWidthValueName, REG_DWORD, &width, 4);
  RegSetKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputDeviceValueName, REG_SZ, device,
                  static_cast<DWORD>(std::strlen(device) + 1));
}

void TurnOnAtMinusOneDbfs() {
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  s.on = 1;
  s.level_db = -1.0f;
  SetGeneratorSettings(g_app.engine, &s);
}
