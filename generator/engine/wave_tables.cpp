// The four one-cycle wave tables of the engine.
//
// Each table holds N = trunc(sample rate) samples of one cycle, so a phase p
// in cycles reads index trunc(p·N). Values are truncated toward zero; the
// negative extreme is -32767 so that no table holds -32768. The triangle and
// sawtooth add a step rounded to a float onto a double accumulator; that
// rounding fixes where the sawtooth jumps (index 22,051 at 44.1 kHz).
#include <cmath>
#include <cstdlib>

#include "generator/engine/engine_state.h"

// Rates beyond any audio device's; keeps the table size well inside int.
constexpr float kMaxTableRate = 1048576.0f;

static void FillSine(int16_t* s, int32_t n, double rate) {
  const double two_pi = 6.283185307179586476925;
  for (int32_t i = 0; i < n; ++i) {
    s[i] = static_cast<int16_t>(std::trunc(std::sin(two_pi * i / rate) * 32767.0));
  }
}

static void FillTriangle(int16_t* s, int32_t n, float rate) {
  double step = static_cast<float>(1.0 / (static_cast<double>(rate) * 0.25));
  double d = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    s[i] = static_cast<int16_t>(d * 32767.0);
    d = d + step;
    if (d >= 1.0) {
      d = 1.0;
      step = -step;
    } else if (d <= -1.0) {
      d = -1.0;
      step = -step;
    }
  }
}

static void FillSawtooth(int16_t* s, int32_t n, float rate) {
  const double step = static_cast<float>(1.0 / (static_cast<double>(rate) * 0.5));
  double d = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    s[i] = static_cast<int16_t>(d * 32767.0);
    d = d + step;
    if (d >= 1.0) d = -1.0;
  }
}

static void FillSquare(int16_t* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) s[i] = i < n / 2 ? 32767 : -32767;
}

int BuildWaveTables(int16_t* tables[4], float sample_rate) {
  for (int k = 0; k < 4; ++k) tables[k] = nullptr;
  if (!(sample_rate >= 1.0f && sample_rate <= kMaxTableRate)) return 0;
  const int32_t n = static_cast<int32_t>(sample_rate);
  for (int k = 0; k < 4; ++k) {
    tables[k] = static_cast<int16_t*>(std::malloc(sizeof(int16_t) * static_cast<size_t>(n)));
    if (!tables[k]) {
      FreeWaveTables(tables);
      return 0;
    }
  }
  FillSine(tables[kWaveSine], n, sample_rate);
  FillTriangle(tables[kWaveTriangle], n, sample_rate);
  FillSawtooth(tables[kWaveSawtooth], n, sample_rate);
  FillSquare(tables[kWaveSquare], n);
  return 1;
}

void FreeWaveTables(int16_t* tables[4]) {
  for (int k = 0; k < 4; ++k) {
    std::free(tables[k]);
    tables[k] = nullptr;
  }
}
