// An install package from a damaged or hostile download: walked as the
// installer extracts it, over a sink that only records. Nothing is written
// outside the target folder, and no written name aliases another: each is
// written once, and each of its components is a plain name by a check of
// this file's own (no empty, dot or blank-ended component, no drive or
// stream). The first byte chooses the package: the bytes as they are, or a
// package built from them (one entry named by them) that must verify whole,
// and then again with one byte spoiled.
#include <set>
#include <string>
#include <vector>

#include "setup/package/package_builder.h"
#include "setup/package/package_reader.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr char kTarget[] = "C:\\T";

struct Written {
  std::set<std::string> paths;
};

// Every component of `relative` ('\\' or '/' between them) is a plain name.
bool PlainComponents(const std::string& relative) {
  size_t start = 0;
  for (size_t i = 0; i <= relative.size(); ++i) {
    if (i < relative.size() && relative[i] != '\\' && relative[i] != '/') continue;
    const std::string part = relative.substr(start, i - start);
    if (part.empty() || part.find_first_not_of(". ") == std::string::npos) return false;
    if (part.back() == '.' || part.back() == ' ' || part.find(':') != std::string::npos) return false;
    start = i + 1;
  }
  return true;
}

int Record(void* user, const char* path, const uint8_t*, uint32_t) {
  const std::string p = path;
  FUZZ_CHECK(p.compare(0, sizeof kTarget, std::string(kTarget) + "\\") == 0);
  FUZZ_CHECK(PlainComponents(p.substr(sizeof kTarget)));
  FUZZ_CHECK(static_cast<Written*>(user)->paths.insert(p).second);
  return 1;
}

int Walk(std::vector<uint8_t> image) {
  Written written;
  PackageSink sink = {};
  sink.user = &written;
  sink.write_file = Record;
  const int failed = WalkPackage(image.data(), static_cast<uint32_t>(image.size()), kTarget,
                                 nullptr, &sink);
  FUZZ_CHECK(failed >= -1 && failed <= kPackageEntryCount);
  return failed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint8_t mode = in.Take<uint8_t>();
  if ((mode & 1) == 0) {
    Walk(std::vector<uint8_t>(in.data, in.data + in.size));
    return 0;
  }
  // 25 entries of the delivered names, one renamed, the fuzzer's bytes as data.
  const uint32_t spoil = in.Take<uint32_t>();
  const int renamed = in.Take<uint8_t>() % kPackageEntryCount;
  char name[24] = {};
  for (size_t i = 0; i + 1 < sizeof name; ++i) name[i] = static_cast<char>(in.Take<uint8_t>());
  std::vector<std::vector<uint8_t>> data_of(kPackageEntryCount);
  PackageSource sources[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const size_t n = 1 + (in.size > 0 ? in.Take<uint8_t>() % 8 : 0);
    for (size_t j = 0; j < n; ++j) data_of[i].push_back(in.Take<uint8_t>());
    sources[i] = {i == renamed && name[0] != '\0' ? name : kPackageEntryNames[i],
                  data_of[i].data(), static_cast<uint32_t>(n)};
  }
  const uint32_t bytes = MeasurePackage(sources);
  if (bytes == 0) return 0;  // a name the builder refuses
  FUZZ_CHECK(bytes > kPackageDirectorySize);
  std::vector<uint8_t> package(bytes);
  FUZZ_CHECK(BuildPackage(sources, package.data(), bytes) == 1);
  FUZZ_CHECK(Walk(package) == 0);  // as built, every entry verifies
  package[spoil % bytes] ^= static_cast<uint8_t>(1 + (spoil >> 24) % 255);
  Walk(package);
  return 0;
}
