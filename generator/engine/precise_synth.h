// The generator's signal in double precision: what genrender renders in high
// quality, beyond the 16 bits the program plays.
//
// A precise render plays one set-up from its switch-on, as OfflineRender does,
// and keeps an engine for it: the engine derives the settings
// (PrepareGenerator) and holds the run state, and each block runs the
// engine's own frame timing (frame_timing.h) frame by frame. One-shots,
// fades, gates, impulses and level ramps therefore fall on exactly the frames
// the program plays them on. What sounds is computed in double precision from
// the phase instead of read from 16-bit tables: sine, the naive triangle,
// sawtooth and square, sweeps, the pink-noise table's values and the 31 tones
// of the multi-tone, the noises, the alias-free waveforms' series and the
// test signals. Nothing is truncated: a block holds doubles at full scale
// 1.0, which the caller quantises (wav_file.h).
//
// Stereo, at the engine's sample rate. The program plays it live in its
// high-precision widths (RenderPreciseGenerator); genrender renders one
// set-up from its switch-on (PreciseRender).
#pragma once

#include <cstdint>

#include "generator/engine/engine.h"

struct PreciseVoice;  // oscillator state, private to precise_synth.cpp

// Live: renders `frames` stereo frames of the engine's current settings into
// `out` (2 × frames values, full scale ±1.0), in place of RenderGenerator.
// The voice keeps the oscillators between blocks. `out` is silence when the
// block is skipped (an empty slot, another render in progress). May destroy
// the engine and empty the slot, as RenderGenerator may.
//
// Returns what the block holds: a signal, to be quantised with dither, or a
// bit pattern (the J-test): 24-bit codes over 2^23, which QuantiseBitPattern
// writes at any width as they are.
enum PreciseBlockContent { kPreciseSignal = 0, kPreciseBitPattern = 1 };
PreciseVoice* CreatePreciseVoice();  // null when out of memory
void FreePreciseVoice(PreciseVoice* voice);
// The next block takes the engine's run state afresh: after a reset of the
// engine or a change of its rate.
void RestartPreciseVoice(PreciseVoice* voice);
int RenderPreciseGenerator(GeneratorEngine** slot, PreciseVoice* voice, double* out,
                           int32_t frames);

// A precise render in progress: its engine, its voice and the block it renders into.
struct PreciseRender {
  GeneratorEngine* engine;
  PreciseVoice* voice;
  double* block;  // 2 × block_frames values, interleaved stereo, full scale ±1.0
  int32_t block_frames;
  bool bit_pattern;  // the last block is a bit pattern (RenderPreciseGenerator)
};

// Makes the engine at `sample_rate` with `settings` (taken as they are; set
// `on` to hear anything), as the program's audio thread does before its first
// block, and makes the block. 1, or 0 when memory runs out, the block size is
// below 1 or the rate cannot be played (then nothing is held).
int BeginPreciseRender(PreciseRender* render, const GeneratorSettings& settings,
                       int32_t block_frames, int32_t sample_rate = 44100);

// Renders the next block and returns it; it stays valid until the next call.
const double* NextPreciseBlock(PreciseRender* render);

// Frees everything; safe after a failed begin and twice.
void EndPreciseRender(PreciseRender* render);
