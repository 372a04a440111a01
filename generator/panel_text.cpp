// The read-outs' texts and typed entries: see panel_text.h.
#include "generator/panel_text.h"

#include <cstdio>

void FormatReadout(int id, const GeneratorSettings* s, char* out, size_t size) {
  switch (id) {
    case 0: std::snprintf(out, size, "%0.1f", s->duration_s * 1000.0); break;
    case 1: std::snprintf(out, size, "%0.0f db", s->level_db); break;
    case 2: std::snprintf(out, size, "%0.2f", s->gain_db); break;
    case 3: {
      const double f = s->frequency_hz;
      std::snprintf(out, size, f >= 50.0 ? "%0.0f" : f >= 1.0 ? "%0.2f" : "%0.3f", f);
      break;
    }
    case 4: std::snprintf(out, size, "%0.1f", s->phase_deg); break;
    case 5: std::snprintf(out, size, "%0.2f", s->dc_offset); break;
    case 6: std::snprintf(out, size, "%0.0f", s->sweep_end_hz); break;
    case 7: std::snprintf(out, size, "%0.0f", s->sweep_start_hz); break;
    case 8:
      if (s->sweep_time_s >= 1.0f) {
        std::snprintf(out, size, "%0.1fs", s->sweep_time_s);
      } else {
        std::snprintf(out, size, "%0.0f", s->sweep_time_s * 1000.0);
      }
      break;
    default: out[0] = '\0'; break;
  }
}

void ReadoutEntryText(int id, const GeneratorSettings* s, char* out, size_t size) {
  if (id == 8) {
    std::snprintf(out, size, "%0.1fs", s->sweep_time_s);
  } else {
    FormatReadout(id, s, out, size);
  }
}

static bool Within(double v, double low, double high) { return v >= low && v <= high; }

int ApplyReadoutEntry(int id, double v, GeneratorSettings* s) {
  switch (id) {
    case 0:
      // Typed in milliseconds, as shown: anything up to the one second a
      // one-shot may last (the knob itself stops at 1 ms; typing goes finer).
      if (!Within(v, 0.001, 1000.0)) return 0;
      s->duration_s = static_cast<float>(v * 0.001);
      return 1;
    case 1:
      if (!Within(v, -80.0, 0.0)) return 0;
      s->level_db = static_cast<float>(v);
      return 1;
    case 2:
      if (!Within(v, -24.0, 24.0)) return 0;
      s->gain_db = static_cast<float>(v);
      return 1;
    case 3:
      if (!Within(v, 0.1, 20000.0)) return 0;
      s->frequency_hz = static_cast<float>(v);
      return 1;
    case 4:
      if (!Within(v, -180.0, 180.0)) return 0;
      s->phase_deg = static_cast<float>(v);
      return 1;
    case 5:
      if (!Within(v, -0.99, 0.99)) return 0;
      s->dc_offset = static_cast<float>(v);
      return 1;
    case 6:
      if (!Within(v, 20.0, 20000.0)) return 0;
      s->sweep_end_hz = static_cast<float>(v);
      if (s->sweep_start_hz > s->sweep_end_hz) s->sweep_start_hz = s->sweep_end_hz;
      return 1;
    case 7:
      if (!Within(v, 20.0, 20000.0)) return 0;
      s->sweep_start_hz = static_cast<float>(v);
      if (s->sweep_end_hz < s->sweep_start_hz) s->sweep_end_hz = s->sweep_start_hz;
      return 1;
    case 8:
      if (!Within(v, 0.1, 100.0)) return 0;
      s->sweep_time_s = static_cast<float>(v);
      return 1;
    default: return 0;
  }
}
