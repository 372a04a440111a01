// What the panel's display says plays: the signal in capitals with its
// frequencies ("SINE 1 kHz", "LOG SWEEP 20 Hz - 20 kHz", "PINK NOISE",
// "J-TEST", "SMPTE TWIN TONE"), and the level line ("-10 dBFS", "+4.0 dBu").
// Portable.
#pragma once

#include <cstddef>

#include "generator/engine/engine.h"
#include "generator/panel/panel_parameters.h"

void SignalCaption(const GeneratorSettings& settings, char* out, size_t size);

// What the output carries, level plus gain, in the view's unit; in dB full
// scale to a tenth where it is not whole ("-10 dBFS", "-12.5 dBFS"). The
// J-test plays its own level, which its code sets: "OWN LEVEL".
void LevelCaption(const GeneratorSettings& settings, const LevelView& view, char* out, size_t size);

// "1 kHz", "1.5 kHz", "440 Hz", "0.1 Hz": four significant figures at most.
void FrequencyCaption(double hz, char* out, size_t size);
