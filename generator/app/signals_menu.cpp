// The Signals menu: see signals_menu.h.
//
// One row a menu item, the command being CMD_SIGNALS plus the row's place:
// a signal chosen by its source and number (the engine's enums, so that a
// row can't name a signal that isn't), a dialog (signal_dialogs.h), or a
// bit of a settings word that the item switches. A dialog is modal and the
// panel's timers run under it: what it answers is applied to the settings
// as they are when it closes, so that a one-shot that ended meanwhile stays
// ended.
#include "generator/app/signals_menu.h"

#include <cstdio>

#include "generator/app/app_info.h"
#include "generator/app/main_window.h"
#include "generator/app/panel.h"
#include "generator/app/signal_dialogs.h"
#include "generator/audio/audio_thread.h"

namespace {

enum SignalMenuAction {
  kSeparator,
  kChooseSignal,  // the row's source and number
  kAskForBurst,   // the tone burst's dialog, then the burst
  kAskForOrder,   // the sequences' length
  kSwitchBit,     // the row's bit of its word
  kSwitchSweep,   // the same, and on: the waveform source's sweep plays
  kAskForSteps,   // the stepped sweep's dialog
};

struct SignalMenuRow {
  SignalMenuAction action;
  const char* text;  // null: the twin tone's (DescribeTwinTone)
  GeneratorSource source;
  int32_t number;                    // the noise type or test signal of `source`
  int32_t GeneratorSettings::*word;  // kSwitchBit, kSwitchSweep
  int32_t bit;
};

constexpr SignalMenuRow kSignalMenu[] = {
    {kChooseSignal, "White noise", kSourceNoise, kNoiseWhite, nullptr, 0},
    {kChooseSignal, "Brown noise", kSourceNoise, kNoiseBrown, nullptr, 0},
    {kSeparator, nullptr, kSourceNoise, 0, nullptr, 0},
    {kChooseSignal, "Periodic white noise", kSourceNoise, kNoisePeriodicWhite, nullptr, 0},
    {kChooseSignal, "Periodic pink noise", kSourceNoise, kNoisePeriodicPink, nullptr, 0},
    {kChooseSignal, "MLS", kSourceNoise, kNoiseMls, nullptr, 0},
    {kAskForOrder, "Sequence length...", kSourceNoise, 0, nullptr, 0},
    {kSeparator, nullptr, kSourceNoise, 0, nullptr, 0},
    {kChooseSignal, nullptr, kSourceTestSignal, kTestSmpte, nullptr, 0},
    {kChooseSignal, nullptr, kSourceTestSignal, kTestDin, nullptr, 0},
    {kChooseSignal, nullptr, kSourceTestSignal, kTestCcif, nullptr, 0},
    {kAskForBurst, "Tone burst...", kSourceTestSignal, kTestBurst, nullptr, 0},
    {kChooseSignal, "J-test", kSourceTestSignal, kTestJTest, nullptr, 0},
    {kSeparator, nullptr, kSourceNoise, 0, nullptr, 0},
    {kSwitchBit, "Linear sweep", kSourceWaveform, 0, &GeneratorSettings::sweep_flags, kSweepLinear},
    {kSwitchSweep, "Synchronised sweep", kSourceWaveform, 0, &GeneratorSettings::sweep_flags,
     kSweepSynchronised},
    {kAskForSteps, "Stepped sweep...", kSourceWaveform, 0, &GeneratorSettings::sweep_flags,
     kSweepStepped},
    {kSwitchBit, "Alias-free waveforms", kSourceWaveform, 0, &GeneratorSettings::waveform_options,
     kAliasFree},
};
constexpr int kSignalMenuRows = static_cast<int>(sizeof kSignalMenu / sizeof kSignalMenu[0]);
static_assert(CMD_SIGNALS + kSignalMenuRows - 1 <= CMD_SIGNALS_LAST, "the menu's commands");

HMENU g_signals_menu;

GeneratorSettings Now() {
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  return s;
}

bool ChoosesSignal(SignalMenuAction action) {
  return action == kChooseSignal || action == kAskForBurst;
}

// Whether `s` plays the row's signal.
bool Plays(const SignalMenuRow& row, const GeneratorSettings& s) {
  if (!ChoosesSignal(row.action) || s.source != row.source) return false;
  return (row.source == kSourceNoise ? s.noise_type : s.test_signal) == row.number;
}

void Select(const SignalMenuRow& row, GeneratorSettings* s) {
  s->source = row.source;
  if (row.source == kSourceNoise) s->noise_type = row.number;
  if (row.source == kSourceTestSignal) s->test_signal = row.number;
}

// A sweep switched on by its own item plays: the sweep runs on the waveform source.
void PlaySweep(GeneratorSettings* s) {
  s->sweep_flags |= kSweepOn;
  s->source = kSourceWaveform;
}

void Apply(const GeneratorSettings& s) {
  SetGeneratorSettings(g_app.engine, &s);
  RefreshPanel(&g_panel);
}

SignalDialogLook Look() {
  return {g_app.skins[kSkinToneBurst], g_app.skins[kSkinSequence], g_app.skins[kSkinSteps],
          g_app.skins[kSkinButtonOn], g_app.skins[kSkinButtonOff]};
}

// The row's text: its own, or the twin tone's of its number.
void RowText(const SignalMenuRow& row, char* out, size_t size) {
  std::snprintf(out, size, "%s", row.text ? row.text : "?");
  if (row.text) return;
  for (const TwinToneRow& twin : kTwinTones) {
    if (twin.signal == row.number) DescribeTwinTone(twin, out, size);
  }
}

}  // namespace

int AppendSignalsMenu(HWND window) {
  HMENU bar = GetMenu(window);
  HMENU menu = CreatePopupMenu();
  if (!bar || !menu) {
    if (menu) DestroyMenu(menu);
    return 0;
  }
  for (int i = 0; i < kSignalMenuRows; ++i) {
    const SignalMenuRow& row = kSignalMenu[i];
    if (row.action == kSeparator) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      char text[96];
      RowText(row, text, sizeof text);
      AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(CMD_SIGNALS + i), text);
    }
  }
  // The bar owns the menu from here and destroys it with the window.
  if (!AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), "&Signals")) {
    DestroyMenu(menu);
    return 0;
  }
  g_signals_menu = menu;
  DrawMenuBar(window);
  return 1;
}

bool OnSignalsCommand(HWND window, int command) {
  if (command < CMD_SIGNALS || command >= CMD_SIGNALS + kSignalMenuRows) return false;
  const SignalMenuRow& row = kSignalMenu[command - CMD_SIGNALS];
  GeneratorSettings s = Now();
  switch (row.action) {
    case kChooseSignal: Select(row, &s); break;
    case kAskForBurst: {
      ToneBurstChoice burst;
      if (!AskForToneBurst(window, Look(), s, &burst)) return true;
      s = Now();  // as they are after the dialog
      ApplyToneBurst(burst, &s);
      Select(row, &s);
      break;
    }
    case kAskForOrder: {
      int32_t order = 0;
      if (!AskForSequenceOrder(window, Look(), s, g_audio.sample_rate, &order)) return true;
      s = Now();
      s.sequence_order = order;
      break;
    }
    case kAskForSteps: {
      SteppedSweepChoice steps;
      if (!AskForSteppedSweep(window, Look(), s, &steps)) return true;
      s = Now();
      ApplySteppedSweep(steps, &s);
      if (steps.stepped) PlaySweep(&s);
      break;
    }
    case kSwitchBit: s.*row.word ^= row.bit; break;
    case kSwitchSweep:
      s.*row.word ^= row.bit;
      if (s.*row.word & row.bit) PlaySweep(&s);
      break;
    case kSeparator: return true;
  }
  Apply(s);
  return true;
}

void CheckSignalsMenu(HMENU menu) {
  if (!g_signals_menu || !menu) return;
  const GeneratorSettings s = Now();
  for (int i = 0; i < kSignalMenuRows; ++i) {
    const SignalMenuRow& row = kSignalMenu[i];
    if (row.action == kSeparator) continue;
    const bool on = row.word ? (s.*row.word & row.bit) != 0 : Plays(row, s);
    CheckMenuItem(g_signals_menu, static_cast<UINT>(CMD_SIGNALS + i),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  }
}
