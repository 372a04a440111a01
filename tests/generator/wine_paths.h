// Paths shared with the Unix side of Wine.
#pragma once

#include <string>

// The Windows path of a Unix path (Wine maps the Unix root to drive Z:).
std::string WindowsPathOf(const std::string& unix_path);

// The file the ALSA capture device writes, as a Windows path; empty when the
// session has none (AUDIO_CAPTURE unset).
std::string AudioCapturePath();
