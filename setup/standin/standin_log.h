// What every stand-in program shares: the run log and the chosen exit code.
//
// Each program appends one line per run to the log: its own file name, its
// command line, its working folder and its TEMP and PATH variables,
// separated by tabs. The log is
// "standin.log" in the program's own folder.
//
// Stand-ins built for the tests' packages (QX_STANDIN_TEST_HOOKS, set by the
// test trees only) also take two hooks, from the machine's registry under
// kStandInHooksKey (64-bit view), which only administrators can write and
// which reaches every program whatever environment the installer gives it:
// QX_STANDIN_LOG names another log file (so that a test can keep reading it
// after the product folder is gone) and QX_STANDIN_SETUP_EXIT the driver
// setup program's exit code. The stand-ins that ship read neither: they are
// started as administrator, and a hook anyone could set would be a way in.
#pragma once

// HKEY_LOCAL_MACHINE\<this>, REG_SZ values named after the hooks.
constexpr char kStandInHooksKey[] = "Software\\QX stand-in test hooks";

// Appends "<program>\t<command line>\t<working folder>\t<TEMP>\t<PATH>\r\n"
// to the log.
// Failures are ignored: the log is a test aid, never a reason to fail.
void AppendStandInLog();

// The driver setup program's exit code: the integer in the test hook
// QX_STANDIN_SETUP_EXIT, or 0 when it is unset, not a number, or the program
// carries no hooks (the names of the hooks are then nowhere in it).
int ChosenSetupExitCode();
