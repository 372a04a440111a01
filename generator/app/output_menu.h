// The Output menu of the main window: the playback device, the sample rate
// and the sample width, after "&Latency".
//
// A choice stops the audio thread, reopens the stream with the new device
// and format, resets the engine to the new rate and starts again, keeping
// on/off and every panel setting, as a latency choice does. The device's
// open is its answer: a device or format it refuses is named in a message
// and the previous choice plays on (the mapper at 44,100 Hz 16-bit when the
// previous device is gone too; when nothing opens, the window stays and
// says so). The choices are kept in the registry like the latency
// (output_setting.h).
#pragma once

#include <windows.h>

// Reads the kept choices and selects the device and format they name, after
// the stream is made and before ApplyLatency sizes it and the engine is made
// at the rate. The kept device is found by its name, and among devices of
// that name by its position; one that is gone gives the wave mapper; kept values
// outside the menu give the defaults; a device that no longer opens with
// what was kept is named in a message and the wave mapper plays 44,100 Hz
// 16-bit. Without kept values nothing changes.
void SelectKeptOutput(HWND window);

// Appends "&Output" to the window's menu bar. 1, or 0 when the menu cannot
// be made (the program then plays as it would without one).
int AppendOutputMenu(HWND window);

// Handles a command of the Output menu; false for any other command.
bool OnOutputCommand(HWND window, int command);

// Puts the check marks on the current choices when `menu` is the menu bar.
void CheckOutputMenu(HMENU menu);

// Writes the choices back when they were read from the registry or made in
// this run.
void SaveOutputChoice();
