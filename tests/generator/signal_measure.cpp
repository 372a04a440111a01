// Plain, slow and obviously correct measurements for the engine tests.
#include "tests/generator/signal_measure.h"

#include <cmath>

static const double kPi = 3.14159265358979323846;

std::vector<double> Channel(const std::vector<int16_t>& stereo, int channel) {
  std::vector<double> x(stereo.size() / 2);
  for (size_t i = 0; i < x.size(); ++i) x[i] = stereo[2 * i + static_cast<size_t>(channel)];
  return x;
}

std::vector<double> Slice(const std::vector<double>& x, size_t first, size_t count) {
  return std::vector<double>(x.begin() + static_cast<long>(first),
                             x.begin() + static_cast<long>(first + count));
}

double Mean(const std::vector<double>& x) {
  double sum = 0;
  for (double v : x) sum += v;
  return x.empty() ? 0 : sum / static_cast<double>(x.size());
}

double RmsDbfs(const std::vector<double>& x) {
  double sum = 0;
  for (double v : x) sum += v * v;
  return 20.0 * std::log10(std::sqrt(sum / static_cast<double>(x.size())) / 32767.0);
}

double ZeroCrossingHz(const std::vector<double>& x) {
  int crossings = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) ++crossings;
  }
  return crossings * 44100.0 / static_cast<double>(x.size());
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
  const double ma = Mean(a), mb = Mean(b);
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}

static double Goertzel(const std::vector<double>& x, const std::vector<double>& window, double hz) {
  const double coeff = 2 * std::cos(2 * kPi * hz / 44100.0);
  double s1 = 0, s2 = 0, gain = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double w = window.empty() ? 1.0 : window[i];
    const double s = x[i] * w + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
    gain += w;
  }
  return (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (gain * gain);
}

double TonePower(const std::vector<double>& x, double hz) { return Goertzel(x, {}, hz); }

double HannTonePower(const std::vector<double>& x, double hz) {
  std::vector<double> window(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(i) / static_cast<double>(x.size()));
  }
  return Goertzel(x, window, hz);
}

SineFit FitSine(const std::vector<double>& x, double hz, double rate) {
  const double middle = (static_cast<double>(x.size()) - 1) / 2;  // keeps the system well conditioned
  double w = 2 * kPi * hz / rate, p[4] = {0, 0, 0, 0}, residual = 0;
  for (int round = 0; round < 8; ++round) {
    const int n = round == 0 ? 3 : 4;  // ω only once a sine has been fitted
    double m[4][5] = {};
    residual = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      const double t = static_cast<double>(i) - middle, c = std::cos(w * t), s = std::sin(w * t);
      const double r = x[i] - (p[0] * c + p[1] * s + p[2]);
      const double j[4] = {c, s, 1, t * (p[1] * c - p[0] * s)};
      for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) m[a][b] += j[a] * j[b];
        m[a][4] += j[a] * r;
      }
      residual += r * r;
    }
    for (int a = 0; a < n; ++a) {  // Gauss-Jordan; the normal matrix is positive definite
      for (int b = 0; b < n; ++b) {
        if (b == a) continue;
        const double f = m[b][a] / m[a][a];
        for (int k = 0; k <= 4; ++k) m[b][k] -= f * m[a][k];
      }
    }
    for (int a = 0; a < 3; ++a) p[a] += m[a][4] / m[a][a];
    if (n == 4) w += m[3][4] / m[3][3];
  }
  const double amplitude = std::hypot(p[0], p[1]);
  const double thd_n = 10 * std::log10(residual / static_cast<double>(x.size()) / (amplitude * amplitude / 2));
  return {w * rate / (2 * kPi), amplitude, thd_n};
}
