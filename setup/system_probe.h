// What the installer asks the system at start: the Windows version and
// whether the mixer driver is installed (a present device interface of its
// class).
#pragma once

#include <windows.h>

// {D8C6B17A-215D-4082-9341-1E1677AE6B55}
extern const GUID kMixerInterfaceClass;

// The OS code of the running Windows (see os_version.h).
int DetectOs();

// 1 when at least one present device interface of the mixer driver's class
// exists, else 0.
int ProbeDriverInterface();
