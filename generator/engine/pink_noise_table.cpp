// The pink-noise table as compiled-in data (see pink_noise_table.h).
#include "generator/engine/pink_noise_table.h"

const int16_t kPinkNoiseTable[kPinkNoiseWords] = {
#include "resources/pink_noise_table.inc"
};
