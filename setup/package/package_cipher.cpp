// The package cipher.
//
// How it works. A running state s starts as the entry key. For the byte at
// index j, with r = size - j bytes left (counting down to 1):
//   P = (s + r)^2 mod 2^32
//   key byte = (P's low byte + P's second byte + T[r mod 16]) mod 256
//   s = P shifted right by 8 as a signed 32-bit value (the top byte copies
//       P's sign bit)
// Each byte's state comes from the one before, so the loop runs at the speed
// of that chain (add, multiply, shift); the shift is written as a signed
// shift so that the compiler emits one instruction for it.
#include "setup/package/package_cipher.h"

#include <cstring>

#include "setup/package/package_key.h"

// GCC defines >> on a negative int32_t as an arithmetic shift (C++20 requires
// it); the cipher relies on that.
static_assert((-256 >> 8) == -1, "signed right shift must be arithmetic");

void StartPackageChain(PackageChain* chain) {
  chain->key = kPackageKey;
  std::memset(chain->table, 0, sizeof chain->table);
}

void AdvancePackageChain(PackageChain* chain, const uint8_t stored_digest[16]) {
  std::memcpy(chain->table, stored_digest, sizeof chain->table);
  const uint32_t k = chain->key;
  chain->key = ((k * k) << 8) | stored_digest[0];
}

void DecipherEntry(uint8_t* bytes, uint32_t size, uint32_t key, const uint8_t table[16]) {
  uint32_t s = key;
  for (uint32_t j = 0; j < size; ++j) {
    const uint32_t r = size - j;
    const uint32_t x = s + r;
    const uint32_t p = x * x;
    bytes[j] ^= static_cast<uint8_t>(p + (p >> 8) + table[r & 15]);
    s = static_cast<uint32_t>(static_cast<int32_t>(p) >> 8);
  }
}
