// Paths and folders in the Wine tests of every part of the project.
#pragma once

#include <string>

// The Windows path of a Unix path: Wine maps the Unix root to drive Z:.
std::string WindowsPathOf(const std::string& unix_path);

// Removes `folder` with everything in it, read-only files too; what cannot
// be removed stays, silently.
void RemoveTree(const std::string& folder);

// Runs `command` with the host's /bin/sh, outside Wine's rules (a file that
// a Windows handle holds without sharing can still be renamed there), and
// waits for it to end: its exit code, or -1 when it could not be started or
// did not end within two minutes. The command may not hold a double quote.
int RunOnHost(const std::string& command);

// The Unix path of a Windows path, on any drive (Wine's mapping).
std::string UnixPathOf(const std::string& windows_path);
