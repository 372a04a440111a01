// The generator engine: settings exchange, derivation and block rendering.
//
// How it works. The user interface writes the pending settings under the
// lock and clears the applied flag. At the start of each block the render
// thread, still under the lock, copies pending to active and derives the
// per-block values (PrepareGenerator: levels, increments, lengths in samples).
// It then leaves the lock and synthesises the block from the run state, which
// it loads into locals first and stores back at the end, so the per-frame loop
// touches no shared memory and takes no lock. Most signals read tables; the
// alias-free waveforms (sin and cos of the phase) and the synchronised sweep
// (an exponential) call the maths library once a frame.
//
// The frame loop is one template instantiated per signal kind and channel
// layout; the kind is fixed for a block, so the choice is made once per block.
// While a signal runs steadily (no fade, one-shot, ramp or mixing, and in the
// sound phase of the gate) the frames go through a short loop that leaves out
// the steps that would change nothing there; otherwise each frame takes every
// step of the algorithm. The steps that time a frame (one-shot, fade, gate,
// level ramp, the sweep's turns) are in frame_timing.h, shared with the
// precise synth.
//
// Settings come from a file nobody validates. Every conversion of a derived
// float to an integer saturates (NaN gives 0), divisions guard their divisor,
// derived levels that are not finite are silenced, and table indices are
// clamped to the table; in-range values take exactly the documented path.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "generator/engine/band_limited.h"
#include "generator/engine/engine_state.h"
#include "generator/engine/frame_timing.h"
#include "generator/engine/pink_noise_table.h"
#include "generator/engine/random_noise.h"
#include "generator/engine/signal_state.h"

const GeneratorSettings kGeneratorDefaults = [] {
  GeneratorSettings s = {};
  s.duration_s = 0.05f;
  s.level_db = -10.0f;
  s.noise_type = kNoisePinkMono;
  s.frequency_hz = 1000.0f;
  s.sweep_start_hz = 20.0f;
  s.sweep_end_hz = 15000.0f;
  s.sweep_time_s = 1.0f;
  s.gate_on_s = 3.0f;
  s.gate_off_s = 0.3f;
  return s;
}();

// More frames than the gate's fade-in from 0.00001 up to 1.0 takes (1,146
// frames at 1.010101 a frame): a counter beyond its period by more is in no
// cycle.
constexpr int32_t kGateFadeInBound = 4096;

// ---------------------------------------------------------------------------
// Safe arithmetic on values derived from unvalidated settings.

static bool IsFinite(double v) { return v - v == 0.0; }

// trunc(v) limited to ±kMaxDerivedSamples; NaN gives 0.
static int32_t TruncToSamples(double v) {
  if (!(v == v)) return 0;
  if (v >= kMaxDerivedSamples) return kMaxDerivedSamples;
  if (v <= -kMaxDerivedSamples) return -kMaxDerivedSamples;
  return static_cast<int32_t>(v);
}

// IEEE quotient, without dividing by zero.
static double Quotient(double a, double b) {
  if (b != 0.0) return a / b;
  if (a > 0.0) return INFINITY;
  if (a < 0.0) return -INFINITY;
  return NAN;
}

static float FiniteOrZero(double v) {
  if (!IsFinite(v) || std::fabs(v) > 3.0e38) return 0.0f;
  return static_cast<float>(v);
}

// Table index trunc(x), kept within 0 … n-1; NaN reads index 0. Written as
// selects so that it compiles to min/max without branches.
static inline int32_t TableIndex(float x, int32_t n) {
  const float last = static_cast<float>(n - 1);
  x = x >= 0.0f ? x : 0.0f;
  x = x <= last ? x : last;
  return static_cast<int32_t>(x);
}

// Output conversion: truncation toward zero, saturated to ±32767; NaN gives 0.
static inline int16_t SaturateSample(float v) {
  v = v == v ? v : 0.0f;
  v = v <= 32767.0f ? v : 32767.0f;
  v = v >= -32767.0f ? v : -32767.0f;
  return static_cast<int16_t>(static_cast<int32_t>(v));
}

// ---------------------------------------------------------------------------
// Derivation of the active settings.

// The channels' levels from gain, level and balance.
static void DeriveLevels(GeneratorEngine* e, const GeneratorSettings& s) {
  e->pass_gain = s.mix_input != 0 ? 1.0f : 0.0f;
  const double level = std::pow(10.0, static_cast<double>(0.05f * s.gain_db)) *
                       std::pow(10.0, static_cast<double>(0.05f * s.level_db));
  e->mono_level = FiniteOrZero(level);
  if (s.pan >= 0.0f) {
    e->left_level = FiniteOrZero(level * (1.0 - s.pan));
    e->right_level = e->mono_level;
  } else if (s.pan < 0.0f) {
    e->left_level = e->mono_level;
    e->right_level = FiniteOrZero(level * (1.0 + s.pan));
  } else {  // NaN balance: no sensible level
    e->left_level = e->right_level = 0.0f;
  }
}

// Switching on (the one-shot's length, the pending `on` word of a one-shot
// or an impulse cleared) or off (the fade-out started). Returns whether the
// generator switched on from idle.
static bool DeriveOnOff(GeneratorEngine* e, const GeneratorSettings& s, double rate) {
  bool just_started = false;
  if (s.on != 0) {
    if (e->running.load(std::memory_order_relaxed) == 0) just_started = true;
    e->running.store(1, std::memory_order_relaxed);
    e->fade_counter = 0;
    e->elapsed_samples = 0;
    if (s.one_shot != 0) {
      // At least one sample, so that every one-shot ends: a duration of 0,
      // below one sample, negative or NaN would otherwise never be counted,
      // and switching off does not cut a one-shot short.
      const int32_t length = TruncToSamples(static_cast<double>(s.duration_s) * rate);
      e->one_shot_length = length > 1 ? length : 1;
      e->pending.on = 0;  // a one-shot plays once per switch-on
    } else {
      e->one_shot_length = 0;
    }
    if (s.source == kSourceNoise && s.noise_type == kNoiseImpulse) e->pending.on = 0;
  } else if (e->fade_counter == 0 && e->running.load(std::memory_order_relaxed) == 1 &&
             s.one_shot == 0) {
    e->fade_counter = 1;  // a one-shot in progress is not cut short
  }
  return just_started;
}

// The source and the wave's phase.
static void DeriveSource(GeneratorEngine* e, const GeneratorSettings& s, double rate,
                         bool just_started) {
  e->source = s.source;
  e->noise_type = s.noise_type;
  e->waveform = s.waveform;
  e->left_dc_offset = s.dc_offset;
  e->right_dc_offset = s.dc_offset;
  e->sweep_on = s.sweep_flags & kSweepOn;
  e->sweep_flags = s.sweep_flags;

  // The phase leaves one cycle only when an increment is negative, NaN or a
  // whole cycle or more, that is from a frequency below 0 or at or above the
  // sample rate, which only a hand-made file holds; start such a phase over.
  if (just_started || !(e->phase >= 0.0f && e->phase < 1.0f)) e->phase = 0.0f;
  if (just_started) e->gate_counter = 0;

  e->phase_increment = static_cast<float>(Quotient(s.frequency_hz, rate));
  e->right_phase_offset = s.phase_deg * 0.0027777778f;
  e->alias_free = (s.waveform_options & kAliasFree) ? 1 : 0;
  e->fine_increment = Quotient(s.frequency_hz, rate);
  if (!IsFinite(e->fine_increment)) e->fine_increment = 0.0;
  e->harmonics = HarmonicsBelowHalfRate(e->fine_increment);
  if (e->alias_free && e->right_phase_offset != 0.0f) {
    DeriveRightSeries(s.waveform, e->right_phase_offset, &e->right_series);
  }

  e->test_signal = s.test_signal;
  DeriveSignalState(s, rate, &e->signals);
  if (just_started) RestartSignalState(&e->signals);
}

// The sweep runs between the lower and the higher of its two frequencies,
// whichever word holds which: the panel keeps start <= end, but a record
// from elsewhere (a set file, genrender, a caller) may not, and a start
// above the end would drive the increment to 0 or past the Nyquist limit,
// a constant (DC) output. The direction bits keep their meaning.
static void DeriveSweep(GeneratorEngine* e, const GeneratorSettings& s, double rate,
                        bool just_started) {
  const bool reversed = s.sweep_start_hz > s.sweep_end_hz;
  const float low_hz = reversed ? s.sweep_end_hz : s.sweep_start_hz;
  const float high_hz = reversed ? s.sweep_start_hz : s.sweep_end_hz;
  e->sweep_end_increment = static_cast<float>(Quotient(high_hz, rate));
  e->sweep_start_increment = static_cast<float>(Quotient(low_hz, rate));
  e->sweep_linear = (s.sweep_flags & kSweepLinear) ? 1 : 0;
  const double frames = rate * static_cast<double>(s.sweep_time_s);
  if (e->sweep_linear) {
    // The same step each frame: from start to end in the sweep's time.
    const double step = Quotient(
        static_cast<double>(e->sweep_end_increment) - static_cast<double>(e->sweep_start_increment),
        frames);
    e->sweep_up_multiplier = step > 0.0 ? FiniteOrZero(step) : 0.0f;
    e->sweep_down_multiplier = -e->sweep_up_multiplier;
  } else {
    const double ratio = Quotient(e->sweep_end_increment, e->sweep_start_increment);
    const double up = std::pow(ratio, Quotient(1.0, frames));
    e->sweep_up_multiplier = static_cast<float>(IsFinite(up) && std::fabs(up) < 3.0e38 ? up : 1.0);
    e->sweep_down_multiplier = static_cast<float>(Quotient(1.0, e->sweep_up_multiplier));
  }
  e->sweep_current_multiplier = e->sweep_up_multiplier;
  if (just_started || !IsFinite(e->sweep_current_increment)) {
    e->sweep_current_increment = e->sweep_start_increment;
  }
  if (s.sweep_flags & kSweepDownward) {
    e->sweep_current_multiplier = e->sweep_down_multiplier;
    if (just_started) e->sweep_current_increment = e->sweep_end_increment;
  }
  e->sweep_back_and_forth = (s.sweep_flags & kSweepBackAndForth) ? 1 : 0;
}

// The gate's counter starts the next cycle only where it meets the period,
// and it passes the sound length first. So the sound lasts 0 frames or
// more and the period at least as long as the sound and at least 1 frame:
// a pause below 0 (or no sound and no pause) would let the counter run past
// the period for ever, silence the left channel and in the end overflow.
// A counter outside a cycle of these lengths (sound, pause, and the
// fade-in after it, which takes about 1,150 frames) starts over.
static void DeriveGate(GeneratorEngine* e, const GeneratorSettings& s, double rate) {
  e->gate_on = s.gate;
  int32_t sound_length = TruncToSamples(static_cast<double>(s.gate_on_s) * rate);
  int32_t pause = TruncToSamples(static_cast<double>(s.gate_off_s) * rate);
  if (sound_length < 0) sound_length = 0;
  if (pause < 0) pause = 0;
  const int32_t period = sound_length + pause > 0 ? sound_length + pause : 1;
  if (sound_length != e->gate_sound_length || period != e->gate_period) e->gate_counter = 0;
  if (e->gate_counter < 0 || e->gate_counter > period + kGateFadeInBound) e->gate_counter = 0;
  e->gate_sound_length = sound_length;
  e->gate_period = period;
}

// Copies pending to active and derives everything the frame loop needs, in
// the order of the steps above. Caller holds the lock (this is also where
// the pending `on` word of a one-shot or an impulse is cleared) and no
// render runs concurrently. Returns whether the generator switched on from
// idle.
static bool PrepareGenerator(GeneratorEngine* e) {
  const GeneratorSettings& s = e->active;
  const double rate = e->sample_rate;
  DeriveLevels(e, s);
  const bool just_started = DeriveOnOff(e, s, rate);
  DeriveSource(e, s, rate, just_started);
  DeriveSweep(e, s, rate, just_started);
  DeriveGate(e, s, rate);
  e->settings_applied = 1;
  return just_started;
}

// ---------------------------------------------------------------------------
// The frame loop.

// The run state as the frame loop sees it, loaded once per block.
struct FrameState {
  const int16_t* table;
  int32_t table_length;
  float table_scale;  // table length as a float
  float pass_gain;
  FrameTiming timing;
  float phase, phase_increment, right_phase_offset;
  double fine_phase, fine_increment;
  float left_dc, right_dc;
  SweepState<float> sweep;
  int32_t noise_position;
  const int16_t* sine_table;
  const RightSeries* right_series;  // the alias-free right channel's, null in phase
  const double* period;             // the periodic noise's, or null
  int32_t period_length;
  int32_t waveform, harmonics;
  SignalState<float> signals;
  MultiToneBank bank;
};

// The sine table at `cycles` (0 <= cycles < 1), full scale 1.0.
static inline float SineAt(const FrameState* st, double cycles) {
  return st->sine_table[TableIndex(st->table_scale * static_cast<float>(cycles),
                                   st->table_length)] /
         32768.0f;
}

static inline float NextMultiTone(MultiToneBank* bank) {
  float y[kMultiToneLanes];
  for (int k = 0; k < kMultiToneLanes; ++k) {
    y[k] = bank->coefficient[k] * bank->first_state[k] - bank->second_state[k];
    bank->second_state[k] = bank->first_state[k];
    bank->first_state[k] = y[k];
  }
  // Pairwise sum: keeps the additions independent so they vectorise.
  for (int width = kMultiToneLanes / 2; width >= 1; width /= 2) {
    for (int k = 0; k < width; ++k) y[k] += y[k + width];
  }
  return y[0];
}

// Advances the sweep after a frame; may start the fade of a single sweep.
static inline void AdvanceSweep(FrameState* st) {
  st->phase += st->sweep.increment;
  if (st->phase >= 1.0f) st->phase -= 1.0f;
  StepSweep(&st->sweep, &st->timing);
}

// Steps the source by one frame: g (and g_right in stereo). Returns 0 when the
// fade must be skipped for this frame (a mono impulse), else 1.
template <SignalKind kKind, bool kStereo>
static inline int Synthesize(FrameState* st, float* g, float* g_right) {
  if constexpr (kKind == SignalKind::kSilent) {
    // nothing sounds; the run state still runs
  } else if constexpr (kKind == SignalKind::kWave || kKind == SignalKind::kSweep) {
    const float scale = st->table_scale;
    *g = st->table[TableIndex(scale * st->phase, st->table_length)] / 32768.0f + st->left_dc;
    if (kStereo) {
      float phase_right = st->phase + st->right_phase_offset;
      if (phase_right >= 1.0f) phase_right -= 1.0f;
      if (phase_right < 0.0f) phase_right += 1.0f;
      *g_right =
          st->table[TableIndex(scale * phase_right, st->table_length)] / 32768.0f + st->right_dc;
    }
    if (kKind == SignalKind::kWave) {
      st->phase += st->phase_increment;
      if (st->phase >= 1.0f) st->phase -= 1.0f;
    } else {
      AdvanceSweep(st);
    }
  } else if constexpr (kKind == SignalKind::kAliasFreeWave ||
                       kKind == SignalKind::kAliasFreeSweep) {
    const int32_t harmonics = kKind == SignalKind::kAliasFreeWave
                                  ? st->harmonics
                                  : HarmonicsBelowHalfRate(st->sweep.increment);
    const double phase = st->fine_phase;
    // Channels in phase share the series; a phase offset turns its weights.
    const RightSeries* turned = kStereo ? st->right_series : nullptr;
    double left = 0.0, right = 0.0;
    AliasFreeValues(st->waveform, phase, harmonics, turned, &left, &right);
    *g = static_cast<float>(left) + st->left_dc;
    if (kStereo) *g_right = static_cast<float>(turned ? right : left) + st->right_dc;
    st->fine_phase += kKind == SignalKind::kAliasFreeWave
                          ? st->fine_increment
                          : static_cast<double>(st->sweep.increment);
    if (st->fine_phase >= 1.0 || st->fine_phase < 0.0) {  // a negative or whole-cycle step too
      st->fine_phase -= std::floor(st->fine_phase);
    }
    st->phase = static_cast<float>(st->fine_phase);
    if (st->phase >= 1.0f) st->phase = 0.0f;  // rounded up to a whole cycle
    if (kKind == SignalKind::kAliasFreeSweep) StepSweep(&st->sweep, &st->timing);
  } else if constexpr (kKind == SignalKind::kSynchronisedSweep ||
                       kKind == SignalKind::kSteppedSine) {
    int32_t* fade = &st->timing.fade_counter;
    const double cycles = kKind == SignalKind::kSynchronisedSweep
                              ? NextSynchronisedPhase(&st->signals.synchronised, fade)
                              : NextSteppedPhase(&st->signals.stepped, fade);
    *g = SineAt(st, cycles) + st->left_dc;
    if (kStereo) {
      double right = cycles + st->right_phase_offset;
      right -= std::floor(right);
      *g_right = SineAt(st, right) + st->right_dc;
    }
  } else if constexpr (kKind == SignalKind::kJTest) {
    *g = static_cast<float>(JTestCode16(st->signals.jtest_position));
    *g_right = *g;
    st->signals.jtest_position = NextJTestPosition(st->signals.jtest_position);
  } else if constexpr (kKind == SignalKind::kImpulse) {
    *g = 1.0f;
    *g_right = 1.0f;
    st->timing.running = 0;
    if (!kStereo) {
      st->timing.fade_counter = 0;
      return 0;
    }
  } else if constexpr (IsPinkNoise(kKind)) {
    NextPinkNoise(&st->noise_position, kKind == SignalKind::kPinkAntiPhase,
                  kKind == SignalKind::kPinkStereo, g, g_right);
  } else if constexpr (kKind == SignalKind::kMultiTone) {
    *g = NextMultiTone(&st->bank) * kMultiToneScale;
    *g_right = *g;
  } else if constexpr (kKind == SignalKind::kWhite) {
    SignalState<float>& n = st->signals;
    *g = static_cast<float>(NextUniformNoise(&n.noise_counter)) * n.white_scale;
    *g_right = *g;
  } else if constexpr (IsPeriodicNoise(kKind)) {
    int32_t& at = st->signals.periodic_position;
    *g = at < st->period_length ? static_cast<float>(st->period[at]) : 0.0f;
    *g_right = *g;
    if (++at >= st->period_length) at = 0;
  } else if constexpr (kKind == SignalKind::kMls) {
    *g = static_cast<float>(NextMls(&st->signals.mls));
    *g_right = *g;
  } else if constexpr (IsTwinTone(kKind)) {
    TwinToneState<float>& twin = st->signals.twin;
    float sum = 0.0f;
    for (int k = 0; k < 2; ++k) {
      const int32_t at = TableIndex(st->table_scale * twin.phase[k], st->table_length);
      sum += twin.amplitude[k] * (st->sine_table[at] / 32768.0f);
      twin.phase[k] += twin.increment[k];
      if (twin.phase[k] >= 1.0f) twin.phase[k] -= 1.0f;
    }
    *g = sum;
    *g_right = sum;
  } else if constexpr (kKind == SignalKind::kToneBurst) {
    const int16_t* sine = st->sine_table;
    const float scale = st->table_scale;
    const int32_t length = st->table_length;
    ToneBurstState& burst = st->signals.burst;
    *g = NextToneBurst<float>(
        &burst.position, burst.increment, burst.burst, [sine, scale, length](double x) {
          x -= std::floor(x);
          return sine[TableIndex(scale * static_cast<float>(x), length)] / 32768.0f;
        });
    *g_right = *g;
  } else if constexpr (kKind == SignalKind::kBrown) {
    SignalState<float>& n = st->signals;
    const float w = static_cast<float>(NextUniformNoise(&n.noise_counter)) * n.white_scale;
    n.brown.state = n.brown.pole * n.brown.state + (1.0f - n.brown.pole) * w;
    *g = n.brown.state * n.brown.gain;
    *g_right = *g;
  } else {
    static_assert(kKind != kKind, "the engine has no synth for this signal kind");
  }
  return 1;
}

// A frame's sample from its value at the channel's level: a bit pattern's
// value is its code already.
template <SignalKind kKind>
static inline float OutputValue(float g, float level) {
  if constexpr (IsBitPattern(kKind)) {
    return g;
  } else {
    return g * level * 32767.0f;
  }
}

// The rest of a frame after synthesis: fade, gate, output and level ramp.
template <SignalKind kKind, bool kStereo>
static inline void FinishFrame(FrameState* st, float g, float g_right, int fade_applies,
                               int16_t* out) {
  const float in_left = out[0] * st->pass_gain;
  const float in_right = kStereo ? out[1] * st->pass_gain : 0.0f;
  FadeAndGate<kStereo>(&st->timing, &g, &g_right, fade_applies);
  out[0] = SaturateSample(OutputValue<kKind>(g, st->timing.left_level) + in_left);
  if (kStereo) {
    out[1] = SaturateSample(OutputValue<kKind>(g_right, st->timing.right_level) + in_right);
  }
  StepRamp(&st->timing);
}

// One frame, every step of the algorithm.
template <SignalKind kKind, bool kStereo>
static inline void RenderFrame(FrameState* st, int16_t* out) {
  float g = 0.0f;
  float g_right = 0.0f;
  int fade_applies = 1;
  if (IsSounding(&st->timing)) {
    CountOneShot(&st->timing);
    fade_applies = Synthesize<kKind, kStereo>(st, &g, &g_right);
  }
  FinishFrame<kKind, kStereo>(st, g, g_right, fade_applies, out);
}

// Whether the frames ahead can skip fade, one-shot, ramp and mixing and are
// in the sound phase of the gate if gated: the steady state of a signal.
template <SignalKind kKind, bool kStereo>
static inline bool IsSteady(const FrameState* st) {
  return HasSteadyLoop(kKind) && IsSteadyTiming<kStereo>(&st->timing) && st->pass_gain == 0.0f;
}

// Steady frames from `first` on; returns how many it rendered. Stops where
// the gate's sound phase ends; a single sweep that reaches its end leaves
// after that frame, which already fades.
template <SignalKind kKind, bool kStereo>
static int32_t RenderSteadyFrames(FrameState* state, int16_t* buffer, int32_t first,
                                  int32_t frames) {
  FrameState st = *state;  // kept apart from the output so it stays in registers
  const float left_scale = st.timing.left_level;
  const float right_scale = st.timing.right_level;
  const bool gated = kStereo && st.timing.gated == 1;
  frames = first + SteadyRun<kStereo>(&st.timing, frames - first);
  int32_t frame = first;
  while (frame < frames) {
    int16_t* out = buffer + (kStereo ? 2 * frame : frame);
    float g = 0.0f;
    float g_right = 0.0f;
    Synthesize<kKind, kStereo>(&st, &g, &g_right);
    ++frame;
    if (IsSweep(kKind) && st.timing.fade_counter != 0) {
      FinishFrame<kKind, kStereo>(&st, g, g_right, 1, out);  // counts its own gate frame
      if (gated) st.timing.gate_counter -= 1;
      break;
    }
    out[0] = SaturateSample(OutputValue<kKind>(g, left_scale));
    if (kStereo) out[1] = SaturateSample(OutputValue<kKind>(g_right, right_scale));
  }
  if (gated) st.timing.gate_counter += frame - first;
  *state = st;
  return frame - first;
}

template <SignalKind kKind, bool kStereo>
static void RenderFrames(FrameState* state, int16_t* buffer, int32_t frames) {
  FrameState st = *state;  // a local copy the compiler can keep in registers
  int32_t frame = 0;
  while (frame < frames) {
    if (IsSteady<kKind, kStereo>(&st)) {
      frame += RenderSteadyFrames<kKind, kStereo>(&st, buffer, frame, frames);
    } else {
      RenderFrame<kKind, kStereo>(&st, buffer + (kStereo ? 2 * frame : frame));
      ++frame;
    }
  }
  *state = st;
}

template <bool kStereo>
static void RenderKind(SignalKind kind, FrameState* st, int16_t* buffer, int32_t frames) {
  ForEachSignalKind(
      kind, [&](auto row) { RenderFrames<decltype(row)::value, kStereo>(st, buffer, frames); });
}

static void LoadFrameState(const GeneratorEngine* e, bool stereo, FrameState* st) {
  const int32_t w = e->waveform >= kWaveSine && e->waveform <= kWaveSquare ? e->waveform : 0;
  st->table = e->wave_table[w];
  st->table_length = e->table_length;
  st->table_scale = static_cast<float>(e->table_length);
  st->pass_gain = e->pass_gain;
  LoadFrameTiming(e, stereo, &st->timing);
  st->phase = e->phase;
  st->phase_increment = e->phase_increment;
  // The fine phase goes on while the phase is its rounding; a phase set or
  // moved by another kind of signal starts it over.
  const bool fine_phase_holds =
      e->fine_phase >= 0.0 && e->fine_phase < 1.0 && static_cast<float>(e->fine_phase) == e->phase;
  st->fine_phase = fine_phase_holds ? e->fine_phase : e->phase;
  st->fine_increment = e->fine_increment;
  st->right_phase_offset = e->right_phase_offset;
  st->left_dc = e->left_dc_offset;
  st->right_dc = e->right_dc_offset;
  st->sweep.increment = e->sweep_current_increment;
  st->sweep.multiplier = e->sweep_current_multiplier;
  st->sweep.start = e->sweep_start_increment;
  st->sweep.end = e->sweep_end_increment;
  st->sweep.up = e->sweep_up_multiplier;
  st->sweep.down = e->sweep_down_multiplier;
  st->sweep.back_and_forth = e->sweep_back_and_forth;
  st->sweep.linear = e->sweep_linear;
  st->noise_position = e->noise_position;
  st->sine_table = e->wave_table[kWaveSine];
  st->right_series = e->right_phase_offset != 0.0f ? &e->right_series : nullptr;
  st->period = e->period.values;
  st->period_length = e->period.values != nullptr ? e->period.length : 0;
  st->waveform = w;
  st->harmonics = e->harmonics;
  st->signals = e->signals;
  st->bank = e->multi_tone;
}

static void StoreFrameState(const FrameState* st, bool stereo, GeneratorEngine* e) {
  StoreFrameTiming(&st->timing, stereo, e);
  e->phase = st->phase;
  e->fine_phase = st->fine_phase;
  e->sweep_current_increment = st->sweep.increment;
  e->sweep_current_multiplier = st->sweep.multiplier;
  e->noise_position = st->noise_position;
  e->signals = st->signals;
  e->multi_tone = st->bank;
}

// ---------------------------------------------------------------------------
// Operations.

int SelectNamedSignal(const char* name, GeneratorSettings* settings) {
  for (const SignalRow& row : kSignalKinds) {
    if (std::strcmp(row.name, name) != 0) continue;
    if (row.noise_type >= 0) {
      settings->source = kSourceNoise;
      settings->noise_type = row.noise_type;
      return 1;
    }
    if (row.test_signal >= 0) {
      settings->source = kSourceTestSignal;
      settings->test_signal = row.test_signal;
      return 1;
    }
  }
  return 0;
}

void ListNamedSignals(char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  size_t used = 0;
  for (const SignalRow& row : kSignalKinds) {
    if (row.noise_type < 0 && row.test_signal < 0) continue;
    const int n = std::snprintf(out + used, size - used, "%s%s", used > 0 ? ", " : "", row.name);
    if (n < 0 || static_cast<size_t>(n) >= size - used) return;  // cut where it ended
    used += static_cast<size_t>(n);
  }
}

GeneratorEngine* CreateGenerator() {
  GeneratorEngine* e = new (std::nothrow) GeneratorEngine{};
  if (!e) return nullptr;
  e->sample_rate = 44100.0f;
  e->pending = kGeneratorDefaults;
  e->defaults = e->pending;
  e->active = e->pending;
  return e;
}

static void PreparePeriod(GeneratorEngine* e, const GeneratorSettings& s);

int SetGeneratorFormat(GeneratorEngine** slot, float sample_rate, int channel_count) {
  GeneratorEngine* e = *slot;
  if (!e) return 0;
  if (e->wave_table[0] && sample_rate == e->sample_rate && channel_count == e->channel_count) {
    return 1;
  }
  e->sample_rate = sample_rate;
  e->channel_count = channel_count;
  FreeWaveTables(e->wave_table);
  e->table_length = 0;
  if (!BuildWaveTables(e->wave_table, sample_rate)) return 0;
  e->table_length = static_cast<int32_t>(sample_rate);  // validated by BuildWaveTables
  GeneratorSettings pending;
  GetGeneratorSettings(e, &pending);
  PreparePeriod(e, pending);  // a pink period depends on the rate
  std::lock_guard<std::mutex> hold(e->lock);
  e->active = e->pending;
  e->settings_applied = 0;
  PrepareGenerator(e);
  return 1;
}

void GetGeneratorSettings(GeneratorEngine* engine, GeneratorSettings* out) {
  std::lock_guard<std::mutex> hold(engine->lock);
  *out = engine->pending;
}

// The periodic noise's period that `s` plays, as its shape and order; false
// when it plays none.
static bool WantedPeriod(const GeneratorSettings& s, int32_t* shape, int32_t* order) {
  if (s.source != kSourceNoise ||
      (s.noise_type != kNoisePeriodicWhite && s.noise_type != kNoisePeriodicPink)) {
    return false;
  }
  *shape = s.noise_type == kNoisePeriodicWhite ? kPeriodicWhite : kPeriodicPink;
  *order = SequenceOrderOf(s.sequence_order);
  return true;
}

// Makes the period `s` plays ahead, on the caller's thread and outside the
// lock, unless the engine has it: the render then takes it at its next
// derive instead of making it itself (up to a second or two for the
// longest), and the lock is never held while it is made.
static void PreparePeriod(GeneratorEngine* e, const GeneratorSettings& s) {
  int32_t shape = 0, order = 0;
  if (!WantedPeriod(s, &shape, &order)) return;
  const double rate = e->sample_rate;  // set only while no render runs, by the settings' thread
  {
    std::lock_guard<std::mutex> hold(e->lock);
    if (HoldsPeriodicNoise(e->period, shape, order, rate) ||
        HoldsPeriodicNoise(e->prepared_period, shape, order, rate)) {
      return;
    }
  }
  PeriodicNoiseTable made = {};
  if (!MakePeriodicNoise(shape, order, rate, &made)) return;
  {
    std::lock_guard<std::mutex> hold(e->lock);
    std::swap(e->prepared_period, made);
  }
  FreePeriodicNoise(&made);  // what was prepared before
}

void SetGeneratorSettings(GeneratorEngine* engine, const GeneratorSettings* in) {
  PreparePeriod(engine, *in);
  std::lock_guard<std::mutex> hold(engine->lock);
  engine->pending = *in;
  engine->settings_applied = 0;
}

void RestoreGeneratorDefaults(GeneratorEngine* engine) {
  std::lock_guard<std::mutex> hold(engine->lock);
  engine->pending = engine->defaults;
  engine->settings_applied = 0;
}

void ResetGenerator(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  if (!e) return;
  e->running.store(0, std::memory_order_relaxed);
  e->fade_counter = 0;
  e->fade_gain = 0.0f;
  e->elapsed_samples = 0;
  e->noise_position = 0;
  e->left_dc_offset = 0.0f;
  e->right_dc_offset = 0.0f;
  e->current_left_level = 0.0f;
  e->current_right_level = 0.0f;
  InitMultiToneBank(&e->multi_tone, e->sample_rate);
  std::lock_guard<std::mutex> hold(e->lock);
  e->settings_applied = 0;
}

int IsGeneratorBusy(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  if (!e) return 0;
  std::lock_guard<std::mutex> hold(e->lock);
  return e->busy;
}

int IsGeneratorActive(GeneratorEngine* engine) {
  std::lock_guard<std::mutex> hold(engine->lock);
  if (engine->pending.on != 0 && engine->settings_applied == 0) return 1;
  return engine->running.load(std::memory_order_relaxed);
}

int BeginGeneratorBlock(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  if (!e) return kBlockSkipped;
  std::unique_lock<std::mutex> hold(e->lock);
  if (e->busy) return kBlockSkipped;
  if (e->destroy_requested) {
    hold.unlock();
    DestroyGenerator(slot);
    return kBlockSkipped;
  }
  e->busy = 1;
  if (e->settings_applied) return kBlockKept;
  e->active = e->pending;
  const int start = PrepareGenerator(e) ? kBlockSwitchedOn : kBlockDerived;
  // The period the new settings play: the one made ahead, or made here once
  // the lock is left (the render's own: the busy mark keeps other renders out).
  int32_t shape = 0, order = 0;
  if (!WantedPeriod(e->active, &shape, &order) ||
      HoldsPeriodicNoise(e->period, shape, order, e->sample_rate)) {
    return start;
  }
  PeriodicNoiseTable other = {};
  const bool prepared = HoldsPeriodicNoise(e->prepared_period, shape, order, e->sample_rate);
  if (prepared) {
    other = e->period;
    e->period = e->prepared_period;
    e->prepared_period = PeriodicNoiseTable{};
  }
  hold.unlock();
  if (!prepared) MakePeriodicNoise(shape, order, e->sample_rate, &other);
  if (!prepared) {
    std::lock_guard<std::mutex> relock(e->lock);
    std::swap(e->period, other);
  }
  FreePeriodicNoise(&other);
  return start;
}

void EndGeneratorBlock(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  bool destroy = false;
  {
    std::lock_guard<std::mutex> hold(e->lock);
    e->busy = 0;
    destroy = e->destroy_requested != 0;
  }
  if (destroy) DestroyGenerator(slot);
}

void RenderGenerator(GeneratorEngine** slot, int16_t* buffer, uint32_t size_bytes) {
  GeneratorEngine* e = *slot;
  if (!e) return;
  const bool stereo = e->channel_count >= 2;
  const uint32_t samples = size_bytes / 2;
  const uint32_t frame_count = stereo ? samples / 2 : samples;
  if (frame_count < 1) return;
  if (BeginGeneratorBlock(slot) == kBlockSkipped) return;

  if (e->wave_table[0]) {
    FrameState st;
    LoadFrameState(e, stereo, &st);
    const SignalKind kind = SelectKind(e);
    // Blocks are far shorter than 2^31 frames; a larger one is rendered in parts.
    uint32_t done = 0;
    while (done < frame_count) {
      const uint32_t part = frame_count - done > 0x40000000u ? 0x40000000u : frame_count - done;
      int16_t* at = buffer + static_cast<size_t>(done) * (stereo ? 2 : 1);
      if (stereo) {
        RenderKind<true>(kind, &st, at, static_cast<int32_t>(part));
      } else {
        RenderKind<false>(kind, &st, at, static_cast<int32_t>(part));
      }
      done += part;
    }
    StoreFrameState(&st, stereo, e);
  }
  EndGeneratorBlock(slot);
}

void ReleaseGenerator(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  if (!e) return;
  {
    std::lock_guard<std::mutex> hold(e->lock);
    if (e->busy) {
      e->destroy_requested = 1;
      return;
    }
  }
  DestroyGenerator(slot);
}

int DestroyGenerator(GeneratorEngine** slot) {
  GeneratorEngine* e = *slot;
  if (!e) return 0;
  FreeWaveTables(e->wave_table);
  FreePeriodicNoise(&e->period);
  FreePeriodicNoise(&e->prepared_period);
  delete e;
  *slot = nullptr;
  return 0;
}

void DescribeTwinTone(const TwinToneRow& row, char* out, size_t size) {
  auto hz = [](double f, char* text, size_t n) {
    if (f >= 1000.0) {
      std::snprintf(text, n, "%g kHz", f / 1000.0);
    } else {
      std::snprintf(text, n, "%g Hz", f);
    }
  };
  char low[32], high[32], ratio[32] = "";
  hz(row.low_hz, low, sizeof low);
  hz(row.high_hz, high, sizeof high);
  if (row.low_amplitude != row.high_amplitude && row.high_amplitude > 0.0) {
    std::snprintf(ratio, sizeof ratio, ", %g:1", row.low_amplitude / row.high_amplitude);
  }
  std::snprintf(out, size, "%s twin tone (%s + %s%s)", row.standard, low, high, ratio);
}

double SynchronisedSweepSeconds(const GeneratorSettings& settings) {
  double m = 0.0, length_l = 0.0, low = 0.0, high = 0.0;
  if (!SynchronisedSweepOf(settings, &m, &length_l)) return 0.0;
  SweepBand(settings, &low, &high);
  return length_l * std::log(high / low);
}
