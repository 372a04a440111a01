// The Output menu end to end: the main window in-process, its choices heard
// through the session's ALSA devices. "wav_capture" writes the capture file
// as a WAV file whose header gives the rate and width the device was opened
// with;
// "rate_44100_only" refuses every other rate when it is opened
// (scripts/alsa-capture.conf). Wine offers both as playback devices once
// winealsa.drv's ALSAOutputDevices names them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/latency_setting.h"
#include "generator/audio/output_setting.h"
#include "tests/generator/app/in_process_generator.h"
#include "tests/generator/signal_measure.h"
#include "tests/generator/wine_paths.h"
#include "tests/wine/test_waits.h"

namespace {

constexpr char kWineAlsaKey[] = "Software\\Wine\\Drivers\\winealsa.drv";

// Offers the two test devices for the whole test program.
class ExtraDevices : public testing::Environment {
  void SetUp() override {
    static const char kNames[] = "wav_capture\0rate_44100_only\0";
    RegSetKeyValueA(HKEY_CURRENT_USER, kWineAlsaKey, "ALSAOutputDevices", REG_MULTI_SZ, kNames,
                    sizeof kNames);
  }
  void TearDown() override {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineAlsaKey, "ALSAOutputDevices");
  }
};
const auto* const g_devices = testing::AddGlobalTestEnvironment(new ExtraDevices);

std::string ScratchDirectory() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "gen_output_" + std::to_string(GetTickCount());
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

void PumpFor(DWORD ms) { PumpMessagesFor(ms); }

std::string MenuText(HWND window, int command) {
  char text[128] = {0};
  GetMenuStringA(GetMenu(window), static_cast<UINT>(command), text, sizeof text, MF_BYCOMMAND);
  return text;
}

// The Output menu's items that carry a check mark.
std::vector<std::string> CheckedOutput(HWND window) {
  HMENU bar = GetMenu(window);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
  std::vector<std::string> checked;
  for (int command = CMD_OUTPUT_DEVICE; command <= CMD_OUTPUT_WIDTH + 2; ++command) {
    const UINT state = GetMenuState(bar, static_cast<UINT>(command), MF_BYCOMMAND);
    if (state != 0xFFFFFFFF && (state & MF_CHECKED)) checked.push_back(MenuText(window, command));
  }
  return checked;
}

int DeviceCommand(HWND window, const std::string& name) {
  for (int command = CMD_OUTPUT_DEVICE; command <= CMD_OUTPUT_DEVICE_LAST; ++command) {
    if (MenuText(window, command) == name) return command;
  }
  return 0;
}

struct CapturedWav {
  int format_tag = 0, channels = 0, rate = 0, bits = 0;
  std::vector<double> left;  // the last frames, full scale 1.0
};

// The WAV capture's header and its last `frames` left samples.
CapturedWav ReadCapture(size_t frames) {
  CapturedWav wav;
  HANDLE file = CreateFileA(AudioCapturePath().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return wav;
  std::vector<unsigned char> b(GetFileSize(file, nullptr));
  DWORD got = 0;
  ReadFile(file, b.data(), static_cast<DWORD>(b.size()), &got, nullptr);
  CloseHandle(file);
  b.resize(got);
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0) return wav;
  auto at = [&](size_t i, int n) {
    int32_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = v << 8 | b[i + static_cast<size_t>(k)];
    return v;
  };
  wav = {at(20, 2), at(22, 2), at(24, 4), at(34, 2), {}};
  size_t data = 12;  // the chunk after "data"
  while (data + 8 <= b.size() && std::memcmp(b.data() + data, "data", 4) != 0) {
    data += 8 + static_cast<uint32_t>(at(data + 4, 4));
  }
  data += 8;
  const size_t sample_bytes = static_cast<size_t>(wav.bits / 8);
  if (sample_bytes < 2 || data > b.size()) return wav;
  const size_t available = (b.size() - data) / (2 * sample_bytes);
  for (size_t f = available > frames ? available - frames : 0; f < available; ++f) {
    const int32_t v = at(data + 2 * sample_bytes * f, static_cast<int>(sample_bytes));
    const int shift = 32 - 8 * static_cast<int>(sample_bytes);  // sign-extend
    wav.left.push_back(static_cast<int32_t>(static_cast<uint32_t>(v) << shift) / (1 << shift) /
                       (sample_bytes == 3 ? 8388607.0 : 32767.0));
  }
  return wav;
}

// The longest run of exact zeros in `x`: where it starts, how long it is.
struct Silence {
  size_t first, frames;
};
Silence LongestSilence(const std::vector<double>& x) {
  Silence longest = {0, 0};
  size_t run = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    run = x[i] == 0.0 ? run + 1 : 0;
    if (run > longest.frames) longest = {i + 1 - run, run};
  }
  return longest;
}

// Answers the message box titled "Output" once and keeps its text.
DWORD WINAPI AnswerOutputBox(LPVOID parameter) {
  auto* text = static_cast<std::string*>(parameter);
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
      *text = buffer;
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

// The J-test through the Signals menu to the device in the program's 24-bit
// width at 44.1 and 48 kHz: its codes as the device received them, bit for
// bit, whatever the level and the dither of the width.
TEST(GeneratorOutput, TheJTestReachesTheDeviceBitForBitIn24Bits) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  int jtest = 0;
  for (int command = CMD_SIGNALS; command <= CMD_SIGNALS_LAST; ++command) {
    if (MenuText(g.window, command) == "J-test") jtest = command;
  }
  ASSERT_NE(jtest, 0);
  SendMessageA(g.window, WM_COMMAND,
               static_cast<WPARAM>(DeviceCommand(g.window, "Out: wav_capture")), 0);
  SendMessageA(g.window, WM_COMMAND, CMD_OUTPUT_WIDTH + kWidth24Precise, 0);
  SendMessageA(g.window, WM_COMMAND, static_cast<WPARAM>(jtest), 0);
  TurnOnAtMinusOneDbfs();
  for (int rate_item : {0, 1}) {
    const int rate = kOutputRates[rate_item];
    SCOPED_TRACE(rate);
    SendMessageA(g.window, WM_COMMAND, CMD_OUTPUT_RATE + rate_item, 0);
    // The last half of the first second or more: the stream's first block is
    // the silence it starts with.
    const size_t wanted = static_cast<size_t>(rate);
    CapturedWav wav;
    PollUntil(10000, 0, [&] {
      PumpFor(200);
      wav = ReadCapture(wanted);
      return wav.left.size() >= wanted;
    });
    EXPECT_EQ(wav.rate, rate);
    ASSERT_EQ(wav.bits, 24);
    ASSERT_EQ(wav.left.size(), wanted);
    std::vector<int32_t> codes;
    for (size_t f = wanted / 2; f < wanted; ++f) {
      codes.push_back(static_cast<int32_t>(std::lround(wav.left[f] * 8388607.0)));
    }
    size_t start = 1;  // the first frame of a period: C00000 after 3FFFFF
    while (start < 200 && !(codes[start] == -0x400000 && codes[start - 1] == 0x3FFFFF)) ++start;
    ASSERT_LT(start, 200u);
    for (size_t f = start; f < codes.size(); ++f) {
      const int n = static_cast<int>((f - start) % 192);
      ASSERT_EQ(codes[f], ((n & 3) < 2 ? -0x400000 : 0x400000) - (n >= 96 ? 1 : 0)) << f;
    }
  }
}

// The menu as a user meets it, each choice as the device receives it, a
// refused rate with its message, and the choices after a restart.
TEST(GeneratorOutput, ChoicesReachTheDeviceAndSurviveARestart) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  const std::string dir = ScratchDirectory();
  char mapper[64] = {0};
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    char title[32] = {0};
    GetMenuStringA(GetMenu(g.window), 2, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, "&Output");
    std::snprintf(mapper, sizeof mapper, "%s", MenuText(g.window, CMD_OUTPUT_DEVICE).c_str());
    EXPECT_STREQ(mapper, "Wine Sound Mapper");  // the wave mapper first, as the system names it
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{mapper, "44.1 kHz", "16-bit"}));  // today's program
    const int wav_device = DeviceCommand(g.window, "Out: wav_capture");
    const int refusing = DeviceCommand(g.window, "Out: rate_44100_only");
    ASSERT_NE(wav_device, 0);
    ASSERT_NE(refusing, 0);

    TurnOnAtMinusOneDbfs();
    struct Row {
      int rate_item, width_item, rate, format_bits;
      double thd_n_below;
    };
    const Row rows[] = {
        {0, 0, 44100, 16, -80.0},   // the engine's own 16 bits
        {1, 0, 48000, 16, -80.0},   // the engine at another rate
        {1, 1, 48000, 16, -92.0},   // 16-bit high precision
        {1, 2, 48000, 24, -135.0},  // 24-bit high precision
        {2, 2, 88200, 24, -135.0}, {4, 1, 192000, 16, -92.0}, {3, 2, 96000, 24, -135.0},
    };
    SendMessageA(g.window, WM_COMMAND, static_cast<WPARAM>(wav_device), 0);
    for (const Row& row : rows) {
      SCOPED_TRACE(row.rate);
      SendMessageA(g.window, WM_COMMAND, CMD_OUTPUT_RATE + row.rate_item, 0);
      SendMessageA(g.window, WM_COMMAND, CMD_OUTPUT_WIDTH + row.width_item, 0);
      // One second past the level ramp: through 16-bit dither a quarter of a
      // second measures the frequency only to about 5e-10 (one sigma).
      const size_t wanted = static_cast<size_t>(row.rate) * 5 / 4;
      CapturedWav wav;
      PollUntil(10000, 0, [&] {
        PumpFor(200);
        wav = ReadCapture(wanted);
        return wav.left.size() >= wanted;
      });
      // Silence inside a second of a sine at -1 dBFS is a gap in what the
      // device received; said, so that a failed fit shows whether it was one.
      if (wav.left.size() == wanted) {
        const Silence gap = LongestSilence(
            Slice(wav.left, wanted - static_cast<size_t>(row.rate), static_cast<size_t>(row.rate)));
        if (gap.frames >= 4) {
          std::printf("%d Hz %d-bit: %zu frames of silence from frame %zu of the measured second\n",
                      row.rate, row.format_bits, gap.frames, gap.first);
        }
      }
      EXPECT_TRUE(wav.format_tag == 1 || wav.format_tag == 0xFFFE) << wav.format_tag;
      EXPECT_EQ(wav.channels, 2);
      EXPECT_EQ(wav.rate, row.rate);
      EXPECT_EQ(wav.bits, row.format_bits);
      ASSERT_EQ(wav.left.size(), wanted);
      const SineFit fit = FitSine(
          Slice(wav.left, wanted - static_cast<size_t>(row.rate), static_cast<size_t>(row.rate)),
          1000.0, row.rate);
      EXPECT_NEAR(fit.hz, 1000.0, 1000.0 * (row.width_item == 0 ? 1e-6 : 1e-9));
      EXPECT_NEAR(20 * std::log10(fit.amplitude), -1.0, 0.01);
      EXPECT_LT(fit.thd_n_db, row.thd_n_below);
      std::printf("%d Hz %d-bit: THD+N %.1f dB, frequency error %.2g\n", row.rate, row.format_bits,
                  fit.thd_n_db, fit.hz / 1000.0 - 1.0);
    }
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{"Out: wav_capture", "96 kHz", "24-bit high precision"}));

    // A device that refuses the rate: its message, and 96 kHz plays on.
    std::string message;
    HANDLE answerer = CreateThread(nullptr, 0, AnswerOutputBox, &message, 0, nullptr);
    SendMessageA(g.window, WM_COMMAND, static_cast<WPARAM>(refusing), 0);
    WaitForSingleObject(answerer, INFINITE);
    CloseHandle(answerer);
    EXPECT_NE(message.find("\"Out: rate_44100_only\" cannot play 96 kHz 24-bit high precision"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("\"Out: wav_capture\", 96 kHz 24-bit high precision"), std::string::npos)
        << message;
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{"Out: wav_capture", "96 kHz", "24-bit high precision"}));
    PumpFor(800);
    const CapturedWav still = ReadCapture(24000);
    EXPECT_EQ(still.rate, 96000);
    ASSERT_EQ(still.left.size(), 24000u);
    EXPECT_NEAR(FitSine(still.left, 1000.0, 96000).hz, 1000.0, 1e-6);
  }
  // A restart plays what was chosen.
  DWORD position = 0, size = sizeof position;
  RegGetValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputDevicePositionValueName, RRF_RT_REG_DWORD,
               nullptr, &position, &size);
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    EXPECT_EQ(position, static_cast<DWORD>(g_audio.stream.device_index));
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{"Out: wav_capture", "96 kHz", "24-bit high precision"}));
    TurnOnAtMinusOneDbfs();
    PumpFor(1200);
    const CapturedWav wav = ReadCapture(24000);
    EXPECT_EQ(wav.rate, 96000);
    EXPECT_EQ(wav.bits, 24);
    ASSERT_EQ(wav.left.size(), 24000u);
    EXPECT_LT(FitSine(wav.left, 1000.0, 96000).thd_n_db, -135.0);
  }
  // Values outside the menu and a device that is gone give the defaults.
  KeepOutput("Gone", 44000, 7);
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    EXPECT_EQ(CheckedOutput(g.window), (std::vector<std::string>{mapper, "44.1 kHz", "16-bit"}));
  }
  // A kept device that no longer opens with what was kept is named, and the
  // mapper plays the defaults.
  KeepOutput("Out: rate_44100_only", 96000, kWidth24Precise);
  std::string message;
  HANDLE answerer = CreateThread(nullptr, 0, AnswerOutputBox, &message, 0, nullptr);
  {
    InProcessGenerator g(dir);
    WaitForSingleObject(answerer, INFINITE);
    CloseHandle(answerer);
    ASSERT_NE(g.window, nullptr);
    EXPECT_NE(message.find("\"Out: rate_44100_only\" cannot play 96 kHz 24-bit high precision"),
              std::string::npos)
        << message;
    EXPECT_EQ(CheckedOutput(g.window), (std::vector<std::string>{mapper, "44.1 kHz", "16-bit"}));
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
}

}  // namespace
