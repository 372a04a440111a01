// The Signals menu's dialogs: see signal_dialogs.h.
//
// Each is a description of a panel dialog: its skin (drawn by
// tools/assets/make_generator_skins.py, whose boxes and button places these
// are), its numbers with their ranges, its switches.
#include "generator/app/signal_dialogs.h"

#include <cstdio>
#include <cstring>

#include "generator/app/panel_dialog.h"

namespace {

constexpr int kWidth = 150, kHeight = 128;  // every skin of these
// The skins' glasses and button places (make_generator_skins.py).
constexpr RECT kUpperBox = {90, 24, 131, 40};
constexpr RECT kLowerBox = {90, 50, 131, 66};
constexpr POINT kSwitchButton = {16, 72};
constexpr POINT kOkButton = {16, 101};
constexpr POINT kCancelButton = {78, 101};
// Where the sequence dialog says the period, below its glass.
constexpr RECT kPeriodSamples = {8, 52, 142, 68};
constexpr RECT kPeriodSeconds = {8, 70, 142, 86};

// A set that never held a burst starts from a burst a user can hear as one.
constexpr float kFirstCyclesOn = 10.0f, kFirstCyclesOff = 90.0f;

// `value` brought into low … high; NaN gives low.
double Within(double value, double low, double high) {
  if (!(value >= low)) return low;
  return value > high ? high : value;
}

PanelDialog DialogOn(const char* caption, HBITMAP skin, const SignalDialogLook& look) {
  return PanelDialogOn(caption, skin, kWidth, kHeight, look.button_on, look.button_off, kOkButton,
                       kCancelButton);
}

// "65,536 samples" with the thousands grouped.
void SamplesText(int64_t samples, char* out, size_t size) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(samples));
  char grouped[32];
  size_t n = 0;
  const size_t length = std::strlen(digits);
  for (size_t i = 0; i < length && n + 2 < sizeof grouped; ++i) {
    if (i > 0 && (length - i) % 3 == 0) grouped[n++] = ',';
    grouped[n++] = digits[i];
  }
  grouped[n] = '\0';
  std::snprintf(out, size, "%s samples", grouped);
}

struct SequenceLook {
  int32_t rate;
  bool mls;  // the MLS plays: its period is one shorter
};

void DescribeSequence(const PanelDialog* d, HDC dc, void* user) {
  const auto* look = static_cast<const SequenceLook*>(user);
  const int32_t order = static_cast<int32_t>(d->numbers[0].value);
  const int64_t period = (int64_t{1} << order) - (look->mls ? 1 : 0);
  char samples[48], seconds[48];
  SamplesText(period, samples, sizeof samples);
  std::snprintf(seconds, sizeof seconds, "%.3f s at %g kHz",
                static_cast<double>(period) / look->rate, look->rate / 1000.0);
  RECT a = kPeriodSamples, b = kPeriodSeconds;
  DrawTextA(dc, samples, -1, &a, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  DrawTextA(dc, seconds, -1, &b, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace

bool AskForToneBurst(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                     ToneBurstChoice* choice) {
  PanelDialog d = DialogOn("Tone burst", look.burst_skin, look);
  const bool never_set = !(now.burst_on_cycles > 0.0f);  // NaN too
  d.numbers[0] = {kUpperBox,
                  never_set ? kFirstCyclesOn
                            : Within(now.burst_on_cycles, kBurstMinOnCycles, kBurstMaxOnCycles),
                  kBurstMinOnCycles,
                  kBurstMaxOnCycles,
                  false,
                  nullptr,
                  nullptr};
  d.numbers[1] = {
      kLowerBox,
      never_set ? kFirstCyclesOff : Within(now.burst_off_cycles, 0.0, kBurstMaxOffCycles),
      0.0,
      kBurstMaxOffCycles,
      false,
      nullptr,
      nullptr};
  d.number_count = 2;
  d.switches[0] = {kSwitchButton, (now.waveform_options & kHannBurst) != 0};
  d.switch_count = 1;
  if (!RunPanelDialog(owner, &d)) return false;
  *choice = {static_cast<float>(d.numbers[0].value), static_cast<float>(d.numbers[1].value),
             d.switches[0].on};
  return true;
}

void ApplyToneBurst(const ToneBurstChoice& choice, GeneratorSettings* s) {
  s->burst_on_cycles = choice.on_cycles;
  s->burst_off_cycles = choice.off_cycles;
  s->waveform_options =
      choice.hann ? s->waveform_options | kHannBurst : s->waveform_options & ~kHannBurst;
}

bool AskForSequenceOrder(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                         int32_t rate, int32_t* order) {
  SequenceLook sequence = {rate > 0 ? rate : 44100,
                           now.source == kSourceNoise && now.noise_type == kNoiseMls};
  PanelDialog d = DialogOn("Sequence length", look.sequence_skin, look);
  d.numbers[0] = {kUpperBox,
                  static_cast<double>(SequenceOrderOf(now.sequence_order)),
                  kMinSequenceOrder,
                  kMaxSequenceOrder,
                  true,
                  nullptr,
                  nullptr};
  d.number_count = 1;
  d.describe = DescribeSequence;
  d.user = &sequence;
  if (!RunPanelDialog(owner, &d)) return false;
  *order = static_cast<int32_t>(d.numbers[0].value);
  return true;
}

bool AskForSteppedSweep(HWND owner, const SignalDialogLook& look, const GeneratorSettings& now,
                        SteppedSweepChoice* choice) {
  PanelDialog d = DialogOn("Stepped sweep", look.steps_skin, look);
  d.numbers[0] = {kUpperBox, static_cast<double>(StepsPerOctaveOf(now.steps_per_octave)),
                  1,         kMaxStepsPerOctave,
                  true,      nullptr,
                  nullptr};
  d.numbers[1] = {
      kLowerBox, StepDwellOf(now.step_dwell_s), kMinStepDwell, kMaxStepDwell, false, nullptr,
      nullptr};
  d.number_count = 2;
  d.switches[0] = {kSwitchButton, (now.sweep_flags & kSweepStepped) != 0};
  d.switch_count = 1;
  if (!RunPanelDialog(owner, &d)) return false;
  *choice = {static_cast<int32_t>(d.numbers[0].value), static_cast<float>(d.numbers[1].value),
             d.switches[0].on};
  return true;
}

void ApplySteppedSweep(const SteppedSweepChoice& choice, GeneratorSettings* s) {
  s->steps_per_octave = choice.steps_per_octave;
  s->step_dwell_s = choice.dwell_s;
  s->sweep_flags =
      choice.stepped ? s->sweep_flags | kSweepStepped : s->sweep_flags & ~kSweepStepped;
}
