// Paths and folders in the Wine tests of every part of the project.
#pragma once

#include <string>

// The Windows path of a Unix path: Wine maps the Unix root to drive Z:.
std::string WindowsPathOf(const std::string& unix_path);

// Removes `folder` with everything in it, read-only files too; what cannot
// be removed stays, silently.
void RemoveTree(const std::string& folder);
