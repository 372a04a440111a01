// MD5 message digest (RFC 1321), the digest of the install package.
//
// Incremental use: Md5Init, then Md5Update any number of times with any
// lengths, then Md5Final. ComputeMd5 does all three over one byte range. The
// digest is the 16 bytes in the RFC's standard order (the first byte printed
// first in the usual hexadecimal form). No platform service is used.
#pragma once

#include <cstddef>
#include <cstdint>

struct Md5Context {
  uint32_t state[4];    // A, B, C, D
  uint64_t byte_count;  // bytes added so far
  uint8_t pending[64];  // start of an incomplete block
};

// Starts a digest. The context is a plain record; it owns nothing.
void Md5Init(Md5Context* md5);

// Adds `size` bytes. `bytes` may be null when `size` is 0.
void Md5Update(Md5Context* md5, const void* bytes, size_t size);

// Finishes the digest into `digest` (16 bytes). The context must be
// initialised again before it is used for another digest.
void Md5Final(Md5Context* md5, uint8_t digest[16]);

// The digest of one byte range.
void ComputeMd5(const void* bytes, size_t size, uint8_t digest[16]);
