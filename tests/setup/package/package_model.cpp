// Test models of the install package (see package_model.h).
#include "tests/setup/package/package_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include "setup/package/md5.h"
#include "setup/package/package_key.h"

void ModelCipher(Bytes* bytes, uint32_t key, const Table& table) {
  const uint64_t m = 1ull << 32;
  const uint64_t n = bytes->size();
  uint64_t s = key;
  for (uint64_t j = 0; j < n; ++j) {
    const uint64_t r = n - j;
    const uint64_t sum = (s + r) % m;
    const uint64_t p = (sum * sum) % m;
    const uint64_t k = ((p % 256) + ((p / 256) % 256) + table[r % 16]) % 256;
    (*bytes)[j] = static_cast<uint8_t>((*bytes)[j] ^ k);
    s = p / 256 + (p >= m / 2 ? 0xFF000000ull : 0);  // bits 24 to 31 copy bit 31
  }
}

void ModelAdvance(uint32_t* key, Table* table, const Table& stored) {
  const uint64_t m = 1ull << 32;
  const uint64_t square = (static_cast<uint64_t>(*key) * *key) % m;
  const uint64_t shifted = (square * 256) % m;
  *key = static_cast<uint32_t>(shifted - shifted % 256 + stored[0]);
  *table = stored;
}

Table Md5Of(const Bytes& bytes) {
  Table digest;
  ComputeMd5(bytes.data(), bytes.size(), digest.data());
  return digest;
}

Bytes ModelPackage(const std::vector<ModelEntry>& entries) {
  Bytes package(kPackageDirectorySize, 0);
  uint32_t key = kPackageKey;
  Table table = {};
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const ModelEntry& e = entries[static_cast<size_t>(i)];
    PackageEntry record = {};
    std::memcpy(record.name, e.name.data(), std::min<size_t>(e.name.size(), kPackageNameSize));
    record.offset = static_cast<uint32_t>(package.size());
    record.size = static_cast<uint32_t>(e.data.size());
    const Table plain = Md5Of(e.data);
    std::memcpy(record.digest, plain.data(), 16);
    Bytes stored = e.data;
    ModelCipher(&stored, key, table);
    ModelAdvance(&key, &table, Md5Of(stored));
    package.insert(package.end(), stored.begin(), stored.end());
    StorePackageEntry(package.data(), i, &record);
  }
  return package;
}

std::vector<ModelEntry> SampleEntries(uint32_t seed, const std::vector<uint32_t>& sizes) {
  std::mt19937 random(seed);
  std::vector<ModelEntry> entries;
  for (int i = 0; i < kPackageEntryCount; ++i) {
    ModelEntry e;
    e.name = kPackageEntryNames[i];
    e.data.resize(sizes[static_cast<size_t>(i) % sizes.size()]);
    for (uint8_t& b : e.data) b = static_cast<uint8_t>(random());
    entries.push_back(e);
  }
  return entries;
}

PackageEntry EntryOf(const Bytes& package, int index) {
  PackageEntry entry;
  LoadPackageEntry(package.data(), index, &entry);
  return entry;
}

void SetEntry(Bytes* package, int index, const PackageEntry& entry) {
  StorePackageEntry(package->data(), index, &entry);
}

void SetEntryName(Bytes* package, int index, const std::string& name) {
  PackageEntry entry = EntryOf(*package, index);
  std::memset(entry.name, 0, sizeof entry.name);
  std::memcpy(entry.name, name.data(), std::min<size_t>(name.size(), kPackageNameSize));
  SetEntry(package, index, entry);
}

static int SinkCreateFolders(void* user, const char* folder) {
  static_cast<MemorySink*>(user)->folders.push_back(folder);
  return 1;
}

static int SinkWriteFile(void* user, const char* path, const uint8_t* bytes, uint32_t size) {
  MemorySink* sink = static_cast<MemorySink*>(user);
  if (sink->failing_path == path) return 0;
  sink->files[path] = Bytes(bytes, bytes + size);
  sink->write_order.push_back(path);
  return 1;
}

static void SinkEntryDone(void* user, int index, const PackageEntry*, int status, int selected) {
  MemorySink* sink = static_cast<MemorySink*>(user);
  if (static_cast<size_t>(index) != sink->statuses.size()) std::abort();  // order is part of it
  sink->statuses.push_back(status);
  sink->selected.push_back(selected);
}

MemorySink::MemorySink() {
  sink.user = this;
  sink.create_folders = SinkCreateFolders;
  sink.write_file = SinkWriteFile;
  sink.entry_done = SinkEntryDone;
}

int WalkCopy(const Bytes& package, const char* target, const char* filter, MemorySink* sink) {
  Bytes image = package;
  return WalkPackage(image.empty() ? nullptr : image.data(), static_cast<uint32_t>(image.size()),
                     target, filter, &sink->sink);
}

std::string ResolveBelow(const std::string& target, const std::string& path) {
  if (path.compare(0, target.size(), target) != 0) return "";
  std::vector<std::string> parts;
  std::string part;
  const std::string rest = path.substr(target.size()) + "\\";
  for (char c : rest) {
    if (c != '\\' && c != '/') {
      part += c;
      continue;
    }
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) {
      if (part == "." || part == "..") break;
      part.pop_back();
    }
    if (part.find(':') != std::string::npos) return "";  // a drive or a stream
    if (part == "..") {
      if (parts.empty()) return "";
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  }
  if (parts.empty()) return "";
  std::string resolved = target;
  for (const std::string& p : parts) resolved += "\\" + p;
  return resolved;
}
