// The environment the elevated installer gives the programs it starts.
//
// The installer runs as administrator with its user's environment, and the
// user sets that environment (HKEY_CURRENT_USER\Environment): PATH, TEMP,
// ComSpec, windir, ProgramFiles and any variable a program reads. A program
// started with it would look for its DLLs, its temporary files and its
// command interpreter where the user says, as administrator. So the children
// get the system's variables only, as a service would, and TEMP and TMP name
// a folder that only administrators can write.
#pragma once

#include <windows.h>

// A new Unicode environment block (for CREATE_UNICODE_ENVIRONMENT) of the
// system's variables only, with TEMP and TMP set to `temp_folder`: the
// system's own block (CreateEnvironmentBlock without a user's token) where
// the system offers it, else the variables Windows itself sets, made from
// the Windows folder. Null when no block could be made. Free it with
// FreeChildEnvironment.
WCHAR* MakeChildEnvironment(const char* temp_folder);
void FreeChildEnvironment(WCHAR* block);
