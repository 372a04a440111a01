// The generator panel's facts, written once: its controls by name, where each
// sits (which is also the Tab order), and for every knob the setting it edits,
// its range and step, what its read-out shows and accepts, and its preset
// buttons. The panel (panel.cpp) creates, refreshes and dispatches from these
// tables; the skin script's layout is checked against them by a test.
// Portable: no Windows API.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generator/engine/engine.h"
#include "generator/panel/level_units.h"

// The panel's control ids: what the controls send in their notifications.
enum PanelControlId : int {
  kOnButton = 0,
  kContinuousButton = 1,
  kOneShotButton = 2,
  kDurationKnob = 3,
  kLevelKnob = 5,
  kGainKnob = 6,
  kLevelPresetFirst = 7,  // 7 … 10: 0, -10, -20, -30 dB
  kWaveformSourceButton = 11,
  kFrequencyKnob = 12,
  kPhaseKnob = 13,
  kDcOffsetKnob = 14,
  kFrequencyPresetFirst = 15,  // 15 … 19: 50, 100, 1000, 10000, 15000 Hz
  kNoiseSourceButton = 20,
  kNoiseTypeFirst = 21,  // 21 … 25: impulse, pink mono, anti-phase, stereo, multi-tone
  kNoiseTypeLast = 25,
  kSweepButton = 26,
  kSweepEndKnob = 27,
  kSweepStartKnob = 28,
  kSweepTimeKnob = 29,
  kSweepDownwardButton = 30,
  kSweepBackAndForthButton = 31,
  kWaveformFirst = 40,  // 40 … 43: sine, triangle, sawtooth, square
  kWaveformLast = 43,
  kBalanceSlider = 50,
  kGateButton = 60,
  kOptionsButton = 70,
};
constexpr int kPanelControlIds = 71;  // ids 0 … 70

// The three lamps: windows without notifications, so no control ids.
enum PanelLamp : int { kOnLamp = -1, kWaveformLamp = -2, kNoiseLamp = -3 };

// The read-outs, ids 0 … 8 of their own (free panels).
enum ReadoutId : int {
  kDurationReadout,
  kLevelReadout,
  kGainReadout,
  kFrequencyReadout,
  kPhaseReadout,
  kDcOffsetReadout,
  kSweepEndReadout,
  kSweepStartReadout,
  kSweepTimeReadout,
  kReadoutCount
};

enum PanelControlKind : int {
  kPanelButton,
  kPanelLamp,
  kPanelSmallKnob,  // image 509, 24 × 24
  kPanelLargeKnob,  // image 510, 32 × 32
  kPanelSlider,
  kPanelReadout,
};

// A button's behaviour (the library's button modes).
enum PanelButtonMode : int { kNoButton, kToggleButton, kSelectButton, kPushButton };

// One control at its client position (top-left corner).
struct PanelPlace {
  int id;  // PanelControlId, PanelLamp or ReadoutId by kind
  PanelControlKind kind;
  PanelButtonMode mode;
  int x, y;
};

// Every window of the panel in creation order, which is the Tab order: the
// controls, then the nine read-outs.
extern const PanelPlace kPanelPlaces[];
extern const size_t kPanelPlaceCount;

// The pivot of each knob image, as its x and y.
struct KnobPivot {
  int x, y;
};
constexpr KnobPivot kSmallKnobPivot = {13, 12};
constexpr KnobPivot kLargeKnobPivot = {17, 17};

constexpr int kReadoutWidth = 41, kReadoutHeight = 16;

// How a read-out writes its setting.
enum ReadoutFormat : int {
  kShowMilliseconds,  // "%0.1f" of seconds × 1000
  kShowDecibels,      // "%0.0f db"
  kShowTwoDecimals,   // "%0.2f"
  kShowOneDecimal,    // "%0.1f"
  kShowWhole,         // "%0.0f"
  kShowFrequency,     // "%0.0f" from 50 up, "%0.2f" from 1 up, else "%0.3f"
  kShowSweepTime,     // "%0.1fs" from a second up, else milliseconds "%0.0f"
  kReadoutFormatCount
};

// One knob, its setting, its read-out and its presets.
struct KnobParameter {
  PanelControlId knob;
  ReadoutId readout;
  float GeneratorSettings::*field;
  PanelControlKind kind;  // small or large knob
  int start_degrees, end_degrees;
  float minimum, maximum;
  // Where a double-click puts the knob. Not always the program's start-up
  // setting: the level goes to a quiet -40 dB (a double-click never makes
  // the sound louder than most settings), the sweep's ends to the ends of
  // the audio band and its time to 5 s.
  float double_click_value;
  float step;      // per step; a factor for the logarithmic knobs
  uint32_t style;  // the library's knob style word
  ReadoutFormat format;
  // A typed value × entry_scale is the setting; typed values are taken
  // within entry_minimum … entry_maximum (typed units), the knob's range.
  double entry_scale;
  double entry_minimum, entry_maximum;
  int first_preset;  // PanelControlId of the first preset button, or -1
  int preset_count;
  const float* presets;
};

// The nine knobs, in read-out order: kKnobParameters[readout].
extern const KnobParameter kKnobParameters[kReadoutCount];

// The knob row of a control id, or null when the control is no knob.
const KnobParameter* FindKnobParameter(int control_id);

// The level and frequency presets' values, by button.
constexpr int kLevelPresetCount = 4;
extern const float kLevelPresets[kLevelPresetCount];
constexpr int kFrequencyPresetCount = 5;
extern const float kFrequencyPresets[kFrequencyPresetCount];

// Which preset of `knob` is lit for `value`: the index of a preset equal to
// it, else -1. A value reached by stepping (`stepped`) may differ by the
// rounding that stepping a float accumulates (200 steps of 0.1 dB from -40
// reach -20.0000763); a typed or loaded one must be the preset exactly
// (15002 Hz lights no "15000"). -20.1 dB lights none.
int LitPreset(const KnobParameter& knob, float value, bool stepped);

// Keeps sweep start ≤ end after `moved` (kSweepStartKnob or kSweepEndKnob)
// changed: the other end moves along. Returns the control id of the knob that
// moved along, or -1 when none did.
int KeepSweepOrdered(int moved, GeneratorSettings* settings);

// How the panel speaks of the level: the chosen unit and the calibration of
// the output that plays (0: none, and every unit is dB full scale).
struct LevelView {
  LevelUnit unit;
  double full_scale_volts;
};
constexpr LevelView kLevelViewDbfs = {kLevelDbfs, 0.0};

// Whether the level shows in a unit other than dB full scale: what the
// output carries (level plus gain), in volts or dB of a volt reference.
bool ShowsBenchUnit(const LevelView& view);

// The text read-out `id` shows for `settings`; empty for any other id. The
// level read-out in a bench unit shows level plus gain in it ("+4.0 dBu");
// in dB full scale the level alone, as "-10 db".
void FormatReadout(int id, const GeneratorSettings* settings, char* out, size_t size,
                   const LevelView& view = kLevelViewDbfs);

// The text the read-out's quick edit box opens with.
void ReadoutEntryText(int id, const GeneratorSettings* settings, char* out, size_t size,
                      const LevelView& view = kLevelViewDbfs);

// Whether "-inf" typed into read-out `id` stands for its range's minimum.
bool ReadoutTakesMinusInfinity(int id);

// Applies a typed `value` (typed units) to read-out `id`'s setting when it is
// accepted, keeping the sweep ordered. Returns 1 when the settings changed.
int ApplyReadoutEntry(int id, double value, GeneratorSettings* settings);

enum ReadoutEntryResult : int {
  kEntryIgnored,  // no number, or a unit not known: nothing changes
  kEntryApplied,
  kEntryRefused,  // `why` says why, for a message
};

// What the user typed into read-out `id`, as text. A number (or "-inf"
// where it counts) is in the read-out's units, as ApplyReadoutEntry takes
// it. The level also takes a unit ("+4dBu", "775 mV", "2 Vpp", "-6 dB"):
// with a bench unit typed or shown, the level is set so that level plus gain
// gives the value, and a value above full scale or outside the knob's range
// plus the gain is refused, `why` naming the limits in the unit.
ReadoutEntryResult ApplyReadoutText(int id, const char* typed, const LevelView& view,
                                    GeneratorSettings* settings, char* why, size_t why_size);

// The gate times the Options window accepts, in seconds.
constexpr float kGateTimeMinimum = 0.1f, kGateTimeMaximum = 60.0f;

// Brings loaded settings into what the panel can show, the one rule for a
// loaded set (Generator's and genrender's): a value that is not finite takes
// its default, a finite one outside the range the panel accepts (its
// knob's, the balance slider's, the gate times') the nearest bound; a
// non-zero one-shot or gate word becomes 1, and the sweep's ends are put in
// order; the sequences' order and the stepped sweep's steps and dwell are
// brought into their ranges (0, the word of older sets, stays: the defaults
// play). Everything else (waveform and noise numbers, reserved words) stays
// as it is.
void KeepSettingsShowable(GeneratorSettings* settings);
