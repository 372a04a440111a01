// The WASAPI interfaces of the Output menu end to end: the main window
// in-process, its choices heard through the session's ALSA devices as Wine
// offers them as render endpoints ("Out: wav_capture", which plays in real
// time and writes what it played as a WAV file, and "Out: rate_44100_only").
// Wine opens the device in the stream's own format in exclusive mode (24
// bits in a 32-bit container arrive as 32-bit samples) and at the mix
// format, 48 kHz float, in shared mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "generator/app/app_info.h"
#include "generator/app/level_setting.h"
#include "generator/app/main_window.h"
#include "generator/app/output_menu.h"
#include "generator/app/panel.h"
#include "generator/audio/audio_thread.h"
#include "generator/audio/latency_setting.h"
#include "generator/audio/output_setting.h"
#include "generator/audio/wasapi_stream.h"
#include "generator/panel/signal_caption.h"
#include "tests/ctl/ctl_test_support.h"
#include "tests/generator/app/in_process_generator.h"
#include "tests/generator/app/output_test_support.h"
#include "tests/generator/signal_measure.h"
#include "tests/wine/test_waits.h"

namespace {

constexpr char kCapture[] = "Out: wav_capture";
constexpr char kExclusiveItem[] = "WASAPI exclusive (bit-exact)";

void Choose(HWND window, int command) {
  SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

// The interface, then the endpoint of that name in the list it shows.
void ChooseOutput(HWND window, OutputInterface interface_kind, const char* endpoint) {
  Choose(window, CMD_OUTPUT_INTERFACE + interface_kind);
  const int device = DeviceCommand(window, endpoint);
  ASSERT_NE(device, 0) << endpoint;
  Choose(window, device);
}

// The samples' integer codes at the width the program played: a 32-bit
// container holds the 24 bits in its upper three bytes and zeros below.
std::vector<int32_t> PlayedCodes(const CapturedWav& wav, size_t from) {
  std::vector<int32_t> codes;
  for (size_t f = from; f < wav.codes.size(); ++f) {
    const int32_t code = wav.codes[f];
    if (wav.bits == 32) {
      EXPECT_EQ(code & 0xFF, 0) << f;
      codes.push_back(code / 256);
    } else {
      codes.push_back(code);
    }
  }
  return codes;
}

// The J-test at `bits`: a square at a quarter of the rate, its low bit
// lowered for the second half of every 192 frames.
void ExpectJTest(const std::vector<int32_t>& codes, int bits) {
  const int32_t high = bits == 24 ? 0x400000 : 0x4000;
  size_t start = 1;  // the first frame of a period: -high after high - 1
  while (start < 200 && !(codes[start] == -high && codes[start - 1] == high - 1)) ++start;
  ASSERT_LT(start, 200u);
  for (size_t f = start; f < codes.size(); ++f) {
    const int n = static_cast<int>((f - start) % 192);
    ASSERT_EQ(codes[f], ((n & 3) < 2 ? -high : high) - (n >= 96 ? 1 : 0)) << f;
  }
}

// `seconds` of the sine as the device receives it from now on, once what
// was queued before has played (up to four blocks of the latency) and the
// level has ramped.
SineFit MeasureSine(int rate, double seconds, CapturedWav* wav,
                    Samples samples = Samples::kInteger) {
  const size_t frames = static_cast<size_t>(rate * seconds);
  const double settle_s = 4 * g_audio.latency_s + 0.2;
  *wav = WaitForNewCapture(frames + static_cast<size_t>(rate * settle_s), samples);
  if (wav->left.size() < frames) return SineFit{0.0, 0.0, 0.0};
  return FitSine(Slice(wav->left, wav->left.size() - frames, frames), 1000.0, rate);
}

// The J-test through exclusive mode at 44.1 and 48 kHz, in the engine's
// 16 bits and in 24: what the device received is the J-test's codes.
TEST(WasapiOutput, ExclusiveModePlaysTheJTestBitForBit) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  ChooseOutput(g.window, kInterfaceExclusive, kCapture);
  EXPECT_EQ(CheckedInterface(g.window), kExclusiveItem);
  Choose(g.window, SignalCommand(g.window, "J-test"));
  TurnOnAtMinusOneDbfs();
  for (OutputWidth width : {kWidth16, kWidth24Precise}) {
    Choose(g.window, CMD_OUTPUT_WIDTH + width);
    for (int rate_item : {0, 1}) {
      const int rate = kOutputRates[rate_item];
      SCOPED_TRACE(std::to_string(rate) + " Hz " + OutputWidthText(width));
      Choose(g.window, CMD_OUTPUT_RATE + rate_item);
      const size_t wanted = static_cast<size_t>(rate);
      const CapturedWav wav = WaitForCapture(wanted);
      EXPECT_EQ(wav.rate, rate);
      const int bits = OutputSampleBits(width);
      EXPECT_TRUE(bits == 16 ? wav.bits == 16 : wav.bits == 32 || wav.bits == 24) << wav.bits;
      ASSERT_EQ(wav.codes.size(), wanted);
      ExpectJTest(PlayedCodes(wav, wanted / 2), bits);
    }
  }
}

// A sine at -1 dBFS through exclusive mode at 48 and 96 kHz and through
// shared mode at the rate Windows mixes at: the 24-bit width's distortion
// and noise are the precise synth's.
TEST(WasapiOutput, SineMeasuresThroughBothInterfaces) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  ChooseOutput(g.window, kInterfaceExclusive, kCapture);
  Choose(g.window, CMD_OUTPUT_WIDTH + kWidth24Precise);
  TurnOnAtMinusOneDbfs();
  for (int rate_item : {1, 3}) {
    const int rate = kOutputRates[rate_item];
    Choose(g.window, CMD_OUTPUT_RATE + rate_item);
    CapturedWav wav;
    const SineFit fit = MeasureSine(rate, 0.5, &wav);
    EXPECT_EQ(wav.rate, rate);
    EXPECT_LT(fit.thd_n_db, -135.0) << rate;
    std::printf("exclusive %d Hz 24-bit: THD+N %.1f dB\n", rate, fit.thd_n_db);
  }

  // Shared mode: the mixer's rate checked, the others greyed, its float.
  ChooseOutput(g.window, kInterfaceShared, kCapture);
  EXPECT_EQ(CheckedInterface(g.window), "WASAPI shared (48 kHz)");
  EXPECT_EQ(CheckedOutput(g.window),
            (std::vector<std::string>{kCapture, "48 kHz", "24-bit high precision"}));
  EXPECT_TRUE(GetMenuState(GetMenu(g.window), CMD_OUTPUT_RATE + 3, MF_BYCOMMAND) & MF_GRAYED);
  Choose(g.window, CMD_OUTPUT_RATE + 3);  // greyed: nothing changes
  for (OutputWidth width : {kWidth24Precise, kWidth16}) {
    Choose(g.window, CMD_OUTPUT_WIDTH + width);
    CapturedWav wav;
    const SineFit fit = MeasureSine(48000, 0.5, &wav, Samples::kFloat);
    EXPECT_EQ(wav.rate, 48000);
    EXPECT_EQ(wav.bits, 32);
    EXPECT_NEAR(20 * std::log10(fit.amplitude), -1.0, 0.01);
    // The 16-bit width is the engine's samples, converted exactly.
    EXPECT_LT(fit.thd_n_db, width == kWidth16 ? -80.0 : -135.0);
    std::printf("shared 48000 Hz %s: THD+N %.1f dB\n", OutputWidthText(width), fit.thd_n_db);
  }
}

// Exclusive mode at the shortest latency plays ten seconds with nothing
// missing: the stream never ran dry and the device heard a whole sine.
TEST(WasapiOutput, TwentyMillisecondsPlayTenSecondsWithoutAGap) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  Choose(g.window, CMD_LATENCY_20);
  ChooseOutput(g.window, kInterfaceExclusive, kCapture);
  Choose(g.window, CMD_OUTPUT_RATE + 1);
  Choose(g.window, CMD_OUTPUT_WIDTH + kWidth24Precise);
  TurnOnAtMinusOneDbfs();
  PumpMessagesFor(500);  // past the ramp
  const int32_t late_before = g_audio.stream.late_writes;
  const size_t frames = 10 * 48000;
  CapturedWav wav;
  PollUntil(20000, 0, [&] {
    PumpMessagesFor(500);
    wav = ReadCapture(frames + 24000);
    return wav.left.size() >= frames + 24000;
  });
  ASSERT_EQ(wav.left.size(), frames + 24000);
  const std::vector<double> ten_seconds = Slice(wav.left, 24000, frames);
  std::printf("20 ms exclusive: period %u frames, buffer %u frames, %s, %d late writes\n",
              g_audio.stream.wasapi.period_frames, g_audio.stream.wasapi.buffer_frames,
              g_audio.stream.wasapi.event_driven ? "event-driven" : "by the padding",
              g_audio.stream.late_writes - late_before);
  EXPECT_EQ(g_audio.stream.late_writes, late_before);
  EXPECT_LT(LongestSilence(ten_seconds).frames, 2u);
  EXPECT_LT(FitSine(ten_seconds, 1000.0, 48000).thd_n_db, -130.0);
}

// The choice over a restart, a format the endpoint refuses, an endpoint
// that is gone: each refusal named, and the previous output plays on.
TEST(WasapiOutput, KeptOverARestartAndRefusedCleanly) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  const std::string dir = ScratchDirectory();
  const std::vector<std::string> chosen = {kCapture, "96 kHz", "24-bit high precision"};
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    ChooseOutput(g.window, kInterfaceExclusive, kCapture);
    Choose(g.window, CMD_OUTPUT_RATE + 3);
    Choose(g.window, CMD_OUTPUT_WIDTH + kWidth24Precise);
  }
  DWORD interface_kind = 9, size = sizeof interface_kind;
  RegGetValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputInterfaceValueName, RRF_RT_REG_DWORD,
               nullptr, &interface_kind, &size);
  EXPECT_EQ(interface_kind, 2u);
  char endpoint[256] = {0};
  size = sizeof endpoint;
  RegGetValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputEndpointValueName, RRF_RT_REG_SZ, nullptr,
               endpoint, &size);
  EXPECT_NE(endpoint[0], '\0');
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    EXPECT_EQ(CheckedInterface(g.window), kExclusiveItem);
    EXPECT_EQ(CheckedOutput(g.window), chosen);
    TurnOnAtMinusOneDbfs();
    CapturedWav wav;
    EXPECT_LT(MeasureSine(96000, 0.25, &wav).thd_n_db, -135.0);
    EXPECT_EQ(wav.rate, 96000);

    // A rate the endpoint refuses: named with its cause; 96 kHz plays on.
    OutputBoxAnswer answer;
    Choose(g.window, DeviceCommand(g.window, "Out: rate_44100_only"));
    const std::string message = answer.Text();
    // Wine's ALSA device refuses it at its open (Windows: in the format's query).
    EXPECT_NE(message.find("\"Out: rate_44100_only\" (WASAPI exclusive) cannot play 96 kHz 24-bit "
                           "high precision:\nThe device could not be opened at 96 kHz 24-bit."),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("The output stays as it was: \"Out: wav_capture\" (WASAPI exclusive), "
                           "96 kHz 24-bit high precision."),
              std::string::npos)
        << message;
    EXPECT_EQ(CheckedOutput(g.window), chosen);
    EXPECT_LT(MeasureSine(96000, 0.25, &wav).thd_n_db, -135.0);
  }
  // The endpoint kept is gone: named, and the wave mapper plays the defaults.
  const char gone[] = "{0.0.0.00000000}.{00000000-0000-0000-0000-000000000000}";
  RegSetKeyValueA(HKEY_CURRENT_USER, kGeneratorKey, kOutputEndpointValueName, REG_SZ, gone,
                  sizeof gone);
  OutputBoxAnswer answer;
  {
    InProcessGenerator g(dir);
    const std::string message = answer.Text();
    ASSERT_NE(g.window, nullptr);
    EXPECT_EQ(message,
              "\"Out: wav_capture\" (WASAPI exclusive) cannot play 96 kHz 24-bit high "
              "precision:\nThe device is no longer there.\n\nGenerator plays through \"Wine "
              "Sound Mapper\" at 44.1 kHz 16-bit.");
    EXPECT_EQ(CheckedInterface(g.window), "Windows wave (waveOut)");
    EXPECT_EQ(CheckedOutput(g.window),
              (std::vector<std::string>{"Wine Sound Mapper", "44.1 kHz", "16-bit"}));
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
}

// A shared stream on "Default device" moves with Windows' default (Wine
// names it in its driver's DefaultOutput value and tells the change).
TEST(WasapiOutput, ASharedStreamOnTheDefaultFollowsANewDefault) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  constexpr char kWineAlsaKey[] = "Software\\Wine\\Drivers\\winealsa.drv";
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineAlsaKey, "DefaultOutput");
  WasapiEndpoint endpoints[16];
  const int count = ListRenderEndpoints(endpoints, 16);
  std::wstring capture_id;
  for (int i = 1; i < count; ++i) {
    if (std::string(endpoints[i].name) == kCapture) capture_id = endpoints[i].id;
  }
  ASSERT_FALSE(capture_id.empty());
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  Choose(g.window, CMD_OUTPUT_INTERFACE + kInterfaceShared);
  Choose(g.window, CMD_OUTPUT_DEVICE);  // "Default device (Out: default)"
  TurnOnAtMinusOneDbfs();
  PumpMessagesFor(300);
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winealsa.drv", L"DefaultOutput",
                  REG_SZ, capture_id.c_str(),
                  static_cast<DWORD>((capture_id.size() + 1) * sizeof(wchar_t)));
  CapturedWav wav;
  const SineFit fit = MeasureSine(48000, 0.25, &wav, Samples::kFloat);
  EXPECT_EQ(wav.rate, 48000);  // the WAV device's header: it plays there now
  EXPECT_LT(fit.thd_n_db, -80.0);
  EXPECT_EQ(CheckedOutput(g.window)[0], "Default device (Out: wav_capture)");
  RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineAlsaKey, "DefaultOutput");
}

// An endpoint that goes away while playing (Wine cannot unplug one: the
// stream's write finds it gone, as AUDCLNT_E_DEVICE_INVALIDATED does):
// the sound stops, the user is told, and ON plays again.
WaveStreamOps g_real_ops;
int g_writes_before_loss = 0;

int LosingWrite(WaveStream* stream, void* block, int threshold) {
  if (--g_writes_before_loss >= 0) return g_real_ops.transfer(stream, block, threshold);
  stream->connection_lost = stream->report_lost;
  std::snprintf(stream->error_text, sizeof stream->error_text, "%s", kDriverLostText);
  return -1;
}

TEST(WasapiOutput, AnEndpointLostWhilePlayingStopsTheSoundAndOnPlaysAgain) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kGeneratorKey);
  InProcessGenerator g(ScratchDirectory());
  ASSERT_NE(g.window, nullptr);
  ChooseOutput(g.window, kInterfaceExclusive, kCapture);
  SetForegroundWindow(g.window);
  HWND on = g_panel.controls[kOnButton];
  auto click_on = [&] {
    RECT r;
    GetClientRect(on, &r);
    Mouse(OnScreen(on, r.right / 2, r.bottom / 2), true, true);
  };
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  s.level_db = -1.0f;
  SetGeneratorSettings(g_app.engine, &s);
  StopAudio();
  g_real_ops = g_audio.stream.ops;
  g_audio.stream.ops.transfer = LosingWrite;
  g_writes_before_loss = 20;
  click_on();  // ON starts the stopped stream
  OutputBoxAnswer answer;
  PollUntil(10000, 0, [&] {
    PumpMessagesFor(100);
    return answer.Done();
  });
  EXPECT_EQ(answer.Text(),
            std::string(kDriverLostText) +
                "\n\n\"Out: wav_capture\" (WASAPI exclusive) is gone. ON plays again once it is "
                "back.");
  EXPECT_EQ(g_audio.run.load(), 0);
  GetGeneratorSettings(g_app.engine, &s);
  EXPECT_EQ(s.on, 0);

  g_audio.stream.ops = g_real_ops;  // back again
  click_on();
  PumpMessagesFor(300);
  EXPECT_EQ(g_audio.run.load(), 1);
  CapturedWav wav;
  EXPECT_LT(MeasureSine(44100, 0.25, &wav).thd_n_db, -80.0);
}

// Typed into the LEVEL read-out's box as a user types it.
void TypeIntoLevel(const char* text) {
  StartScript({[text] { Type(text); }, [] { Key(VK_RETURN); }}, [] {
    if (HWND editor = GetPopupSlot(kSlotQuickEdit)) PostMessageA(editor, WM_CLOSE, 0, 0);
  });
  SendMessageA(g_panel.readouts[kLevelReadout], WM_LBUTTONDOWN, 0, 0);  // the box's loop runs here
  StopScript();
}

// What the level knob's value pop-up says while the knob is held.
std::string KnobPopupText() {
  ControlPreferences* prefs = GetControlPreferences();
  const uint32_t infovalue = prefs->infovalue;
  prefs->infovalue |= kInfoValueOn;
  HWND knob = g_panel.controls[kLevelKnob];
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(16, 16));
  char text[64] = {0};
  if (HWND popup = GetPopupSlot(kSlotValuePopup)) GetWindowTextA(popup, text, sizeof text);
  SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(16, 16));
  prefs->infovalue = infovalue;
  return text;
}

// What the LEVEL read-out and the display's level line say now.
std::string LevelTexts() {
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  char readout[64], display[64];
  FormatReadout(kLevelReadout, &s, readout, sizeof readout, g_panel.level_view);
  LevelCaption(s, g_panel.level_view, display, sizeof display);
  return std::string(readout) + " | " + display;
}

// A calibration of 2.000 V: levels typed in volts and dBu reach the device
// as the arithmetic says, and the unit and calibration outlive a restart.
TEST(WasapiOutput, LevelsTypedInVoltsReachTheDeviceFromACalibration) {
  RegDeleteTreeA(HKEY_CURRENT_USER, kGeneratorKey);
  const std::string dir = ScratchDirectory();
  {
    InProcessGenerator g(dir);
    ASSERT_NE(g.window, nullptr);
    ChooseOutput(g.window, kInterfaceExclusive, kCapture);
    Choose(g.window, CMD_OUTPUT_RATE + 1);
    CheckedOutput(g.window);  // the menu as it opens
    EXPECT_EQ(MenuText(g.window, CMD_OUTPUT_LEVEL), "Output level... (not calibrated)");
    char name[300];
    OutputCalibrationName(name, sizeof name);
    EXPECT_STREQ(name, "2|Out: wav_capture");
    ASSERT_EQ(WriteFullScale(name, 2.0), 1);
    ASSERT_EQ(WriteLevelUnit(kLevelDbu), 1);
    Choose(g.window, CMD_OUTPUT_WIDTH + kWidth24Precise);  // a choice reads them again
    CheckedOutput(g.window);
    EXPECT_EQ(MenuText(g.window, CMD_OUTPUT_LEVEL), "Output level...");
    TurnOnAtMinusOneDbfs();
    EXPECT_EQ(LevelTexts(), "+7.2 dBu | +7.2 dBu");  // -1 dBFS of 2 V: 1.783 V
    const struct {
      const char* typed;
      std::string shown;
      double peak_dbfs;
    } kRows[] = {{"+4 dBu", "+4.0 dBu | +4.0 dBu", -4.2391},
                 {"1 Vpp", "-6.8 dBu | -6.8 dBu", -15.0515}};
    for (const auto& row : kRows) {
      TypeIntoLevel(row.typed);
      EXPECT_EQ(LevelTexts(), row.shown) << row.typed;
      EXPECT_EQ(KnobPopupText(), row.shown.substr(0, row.shown.find(" |"))) << row.typed;
      // What was queued at the level before (the endpoint's five blocks and
      // the capture pipe's 170 ms) plays first.
      WaitForNewCapture(60000);
      CapturedWav wav;
      const SineFit fit = MeasureSine(48000, 1.0, &wav);
      EXPECT_NEAR(20.0 * std::log10(fit.amplitude), row.peak_dbfs, 0.01) << row.typed;
    }
  }
  {
    InProcessGenerator again(dir);
    ASSERT_NE(again.window, nullptr);
    EXPECT_EQ(g_panel.level_view.unit, kLevelDbu);
    EXPECT_DOUBLE_EQ(g_panel.level_view.full_scale_volts, 2.0);
    EXPECT_EQ(LevelTexts(), "-6.8 dBu | -6.8 dBu");  // the set keeps the level in dB full scale
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, kGeneratorKey);  // after the close has written its choices
}

}  // namespace
