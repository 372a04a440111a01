// Measurements on rendered 16-bit audio, for the engine tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One channel (0 left, 1 right) of an interleaved stereo buffer.
std::vector<double> Channel(const std::vector<int16_t>& stereo, int channel);

// Samples [first, first + count) of a signal.
std::vector<double> Slice(const std::vector<double>& x, size_t first, size_t count);

double Mean(const std::vector<double>& x);

// RMS relative to full scale (32767), in dB.
double RmsDbfs(const std::vector<double>& x);

// Frequency from the count of rising zero crossings, at 44.1 kHz.
double ZeroCrossingHz(const std::vector<double>& x);

// Pearson correlation coefficient of two equally long signals.
double Correlation(const std::vector<double>& a, const std::vector<double>& b);

// Power at `hz` (Goertzel, rectangular window), normalised so that a sine of
// amplitude A gives A²/4. Exact for whole cycles in the signal.
double TonePower(const std::vector<double>& x, double hz);

// The same through a Hann window: for tones that do not fit whole cycles and
// for looking between tones.
double HannTonePower(const std::vector<double>& x, double hz);

// Least-squares fit of a·cos(ωn) + b·sin(ωn) + c to a signal, with ω refined
// from `hz` by Gauss-Newton (the four-parameter sine fit), at `rate`.
struct SineFit {
  double hz;
  double amplitude;
  double thd_n_db;  // the residual's power relative to the fitted sine's
};
SineFit FitSine(const std::vector<double>& x, double hz, double rate = 44100.0);
