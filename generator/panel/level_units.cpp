// The level in the units of a test bench: see level_units.h.
#include "generator/panel/level_units.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

// clang-format off
constexpr LevelUnitRow kLevelUnits[kLevelUnitCount] = {
    {kLevelDbfs, "dBFS", "dBFS", "dB FS|dB", false, 0.0},
    {kLevelDbu, "dBu", "dBu", "dBu", false, 0.77459666924148338},  // sqrt(0.6) V
    {kLevelDbv, "dBV", "dBV", "dBV", false, 1.0},
    {kLevelVoltsRms, "V RMS", "V", "V|V RMS", true, 1.0},
    {kLevelVoltsPeakToPeak, "V peak-to-peak", "Vpp", "V pp|V p-p|V peak-to-peak", true,
     0.35355339059327373},  // a sine's volts RMS per volt peak-to-peak, 1 / (2·sqrt(2))
};
// clang-format on

// The registry's numbers index the table.
static constexpr bool LevelUnitsInOrder() {
  for (int i = 0; i < kLevelUnitCount; ++i) {
    if (kLevelUnits[i].unit != i) return false;
  }
  return true;
}
static_assert(LevelUnitsInOrder(), "kLevelUnits is in LevelUnit order");

LevelUnit LevelUnitFromStored(uint32_t stored) {
  return stored < kLevelUnitCount ? static_cast<LevelUnit>(stored) : kLevelDbfs;
}

bool IsCalibrated(double full_scale_volts) {
  return std::isfinite(full_scale_volts) && full_scale_volts > 0.0;
}

// The row a level is shown in: dBFS uncalibrated or for an unknown unit.
static const LevelUnitRow& ShownRow(LevelUnit unit, double full_scale_volts) {
  const bool known = unit >= 0 && unit < kLevelUnitCount;
  return kLevelUnits[known && IsCalibrated(full_scale_volts) ? unit : kLevelDbfs];
}

double LevelInUnit(double dbfs, LevelUnit unit, double full_scale_volts) {
  const LevelUnitRow& row = ShownRow(unit, full_scale_volts);
  if (row.unit == kLevelDbfs) return dbfs;
  if (row.is_volts) return full_scale_volts * std::pow(10.0, dbfs / 20.0) / row.reference_volts;
  return dbfs + 20.0 * std::log10(full_scale_volts / row.reference_volts);
}

double LevelFromUnit(double value, LevelUnit unit, double full_scale_volts) {
  const LevelUnitRow& row = ShownRow(unit, full_scale_volts);
  if (row.unit == kLevelDbfs) return value;
  if (row.is_volts) return 20.0 * std::log10(value * row.reference_volts / full_scale_volts);
  return value - 20.0 * std::log10(full_scale_volts / row.reference_volts);
}

// ---------------------------------------------------------------------------
// Texts.

// The decimals that show x (finite, above 0) with three significant figures,
// counting a rounding that carries into the next decade (999.6 shows "1000").
static int ThreeFigureDecimals(double x) {
  int decimals = 2 - static_cast<int>(std::floor(std::log10(x)));
  if (decimals > 0 && std::round(x * std::pow(10.0, decimals)) >= 1000.0) --decimals;
  return decimals > 0 ? decimals : 0;
}

// Volts below this read as silence: no text of hundreds of zeros.
constexpr double kSilentVolts = 1e-9;

void FormatLevel(double dbfs, LevelUnit unit, double full_scale_volts, char* out, size_t size) {
  const LevelUnitRow& row = ShownRow(unit, full_scale_volts);
  if (!row.is_volts) {
    if (!std::isfinite(dbfs)) {
      std::snprintf(out, size, "-inf %s", row.suffix);
      return;
    }
    double value = LevelInUnit(dbfs, row.unit, full_scale_volts);
    if (std::fabs(value) < 0.05) value = 0.0;  // "+0.0", never "-0.0"
    std::snprintf(out, size, "%+.1f %s", value, row.suffix);
    return;
  }
  const double volts = std::isfinite(dbfs) ? LevelInUnit(dbfs, row.unit, full_scale_volts) : 0.0;
  if (!(volts >= kSilentVolts)) {
    std::snprintf(out, size, "0 m%s", row.suffix);
  } else if (!std::isfinite(volts)) {
    std::snprintf(out, size, "%f %s", volts, row.suffix);  // "inf V"
  } else if (row.unit == kLevelVoltsRms && std::round(volts * 1000.0) >= 1000.0) {
    std::snprintf(out, size, "%.3f %s", volts, row.suffix);
  } else if (row.unit != kLevelVoltsRms && ThreeFigureDecimals(volts) <= 2) {
    std::snprintf(out, size, "%.*f %s", ThreeFigureDecimals(volts), volts, row.suffix);
  } else {
    const double millivolts = volts * 1000.0;
    std::snprintf(out, size, "%.*f m%s", ThreeFigureDecimals(millivolts), millivolts, row.suffix);
  }
}

void FormatLevelRange(double minimum_dbfs, double maximum_dbfs, LevelUnit unit,
                      double full_scale_volts, char* out, size_t size) {
  char low[64], high[64];
  FormatLevel(minimum_dbfs, unit, full_scale_volts, low, sizeof low);
  FormatLevel(maximum_dbfs, unit, full_scale_volts, high, sizeof high);
  std::snprintf(out, size, "between %s and %s", low, high);
}

// ---------------------------------------------------------------------------
// Typed levels. Only ASCII is compared, without the locale's tables.

static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

static const char* SkipSpaces(const char* p) {
  while (IsSpace(*p)) ++p;
  return p;
}

// The end of the decimal number at p, [sign] digits [. digits] [e [sign]
// digits], or p when none starts there. Never "inf", "nan" or hexadecimal,
// which strtod would take.
static const char* ScanNumber(const char* p) {
  const char* q = p;
  if (*q == '+' || *q == '-') ++q;
  bool digits = false;
  for (; IsDigit(*q); ++q) digits = true;
  if (*q == '.') {
    for (++q; IsDigit(*q); ++q) digits = true;
  }
  if (!digits) return p;
  if (*q == 'e' || *q == 'E') {
    const char* e = q + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) {
      while (IsDigit(*e)) ++e;
      q = e;
    }
  }
  return q;
}

// A number and the unit text after it, spaces trimmed (length 0: none).
static LevelParse ReadNumber(const char* text, double* value, const char** unit, size_t* length) {
  if (!text) return kLevelNoNumber;
  const char* p = SkipSpaces(text);
  const char* end = ScanNumber(p);
  if (end == p) return kLevelNoNumber;
  char* parsed = nullptr;
  *value = std::strtod(p, &parsed);
  if (parsed != end) return kLevelUnknownUnit;  // "0x1" goes on as hexadecimal
  *unit = SkipSpaces(end);
  *length = std::strlen(*unit);
  while (*length > 0 && IsSpace((*unit)[*length - 1])) --*length;
  return kLevelParsed;
}

// Whether text[0, length) is the spelling [spelling, spelling_end) in any
// case, a space in the spelling matching any spaces or none.
static bool Spelled(const char* text, size_t length, const char* spelling,
                    const char* spelling_end) {
  size_t i = 0;
  for (const char* s = spelling; s < spelling_end; ++s) {
    if (*s == ' ') {
      while (i < length && IsSpace(text[i])) ++i;
    } else if (i < length && Lower(text[i]) == Lower(*s)) {
      ++i;
    } else {
      return false;
    }
  }
  return i == length;
}

// Whether text[0, length) spells `row`'s unit; *scale is 0.001 for
// millivolts, else 1.
static bool SpellsUnit(const char* text, size_t length, const LevelUnitRow& row, double* scale) {
  for (int milli = 0; milli <= (row.is_volts ? 1 : 0); ++milli) {
    if (milli && (length == 0 || Lower(text[0]) != 'm')) break;
    for (const char* s = row.spellings; *s;) {
      const char* bar = std::strchr(s, '|');
      const char* end = bar ? bar : s + std::strlen(s);
      if (Spelled(text + milli, length - milli, s, end)) {
        *scale = milli ? 0.001 : 1.0;
        return true;
      }
      s = bar ? bar + 1 : end;
    }
  }
  return false;
}

LevelParse ParseLevel(const char* text, LevelUnit shown, double full_scale_volts, double* dbfs,
                      LevelUnit* typed) {
  double value = 0.0, scale = 1.0;
  const char* unit_text = nullptr;
  size_t length = 0;
  const LevelParse read = ReadNumber(text, &value, &unit_text, &length);
  if (read != kLevelParsed) return read;
  const LevelUnitRow* row = &ShownRow(shown, full_scale_volts);
  if (length > 0) {
    row = nullptr;
    for (const LevelUnitRow& r : kLevelUnits) {
      if (SpellsUnit(unit_text, length, r, &scale)) {
        row = &r;
        break;
      }
    }
    if (!row) return kLevelUnknownUnit;
  }
  if (row->unit != kLevelDbfs && !IsCalibrated(full_scale_volts)) return kLevelNeedsCalibration;
  if (!std::isfinite(value)) return kLevelNotFinite;
  if (row->is_volts && !(value > 0.0)) return kLevelNotPositive;
  const double level = LevelFromUnit(value * scale, row->unit, full_scale_volts);
  if (!std::isfinite(level)) return kLevelNotFinite;  // volts too few to take a logarithm of
  *dbfs = level;
  if (typed) *typed = row->unit;
  return kLevelParsed;
}

const char* LevelParseMessage(LevelParse result) {
  static const char* const kMessages[kLevelParseCount] = {
      "",
      "Type a number, with a unit such as dBFS, dBu, dBV, V, mV or Vpp.",
      "The unit must be dB, dBFS, dBu, dBV, V, mV, Vpp or mVpp.",
      "Calibrate the output first: dBu, dBV and volts need its full scale.",
      "A level in volts must be above 0 V.",
      "The number is too large.",
  };
  return result >= 0 && result < kLevelParseCount ? kMessages[result] : "";
}

// ---------------------------------------------------------------------------
// Calibration.

bool ParseVoltsReading(const char* text, double* volts) {
  *volts = std::numeric_limits<double>::quiet_NaN();
  double value = 0.0, scale = 1.0;
  const char* unit_text = nullptr;
  size_t length = 0;
  if (ReadNumber(text, &value, &unit_text, &length) != kLevelParsed) return false;
  if (length > 0 && !SpellsUnit(unit_text, length, kLevelUnits[kLevelVoltsRms], &scale)) {
    return false;
  }
  *volts = value * scale;
  return true;
}

CalibrationCheck CheckCalibration(double reading_volts, double reference_dbfs,
                                  double* full_scale_volts) {
  if (std::isnan(reading_volts)) return kCalibrationNoNumber;
  if (!std::isfinite(reading_volts)) return kCalibrationNotFinite;
  if (reading_volts == 0.0) return kCalibrationZero;
  if (reading_volts < 0.0) return kCalibrationNegative;
  if (reading_volts > kMaxFullScaleVolts) return kCalibrationReadingTooHigh;
  const double full_scale = reading_volts / std::pow(10.0, reference_dbfs / 20.0);
  if (!IsCalibrated(full_scale)) return kCalibrationNotFinite;
  if (full_scale > kMaxFullScaleVolts) return kCalibrationFullScaleTooHigh;
  *full_scale_volts = full_scale;
  return kCalibrationGood;
}

const char* CalibrationMessage(CalibrationCheck result) {
  static const char* const kMessages[kCalibrationCheckCount] = {
      "",
      "Type the meter's reading in volts, such as 0.632 V or 632 mV.",
      "The reading must be above 0 V.",
      "The reading must be above 0 V, not negative.",
      "The reading must be a number of volts a meter shows.",
      "The reading must be 1000 V or less.",
      "That reading makes full scale more than 1000 V.",
  };
  return result >= 0 && result < kCalibrationCheckCount ? kMessages[result] : "";
}

void FormatFullScale(double volts, char* out, size_t size) {
  if (!IsCalibrated(volts)) {
    std::snprintf(out, size, "0.000");
    return;
  }
  // Four significant figures below 1 V, down to the nanovolts.
  int decimals = volts >= 1.0 ? 3 : 3 - static_cast<int>(std::floor(std::log10(volts)));
  if (decimals > 12) decimals = 12;
  std::snprintf(out, size, "%.*f", decimals, volts);
}

bool ParseFullScale(const char* text, double* volts) {
  double value = 0.0;
  const char* unit_text = nullptr;
  size_t length = 0;
  *volts = 0.0;
  if (ReadNumber(text, &value, &unit_text, &length) != kLevelParsed || length > 0) return false;
  if (!(value > 0.0 && value <= kMaxFullScaleVolts)) return false;
  *volts = value;
  return true;
}
