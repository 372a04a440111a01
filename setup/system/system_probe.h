// What the installer asks the system at start: the Windows version and
// whether a device interface of a class is present.
#pragma once

#include <windows.h>


// The OS code of the running Windows (see os_version.h).
int DetectOs();

// 1 when at least one present device interface of `interface_class`
// exists, else 0.
int ProbeDeviceInterface(const GUID* interface_class);
