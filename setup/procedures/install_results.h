// The installer's result codes, each named once, with the meaning the run's
// log and the README give it. A hidden run ends with its result as the exit
// code (a shell sees it modulo 256).
#pragma once

constexpr int kResultSucceeded = 0;
// The install package is missing or damaged (every entry is checked before
// anything is written); as the program's exit code also: another installer
// runs, or the start-up failed.
constexpr int kResultPackageDamaged = -1;
constexpr int kResultNoProgramFiles = -2;  // the Program Files folder can't be found
constexpr int kResultProductFolderRefused =
    -3;                                      // can't be made, a link, or not the administrators'
constexpr int kResultFilesNotWritten = -10;  // or the installer's own file can't be read
constexpr int kResultUninstallEntryNotWritten = -11;  // the product is in place
constexpr int kResultRestartFirst = -21;  // the driver setup asked for a restart (exit code 1)
// The results of a driver setup program that did not run: no process handle
// came back, or it could not be started (for the removal also: the product
// folder was refused, or the program could not be written again).
constexpr int kDriverSetupNoProcess = -604;
constexpr int kDriverSetupNotStarted = -605;
// A hidden run with neither "-i" nor "-u": nothing to do.
constexpr int kResultNothingToDo = 2;

// The meaning of `code` as one line of text ("unknown result" for a code
// the installer never gives).
const char* ResultMeaning(int code);
