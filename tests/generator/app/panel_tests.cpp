// The generator panel end to end under Wine: the real main window in this
// process, clicked and typed into with real input, heard through the ALSA
// capture file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/app/panel.h"
#include "generator/files/set_file_format.h"
#include "tests/ctl/ctl_test_support.h"
#include "tests/generator/app/in_process_generator.h"
#include "tests/generator/signal_measure.h"
#include "tests/generator/wine_paths.h"
#include "tests/wine/test_waits.h"

namespace {

// Dispatches messages for `ms` milliseconds (the panel's timer, the audio).
void PumpFor(DWORD ms) { PumpMessagesFor(ms); }

// One start directory for the process (the program reads it once), with
// its current-set file removed unless a test restarts on purpose.
std::string StartDirectory(bool keep_set) {
  static std::string path;
  if (path.empty()) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path = std::string(temp) + "panel_" + std::to_string(GetTickCount());
    CreateDirectoryA(path.c_str(), nullptr);
  }
  if (!keep_set) DeleteFileA((path + "\\qx_gene_current_set.def").c_str());
  return path;
}

// The program's main window and panel, in front for real input.
struct Program {
  InProcessGenerator generator;
  HWND window;
  explicit Program(bool keep_set = false)
      : generator(StartDirectory(keep_set)), window(generator.window) {
    SetForegroundWindow(window);
    PumpFor(100);
  }
};

HWND Control(int id) { return g_panel.controls[id]; }  // a PanelControlId

float ValueOf(HWND control) {
  return FloatFromBits(static_cast<uint32_t>(SendMessageA(control, WM_COMMAND, kCtlGetValue, 0)));
}

void Click(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  Mouse(OnScreen(control, r.right / 2, r.bottom / 2), true, true);
  // Until the system has handed over the press and the release.
  PumpFor(80);
  PollUntil(720, 0, [] {
    PumpFor(20);
    return GetQueueStatus(QS_MOUSEBUTTON | QS_MOUSEMOVE) == 0;
  });
}

GeneratorSettings Settings() {
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  return s;
}

// What was played during the last `tail_ms` after `settle_ms` of playing.
std::vector<int16_t> Listen(DWORD settle_ms = 700, DWORD tail_ms = 250) {
  PumpFor(settle_ms);
  const std::string path = AudioCapturePath();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  std::vector<int16_t> samples;
  if (file == INVALID_HANDLE_VALUE) return samples;
  const DWORD size = GetFileSize(file, nullptr) & ~3u;
  const DWORD wanted = tail_ms * 441 / 10 * 4;
  const DWORD from = size > wanted ? size - wanted : 0;
  SetFilePointer(file, static_cast<LONG>(from), nullptr, FILE_BEGIN);
  samples.resize((size - from) / 2);
  DWORD got = 0;
  ReadFile(file, samples.data(), size - from, &got, nullptr);
  CloseHandle(file);
  samples.resize(got / 2);
  return samples;
}

// Types `text` and Enter into whatever editor `open` opens.
void TypeInto(const char* text, const std::function<void()>& open) {
  StartScript({[text] { Type(text); }, [] { Key(VK_RETURN); }}, [] {
    for (int slot : {kSlotQuickEdit, kSlotTimeEntry}) {
      if (HWND editor = GetPopupSlot(slot)) PostMessageA(editor, WM_CLOSE, 0, 0);
    }
  });
  open();
  StopScript();
  PumpFor(50);
}

void TypeIntoKnob(int id, const char* text) {
  SetFocus(Control(id));
  TypeInto(text, [id] { SendMessageA(Control(id), WM_KEYDOWN, VK_INSERT, 0); });
}

TEST(GeneratorPanel, PlaysWhatTheButtonsSay) {
  Program program;
  ASSERT_NE(program.window, nullptr);
  Click(Control(kOnButton));
  EXPECT_EQ(Settings().on, 1);
  EXPECT_EQ(ValueOf(g_panel.lamp_on), 1.0f);
  std::vector<double> left = Channel(Listen(), 0);
  ASSERT_GT(left.size(), 4000u);
  EXPECT_NEAR(ZeroCrossingHz(left), 1000.0, 5.0);  // the defaults: 1 kHz at -10 dB
  EXPECT_NEAR(RmsDbfs(left), -10.0 - 3.01, 0.2);

  Click(Control(kLevelPresetFirst + 2));  // -20 dB
  EXPECT_EQ(ValueOf(Control(kLevelKnob)), -20.0f);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(ValueOf(Control(kLevelPresetFirst + i)), i == 2 ? 1.0f : 0.0f);
  Click(Control(kFrequencyPresetFirst + 1));  // 100 Hz
  left = Channel(Listen(), 0);
  EXPECT_NEAR(ZeroCrossingHz(left), 100.0, 2.0);
  EXPECT_NEAR(RmsDbfs(left), -20.0 - 3.01, 0.2);
  Click(Control(kWaveformFirst + 3));  // square: its RMS is its peak
  EXPECT_NEAR(RmsDbfs(Channel(Listen(), 0)), -20.0, 0.3);

  Click(Control(kNoiseSourceButton));  // the noise family, pink in anti-phase
  Click(Control(kNoiseTypeFirst + 2));
  EXPECT_EQ(ValueOf(g_panel.lamp_noise), 1.0f);
  EXPECT_EQ(ValueOf(g_panel.lamp_waveform), 0.0f);
  EXPECT_EQ(ValueOf(Control(kWaveformSourceButton)), 0.0f);
  const std::vector<int16_t> noise = Listen();
  EXPECT_LT(Correlation(Channel(noise, 0), Channel(noise, 1)), -0.99);

  Click(Control(kOnButton));  // off: the sound fades to silence
  EXPECT_EQ(ValueOf(Control(kOnButton)), 0.0f);
  EXPECT_LT(RmsDbfs(Channel(Listen(), 0)), -90.0);
}

TEST(GeneratorPanel, OneShotSwitchesItselfOff) {
  Program program;
  Click(Control(kOneShotButton));
  EXPECT_EQ(ValueOf(Control(kContinuousButton)), 0.0f);
  Click(Control(kOnButton));
  PollUntil(3000, 0, [] {
    PumpFor(50);
    return ValueOf(Control(kOnButton)) == 0.0f;
  });
  EXPECT_EQ(ValueOf(Control(kOnButton)), 0.0f);
  EXPECT_EQ(ValueOf(g_panel.lamp_on), 0.0f);
  EXPECT_EQ(Settings().on, 0);
}

TEST(GeneratorPanel, TypedValuesPresetsAndTheSweepPair) {
  Program program;
  TypeIntoKnob(kLevelKnob, "-20");
  EXPECT_EQ(ValueOf(Control(kLevelPresetFirst + 2)), 1.0f);  // exactly -20 dB lights its preset
  TypeIntoKnob(kLevelKnob, "-20.1");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ValueOf(Control(kLevelPresetFirst + i)), 0.0f);
  EXPECT_FLOAT_EQ(Settings().level_db, -20.1f);

  // The sweep knobs edit their period in the time dialog.
  TypeIntoKnob(kSweepEndKnob, "0.001");     // 1000 Hz
  TypeIntoKnob(kSweepStartKnob, "0.0002");  // 5000 Hz drags the end along
  GeneratorSettings s = Settings();
  EXPECT_NEAR(s.sweep_start_hz, 5000.0f, 0.01f);
  EXPECT_EQ(s.sweep_end_hz, s.sweep_start_hz);
  EXPECT_EQ(ValueOf(Control(kSweepEndKnob)), s.sweep_end_hz);

  const struct {
    int readout;
    const char* typed;
    float GeneratorSettings::*field;
    float expected;
  } entries[] = {
      {kDurationReadout, "1500", &GeneratorSettings::duration_s, 0.05f},  // over a second
      {kDurationReadout, "0.5", &GeneratorSettings::duration_s, 0.05f},   // under a millisecond
      {kSweepTimeReadout, "12", &GeneratorSettings::sweep_time_s, 12.0f},
      {kLevelReadout, "-90", &GeneratorSettings::level_db, -20.1f}};
  for (const auto& e : entries) {
    TypeInto(e.typed, [&] { Click(g_panel.readouts[e.readout]); });
    EXPECT_FLOAT_EQ(Settings().*e.field, e.expected) << e.readout << ": " << e.typed;
  }

  Click(Control(kOptionsButton));  // the options window and its gate times
  ASSERT_NE(g_panel.options.window, nullptr);
  const POINT gate_on = OnScreen(g_panel.options.window, 87, 32);
  TypeInto("2.5", [&] {
    Mouse(gate_on, true, true);
    PumpFor(50);
  });
  EXPECT_FLOAT_EQ(Settings().gate_on_s, 2.5f);
  TypeInto("99", [&] {
    Mouse(gate_on, true, true);
    PumpFor(50);
  });
  EXPECT_FLOAT_EQ(Settings().gate_on_s, 2.5f);
}

// Every place a value is typed takes answers alike, from a quiet -60 dB: text
// without a number changes nothing (never the loudest 0 dB); "-inf" is the
// minimum where a read-out shows decibels (a knob's box knows no unit, so
// there it is no number); a pasted en dash is a minus sign; and the number
// a read-out shows, typed anew, is an answer that lights its preset.
TEST(GeneratorPanel, EveryPlaceTakesTypedAnswersAlike) {
  Program program;
  Click(Control(kOptionsButton));  // the options window, for the gate times
  ASSERT_NE(g_panel.options.window, nullptr);
  const POINT gate_on = OnScreen(g_panel.options.window, 87, 32);
  const std::function<void()> level_readout = [] { Click(g_panel.readouts[kLevelReadout]); };
  const std::function<void()> level_knob = [] {
    SetFocus(Control(kLevelKnob));
    SendMessageA(Control(kLevelKnob), WM_KEYDOWN, VK_INSERT, 0);
  };
  const std::function<void()> gain_readout = [] { Click(g_panel.readouts[kGainReadout]); };
  const std::function<void()> gate_time = [&] {
    // Above the main window, which the clicks before raised (Wine keeps an
    // owned window above its owner only with a window manager).
    SetWindowPos(g_panel.options.window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Mouse(gate_on, true, true);
    PumpFor(50);
  };
  const struct {
    const std::function<void()>* open;
    const wchar_t* typed;
    float GeneratorSettings::*field;
    float expected;
  } answers[] = {
      {&level_readout, L"x", &GeneratorSettings::level_db, -60.0f},
      {&level_readout, L"off", &GeneratorSettings::level_db, -60.0f},
      {&level_readout, L"-", &GeneratorSettings::level_db, -60.0f},
      {&level_readout, L"- INF", &GeneratorSettings::level_db, -80.0f},
      {&level_readout, L"\u201320", &GeneratorSettings::level_db, -20.0f},
      {&level_knob, L"mute", &GeneratorSettings::level_db, -60.0f},
      {&level_knob, L"-inf", &GeneratorSettings::level_db, -60.0f},
      {&level_knob, L"\u201412", &GeneratorSettings::level_db, -12.0f},
      {&gain_readout, L"x", &GeneratorSettings::gain_db, 0.0f},
      {&gain_readout, L"\u20135", &GeneratorSettings::gain_db, -5.0f},
      {&gate_time, L"off", &GeneratorSettings::gate_on_s, 1.0f},
      {&gate_time, L"2.5", &GeneratorSettings::gate_on_s, 2.5f},
  };
  for (const auto& a : answers) {
    GeneratorSettings s = Settings();
    s.level_db = -60.0f;
    s.gain_db = 0.0f;
    s.gate_on_s = 1.0f;
    SetGeneratorSettings(g_app.engine, &s);
    RefreshPanel(&g_panel);
    StartScript({[&] { TypeText(a.typed); }, [] { Key(VK_RETURN); }}, [] {
      if (HWND editor = GetPopupSlot(kSlotQuickEdit)) PostMessageA(editor, WM_CLOSE, 0, 0);
    });
    (*a.open)();
    StopScript();
    PumpFor(50);
    EXPECT_FLOAT_EQ(Settings().*a.field, a.expected) << static_cast<int>(a.typed[0]);
  }

  // 1000.4 Hz shows "1000": typing "1000" anew is an answer, and lights 1 kHz.
  GeneratorSettings s = Settings();
  s.frequency_hz = 1000.4f;
  SetGeneratorSettings(g_app.engine, &s);
  RefreshPanel(&g_panel);
  const int one_kilohertz = kFrequencyPresetFirst + 2;
  EXPECT_EQ(ValueOf(Control(one_kilohertz)), 0.0f);
  TypeInto("1000", [] { Click(g_panel.readouts[kFrequencyReadout]); });
  EXPECT_EQ(Settings().frequency_hz, 1000.0f);
  EXPECT_EQ(ValueOf(Control(one_kilohertz)), 1.0f);
  // Typed next to a preset lights none; stepping onto it does.
  TypeInto("15002", [] { Click(g_panel.readouts[kFrequencyReadout]); });
  for (int i = 0; i < kFrequencyPresetCount; ++i) {
    EXPECT_EQ(ValueOf(Control(kFrequencyPresetFirst + i)), 0.0f) << i;
  }
}

TEST(GeneratorPanel, TabFollowsTheTableAndTheSetComesBackOff) {
  {
    Program program;
    std::vector<HWND> children;
    for (HWND c = GetWindow(program.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      children.push_back(c);
    }
    ASSERT_GE(children.size(), 12u);
    SetFocus(children[0]);
    for (size_t i = 1; i < 12; ++i) {
      Key(VK_TAB);
      PumpFor(40);
      EXPECT_EQ(GetFocus(), children[i]) << "tab " << i;
    }
    Click(Control(kFrequencyPresetFirst + 1));
    Click(Control(kOnButton));
    EXPECT_EQ(Settings().on, 1);
  }
  Program again(/*keep_set=*/true);
  EXPECT_EQ(ValueOf(Control(kFrequencyKnob)), 100.0f);
  EXPECT_EQ(ValueOf(Control(kFrequencyPresetFirst + 1)), 1.0f);
  EXPECT_EQ(ValueOf(Control(kOnButton)), 0.0f);  // loaded switched off
  EXPECT_EQ(Settings().on, 0);
}

// Opening a read-out's box and pressing Enter changes nothing, however the
// box's text rounded the value ("-20 db" for -20.1, "0.2s" for 0.15 s).
TEST(GeneratorPanel, AnUntouchedEnterKeepsEveryReadoutsValue) {
  Program program;
  GeneratorSettings s = Settings();
  s.duration_s = 0.01234f;
  s.level_db = -20.1f;
  s.gain_db = 1.234f;
  s.frequency_hz = 1234.56f;
  s.phase_deg = 10.25f;
  s.dc_offset = 0.123f;
  s.sweep_start_hz = 20.5f;
  s.sweep_end_hz = 1000.4f;
  s.sweep_time_s = 0.15f;
  SetGeneratorSettings(g_app.engine, &s);
  RefreshPanel(&g_panel);
  for (int id = 0; id < kReadoutCount; ++id) {
    TypeInto("", [&] { Click(g_panel.readouts[id]); });
    const GeneratorSettings after = Settings();
    EXPECT_EQ(std::memcmp(&after, &s, sizeof s), 0) << "read-out " << id;
  }
}

// A preset lights for a value reached by typing or by stepping the knob, and
// a lit preset still answers a click.
TEST(GeneratorPanel, PresetsFollowTypedAndSteppedValues) {
  Program program;
  const int minus_20 = kLevelPresetFirst + 2;
  Click(Control(minus_20));
  TypeInto("-5", [] { Click(g_panel.readouts[kLevelReadout]); });
  for (int i = 0; i < kLevelPresetCount; ++i)
    EXPECT_EQ(ValueOf(Control(kLevelPresetFirst + i)), 0.0f);
  Click(Control(minus_20));
  EXPECT_EQ(Settings().level_db, -20.0f);
  EXPECT_EQ(ValueOf(Control(minus_20)), 1.0f);

  TypeInto("-40", [] { Click(g_panel.readouts[kLevelReadout]); });
  for (int step = 0; step < 200; ++step) SendMessageA(Control(kLevelKnob), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_NEAR(Settings().level_db, -20.0f, 0.001f);
  EXPECT_EQ(ValueOf(Control(minus_20)), 1.0f);
  Click(Control(kLevelPresetFirst + 1));  // -10 dB
  EXPECT_EQ(Settings().level_db, -10.0f);
  EXPECT_EQ(ValueOf(Control(minus_20)), 0.0f);
}

// Tab from "on" visits every control and read-out in table order and comes
// back round; a read-out passes Tab on like every control, and the display,
// which only shows, is passed by.
TEST(GeneratorPanel, TabGoesRoundEveryControlAndReadout) {
  Program program;
  std::vector<HWND> children;
  for (HWND c = GetWindow(program.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (c != g_panel.display) children.push_back(c);
  }
  ASSERT_NE(g_panel.display, nullptr);
  ASSERT_EQ(children.size(), kPanelPlaceCount);
  SetFocus(Control(kOnButton));
  for (size_t i = 1; i <= children.size(); ++i) {
    Key(VK_TAB);
    PumpFor(30);
    ASSERT_EQ(GetFocus(), children[i % children.size()]) << "tab " << i;
  }
}

// A set file with values the panel cannot show loads into its range.
TEST(GeneratorPanel, ADamagedSetFileLoadsIntoRange) {
  GeneratorSettings damaged = kGeneratorDefaults;
  damaged.level_db = std::nanf("");
  damaged.frequency_hz = 1e9f;
  damaged.gate_off_s = -3.0f;
  damaged.pan = std::numeric_limits<float>::infinity();
  damaged.one_shot = 7;
  damaged.sweep_start_hz = 5000.0f;
  damaged.sweep_end_hz = 100.0f;
  damaged.waveform = 0x7FFFFFFF;
  damaged.noise_type = -0x7FFFFFFF - 1;
  std::vector<char> file(kSetFileIdentification, kSetFileIdentification + kSetFileHeaderBytes);
  file.insert(file.end(), reinterpret_cast<const char*>(&damaged),
              reinterpret_cast<const char*>(&damaged) + sizeof damaged);
  const std::string path = StartDirectory(false) + "\\" + kSetFileName;
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(handle);

  Program program(/*keep_set=*/true);
  const GeneratorSettings s = Settings();
  EXPECT_EQ(s.level_db, kGeneratorDefaults.level_db);
  EXPECT_EQ(s.frequency_hz, 20000.0f);
  EXPECT_EQ(s.gate_off_s, kGateTimeMinimum);
  EXPECT_EQ(s.pan, kGeneratorDefaults.pan);
  EXPECT_EQ(ValueOf(Control(kOneShotButton)), 1.0f);  // timed, as the engine reads 7
  EXPECT_EQ(s.sweep_start_hz, 100.0f);                // the same sweep, shown in order
  EXPECT_EQ(s.sweep_end_hz, 5000.0f);
  EXPECT_EQ(s.waveform, 0x7FFFFFFF);  // plays silence, as the engine defines it
  EXPECT_EQ(ValueOf(Control(kFrequencyKnob)), 20000.0f);
  EXPECT_EQ(ValueOf(Control(kLevelKnob)), kGeneratorDefaults.level_db);
  for (int id = kWaveformFirst; id <= kWaveformLast; ++id) EXPECT_EQ(ValueOf(Control(id)), 0.0f);
  for (int id = kNoiseTypeFirst; id <= kNoiseTypeLast; ++id) EXPECT_EQ(ValueOf(Control(id)), 0.0f);
}

// The Signals menu's rows, by their place (separators are empty).
const char* const kSignalsMenu[] = {"White noise",
                                    "Brown noise",
                                    "",
                                    "Periodic white noise",
                                    "Periodic pink noise",
                                    "MLS",
                                    "Sequence length...",
                                    "",
                                    "SMPTE twin tone (60 Hz + 7 kHz, 4:1)",
                                    "DIN twin tone (250 Hz + 8 kHz, 4:1)",
                                    "CCIF twin tone (19 kHz + 20 kHz)",
                                    "Tone burst...",
                                    "J-test",
                                    "",
                                    "Linear sweep",
                                    "Synchronised sweep",
                                    "Stepped sweep...",
                                    "Alias-free waveforms"};
constexpr int kSignalsRows = sizeof kSignalsMenu / sizeof kSignalsMenu[0];
enum SignalsRow {
  kWhiteRow = 0,
  kPeriodicWhiteRow = 3,
  kMlsRow = 5,
  kSequenceRow = 6,
  kBurstRow = 11,
  kJTestRow = 12,
  kLinearRow = 14,
  kSynchronisedRow = 15,
  kSteppedRow = 16,
  kAliasFreeRow = 17
};

void Choose(HWND window, int row) { SendMessageA(window, WM_COMMAND, CMD_SIGNALS + row, 0); }

// The Signals menu's rows that carry a check mark after WM_INITMENU.
std::vector<int> CheckedSignals(HWND window) {
  HMENU bar = GetMenu(window);
  SendMessageA(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
  std::vector<int> rows;
  for (int row = 0; row < kSignalsRows; ++row) {
    const UINT state = GetMenuState(bar, CMD_SIGNALS + row, MF_BYCOMMAND);
    if (state != 0xFFFFFFFF && (state & MF_CHECKED)) rows.push_back(row);
  }
  return rows;
}

// The menu as the user reads it; a signal chosen from it plays, lights the
// panel as its source does, and gives way to a panel button; the burst's
// dialog takes typed cycles and its window button; the set comes back.
TEST(GeneratorSignals, TheMenuSelectsPlaysAndKeepsEachSignal) {
  {
    Program program;
    HMENU bar = GetMenu(program.window);
    const int menus = GetMenuItemCount(bar);
    char text[128];
    GetMenuStringA(bar, menus - 2, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Output");
    GetMenuStringA(bar, menus - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Signals");
    HMENU signals = GetSubMenu(bar, menus - 1);
    ASSERT_EQ(GetMenuItemCount(signals), kSignalsRows);
    for (int row = 0; row < kSignalsRows; ++row) {
      text[0] = '\0';
      GetMenuStringA(signals, row, text, sizeof text, MF_BYPOSITION);
      EXPECT_STREQ(text, kSignalsMenu[row]) << row;
    }

    Choose(program.window, kWhiteRow);
    EXPECT_EQ(Settings().source, kSourceNoise);
    EXPECT_EQ(Settings().noise_type, kNoiseWhite);
    EXPECT_EQ(ValueOf(g_panel.lamp_noise), 1.0f);
    EXPECT_EQ(ValueOf(g_panel.lamp_waveform), 0.0f);
    for (int id = kNoiseTypeFirst; id <= kNoiseTypeLast; ++id)
      EXPECT_EQ(ValueOf(Control(id)), 0.0f);
    EXPECT_EQ(CheckedSignals(program.window), std::vector<int>{kWhiteRow});
    Click(Control(kOnButton));
    const std::vector<int16_t> white = Listen();
    EXPECT_NEAR(RmsDbfs(Channel(white, 0)), -10.0 - 12.8, 0.3);  // the pink noise's RMS, at -10 dB
    EXPECT_EQ(Channel(white, 0), Channel(white, 1));

    // The J-test as the device received it: its 16-bit codes, whatever the level.
    Choose(program.window, kJTestRow);
    EXPECT_EQ(ValueOf(g_panel.lamp_noise), 0.0f);
    EXPECT_EQ(ValueOf(g_panel.lamp_waveform), 0.0f);
    const std::vector<int16_t> jtest = Listen();
    ASSERT_GT(jtest.size(), 4000u);
    size_t start = 0;  // the first frame of a period: C000 C000 4000 4000 after BFFF ...
    while (start + 1 < jtest.size() / 2 &&
           !(jtest[2 * start] == -0x4000 && start > 0 && jtest[2 * start - 2] == 0x3FFF)) {
      ++start;
    }
    ASSERT_LT(start, 200u);
    for (size_t f = start; f < jtest.size() / 2; ++f) {
      const int n = static_cast<int>((f - start) % 192);
      const int16_t code = static_cast<int16_t>(((n & 3) < 2 ? -0x4000 : 0x4000) - (n >= 96));
      ASSERT_EQ(jtest[2 * f], code) << f;
      ASSERT_EQ(jtest[2 * f + 1], code) << f;
    }

    for (int id = kWaveformFirst; id <= kWaveformLast; ++id) EXPECT_EQ(ValueOf(Control(id)), 0.0f);
    Click(Control(kWaveformFirst));  // sine, lit before the J-test: back to the panel's waveform
    EXPECT_EQ(Settings().source, kSourceWaveform);
    EXPECT_EQ(ValueOf(g_panel.lamp_waveform), 1.0f);
    EXPECT_EQ(ValueOf(Control(kWaveformFirst)), 1.0f);
    Choose(program.window, kLinearRow);
    Choose(program.window, kAliasFreeRow);
    EXPECT_EQ(CheckedSignals(program.window), (std::vector<int>{kLinearRow, kAliasFreeRow}));

    // The sequences' length from its dialog (2^12 samples), and the periodic
    // white noise through the device: it repeats every 4,096 frames, sample
    // for sample.
    const auto in = [](const char* caption, int x, int y) {
      return OnScreen(FindWindowA("#32770", caption), x, y);
    };
    StartScript(
        {[&] { Mouse(in("Sequence length", 110, 32), true, true); }, [] {}, [] { Type("12"); },
         [] { Key(VK_RETURN); }, [] {}, [&] { Mouse(in("Sequence length", 28, 111), true, true); }},
        [] {
          if (HWND d = FindWindowA("#32770", "Sequence length")) {
            PostMessageA(d, WM_CLOSE, 0, 0);
          }
        });
    Choose(program.window, kSequenceRow);
    EXPECT_EQ(StopScript(), 6u);
    EXPECT_EQ(Settings().sequence_order, 12);
    Choose(program.window, kPeriodicWhiteRow);
    const std::vector<int16_t> periodic = Listen();
    size_t repeating = 0, longest = 0;  // frames equal to the frame a period on
    for (size_t f = 0; f + 4096 < periodic.size() / 2; ++f) {
      repeating = periodic[2 * f] == periodic[2 * (f + 4096)] ? repeating + 1 : 0;
      longest = std::max(longest, repeating);
    }
    EXPECT_GE(longest, 4096u);

    // The stepped sweep's dialog: 6 steps an octave, 0.5 s a step, stepping.
    StartScript(
        {[&] { Mouse(in("Stepped sweep", 110, 32), true, true); }, [] {}, [] { Type("6"); },
         [] { Key(VK_RETURN); }, [] {}, [&] { Mouse(in("Stepped sweep", 110, 58), true, true); },
         [] {}, [] { Type("0.5"); }, [] { Key(VK_RETURN); }, [] {},
         [&] { Mouse(in("Stepped sweep", 28, 82), true, true); }, [] {},
         [&] { Mouse(in("Stepped sweep", 28, 111), true, true); }},
        [] {
          if (HWND d = FindWindowA("#32770", "Stepped sweep")) {
            PostMessageA(d, WM_CLOSE, 0, 0);
          }
        });
    Choose(program.window, kSteppedRow);
    EXPECT_EQ(StopScript(), 13u);
    EXPECT_EQ(Settings().steps_per_octave, 6);
    EXPECT_EQ(Settings().step_dwell_s, 0.5f);
    EXPECT_EQ(Settings().sweep_flags & (kSweepOn | kSweepStepped), kSweepOn | kSweepStepped);
    EXPECT_EQ(Settings().source, kSourceWaveform);
    StartScript({[&] { Mouse(in("Stepped sweep", 28, 82), true, true); }, [] {},
                 [&] { Mouse(in("Stepped sweep", 28, 111), true, true); }},
                [] {
                  if (HWND d = FindWindowA("#32770", "Stepped sweep")) {
                    PostMessageA(d, WM_CLOSE, 0, 0);
                  }
                });
    Choose(program.window, kSteppedRow);  // off again, from the same dialog
    EXPECT_EQ(StopScript(), 3u);
    EXPECT_EQ(Settings().sweep_flags & kSweepStepped, 0);

    // The MLS lights NOISE as the other noises of the menu do; the
    // synchronised sweep plays the waveform source's sweep.
    Choose(program.window, kMlsRow);
    EXPECT_EQ(Settings().noise_type, kNoiseMls);
    EXPECT_EQ(ValueOf(g_panel.lamp_noise), 1.0f);
    Choose(program.window, kSynchronisedRow);
    EXPECT_EQ(Settings().source, kSourceWaveform);
    EXPECT_EQ(Settings().sweep_flags & (kSweepOn | kSweepSynchronised),
              kSweepOn | kSweepSynchronised);
    Choose(program.window, kSynchronisedRow);

    // The burst's dialog: 4 cycles typed, the Hann window switched on, OK.
    // A single sweep of 0.1 s plays as it opens and ends while it is up:
    // the dialog's OK changes its fields only, so the sound that ended
    // stays off and ON unlit.
    GeneratorSettings sweep = Settings();
    sweep.source = kSourceWaveform;
    sweep.sweep_flags |= kSweepOn;
    sweep.sweep_time_s = 0.1f;
    SetGeneratorSettings(g_app.engine, &sweep);
    RefreshPanel(&g_panel);
    if (ValueOf(Control(kOnButton)) == 0.0f) Click(Control(kOnButton));
    ASSERT_EQ(Settings().on, 1);
    const auto at = [](int x, int y) {
      return OnScreen(FindWindowA("#32770", "Tone burst"), x, y);
    };
    Steps script = {[&] { Mouse(at(110, 32), true, true); },
                    [] {},
                    [] { Type("4"); },
                    [] { Key(VK_RETURN); },
                    [] {},
                    [&] { Mouse(at(28, 82), true, true); }};
    for (int tick = 0; tick < 30; ++tick) script.push_back([] {});  // 900 ms: the sweep ends
    script.push_back([&] { Mouse(at(28, 111), true, true); });
    const size_t steps = script.size();
    StartScript(std::move(script), [] {
      if (HWND d = FindWindowA("#32770", "Tone burst")) PostMessageA(d, WM_CLOSE, 0, 0);
    });
    Choose(program.window, kBurstRow);
    EXPECT_EQ(StopScript(), steps);
    const GeneratorSettings s = Settings();
    EXPECT_EQ(s.source, kSourceTestSignal);
    EXPECT_EQ(s.test_signal, kTestBurst);
    EXPECT_EQ(s.burst_on_cycles, 4.0f);
    EXPECT_EQ(s.burst_off_cycles, 90.0f);  // a first burst's
    EXPECT_NE(s.waveform_options & kHannBurst, 0);
    EXPECT_EQ(s.on, 0);
    EXPECT_EQ(ValueOf(Control(kOnButton)), 0.0f);
  }
  Program again(/*keep_set=*/true);
  const GeneratorSettings s = Settings();
  EXPECT_EQ(s.sequence_order, 12);
  EXPECT_EQ(s.steps_per_octave, 6);
  EXPECT_EQ(s.step_dwell_s, 0.5f);
  EXPECT_EQ(s.test_signal, kTestBurst);
  EXPECT_EQ(s.burst_on_cycles, 4.0f);
  EXPECT_EQ(s.waveform_options, kHannBurst | kAliasFree);
  EXPECT_EQ(s.sweep_flags & kSweepLinear, kSweepLinear);
  EXPECT_EQ(CheckedSignals(again.window), (std::vector<int>{kBurstRow, kLinearRow, kAliasFreeRow}));
  EXPECT_EQ(ValueOf(g_panel.lamp_waveform), 0.0f);
}

}  // namespace
