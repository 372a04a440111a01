// Finding a resource in a PE (Windows executable) file, for mkpackage.
//
// The tool reads the package out of a shipped installer on any machine, so it
// walks the PE resource directory itself instead of asking Windows to load
// the file. Every offset read from the file is checked before it is followed.
#pragma once

#include <cstddef>
#include <cstdint>

// Looks for the resource of numeric type `type` and numeric name `id` (the
// first language stored for it) in the PE file image `file` of `file_size`
// bytes. Returns 1 and its bytes' position and length in the file, or 0 when
// the image is not a PE file, has no such resource or points outside itself.
int FindPeResource(const uint8_t* file, size_t file_size, uint32_t type, uint32_t id,
                   size_t* offset, uint32_t* size);
