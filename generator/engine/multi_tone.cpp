// Set-up of the multi-tone oscillator bank.
//
// Oscillator k runs y[n] = 2·cos(ω)·y[n-1] - y[n-2]; starting from
// y[-1] = 0 and y[-2] = sin(-ω) its output is sin((n+1)·ω), a unit sine at
// phase 0. Frequencies are 25600 Hz times 2^(-k/3) for k = 1 … 31, the factor
// applied by repeated multiplication.
#include <cmath>

#include "generator/engine/engine_state.h"

void MultiToneFrequencies(double hz[kMultiToneCount]) {
  double f = 25600.0;
  for (int k = 0; k < kMultiToneCount; ++k) {
    f = f * 0.7937005259840998;
    hz[k] = f;
  }
}

void InitMultiToneBank(MultiToneBank* bank, float sample_rate) {
  const double w = 6.283185307179586476925 / static_cast<double>(sample_rate);
  double hz[kMultiToneCount];
  MultiToneFrequencies(hz);
  for (int k = 0; k < kMultiToneLanes; ++k) {
    bank->coefficient[k] = 0.0f;
    bank->first_state[k] = 0.0f;
    bank->second_state[k] = 0.0f;
  }
  for (int k = 0; k < kMultiToneCount; ++k) {
    const double angle = w * hz[k];
    bank->coefficient[k] = static_cast<float>(2.0 * std::cos(angle));
    bank->second_state[k] = static_cast<float>(std::sin(-angle));
  }
}
