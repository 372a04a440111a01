// Package tests on the host: MD5 against RFC 1321, the cipher and the builder
// against naive models, and the walk over good, damaged and hostile packages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "setup/paths/folder_chain.h"
#include "setup/package/md5.h"
#include "setup/package/package_builder.h"
#include "setup/package/package_cipher.h"
#include "setup/package/package_format.h"
#include "setup/package/package_key.h"
#include "setup/package/package_reader.h"
#include "tests/setup/package/package_model.h"

namespace {

std::string Hex(const uint8_t* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 16; ++i) {
    s += kDigits[digest[i] >> 4];
    s += kDigits[digest[i] & 15];
  }
  return s;
}

std::string Md5Hex(const std::string& text) {
  uint8_t digest[16];
  ComputeMd5(text.data(), text.size(), digest);
  return Hex(digest);
}

// A package from the real builder, for sources taken from model entries.
Bytes BuildReal(const std::vector<ModelEntry>& entries) {
  PackageSource sources[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const ModelEntry& e = entries[static_cast<size_t>(i)];
    sources[i] = {e.name.c_str(), e.data.data(), static_cast<uint32_t>(e.data.size())};
  }
  const uint32_t size = MeasurePackage(sources);
  if (size == 0) return {};
  Bytes package(size);
  if (!BuildPackage(sources, package.data(), size)) return {};
  return package;
}

const std::vector<uint32_t> kSizes = {1, 2, 15, 16, 17, 63, 64, 65, 300, 1000, 4099};

int CountFailed(const MemorySink& sink) {
  int n = 0;
  for (int s : sink.statuses) n += s != kEntryVerified;
  return n;
}

// ---------------------------------------------------------------------------
// MD5

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890"
                   "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PaddingBoundariesAndPiecewiseUpdates) {
  // Lengths around the 55/56/64-byte padding edges, fed whole and in random
  // pieces, must agree; a million 'a' is the classic long vector.
  std::mt19937 random(7);
  for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 4096u}) {
    Bytes data(length);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    uint8_t whole[16];
    ComputeMd5(data.data(), data.size(), whole);
    Md5Context md5;
    Md5Init(&md5);
    for (size_t at = 0; at < length;) {
      const size_t piece = std::min<size_t>(length - at, random() % 70);
      Md5Update(&md5, data.data() + at, piece);
      at += piece;
    }
    uint8_t pieces[16];
    Md5Final(&md5, pieces);
    EXPECT_EQ(Hex(pieces), Hex(whole)) << "length " << length;
  }
  const std::string million(1000000, 'a');
  EXPECT_EQ(Md5Hex(million), "7707d6ae4e027c70eea2a935c2296f21");
  // Around the padding edges (reference digests from an independent MD5): at
  // 56 bytes and more the length no longer fits the last block.
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(57, 'a')), "652b906d60af96844ebd21b674f35e93");
  EXPECT_EQ(Md5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Md5Hex(std::string(65, 'a')), "c743a45e0d2e6a95cb859adae0248435");
}

// ---------------------------------------------------------------------------
// Format and paths

TEST(PackageFormat, RecordsAreLittleEndianAtFixedOffsets) {
  uint8_t directory[kPackageDirectorySize] = {};
  PackageEntry entry = {};
  std::strcpy(entry.name, "readme.txt");
  entry.offset = 0x11223344u;
  entry.size = 0xA0B0C0D0u;
  for (int i = 0; i < 16; ++i) entry.digest[i] = static_cast<uint8_t>(i + 1);
  entry.reserved[3] = 0x5A;
  StorePackageEntry(directory, 24, &entry);
  const uint8_t* record = directory + 24 * 156;
  EXPECT_STREQ(reinterpret_cast<const char*>(record), "readme.txt");
  EXPECT_EQ(Bytes(record + 128, record + 136),
            (Bytes{0x44, 0x33, 0x22, 0x11, 0xD0, 0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(record[136], 1);
  EXPECT_EQ(record[151], 16);
  EXPECT_EQ(record[155], 0x5A);
  PackageEntry back;
  LoadPackageEntry(directory, 24, &back);
  EXPECT_EQ(std::memcmp(&back, &entry, sizeof entry), 0);
  EXPECT_STREQ(kPackageEntryNames[13], "QUILLAN_Setup.exe");
  EXPECT_STREQ(kPackageEntryNames[24], "qxregsvr64.exe");
}

TEST(PackageFormat, JoinPath) {
  char out[kPathSize];
  ASSERT_EQ(JoinPath(out, sizeof out, "C:\\A", "x.txt"), 1);
  EXPECT_STREQ(out, "C:\\A\\x.txt");
  ASSERT_EQ(JoinPath(out, sizeof out, "C:\\A\\", "x.txt"), 1);
  EXPECT_STREQ(out, "C:\\A\\x.txt");
  ASSERT_EQ(JoinPath(out, sizeof out, "", "x"), 1);
  EXPECT_STREQ(out, "\\x");
  ASSERT_EQ(JoinPath(out, 7, "C:\\A", "x"), 1);  // 6 characters and the NUL
  EXPECT_STREQ(out, "C:\\A\\x");
  EXPECT_EQ(JoinPath(out, 6, "C:\\A", "x"), 0);
  EXPECT_STREQ(out, "");
  // In place, as the installer appends a sub-path to its target folder.
  char folder[kPathSize] = "C:\\Program Files";
  ASSERT_EQ(JoinPath(folder, sizeof folder, folder, "QX\\Brindlemoor"), 1);
  EXPECT_STREQ(folder, "C:\\Program Files\\QX\\Brindlemoor");
  const std::string long_name(kPathSize - 3, 'n');
  EXPECT_EQ(JoinPath(out, sizeof out, "C:", long_name.c_str()), 0);
}

TEST(PackageFormat, SafeEntryNames) {
  auto safe = [](const std::string& name) {
    char field[kPackageNameSize] = {};
    std::memcpy(field, name.data(), std::min<size_t>(name.size(), kPackageNameSize));
    return IsSafeEntryName(field);
  };
  for (const char* ok : {"readme.txt", "sub\\file.bin", "a\\b\\c.d", ".hidden", "a..b",
                         "drivers/x64/a.sys", "..a", "a b"}) {
    EXPECT_EQ(safe(ok), 1) << ok;
  }
  for (const char* bad : {"",
                          "\\Windows\\evil.dll",
                          "/etc/passwd",
                          "C:\\evil",
                          "C:evil",
                          "file.txt:stream",
                          "..",
                          "..\\evil",
                          "a\\..\\..\\evil",
                          "a/../../evil",
                          "...\\evil",
                          ".. \\evil",
                          ". .\\evil",
                          "a\\.\\b",
                          "a\\\\b",
                          "a\\",
                          "\\\\server\\share\\x",
                          "tab\there",
                          "a\\..",
                          " \\x"}) {
    EXPECT_EQ(safe(bad), 0) << bad;
  }
  // Names that Windows opens without their trailing dots and blanks.
  for (const char* alias : {"x.", "readme.txt.", "readme.txt ", "sub.\\x", "sub \\x"}) {
    EXPECT_EQ(safe(alias), 0) << alias;
  }
  // Names that Windows opens as devices, in any case, with an extension or
  // blanks, in any folder; and their near misses, which are files.
  for (const char* device : {"CON", "con", "Nul.txt", "aux.tar.gz", "PRN", "COM1", "com9.log",
                             "LPT1", "lpt5", "CON .txt", "NUL.", "sub\\con", "sub\\COM3.dll\\x",
                             "conin$", "CONOUT$.x", "COM\xB9", "lpt\xB2.txt", "COM0", "lpt0.txt"}) {
    EXPECT_EQ(safe(device), 0) << device;
  }
  for (const char* file : {"CONS", "con_", "COM10", "LPT", "lpt00.txt", "nul_", "xcon", "a.con",
                           "auxiliary.dll", "COM", "sub\\prn_driver.sys", " con"}) {
    EXPECT_EQ(safe(file), 1) << file;
  }
  // Short 8.3 names, which may open a file of another (long) name; names
  // with a tilde that are no such shape are files.
  for (const char* short_name : {"BRINDL~1.EXE", "readme~2.txt", "A~1", "sub\\QUILL~12.inf"}) {
    EXPECT_EQ(safe(short_name), 0) << short_name;
  }
  for (const char* file : {"~1.txt", "a~.txt", "a~1b.txt", "toolong~1.exe", "a~1.text", "~$x"}) {
    EXPECT_EQ(safe(file), 1) << file;
  }
  EXPECT_EQ(safe(std::string(127, 'n')), 1);
  EXPECT_EQ(safe(std::string(128, 'n')), 0);  // no NUL inside the field
}

// ---------------------------------------------------------------------------
// Cipher and builder

TEST(PackageCipher, MatchesTheModelAndIsItsOwnInverse) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    Bytes data(random() % 300);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    Table table;
    for (uint8_t& b : table) b = static_cast<uint8_t>(random());
    const uint32_t key = round < 3 ? (round == 0   ? 0u
                                      : round == 1 ? 0xFFFFFFFFu
                                                   : 0x80000000u)
                                   : static_cast<uint32_t>(random());
    Bytes expected = data;
    ModelCipher(&expected, key, table);
    Bytes actual = data;
    DecipherEntry(actual.data(), static_cast<uint32_t>(actual.size()), key, table.data());
    ASSERT_EQ(actual, expected) << "round " << round << " key " << key;
    DecipherEntry(actual.data(), static_cast<uint32_t>(actual.size()), key, table.data());
    ASSERT_EQ(actual, data);
  }
  // The chain: T becomes the stored digest, K = (K*K << 8) | E[0].
  PackageChain chain;
  StartPackageChain(&chain);
  EXPECT_EQ(chain.key, kPackageKey);
  EXPECT_EQ(Table(), (Table{}));
  uint32_t key = kPackageKey;
  Table table = {};
  for (int i = 0; i < 30; ++i) {
    Table stored;
    for (uint8_t& b : stored) b = static_cast<uint8_t>(random());
    AdvancePackageChain(&chain, stored.data());
    ModelAdvance(&key, &table, stored);
    ASSERT_EQ(chain.key, key);
    ASSERT_EQ(std::memcmp(chain.table, table.data(), 16), 0);
  }
  PackageChain zero = {0x12345678u, {}};
  const Table stored = {0xAB};
  AdvancePackageChain(&zero, stored.data());
  EXPECT_EQ(zero.key, ((0x12345678u * 0x12345678u) << 8) | 0xABu);
}

TEST(PackageBuilder, IsByteForByteTheModelPackage) {
  const std::vector<ModelEntry> entries = SampleEntries(3, kSizes);
  const Bytes real = BuildReal(entries);
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(real, ModelPackage(entries));
  // Contiguous in directory order, the last ending at the end.
  uint32_t at = kPackageDirectorySize;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const PackageEntry e = EntryOf(real, i);
    EXPECT_STREQ(e.name, kPackageEntryNames[i]);
    EXPECT_EQ(e.offset, at);
    at += e.size;
  }
  EXPECT_EQ(at, real.size());
}

TEST(PackageBuilder, RefusesWhatTheReaderWouldReject) {
  std::vector<ModelEntry> entries = SampleEntries(4, {10});
  EXPECT_FALSE(BuildReal(entries).empty());
  for (const char* bad : {"..\\x", "C:\\x", "\\x", ""}) {
    std::vector<ModelEntry> changed = entries;
    changed[5].name = bad;
    EXPECT_TRUE(BuildReal(changed).empty()) << bad;
  }
  std::vector<ModelEntry> changed = entries;
  changed[7].name = std::string(128, 'n');
  EXPECT_TRUE(BuildReal(changed).empty());
  changed = entries;
  changed[7].name = std::string(127, 'n');
  EXPECT_FALSE(BuildReal(changed).empty());
  changed = entries;
  changed[24].data.clear();
  EXPECT_TRUE(BuildReal(changed).empty());
  PackageSource sources[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i) {
    sources[i] = {kPackageEntryNames[i], entries[0].data.data(), 10};
  }
  Bytes out(MeasurePackage(sources) + 1);
  EXPECT_EQ(BuildPackage(sources, out.data(), static_cast<uint32_t>(out.size())), 0);
  sources[3].size = UINT32_MAX / 2;
  sources[4].size = UINT32_MAX / 2;
  EXPECT_EQ(MeasurePackage(sources), 0u);  // would not fit 32 bits
}

// ---------------------------------------------------------------------------
// The walk

TEST(PackageWalk, RoundTripGivesEveryByteBack) {
  const std::vector<ModelEntry> entries = SampleEntries(5, kSizes);
  const Bytes package = BuildReal(entries);
  MemorySink sink;
  ASSERT_EQ(WalkCopy(package, "C:\\T", nullptr, &sink), 0);
  ASSERT_EQ(sink.files.size(), 25u);
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const std::string path = std::string("C:\\T\\") + kPackageEntryNames[i];
    ASSERT_TRUE(sink.files.count(path)) << path;
    EXPECT_EQ(sink.files[path], entries[static_cast<size_t>(i)].data) << path;
    EXPECT_EQ(sink.write_order[static_cast<size_t>(i)], path);
  }
  EXPECT_TRUE(sink.folders.empty());  // plain names: the target folder is used as it is
  EXPECT_EQ(PackageResult(0), 0);

  // The image is deciphered in place: walking it again fails every entry.
  Bytes image = package;
  ASSERT_EQ(
      WalkPackage(image.data(), static_cast<uint32_t>(image.size()), "C:\\T", nullptr, nullptr), 0);
  MemorySink again;
  EXPECT_EQ(WalkCopy(image, "C:\\T", nullptr, &again), 25);
  EXPECT_TRUE(again.files.empty());
  EXPECT_EQ(PackageResult(25), -125);
}

TEST(PackageWalk, SizeLimitIsStrictlyAboveTheDirectory) {
  MemorySink sink;
  EXPECT_EQ(WalkCopy(Bytes(3900, 0), "C:\\T", nullptr, &sink), -1);
  EXPECT_TRUE(sink.statuses.empty());
  EXPECT_EQ(WalkCopy(Bytes(), "C:\\T", nullptr, &sink), -1);
  EXPECT_EQ(PackageResult(-1), -1);

  // 3,901 bytes: a package. One real one-byte entry, 24 empty records.
  std::vector<ModelEntry> entries(25);
  entries[0] = {"one.bin", {0x42}};
  Bytes package = ModelPackage(entries);
  ASSERT_EQ(package.size(), 3901u);
  MemorySink small;
  EXPECT_EQ(WalkCopy(package, "C:\\T", nullptr, &small), 24);
  EXPECT_EQ(small.files["C:\\T\\one.bin"], Bytes{0x42});
  EXPECT_EQ(small.statuses[1], kEntryEmpty);
}

TEST(PackageWalk, NameFilterWritesOneFileButVerifiesAll) {
  const std::vector<ModelEntry> entries = SampleEntries(6, kSizes);
  const Bytes package = BuildReal(entries);
  MemorySink sink;
  EXPECT_EQ(WalkCopy(package, "C:\\T", "QUILLAN_Setup.exe", &sink), 0);
  ASSERT_EQ(sink.files.size(), 1u);
  EXPECT_EQ(sink.files["C:\\T\\QUILLAN_Setup.exe"], entries[13].data);
  ASSERT_EQ(sink.statuses.size(), 25u);
  EXPECT_EQ(CountFailed(sink), 0);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(sink.selected[static_cast<size_t>(i)], i == 13);

  // Exact, case-sensitive comparison: the lower-case spelling selects nothing.
  MemorySink lower;
  EXPECT_EQ(WalkCopy(package, "C:\\T", "quillan_setup.exe", &lower), 0);
  EXPECT_TRUE(lower.files.empty());
  EXPECT_EQ(CountFailed(lower), 0);

  // A damaged entry just before it spoils it too: nothing is written.
  Bytes damaged = package;
  const PackageEntry before = EntryOf(package, 12);
  damaged[before.offset + before.size - 1] ^= 0x01;
  MemorySink spoiled;
  EXPECT_LE(PackageResult(WalkCopy(damaged, "C:\\T", "QUILLAN_Setup.exe", &spoiled)), -102);
  EXPECT_EQ(spoiled.statuses[12], kEntryBadDigest);
  EXPECT_EQ(spoiled.statuses[13], kEntryBadDigest);
  EXPECT_TRUE(spoiled.files.empty());
}

// A damaged entry k fails, and so does every entry after it: entry k + 1
// through the chain (its table is wrong); the chain settles within four
// entries (the key's step shifts any difference out of its 32 bits), so from
// k + 5 on the entries are sound in themselves and fail only for following a
// failed one. Nothing from k on is written, everything before it is.
void ExpectSpoiledFrom(const MemorySink& sink, int k, int first_status) {
  ASSERT_EQ(sink.statuses.size(), 25u);
  for (int i = 0; i < 25; ++i) {
    const int status = sink.statuses[static_cast<size_t>(i)];
    if (i < k) {
      EXPECT_EQ(status, kEntryVerified) << "damage at " << k << ", entry " << i;
    } else if (i == k) {
      EXPECT_EQ(status, first_status) << "damage at " << k;
    } else if (i == k + 1) {
      EXPECT_EQ(status, kEntryBadDigest) << "damage at " << k << ", entry " << i;
    } else if (i >= k + 5) {
      EXPECT_EQ(status, kEntryAfterFailure) << "damage at " << k << ", entry " << i;
    } else {
      EXPECT_TRUE(status == kEntryBadDigest || status == kEntryAfterFailure) << i;
    }
  }
  EXPECT_EQ(CountFailed(sink), 25 - k);
  EXPECT_EQ(sink.files.size(), static_cast<size_t>(k));
  for (int i = 0; i < k; ++i) {
    EXPECT_TRUE(sink.files.count(std::string("C:\\T\\") + kPackageEntryNames[i])) << i;
  }
}

TEST(PackageWalk, FlippedByteFailsItsEntryAndTheChainAfterIt) {
  const std::vector<ModelEntry> entries = SampleEntries(7, {300, 1000, 4099, 64, 65});
  const Bytes package = BuildReal(entries);
  for (int k : {0, 1, 11, 12, 20, 23, 24}) {
    const PackageEntry e = EntryOf(package, k);
    for (uint32_t at : {0u, e.size / 2, e.size - 1}) {
      Bytes damaged = package;
      damaged[e.offset + at] ^= 0x80;
      MemorySink sink;
      const int failed = WalkCopy(damaged, "C:\\T", nullptr, &sink);
      ExpectSpoiledFrom(sink, k, kEntryBadDigest);
      EXPECT_EQ(PackageResult(failed), -(100 + 25 - k));
    }
  }
  // A flipped digest field fails that entry through its own check (the chain
  // runs on the data, so the entries after it are sound) and stops the
  // writing all the same.
  Bytes damaged = package;
  PackageEntry e = EntryOf(package, 9);
  e.digest[15] ^= 1;
  SetEntry(&damaged, 9, e);
  MemorySink sink;
  EXPECT_EQ(WalkCopy(damaged, "C:\\T", nullptr, &sink), 16);
  EXPECT_EQ(sink.statuses[9], kEntryBadDigest);
  for (int i = 10; i < 25; ++i)
    EXPECT_EQ(sink.statuses[static_cast<size_t>(i)], kEntryAfterFailure);
  EXPECT_EQ(sink.files.size(), 9u);
}

TEST(PackageWalk, EntryPastTheEndFailsWithoutAdvancingTheChain) {
  const std::vector<ModelEntry> entries = SampleEntries(8, {300, 1000, 4099, 64, 65});
  const Bytes package = BuildReal(entries);
  for (int k : {3, 22, 24}) {
    Bytes damaged = package;
    PackageEntry e = EntryOf(package, k);
    e.size = static_cast<uint32_t>(package.size()) - e.offset + 1;  // one byte too far
    SetEntry(&damaged, k, e);
    MemorySink sink;
    const int failed = WalkCopy(damaged, "C:\\T", nullptr, &sink);
    ExpectSpoiledFrom(sink, k, kEntryOutOfBounds);
    EXPECT_EQ(failed, 25 - k);
  }
  // The entry that reaches exactly to the end is inside.
  const PackageEntry last = EntryOf(package, 24);
  ASSERT_EQ(last.offset + last.size, package.size());
  MemorySink sink;
  EXPECT_EQ(WalkCopy(package, "C:\\T", nullptr, &sink), 0);

  // The chain really does not advance: a package made with entry 5 left out
  // of the chain has every entry after it sound when entry 5 points outside.
  Bytes skipped = BuildReal(entries);
  uint32_t key = kPackageKey;
  Table table = {};
  for (int i = 0; i < 25; ++i) {
    if (i == 5) continue;
    const PackageEntry r = EntryOf(skipped, i);
    Bytes stored = entries[static_cast<size_t>(i)].data;
    ModelCipher(&stored, key, table);
    std::memcpy(skipped.data() + r.offset, stored.data(), stored.size());
    ModelAdvance(&key, &table, Md5Of(stored));
  }
  PackageEntry r = EntryOf(skipped, 5);
  r.offset = 0xFFFFFFF0u;
  SetEntry(&skipped, 5, r);
  MemorySink chain;
  EXPECT_EQ(WalkCopy(skipped, "C:\\T", nullptr, &chain), 20);
  EXPECT_EQ(chain.statuses[5], kEntryOutOfBounds);
  for (int i = 6; i < 25; ++i)
    EXPECT_EQ(chain.statuses[static_cast<size_t>(i)], kEntryAfterFailure);
  EXPECT_EQ(chain.files.size(), 5u);
}

TEST(PackageWalk, ThreeAndTwentyFiveFailures) {
  const Bytes package = BuildReal(SampleEntries(9, kSizes));
  Bytes three = package;
  for (int k : {22, 23, 24}) {
    PackageEntry e = EntryOf(package, k);
    e.digest[0] ^= 0xFF;
    SetEntry(&three, k, e);
  }
  MemorySink sink;
  EXPECT_EQ(PackageResult(WalkCopy(three, "C:\\T", nullptr, &sink)), -103);
  EXPECT_EQ(sink.files.size(), 22u);
  // Three damaged entries further up fail everything from the first on.
  Bytes spread = package;
  for (int k : {4, 11, 20}) {
    PackageEntry e = EntryOf(package, k);
    e.digest[0] ^= 0xFF;
    SetEntry(&spread, k, e);
  }
  MemorySink from_four;
  EXPECT_EQ(PackageResult(WalkCopy(spread, "C:\\T", nullptr, &from_four)), -121);
  EXPECT_EQ(from_four.files.size(), 4u);
  EXPECT_EQ(from_four.statuses[11], kEntryBadDigest);  // its own failure is the one reported
  EXPECT_EQ(from_four.statuses[12], kEntryAfterFailure);

  Bytes all = package;
  for (int k = 0; k < 25; ++k) {
    PackageEntry e = EntryOf(package, k);
    e.digest[7] ^= 0x10;
    SetEntry(&all, k, e);
  }
  MemorySink none;
  EXPECT_EQ(PackageResult(WalkCopy(all, "C:\\T", nullptr, &none)), -125);
  EXPECT_TRUE(none.files.empty());
}

TEST(PackageWalk, HugeOffsetsDoNotWrapIntoThePackage) {
  // offset + size wraps to a small number in 32 bits: it must not pass.
  const Bytes package = BuildReal(SampleEntries(10, {300, 1000, 4099, 64, 65}));
  const uint32_t cases[][2] = {{0xFFFFFF00u, 0x200u},
                               {0xFFFFFFFFu, 1u},
                               {1u, 0xFFFFFFFFu},
                               {0x80000000u, 0x80000000u},
                               {static_cast<uint32_t>(package.size()), 1u}};
  for (const auto& c : cases) {
    Bytes damaged = package;
    PackageEntry e = EntryOf(package, 0);
    e.offset = c[0];
    e.size = c[1];
    SetEntry(&damaged, 0, e);
    MemorySink sink;
    WalkCopy(damaged, "C:\\T", nullptr, &sink);
    ExpectSpoiledFrom(sink, 0, kEntryOutOfBounds);
  }
  // An empty entry right at the end is inside (and fails as empty).
  Bytes damaged = package;
  PackageEntry e = EntryOf(package, 24);
  e.offset = static_cast<uint32_t>(package.size());
  e.size = 0;
  SetEntry(&damaged, 24, e);
  MemorySink sink;
  EXPECT_EQ(WalkCopy(damaged, "C:\\T", nullptr, &sink), 1);
  EXPECT_EQ(sink.statuses[24], kEntryEmpty);
}

TEST(PackageWalk, UnsafeNamesFailButTheChainGoesOn) {
  for (const std::string& bad :
       std::vector<std::string>{"..\\evil.dll", "C:\\Windows\\evil.dll", "\\evil.dll",
                                "sub\\..\\..\\evil.dll", "sub/../../evil.dll", "D:evil.dll",
                                std::string(128, 'n'), "CON", "nul.txt", "sub\\COM1.sys", "LPT9"}) {
    std::vector<ModelEntry> entries = SampleEntries(12, kSizes);
    entries[6].name = bad;
    const Bytes package = ModelPackage(entries);
    MemorySink sink;
    EXPECT_EQ(PackageResult(WalkCopy(package, "C:\\T", nullptr, &sink)), -119) << bad;
    EXPECT_EQ(sink.statuses[6], kEntryUnsafeName) << bad;
    // The entries after it verify (the chain goes on) but are not written.
    EXPECT_EQ(sink.statuses[7], kEntryAfterFailure) << bad;
    EXPECT_EQ(sink.files.size(), 6u) << bad;
    for (const auto& file : sink.files) {
      EXPECT_NE(ResolveBelow("C:\\T", file.first), "") << file.first;
    }
    // Not selectable by name either.
    MemorySink filtered;
    EXPECT_EQ(WalkCopy(package, "C:\\T", bad.c_str(), &filtered), 19);
    EXPECT_TRUE(filtered.files.empty());
  }
}

TEST(PackageWalk, EmptyEntryFailsAndAdvancesTheChain) {
  std::vector<ModelEntry> entries = SampleEntries(13, kSizes);
  entries[10].data.clear();
  const Bytes package = ModelPackage(entries);
  MemorySink sink;
  EXPECT_EQ(PackageResult(WalkCopy(package, "C:\\T", nullptr, &sink)), -115);
  EXPECT_EQ(sink.statuses[10], kEntryEmpty);
  EXPECT_EQ(sink.statuses[11], kEntryAfterFailure);  // the chain advanced past it
  EXPECT_EQ(sink.files.size(), 10u);
  EXPECT_FALSE(sink.files.count(std::string("C:\\T\\") + kPackageEntryNames[10]));

  // The last entry empty: a failure too (never a success).
  entries = SampleEntries(13, kSizes);
  entries[24].data.clear();
  MemorySink last;
  EXPECT_EQ(PackageResult(WalkCopy(ModelPackage(entries), "C:\\T", nullptr, &last)), -101);
}

TEST(PackageWalk, SubFolderNamesCreateTheirFolderFirst) {
  std::vector<ModelEntry> entries = SampleEntries(14, kSizes);
  entries[0].name = "drivers\\x64\\kxbm.sys";
  entries[1].name = "docs/readme.txt";
  const Bytes package = ModelPackage(entries);
  MemorySink sink;
  ASSERT_EQ(WalkCopy(package, "C:\\T", nullptr, &sink), 0);
  EXPECT_EQ(sink.folders, (std::vector<std::string>{"C:\\T\\drivers\\x64"}));
  EXPECT_EQ(sink.write_order[0], "C:\\T\\drivers\\x64\\kxbm.sys");
  EXPECT_EQ(sink.files["C:\\T\\drivers\\x64\\kxbm.sys"], entries[0].data);
  // '/' is no folder separator for the installer: it is left to the file system.
  EXPECT_TRUE(sink.files.count("C:\\T\\docs/readme.txt"));

  // A target with a trailing backslash differs from the folder part of its
  // paths, so the walk asks for the (existing) folder itself.
  MemorySink trailing;
  ASSERT_EQ(WalkCopy(package, "C:\\T\\", "readme.txt", &trailing), 0);
  EXPECT_EQ(trailing.folders, (std::vector<std::string>{"C:\\T"}));
  EXPECT_TRUE(trailing.files.count("C:\\T\\readme.txt"));
}

TEST(PackageWalk, FailedWritesAndOverlongPathsCount) {
  const std::vector<ModelEntry> entries = SampleEntries(15, kSizes);
  const Bytes package = BuildReal(entries);
  MemorySink sink;
  sink.failing_path = "C:\\T\\readme.txt";
  EXPECT_EQ(PackageResult(WalkCopy(package, "C:\\T", nullptr, &sink)), -104);
  EXPECT_EQ(sink.statuses[21], kEntryWriteFailed);
  EXPECT_EQ(sink.files.size(), 21u);

  const std::string deep = "C:\\" + std::string(kPathSize - 20, 'd');
  MemorySink too_long;
  const int failed = WalkCopy(package, deep.c_str(), nullptr, &too_long);
  EXPECT_GT(failed, 0);
  bool failed_before = false;
  for (int i = 0; i < 25; ++i) {
    const size_t length = deep.size() + 1 + std::strlen(kPackageEntryNames[i]);
    const int expected = failed_before        ? kEntryAfterFailure
                         : length < kPathSize ? kEntryVerified
                                              : kEntryPathTooLong;
    EXPECT_EQ(too_long.statuses[static_cast<size_t>(i)], expected) << i;
    failed_before = failed_before || expected != kEntryVerified;
  }
}

TEST(PackageWalk, DataOverlappingTheDirectoryDoesNotChangeLaterRecords) {
  // Entry 0 points at the directory itself: deciphering it scrambles the
  // records in the image, yet the walk goes by the records as they were, so
  // once the chain has settled the later entries are sound in themselves.
  const std::vector<ModelEntry> entries = SampleEntries(16, kSizes);
  const Bytes package = BuildReal(entries);
  Bytes damaged = package;
  PackageEntry e = EntryOf(package, 0);
  e.offset = 0;
  e.size = kPackageDirectorySize;
  SetEntry(&damaged, 0, e);
  MemorySink sink;
  WalkCopy(damaged, "C:\\T", nullptr, &sink);
  ExpectSpoiledFrom(sink, 0, kEntryBadDigest);
}

// Randomised damage: whatever the package holds, the walk ends, reads and
// writes nothing out of place, and writes only data that matches its digest.
TEST(PackageWalk, RandomDamageNeverWritesOutsideTheTarget) {
  const std::vector<std::string> names = {"a.bin",
                                          "sub\\b.bin",
                                          "sub\\deeper\\c.bin",
                                          "..\\up.bin",
                                          "sub\\..\\..\\up.bin",
                                          "C:\\abs.bin",
                                          "\\root.bin",
                                          "/etc/passwd",
                                          "a/../../x",
                                          "...\\x",
                                          ".. \\x",
                                          "D:x",
                                          "x:stream",
                                          "",
                                          "\\\\server\\share\\x",
                                          std::string(128, 'z'),
                                          "ok.txt",
                                          "a\\.\\b"};
  std::mt19937 random(2024);
  const std::string target = "C:\\T";
  int written_total = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<ModelEntry> entries = SampleEntries(static_cast<uint32_t>(round), {1, 7, 64, 200});
    for (ModelEntry& e : entries) {
      if (random() % 4 == 0) e.name = names[random() % names.size()];
    }
    Bytes package = ModelPackage(entries);
    const int mutations = static_cast<int>(random() % 4);
    for (int m = 0; m < mutations; ++m) {
      switch (random() % 6) {
        case 0:  // flip a byte anywhere
          package[random() % package.size()] ^= static_cast<uint8_t>(1 + random() % 255);
          break;
        case 1:  // truncate
          package.resize(random() % (package.size() + 1));
          break;
        case 2: {  // swap two records
          if (package.size() < kPackageDirectorySize) break;
          const int a = static_cast<int>(random() % 25), b = static_cast<int>(random() % 25);
          const PackageEntry ea = EntryOf(package, a), eb = EntryOf(package, b);
          SetEntry(&package, a, eb);
          SetEntry(&package, b, ea);
          break;
        }
        case 3: {  // huge or random offset and size
          if (package.size() < kPackageDirectorySize) break;
          const int k = static_cast<int>(random() % 25);
          PackageEntry e = EntryOf(package, k);
          e.offset = random() % 2 ? 0xFFFFFFFFu - random() % 1000 : random() % 10000;
          e.size = random() % 2 ? 0xFFFFFFFFu - random() % 1000 : random() % 10000;
          SetEntry(&package, k, e);
          break;
        }
        case 4:  // a random name
          if (package.size() >= kPackageDirectorySize) {
            SetEntryName(&package, static_cast<int>(random() % 25), names[random() % names.size()]);
          }
          break;
        default: {  // a stretch of random bytes in the directory
          if (package.size() < kPackageDirectorySize) break;
          const size_t at = random() % kPackageDirectorySize;
          for (size_t i = at; i < std::min<size_t>(at + 16, package.size()); ++i) {
            package[i] = static_cast<uint8_t>(random());
          }
        }
      }
    }
    const char* filter = random() % 3 == 0 ? "sub\\b.bin" : nullptr;
    MemorySink sink;
    const int result = WalkCopy(package, target.c_str(), filter, &sink);
    if (package.size() <= kPackageDirectorySize) {
      ASSERT_EQ(result, -1);
      continue;
    }
    ASSERT_GE(result, 0);
    ASSERT_LE(result, 25);
    ASSERT_EQ(sink.statuses.size(), 25u);
    ASSERT_EQ(result, CountFailed(sink));
    // Nothing is written from the first failed entry on.
    const auto first_failed = std::find_if(sink.statuses.begin(), sink.statuses.end(),
                                           [](int status) { return status != kEntryVerified; });
    ASSERT_TRUE(std::all_of(first_failed, sink.statuses.end(),
                            [](int status) { return status != kEntryVerified; }))
        << "round " << round;
    for (const auto& file : sink.files) {
      const std::string inside = ResolveBelow(target, file.first);
      ASSERT_NE(inside, "") << "round " << round << " wrote " << file.first;
      // Only verified data is written: find its record and compare digests.
      bool matched = false;
      for (int i = 0; i < 25 && !matched; ++i) {
        const PackageEntry e = EntryOf(package, i);
        if (sink.statuses[static_cast<size_t>(i)] != kEntryVerified) continue;
        const Table d = Md5Of(file.second);
        matched = std::memcmp(d.data(), e.digest, 16) == 0;
      }
      ASSERT_TRUE(matched) << "round " << round << ": " << file.first;
      ++written_total;
    }
    for (const std::string& folder : sink.folders) {
      ASSERT_NE(ResolveBelow(target, folder), "") << "round " << round << " made " << folder;
    }
  }
  // Damage stops the writing, yet the undamaged packages and the entries
  // before the damage leave plenty to write.
  EXPECT_GT(written_total, 2000);
}

// ---------------------------------------------------------------------------
// CreateFolderChain's walk

struct FolderLog {
  std::vector<std::string> made;
  std::string fail_at;
};

int LogFolder(void* user, const char* folder) {
  FolderLog* log = static_cast<FolderLog*>(user);
  log->made.push_back(folder);
  return log->fail_at != folder;
}

std::vector<std::string> Chain(const char* path, int expected_result, const char* fail_at = "") {
  FolderLog log;
  log.fail_at = fail_at;
  EXPECT_EQ(WalkFolderChain(path, LogFolder, &log), expected_result) << (path ? path : "null");
  return log.made;
}

using Folders = std::vector<std::string>;

TEST(FolderChain, MakesEachFolderOutermostFirst) {
  EXPECT_EQ(Chain("C:\\A\\B", 1), (Folders{"C:\\A", "C:\\A\\B"}));
  EXPECT_EQ(Chain("C:\\A\\B\\", 1), (Folders{"C:\\A", "C:\\A\\B"}));
  EXPECT_EQ(Chain("C:\\x", 0), Folders{});  // 4 characters
  EXPECT_EQ(Chain(nullptr, 0), Folders{});
  EXPECT_EQ(Chain("C:\\ab", 1), (Folders{"C:\\ab"}));
  EXPECT_EQ(Chain("C:\\A\\B\\C\\D", 1),
            (Folders{"C:\\A", "C:\\A\\B", "C:\\A\\B\\C", "C:\\A\\B\\C\\D"}));
  // A network path: server and share are not made.
  EXPECT_EQ(Chain("\\\\server\\share\\A\\B", 1),
            (Folders{"\\\\server\\share\\A", "\\\\server\\share\\A\\B"}));
  EXPECT_EQ(Chain("\\\\server\\share", 1), Folders{});
  EXPECT_EQ(Chain("\\\\server\\share\\", 1), Folders{});
  EXPECT_EQ(Chain("C:\\", 0), Folders{});
  // A failure stops the walk.
  EXPECT_EQ(Chain("C:\\A\\B\\C", 0, "C:\\A\\B"), (Folders{"C:\\A", "C:\\A\\B"}));
  EXPECT_EQ(Chain("C:\\A\\B\\C", 0, "C:\\A\\B\\C"), (Folders{"C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}));
  // Too long for the 1,024-byte copy: refused, not cut short.
  const std::string long_path = "C:\\" + std::string(kPathSize, 'l');
  EXPECT_EQ(Chain(long_path.c_str(), 0), Folders{});
  const std::string fits = "C:\\" + std::string(kPathSize - 4, 'l');
  EXPECT_EQ(Chain(fits.c_str(), 1), Folders{fits});
}

}  // namespace
