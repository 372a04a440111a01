// Paths shared with the Unix side of Wine.
#pragma once

#include <string>

#include "tests/wine/wine_files.h"

// The file the ALSA capture device writes, as a Windows path; empty when the
// session has none (AUDIO_CAPTURE unset).
std::string AudioCapturePath();
