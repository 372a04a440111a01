// Periodic noise and the MLS's taps: see periodic_noise.h.
//
// How it works. The period is made in the frequency domain: the wanted
// magnitudes, scaled to the RMS, with random phases, then an inverse FFT.
// While the period peaks above kPeriodicPeak, it is clipped a little below
// that, transformed, and every bin's magnitude set back to its wanted value
// with the phase the clipping left (the magnitudes hold, the peaks come
// down); each such step takes two FFTs. The FFT is a plain iterative
// radix-2 one with its twiddles from a table of sines, so that every size
// uses the same exactly rounded angles.
#include "generator/engine/periodic_noise.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "generator/engine/random_noise.h"

namespace {

constexpr double kTwoPi = 6.283185307179586476925;
// Enough steps for every order and rate offered (a test makes them all);
// most periods need a handful, a few none.
constexpr int kMaxPeakSteps = 400;
// The clipping aims this far below the peak allowed: it converges faster
// than clipping at the limit itself.
constexpr double kClipBelowPeak = 0.97;

// The seed of an order's phases: the same N, the same period.
constexpr uint64_t PhaseSeed(int32_t order) { return 0x5045524E4F495345ull + order; }

struct Buffers {
  double* re;
  double* im;
  double* magnitude;  // wanted, scaled; M/2 + 1 of them
};

void FreeBuffers(Buffers* b) {
  std::free(b->re);
  std::free(b->im);
  std::free(b->magnitude);
  *b = Buffers{};
}

double PeakOf(const double* x, int32_t n) {
  double peak = 0.0;
  for (int32_t i = 0; i < n; ++i) peak = std::fmax(peak, std::fabs(x[i]));
  return peak;
}

// The real period from the bins 0 … M/2 in re/im (made Hermitian here).
void ToTime(Buffers* b, int32_t order) {
  const int32_t m = 1 << order;
  for (int32_t k = 1; k < m / 2; ++k) {
    b->re[m - k] = b->re[k];
    b->im[m - k] = -b->im[k];
  }
  b->re[0] = b->im[0] = b->re[m / 2] = b->im[m / 2] = 0.0;
  Fft(b->re, b->im, order, true);
  const double scale = 1.0 / m;
  for (int32_t n = 0; n < m; ++n) {
    b->re[n] *= scale;
    b->im[n] = 0.0;
  }
}

}  // namespace

void Fft(double* re, double* im, int32_t order, bool inverse) {
  const int32_t n = 1 << order;
  // Bit-reversed order first.
  for (int32_t i = 1, j = 0; i < n; ++i) {
    int32_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      const double r = re[i], m = im[i];
      re[i] = re[j];
      im[i] = im[j];
      re[j] = r;
      im[j] = m;
    }
  }
  // The twiddles of the largest stage, e^(∓2πik/n) for k < n/2; a stage of
  // half-size h takes every (n/2h)-th of them.
  double* wr = static_cast<double*>(std::malloc(sizeof(double) * (n / 2)));
  double* wi = static_cast<double*>(std::malloc(sizeof(double) * (n / 2)));
  if (!wr || !wi) {
    std::free(wr);
    std::free(wi);
    return;
  }
  const double sign = inverse ? 1.0 : -1.0;
  for (int32_t k = 0; k < n / 2; ++k) {
    wr[k] = std::cos(kTwoPi * k / n);
    wi[k] = sign * std::sin(kTwoPi * k / n);
  }
  for (int32_t half = 1; half < n; half <<= 1) {
    const int32_t stride = n / (2 * half);
    for (int32_t start = 0; start < n; start += 2 * half) {
      for (int32_t k = 0; k < half; ++k) {
        const int32_t a = start + k, b = a + half;
        const double c = wr[k * stride], s = wi[k * stride];
        const double tr = re[b] * c - im[b] * s;
        const double ti = re[b] * s + im[b] * c;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    }
  }
  std::free(wr);
  std::free(wi);
}

double PeriodicBinMagnitude(int32_t shape, int32_t order, double rate, int32_t k) {
  const int32_t m = 1 << order;
  if (k < 1 || k >= m / 2) return 0.0;
  if (shape == kPeriodicWhite) return 1.0;
  const double hz = k * rate / m;
  const double high = std::fmin(kPeriodicPinkHighHz, rate / 2.0);
  return hz >= kPeriodicPinkLowHz && hz <= high ? 1.0 / std::sqrt(hz) : 0.0;
}

int MakePeriodicNoise(int32_t shape, int32_t order, double rate, PeriodicNoiseTable* table) {
  FreePeriodicNoise(table);
  if (order < kMinSequenceOrder || order > kMaxSequenceOrder || !(rate > 0.0)) return 0;
  const int32_t m = 1 << order;
  Buffers b = {static_cast<double*>(std::malloc(sizeof(double) * m)),
               static_cast<double*>(std::malloc(sizeof(double) * m)),
               static_cast<double*>(std::malloc(sizeof(double) * (m / 2 + 1)))};
  if (!b.re || !b.im || !b.magnitude) {
    FreeBuffers(&b);
    return 0;
  }
  // The magnitudes, scaled so that the period's RMS is the white noise's.
  double power = 0.0;
  for (int32_t k = 0; k <= m / 2; ++k) {
    b.magnitude[k] = PeriodicBinMagnitude(shape, order, rate, k);
    power += b.magnitude[k] * b.magnitude[k];
  }
  const double rms = WhiteNoiseScale() / std::sqrt(3.0);
  const double scale = power > 0.0 ? rms * m / std::sqrt(2.0 * power) : 0.0;
  uint64_t counter = PhaseSeed(order);
  for (int32_t k = 0; k <= m / 2; ++k) {
    b.magnitude[k] *= scale;
    const double phase = kTwoPi * 0.5 * NextUniformNoise(&counter);
    b.re[k] = b.magnitude[k] * std::cos(phase);
    b.im[k] = b.magnitude[k] * std::sin(phase);
  }
  ToTime(&b, order);
  for (int step = 0; step < kMaxPeakSteps && PeakOf(b.re, m) > kPeriodicPeak; ++step) {
    const double clip = kPeriodicPeak * kClipBelowPeak;
    for (int32_t n = 0; n < m; ++n) b.re[n] = std::fmax(-clip, std::fmin(clip, b.re[n]));
    Fft(b.re, b.im, order, false);
    for (int32_t k = 0; k <= m / 2; ++k) {
      const double size = std::hypot(b.re[k], b.im[k]);
      if (size > 0.0) {
        b.re[k] *= b.magnitude[k] / size;
        b.im[k] *= b.magnitude[k] / size;
      } else {
        b.re[k] = b.magnitude[k];  // no phase left: any will do
        b.im[k] = 0.0;
      }
    }
    ToTime(&b, order);
  }
  table->shape = shape;
  table->order = order;
  table->rate = rate;
  table->values = b.re;
  table->length = m;
  std::free(b.im);
  std::free(b.magnitude);
  return 1;
}

void FreePeriodicNoise(PeriodicNoiseTable* table) {
  std::free(table->values);
  *table = PeriodicNoiseTable{};
}

uint32_t MlsTaps(int32_t order) {
  // XAPP 052, table 3: the stages Qt whose outputs feed back, for n = 12 … 20.
  static const uint8_t kTaps[][4] = {{12, 6, 4, 1},  {13, 4, 3, 1},   {14, 5, 3, 1},
                                     {15, 14, 0, 0}, {16, 15, 13, 4}, {17, 14, 0, 0},
                                     {18, 11, 0, 0}, {19, 6, 2, 1},   {20, 17, 0, 0}};
  const int32_t n = SequenceOrderOf(order);
  uint32_t mask = 0;
  for (uint8_t tap : kTaps[n - kMinSequenceOrder]) {
    if (tap != 0) mask |= 1u << (n - tap);
  }
  return mask;
}
