// genrender: renders Generator settings to a WAV file or to standard output,
// offline.
//
// Takes a current-set file as Generator takes it when it loads one (its
// values brought into the panel's ranges by the same function), or the
// built-in defaults, switches the generator on and renders it in one of two
// qualities. `live` runs the engine exactly as the program's audio thread does (reset, then blocks
// of its buffer at the default latency, DefaultStreamBuffer: 4,408 frames at 44.1 kHz): the
// program's own 16-bit output, bit for bit. `high` runs the precise synth
// (generator/engine/precise_synth.h): the same set-up, timing and envelope computed in double
// precision, written as 16- or 24-bit PCM with TPDF dither or as 32-bit float. Each block is
// written as it comes, so an hour takes no more memory than a second, and the length is known
// before the first byte, so the header is exact on a pipe too.
//
// Failures: a usage error names the argument in one line (exit code 2); a
// file that cannot be read or written is named with the reason (exit code 1)
// and an incomplete output file is removed. A reader that closes the pipe
// ends the render quietly with exit code 1. Run `genrender --help`.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "generator/audio/output_choice.h"
#include "generator/audio/wave_format.h"
#include "generator/engine/engine.h"
#include "generator/engine/precise_synth.h"
#include "generator/files/offline_render.h"
#include "generator/files/set_file_format.h"
#include "generator/files/wav_file.h"
#include "generator/panel/level_units.h"
#include "generator/panel/panel_parameters.h"
#include "tools/usage_error.h"

// The help, in two parts around the list of signals, which is made from the
// engine's tables (PrintUsage).
static const char kUsageHead[] =
    "usage: genrender [-s SETFILE] [-d SECONDS] [--quality live|high]\n"
    "                 [--format s16|s24|f32] [--dither tpdf|none]\n"
    "                 [--rate 44100|48000|88200|96000|192000] [--signal NAME]\n"
    "                 [--order N] [--waveform sine|triangle|sawtooth|square]\n"
    "                 [--sweep linear|log|synchronised|stepped]\n"
    "                 [--steps-per-octave N] [--dwell SECONDS]\n"
    "                 [--alias-free] [--burst ON,OFF[,hann]] [--frequency HZ]\n"
    "                 [--level LEVEL [--full-scale VOLTS]] -o OUTPUT.wav\n"
    "\n"
    "Renders the generator's signal to a stereo WAV file.\n"
    "\n"
    "  -s, --set FILE        current-set file to render (qx_gene_current_set.def);\n"
    "                        without it the built-in defaults (1 kHz sine, -10 dB)\n"
    "  -d, --duration SEC    seconds to render, 0.001 to 3600 (default 1)\n"
    "  -o, --output FILE     the WAV file to write; - writes it to standard output\n"
    "      --quality Q       live (default): the Generator program's own\n"
    "                        16-bit output, bit for bit, from the same engine in the\n"
    "                        same blocks; high: the same signal, timing and envelope\n"
    "                        computed in double precision, without table look-up\n"
    "                        or truncation\n"
    "      --format F        s16 (default), s24: 16- or 24-bit PCM; f32: 32-bit\n"
    "                        float; s24 and f32 need --quality high\n"
    "      --dither D        tpdf (default for high-quality PCM): triangular dither\n"
    "                        of +-1 LSB; none: rounding only. Digital silence stays\n"
    "                        silent. Float output is never dithered\n"
    "      --rate HZ         the sample rate (default 44100), as Generator's\n"
    "                        Output menu offers it; the engine's tables and\n"
    "                        times follow the rate\n"
    "      --signal NAME     the signal over the set file or the defaults:\n"
    "         white, brown   flat, or falling 6 dB an octave from 20 Hz, both at\n"
    "                        the pink noise's RMS\n"
    "         periodic-white, periodic-pink\n"
    "                        noise that repeats exactly every 2^N samples (--order),\n"
    "                        every DFT bin of a period at its magnitude: flat, or\n"
    "                        3 dB an octave down from 10 Hz to 22 kHz; the white\n"
    "                        noise's RMS\n"
    "         mls            the maximum-length sequence of order N: 2^N - 1\n"
    "                        samples of +level and -level\n";
static const char kUsageTail[] =
    "         burst          the tone burst (see --burst)\n"
    "         jtest          the jitter test's bit pattern, exact at every width:\n"
    "                        no level applies and nothing dithers it\n"
    "         impulse, pink, pink-antiphase, pink-stereo, multitone\n"
    "                        the panel's noise buttons\n"
    "      --order N         the periodic noises' and the MLS's order, 12 to 20\n"
    "                        (default 16)\n"
    "      --waveform W      the waveform source, playing W: sine, triangle,\n"
    "                        sawtooth or square\n"
    "      --sweep LAW       the waveform source's sweep, switched on, from its\n"
    "                        start to its end frequency over its time (the set\n"
    "                        file's or the defaults': 20 Hz to 15 kHz in 1 s):\n"
    "                        linear in frequency, or log (the panel's);\n"
    "                        synchronised: the exponential sweep whose harmonics\n"
    "                        line up in phase, upward, playing L*ln(f2/f1) with\n"
    "                        f1*L whole; stepped: sine steps f1*2^(k/n) up to f2,\n"
    "                        n an octave (--steps-per-octave), each held --dwell\n"
    "      --steps-per-octave N\n"
    "                        the stepped sweep's steps an octave, 1 to 48 (default 3)\n"
    "      --dwell SECONDS   how long each step holds, 0.05 to 60 (default 1)\n"
    "      --alias-free      triangle, sawtooth and square with only the harmonics\n"
    "                        below half the rate, so that none folds back\n"
    "      --burst ON,OFF[,hann]\n"
    "                        the tone burst's cycles of the sine (0.5 to 100) and\n"
    "                        of silence (0 to 1000) after it, Hann-windowed with\n"
    "                        hann; --signal burst plays it\n"
    "      --frequency HZ    the frequency of the waveform and of the burst, within\n"
    "                        the panel's range\n"
    "      --level LEVEL     the signal's peak (level plus gain): -6, -6 dB or\n"
    "                        -6 dBFS; with --full-scale also +4dBu, -10dBV,\n"
    "                        0.775V or 775mV (RMS) or 2Vpp, as a sine of that\n"
    "                        peak reads. The level knob's -80 to 0 dB plus the\n"
    "                        gain must hold it (within the 0.05 dB its limits\n"
    "                        are shown to)\n"
    "      --full-scale VOLTS\n"
    "                        the calibration: the volts RMS of a 0 dBFS sine at\n"
    "                        the output, above 0 up to 1000\n"
    "  -h, --help            this text\n"
    "\n"
    "Options take their value as the next argument or after '=' (--duration=2).\n"
    "A set file is taken as Generator takes it when it loads it: every value the\n"
    "panel shows is brought into the panel's range, so a damaged file renders as\n"
    "the program would play it. The generator is switched on for the render\n"
    "whatever the file says. One-shots, impulses and single sweeps end by\n"
    "themselves and leave silence after them.\n"
    "\n"
    "  genrender -s set.def -d 10 --quality high --format s24 -o - | sox - -n stat\n"
    "\n"
    "Exit codes: 0 success, 1 a file could not be read or written, 2 wrong usage.\n";

// The help: its head, a line for each twin tone from the engine's table,
// its tail.
static void PrintUsage() {
  std::fputs(kUsageHead, stdout);
  for (const TwinToneRow& twin : kTwinTones) {
    char text[96];
    DescribeTwinTone(twin, text, sizeof text);
    std::printf("         %-15s%s,\n                        its tones summing to the level\n",
                twin.name, text);
  }
  std::fputs(kUsageTail, stdout);
}

static const char kProgram[] = "genrender";

enum Quality { kLive, kHigh };

// The words of the option values, by their numbers.
static const char* const kQualityNames[] = {"live", "high", nullptr};
static const char* const kFormatNames[] = {"s16", "s24", "f32", nullptr};  // WavSampleFormat
static const char* const kDitherNames[] = {"none", "tpdf", nullptr};
// The sweep laws, by their numbers in Request::sweep.
enum SweepLaw { kSweepLog, kSweepLinearLaw, kSweepSynchronisedLaw, kSweepSteppedLaw };
static const char* const kSweepNames[] = {"log", "linear", "synchronised", "stepped", nullptr};
static const char* const kWaveformNames[] = {"sine", "triangle", "sawtooth", "square",
                                             nullptr};  // GeneratorWaveform

// The index of `word` among `names` (null-terminated), or -1.
static int WordIndex(const char* word, const char* const* names) {
  for (int i = 0; names[i]; ++i) {
    if (!std::strcmp(word, names[i])) return i;
  }
  return -1;
}

struct Request {
  const char* set_path;
  const char* output;  // "-": standard output
  double seconds;
  Quality quality;
  WavSampleFormat format;
  int dither;  // 1 TPDF, 0 none, -1 not given
  int32_t rate;
  const char* signal;  // --signal: a signal's name, or null
  int sweep;           // --sweep: a SweepLaw, or -1 not given
  bool burst_given;    // --burst
  float burst_on, burst_off;
  int burst_hann;
  double frequency_hz;       // --frequency, or 0 not given
  bool alias_free;           // --alias-free
  int waveform;              // --waveform: a GeneratorWaveform, or -1 not given
  int32_t order;             // --order, or 0 not given
  int32_t steps_per_octave;  // --steps-per-octave, or 0 not given
  float dwell_s;             // --dwell, or 0 not given
  const char* level;         // --level, or null
  double level_dbfs;         // what it asks for: level plus gain
  LevelUnit level_unit;      // the unit it was typed in
  double full_scale_volts;   // --full-scale, or 0 not given
};

enum OptionId {
  kOptionSet,
  kOptionOutput,
  kOptionDuration,
  kOptionQuality,
  kOptionFormat,
  kOptionDither,
  kOptionRate,
  kOptionSignal,
  kOptionSweep,
  kOptionBurst,
  kOptionFrequency,
  kOptionAliasFree,
  kOptionWaveform,
  kOptionOrder,
  kOptionStepsPerOctave,
  kOptionDwell,
  kOptionLevel,
  kOptionFullScale,
};

struct OptionName {
  const char* short_name;  // null: long form only
  const char* long_name;
  OptionId id;
  bool is_switch = false;  // takes no value
};

static const OptionName kOptions[] = {
    {"-s", "--set", kOptionSet},
    {"-o", "--output", kOptionOutput},
    {"-d", "--duration", kOptionDuration},
    {nullptr, "--quality", kOptionQuality},
    {nullptr, "--format", kOptionFormat},
    {nullptr, "--dither", kOptionDither},
    {nullptr, "--rate", kOptionRate},
    {nullptr, "--signal", kOptionSignal},
    {nullptr, "--sweep", kOptionSweep},
    {nullptr, "--burst", kOptionBurst},
    {nullptr, "--frequency", kOptionFrequency},
    {nullptr, "--alias-free", kOptionAliasFree, true},
    {nullptr, "--waveform", kOptionWaveform},
    {nullptr, "--order", kOptionOrder},
    {nullptr, "--steps-per-octave", kOptionStepsPerOctave},
    {nullptr, "--dwell", kOptionDwell},
    {nullptr, "--level", kOptionLevel},
    {nullptr, "--full-scale", kOptionFullScale},
};

// The option argv[*i] names, with its value from "--name=VALUE" or from the
// next argument (then *i moves past it). Returns the option's id, or -1 after
// reporting an unknown argument or a missing value.
static int NextOption(int argc, char** argv, int* i, const char** value) {
  const char* arg = argv[*i];
  const char* equals = std::strncmp(arg, "--", 2) == 0 ? std::strchr(arg, '=') : nullptr;
  const size_t name_length = equals ? static_cast<size_t>(equals - arg) : std::strlen(arg);
  for (const OptionName& option : kOptions) {
    const bool is_short = option.short_name && !equals && !std::strcmp(arg, option.short_name);
    const bool is_long = std::strlen(option.long_name) == name_length &&
                         !std::strncmp(arg, option.long_name, name_length);
    if (!is_short && !is_long) continue;
    if (option.is_switch) {
      if (equals) {
        UsageError(kProgram, "%s takes no value", option.long_name);
        return -1;
      }
    } else if (equals) {
      *value = equals + 1;
    } else if (*i + 1 < argc) {
      *i += 1;
      *value = argv[*i];
    } else {
      UsageError(kProgram, "%s needs a value", arg);
      return -1;
    }
    return option.id;
  }
  if (arg[0] == '-' && arg[1] != '\0') {
    UsageError(kProgram, "unknown option '%s'", arg);
  } else {
    UsageError(kProgram, "unexpected argument '%s'", arg);
  }
  return -1;
}

// Reads the command line into `r`. Returns 0 to render, 2 after a usage
// error, 1 when it printed the help (any argument may ask for it).
static int ParseArguments(int argc, char** argv, Request* r) {
  *r = Request{nullptr,    nullptr, 1.0,   kLive, kWavS16, -1,      kDefaultOutputRate,
               nullptr,    -1,      false, 0,     0,       0,       0.0,
               false,      -1,      0,     0,     0.0f,    nullptr, 0.0,
               kLevelDbfs, 0.0};
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      PrintUsage();
      return 1;
    }
  }
  constexpr int kOptionCount = kOptionFullScale + 1;
  bool given[kOptionCount] = {};
  for (int i = 1; i < argc; ++i) {
    const char* value = nullptr;
    const int option = NextOption(argc, argv, &i, &value);
    if (option >= 0 && option < kOptionCount) {
      if (given[option]) {
        for (const OptionName& name : kOptions) {
          if (name.id == option) return UsageError(kProgram, "%s is given twice", name.long_name);
        }
      }
      given[option] = true;
    }
    switch (option) {
      case kOptionSet: r->set_path = value; break;
      case kOptionOutput: r->output = value; break;
      case kOptionDuration: {
        char* end = nullptr;
        r->seconds = std::strtod(value, &end);
        if (end == value || *end != '\0' || !(r->seconds >= 0.001 && r->seconds <= 3600.0)) {
          return UsageError(
              kProgram, "the duration '%s' is not a number of seconds from 0.001 to 3600", value);
        }
        break;
      }
      case kOptionQuality: {
        const int quality = WordIndex(value, kQualityNames);
        if (quality < 0) return UsageError(kProgram, "unknown quality '%s': live or high", value);
        r->quality = static_cast<Quality>(quality);
        break;
      }
      case kOptionFormat: {
        const int format = WordIndex(value, kFormatNames);
        if (format < 0) return UsageError(kProgram, "unknown format '%s': s16, s24 or f32", value);
        r->format = static_cast<WavSampleFormat>(format);
        break;
      }
      case kOptionDither:
        r->dither = WordIndex(value, kDitherNames);
        if (r->dither < 0) return UsageError(kProgram, "unknown dither '%s': tpdf or none", value);
        break;
      case kOptionRate: {
        char* end = nullptr;
        const long rate = std::strtol(value, &end, 10);
        if (end == value || *end != '\0' || !IsOfferedRate(static_cast<int32_t>(rate)) ||
            rate != static_cast<int32_t>(rate)) {
          return UsageError(kProgram, "unknown rate '%s': 44100, 48000, 88200, 96000 or 192000",
                            value);
        }
        r->rate = static_cast<int32_t>(rate);
        break;
      }
      case kOptionSignal: {
        GeneratorSettings scratch = kGeneratorDefaults;
        if (!SelectNamedSignal(value, &scratch)) {
          char names[512];
          ListNamedSignals(names, sizeof names);
          return UsageError(kProgram, "unknown signal '%s': %s", value, names);
        }
        r->signal = value;
        break;
      }
      case kOptionSweep:
        r->sweep = WordIndex(value, kSweepNames);
        if (r->sweep < 0) {
          return UsageError(kProgram, "unknown sweep '%s': linear, log, synchronised or stepped",
                            value);
        }
        break;
      case kOptionOrder:
      case kOptionStepsPerOctave: {
        char* end = nullptr;
        const long n = std::strtol(value, &end, 10);
        const bool order = option == kOptionOrder;
        const long low = order ? kMinSequenceOrder : 1;
        const long high = order ? kMaxSequenceOrder : kMaxStepsPerOctave;
        if (end == value || *end != '\0' || n < low || n > high) {
          return UsageError(kProgram, "%s '%s' is not a whole number from %ld to %ld",
                            order ? "the order" : "the steps per octave", value, low, high);
        }
        (order ? r->order : r->steps_per_octave) = static_cast<int32_t>(n);
        break;
      }
      case kOptionDwell: {
        char* end = nullptr;
        const double dwell = std::strtod(value, &end);
        if (end == value || *end != '\0' || !(dwell >= kMinStepDwell && dwell <= kMaxStepDwell)) {
          return UsageError(kProgram, "the dwell '%s' is not %g to %g seconds", value,
                            static_cast<double>(kMinStepDwell), static_cast<double>(kMaxStepDwell));
        }
        r->dwell_s = static_cast<float>(dwell);
        break;
      }
      case kOptionBurst: {
        char* end = nullptr;
        const double on = std::strtod(value, &end);
        double off = -1.0;  // none given: refused below
        if (end != value && *end == ',') {
          char* off_end = nullptr;
          off = std::strtod(end + 1, &off_end);
          if (off_end == end + 1) off = -1.0;
          end = off_end;
        }
        int hann = 0;
        if (!std::strcmp(end, ",hann")) {
          hann = 1;
          end += 5;
        }
        if (*end != '\0' || !(on >= kBurstMinOnCycles && on <= kBurstMaxOnCycles) ||
            !(off >= 0.0 && off <= kBurstMaxOffCycles)) {
          return UsageError(kProgram,
                            "the burst '%s' is not ON,OFF[,hann]: 0.5 to 100 cycles on, 0 to "
                            "1000 off",
                            value);
        }
        r->burst_given = true;
        r->burst_on = static_cast<float>(on);
        r->burst_off = static_cast<float>(off);
        r->burst_hann = hann;
        break;
      }
      case kOptionFrequency: {
        char* end = nullptr;
        r->frequency_hz = std::strtod(value, &end);
        const KnobParameter& knob = *FindKnobParameter(kFrequencyKnob);
        if (end == value || *end != '\0' ||
            !(r->frequency_hz >= knob.minimum && r->frequency_hz <= knob.maximum)) {
          return UsageError(kProgram, "the frequency '%s' is not %g to %g Hz", value,
                            static_cast<double>(knob.minimum), static_cast<double>(knob.maximum));
        }
        break;
      }
      case kOptionLevel: r->level = value; break;
      case kOptionFullScale:
        if (!ParseFullScale(value, &r->full_scale_volts)) {
          return UsageError(kProgram,
                            "the full scale '%s' is not a number of volts above 0 up to %g", value,
                            kMaxFullScaleVolts);
        }
        break;
      case kOptionAliasFree: r->alias_free = true; break;
      case kOptionWaveform:
        r->waveform = WordIndex(value, kWaveformNames);
        if (r->waveform < 0) {
          return UsageError(kProgram, "unknown waveform '%s': sine, triangle, sawtooth or square",
                            value);
        }
        break;
      default: return 2;
    }
  }
  if (!r->output)
    return UsageError(kProgram, "no output file given: -o FILE, or -o - for standard output");
  if (r->quality == kLive && r->format != kWavS16) {
    return UsageError(kProgram, "--format %s needs --quality high: the live engine renders 16 bits",
                      kFormatNames[r->format]);
  }
  if (r->quality == kLive && r->dither != -1) {
    return UsageError(kProgram, "--dither goes with --quality high: the live engine truncates");
  }
  if (r->format == kWavF32 && r->dither == 1) {
    return UsageError(kProgram, "--dither tpdf: float output is not dithered");
  }
  if (r->signal && (r->sweep >= 0 || r->waveform >= 0)) {
    return UsageError(kProgram, "--signal and --%s: that is the waveform source's",
                      r->sweep >= 0 ? "sweep" : "waveform");
  }
  if (r->level) {
    // Read once every option is in: the calibration may come after it.
    static const char* const kWhy[kLevelParseCount] = {
        "",
        "is not a number with a unit: dB, dBFS, dBu, dBV, V, mV, Vpp or mVpp",
        "has no known unit: dB, dBFS, dBu, dBV, V, mV, Vpp or mVpp",
        "needs --full-scale VOLTS, the volts RMS of a 0 dBFS sine",
        "is not above 0 V",
        "is beyond any level",
    };
    const LevelParse parsed =
        ParseLevel(r->level, kLevelDbfs, r->full_scale_volts, &r->level_dbfs, &r->level_unit);
    if (parsed != kLevelParsed) {
      return UsageError(kProgram, "the level '%s' %s", r->level, kWhy[parsed]);
    }
  }
  if (r->dither == -1) r->dither = r->quality == kHigh && r->format != kWavF32 ? 1 : 0;
  return 0;
}

// Whether standard output is a terminal, where a WAV file does not belong.
static bool StdoutIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(fileno(stdout)) != 0;
#endif
}

static bool IsFolder(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads a current-set file; prints why it cannot be used.
static bool ReadSettings(const char* path, GeneratorSettings* settings) {
  if (IsFolder(path)) {
    std::fprintf(stderr, "genrender: %s is a folder, not a current-set file\n", path);
    return false;
  }
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "genrender: cannot open %s: %s\n", path, std::strerror(errno));
    return false;
  }
  unsigned char bytes[kSetFileBytes];
  const size_t got = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  if (got != sizeof bytes) {
    std::fprintf(stderr, "genrender: %s is too short for a current-set file (%zu of %zu bytes)\n",
                 path, got, sizeof bytes);
    return false;
  }
  if (!AcceptSetFile(bytes, bytes + kSetFileHeaderBytes, settings)) {
    std::fprintf(stderr, "genrender: %s is not a Generator current-set file\n", path);
    return false;
  }
  KeepSettingsShowable(settings);  // what Generator does with a loaded set
  return true;
}

// The reason of the stream write that just failed (errno cleared before it);
// a C library that gives none still fails the render.
static int WriteErrno() { return errno != 0 ? errno : EIO; }

// Writes the header and then every block of the render as it comes. Returns
// 0, or the errno of the write that failed (ENOMEM when the render cannot
// start).
static int WriteRender(const Request& r, const GeneratorSettings& settings, uint32_t frames,
                       FILE* file) {
  // The audio thread's block at this rate, in the widest format.
  const int32_t block_frames = DefaultStreamBuffer(r.rate).frames;
  std::vector<unsigned char> block_bytes(8 * static_cast<size_t>(block_frames));
  unsigned char* bytes = block_bytes.data();
  const size_t header_bytes = MakeWavHeader(r.format, frames, static_cast<uint32_t>(r.rate), bytes);
  errno = 0;
  if (std::fwrite(bytes, 1, header_bytes, file) != header_bytes) return WriteErrno();
  OfflineRender live;
  PreciseRender high;
  const bool began = r.quality == kLive ? BeginOfflineRender(&live, settings, block_frames, r.rate)
                                        : BeginPreciseRender(&high, settings, block_frames, r.rate);
  if (!began) return ENOMEM;
  Dither dither = {kDitherSeed};  // the same request gives the same file
  const size_t frame_bytes = static_cast<size_t>(WavFrameBytes(r.format));
  int error = 0;
  for (uint32_t done = 0; error == 0 && done < frames;) {
    const uint32_t left = frames - done;
    const uint32_t take = left < static_cast<uint32_t>(block_frames) ? left : block_frames;
    if (r.quality == kLive) {
      PackPcm16(NextOfflineBlock(&live), 2 * take, bytes);
    } else {
      const double* block = NextPreciseBlock(&high);
      if (high.bit_pattern) {
        PackBitPattern(block, 2 * take, r.format, bytes);  // the J-test, whatever --dither says
      } else {
        PackSamples(block, 2 * take, r.format, r.dither ? &dither : nullptr, bytes);
      }
    }
    errno = 0;
    if (std::fwrite(bytes, 1, frame_bytes * take, file) != frame_bytes * take) {
      error = WriteErrno();
    }
    done += take;
  }
  if (r.quality == kLive) {
    EndOfflineRender(&live);
  } else {
    EndPreciseRender(&high);
  }
  // A full disk or a closed pipe may show only when the buffered end is written out.
  errno = 0;
  if (error == 0 && std::fflush(file) != 0) error = WriteErrno();
  return error;
}

// Renders into the output file or standard output; prints why it fails and
// removes an incomplete file. A closed pipe fails without a word.
static bool RenderRequest(const Request& r, const GeneratorSettings& settings, uint32_t frames) {
  const bool to_stdout = std::strcmp(r.output, "-") == 0;
  FILE* file = nullptr;
  if (to_stdout) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    file = stdout;
  } else if (IsFolder(r.output)) {
    std::fprintf(stderr, "genrender: cannot write %s: it is a folder\n", r.output);
    return false;
  } else {
    file = std::fopen(r.output, "wb");
    if (!file) {
      std::fprintf(stderr, "genrender: cannot write %s: %s\n", r.output, std::strerror(errno));
      return false;
    }
  }
  int error = WriteRender(r, settings, frames, file);
  errno = 0;
  if (!to_stdout && std::fclose(file) != 0 && error == 0) error = WriteErrno();
  if (error == 0) return true;
  if (error == EPIPE) return false;
  if (error == ENOMEM) {
    std::fprintf(stderr, "genrender: out of memory\n");
  } else {
    std::fprintf(stderr, "genrender: cannot write %s: %s\n",
                 to_stdout ? "to standard output" : r.output, std::strerror(error));
  }
  struct stat info;
  if (!to_stdout && stat(r.output, &info) == 0 && S_ISREG(info.st_mode)) std::remove(r.output);
  return false;
}

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A reader that goes away shows as EPIPE on the next write, which ends the
  // render quietly, instead of killing the process half-way.
  std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
  // Likewise a file size limit: the failed write removes the incomplete file.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  Request request;
  const int parsed = ParseArguments(argc, argv, &request);
  if (parsed == 1) return 0;
  if (parsed != 0) return 2;
  if (!std::strcmp(request.output, "-") && StdoutIsTerminal()) {
    return UsageError(kProgram, "standard output is a terminal: send it to a file or a pipe");
  }

  GeneratorSettings settings = kGeneratorDefaults;
  if (request.set_path && !ReadSettings(request.set_path, &settings)) return 1;
  settings.on = 1;
  if (request.signal) SelectNamedSignal(request.signal, &settings);
  if (request.burst_given) {
    settings.burst_on_cycles = request.burst_on;
    settings.burst_off_cycles = request.burst_off;
    settings.waveform_options &= ~kHannBurst;
    if (request.burst_hann) settings.waveform_options |= kHannBurst;
  }
  if (request.alias_free) settings.waveform_options |= kAliasFree;
  if (request.waveform >= 0) {
    settings.source = kSourceWaveform;
    settings.waveform = request.waveform;
  }
  if (request.frequency_hz > 0.0) settings.frequency_hz = static_cast<float>(request.frequency_hz);
  if (request.sweep >= 0) {
    settings.source = kSourceWaveform;
    settings.sweep_flags |= kSweepOn;
    settings.sweep_flags &= ~(kSweepLinear | kSweepSynchronised | kSweepStepped);
    if (request.sweep == kSweepLinearLaw) settings.sweep_flags |= kSweepLinear;
    if (request.sweep == kSweepSynchronisedLaw) settings.sweep_flags |= kSweepSynchronised;
    if (request.sweep == kSweepSteppedLaw) settings.sweep_flags |= kSweepStepped;
  }
  if (request.order != 0) settings.sequence_order = request.order;
  if (request.steps_per_octave != 0) settings.steps_per_octave = request.steps_per_octave;
  if (request.dwell_s != 0.0f) settings.step_dwell_s = request.dwell_s;
  if (request.level) {
    // The level knob takes what the gain leaves; a request within the rounding
    // its shown limits have (0.05 dB) takes the limit.
    const KnobParameter& knob = kKnobParameters[kLevelReadout];
    const double gain = settings.gain_db;
    const double shown_rounding = 0.05;
    double level = request.level_dbfs - gain;
    if (level < knob.entry_minimum && level >= knob.entry_minimum - shown_rounding) {
      level = knob.entry_minimum;
    } else if (level > knob.entry_maximum && level <= knob.entry_maximum + shown_rounding) {
      level = knob.entry_maximum;
    }
    if (!(level >= knob.entry_minimum && level <= knob.entry_maximum)) {
      char range[128];
      FormatLevelRange(knob.entry_minimum + gain, knob.entry_maximum + gain, request.level_unit,
                       request.full_scale_volts, range, sizeof range);
      return UsageError(kProgram,
                        "the level '%s' is not %s: the level knob's %g to %g dB plus the gain "
                        "of %+.2f dB",
                        request.level, range, knob.entry_minimum, knob.entry_maximum, gain);
    }
    settings.level_db = static_cast<float>(level);
  }

  // At most 3600 s: 691,200,000 frames at 192 kHz, within the 32-bit sizes
  // of 16-bit files; the wider formats fit a shorter time at that rate.
  const uint32_t frames =
      static_cast<uint32_t>(std::llround(request.seconds * static_cast<double>(request.rate)));
  static_assert(3600ull * 192000u * 4u + kMaxWavHeaderBytes <= 0xFFFFFFFFull,
                "an hour of 16-bit audio fits at every rate");
  const uint64_t data_bytes = static_cast<uint64_t>(frames) * WavFrameBytes(request.format);
  if (data_bytes + kMaxWavHeaderBytes > 0xFFFFFFFFull) {
    return UsageError(kProgram, "%g s at %d Hz in %s is beyond the 4 GB a WAV file can hold",
                      request.seconds, static_cast<int>(request.rate),
                      kFormatNames[request.format]);
  }
  return RenderRequest(request, settings, frames) ? 0 : 1;
}
