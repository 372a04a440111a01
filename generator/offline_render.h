// Rendering without a device: the engine driven exactly as the audio thread
// drives it (reset, then zero-filled blocks of the stream's buffer size), for
// the genrender tool and for comparing what the device played.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generator/engine.h"

constexpr int32_t kDefaultBlockFrames = 4408;  // the stream's buffer at 100 ms

// Renders `frames` stereo frames of `settings` (taken as they are; set `on`
// to hear anything) at 44,100 Hz into `out` (2 × frames samples), in blocks
// of `block_frames`. Returns 1, or 0 when the engine cannot be made.
int RenderOffline(const GeneratorSettings& settings, size_t frames, int32_t block_frames,
                  int16_t* out);
