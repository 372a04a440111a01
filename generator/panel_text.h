// What the generator panel's read-outs show and accept. Portable.
#pragma once

#include <cstddef>

#include "generator/engine.h"

// The read-out text of read-out `id` (0 … 8) for `settings`; empty for any
// other id.
void FormatReadout(int id, const GeneratorSettings* settings, char* out, size_t size);

// The text the quick edit box opens with for read-out `id`.
void ReadoutEntryText(int id, const GeneratorSettings* settings, char* out, size_t size);

// Applies a typed `value` to read-out `id`'s field when it is inside that
// read-out's accepted range (read-out 0 takes milliseconds, up to 1000); the sweep
// frequencies keep start ≤ end. Returns 1 when the settings changed.
int ApplyReadoutEntry(int id, double value, GeneratorSettings* settings);

// The level and frequency presets, by button.
constexpr int kLevelPresetCount = 4;
constexpr float kLevelPresets[kLevelPresetCount] = {0.0f, -10.0f, -20.0f, -30.0f};
constexpr int kFrequencyPresetCount = 5;
constexpr float kFrequencyPresets[kFrequencyPresetCount] = {50.0f, 100.0f, 1000.0f, 10000.0f,
                                                            15000.0f};
