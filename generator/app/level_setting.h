// The level's unit and the outputs' calibrations in the registry, beside the
// output choices: HKEY_CURRENT_USER\Quenby_Audio\Generator "LevelUnit"
// (REG_DWORD, the LevelUnit number; missing or unknown: dBFS), and under its
// subkey "Output levels" one REG_SZ value a calibrated output, named
// "<interface>|<device>" (the OutputInterface number and the device as the
// Output menu names it), holding the volts RMS of a 0 dBFS sine with a
// decimal point ("2.000"). A value that is not such a number is no
// calibration.
#pragma once

#include <cstddef>

#include "generator/panel/level_units.h"

constexpr char kLevelUnitValueName[] = "LevelUnit";
constexpr char kOutputLevelsKey[] = "Quenby_Audio\\Generator\\Output levels";

LevelUnit ReadLevelUnit();
int WriteLevelUnit(LevelUnit unit);  // 1 on success

// "<interface>|<device>": the name of an output's calibration value.
void OutputLevelName(int interface_kind, const char* device, char* out, size_t size);

// The full scale kept for the output named `name`, or 0 when it has none.
double ReadFullScale(const char* name);
int WriteFullScale(const char* name, double volts);  // 1 on success
