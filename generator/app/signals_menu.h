// The Signals menu of the main window, after "&Output": the signals beyond
// the panel's buttons (white and brown noise, the periodic noises and the
// MLS, the twin tones, the tone burst, the J-test) and the switches of the
// waveform source (the sweep's law, the synchronised and the stepped sweep,
// the alias-free series).
//
// Choosing a signal selects it as a panel button would: the pending settings
// change and the panel shows them, so a noise lights NOISE and a test signal
// lights neither source. "Tone burst...", "Sequence length..." and "Stepped
// sweep..." ask first (signal_dialogs.h); switching the synchronised or the
// stepped sweep on plays the waveform source's sweep. The check marks show
// the current set: the signal it plays, if it is one of the menu's, and the
// switches.
#pragma once

#include <windows.h>

// Appends "&Signals" to the window's menu bar. 1, or 0 when the menu cannot
// be made (the panel's signals still play).
int AppendSignalsMenu(HWND window);

// Handles a command of the Signals menu; false for any other command.
bool OnSignalsCommand(HWND window, int command);

// Puts the check marks on the current set's items when `menu` is the menu bar.
void CheckSignalsMenu(HMENU menu);
