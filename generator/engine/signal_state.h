// The run state of every signal that keeps one, shared by both renderers.
//
// Each such signal has one record here, one derive (its values from the
// settings and the rate, the run state brought back into range) and one
// restart (where a switch-on starts it). The engine keeps a SignalState in
// single precision, the precise synth one in double, and both call the same
// DeriveSignalState and RestartSignalState; a fresh precise voice takes the
// engine's run state with TakeSignalState. So a signal's state is written
// once: a new signal with state is a record here, a line in each of the
// three functions, and its synth in each renderer.
//
// Private to the engine sources and their tests.
#pragma once

#include <cmath>
#include <cstdint>

#include "generator/engine/engine.h"
#include "generator/engine/periodic_noise.h"
#include "generator/engine/random_noise.h"
#include "generator/engine/test_signals.h"

// Sample counts derived from seconds stay below this (about 3.4 hours at
// 44.1 kHz), so counters that run past them never overflow.
constexpr int32_t kMaxDerivedSamples = 1 << 29;

template <typename Real>
struct TwinToneState {
  Real phase[2];  // cycles, the low and the high tone
  Real increment[2];
  Real amplitude[2];
};

struct ToneBurstState {
  double position;   // cycles into the burst's period
  double increment;  // cycles per frame
  ToneBurst burst;
};

template <typename Real>
struct BrownNoiseState {
  Real state;  // the filter's last output, before its gain
  Real pole, gain;
};

// The synchronised exponential sweep: sin(2π·m·(exp(n / (rate·L)) - 1)) at
// frame n, where m = f1·L is a whole number (synchronised_sweep.h).
struct SynchronisedSweepState {
  int32_t frame;      // n
  int32_t end_frame;  // frames one sweep plays
  double cycles;      // m
  double per_frame;   // 1 / (rate·L)
  int32_t repeating;  // starts again at its end (the back-and-forth bit)
  // A single sweep past its end holds the frequency it reached while it
  // fades: a phase and an increment instead of the formula.
  int32_t holding;
  double hold_phase, hold_increment;
};

// The stepped sine: f1·2^(k/n) for k = 0 … last_step, each held dwell_frames.
struct SteppedSineState {
  double phase;            // cycles, 0 <= phase < 1, on from step to step
  double increment;        // cycles per frame of the step playing
  double first_increment;  // f1 / rate
  int32_t steps_per_octave;
  int32_t step, last_step;
  int32_t frame_in_step, dwell_frames;
  int32_t direction;       // +1 up, -1 down
  int32_t back_and_forth;  // turns at either end; else the sweep ends there
  int32_t downward;        // starts at the top
  int32_t ended;           // a single sweep past its last step: it holds there while it fades
};

template <typename Real>
struct SignalState {
  TwinToneState<Real> twin;
  ToneBurstState burst;
  int32_t jtest_position;  // samples into the J-test's period
  uint64_t noise_counter;  // the white noise's counter (random_noise.h)
  Real white_scale;
  BrownNoiseState<Real> brown;
  int32_t periodic_position;  // samples into the periodic noise's period
  MlsState mls;
  SynchronisedSweepState synchronised;
  SteppedSineState stepped;
};

// ---------------------------------------------------------------------------
// The sweeps' schedules, from the settings (public through engine.h too).

// The sweep's lower and upper frequency, whichever word holds which.
inline void SweepBand(const GeneratorSettings& s, double* low, double* high) {
  const bool reversed = s.sweep_start_hz > s.sweep_end_hz;
  *low = reversed ? s.sweep_end_hz : s.sweep_start_hz;
  *high = reversed ? s.sweep_start_hz : s.sweep_end_hz;
}

// The synchronised sweep's m = round(f1·T / ln(f2/f1)) (at least 1) and its
// L = m / f1; false when the band or the time can't make one (then m = 0).
inline bool SynchronisedSweepOf(const GeneratorSettings& s, double* m, double* length_l) {
  double low = 0.0, high = 0.0;
  SweepBand(s, &low, &high);
  const double time = s.sweep_time_s;
  *m = 0.0;
  *length_l = 0.0;
  if (!(low > 0.0 && high > low && high < 1.0e9 && time > 0.0 && time < 1.0e6)) return false;
  const double octaves = std::log(high / low);
  *m = std::fmax(1.0, std::round(low * time / octaves));
  *length_l = *m / low;
  return true;
}

// The stepped sine's last step: the highest k with f1·2^(k/n) not above f2
// (0 when the band holds one step or none).
inline int32_t LastStepOf(double low, double high, int32_t steps_per_octave) {
  if (!(low > 0.0 && high > low && high < 1.0e9)) return 0;
  // A tolerance for the rounding of the logarithm: a step on f2 is kept.
  const double k = std::floor(steps_per_octave * std::log2(high / low) + 1e-9);
  return k < 4096.0 ? static_cast<int32_t>(k) : 4096;
}

// ---------------------------------------------------------------------------
// Derive, restart, take.

// The signals' values from the settings at `rate`; the run state stays,
// brought back into range where a change of the settings left it outside.
template <typename Real>
void DeriveSignalState(const GeneratorSettings& s, double rate, SignalState<Real>* st) {
  const TwinTone twin = TwinToneOf(s.test_signal);
  for (int k = 0; k < 2; ++k) {
    const double hz = k == 0 ? twin.low_hz : twin.high_hz;
    st->twin.increment[k] = static_cast<Real>(rate > 0.0 ? hz / rate : 0.0);
    st->twin.amplitude[k] = static_cast<Real>(k == 0 ? twin.low_amplitude : twin.high_amplitude);
    if (!(st->twin.phase[k] >= 0 && st->twin.phase[k] < 1)) st->twin.phase[k] = 0;
  }

  st->burst.burst = ToneBurstOf(s);
  st->burst.increment = rate > 0.0 ? s.frequency_hz / rate : 0.0;
  if (!(st->burst.increment - st->burst.increment == 0.0)) st->burst.increment = 0.0;
  if (!(st->burst.position >= 0.0 && st->burst.position < st->burst.burst.period_cycles)) {
    st->burst.position = 0.0;
  }
  if (st->jtest_position < 0 || st->jtest_position >= kJTestPeriod) st->jtest_position = 0;

  st->white_scale = static_cast<Real>(WhiteNoiseScale());
  const BrownFilter brown = BrownFilterAt(rate);
  st->brown.pole = static_cast<Real>(brown.pole);
  st->brown.gain = static_cast<Real>(brown.gain - brown.gain == 0.0 ? brown.gain : 0.0);
  if (!(st->brown.state - st->brown.state == 0)) st->brown.state = 0;

  const int32_t order = SequenceOrderOf(s.sequence_order);
  if (st->periodic_position < 0 || st->periodic_position >= (1 << order)) {
    st->periodic_position = 0;
  }
  if (st->mls.order != order) RestartMls(&st->mls, order);

  SynchronisedSweepState& sync = st->synchronised;
  double m = 0.0, length_l = 0.0, low = 0.0, high = 0.0;
  SweepBand(s, &low, &high);
  const bool sweeps = SynchronisedSweepOf(s, &m, &length_l) && rate > 0.0;
  sync.cycles = m;
  sync.per_frame = sweeps ? 1.0 / (rate * length_l) : 0.0;
  // Frames 0 … end_frame - 1 play: the last one at or below f2.
  const double played = sweeps ? std::ceil(length_l * std::log(high / low) * rate) : 1.0;
  sync.end_frame = played < kMaxDerivedSamples ? static_cast<int32_t>(played) : kMaxDerivedSamples;
  if (sync.end_frame < 1) sync.end_frame = 1;
  sync.repeating = (s.sweep_flags & kSweepBackAndForth) ? 1 : 0;
  if (sync.frame < 0 || sync.frame > sync.end_frame) sync.frame = 0;
  if (!(sync.hold_phase >= 0.0 && sync.hold_phase < 1.0)) sync.hold_phase = 0.0;

  SteppedSineState& steps = st->stepped;
  steps.steps_per_octave = StepsPerOctaveOf(s.steps_per_octave);
  steps.last_step = LastStepOf(low, high, steps.steps_per_octave);
  steps.first_increment = rate > 0.0 && low > 0.0 && low < 1.0e9 ? low / rate : 0.0;
  const double dwell = StepDwellOf(s.step_dwell_s) * rate;
  steps.dwell_frames = dwell >= 1.0
                           ? (dwell < kMaxDerivedSamples ? static_cast<int32_t>(std::lround(dwell))
                                                         : kMaxDerivedSamples)
                           : 1;
  steps.back_and_forth = (s.sweep_flags & kSweepBackAndForth) ? 1 : 0;
  steps.downward = (s.sweep_flags & kSweepDownward) ? 1 : 0;
  if (steps.step < 0 || steps.step > steps.last_step)
    steps.step = steps.downward ? steps.last_step : 0;
  if (steps.direction != 1 && steps.direction != -1) steps.direction = steps.downward ? -1 : 1;
  if (steps.frame_in_step < 0 || steps.frame_in_step > steps.dwell_frames) steps.frame_in_step = 0;
  if (!(steps.phase >= 0.0 && steps.phase < 1.0)) steps.phase = 0.0;
  steps.increment =
      steps.first_increment * std::exp2(static_cast<double>(steps.step) / steps.steps_per_octave);
}

// Where a switch-on starts each signal. The noises go on where they are.
template <typename Real>
void RestartSignalState(SignalState<Real>* st) {
  st->twin.phase[0] = st->twin.phase[1] = 0;
  st->burst.position = 0.0;
  st->jtest_position = 0;
  st->periodic_position = 0;
  RestartMls(&st->mls, st->mls.order);
  st->synchronised.frame = 0;
  st->synchronised.holding = 0;
  SteppedSineState& steps = st->stepped;
  steps.phase = 0.0;
  steps.ended = 0;
  steps.frame_in_step = 0;
  steps.step = steps.downward ? steps.last_step : 0;
  steps.direction = steps.downward ? -1 : 1;
  steps.increment =
      steps.first_increment * std::exp2(static_cast<double>(steps.step) / steps.steps_per_octave);
}

// The run state of `from` (phases, positions, counters), in this precision.
template <typename Real, typename From>
void TakeSignalState(const SignalState<From>& from, SignalState<Real>* to) {
  for (int k = 0; k < 2; ++k) to->twin.phase[k] = static_cast<Real>(from.twin.phase[k]);
  to->burst.position = from.burst.position;
  to->jtest_position = from.jtest_position;
  to->noise_counter = from.noise_counter;
  to->brown.state = static_cast<Real>(from.brown.state);
  to->periodic_position = from.periodic_position;
  to->mls = from.mls;
  to->synchronised.frame = from.synchronised.frame;
  to->synchronised.holding = from.synchronised.holding;
  to->synchronised.hold_phase = from.synchronised.hold_phase;
  to->synchronised.hold_increment = from.synchronised.hold_increment;
  to->stepped.phase = from.stepped.phase;
  to->stepped.step = from.stepped.step;
  to->stepped.frame_in_step = from.stepped.frame_in_step;
  to->stepped.direction = from.stepped.direction;
  to->stepped.ended = from.stepped.ended;
  to->stepped.increment =
      to->stepped.first_increment *
      std::exp2(static_cast<double>(to->stepped.step) / to->stepped.steps_per_octave);
}

// ---------------------------------------------------------------------------
// The sweeps' frames, shared by both renderers: each gives the frame's phase
// in cycles (whole cycles dropped) and moves on. On the frame after its last
// a single sweep starts the fade (`*fade_counter`, as the sweeps of
// frame_timing.h do) and holds the frequency it reached while it fades.

inline double NextSynchronisedPhase(SynchronisedSweepState* sw, int32_t* fade_counter) {
  if (!sw->holding && sw->frame >= sw->end_frame) {
    if (sw->repeating) {
      sw->frame = 0;
    } else {
      // Past its last frame: that frame's frequency, held while the fade runs.
      const double growth = std::exp((sw->end_frame - 1) * sw->per_frame);
      const double last = sw->cycles * (growth - 1.0);
      sw->hold_increment = sw->cycles * sw->per_frame * growth;  // the phase's slope there
      sw->hold_phase = last - std::floor(last) + sw->hold_increment;
      sw->hold_phase -= std::floor(sw->hold_phase);
      sw->holding = 1;
      if (*fade_counter == 0) *fade_counter = 1;
    }
  }
  if (sw->holding) {
    const double phase = sw->hold_phase;
    sw->hold_phase += sw->hold_increment;
    sw->hold_phase -= std::floor(sw->hold_phase);
    return phase;
  }
  double phase = sw->cycles * (std::exp(sw->frame * sw->per_frame) - 1.0);
  phase -= std::floor(phase);
  ++sw->frame;
  return phase;
}

inline double NextSteppedPhase(SteppedSineState* sp, int32_t* fade_counter) {
  if (sp->frame_in_step >= sp->dwell_frames && !sp->ended) {
    sp->frame_in_step = 0;
    int32_t next = sp->step + sp->direction;
    if (next < 0 || next > sp->last_step) {
      if (sp->back_and_forth) {
        sp->direction = -sp->direction;
        next = sp->step + sp->direction;
        if (next < 0 || next > sp->last_step) next = sp->step;  // a band of one step
      } else {
        sp->ended = 1;  // the last step holds while the fade runs
        if (*fade_counter == 0) *fade_counter = 1;
        next = sp->step;
      }
    }
    sp->step = next;
    sp->increment =
        sp->first_increment * std::exp2(static_cast<double>(next) / sp->steps_per_octave);
  }
  const double phase = sp->phase;
  sp->phase += sp->increment;
  if (sp->phase >= 1.0) sp->phase -= std::floor(sp->phase);
  if (!sp->ended) ++sp->frame_in_step;
  return phase;
}
