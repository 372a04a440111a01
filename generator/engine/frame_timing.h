// What a block plays and how each of its frames is timed, shared by the
// engine's frame loop (engine.cpp) and the precise synth (precise_synth.cpp).
//
// The timing of a signal is integer counting and single-precision gains: the
// one-shot counter, the fade-out of 0.99 a frame down to 0.00001, the gate's
// sound, fade-out, pause and fade-in, the 512-frame level ramp and the
// direction changes and end of a sweep. Both renderers run these same steps on
// a FrameTiming record loaded from the engine at the start of a block and
// stored back at its end, so a precise render switches, fades and gates on
// exactly the frames the engine does. Only what is sounding differs: the
// engine reads 16-bit tables in single precision, the precise synth computes
// the waveform in double precision; the steps that touch the signal value are
// templates over its type. A sweep turns and ends by the same rule applied to
// its own increments, so where single and double precision part (the engine's
// 1 s sweep from 20 Hz to 15 kHz ends 6 to 13 frames late) the ends part too.
//
// Private to the engine sources and their tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "generator/engine/engine_state.h"
#include "generator/engine/test_signals.h"

constexpr int kRampFrames = 512;
constexpr float kFadeFactor = 0.99f;
constexpr float kFadeFloor = 0.00001f;
constexpr float kGateFadeInFactor = 1.010101f;
constexpr float kMultiToneScale = 0.057363853f;  // multi-tone RMS close to the pink noise's

enum class SignalKind {
  kSilent,
  kWave,
  kSweep,
  kImpulse,
  kPinkMono,
  kPinkAntiPhase,
  kPinkStereo,
  kMultiTone,
  kWhite,
  kBrown,
  kTwinSmpte,
  kTwinDin,
  kTwinCcif,
  kToneBurst,
  kJTest,
  kAliasFreeWave,
  kAliasFreeSweep,
  kPeriodicWhite,
  kPeriodicPink,
  kMls,
  kSynchronisedSweep,
  kSteppedSine,
};

// The signal kinds, a row each: the kind, its name, and the noise type or
// test signal that selects it (-1 for the kinds SelectKind finds otherwise:
// the waveform source's waves and sweeps, naive, alias-free, synchronised
// or stepped, and silence). Each renderer instantiates its frame loop for
// every row (ForEachSignalKind), and its Synthesize stops the build for a
// kind it has no branch for. A new signal is a row here and one synth
// branch per renderer; one with a run state also a record in
// signal_state.h, with its lines in the derive, the restart and the take
// there, which both renderers call.
struct SignalRow {
  SignalKind kind;
  const char* name;
  int32_t noise_type;
  int32_t test_signal = -1;  // the test signal's number that selects it, or -1
};
constexpr SignalRow kSignalKinds[] = {
    {SignalKind::kSilent, "silence", -1},
    {SignalKind::kWave, "wave", -1},
    {SignalKind::kSweep, "sweep", -1},
    {SignalKind::kImpulse, "impulse", kNoiseImpulse},
    {SignalKind::kPinkMono, "pink", kNoisePinkMono},
    {SignalKind::kPinkAntiPhase, "pink-antiphase", kNoisePinkAntiPhase},
    {SignalKind::kPinkStereo, "pink-stereo", kNoisePinkStereo},
    {SignalKind::kMultiTone, "multitone", kNoiseMultiTone},
    {SignalKind::kWhite, "white", kNoiseWhite},
    {SignalKind::kBrown, "brown", kNoiseBrown},
    {SignalKind::kTwinSmpte, "smpte", -1, kTestSmpte},
    {SignalKind::kTwinDin, "din", -1, kTestDin},
    {SignalKind::kTwinCcif, "ccif", -1, kTestCcif},
    {SignalKind::kToneBurst, "burst", -1, kTestBurst},
    {SignalKind::kJTest, "jtest", -1, kTestJTest},
    {SignalKind::kAliasFreeWave, "alias-free wave", -1},
    {SignalKind::kAliasFreeSweep, "alias-free sweep", -1},
    {SignalKind::kPeriodicWhite, "periodic-white", kNoisePeriodicWhite},
    {SignalKind::kPeriodicPink, "periodic-pink", kNoisePeriodicPink},
    {SignalKind::kMls, "mls", kNoiseMls},
    {SignalKind::kSynchronisedSweep, "synchronised sweep", -1},
    {SignalKind::kSteppedSine, "stepped sweep", -1},
};
constexpr int kSignalKindCount = static_cast<int>(sizeof kSignalKinds / sizeof kSignalKinds[0]);

// The table's rows in the enumeration's order, each kind once.
constexpr bool SignalTableInOrder() {
  for (int i = 0; i < kSignalKindCount; ++i) {
    if (static_cast<int>(kSignalKinds[i].kind) != i) return false;
  }
  return true;
}
static_assert(SignalTableInOrder(), "kSignalKinds holds every SignalKind once, in order");

// Calls `render` with std::integral_constant<SignalKind, k> for the kind `kind`
// of the table: how a renderer picks the frame loop instantiated for it.
template <typename Render, size_t... kRow>
inline void DispatchSignalKind(SignalKind kind, Render&& render, std::index_sequence<kRow...>) {
  ((kind == kSignalKinds[kRow].kind
        ? (render(std::integral_constant<SignalKind, kSignalKinds[kRow].kind>{}), 0)
        : 0),
   ...);
}
template <typename Render>
inline void ForEachSignalKind(SignalKind kind, Render&& render) {
  DispatchSignalKind(kind, render, std::make_index_sequence<kSignalKindCount>{});
}

// The kinds whose values are codes, written as they are: no level applies
// and nothing dithers them (test_signals.h).
constexpr bool IsBitPattern(SignalKind kind) { return kind == SignalKind::kJTest; }
// The kinds that may run through a renderer's steady loop (IsSteadyTiming):
// all but silence, and the impulse, which is a single frame.
constexpr bool HasSteadyLoop(SignalKind kind) {
  return kind != SignalKind::kSilent && kind != SignalKind::kImpulse;
}
// The sweeps: a single one starts its own fade at its end, which the steady
// loop leaves for the full frame path.
constexpr bool IsSweep(SignalKind kind) {
  return kind == SignalKind::kSweep || kind == SignalKind::kAliasFreeSweep ||
         kind == SignalKind::kSynchronisedSweep || kind == SignalKind::kSteppedSine;
}
constexpr bool IsPeriodicNoise(SignalKind kind) {
  return kind == SignalKind::kPeriodicWhite || kind == SignalKind::kPeriodicPink;
}

constexpr bool IsPinkNoise(SignalKind kind) {
  return kind == SignalKind::kPinkMono || kind == SignalKind::kPinkAntiPhase ||
         kind == SignalKind::kPinkStereo;
}

constexpr bool IsTwinTone(SignalKind kind) {
  return kind == SignalKind::kTwinSmpte || kind == SignalKind::kTwinDin ||
         kind == SignalKind::kTwinCcif;
}

// The source the derived settings select; unknown sources, noise types and
// waveforms play silence (the run state still runs).
inline SignalKind SelectKind(const GeneratorEngine* e) {
  if (e->source == kSourceWaveform) {
    if (e->waveform < kWaveSine || e->waveform > kWaveSquare) return SignalKind::kSilent;
    if (e->sweep_on && (e->sweep_flags & kSweepStepped)) return SignalKind::kSteppedSine;
    if (e->sweep_on && (e->sweep_flags & kSweepSynchronised) && !(e->sweep_flags & kSweepLinear)) {
      return SignalKind::kSynchronisedSweep;
    }
    if (e->alias_free && e->waveform != kWaveSine) {
      return e->sweep_on ? SignalKind::kAliasFreeSweep : SignalKind::kAliasFreeWave;
    }
    return e->sweep_on ? SignalKind::kSweep : SignalKind::kWave;
  }
  for (const SignalRow& row : kSignalKinds) {
    if (e->source == kSourceNoise && row.noise_type >= 0 && row.noise_type == e->noise_type) {
      return row.kind;
    }
    if (e->source == kSourceTestSignal && row.test_signal >= 0 &&
        row.test_signal == e->test_signal) {
      return row.kind;
    }
  }
  return SignalKind::kSilent;
}

// The run state that times a frame, loaded once per block.
struct FrameTiming {
  float left_step, right_step;
  int32_t ramp_count;
  float left_level, right_level;  // current (ramped) levels
  int32_t running;
  int32_t fade_counter;
  float fade_gain;
  int32_t one_shot_length;
  int32_t elapsed;
  int32_t gated;
  int32_t gate_length, gate_period, gate_counter;
  float gate_gain;
};

// A sweep's increments in cycles per frame, in the renderer's precision.
template <typename Real>
// A logarithmic sweep multiplies its increment by `multiplier` each frame
// (up > 1, down = 1 / up); a linear one (`linear`) adds it (up > 0, down =
// -up).
struct SweepState {
  Real increment, multiplier;
  Real start, end, up, down;
  int32_t back_and_forth;
  int32_t linear;
};

// Loads the timing of the next block and works out its level ramp.
inline void LoadFrameTiming(const GeneratorEngine* e, bool stereo, FrameTiming* t) {
  t->left_level = e->current_left_level;
  t->right_level = e->current_right_level;
  if (stereo) {
    t->left_step = (e->left_level - t->left_level) / kRampFrames;
    t->right_step = (e->right_level - t->right_level) / kRampFrames;
    t->ramp_count = t->left_step == 0.0f && t->right_step == 0.0f ? 0 : kRampFrames;
  } else {
    t->left_step = (e->mono_level - t->left_level) / kRampFrames;
    t->right_step = 0.0f;
    t->ramp_count = t->left_step == 0.0f ? 0 : kRampFrames;
  }
  t->running = e->running.load(std::memory_order_relaxed);
  t->fade_counter = e->fade_counter;
  t->fade_gain = e->fade_counter == 0 ? 0.0f : e->fade_gain;
  t->one_shot_length = e->one_shot_length;
  t->elapsed = e->elapsed_samples;
  t->gated = e->gate_on;
  t->gate_length = e->gate_sound_length;
  t->gate_period = e->gate_period;
  t->gate_counter = e->gate_counter;
  t->gate_gain = e->gate_gain;
}

// Stores the timing back at the end of a block.
inline void StoreFrameTiming(const FrameTiming* t, bool stereo, GeneratorEngine* e) {
  e->current_left_level = t->left_level;
  e->running.store(t->running, std::memory_order_relaxed);
  e->fade_counter = t->fade_counter;
  e->fade_gain = t->fade_gain;
  e->elapsed_samples = t->elapsed;
  if (stereo) {
    e->gate_counter = t->gate_counter;
    e->gate_gain = t->gate_gain;
    e->current_right_level = t->right_level;
  }
}

// Whether the source is stepped this frame: running, or still fading out.
inline bool IsSounding(const FrameTiming* t) { return t->running != 0 || t->fade_counter != 0; }

// The one-shot's count before a sounding frame: past its length it fades.
inline void CountOneShot(FrameTiming* t) {
  if (t->one_shot_length > 0) {
    if (t->elapsed > t->one_shot_length) t->fade_counter += 1;
    t->elapsed += 1;
  }
}

// A sweep's increment after a frame, unless it fades: back and forth it turns
// at either end, a single sweep starts its fade there.
template <typename Real>
inline void StepSweep(SweepState<Real>* sweep, FrameTiming* t) {
  if (t->fade_counter != 0) return;
  const Real unchanged = sweep->linear ? 0.0f : 1.0f;  // the multiplier that holds still
  if (sweep->linear) {
    sweep->increment += sweep->multiplier;
  } else {
    sweep->increment *= sweep->multiplier;
  }
  if (sweep->increment >= sweep->end) {
    if (sweep->back_and_forth) {
      if (sweep->multiplier > unchanged) sweep->multiplier = sweep->down;
    } else {
      t->fade_counter = 1;
    }
  }
  if (sweep->increment <= sweep->start) {
    if (sweep->back_and_forth) {
      if (sweep->multiplier < unchanged) sweep->multiplier = sweep->up;
    } else {
      t->fade_counter += 1;
    }
  }
}

// The fade-out (when it applies to this frame) and, in stereo, the gate on the
// left channel only; the gate's counter runs on every frame.
template <bool kStereo, typename Real>
inline void FadeAndGate(FrameTiming* t, Real* g, Real* g_right, int fade_applies) {
  if (fade_applies && t->fade_counter > 0) {
    if (t->fade_gain == 0.0f) {
      t->fade_gain = 1.0f;
      t->fade_counter += 1;
    }
    t->fade_gain *= kFadeFactor;
    *g *= t->fade_gain;
    *g_right *= t->fade_gain;
    if (t->fade_gain < kFadeFloor) {
      t->fade_gain = 0.0f;
      t->fade_counter = 0;
      t->running = 0;
    }
  }

  if (kStereo && t->gated == 1) {
    const int32_t n = t->gate_counter;
    if (n < t->gate_length) {
      // sound: g unchanged
    } else if (n < t->gate_period) {
      const float gain = n == t->gate_length ? 1.0f : t->gate_gain;
      *g *= gain;
      t->gate_gain = gain * kFadeFactor;
      if (t->gate_gain < kFadeFloor) {
        *g = 0.0f;
        t->gate_gain = 0.0f;
      }
    } else {
      if (n == t->gate_period) t->gate_gain = kFadeFloor;
      *g *= t->gate_gain;
      t->gate_gain *= kGateFadeInFactor;
      if (t->gate_gain >= 1.0f) t->gate_counter = 0;
    }
    t->gate_counter += 1;
  }
}

// The level ramp after a frame's output, which used the level before it.
inline void StepRamp(FrameTiming* t) {
  if (t->ramp_count > 0) {
    t->left_level += t->left_step;
    t->right_level += t->right_step;
    t->ramp_count -= 1;
  }
}

// Whether the frames ahead need none of the steps above but the gate's count
// in its sound phase: running, no fade, no one-shot, no ramp.
template <bool kStereo>
inline bool IsSteadyTiming(const FrameTiming* t) {
  const bool gate_ok = !(kStereo && t->gated == 1) || t->gate_counter < t->gate_length;
  return t->running != 0 && t->fade_counter == 0 && t->one_shot_length <= 0 && t->ramp_count == 0 &&
         gate_ok;
}

// How many of `frames` steady frames stay in the gate's sound phase; the
// caller adds the frames it rendered to the gate counter.
template <bool kStereo>
inline int32_t SteadyRun(const FrameTiming* t, int32_t frames) {
  if (kStereo && t->gated == 1 && t->gate_length - t->gate_counter < frames) {
    return t->gate_length - t->gate_counter;
  }
  return frames;
}
