// The Output menu end to end: the main window in-process, its choices heard
// through the session's ALSA devices. "wav_capture" plays in real time, as a
// sound card does, and writes the capture file as a WAV file whose header
// gives the rate and width the device was opened with;
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
#include "tests/generator/app/output_test_support.h"
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

// The J-test through the Signals menu to the device in the program's 24-bit
// width at 44.1 and 48 kHz: its codes as the device received them, bit for
// bit, whatever the level and the dither of the width.
TEST(GeneratorOutput, TheJTestReachesTheDeviceBitForBitIn24Bits) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  const int jtest = SignalCommand(g.window, "J-test");
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
    const CapturedWav wav = WaitForCapture(wanted);
    EXPECT_EQ(wav.rate, rate);
    ASSERT_EQ(wav.bits, 24);
    ASSERT_EQ(wav.left.size(), wanted);
    const std::vector<int32_t> codes(wav.codes.begin() + wanted / 2, wav.codes.end());
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
      const int32_t late_before = g_audio.stream.late_writes;
      // One second past the level ramp: through 16-bit dither a quarter of a
      // second measures the frequency only to about 5e-10 (one sigma).
      const size_t wanted = static_cast<size_t>(row.rate) * 5 / 4;
      const CapturedWav wav = WaitForCapture(wanted);
      // Silence inside a second of a sine at -1 dBFS is a gap in what the
      // device received: the program's when it wrote late (the device had
      // nothing left), else downstream of it. Said, so that a failed fit
      // shows which.
      const int32_t late_writes = g_audio.stream.late_writes - late_before;
      EXPECT_EQ(late_writes, 0);
      if (wav.left.size() == wanted) {
        const Silence gap = LongestSilence(
            Slice(wav.left, wanted - static_cast<size_t>(row.rate), static_cast<size_t>(row.rate)));
        if (gap.frames >= 4) {
          std::printf(
              "%d Hz %d-bit: %zu frames of silence from frame %zu of the measured second, "
              "%d late writes\n",
              row.rate, row.format_bits, gap.frames, gap.first, late_writes);
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
    OutputBoxAnswer answer;
    SendMessageA(g.window, WM_COMMAND, static_cast<WPARAM>(refusing), 0);
    const std::string message = answer.Text();
    EXPECT_NE(message.find("\"Out: rate_44100_only\" cannot play 96 kHz 24-bit high precision"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("\"Out: wav_capture\", 96 kHz 24-bit high precision"), std::string::npos)
        << message;
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{"Out: wav_capture", "96 kHz", "24-bit high precision"}));
    // Played after the refusal (the stream opens anew): its second quarter
    // second, past the start's ramp.
    const CapturedWav still = WaitForNewCapture(48000);
    EXPECT_EQ(still.rate, 96000);
    ASSERT_EQ(still.left.size(), 48000u);
    EXPECT_NEAR(FitSine(Slice(still.left, 24000, 24000), 1000.0, 96000).hz, 1000.0, 1e-6);
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
    // A second, past the stream's first silence and the level's ramp.
    const CapturedWav wav = WaitForCapture(96000);
    EXPECT_EQ(wav.rate, 96000);
    EXPECT_EQ(wav.bits, 24);
    ASSERT_EQ(wav.left.size(), 96000u);
    EXPECT_LT(FitSine(Slice(wav.left, 72000, 24000), 1000.0, 96000).thd_n_db, -135.0);
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
  OutputBoxAnswer answer;
  {
    InProcessGenerator g(dir);
    const std::string message = answer.Text();
    ASSERT_NE(g.window, nullptr);
    EXPECT_NE(message.find("\"Out: rate_44100_only\" cannot play 96 kHz 24-bit high precision"),
              std::string::npos)
        << message;
    EXPECT_EQ(CheckedOutput(g.window), (std::vector<std::string>{mapper, "44.1 kHz", "16-bit"}));
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
}

}  // namespace
