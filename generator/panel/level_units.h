// The level in the units of a test bench. Generator's level (level plus gain)
// is the peak of the signal in dB full scale; once the user has calibrated the
// output (the volts RMS of a 0 dBFS sine, "full scale"), it also reads in dBu,
// dBV, volts RMS and volts peak-to-peak. One rule for every signal: its volts
// are those of a sine with the same peak. Without a calibration every unit
// is dBFS. Portable: no Windows API.
//
// The programs run in the "C" locale: the texts use a decimal point.
#pragma once

#include <cstddef>
#include <cstdint>

// The units, by the number the registry stores (DWORD LevelUnit).
enum LevelUnit : int {
  kLevelDbfs = 0,
  kLevelDbu = 1,
  kLevelDbv = 2,
  kLevelVoltsRms = 3,
  kLevelVoltsPeakToPeak = 4,
  kLevelUnitCount
};

// One unit. A dB unit is 20·log10(volts RMS / reference_volts), its reference
// 0 for dBFS (full scale itself); a volt unit is volts RMS / reference_volts.
struct LevelUnitRow {
  LevelUnit unit;
  const char* name;       // in the unit chooser
  const char* suffix;     // after a formatted value
  const char* spellings;  // '|'-separated, a space matching any spaces or none
  bool is_volts;          // spelled with an optional "m" for millivolts too
  double reference_volts;
};

// The units in LevelUnit order: kLevelUnits[unit].
extern const LevelUnitRow kLevelUnits[kLevelUnitCount];

// The stored number as a unit: an unknown one is dBFS.
LevelUnit LevelUnitFromStored(uint32_t stored);

// Whether `full_scale_volts` is a calibration (finite and above 0).
bool IsCalibrated(double full_scale_volts);

// A level in dBFS as a value in `unit`, and back. Uncalibrated, every unit
// is dBFS.
double LevelInUnit(double dbfs, LevelUnit unit, double full_scale_volts);
double LevelFromUnit(double value, LevelUnit unit, double full_scale_volts);

// The level as text in `unit`: "+4.0 dBu", "-10.0 dBV", "-6.0 dBFS" (sign
// always, one decimal); "1.000 V" from 1 V up, else millivolts with three
// significant figures ("775 mV", "0.775 mV"); "2.83 Vpp", "283 Vpp",
// "775 mVpp" (three significant figures). Silence (a level that is not finite, or
// volts below a nanovolt) reads "-inf dBu" in the dB units, "0 mV" and "0 mVpp"
// in the volt ones. Uncalibrated, every unit reads in dBFS. The panel's level
// read-out keeps its own dBFS text (FormatReadout); this is for the other
// units, the messages and the tools.
void FormatLevel(double dbfs, LevelUnit unit, double full_scale_volts, char* out, size_t size);

// "between <minimum> and <maximum>", both formatted by FormatLevel.
void FormatLevelRange(double minimum_dbfs, double maximum_dbfs, LevelUnit unit,
                      double full_scale_volts, char* out, size_t size);

enum LevelParse : int {
  kLevelParsed,
  kLevelNoNumber,          // no number first
  kLevelUnknownUnit,       // a number, then no unit known
  kLevelNeedsCalibration,  // dBu, dBV or volts without a calibration
  kLevelNotPositive,       // 0 volts or fewer
  kLevelNotFinite,         // beyond what a double holds, either way
  kLevelParseCount
};

// Reads a typed level: a number and a unit, spaces around and between them
// optional, the unit in any case: "+4dBu", "-6 dB" and "-6 dBFS" (both dB
// full scale), "-10 dBV", "0.775 V", "775 mV", "0.775 V RMS", "2 Vpp",
// "2 Vp-p", "2000 mVpp". A bare number is in `shown` (dBFS when uncalibrated).
// On kLevelParsed sets *dbfs, and *typed (may be null) to the unit read.
LevelParse ParseLevel(const char* text, LevelUnit shown, double full_scale_volts, double* dbfs,
                      LevelUnit* typed = nullptr);

// Why a typed level is refused, as a sentence for a message box; empty for
// kLevelParsed.
const char* LevelParseMessage(LevelParse result);

// Reads the user's meter reading in volts RMS: "0.632 V", "632 mV", "0.632"
// (bare: volts). Returns false, setting *volts to NaN, when it holds no
// number of volts; a zero, negative or infinite reading reads as it is, for
// CheckCalibration to name.
bool ParseVoltsReading(const char* text, double* volts);

enum CalibrationCheck : int {
  kCalibrationGood,
  kCalibrationNoNumber,  // NaN: what ParseVoltsReading gives for no number
  kCalibrationZero,
  kCalibrationNegative,
  kCalibrationNotFinite,         // the reading, or the full scale it gives
  kCalibrationReadingTooHigh,    // above kMaxFullScaleVolts
  kCalibrationFullScaleTooHigh,  // the full scale it gives is above that
  kCalibrationCheckCount
};

// The highest reading and full scale taken, in volts.
constexpr double kMaxFullScaleVolts = 1000.0;

// The full scale from a meter reading of the sine played at `reference_dbfs`:
// reading / 10^(reference_dbfs / 20). Sets *full_scale_volts on
// kCalibrationGood only.
CalibrationCheck CheckCalibration(double reading_volts, double reference_dbfs,
                                  double* full_scale_volts);

// Why a reading is refused, as a sentence for a message box; empty for
// kCalibrationGood.
const char* CalibrationMessage(CalibrationCheck result);

// The calibration as the registry keeps it: "2.000" (three decimals; four
// significant figures below 1 V). ParseFullScale takes a finite number in
// (0, kMaxFullScaleVolts] and nothing else; otherwise it sets 0 (not
// calibrated) and returns false.
void FormatFullScale(double volts, char* out, size_t size);
bool ParseFullScale(const char* text, double* volts);
