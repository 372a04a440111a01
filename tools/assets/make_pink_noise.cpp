// make_pink_noise.cpp - generates resources/pink_noise_table.inc
//
// The engine plays pink noise from a constant table of 44,100 interleaved
// stereo frames (one second at 44.1 kHz) that it reads cyclically.  Because
// the table repeats with a period of exactly 44,100 frames, its spectrum is a
// line spectrum with 1 Hz spacing, so the noise is built directly in the
// frequency domain:
//
//   * bins 31 Hz .. 16 kHz get magnitude 1/sqrt(f) (equal energy per octave)
//     and a pseudo-random phase; every other bin, DC included, is zero;
//   * the right channel's phases are a blend of the left channel's and an
//     independent set, which gives a small, controlled inter-channel
//     correlation;
//   * each channel's crest factor is trimmed to its target by iterated
//     clip-and-restore (clip in time, put the pink magnitudes back in the
//     frequency domain, keep the new phases);
//   * an inverse DFT gives one exact period, so the last frame runs into the
//     first without a step.
//
// The result is scaled so the largest peak is 32767, rounded to int16 and
// then measured again from the quantised table (level, peak, DC, correlation,
// energy per octave, wrap-around step).  The file is only written when all
// checks pass.
//
// The random numbers come from a local splitmix64 generator rather than the
// standard library distributions, whose output differs between
// implementations, so every platform draws the same phases.
//
// Build and run:
//   g++ -O2 -std=c++17 -Wall -Wextra -o make_pink_noise tools/assets/make_pink_noise.cpp
//   ./make_pink_noise resources/pink_noise_table.inc

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <vector>

using Complex = std::complex<double>;

namespace {

constexpr std::size_t kFrames = 44100;  // one second, 1 Hz bin spacing
constexpr std::size_t kLowBin = 31;     // 31 Hz
constexpr std::size_t kHighBin = 16000; // 16 kHz
constexpr double kFullScale = 32767.0;
constexpr double kPi = 3.14159265358979323846;

// Targets.
constexpr double kLeftRmsDb = -12.8;   // peak at full scale, so crest = 12.8 dB
constexpr double kRightRmsDb = -11.2;  // crest = 11.2 dB
constexpr double kTargetCorrelation = 0.16;

// Tuning.  The seed and blend factor were picked so the finished table lands
// on the targets above; the checks at the end confirm it.
constexpr std::uint64_t kSeed = 0x70696e6b6e6f697full;
constexpr double kPhaseBlend = 0.307; // weight of the left phase in the right
constexpr int kCrestIterations = 60;
constexpr double kCrestStepGain = 0.3;  // fraction of the crest error taken per pass

// Acceptance limits for the checks.
constexpr double kLevelToleranceDb = 0.2;
constexpr double kOctaveToleranceDb = 0.5;
constexpr double kMaxDc = 0.001;  // of full scale
constexpr double kMinCorrelation = 0.14;
constexpr double kMaxCorrelation = 0.18;

// ---------------------------------------------------------------------------
// Random numbers

struct Rng {
    std::uint64_t state;
};

static std::uint64_t next_u64(Rng& rng)
{
    std::uint64_t z = (rng.state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// Uniform in [0, 1), 53 bits.
static double next_unit(Rng& rng)
{
    return static_cast<double>(next_u64(rng) >> 11) * (1.0 / 9007199254740992.0);
}

static Complex random_phasor(Rng& rng)
{
    return std::polar(1.0, 2.0 * kPi * next_unit(rng));
}

// ---------------------------------------------------------------------------
// Mixed-radix FFT (recursive decimation in time)
//
// 44100 = 2*2*3*3*5*5*7*7, so every stage is a small radix whose butterfly is
// a plain DFT.  Twiddles come from one table of exp(-2*pi*i*k/N).

struct FftPlan {
    std::size_t size = 0;
    std::vector<std::size_t> radices;
    std::vector<Complex> twiddles;
};

static FftPlan make_fft_plan(std::size_t size)
{
    FftPlan plan;
    plan.size = size;
    std::size_t rest = size;
    for (std::size_t p = 2; rest > 1;) {
        if (rest % p == 0) {
            plan.radices.push_back(p);
            rest /= p;
        } else {
            ++p;
        }
    }
    plan.twiddles.resize(size);
    for (std::size_t k = 0; k < size; ++k)
        plan.twiddles[k] = std::polar(1.0, -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size));
    return plan;
}

// exp(-2*pi*i*e/n), conjugated for the inverse, for a sub-transform of length n dividing the plan size.
static Complex twiddle(const FftPlan& plan, std::size_t e, std::size_t n, bool inverse)
{
    const Complex w = plan.twiddles[(e % n) * (plan.size / n)];
    return inverse ? std::conj(w) : w;
}

static void fft_stage(const FftPlan& plan, const Complex* in, std::size_t stride, Complex* out,
                      std::size_t n, std::size_t level, bool inverse)
{
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    const std::size_t p = plan.radices[level];
    const std::size_t m = n / p;

    // p interleaved sub-sequences, each transformed into its own block of out.
    for (std::size_t q = 0; q < p; ++q)
        fft_stage(plan, in + q * stride, stride * p, out + q * m, m, level + 1, inverse);

    // Radix-p butterflies: X[k + r*m] = sum_j W_n^(j*k) * Y_j[k] * W_p^(j*r).
    Complex y[8];
    for (std::size_t k = 0; k < m; ++k) {
        for (std::size_t j = 0; j < p; ++j)
            y[j] = out[j * m + k] * twiddle(plan, j * k, n, inverse);
        for (std::size_t r = 0; r < p; ++r) {
            Complex sum = y[0];
            for (std::size_t j = 1; j < p; ++j)
                sum += y[j] * twiddle(plan, j * r, p, inverse);
            out[k + r * m] = sum;
        }
    }
}

static std::vector<Complex> forward_fft(const FftPlan& plan, const std::vector<double>& signal)
{
    std::vector<Complex> in(signal.begin(), signal.end());
    std::vector<Complex> out(plan.size);
    fft_stage(plan, in.data(), 1, out.data(), plan.size, 0, false);
    return out;
}

// Real part of the inverse transform, scaled by 1/N.
static std::vector<double> inverse_fft(const FftPlan& plan, const std::vector<Complex>& spectrum)
{
    std::vector<Complex> out(plan.size);
    fft_stage(plan, spectrum.data(), 1, out.data(), plan.size, 0, true);
    std::vector<double> signal(plan.size);
    for (std::size_t i = 0; i < plan.size; ++i)
        signal[i] = out[i].real() / static_cast<double>(plan.size);
    return signal;
}

// ---------------------------------------------------------------------------
// Spectrum construction

static double pink_magnitude(std::size_t bin)
{
    return 1.0 / std::sqrt(static_cast<double>(bin));
}

static bool in_band(std::size_t bin)
{
    return bin >= kLowBin && bin <= kHighBin;
}

// Keeps the phase of each in-band bin, sets its magnitude to the pink value,
// zeroes everything out of band and mirrors the result so the signal is real.
static void impose_pink_magnitudes(std::vector<Complex>& spectrum)
{
    const std::size_t n = spectrum.size();
    for (std::size_t k = 0; k <= n / 2; ++k) {
        Complex v(0.0, 0.0);
        if (in_band(k)) {
            const double mag = std::abs(spectrum[k]);
            v = mag > 0.0 ? spectrum[k] * (pink_magnitude(k) / mag) : Complex(pink_magnitude(k), 0.0);
        }
        spectrum[k] = v;
        if (k != 0 && k != n - k)
            spectrum[n - k] = std::conj(v);
    }
}

static std::vector<Complex> random_pink_spectrum(Rng& rng)
{
    std::vector<Complex> spectrum(kFrames);
    for (std::size_t k = kLowBin; k <= kHighBin; ++k)
        spectrum[k] = random_phasor(rng);
    impose_pink_magnitudes(spectrum);
    return spectrum;
}

// Each bin of the result is blend*left + sqrt(1-blend^2)*independent, with
// the pink magnitude put back afterwards.
static std::vector<Complex> correlated_pink_spectrum(const std::vector<Complex>& left, double blend, Rng& rng)
{
    const double other = std::sqrt(1.0 - blend * blend);
    std::vector<Complex> spectrum(kFrames);
    for (std::size_t k = kLowBin; k <= kHighBin; ++k) {
        const Complex a = left[k] / std::abs(left[k]);
        spectrum[k] = blend * a + other * random_phasor(rng);
    }
    impose_pink_magnitudes(spectrum);
    return spectrum;
}

// ---------------------------------------------------------------------------
// Signal measurements

static double mean_of(const std::vector<double>& x)
{
    double sum = 0.0;
    for (double v : x)
        sum += v;
    return sum / static_cast<double>(x.size());
}

static double rms_of(const std::vector<double>& x)
{
    double sum = 0.0;
    for (double v : x)
        sum += v * v;
    return std::sqrt(sum / static_cast<double>(x.size()));
}

static double peak_of(const std::vector<double>& x)
{
    double peak = 0.0;
    for (double v : x)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

static double crest_db(const std::vector<double>& x)
{
    return 20.0 * std::log10(peak_of(x) / rms_of(x));
}

static double correlation_of(const std::vector<double>& a, const std::vector<double>& b)
{
    const double ma = mean_of(a);
    const double mb = mean_of(b);
    double sab = 0.0, saa = 0.0, sbb = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

static double to_db(double ratio)
{
    return 20.0 * std::log10(ratio);
}

// ---------------------------------------------------------------------------
// Crest factor control
//
// Clip the waveform at a threshold, go back to the frequency domain, restore
// the pink magnitudes (keeping the new phases) and return to the time domain.
// The restored waveform overshoots the clip level again, so the threshold is
// walked down in small steps driven by the remaining error.  Clipping can only
// lower the crest factor, so the walk is kept gentle and the pass that came
// closest to the target is the one returned.  A spectrum whose crest factor is
// already at or below the target is returned unchanged.

struct CrestPass {
    std::vector<double> signal;
    double crest_db;
};

static std::vector<double> shape_crest(const FftPlan& plan, std::vector<Complex> spectrum, double target_db)
{
    std::vector<double> signal = inverse_fft(plan, spectrum);
    CrestPass best{signal, crest_db(signal)};
    double clip_db = best.crest_db;
    for (int pass = 0; pass < kCrestIterations; ++pass) {
        const double error = crest_db(signal) - target_db;
        if (error < 0.01)
            break;
        clip_db -= kCrestStepGain * error;
        const double limit = rms_of(signal) * std::pow(10.0, clip_db / 20.0);
        for (double& v : signal)
            v = std::clamp(v, -limit, limit);
        spectrum = forward_fft(plan, signal);
        impose_pink_magnitudes(spectrum);
        signal = inverse_fft(plan, spectrum);

        const double crest = crest_db(signal);
        if (std::fabs(crest - target_db) < std::fabs(best.crest_db - target_db))
            best = CrestPass{signal, crest};
    }
    return best.signal;
}

// ---------------------------------------------------------------------------
// Quantisation and output

static std::vector<double> quantise(const std::vector<double>& x, double scale)
{
    std::vector<double> q(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        q[i] = std::clamp(std::round(x[i] * scale), -kFullScale, kFullScale);
    return q;
}

static bool write_table(const char* path, const std::vector<double>& left, const std::vector<double>& right)
{
    std::FILE* f = std::fopen(path, "w");
    if (!f)
        return false;
    std::fprintf(f, "// Generated by tools/assets/make_pink_noise.cpp - do not edit by hand.\n");
    std::fprintf(f, "// Pink noise, 31 Hz - 16 kHz, %zu interleaved stereo frames (L, R) of int16,\n", kFrames);
    std::fprintf(f, "// one second at 44.1 kHz; loops seamlessly.\n");
    const std::size_t words = 2 * kFrames;
    for (std::size_t i = 0; i < words; ++i) {
        const double v = (i % 2 == 0) ? left[i / 2] : right[i / 2];
        std::fprintf(f, "%d,%s", static_cast<int>(v), (i % 16 == 15 || i + 1 == words) ? "\n" : " ");
    }
    return std::fclose(f) == 0;
}

// ---------------------------------------------------------------------------
// Verification

struct OctaveBand {
    double low_hz;
    double high_hz;
};

static bool check(bool ok, const char* what)
{
    if (!ok)
        std::printf("  FAILED: %s\n", what);
    return ok;
}

static bool report_channel(const char* name, const std::vector<double>& x, double target_rms_db)
{
    const double mean = mean_of(x) / kFullScale;
    const double rms_db = to_db(rms_of(x) / kFullScale);
    const double peak = peak_of(x);
    const double min_sample = *std::min_element(x.begin(), x.end());
    const double max_sample = *std::max_element(x.begin(), x.end());

    std::printf("%s: mean %+.4f LSB (%+.2e FS), RMS %.2f dBFS (target %.1f), peak %.0f, min %.0f, "
                "max %.0f, crest %.2f dB\n",
                name, mean * kFullScale, mean, rms_db, target_rms_db, peak, min_sample, max_sample, crest_db(x));

    bool ok = true;
    ok &= check(std::fabs(mean) < kMaxDc, "DC offset");
    ok &= check(std::fabs(rms_db - target_rms_db) <= kLevelToleranceDb, "RMS level");
    ok &= check(peak <= kFullScale && peak >= kFullScale - 64.0, "peak level");
    return ok;
}

static bool report_spectrum(const FftPlan& plan, const char* name, const std::vector<double>& x)
{
    static const OctaveBand bands[] = {
        {31.25, 62.5}, {62.5, 125.0}, {125.0, 250.0}, {250.0, 500.0}, {500.0, 1000.0},
        {1000.0, 2000.0}, {2000.0, 4000.0}, {4000.0, 8000.0}, {8000.0, 16000.0},
    };
    constexpr std::size_t band_count = sizeof bands / sizeof bands[0];

    const std::vector<Complex> spectrum = forward_fft(plan, x);
    auto power = [&](std::size_t k) { return std::norm(spectrum[k]); };

    double energy[band_count] = {};
    double in_band_energy = 0.0, out_of_band_energy = 0.0;
    for (std::size_t k = 1; k <= kFrames / 2; ++k) {
        // Bins above DC and below Nyquist stand for both +f and -f.
        const double e = (k == kFrames - k) ? power(k) : 2.0 * power(k);
        (in_band(k) ? in_band_energy : out_of_band_energy) += e;
        for (std::size_t b = 0; b < band_count; ++b) {
            const double f = static_cast<double>(k);
            if (f >= bands[b].low_hz && f < bands[b].high_hz)
                energy[b] += e;
        }
    }
    out_of_band_energy += power(0);

    double average = 0.0;
    for (double e : energy)
        average += e;
    average /= static_cast<double>(band_count);

    std::printf("%s octave energy relative to the average:", name);
    double worst = 0.0;
    for (std::size_t b = 0; b < band_count; ++b) {
        const double db = 10.0 * std::log10(energy[b] / average);
        worst = std::max(worst, std::fabs(db));
        std::printf(" %+.2f", db);
    }
    // Parseval: sum |X|^2 = N * sum x^2, so this is the mean square in LSB^2.
    const double n = static_cast<double>(kFrames);
    const double outside_rms = std::sqrt(out_of_band_energy / (n * n));
    // Rounding leaves about 1/sqrt(12) LSB RMS of white noise, of which the
    // out-of-band bins hold their share.
    const double out_of_band_bins = static_cast<double>(kFrames - 2 * (kHighBin - kLowBin + 1));
    const double rounding_rms = std::sqrt(out_of_band_bins / n / 12.0);
    std::printf("\n%s out-of-band RMS %.3f LSB (%.1f dBFS; rounding alone ~%.3f LSB), in-band %.2f dBFS\n",
                name, outside_rms, to_db(outside_rms / kFullScale), rounding_rms,
                to_db(std::sqrt(in_band_energy / (n * n)) / kFullScale));

    bool ok = true;
    ok &= check(worst <= kOctaveToleranceDb, "octave balance");
    ok &= check(outside_rms < 2.0 * rounding_rms, "out-of-band energy");
    return ok;
}

// The table loops, so the step from the last frame back to the first should
// look like any other sample-to-sample step.
static void report_wrap(const char* name, const std::vector<double>& x)
{
    const double wrap = std::fabs(x.front() - x.back());
    double sum = 0.0, largest = 0.0;
    std::size_t smaller = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        const double step = std::fabs(x[i] - x[i - 1]);
        sum += step * step;
        largest = std::max(largest, step);
        if (step < wrap)
            ++smaller;
    }
    const double steps = static_cast<double>(x.size() - 1);
    std::printf("%s wrap step (last -> first) %.0f, larger than %.0f%% of steps; steps RMS %.0f, max %.0f\n",
                name, wrap, 100.0 * static_cast<double>(smaller) / steps, std::sqrt(sum / steps), largest);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.inc>\n", argv[0]);
        return 2;
    }

    const FftPlan plan = make_fft_plan(kFrames);
    Rng rng{kSeed};

    const std::vector<Complex> left_spectrum = random_pink_spectrum(rng);
    const std::vector<Complex> right_spectrum = correlated_pink_spectrum(left_spectrum, kPhaseBlend, rng);

    const std::vector<double> left_wave = shape_crest(plan, left_spectrum, -kLeftRmsDb);
    const std::vector<double> right_wave = shape_crest(plan, right_spectrum, -kRightRmsDb);

    const std::vector<double> left = quantise(left_wave, kFullScale / peak_of(left_wave));
    const std::vector<double> right = quantise(right_wave, kFullScale / peak_of(right_wave));

    bool ok = true;
    ok &= report_channel("left ", left, kLeftRmsDb);
    ok &= report_channel("right", right, kRightRmsDb);

    const double correlation = correlation_of(left, right);
    std::printf("correlation %.4f (target %.2f)\n", correlation, kTargetCorrelation);
    ok &= check(correlation >= kMinCorrelation && correlation <= kMaxCorrelation, "correlation");

    ok &= report_spectrum(plan, "left ", left);
    ok &= report_spectrum(plan, "right", right);
    report_wrap("left ", left);
    report_wrap("right", right);

    if (!ok) {
        std::fprintf(stderr, "checks failed, %s not written\n", argv[1]);
        return 1;
    }
    if (!write_table(argv[1], left, right)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s\n", argv[1]);
    return 0;
}
