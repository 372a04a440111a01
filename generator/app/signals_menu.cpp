// The Signals menu: see signals_menu.h.
//
// One row a menu item, the command being CMD_SIGNALS plus the row's place:
// a signal chosen by its engine name (SelectNamedSignal), the tone burst's
// dialog, or a bit of a settings word that the item switches.
#include "generator/app/signals_menu.h"

#include "generator/app/app_info.h"
#include "generator/app/burst_dialog.h"
#include "generator/app/main_window.h"
#include "generator/app/panel.h"

namespace {

enum SignalMenuAction { kSeparator, kChooseSignal, kAskForBurst, kSwitchBit };

struct SignalMenuRow {
  SignalMenuAction action;
  const char* text;
  const char* signal;                // kChooseSignal, kAskForBurst: the engine's name
  int32_t GeneratorSettings::*word;  // kSwitchBit
  int32_t bit;
};

constexpr SignalMenuRow kSignalMenu[] = {
    {kChooseSignal, "White noise", "white", nullptr, 0},
    {kChooseSignal, "Brown noise", "brown", nullptr, 0},
    {kSeparator, nullptr, nullptr, nullptr, 0},
    {kChooseSignal, "SMPTE twin tone (60 Hz + 7 kHz, 4:1)", "smpte", nullptr, 0},
    {kChooseSignal, "DIN twin tone (250 Hz + 8 kHz, 4:1)", "din", nullptr, 0},
    {kChooseSignal, "CCIF twin tone (19 kHz + 20 kHz)", "ccif", nullptr, 0},
    {kAskForBurst, "Tone burst...", "burst", nullptr, 0},
    {kChooseSignal, "J-test", "jtest", nullptr, 0},
    {kSeparator, nullptr, nullptr, nullptr, 0},
    {kSwitchBit, "Linear sweep", nullptr, &GeneratorSettings::sweep_flags, kSweepLinear},
    {kSwitchBit, "Alias-free waveforms", nullptr, &GeneratorSettings::waveform_options, kAliasFree},
};
constexpr int kSignalMenuRows = static_cast<int>(sizeof kSignalMenu / sizeof kSignalMenu[0]);
static_assert(CMD_SIGNALS + kSignalMenuRows - 1 <= CMD_SIGNALS_LAST, "the menu's commands");

HMENU g_signals_menu;

// Whether `s` plays the row's signal.
bool Plays(const SignalMenuRow& row, const GeneratorSettings& s) {
  GeneratorSettings chosen = s;
  return row.signal && SelectNamedSignal(row.signal, &chosen) && chosen.source == s.source &&
         chosen.noise_type == s.noise_type && chosen.test_signal == s.test_signal;
}

void Apply(const GeneratorSettings& s) {
  SetGeneratorSettings(g_app.engine, &s);
  RefreshPanel(&g_panel);
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
      AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(CMD_SIGNALS + i), row.text);
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
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  switch (row.action) {
    case kChooseSignal: SelectNamedSignal(row.signal, &s); break;
    case kAskForBurst:
      if (!AskForToneBurst(window,
                           {g_app.skins[kSkinToneBurst], g_app.skins[kSkinButtonOn],
                            g_app.skins[kSkinButtonOff]},
                           &s)) {
        return true;
      }
      SelectNamedSignal(row.signal, &s);
      break;
    case kSwitchBit: s.*row.word ^= row.bit; break;
    case kSeparator: return true;
  }
  Apply(s);
  return true;
}

void CheckSignalsMenu(HMENU menu) {
  if (!g_signals_menu || !menu) return;
  GeneratorSettings s;
  GetGeneratorSettings(g_app.engine, &s);
  for (int i = 0; i < kSignalMenuRows; ++i) {
    const SignalMenuRow& row = kSignalMenu[i];
    if (row.action == kSeparator) continue;
    const bool on = row.action == kSwitchBit ? (s.*row.word & row.bit) != 0 : Plays(row, s);
    CheckMenuItem(g_signals_menu, static_cast<UINT>(CMD_SIGNALS + i),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
  }
}
