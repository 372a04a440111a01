// The generator panel's tables and the rules that read them: see
// panel_parameters.h.
#include "generator/panel/panel_parameters.h"

#include <cmath>
#include <cstdio>

#include "ctl/control_style.h"
#include "ctl/portable/value_text.h"

const float kLevelPresets[kLevelPresetCount] = {0.0f, -10.0f, -20.0f, -30.0f};
const float kFrequencyPresets[kFrequencyPresetCount] = {50.0f, 100.0f, 1000.0f, 10000.0f, 15000.0f};

const PanelPlace kPanelPlaces[] = {
    {kOnButton, kPanelButton, kToggleButton, 46, 11},
    {kOnLamp, kPanelLamp, kNoButton, 46, 32},
    {kContinuousButton, kPanelButton, kSelectButton, 46, 63},
    {kOneShotButton, kPanelButton, kSelectButton, 46, 90},
    {kGateButton, kPanelButton, kToggleButton, 46, 179},
    {kDurationKnob, kPanelSmallKnob, kNoButton, 85, 119},
    {kOptionsButton, kPanelButton, kPushButton, 46, 203},
    {kLevelKnob, kPanelLargeKnob, kNoButton, 157, 60},
    {kGainKnob, kPanelSmallKnob, kNoButton, 158, 145},
    {kLevelPresetFirst + 0, kPanelButton, kSelectButton, 203, 43},
    {kLevelPresetFirst + 1, kPanelButton, kSelectButton, 203, 66},
    {kLevelPresetFirst + 2, kPanelButton, kSelectButton, 203, 89},
    {kLevelPresetFirst + 3, kPanelButton, kSelectButton, 203, 112},
    {kBalanceSlider, kPanelSlider, kNoButton, 145, 199},
    {kWaveformSourceButton, kPanelButton, kSelectButton, 277, 11},
    {kWaveformLamp, kPanelLamp, kNoButton, 277, 32},
    {kFrequencyKnob, kPanelLargeKnob, kNoButton, 283, 61},
    {kPhaseKnob, kPanelSmallKnob, kNoButton, 286, 114},
    {kDcOffsetKnob, kPanelSmallKnob, kNoButton, 286, 149},
    {kFrequencyPresetFirst + 0, kPanelButton, kSelectButton, 369, 65},
    {kFrequencyPresetFirst + 1, kPanelButton, kSelectButton, 369, 88},
    {kFrequencyPresetFirst + 2, kPanelButton, kSelectButton, 369, 111},
    {kFrequencyPresetFirst + 3, kPanelButton, kSelectButton, 369, 134},
    {kFrequencyPresetFirst + 4, kPanelButton, kSelectButton, 369, 157},
    {kWaveformFirst + 0, kPanelButton, kSelectButton, 279, 187},
    {kWaveformFirst + 1, kPanelButton, kSelectButton, 309, 187},
    {kWaveformFirst + 2, kPanelButton, kSelectButton, 339, 187},
    {kWaveformFirst + 3, kPanelButton, kSelectButton, 369, 187},
    {kNoiseSourceButton, kPanelButton, kSelectButton, 529, 12},
    {kNoiseLamp, kPanelLamp, kNoButton, 529, 33},
    {kNoiseTypeFirst + 0, kPanelButton, kSelectButton, 529, 62},
    {kNoiseTypeFirst + 1, kPanelButton, kSelectButton, 529, 86},
    {kNoiseTypeFirst + 2, kPanelButton, kSelectButton, 529, 110},
    {kNoiseTypeFirst + 3, kPanelButton, kSelectButton, 529, 134},
    {kNoiseTypeFirst + 4, kPanelButton, kSelectButton, 529, 158},
    {kSweepButton, kPanelButton, kToggleButton, 365, 11},
    {kSweepEndKnob, kPanelSmallKnob, kNoButton, 437, 39},
    {kSweepStartKnob, kPanelSmallKnob, kNoButton, 437, 71},
    {kSweepTimeKnob, kPanelSmallKnob, kNoButton, 437, 103},
    {kSweepDownwardButton, kPanelButton, kToggleButton, 436, 135},
    {kSweepBackAndForthButton, kPanelButton, kToggleButton, 436, 159},
    {kDurationReadout, kPanelReadout, kNoButton, 79, 155},
    {kLevelReadout, kPanelReadout, kNoButton, 152, 103},
    {kGainReadout, kPanelReadout, kNoButton, 193, 154},
    {kFrequencyReadout, kPanelReadout, kNoButton, 320, 81},
    {kPhaseReadout, kPanelReadout, kNoButton, 320, 123},
    {kDcOffsetReadout, kPanelReadout, kNoButton, 321, 159},
    {kSweepEndReadout, kPanelReadout, kNoButton, 472, 48},
    {kSweepStartReadout, kPanelReadout, kNoButton, 472, 80},
    {kSweepTimeReadout, kPanelReadout, kNoButton, 472, 112},
};
const size_t kPanelPlaceCount = sizeof kPanelPlaces / sizeof kPanelPlaces[0];

// The knobs' styles: a pointer bar in black outlining dark grey (palette 0
// and 10), the owner hears every move; values typed in the quick edit box,
// or in the time-entry dialog, or (logarithmic frequencies) as a period in
// the time-entry dialog.
constexpr uint32_t kPointerBar = StyleColors(0, 10);
constexpr uint32_t kTypedKnob = kNotifyWhileMoving | kStyleEditQuick | kPointerBar;
constexpr uint32_t kTimeKnob = kNotifyWhileMoving | kStyleEditTime | kPointerBar;
constexpr uint32_t kPeriodKnob =
    kStyleLogarithmic | kNotifyWhileMoving | kStyleEditReciprocal | kPointerBar;

//
// Each row: knob, read-out, setting;
//           image, angles, minimum, maximum, double-click value, step, style;
//           read-out format, typed scale, typed range; presets.
// clang-format off
const KnobParameter kKnobParameters[kReadoutCount] = {
    {kDurationKnob, kDurationReadout, &GeneratorSettings::duration_s,
     kPanelSmallKnob, 225, 315, 0.001f, 1.0f, 0.05f, 0.0005f, kTimeKnob,
     kShowMilliseconds, 0.001, 1.0, 1000.0, -1, 0, nullptr},
    {kLevelKnob, kLevelReadout, &GeneratorSettings::level_db,
     kPanelLargeKnob, 225, 315, -80.0f, 0.0f, -40.0f, 0.1f, kTypedKnob,
     kShowDecibels, 1.0, -80.0, 0.0, kLevelPresetFirst, kLevelPresetCount, kLevelPresets},
    {kGainKnob, kGainReadout, &GeneratorSettings::gain_db,
     kPanelSmallKnob, 225, 315, -24.0f, 24.0f, 0.0f, 0.05f, kTypedKnob,
     kShowTwoDecimals, 1.0, -24.0, 24.0, -1, 0, nullptr},
    {kFrequencyKnob, kFrequencyReadout, &GeneratorSettings::frequency_hz,
     kPanelLargeKnob, 225, 45, 0.1f, 20000.0f, 1000.0f, 1.0145453f, kPeriodKnob,
     kShowFrequency, 1.0, 0.1, 20000.0,
     kFrequencyPresetFirst, kFrequencyPresetCount, kFrequencyPresets},
    {kPhaseKnob, kPhaseReadout, &GeneratorSettings::phase_deg,
     kPanelSmallKnob, 225, 315, -180.0f, 180.0f, 0.0f, 0.5f, kTypedKnob,
     kShowOneDecimal, 1.0, -180.0, 180.0, -1, 0, nullptr},
    {kDcOffsetKnob, kDcOffsetReadout, &GeneratorSettings::dc_offset,
     kPanelSmallKnob, 225, 315, -0.99f, 0.99f, 0.0f, 0.002f, kTypedKnob,
     kShowTwoDecimals, 1.0, -0.99, 0.99, -1, 0, nullptr},
    {kSweepEndKnob, kSweepEndReadout, &GeneratorSettings::sweep_end_hz,
     kPanelSmallKnob, 225, 45, 20.0f, 20000.0f, 20000.0f, 1.01f, kPeriodKnob,
     kShowWhole, 1.0, 20.0, 20000.0, -1, 0, nullptr},
    {kSweepStartKnob, kSweepStartReadout, &GeneratorSettings::sweep_start_hz,
     kPanelSmallKnob, 225, 45, 20.0f, 20000.0f, 20.0f, 1.01f, kPeriodKnob,
     kShowWhole, 1.0, 20.0, 20000.0, -1, 0, nullptr},
    {kSweepTimeKnob, kSweepTimeReadout, &GeneratorSettings::sweep_time_s,
     kPanelSmallKnob, 225, 315, 0.1f, 100.0f, 5.0f, 0.1f, kTimeKnob,
     kShowSweepTime, 1.0, 0.1, 100.0, -1, 0, nullptr},
};
// clang-format on

const KnobParameter* FindKnobParameter(int control_id) {
  for (const KnobParameter& k : kKnobParameters) {
    if (k.knob == control_id) return &k;
  }
  return nullptr;
}

static bool IsLogarithmic(const KnobParameter& k) { return (k.style & kStyleLogarithmic) != 0; }

int LitPreset(const KnobParameter& k, float value, bool stepped) {
  // A hundredth of a step: far above what stepping accumulates, far below
  // anything a user steps to on purpose (a step is the finest the knob goes).
  for (int i = 0; i < k.preset_count; ++i) {
    if (!stepped) {
      if (value == k.presets[i]) return i;
      continue;
    }
    const double preset = k.presets[i];
    const double tolerance = IsLogarithmic(k) ? std::fabs(preset) * (k.step - 1.0) * 0.01
                                              : static_cast<double>(k.step) * 0.01;
    if (std::fabs(static_cast<double>(value) - preset) <= tolerance) return i;
  }
  return -1;
}

int KeepSweepOrdered(int moved, GeneratorSettings* s) {
  if (moved == kSweepEndKnob && s->sweep_start_hz > s->sweep_end_hz) {
    s->sweep_start_hz = s->sweep_end_hz;
    return kSweepStartKnob;
  }
  if (moved == kSweepStartKnob && s->sweep_end_hz < s->sweep_start_hz) {
    s->sweep_end_hz = s->sweep_start_hz;
    return kSweepEndKnob;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Read-outs: a format is a row.

namespace {

typedef void (*ReadoutText)(double value, const GeneratorSettings& s, const LevelView& view,
                            char* out, size_t size);

void MillisecondsText(double v, const GeneratorSettings&, const LevelView&, char* out,
                      size_t size) {
  std::snprintf(out, size, "%0.1f", v * 1000.0);
}

// The level alone in dB full scale, as the panel always showed it; in a
// bench unit, what the output carries.
void LevelText(double v, const GeneratorSettings& s, const LevelView& view, char* out,
               size_t size) {
  if (ShowsBenchUnit(view)) {
    FormatLevel(v + s.gain_db, view.unit, view.full_scale_volts, out, size);
  } else {
    std::snprintf(out, size, "%0.0f db", v);
  }
}

void TwoDecimalsText(double v, const GeneratorSettings&, const LevelView&, char* out, size_t size) {
  std::snprintf(out, size, "%0.2f", v);
}

void OneDecimalText(double v, const GeneratorSettings&, const LevelView&, char* out, size_t size) {
  std::snprintf(out, size, "%0.1f", v);
}

void WholeText(double v, const GeneratorSettings&, const LevelView&, char* out, size_t size) {
  std::snprintf(out, size, "%0.0f", v);
}

void FrequencyText(double v, const GeneratorSettings&, const LevelView&, char* out, size_t size) {
  std::snprintf(out, size, v >= 50.0 ? "%0.0f" : v >= 1.0 ? "%0.2f" : "%0.3f", v);
}

void SweepTimeText(double v, const GeneratorSettings& s, const LevelView&, char* out, size_t size) {
  // A synchronised sweep plays L·ln(f2/f1), near the time set: shown to the
  // millisecond, so that what plays is what reads.
  const int32_t law = kSweepSynchronised | kSweepLinear | kSweepStepped;
  const double played =
      (s.sweep_flags & law) == kSweepSynchronised ? SynchronisedSweepSeconds(s) : 0.0;
  if (played > 0.0) {
    std::snprintf(out, size, "%0.3fs", played);
  } else if (v >= 1.0) {
    std::snprintf(out, size, "%0.1fs", v);
  } else {
    std::snprintf(out, size, "%0.0f", v * 1000.0);
  }
}

struct ReadoutFormatRow {
  ReadoutFormat format;
  ReadoutText text;
  bool minus_infinity;  // "-inf" typed stands for the range's minimum
};

constexpr ReadoutFormatRow kReadoutFormats[] = {
    {kShowMilliseconds, MillisecondsText, false},
    {kShowDecibels, LevelText, true},
    {kShowTwoDecimals, TwoDecimalsText, false},
    {kShowOneDecimal, OneDecimalText, false},
    {kShowWhole, WholeText, false},
    {kShowFrequency, FrequencyText, false},
    {kShowSweepTime, SweepTimeText, false},
};

constexpr bool FormatsInOrder() {
  for (int i = 0; i < kReadoutFormatCount; ++i) {
    if (kReadoutFormats[i].format != i) return false;
  }
  return true;
}
static_assert(sizeof kReadoutFormats / sizeof kReadoutFormats[0] == kReadoutFormatCount &&
                  FormatsInOrder(),
              "kReadoutFormats[format]");

}  // namespace

bool ShowsBenchUnit(const LevelView& view) {
  return view.unit != kLevelDbfs && IsCalibrated(view.full_scale_volts);
}

void FormatReadout(int id, const GeneratorSettings* s, char* out, size_t size,
                   const LevelView& view) {
  if (id < 0 || id >= kReadoutCount) {
    if (size > 0) out[0] = '\0';
    return;
  }
  const KnobParameter& k = kKnobParameters[id];
  kReadoutFormats[k.format].text(s->*k.field, *s, view, out, size);
}

void ReadoutEntryText(int id, const GeneratorSettings* s, char* out, size_t size,
                      const LevelView& view) {
  // The sweep time is typed in seconds, also where it is shown in milliseconds.
  if (id == kSweepTimeReadout) {
    std::snprintf(out, size, "%0.1fs", s->sweep_time_s);
  } else {
    FormatReadout(id, s, out, size, view);
  }
}

bool ReadoutTakesMinusInfinity(int id) {
  return id >= 0 && id < kReadoutCount &&
         kReadoutFormats[kKnobParameters[id].format].minus_infinity;
}

int ApplyReadoutEntry(int id, double typed, GeneratorSettings* s) {
  if (id < 0 || id >= kReadoutCount) return 0;
  const KnobParameter& k = kKnobParameters[id];
  if (!(typed >= k.entry_minimum && typed <= k.entry_maximum)) return 0;
  s->*k.field = static_cast<float>(typed * k.entry_scale);
  KeepSweepOrdered(k.knob, s);
  return 1;
}

// A level typed with a unit, or into a read-out that shows one: level plus
// gain is what was typed.
static ReadoutEntryResult ApplyTypedLevel(double total_dbfs, const LevelView& view,
                                          GeneratorSettings* s, char* why, size_t why_size) {
  const KnobParameter& k = kKnobParameters[kLevelReadout];
  const double gain = s->gain_db;
  const double lowest = k.entry_minimum + gain;
  const double highest = std::fmin(k.entry_maximum + gain, 0.0);  // never above full scale
  // Half the last digit of the texts that name these limits: the limit
  // typed as the message shows it is taken.
  constexpr double kTextSlack = 0.005;
  if (!(total_dbfs >= lowest - kTextSlack && total_dbfs <= highest + kTextSlack)) {
    char range[96];
    const LevelView shown = ShowsBenchUnit(view) ? view : kLevelViewDbfs;
    FormatLevelRange(lowest, highest, shown.unit, shown.full_scale_volts, range, sizeof range);
    std::snprintf(why, why_size, "The level must be %s.", range);
    return kEntryRefused;
  }
  const double level = std::fmin(std::fmax(total_dbfs - gain, k.entry_minimum), k.entry_maximum);
  s->level_db = static_cast<float>(level);
  return kEntryApplied;
}

ReadoutEntryResult ApplyReadoutText(int id, const char* typed, const LevelView& view,
                                    GeneratorSettings* s, char* why, size_t why_size) {
  if (why_size > 0) why[0] = '\0';
  if (id < 0 || id >= kReadoutCount) return kEntryIgnored;
  const KnobParameter& k = kKnobParameters[id];
  if (ReadoutTakesMinusInfinity(id) && IsMinusInfinity(typed)) {
    return ApplyReadoutEntry(id, k.entry_minimum, s) ? kEntryApplied : kEntryIgnored;
  }
  if (id == kLevelReadout) {
    // A pasted en or em dash is a minus sign here as in every typed value.
    char text[256];
    size_t n = 0;
    for (const char* c = typed; *c && n + 1 < sizeof text; ++c)
      text[n++] = IsMinusSign(*c) ? '-' : *c;
    text[n] = '\0';
    double dbfs = 0.0;
    LevelUnit unit = kLevelDbfs;
    const LevelParse parsed = ParseLevel(text, view.unit, view.full_scale_volts, &dbfs, &unit);
    if (parsed == kLevelNoNumber || parsed == kLevelUnknownUnit) return kEntryIgnored;
    if (parsed != kLevelParsed) {
      std::snprintf(why, why_size, "%s", LevelParseMessage(parsed));
      return kEntryRefused;
    }
    // dB full scale typed where dB full scale shows: the level knob's own
    // number, as it always was.
    if (unit == kLevelDbfs && !ShowsBenchUnit(view)) {
      return ApplyReadoutEntry(id, dbfs, s) ? kEntryApplied : kEntryIgnored;
    }
    return ApplyTypedLevel(dbfs, view, s, why, why_size);
  }
  long double value = 0;
  if (!ParseTypedValue(typed, &value)) return kEntryIgnored;
  return ApplyReadoutEntry(id, static_cast<double>(value), s) ? kEntryApplied : kEntryIgnored;
}

// ---------------------------------------------------------------------------
// Loaded settings.

static float Showable(float value, float minimum, float maximum, float fallback) {
  if (!std::isfinite(value)) return fallback;
  return value < minimum ? minimum : value > maximum ? maximum : value;
}

void KeepSettingsShowable(GeneratorSettings* s) {
  for (const KnobParameter& k : kKnobParameters) {
    s->*k.field = Showable(s->*k.field, k.minimum, k.maximum, kGeneratorDefaults.*k.field);
  }
  s->pan = Showable(s->pan, -1.0f, 1.0f, kGeneratorDefaults.pan);
  s->gate_on_s =
      Showable(s->gate_on_s, kGateTimeMinimum, kGateTimeMaximum, kGeneratorDefaults.gate_on_s);
  s->gate_off_s =
      Showable(s->gate_off_s, kGateTimeMinimum, kGateTimeMaximum, kGeneratorDefaults.gate_off_s);
  // The engine times any non-zero one_shot; the panel's two buttons show 0
  // and 1. The gate button lights for any non-zero gate, which the engine
  // gates only at 1: a non-zero gate becomes 1, so what shows is what plays.
  if (s->one_shot != 0) s->one_shot = 1;
  if (s->gate != 0) s->gate = 1;
  // The tone burst's cycles as the engine plays them; 0, which every set
  // written before holds, stays (it plays half a cycle).
  s->burst_on_cycles = Showable(s->burst_on_cycles, 0.0f, kBurstMaxOnCycles, 0.0f);
  s->burst_off_cycles = Showable(s->burst_off_cycles, 0.0f, kBurstMaxOffCycles, 0.0f);
  // The sequences' order and the stepped sweep's words as the engine plays
  // them; 0, which every set written before holds, stays (the defaults play).
  if (s->sequence_order != 0) s->sequence_order = SequenceOrderOf(s->sequence_order);
  if (s->steps_per_octave != 0) s->steps_per_octave = StepsPerOctaveOf(s->steps_per_octave);
  if (s->step_dwell_s != 0.0f) {
    s->step_dwell_s = Showable(s->step_dwell_s, kMinStepDwell, kMaxStepDwell, 0.0f);
  }
  // The engine sweeps between the lower and the higher of the two words, so
  // swapping them plays the same and shows start <= end.
  if (s->sweep_start_hz > s->sweep_end_hz) {
    const float lower = s->sweep_end_hz;
    s->sweep_end_hz = s->sweep_start_hz;
    s->sweep_start_hz = lower;
  }
}
