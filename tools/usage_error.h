// The one-line usage error of the command-line tools.
#pragma once

// Prints "<program>: <what>, formatted (see <program> --help)" as one line to
// standard error and returns the tools' exit code for wrong usage, 2.
int UsageError(const char* program, const char* format, ...);
