// The package cipher and the chain that links the entries of a package.
//
// Each entry is enciphered with a keystream made from the chain state: the
// entry key K and the 16-byte table T. After an entry the chain advances on
// the MD5 of that entry's bytes as stored (enciphered), so the state for
// entry k depends on every in-bounds entry before it. An altered byte changes
// its entry's plain digest and, through T and K, the keystream of the next
// entry; K's step shifts the difference out of its 32 bits within four
// entries, so the chain by itself spoils at most the four entries after a
// damaged one. The reader (package_reader.h) fails every entry after the
// first failed one on its own account. The keystream depends only on K, T
// and the position, never on the data, so one routine both enciphers and
// deciphers.
#pragma once

#include <cstdint>

struct PackageChain {
  uint32_t key;       // K: the package key at the start
  uint8_t table[16];  // T: zero at the start
};

// Sets the chain to its start: K = the package key, T = 16 zero bytes.
void StartPackageChain(PackageChain* chain);

// Advances the chain past one in-bounds entry, given the MD5 of its stored
// bytes: T = that digest; K = ((K * K) << 8) mod 2^32 with its low byte set
// to the digest's first byte.
void AdvancePackageChain(PackageChain* chain, const uint8_t stored_digest[16]);

// DecipherEntry: deciphers (or enciphers) `size` bytes in place with the
// keystream of entry key `key` and table `table`. The chain is not changed.
void DecipherEntry(uint8_t* bytes, uint32_t size, uint32_t key, const uint8_t table[16]);
