// Shell links of the Start menu, made through folders held open.
#pragma once

#include <windows.h>

// A shell link to make: its target, and its name (the description, and the
// file name without ".LNK").
struct ShortcutToMake {
  const char* target;
  const char* name;
};
constexpr int kMaxShortcuts = 4;

// Makes `links` (at most kMaxShortcuts) in JoinPath(known, sub_path), making
// the folders of `sub_path` below the full path `known` that are missing,
// through open folders (PlaceHeldFiles): how many were made, or -1 when the
// folder could not be reached (a link or a file on the way). A link whose
// file exists is replaced. Needs COM initialised on the calling thread.
int PlaceShortcuts(const char* known, const char* sub_path, const ShortcutToMake* links, int count);
