// File helpers of the installer tests under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Whole-file read and write; false when the file can't be read or written in full.
bool ReadAll(const std::string& path, Bytes* out);
bool WriteAll(const std::string& path, const std::string& text);
bool IsFolder(const std::string& path);
