// What every stand-in program shares: the run log and the chosen exit code.
//
// Each program appends one line per run to the log: its own file name, its
// command line and its working folder, separated by tabs. The log is
// "standin.log" in the program's own folder, or the file that the environment
// variable QX_STANDIN_LOG names (so that a test can keep reading it after the
// product folder is gone). Tests choose exit codes through environment
// variables, which the installer's child processes inherit.
#pragma once

// Appends "<program>\t<command line>\t<working folder>\r\n" to the log.
// Failures are ignored: the log is a test aid, never a reason to fail.
void AppendStandInLog();

// The integer in environment variable `name`, or `fallback` when it is unset
// or not a number.
int ChosenExitCode(const char* name, int fallback);
