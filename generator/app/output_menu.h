// The Output menu of the main window: the interface, the playback device,
// the sample rate and the sample width, after "&Latency".
//
// Three interfaces head the menu: "Windows wave (waveOut)", the Part's
// stream and the default; "WASAPI shared (48 kHz)", the endpoint at the rate
// Windows mixes it at, which the rate items then show checked and the
// others greyed; "WASAPI exclusive (bit-exact)", the endpoint at the rate
// and width chosen, nothing converted. Under the wave interface the device
// items are the wave devices (the mapper first); under WASAPI they are the
// render endpoints by their whole names (the default first), read afresh
// each time the menu opens.
//
// A choice stops the audio thread, reopens the stream with the new output
// and format, resets the engine to the new rate and starts again, keeping
// on/off and every panel setting, as a latency choice does. The device's
// open is its answer: an output or format it refuses is named in a message
// with the cause, and the previous choice plays on (the wave mapper at
// 44,100 Hz 16-bit when the previous output is gone too; when nothing
// opens, the window stays and says so). The choices are kept in the
// registry like the latency (output_setting.h).
#pragma once

#include <windows.h>

#include <cstddef>

// Reads the kept choices and selects the output and format they name, after
// the stream is made and before ApplyLatency sizes it and the engine is made
// at the rate. The kept wave device is found by its name, and among devices
// of that name by its position; a WASAPI endpoint by its id. One that is
// gone gives the wave mapper; kept values outside the menu give the
// defaults; an output that no longer opens with what was kept is named in a
// message and the wave mapper plays 44,100 Hz 16-bit. Without kept values
// nothing changes.
void SelectKeptOutput(HWND window);

// Appends "&Output" to the window's menu bar. 1, or 0 when the menu cannot
// be made (the program then plays as it would without one).
int AppendOutputMenu(HWND window);

// Handles a command of the Output menu; false for any other command.
bool OnOutputCommand(HWND window, int command);

// Puts the check marks on the current choices when `menu` is the menu bar.
void CheckOutputMenu(HMENU menu);

// When `popup` is the Output menu, opening: reads the endpoints afresh,
// remakes the device items and names the shared interface's mix rate.
void RefreshOutputMenu(HMENU popup);

// The audio thread found the output gone: the sound stops and the user is
// told ("Driver Communication lost..."); a new ON tries again.
void OnOutputLost(HWND window);

// Writes the choices back when they were read from the registry or made in
// this run.
void SaveOutputChoice();

// Shows the level in the kept unit and the calibration of the output that
// plays (none: dB full scale) on the panel.
void ShowOutputLevels();

// The name of the calibration value of the output that plays
// ("<interface>|<device>", level_setting.h).
void OutputCalibrationName(char* name, size_t size);
