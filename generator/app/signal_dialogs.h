// The Signals menu's dialogs, each a panel dialog (panel_dialog.h) on a
// skin of its own: the tone burst, the sequences' length and the stepped
// sweep. Each starts from the settings as they are when it opens and
// answers only its own fields, which the caller applies to the settings as
// they are when it closes (a one-shot may have ended meanwhile).
#pragma once

#include <windows.h>

#include <cstdint>

#include "generator/engine/engine.h"

// The bitmaps the dialogs draw with, owned by the application.
struct SignalDialogLook {
  HBITMAP burst_skin;             // 551
  HBITMAP sequence_skin;          // 552
  HBITMAP steps_skin;             // 553
  HBITMAP button_on, button_off;  // 530, 531
};

// The tone burst: cycles of sound (0.5 … 100), of silence (0 … 1000) and
// the Hann window. A set that never had a burst (0 cycles on) starts from
// 10 on, 90 off.
struct ToneBurstChoice {
  float on_cycles, off_cycles;
  bool hann;
};
bool AskForToneBurst(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                     ToneBurstChoice* choice);
void ApplyToneBurst(const ToneBurstChoice& choice, GeneratorSettings* settings);

// The order N of the periodic noises and the MLS (12 … 20), shown with the
// period it gives at `rate`: 2^N samples, 2^N - 1 for the MLS when it plays.
bool AskForSequenceOrder(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                         int32_t rate, int32_t* order);

// The stepped sweep: steps per octave (1 … 48), the dwell of each step
// (0.05 … 60 s) and whether the sweep steps.
struct SteppedSweepChoice {
  int32_t steps_per_octave;
  float dwell_s;
  bool stepped;
};
bool AskForSteppedSweep(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                        SteppedSweepChoice* choice);
void ApplySteppedSweep(const SteppedSweepChoice& choice, GeneratorSettings* settings);
