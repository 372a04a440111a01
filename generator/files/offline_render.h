// Rendering without a device: the engine driven exactly as the audio thread
// drives it (reset, then zero-filled blocks of the stream's buffer size), for
// the genrender tool and for comparing what the device played.
//
// A render holds one engine and one block whatever its length, so a caller
// that consumes each block before asking for the next (genrender writes it to
// its file) renders an hour in the memory of a second.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generator/engine/engine.h"


// A render in progress: its engine and the block it renders into.
struct OfflineRender {
  GeneratorEngine* engine;
  int16_t* block;  // 2 × block_frames samples, interleaved stereo
  int32_t block_frames;
};

// Makes the engine, stereo at `sample_rate`, with `settings` (taken as they
// are; set `on` to hear anything) and the block. 1, or 0 when memory runs
// out, the block size is below 1 or the rate cannot be played (then nothing
// is held).
int BeginOfflineRender(OfflineRender* render, const GeneratorSettings& settings,
                       int32_t block_frames, int32_t sample_rate = 44100);

// Renders the next block and returns it; it stays valid until the next call.
const int16_t* NextOfflineBlock(OfflineRender* render);

// Frees the engine and the block; safe after a failed begin and twice.
void EndOfflineRender(OfflineRender* render);

// Renders `frames` stereo frames of `settings` into `out` (2 × frames
// samples), in blocks of `block_frames`. Returns 1, or 0 when the engine
// cannot be made.
int RenderOffline(const GeneratorSettings& settings, size_t frames, int32_t block_frames,
                  int16_t* out);
