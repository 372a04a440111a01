// The generator engine: the signal source of Generator.
//
// The engine turns a GeneratorSettings record into blocks of 16-bit PCM
// (mono, or interleaved stereo left then right) mixed into a caller's buffer.
// The user-interface thread edits the pending settings with a read-modify-write
// cycle (GetGeneratorSettings, change one field, SetGeneratorSettings); the
// audio thread calls RenderGenerator once per output buffer, which copies the
// pending record to the active one at the start of the block when it changed.
//
// The engine is reached through a handle slot (a pointer variable). Release
// while a render runs is deferred: the render that finds the request destroys
// the engine and clears the slot. No platform service is used but a mutex.
#pragma once

#include <cstddef>
#include <cstdint>

// The 46-word, 184-byte little-endian parameter record, byte for byte the body
// of the current-set file. Reserved words are carried along, never read.
struct GeneratorSettings {
  int32_t reserved_0_8[9];
  int32_t on;                // 0 off, non-zero on
  int32_t one_shot;          // 0 continuous, non-zero timed
  float duration_s;          // length of a one-shot
  int32_t mix_input;         // 0 replace the buffer content, non-zero add to it
  float level_db;            // dB
  float gain_db;             // dB, added to level_db
  int32_t source;            // GeneratorSource
  int32_t noise_type;        // GeneratorNoiseType
  float frequency_hz;        //
  float phase_deg;           // right channel relative to left
  float dc_offset;           // fraction of full scale
  int32_t sweep_flags;       // kSweepOn | kSweepDownward | kSweepBackAndForth
  float sweep_start_hz;      // lower sweep frequency (the higher of the two
  float sweep_end_hz;        // upper sweep frequency  words is taken as the upper)
  float sweep_time_s;        // seconds for one sweep
  int32_t reserved_24;       //
  float pan;                 // -1 left only … 0 … +1 right only
  int32_t waveform;          // GeneratorWaveform
  int32_t gate;              // 0 off, 1 gated
  float gate_on_s;           // seconds of sound per gate cycle
  float gate_off_s;          // seconds of pause per gate cycle
  int32_t test_signal;       // GeneratorTestSignal, with source kSourceTestSignal
  int32_t waveform_options;  // GeneratorWaveformOptions; 0 in every set written before
  float burst_on_cycles;     // the tone burst's cycles of sound (0 before: 0.5 plays)
  float burst_off_cycles;    // the tone burst's cycles of silence
  int32_t sequence_order;    // the periodic noises' and the MLS's order N (0 before: 16 plays)
  int32_t steps_per_octave;  // the stepped sweep's steps an octave (0 before: 3 play)
  float step_dwell_s;        // seconds each step of the stepped sweep holds (0 before: 1 s)
  int32_t reserved_37_45[9];
};

static_assert(sizeof(GeneratorSettings) == 184, "settings record is 46 words");
static_assert(offsetof(GeneratorSettings, on) == 36, "word 9");
static_assert(offsetof(GeneratorSettings, one_shot) == 40, "word 10");
static_assert(offsetof(GeneratorSettings, duration_s) == 44, "word 11");
static_assert(offsetof(GeneratorSettings, mix_input) == 48, "word 12");
static_assert(offsetof(GeneratorSettings, level_db) == 52, "word 13");
static_assert(offsetof(GeneratorSettings, gain_db) == 56, "word 14");
static_assert(offsetof(GeneratorSettings, source) == 60, "word 15");
static_assert(offsetof(GeneratorSettings, noise_type) == 64, "word 16");
static_assert(offsetof(GeneratorSettings, frequency_hz) == 68, "word 17");
static_assert(offsetof(GeneratorSettings, phase_deg) == 72, "word 18");
static_assert(offsetof(GeneratorSettings, dc_offset) == 76, "word 19");
static_assert(offsetof(GeneratorSettings, sweep_flags) == 80, "word 20");
static_assert(offsetof(GeneratorSettings, sweep_start_hz) == 84, "word 21");
static_assert(offsetof(GeneratorSettings, sweep_end_hz) == 88, "word 22");
static_assert(offsetof(GeneratorSettings, sweep_time_s) == 92, "word 23");
static_assert(offsetof(GeneratorSettings, pan) == 100, "word 25");
static_assert(offsetof(GeneratorSettings, waveform) == 104, "word 26");
static_assert(offsetof(GeneratorSettings, gate) == 108, "word 27");
static_assert(offsetof(GeneratorSettings, gate_on_s) == 112, "word 28");
static_assert(offsetof(GeneratorSettings, gate_off_s) == 116, "word 29");
static_assert(offsetof(GeneratorSettings, test_signal) == 120, "word 30");
static_assert(offsetof(GeneratorSettings, waveform_options) == 124, "word 31");
static_assert(offsetof(GeneratorSettings, burst_on_cycles) == 128, "word 32");
static_assert(offsetof(GeneratorSettings, burst_off_cycles) == 132, "word 33");
static_assert(offsetof(GeneratorSettings, sequence_order) == 136, "word 34");
static_assert(offsetof(GeneratorSettings, steps_per_octave) == 140, "word 35");
static_assert(offsetof(GeneratorSettings, step_dwell_s) == 144, "word 36");

enum GeneratorSource : int32_t { kSourceWaveform = 0, kSourceNoise = 1, kSourceTestSignal = 2 };

// The test signals of source kSourceTestSignal, by word 30; any other
// number plays silence.
enum GeneratorTestSignal : int32_t {
  kTestSmpte = 0,  // 60 Hz + 7 kHz, amplitudes 4:1
  kTestDin = 1,    // 250 Hz + 8 kHz, 4:1
  kTestCcif = 2,   // 19 kHz + 20 kHz, 1:1
  kTestBurst = 3,  // bursts of the sine at frequency_hz: burst_on_cycles, then burst_off_cycles
                   // of silence
  kTestJTest = 4,  // the jitter test's bit pattern (test_signals.h), at no level but its own
};

// waveform_options (word 31).
enum GeneratorWaveformOptions : int32_t {
  kAliasFree = 1 << 0,  // triangle, sawtooth and square hold no harmonic above half the rate
  kHannBurst = 1 << 1,  // the tone burst is Hann-windowed over each burst
};

// The tone burst's cycles, as the engine plays them and a loaded set keeps
// them: on from 0.5 to 100 (less plays 0.5), off from 0 to 1000.
constexpr float kBurstMinOnCycles = 0.5f, kBurstMaxOnCycles = 100.0f;
constexpr float kBurstMaxOffCycles = 1000.0f;

enum GeneratorNoiseType : int32_t {
  kNoiseImpulse = 0,
  kNoisePinkMono = 1,
  kNoisePinkAntiPhase = 2,
  kNoisePinkStereo = 3,
  kNoiseMultiTone = 4,
  kNoiseWhite = 5,  // flat spectrum, the pink noise's RMS (random_noise.h)
  kNoiseBrown = 6,  // 6 dB an octave down from 20 Hz, the same RMS
  // Noises that repeat exactly every 2^N samples (N: sequence_order), their
  // spectrum set bin by bin, at the white noise's RMS (periodic_noise.h).
  kNoisePeriodicWhite = 7,
  kNoisePeriodicPink = 8,  // 3 dB an octave down, 10 Hz to 22 kHz
  kNoiseMls = 9,           // the maximum-length sequence of order N: 2^N - 1 samples of ±1
};

// The order of the periodic noises and the MLS (word 34), and what a set
// plays for a word outside it: 0 plays 16, others their nearest order.
constexpr int32_t kMinSequenceOrder = 12, kMaxSequenceOrder = 20;
constexpr int32_t kDefaultSequenceOrder = 16;
constexpr int32_t SequenceOrderOf(int32_t word) {
  return word == 0                  ? kDefaultSequenceOrder
         : word < kMinSequenceOrder ? kMinSequenceOrder
         : word > kMaxSequenceOrder ? kMaxSequenceOrder
                                    : word;
}

// The stepped sweep's steps an octave (word 35) and dwell (word 36), and
// what a set plays for a word outside them: 0 plays the default, others
// their nearest bound (a dwell that is no number, the default).
constexpr int32_t kDefaultStepsPerOctave = 3, kMaxStepsPerOctave = 48;
constexpr float kDefaultStepDwell = 1.0f, kMinStepDwell = 0.05f, kMaxStepDwell = 60.0f;
constexpr int32_t StepsPerOctaveOf(int32_t word) {
  return word == 0                   ? kDefaultStepsPerOctave
         : word < 1                  ? 1
         : word > kMaxStepsPerOctave ? kMaxStepsPerOctave
                                     : word;
}
constexpr float StepDwellOf(float word) {
  return !(word == word) || word == 0.0f ? kDefaultStepDwell  // NaN too
         : word < kMinStepDwell          ? kMinStepDwell
         : word > kMaxStepDwell          ? kMaxStepDwell
                                         : word;
}

enum GeneratorWaveform : int32_t {
  kWaveSine = 0,
  kWaveTriangle = 1,
  kWaveSawtooth = 2,
  kWaveSquare = 3,
};

enum GeneratorSweepFlags : int32_t {
  kSweepOn = 1 << 0,
  kSweepLinear = 1 << 1,  // frequency linear in time; without it logarithmic
  // The exponential sweep whose harmonics line up in phase (Novak et al.,
  // "Synchronized swept-sine", JAES 2015), upward only; ignored with the
  // linear bit. The back-and-forth bit starts it again at its end.
  kSweepSynchronised = 1 << 2,
  // Sine steps f1·2^(k/n), n = steps_per_octave, each held step_dwell_s;
  // with any sweep, and before the synchronised bit.
  kSweepStepped = 1 << 3,
  kSweepDownward = 1 << 8,
  kSweepBackAndForth = 1 << 9,
};

// The twin tones, a row each: the test signal, its name in genrender and the
// engine, the standard's name, and the two tones' frequencies and
// amplitudes, which sum to 1 (at 0 dB the peaks reach full scale).
struct TwinToneRow {
  GeneratorTestSignal signal;
  const char* name;
  const char* standard;
  double low_hz, high_hz;
  double low_amplitude, high_amplitude;
};
constexpr TwinToneRow kTwinTones[] = {
    {kTestSmpte, "smpte", "SMPTE", 60.0, 7000.0, 0.8, 0.2},
    {kTestDin, "din", "DIN", 250.0, 8000.0, 0.8, 0.2},
    {kTestCcif, "ccif", "CCIF", 19000.0, 20000.0, 0.5, 0.5},
};

// A twin tone as the user reads it, "SMPTE twin tone (60 Hz + 7 kHz, 4:1)"
// (no ratio when the tones are equal), into `out` (`size` bytes).
void DescribeTwinTone(const TwinToneRow& row, char* out, size_t size);

// The time a synchronised sweep of these settings plays, L·ln(f2/f1), in
// seconds; 0 when the band or the time makes none.
double SynchronisedSweepSeconds(const GeneratorSettings& settings);

// The defaults record built into the engine: 1 kHz sine at -10 dB, off.
extern const GeneratorSettings kGeneratorDefaults;

struct GeneratorEngine;  // defined in engine_state.h, private to the engine

// Allocates a zero-filled engine holding the defaults; null when out of memory.
// No wave tables yet: SetGeneratorFormat must succeed before the first render.
// The signals that a source and a number select, by the names genrender and
// the program use ("impulse", "pink", "pink-antiphase", "pink-stereo",
// "multitone", "white", "brown", "periodic-white", "periodic-pink", "mls",
// "smpte", "din", "ccif", "burst", "jtest"): sets the source and its number
// in `settings` (1), or changes nothing when no signal has the name (0).
int SelectNamedSignal(const char* name, GeneratorSettings* settings);
// Those names, each after ", " but the first, into `out` (`size` bytes).
void ListNamedSignals(char* out, size_t size);

GeneratorEngine* CreateGenerator();

// Sets the sample rate and channel count (1 mono, 2 or more stereo) and builds
// the wave tables. Returns 1, or 0 when a table cannot be allocated (then no
// tables are kept). Call only while no render can run.
int SetGeneratorFormat(GeneratorEngine** slot, float sample_rate, int channel_count);

// Copies the pending settings out. Any thread.
void GetGeneratorSettings(GeneratorEngine* engine, GeneratorSettings* out);

// Replaces the pending settings; they apply at the start of the next block.
void SetGeneratorSettings(GeneratorEngine* engine, const GeneratorSettings* in);

// Replaces the pending settings with the defaults snapshot taken at creation.
void RestoreGeneratorDefaults(GeneratorEngine* engine);

// Returns the engine to idle with levels 0 (the next block ramps up from 0)
// and restarts the multi-tone oscillators. Only while no render can run.
void ResetGenerator(GeneratorEngine** slot);

// The busy flag (1 while a render runs); 0 when the slot is empty.
int IsGeneratorBusy(GeneratorEngine** slot);

// 1 when a switch-on is pending or the signal is still sounding (including its
// fade-out); 0 once the generator has stopped, also when it stopped by itself.
int IsGeneratorActive(GeneratorEngine* engine);

// Mixes one block into `buffer` (size in bytes, 16-bit samples). Audio thread.
// Does nothing on an empty slot, on a block below one frame, or while another
// render of the same engine is in progress. May destroy the engine and clear
// the slot when a release was deferred to it.
void RenderGenerator(GeneratorEngine** slot, int16_t* buffer, uint32_t size_bytes);

// Destroys the engine now, or marks it for destruction by the render in
// progress. The slot is cleared when the engine is gone.
void ReleaseGenerator(GeneratorEngine** slot);

// Frees the tables and the engine and clears the slot. Returns 0.
int DestroyGenerator(GeneratorEngine** slot);
