// The package builder.
//
// How it works. For each entry in directory order: copy the plain bytes to
// the end of the data built so far, store their MD5 in the record, encipher
// them in place with the chain state, and advance the chain on the MD5 of the
// enciphered bytes, which is what the reader computes before it deciphers.
#include "setup/package/package_builder.h"

#include <cstring>

#include "setup/package/md5.h"
#include "setup/package/package_cipher.h"

static bool IsPackableName(const char* name) {
  char field[kPackageNameSize] = {};
  const size_t length = std::strlen(name);
  if (length >= kPackageNameSize) return false;
  std::memcpy(field, name, length);
  return IsSafeEntryName(field) != 0;
}

uint32_t MeasurePackage(const PackageSource sources[kPackageEntryCount]) {
  uint64_t total = kPackageDirectorySize;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    if (sources[i].name == nullptr || !IsPackableName(sources[i].name)) return 0;
    for (int earlier = 0; earlier < i; ++earlier) {
      if (SameEntryName(sources[earlier].name, sources[i].name)) return 0;
    }
    if (sources[i].size == 0 || sources[i].bytes == nullptr) return 0;
    total += sources[i].size;
  }
  return total > UINT32_MAX ? 0 : static_cast<uint32_t>(total);
}

int BuildPackage(const PackageSource sources[kPackageEntryCount], uint8_t* out, uint32_t out_size) {
  const uint32_t size = MeasurePackage(sources);
  if (size == 0 || size != out_size) return 0;
  PackageChain chain;
  StartPackageChain(&chain);
  uint32_t at = kPackageDirectorySize;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const PackageSource& source = sources[i];
    PackageEntry entry = {};
    std::memcpy(entry.name, source.name, std::strlen(source.name));
    entry.offset = at;
    entry.size = source.size;
    uint8_t* bytes = out + at;
    std::memcpy(bytes, source.bytes, source.size);
    ComputeMd5(bytes, source.size, entry.digest);
    DecipherEntry(bytes, source.size, chain.key, chain.table);
    uint8_t stored_digest[16];
    ComputeMd5(bytes, source.size, stored_digest);
    AdvancePackageChain(&chain, stored_digest);
    StorePackageEntry(out, i, &entry);
    at += source.size;
  }
  return 1;
}
