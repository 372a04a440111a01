// The walk through a package's chain.
//
// How it works. The directory is read out of the image first: an entry's data
// may overlap the directory, and deciphering it must not change the records
// still to come. For each record in order:
//   - An entry that does not lie inside the image (offset + size compared
//     without 32-bit overflow) fails and leaves the chain as it is, so the
//     entries after it fail too.
//   - Otherwise E = MD5 of its stored bytes; the bytes are deciphered in place
//     with the chain state; D = MD5 of the result; the chain advances on E.
//   - The entry fails when it is empty, when D differs from its digest, or
//     when its name is unsafe; a failed entry is never written.
//   - Once any entry has failed (a write included), every later entry fails
//     as well and nothing more is written. The chain alone would not see to
//     that: after a damaged entry only the key carries the difference on (the
//     table is the next entry's own stored digest), and the key's step
//     (K*K << 8, low byte from the digest) pushes any difference at least
//     9 bits further up each time, out of its 32 bits within four entries.
//     So a damaged entry spoils at most the four entries after it through
//     the chain, and the entries after those would verify and be written.
//     Later entries are still deciphered and verified, so that the image is
//     in the same state whatever failed and a report can say which of them
//     are sound in themselves.
//   - A verified entry that the filter selects is written through the sink;
//     when the path's folder part is not the target folder itself (the name
//     has a sub-folder), the folder chain is created first.
// Each entry is digested twice and deciphered once, each in one pass.
#include "setup/package/package_reader.h"

#include <cstring>

#include "setup/package/md5.h"
#include "setup/package/package_cipher.h"

const char* PackageEntryStatusText(int status) {
  switch (status) {
    case kEntryVerified: return "verified";
    case kEntryOutOfBounds: return "reaches past the end of the package";
    case kEntryEmpty: return "empty entry";
    case kEntryBadDigest: return "digest mismatch";
    case kEntryUnsafeName: return "unsafe or unterminated name";
    case kEntryPathTooLong: return "path too long";
    case kEntryWriteFailed: return "write failed";
    case kEntryAfterFailure: return "follows a failed entry";
    default: return "unknown";
  }
}

// Writes one verified entry; returns its status.
static int WriteEntry(const PackageSink* sink, const char* target_folder, const char* name,
                      const uint8_t* bytes, uint32_t size) {
  char path[kPathSize];
  if (!JoinPath(path, sizeof path, target_folder, name)) return kEntryPathTooLong;
  char* last_separator = std::strrchr(path, '\\');
  if (last_separator != nullptr && sink->create_folders != nullptr) {
    *last_separator = '\0';
    if (std::strcmp(path, target_folder) != 0) sink->create_folders(sink->user, path);
    *last_separator = '\\';
  }
  return sink->write_file(sink->user, path, bytes, size) ? kEntryVerified : kEntryWriteFailed;
}

int WalkPackage(uint8_t* image, uint32_t size, const char* target_folder, const char* name_filter,
                const PackageSink* sink) {
  if (image == nullptr || size <= kPackageDirectorySize) return -1;
  PackageEntry directory[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i) LoadPackageEntry(image, i, &directory[i]);

  PackageChain chain;
  StartPackageChain(&chain);
  int failures = 0;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const PackageEntry& entry = directory[i];
    // A name is safe once: a later entry of an earlier one's name would
    // write that file again.
    bool name_ok = IsSafeEntryName(entry.name) != 0;
    for (int earlier = 0; name_ok && earlier < i; ++earlier) {
      if (IsSafeEntryName(directory[earlier].name) &&
          SameEntryName(directory[earlier].name, entry.name)) {
        name_ok = false;
      }
    }
    const bool selected =
        name_ok && (name_filter == nullptr || std::strcmp(entry.name, name_filter) == 0);
    int status = kEntryVerified;
    if (entry.offset > size || entry.size > size - entry.offset) {
      status = kEntryOutOfBounds;
    } else {
      uint8_t* bytes = image + entry.offset;
      uint8_t stored_digest[16];
      uint8_t plain_digest[16];
      ComputeMd5(bytes, entry.size, stored_digest);
      DecipherEntry(bytes, entry.size, chain.key, chain.table);
      ComputeMd5(bytes, entry.size, plain_digest);
      AdvancePackageChain(&chain, stored_digest);
      if (entry.size == 0) {
        status = kEntryEmpty;
      } else if (std::memcmp(plain_digest, entry.digest, sizeof plain_digest) != 0) {
        status = kEntryBadDigest;
      } else if (!name_ok) {
        status = kEntryUnsafeName;
      } else if (failures > 0) {
        status = kEntryAfterFailure;
      } else if (selected && sink != nullptr && sink->write_file != nullptr) {
        status = WriteEntry(sink, target_folder, entry.name, bytes, entry.size);
      }
    }
    if (status != kEntryVerified) ++failures;
    if (sink != nullptr && sink->entry_done != nullptr) {
      sink->entry_done(sink->user, i, &entry, status, selected ? 1 : 0);
    }
  }
  return failures;
}

int PackageResult(int walk_result) {
  if (walk_result < 0) return -1;
  return walk_result == 0 ? 0 : -(100 + walk_result);
}
