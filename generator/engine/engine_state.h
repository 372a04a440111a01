// The engine object and its building blocks, private to the engine sources
// and their tests.
//
// The lock guards the pending settings and the applied, busy and
// destroy-requested flags. Everything below them (active settings, derived
// values, run state) is touched only by the render thread, or by the
// user-interface thread while no render can run. The running flag is the one
// run-state word the user interface reads while audio plays, so it is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "generator/engine/band_limited.h"
#include "generator/engine/engine.h"
#include "generator/engine/periodic_noise.h"
#include "generator/engine/signal_state.h"

// 31 recursive sine oscillators a third of an octave apart, 20.3 kHz down to
// 19.8 Hz; one multiply and one subtract each per sample. Padded to 32 lanes
// (the last lane stays silent) so the per-sample update vectorises.
constexpr int kMultiToneCount = 31;
constexpr int kMultiToneLanes = 32;

struct MultiToneBank {
  float coefficient[kMultiToneLanes];   // 2·cos(ω)
  float first_state[kMultiToneLanes];   // y[n-1]
  float second_state[kMultiToneLanes];  // y[n-2]
};

struct GeneratorEngine {
  std::mutex lock;
  int32_t settings_applied;   // 0: pending changed, copy and derive before the next block
  int32_t busy;               // 1 while a render is in progress
  int32_t destroy_requested;  // the render in progress destroys the engine

  float sample_rate;
  int32_t channel_count;  // 1 mono, 2 or more interleaved stereo

  GeneratorSettings defaults;
  GeneratorSettings pending;
  GeneratorSettings active;

  // Derived by PrepareGenerator.
  float pass_gain;  // 1.0 adds the buffer content, 0.0 replaces it
  float mono_level;
  float left_level;
  float right_level;

  // Run state, carried from block to block.
  float current_left_level;  // the ramped levels actually applied
  float current_right_level;
  std::atomic<int32_t> running;
  int32_t fade_counter;  // non-zero while fading out
  float fade_gain;
  int32_t one_shot_length;  // samples; 0 plays without end
  int32_t source;
  int32_t noise_type;
  int32_t gate_on;
  int32_t gate_sound_length;  // samples
  int32_t gate_period;        // samples, sound plus pause
  int32_t gate_counter;
  float gate_gain;
  float left_dc_offset;
  float right_dc_offset;

  MultiToneBank multi_tone;

  int32_t elapsed_samples;
  int32_t noise_position;  // index into the pink-noise table in 16-bit words
  int32_t test_signal;
  SignalState<float> signals;  // the signals that keep a run state (signal_state.h)
  // The periodic noise's period that plays; the render thread's own (made or
  // taken there, outside the lock), freed with the engine.
  PeriodicNoiseTable period;
  // A period made ahead on the thread that set the settings, so that the
  // render need not make it (SetGeneratorSettings): under the lock.
  PeriodicNoiseTable prepared_period;

  int16_t* wave_table[4];  // sine, triangle, sawtooth, square
  int32_t waveform;
  int32_t table_length;  // samples per table: one cycle
  int32_t alias_free;    // triangle, sawtooth and square from their series (band_limited.h)
  int32_t harmonics;     // the steady wave's harmonics below half the rate
  RightSeries right_series;  // the series' right channel at its phase offset

  float phase;  // cycles, 0 <= phase < 1
  float phase_increment;
  // The alias-free waveforms' phase and increment, in double precision: a
  // single-precision phase wanders by its rounding, which smears each
  // harmonic into lines beside it (-87 dB for a 1 kHz square); the series
  // would show it where the tables' truncation hides it. The phase above
  // follows it, rounded.
  double fine_phase;
  double fine_increment;
  float right_phase_offset;  // cycles

  int32_t sweep_on;
  int32_t sweep_flags;  // the active settings' word: the synchronised and stepped bits
  float sweep_start_increment;
  float sweep_end_increment;
  float sweep_current_increment;
  float sweep_current_multiplier;
  float sweep_up_multiplier;
  float sweep_down_multiplier;
  int32_t sweep_back_and_forth;
  int32_t sweep_linear;  // the multipliers are steps added each frame
};

// The tones' frequencies in Hz, 25,600 Hz times 2^(-k/3) for k = 1 … 31,
// highest first; the factor is applied by repeated multiplication.
void MultiToneFrequencies(double hz[kMultiToneCount]);

// Sets every oscillator to start a unit sine at phase 0.
void InitMultiToneBank(MultiToneBank* bank, float sample_rate);

// Builds the four one-cycle tables of trunc(sample_rate) samples each.
// Returns 1, or 0 (nothing allocated) when memory runs out or the rate
// cannot give a table.
int BuildWaveTables(int16_t* tables[4], float sample_rate);

// Frees the tables and nulls the pointers; safe on null pointers.
void FreeWaveTables(int16_t* tables[4]);

// The start and end of every block render, the engine's and the precise
// synth's. BeginGeneratorBlock takes the engine for one block: it marks it
// busy and, when the pending settings changed, makes them active and derives
// them. It skips the block when the slot is empty, another render runs, or a
// deferred release is due (it then destroys the engine and empties the
// slot). EndGeneratorBlock, after every block that was not skipped, clears
// the busy mark and carries out a release requested meanwhile.
enum GeneratorBlockStart {
  kBlockSkipped,     // render nothing
  kBlockKept,        // the active settings are those of the last block
  kBlockDerived,     // new settings were derived
  kBlockSwitchedOn,  // new settings were derived and switched the generator on from idle
};
int BeginGeneratorBlock(GeneratorEngine** slot);
void EndGeneratorBlock(GeneratorEngine** slot);
