// Precise synthesis: see precise_synth.h.
//
// How it works. Each block starts and ends as the engine's own
// (BeginGeneratorBlock, EndGeneratorBlock): new settings are made active and
// derived by the engine, and the voice then takes what it needs from them in
// double precision: increments in cycles per frame, the sweep's multipliers,
// the right channel's phase offset. The block loads the engine's frame
// timing, renders frame by frame with the same steps as the engine's full
// per-frame path (one-shot count, synthesis, fade, gate, output at the level
// before the ramp step, ramp) and stores the timing back; only the synthesis
// is this file's own. So the live program's settings changes reach the
// precise voice on the block they reach the engine's.
//
// Phases are kept in cycles, 0 <= phase < 1, and advance as the engine's do.
// A constant sine does not call sin() per frame: at the start of each block it
// takes (cos, sin) of the phase and then turns that point by the increment
// once a frame; the next block starts again from the phase, so rounding
// cannot build up (measured: 20 s of 997 Hz stay within 1e-10 of
// sin(2π·f·n / rate), -200 dB). The multi-tone's 31 oscillators work the same
// way. A sweep's increment changes every frame, so a swept sine calls sin()
// per frame.
#include "generator/engine/precise_synth.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "generator/engine/band_limited.h"
#include "generator/engine/engine_state.h"
#include "generator/engine/frame_timing.h"
#include "generator/engine/pink_noise_table.h"
#include "generator/engine/random_noise.h"
#include "generator/engine/signal_state.h"

constexpr double kTwoPi = 6.283185307179586476925;

// A point on the unit circle: (cos, sin) of a phase.
struct Rotor {
  double cos, sin;
};

struct PreciseVoice {
  int32_t waveform;
  double phase;            // cycles, 0 <= phase < 1
  double phase_increment;  // cycles per frame
  double right_offset;     // cycles, 0 <= offset < 1
  double dc;
  SweepState<double> sweep;
  int32_t noise_position;  // index into the pink-noise table in 16-bit words
  SignalState<double> signals;
  RightSeries* right_series;  // the alias-free right channel's at right_offset (its own block)
  const double* period;       // the engine's periodic noise, for this block
  int32_t period_length;
  int32_t harmonics;  // the steady wave's harmonics below half the rate
  double tone_phase[kMultiToneCount];
  double tone_increment[kMultiToneCount];

  // Anchored at the start of each block.
  Rotor sine, sine_step, right_turn;
  Rotor twin[2], twin_step[2];
  double tone_cos[kMultiToneCount], tone_sin[kMultiToneCount];
  double step_cos[kMultiToneCount], step_sin[kMultiToneCount];
  int32_t tone_frames;  // multi-tone frames rendered in this block
  bool fresh;           // takes the engine's run state at its next block
};

static double FiniteOrZero(double v) { return v - v == 0.0 ? v : 0.0; }

// `cycles` reduced to 0 <= r < 1.
static inline double Wrap(double cycles) { return cycles - std::floor(cycles); }

static Rotor RotorAt(double cycles) {
  return {std::cos(kTwoPi * cycles), std::sin(kTwoPi * cycles)};
}

static inline void Turn(Rotor* z, const Rotor& by) {
  const double c = z->cos * by.cos - z->sin * by.sin;
  z->sin = z->cos * by.sin + z->sin * by.cos;
  z->cos = c;
}

// The naive shapes of the engine's tables, exact: triangle and sawtooth start
// at 0 rising, the sawtooth jumps from +1 to -1 and the square from +1 to -1
// at half a cycle.
static inline double Shape(int32_t waveform, double phase) {
  switch (waveform) {
    case kWaveSine: return std::sin(kTwoPi * phase);
    case kWaveTriangle:
      if (phase < 0.25) return 4.0 * phase;
      return phase < 0.75 ? 2.0 - 4.0 * phase : 4.0 * phase - 4.0;
    case kWaveSawtooth: return phase < 0.5 ? 2.0 * phase : 2.0 * phase - 2.0;
    default: return phase < 0.5 ? 1.0 : -1.0;
  }
}

// Advances a phase by one frame's increment; an increment outside one cycle
// (a frequency below 0 or beyond the rate, from a hand-made file) still
// leaves it within the cycle.
static inline void Advance(double* phase, double increment) {
  *phase += increment;
  if (*phase >= 1.0 || *phase < 0.0) *phase = Wrap(*phase);
}

// The engine's sweep derivation in double precision, lower frequency first
// whichever word holds it. A time or start frequency that is not positive
// leaves the increment standing where it starts.
static void DeriveSweep(const GeneratorSettings& s, double rate, SweepState<double>* sweep) {
  const bool reversed = s.sweep_start_hz > s.sweep_end_hz;
  sweep->start = FiniteOrZero((reversed ? s.sweep_end_hz : s.sweep_start_hz) / rate);
  sweep->end = FiniteOrZero((reversed ? s.sweep_start_hz : s.sweep_end_hz) / rate);
  const double frames = rate * static_cast<double>(s.sweep_time_s);
  sweep->linear = (s.sweep_flags & kSweepLinear) ? 1 : 0;
  if (sweep->linear) {
    double step = frames > 0.0 ? (sweep->end - sweep->start) / frames : 0.0;
    if (!(step >= 0.0 && step < 3.0e38)) step = 0.0;
    sweep->up = step;
    sweep->down = -step;
  } else {
    double up = 1.0;
    if (sweep->start > 0.0 && frames > 0.0) up = std::pow(sweep->end / sweep->start, 1.0 / frames);
    if (!(up >= 1.0 && up < 3.0e38)) up = 1.0;
    sweep->up = up;
    sweep->down = 1.0 / up;
  }
  const bool downward = (s.sweep_flags & kSweepDownward) != 0;
  sweep->multiplier = downward ? sweep->down : sweep->up;
  sweep->increment = downward ? sweep->end : sweep->start;
  sweep->back_and_forth = (s.sweep_flags & kSweepBackAndForth) ? 1 : 0;
}

// What the voice takes from the settings the engine has just derived. The
// oscillators go on from where they are, as the engine's do, except that a
// switch-on starts the phase at 0 and the sweep at its first frequency; a
// fresh voice (no block rendered since it was made or restarted) takes the
// engine's phase, sweep position and noise position, and starts the
// multi-tone as a reset engine does.
static void FollowSettings(const GeneratorEngine* e, bool switched_on, PreciseVoice* v) {
  const GeneratorSettings& s = e->active;
  const double rate = e->sample_rate;
  const double sweep_increment = v->sweep.increment;
  v->waveform = s.waveform;
  v->phase_increment = FiniteOrZero(s.frequency_hz / rate);
  v->right_offset = Wrap(FiniteOrZero(s.phase_deg / 360.0));
  v->dc = s.dc_offset;
  DeriveSweep(s, rate, &v->sweep);
  DeriveSignalState(s, rate, &v->signals);
  v->harmonics = HarmonicsBelowHalfRate(v->phase_increment);
  if ((s.waveform_options & kAliasFree) && v->right_offset != 0.0) {
    DeriveRightSeries(s.waveform, v->right_offset, v->right_series);
  }
  if (v->fresh) {
    TakeSignalState(e->signals, &v->signals);
    v->phase = Wrap(FiniteOrZero(e->phase));
    v->sweep.increment = FiniteOrZero(e->sweep_current_increment);
    v->noise_position = e->noise_position;
    double hz[kMultiToneCount];
    MultiToneFrequencies(hz);
    for (int k = 0; k < kMultiToneCount; ++k) {
      v->tone_increment[k] = hz[k] / rate;
      v->tone_phase[k] = v->tone_increment[k];  // the bank's first value is sin(ω)
    }
    v->fresh = false;
  } else if (!switched_on) {
    v->sweep.increment = sweep_increment;
  }
  if (switched_on) {
    v->phase = 0.0;
    RestartSignalState(&v->signals);
  }
}

static void AnchorBlock(PreciseVoice* v) {
  v->sine = RotorAt(v->phase);
  v->sine_step = RotorAt(v->phase_increment);
  v->right_turn = RotorAt(v->right_offset);
  for (int k = 0; k < 2; ++k) {
    v->twin[k] = RotorAt(v->signals.twin.phase[k]);
    v->twin_step[k] = RotorAt(v->signals.twin.increment[k]);
  }
  for (int k = 0; k < kMultiToneCount; ++k) {
    const Rotor tone = RotorAt(v->tone_phase[k]);
    const Rotor step = RotorAt(v->tone_increment[k]);
    v->tone_cos[k] = tone.cos;
    v->tone_sin[k] = tone.sin;
    v->step_cos[k] = step.cos;
    v->step_sin[k] = step.sin;
  }
  v->tone_frames = 0;
}

static void FinishBlock(PreciseVoice* v) {
  for (int k = 0; k < kMultiToneCount; ++k) {
    v->tone_phase[k] = Wrap(v->tone_phase[k] + v->tone_frames * v->tone_increment[k]);
  }
}

static inline double NextMultiTone(PreciseVoice* v) {
  double sum = 0.0;
  for (int k = 0; k < kMultiToneCount; ++k) {
    sum += v->tone_sin[k];
    const double c = v->tone_cos[k] * v->step_cos[k] - v->tone_sin[k] * v->step_sin[k];
    v->tone_sin[k] = v->tone_cos[k] * v->step_sin[k] + v->tone_sin[k] * v->step_cos[k];
    v->tone_cos[k] = c;
  }
  v->tone_frames += 1;
  return sum * kMultiToneScale;
}

// Steps the source by one frame, as the engine's Synthesize in stereo.
template <SignalKind kKind>
static inline void Synthesize(PreciseVoice* v, FrameTiming* t, double* g, double* g_right) {
  if constexpr (kKind == SignalKind::kSilent) {
    // nothing sounds; the run state still runs
  } else if constexpr (kKind == SignalKind::kWave || kKind == SignalKind::kSweep) {
    if (kKind == SignalKind::kWave && v->waveform == kWaveSine) {
      const Rotor& z = v->sine;
      *g = z.sin + v->dc;
      *g_right = z.sin * v->right_turn.cos + z.cos * v->right_turn.sin + v->dc;
      Turn(&v->sine, v->sine_step);
      Advance(&v->phase, v->phase_increment);
      return;
    }
    double right = v->phase + v->right_offset;
    if (right >= 1.0) right -= 1.0;
    *g = Shape(v->waveform, v->phase) + v->dc;
    *g_right = Shape(v->waveform, right) + v->dc;
    if (kKind == SignalKind::kWave) {
      Advance(&v->phase, v->phase_increment);
    } else {
      Advance(&v->phase, v->sweep.increment);
      StepSweep(&v->sweep, t);
    }
  } else if constexpr (kKind == SignalKind::kAliasFreeWave ||
                       kKind == SignalKind::kAliasFreeSweep) {
    const double increment =
        kKind == SignalKind::kAliasFreeWave ? v->phase_increment : v->sweep.increment;
    const int32_t harmonics =
        kKind == SignalKind::kAliasFreeWave ? v->harmonics : HarmonicsBelowHalfRate(increment);
    // Channels in phase share the series; a phase offset turns its weights.
    const RightSeries* turned = v->right_offset != 0.0 ? v->right_series : nullptr;
    double left = 0.0, right = 0.0;
    AliasFreeValues(v->waveform, v->phase, harmonics, turned, &left, &right);
    *g = left + v->dc;
    *g_right = (turned ? right : left) + v->dc;
    Advance(&v->phase, increment);
    if (kKind == SignalKind::kAliasFreeSweep) StepSweep(&v->sweep, t);
  } else if constexpr (kKind == SignalKind::kSynchronisedSweep ||
                       kKind == SignalKind::kSteppedSine) {
    const double cycles = kKind == SignalKind::kSynchronisedSweep
                              ? NextSynchronisedPhase(&v->signals.synchronised, &t->fade_counter)
                              : NextSteppedPhase(&v->signals.stepped, &t->fade_counter);
    *g = std::sin(kTwoPi * cycles) + v->dc;
    *g_right = std::sin(kTwoPi * Wrap(cycles + v->right_offset)) + v->dc;
  } else if constexpr (kKind == SignalKind::kJTest) {
    *g = JTestCode24(v->signals.jtest_position) / kBitPatternScale;
    *g_right = *g;
    v->signals.jtest_position = NextJTestPosition(v->signals.jtest_position);
  } else if constexpr (kKind == SignalKind::kImpulse) {
    *g = 1.0;
    *g_right = 1.0;
    t->running = 0;
  } else if constexpr (IsPinkNoise(kKind)) {
    NextPinkNoise(&v->noise_position, kKind == SignalKind::kPinkAntiPhase,
                  kKind == SignalKind::kPinkStereo, g, g_right);
  } else if constexpr (kKind == SignalKind::kMultiTone) {
    *g = NextMultiTone(v);
    *g_right = *g;
  } else if constexpr (kKind == SignalKind::kWhite) {
    SignalState<double>& n = v->signals;
    *g = NextUniformNoise(&n.noise_counter) * n.white_scale;
    *g_right = *g;
  } else if constexpr (IsPeriodicNoise(kKind)) {
    int32_t& at = v->signals.periodic_position;
    *g = at < v->period_length ? v->period[at] : 0.0;
    *g_right = *g;
    if (++at >= v->period_length) at = 0;
  } else if constexpr (kKind == SignalKind::kMls) {
    *g = NextMls(&v->signals.mls);
    *g_right = *g;
  } else if constexpr (IsTwinTone(kKind)) {
    TwinToneState<double>& twin = v->signals.twin;
    *g = twin.amplitude[0] * v->twin[0].sin + twin.amplitude[1] * v->twin[1].sin;
    *g_right = *g;
    for (int k = 0; k < 2; ++k) {
      Turn(&v->twin[k], v->twin_step[k]);
      Advance(&twin.phase[k], twin.increment[k]);
    }
  } else if constexpr (kKind == SignalKind::kToneBurst) {
    ToneBurstState& burst = v->signals.burst;
    *g = NextToneBurst<double>(&burst.position, burst.increment, burst.burst,
                               [](double x) { return std::sin(kTwoPi * x); });
    *g_right = *g;
  } else if constexpr (kKind == SignalKind::kBrown) {
    SignalState<double>& n = v->signals;
    const double w = NextUniformNoise(&n.noise_counter) * n.white_scale;
    n.brown.state = n.brown.pole * n.brown.state + (1.0 - n.brown.pole) * w;
    *g = n.brown.state * n.brown.gain;
    *g_right = *g;
  } else {
    static_assert(kKind != kKind, "the precise synth has no synth for this signal kind");
  }
}

// A frame's value at the channel's level; a bit pattern's stands as it is.
template <SignalKind kKind>
static inline double AtLevel(double g, double level) {
  if constexpr (IsBitPattern(kKind)) {
    return g;
  } else {
    return g * level;
  }
}

// Steady frames from `out` on: running, no one-shot, fade or ramp, in the
// gate's sound phase (IsSteadyTiming), where every step of a frame but the
// synthesis and the gate's count changes nothing, as in the engine's steady
// loop. Returns how many it rendered; a single sweep that reaches its end
// leaves after that frame, which already fades.
template <SignalKind kKind>
static int32_t RenderSteadyFrames(PreciseVoice* voice, FrameTiming* timing, double* out,
                                  int32_t frames) {
  // Local copies, which the stores to `out` cannot touch, stay in registers.
  PreciseVoice local_voice = *voice;
  FrameTiming local_timing = *timing;
  PreciseVoice* v = &local_voice;
  FrameTiming* t = &local_timing;
  const int32_t run = SteadyRun<true>(t, frames);
  const double left = t->left_level;
  const double right = t->right_level;
  int32_t done = 0;
  while (done < run) {
    double g = 0.0;
    double g_right = 0.0;
    Synthesize<kKind>(v, t, &g, &g_right);
    double* o = out + 2 * done;
    ++done;
    if (IsSweep(kKind) && t->fade_counter != 0) {
      FadeAndGate<true>(t, &g, &g_right, 1);  // counts its own gate frame
      o[0] = AtLevel<kKind>(g, t->left_level);
      o[1] = AtLevel<kKind>(g_right, t->right_level);
      if (t->gated == 1) t->gate_counter -= 1;
      break;
    }
    o[0] = AtLevel<kKind>(g, left);
    o[1] = AtLevel<kKind>(g_right, right);
  }
  if (t->gated == 1) t->gate_counter += done;
  *voice = local_voice;
  *timing = local_timing;
  return done;
}

template <SignalKind kKind>
static void RenderFrames(PreciseVoice* v, FrameTiming* t, double* out, int32_t frames) {
  int32_t i = 0;
  while (i < frames) {
    if (HasSteadyLoop(kKind) && IsSteadyTiming<true>(t)) {
      i += RenderSteadyFrames<kKind>(v, t, out + 2 * i, frames - i);
      continue;
    }
    double g = 0.0;
    double g_right = 0.0;
    if (IsSounding(t)) {
      CountOneShot(t);
      Synthesize<kKind>(v, t, &g, &g_right);
    }
    FadeAndGate<true>(t, &g, &g_right, 1);
    out[2 * i] = AtLevel<kKind>(g, t->left_level);
    out[2 * i + 1] = AtLevel<kKind>(g_right, t->right_level);
    StepRamp(t);
    ++i;
  }
}

PreciseVoice* CreatePreciseVoice() {
  PreciseVoice* v = new (std::nothrow) PreciseVoice{};
  if (!v) return nullptr;
  // Apart from the voice, which the steady loop copies.
  v->right_series = new (std::nothrow) RightSeries{};
  if (!v->right_series) {
    delete v;
    return nullptr;
  }
  v->fresh = true;
  return v;
}

void RestartPreciseVoice(PreciseVoice* voice) { voice->fresh = true; }

void FreePreciseVoice(PreciseVoice* voice) {
  if (voice) delete voice->right_series;
  delete voice;
}

int RenderPreciseGenerator(GeneratorEngine** slot, PreciseVoice* v, double* out, int32_t frames) {
  if (frames < 1) return kPreciseSignal;
  const int start = BeginGeneratorBlock(slot);
  if (start == kBlockSkipped) {
    std::memset(out, 0, 2 * static_cast<size_t>(frames) * sizeof(double));
    return kPreciseSignal;
  }
  GeneratorEngine* e = *slot;
  if (start != kBlockKept || v->fresh) FollowSettings(e, start == kBlockSwitchedOn, v);
  FrameTiming t;
  LoadFrameTiming(e, true, &t);
  v->period = e->period.values;
  v->period_length = e->period.values != nullptr ? e->period.length : 0;
  AnchorBlock(v);
  const SignalKind kind = SelectKind(e);
  ForEachSignalKind(kind,
                    [&](auto row) { RenderFrames<decltype(row)::value>(v, &t, out, frames); });
  FinishBlock(v);
  StoreFrameTiming(&t, true, e);
  EndGeneratorBlock(slot);
  return IsBitPattern(kind) ? kPreciseBitPattern : kPreciseSignal;
}

int BeginPreciseRender(PreciseRender* render, const GeneratorSettings& settings,
                       int32_t block_frames, int32_t sample_rate) {
  std::memset(render, 0, sizeof *render);
  if (block_frames < 1) return 0;
  render->block_frames = block_frames;
  render->engine = CreateGenerator();
  render->voice = CreatePreciseVoice();
  render->block =
      static_cast<double*>(std::malloc(2 * static_cast<size_t>(block_frames) * sizeof(double)));
  // Set up as the program's audio thread does: format, settings, reset; the
  // first block derives the settings and switches the generator on.
  if (!render->engine || !render->voice || !render->block ||
      !SetGeneratorFormat(&render->engine, static_cast<float>(sample_rate), 2)) {
    EndPreciseRender(render);
    return 0;
  }
  SetGeneratorSettings(render->engine, &settings);
  ResetGenerator(&render->engine);
  return 1;
}

const double* NextPreciseBlock(PreciseRender* render) {
  render->bit_pattern = RenderPreciseGenerator(&render->engine, render->voice, render->block,
                                               render->block_frames) == kPreciseBitPattern;
  return render->block;
}

void EndPreciseRender(PreciseRender* render) {
  if (render->engine) ReleaseGenerator(&render->engine);
  FreePreciseVoice(render->voice);
  std::free(render->block);
  std::memset(render, 0, sizeof *render);
}
