// The current-set file as a user's disk may hold it: read, brought into the
// panel's ranges by the rule Generator and genrender share, and played. A
// taken set is finite and inside every range the panel shows; the engine
// renders it without fault, and the precise synth renders finite values.
#include <cmath>

#include "generator/engine/engine.h"
#include "generator/engine/precise_synth.h"
#include "generator/files/set_file_format.h"
#include "generator/panel/panel_parameters.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kSetFileBytes) return 0;
  GeneratorSettings s;
  if (!AcceptSetFile(data, data + kSetFileHeaderBytes, &s)) return 0;
  FUZZ_CHECK(s.on == 0);
  KeepSettingsShowable(&s);
  for (const KnobParameter& k : kKnobParameters) {
    const float v = s.*k.field;
    FUZZ_CHECK(std::isfinite(v) && v >= k.minimum && v <= k.maximum);
  }
  FUZZ_CHECK(s.pan >= -1.0f && s.pan <= 1.0f);
  FUZZ_CHECK(s.gate_on_s >= kGateTimeMinimum && s.gate_on_s <= kGateTimeMaximum);
  FUZZ_CHECK(s.gate_off_s >= kGateTimeMinimum && s.gate_off_s <= kGateTimeMaximum);
  FUZZ_CHECK(s.one_shot == 0 || s.one_shot == 1);
  FUZZ_CHECK(s.gate == 0 || s.gate == 1);
  FUZZ_CHECK(s.sweep_start_hz <= s.sweep_end_hz);
  // Played by one engine, as the program's engine takes each loaded set (a
  // new engine builds its wave tables, which would take most of the time).
  static GeneratorEngine* engine = [] {
    GeneratorEngine* e = CreateGenerator();
    SetGeneratorFormat(&e, 44100.0f, 2);
    return e;
  }();
  s.on = 1;
  SetGeneratorSettings(engine, &s);
  ResetGenerator(&engine);
  int16_t pcm[2 * 64] = {};
  RenderGenerator(&engine, pcm, sizeof pcm);
  // And by the precise synth, as the program's high-precision widths play it.
  static PreciseVoice* voice = CreatePreciseVoice();
  RestartPreciseVoice(voice);
  ResetGenerator(&engine);
  double exact[2 * 64];
  RenderPreciseGenerator(&engine, voice, exact, 64);
  for (double x : exact) FUZZ_CHECK(std::isfinite(x));
  return 0;
}
