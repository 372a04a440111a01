// The log of one installer run (the "-l" switch): what the run found, did
// and answered, a line a fact, each with its time.
//
// The installer runs as administrator while the log goes to the user's
// temporary folder, which the user controls. So the file is made new under
// a name of its own, "BrindlemoorSetup YYYY-MM-DD #NNN.log" with the next
// free number: a create that collides with anything of that name, a link
// included, and never follows one, takes the next number instead. Each line
// is written and flushed at once, so a run that dies leaves its log up to
// the step it died in. Without an open log every call is a no-op.
#pragma once

#include <windows.h>

#include <cstddef>

// The most numbers tried for one day's log.
constexpr int kMaxRunLogNumber = 999;

// Makes the run's log in `folder`: 1 with its full path in `path` (`path_size`
// bytes), or 0 when no name of the day is free or nothing can be made there
// (the run then goes on without a log). Start-up thread, once.
int OpenRunLog(const char* folder, char* path, size_t path_size);

// 1 while a log is open.
int IsRunLogOpen();

// The open log's full path, or "" when none is open.
const char* RunLogPath();

// Appends "<hh:mm:ss.mmm>  <text>" and a line end, formatted as printf does;
// a line too long is cut and ends in "...", one that can't be formatted
// says so. Any thread; the lines of two threads never mix.
void LogRun(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `text` and, while a log is open, a last paragraph that names the log's
// file, into `out` (`out_size` bytes; a text too long is cut): how a visible
// run's message tells the user where its log is.
void WithRunLogParagraph(const char* text, char* out, size_t out_size);

// Closes the log; later lines go nowhere.
void CloseRunLog();
