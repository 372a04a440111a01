// The output-level dialog ("Output level..." in the Output menu), a panel
// dialog (panel_dialog.h) on its own skin: it plays the reference (a 1 kHz
// sine at -10 dBFS on both channels) while its switch is on, takes the
// user's meter reading of it ("0.632 V", "632 mV"), shows the full scale
// that gives ("0 dBFS = 2.000 V RMS") and the unit the level shows in. A
// reading that is no number of volts, zero, negative, not finite, above
// 1000 V or one that makes full scale above 1000 V changes nothing and is
// refused with the reason.
#pragma once

#include <windows.h>

#include "generator/panel/level_units.h"

struct LevelDialogLook {
  HBITMAP skin;                   // 554
  HBITMAP button_on, button_off;  // 530, 531
};

// The reference's level.
constexpr double kReferenceDbfs = -10.0;

struct LevelCalibration {
  LevelUnit unit;
  double full_scale_volts;  // 0: not calibrated
};

// Starts (`on`) or ends the reference for the dialog; the caller restores
// its set-up when it ends.
typedef void (*PlayReference)(bool on, void* user);

// Runs the dialog for the output `output_name`, owned by `owner`. True after
// OK with the unit and the full scale (the one given, unless a reading was
// taken); false, `calibration` unchanged, otherwise. The reference never
// plays on after it returns.
bool AskForOutputLevel(HWND owner, const LevelDialogLook& look, const char* output_name,
                       PlayReference play, void* user, LevelCalibration* calibration);
