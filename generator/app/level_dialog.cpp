// The output-level dialog: see level_dialog.h.
//
// Switch 0 plays the reference; switches 1 to 5 are the units, one of them
// on. The one number is the meter reading in volts (NaN until one is typed).
// Its places are those of the skin (tools/assets/make_generator_skins.py).
#include "generator/app/level_dialog.h"

#include <cmath>
#include <cstdio>

#include "ctl/qx2ctl.h"
#include "generator/app/panel_dialog.h"

namespace {

constexpr int kWidth = 200, kHeight = 208;
constexpr RECT kReadingBox = {112, 54, 184, 71};
constexpr RECT kFullScaleStrip = {10, 80, 190, 95};
constexpr POINT kReferenceButton = {16, 24};
constexpr POINT kUnitButtons[kLevelUnitCount] = {
    {16, 112}, {16, 136}, {16, 160}, {104, 112}, {104, 136}};
constexpr POINT kOkButton = {16, 181}, kCancelButton = {104, 181};
constexpr int kReferenceSwitch = 0, kFirstUnitSwitch = 1;
static_assert(kFirstUnitSwitch + kLevelUnitCount <= kMaxDialogSwitches, "the dialog's switches");

struct LevelDialogState {
  PlayReference play;
  void* user;
  double full_scale_volts;  // given: 0 for none
  bool playing;
};

// The full scale the dialog stands at: the reading's, or the one given.
double FullScaleOf(const PanelDialog& d, const LevelDialogState& state) {
  double full_scale = 0.0;
  const double reading = d.numbers[0].value;
  if (std::isfinite(reading) &&
      CheckCalibration(reading, kReferenceDbfs, &full_scale) == kCalibrationGood) {
    return full_scale;
  }
  return state.full_scale_volts;
}

void ReadingText(double volts, char* out, size_t size) {
  if (!std::isfinite(volts)) {
    std::snprintf(out, size, "?");
  } else if (volts >= 1.0) {
    std::snprintf(out, size, "%.3f V", volts);
  } else {
    std::snprintf(out, size, "%.1f mV", volts * 1000.0);
  }
}

bool ParseReading(HWND dialog, const char* typed, double* value) {
  double volts = 0.0, full_scale = 0.0;
  ParseVoltsReading(typed, &volts);
  const CalibrationCheck check = CheckCalibration(volts, kReferenceDbfs, &full_scale);
  if (check != kCalibrationGood) {
    MessageBoxA(dialog, CalibrationMessage(check), "Output level", MB_OK | MB_ICONWARNING);
    return false;
  }
  *value = volts;
  return true;
}

void Describe(const PanelDialog* d, HDC dc, void* user) {
  const auto* state = static_cast<const LevelDialogState*>(user);
  const double full_scale = FullScaleOf(*d, *state);
  char text[64];
  if (IsCalibrated(full_scale)) {
    char volts[32];
    FormatLevel(0.0, kLevelVoltsRms, full_scale, volts, sizeof volts);
    std::snprintf(text, sizeof text, "0 dBFS = %s RMS", volts);
  } else {
    std::snprintf(text, sizeof text, "Not calibrated");
  }
  DrawReadoutText(dc, kFullScaleStrip, text, GetLibraryColor(kPaletteBlack));
}

void OnSwitch(PanelDialog* d, int index, void* user) {
  auto* state = static_cast<LevelDialogState*>(user);
  if (index == kReferenceSwitch) {
    state->playing = d->switches[index].on;
    state->play(state->playing, state->user);
    return;
  }
  for (int unit = 0; unit < kLevelUnitCount; ++unit) {  // one unit, always
    d->switches[kFirstUnitSwitch + unit].on = kFirstUnitSwitch + unit == index;
  }
}

}  // namespace

bool AskForOutputLevel(HWND owner, const LevelDialogLook& look, const char* output_name,
                       PlayReference play, void* user, LevelCalibration* calibration) {
  LevelDialogState state = {play, user, calibration->full_scale_volts, false};
  char caption[320];
  std::snprintf(caption, sizeof caption, "Output level: %s", output_name);
  PanelDialog d = PanelDialogOn(caption, look.skin, kWidth, kHeight, look.button_on,
                                look.button_off, kOkButton, kCancelButton);
  d.numbers[0] = {kReadingBox, NAN, 0.0, kMaxFullScaleVolts, false, ReadingText, ParseReading};
  d.number_count = 1;
  d.switches[kReferenceSwitch] = {kReferenceButton, false};
  for (int unit = 0; unit < kLevelUnitCount; ++unit) {
    d.switches[kFirstUnitSwitch + unit] = {kUnitButtons[unit], unit == calibration->unit};
  }
  d.switch_count = kFirstUnitSwitch + kLevelUnitCount;
  d.describe = Describe;
  d.on_switch = OnSwitch;
  d.user = &state;
  const bool taken = RunPanelDialog(owner, &d);
  if (state.playing) play(false, user);
  if (!taken) return false;
  for (int unit = 0; unit < kLevelUnitCount; ++unit) {
    if (d.switches[kFirstUnitSwitch + unit].on) calibration->unit = static_cast<LevelUnit>(unit);
  }
  calibration->full_scale_volts = FullScaleOf(d, state);
  return true;
}
