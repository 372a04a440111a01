// mkpackage on the host: its PE resource lookup on hand-made PE files (whole,
// truncated and damaged), and the tool itself run as a program on fixture
// folders, packages and executables.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "setup/package/package_builder.h"
#include "tests/setup/package/package_model.h"
#include "tools/mkpackage_pe.h"

namespace {

void Put16(Bytes* b, size_t at, uint32_t v) {
  (*b)[at] = static_cast<uint8_t>(v);
  (*b)[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    (*b)[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t kRsrcAddress = 0x3000;  // RVA of the resource section
constexpr size_t kRsrcFileOffset = 0x600;
constexpr size_t kPayloadInRsrc = 0x400;

// A resource directory at `at` with `named` named and `ids` numbered entries.
void Directory(Bytes* r, size_t at, uint32_t named, uint32_t ids) {
  Put16(r, at + 12, named);
  Put16(r, at + 14, ids);
}

void Entry(Bytes* r, size_t directory, int index, uint32_t name, uint32_t target) {
  Put32(r, directory + 16 + 8 * static_cast<size_t>(index), name);
  Put32(r, directory + 16 + 8 * static_cast<size_t>(index) + 4, target);
}

// A small PE file (PE32 or PE32+) with a code section and a resource section
// holding: a named type (skipped), icon 1, RCDATA 99 and RCDATA 100 in two
// languages, the first of which holds `payload`.
Bytes MakePe(bool plus, const Bytes& payload) {
  Bytes r(kPayloadInRsrc + payload.size(), 0);
  const uint32_t sub = 0x80000000u;
  Directory(&r, 0x000, 1, 2);
  Entry(&r, 0x000, 0, sub | 0x200, sub | 0x040);  // named type "NAMED"
  Entry(&r, 0x000, 1, 3, sub | 0x040);            // icons
  Entry(&r, 0x000, 2, 10, sub | 0x080);           // RCDATA
  Directory(&r, 0x040, 0, 1);
  Entry(&r, 0x040, 0, 1, sub | 0x0C0);
  Directory(&r, 0x080, 0, 2);
  Entry(&r, 0x080, 0, 99, sub | 0x0C0);
  Entry(&r, 0x080, 1, 100, sub | 0x100);
  Directory(&r, 0x0C0, 0, 1);
  Entry(&r, 0x0C0, 0, 0x409, 0x180);
  Directory(&r, 0x100, 0, 2);
  Entry(&r, 0x100, 0, 0x407, 0x1A0);
  Entry(&r, 0x100, 1, 0x409, 0x1C0);
  Put32(&r, 0x180, kRsrcAddress + 0x300);  // "decoy"
  Put32(&r, 0x184, 5);
  Put32(&r, 0x1A0, kRsrcAddress + kPayloadInRsrc);
  Put32(&r, 0x1A4, static_cast<uint32_t>(payload.size()));
  Put32(&r, 0x1C0, kRsrcAddress + 0x300);
  Put32(&r, 0x1C4, 5);
  Put16(&r, 0x200, 5);
  for (int i = 0; i < 5; ++i) Put16(&r, 0x202 + 2 * static_cast<size_t>(i), "NAMED"[i]);
  std::memcpy(r.data() + 0x300, "decoy", 5);
  std::copy(payload.begin(), payload.end(), r.begin() + kPayloadInRsrc);
  r.resize((r.size() + 0x1FF) & ~size_t{0x1FF}, 0);

  Bytes pe(kRsrcFileOffset, 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32(&pe, 0x3C, 0x80);
  std::memcpy(pe.data() + 0x80, "PE\0\0", 4);
  const size_t coff = 0x84;
  Put16(&pe, coff, plus ? 0x8664 : 0x14C);
  Put16(&pe, coff + 2, 2);  // sections
  const uint32_t optional_size = plus ? 240 : 224;
  Put16(&pe, coff + 16, optional_size);
  const size_t optional = coff + 20;
  Put16(&pe, optional, plus ? 0x20B : 0x10B);
  const size_t directories = optional + (plus ? 112 : 96);
  Put32(&pe, directories - 4, 16);  // NumberOfRvaAndSizes
  Put32(&pe, directories + 2 * 8, kRsrcAddress);
  Put32(&pe, directories + 2 * 8 + 4, static_cast<uint32_t>(r.size()));
  const size_t sections = optional + optional_size;
  std::memcpy(pe.data() + sections, ".text", 5);
  Put32(&pe, sections + 8, 0x100);
  Put32(&pe, sections + 12, 0x1000);
  Put32(&pe, sections + 16, 0x200);
  Put32(&pe, sections + 20, 0x400);
  std::memcpy(pe.data() + sections + 40, ".rsrc", 5);
  Put32(&pe, sections + 40 + 8, static_cast<uint32_t>(r.size()));
  Put32(&pe, sections + 40 + 12, kRsrcAddress);
  Put32(&pe, sections + 40 + 16, static_cast<uint32_t>(r.size()));
  Put32(&pe, sections + 40 + 20, static_cast<uint32_t>(kRsrcFileOffset));
  pe.insert(pe.end(), r.begin(), r.end());
  return pe;
}

TEST(PeResource, FindsNumberedResourcesInBothFormats) {
  const Bytes payload = {1, 2, 3, 4, 5, 6, 7};
  for (bool plus : {false, true}) {
    const Bytes pe = MakePe(plus, payload);
    size_t offset = 0;
    uint32_t size = 0;
    ASSERT_EQ(FindPeResource(pe.data(), pe.size(), 10, 100, &offset, &size), 1) << plus;
    EXPECT_EQ(offset, kRsrcFileOffset + kPayloadInRsrc);
    EXPECT_EQ(size, payload.size());
    ASSERT_EQ(FindPeResource(pe.data(), pe.size(), 10, 99, &offset, &size), 1);
    EXPECT_EQ(std::string(pe.begin() + static_cast<long>(offset),
                          pe.begin() + static_cast<long>(offset + size)),
              "decoy");
    EXPECT_EQ(FindPeResource(pe.data(), pe.size(), 3, 1, &offset, &size), 1);
    EXPECT_EQ(FindPeResource(pe.data(), pe.size(), 10, 101, &offset, &size), 0);
    EXPECT_EQ(FindPeResource(pe.data(), pe.size(), 14, 100, &offset, &size), 0);
  }
  const Bytes not_pe = {'M', 'Z', 0, 0};
  size_t offset = 0;
  uint32_t size = 0;
  EXPECT_EQ(FindPeResource(not_pe.data(), not_pe.size(), 10, 100, &offset, &size), 0);
}

TEST(PeResource, TruncatedOrDamagedFilesNeverReadOutside) {
  const Bytes payload(100, 0xAB);
  for (bool plus : {false, true}) {
    const Bytes pe = MakePe(plus, payload);
    for (size_t length = 0; length <= pe.size(); ++length) {
      const Bytes cut(pe.begin(), pe.begin() + static_cast<long>(length));
      size_t offset = 0;
      uint32_t size = 0;
      const int found = FindPeResource(cut.data(), cut.size(), 10, 100, &offset, &size);
      if (length >= kRsrcFileOffset + kPayloadInRsrc + payload.size()) {
        EXPECT_EQ(found, 1) << length;
      } else {
        EXPECT_EQ(found, 0) << length;
      }
    }
    std::mt19937 random(plus ? 1 : 2);
    for (int round = 0; round < 20000; ++round) {
      Bytes damaged = pe;
      const size_t at = random() % (kRsrcFileOffset + 0x200);  // headers and the directory
      const int width = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < width && at + static_cast<size_t>(i) < damaged.size(); ++i) {
        damaged[at + static_cast<size_t>(i)] = static_cast<uint8_t>(random());
      }
      size_t offset = 0;
      uint32_t size = 0;
      if (FindPeResource(damaged.data(), damaged.size(), 10, 100, &offset, &size)) {
        ASSERT_LE(offset, damaged.size());
        ASSERT_LE(size, damaged.size() - offset);
      }
    }
  }
}

TEST(PeResource, DataMustLieInsideItsSection) {
  // The data entry claims more bytes than the section holds; the file goes on
  // (an overlay), but those bytes are not part of the resource section.
  const Bytes payload(64, 0x11);
  Bytes pe = MakePe(false, payload);
  const size_t section_end = pe.size();
  pe.resize(pe.size() + 4096, 0x22);
  const size_t data_entry = kRsrcFileOffset + 0x1A0;
  const uint32_t too_long =
      static_cast<uint32_t>(section_end - kRsrcFileOffset - kPayloadInRsrc + 1);
  Put32(&pe, data_entry + 4, too_long);
  size_t offset = 0;
  uint32_t size = 0;
  EXPECT_EQ(FindPeResource(pe.data(), pe.size(), 10, 100, &offset, &size), 0);
  Put32(&pe, data_entry + 4, too_long - 1);
  EXPECT_EQ(FindPeResource(pe.data(), pe.size(), 10, 100, &offset, &size), 1);
}

// ---------------------------------------------------------------------------
// The tool as a program.

struct ToolRun {
  int status;
  std::string output;  // stdout and stderr
};

ToolRun Tool(const std::string& arguments) {
  // One file a process: ctest runs the tests of this file side by side.
  const std::string out =
      testing::TempDir() + "mkpackage_output_" + std::to_string(getpid()) + ".txt";
  const std::string command = std::string(QX_MKPACKAGE) + " " + arguments + " >" + out + " 2>&1";
  const int raw = std::system(command.c_str());
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// A fresh folder for one test.
struct Scratch {
  std::string path;
  Scratch() {
    std::string pattern = testing::TempDir() + "mkpackage_XXXXXX";
    path = mkdtemp(&pattern[0]);
  }
  ~Scratch() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

const std::string kFixture = QX_FIXTURE_DIR;

Bytes FixturePackage() {
  std::vector<Bytes> files;
  PackageSource sources[kPackageEntryCount];
  for (int i = 0; i < kPackageEntryCount; ++i)
    files.push_back(ReadFile(kFixture + "/" + kPackageEntryNames[i]));
  for (int i = 0; i < kPackageEntryCount; ++i) {
    const Bytes& f = files[static_cast<size_t>(i)];
    sources[i] = {kPackageEntryNames[i], f.data(), static_cast<uint32_t>(f.size())};
  }
  Bytes package(MeasurePackage(sources));
  BuildPackage(sources, package.data(), static_cast<uint32_t>(package.size()));
  return package;
}

TEST(MkpackageTool, HelpAndUsage) {
  const ToolRun help = Tool("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* word :
       {"build <folder> -o <package>", "list <package-or-exe>", "verify <package-or-exe>",
        "extract <package-or-exe> <folder> [name]", "RCDATA 100"}) {
    EXPECT_NE(help.output.find(word), std::string::npos) << word;
  }
  EXPECT_EQ(Tool("verify --help").output, help.output);  // wherever it stands
  // A usage error is one line that names what is wrong and points to --help.
  const std::pair<std::string, std::string> errors[] = {
      {"", "no command given"},
      {"frobnicate x", "unknown command 'frobnicate'"},
      {"--bogus", "unknown option '--bogus'"},
      {"verify", "verify needs a package or executable"},
      {"verify a b", "unexpected argument 'b'"},
      {"build " + kFixture, "build needs a folder and -o <package>"},
      {"extract a", "extract needs a package or executable and a folder"},
  };
  for (const auto& [arguments, message] : errors) {
    const ToolRun run = Tool(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.output, "mkpackage: " + message + " (see mkpackage --help)\n") << arguments;
  }
}

TEST(MkpackageTool, RefusesWhatIsNoPackageWhateverItsSize) {
  Scratch s;
  const Bytes text(ReadFile(kFixture + "/readme.txt"));
  for (size_t size : {size_t{100}, size_t{3901}, size_t{20000}}) {
    Bytes bytes;
    while (bytes.size() < size) bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.resize(size);
    const std::string file = s / "readme.txt";
    WriteFile(file, bytes);
    for (const std::string& command :
         {"list " + file, "verify " + file, "extract " + file + " " + (s / "out")}) {
      const ToolRun run = Tool(command);
      EXPECT_EQ(run.status, 1) << command << size;
      EXPECT_NE(run.output.find("not an install package"), std::string::npos) << run.output;
    }
  }
  const ToolRun folder = Tool("verify " + s.path);
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.output, "mkpackage: " + s.path + " is a folder\n");
}

TEST(MkpackageTool, BuildListVerifyExtract) {
  Scratch s;
  const ToolRun built = Tool("build " + kFixture + " -o " + (s / "p.bin"));
  ASSERT_EQ(built.status, 0) << built.output;
  const Bytes package = ReadFile(s / "p.bin");
  EXPECT_EQ(package, FixturePackage());  // exactly what the builder makes
  EXPECT_FALSE(Exists(s / "p.bin.part"));

  const ToolRun list = Tool("list " + (s / "p.bin"));
  EXPECT_EQ(list.status, 0);
  for (int i = 0; i < kPackageEntryCount; ++i) {
    EXPECT_NE(list.output.find(kPackageEntryNames[i]), std::string::npos);
  }
  EXPECT_NE(list.output.find("3900"), std::string::npos);

  const ToolRun verify = Tool("verify " + (s / "p.bin"));
  EXPECT_EQ(verify.status, 0) << verify.output;
  EXPECT_NE(verify.output.find("all 25 entries verified"), std::string::npos);
  EXPECT_EQ(ReadFile(s / "p.bin"), package);  // verification changes nothing

  ASSERT_EQ(Tool("extract " + (s / "p.bin") + " " + (s / "out/deeper")).status, 0);
  for (int i = 0; i < kPackageEntryCount; ++i) {
    EXPECT_EQ(ReadFile(s / "out/deeper/" + kPackageEntryNames[i]),
              ReadFile(kFixture + "/" + kPackageEntryNames[i]))
        << kPackageEntryNames[i];
  }
  ASSERT_EQ(Tool("extract " + (s / "p.bin") + " " + (s / "one") + " readme.txt").status, 0);
  EXPECT_TRUE(Exists(s / "one/readme.txt"));
  EXPECT_FALSE(Exists(s / "one/pin_in.ico"));
  const ToolRun wrong_case = Tool("extract " + (s / "p.bin") + " " + (s / "none") + " README.TXT");
  EXPECT_EQ(wrong_case.status, 1);
  EXPECT_NE(wrong_case.output.find("no entry is called"), std::string::npos);
  EXPECT_FALSE(Exists(s / "none/readme.txt"));
}

TEST(MkpackageTool, VerifyReportsEachBadEntryAndWritesNothing) {
  Scratch s;
  Bytes package = FixturePackage();
  const PackageEntry e = EntryOf(package, 13);
  package[e.offset + e.size / 2] ^= 0x10;
  WriteFile(s / "bad.bin", package);
  const ToolRun verify = Tool("verify " + (s / "bad.bin"));
  EXPECT_EQ(verify.status, 1);
  const std::string first = "entry 14 \"QUILLAN_Setup.exe\": offset " + std::to_string(e.offset) +
                            ", size " + std::to_string(e.size) + ": digest mismatch";
  EXPECT_NE(verify.output.find(first), std::string::npos) << verify.output;
  EXPECT_NE(verify.output.find("entry 15 \"QUILLAN_Setup_x64.exe\""), std::string::npos);
  EXPECT_EQ(verify.output.find("entry 13 "), std::string::npos);
  // The installer writes nothing from the damaged entry on: the tool reports
  // the same entries, down to the last one.
  EXPECT_NE(
      verify.output.find("entry 25 \"qxregsvr64.exe\": offset " +
                         std::to_string(EntryOf(package, 24).offset) + ", size " +
                         std::to_string(EntryOf(package, 24).size) + ": follows a failed entry"),
      std::string::npos)
      << verify.output;
  EXPECT_NE(verify.output.find("12 of 25 entries failed"), std::string::npos) << verify.output;
  EXPECT_EQ(ReadFile(s / "bad.bin"), package);
  // An entry reaching past the end is reported with its offset too.
  Bytes outside = FixturePackage();
  PackageEntry last = EntryOf(outside, 24);
  last.offset = 0xFFFFFF00u;
  SetEntry(&outside, 24, last);
  WriteFile(s / "outside.bin", outside);
  const ToolRun past = Tool("verify " + (s / "outside.bin"));
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.output.find("entry 25 \"qxregsvr64.exe\": offset 4294967040"), std::string::npos)
      << past.output;
  EXPECT_NE(past.output.find("reaches past the end"), std::string::npos);
}

TEST(MkpackageTool, BuildRefusesMissingAndEmptyFiles) {
  Scratch s;
  const std::string folder = s / "product";
  ASSERT_EQ(std::system(("cp -r '" + kFixture + "' '" + folder + "'").c_str()), 0);
  std::remove((folder + "/QUILLAN_Setup.exe").c_str());
  const ToolRun missing = Tool("build " + folder + " -o " + (s / "p.bin"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("missing file " + folder + "/QUILLAN_Setup.exe (entry 14 of 25)"),
            std::string::npos)
      << missing.output;
  EXPECT_FALSE(Exists(s / "p.bin"));

  WriteFile(folder + "/QUILLAN_Setup.exe", {});
  const ToolRun empty = Tool("build " + folder + " -o " + (s / "p.bin"));
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.output.find("empty"), std::string::npos);
  EXPECT_FALSE(Exists(s / "p.bin"));
}

TEST(MkpackageTool, ReadsThePackageOutOfAnExecutable) {
  Scratch s;
  const Bytes package = FixturePackage();
  WriteFile(s / "setup.exe", MakePe(false, package));
  const ToolRun verify = Tool("verify " + (s / "setup.exe"));
  EXPECT_EQ(verify.status, 0) << verify.output;
  const ToolRun list = Tool("list " + (s / "setup.exe"));
  EXPECT_NE(list.output.find("resource RCDATA 100 at file offset " +
                             std::to_string(kRsrcFileOffset + kPayloadInRsrc)),
            std::string::npos)
      << list.output;
  ASSERT_EQ(Tool("extract " + (s / "setup.exe") + " " + (s / "out")).status, 0);
  EXPECT_EQ(ReadFile(s / "out/readme.txt"), ReadFile(kFixture + "/readme.txt"));

  // The damaged copy inside an executable: offsets in the package and the file.
  Bytes damaged = package;
  const PackageEntry e = EntryOf(package, 2);
  damaged[e.offset] ^= 1;
  WriteFile(s / "bad.exe", MakePe(true, damaged));
  const ToolRun bad = Tool("verify " + (s / "bad.exe"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.output.find("offset " + std::to_string(e.offset) + " (file offset " +
                            std::to_string(kRsrcFileOffset + kPayloadInRsrc + e.offset) + ")"),
            std::string::npos)
      << bad.output;

  WriteFile(s / "plain.exe", MakePe(false, Bytes(3900, 0)));
  EXPECT_EQ(Tool("verify " + (s / "plain.exe")).status, 1);  // 3,900 bytes: no package
  WriteFile(s / "nothing.exe", {'M', 'Z', 1, 2, 3});
  const ToolRun nothing = Tool("verify " + (s / "nothing.exe"));
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.output.find("without resource RCDATA 100"), std::string::npos);
}

TEST(MkpackageTool, ExtractKeepsHostilePackagesInsideTheFolder) {
  Scratch s;
  std::vector<ModelEntry> entries = SampleEntries(30, {20, 50});
  // Last: nothing after a failed entry is written.
  entries[1].name = "sub\\inner.txt";
  entries[23].name = "..\\..\\escaped.txt";
  entries[24].name = "/tmp/absolute.txt";
  WriteFile(s / "hostile.bin", ModelPackage(entries));
  const ToolRun run = Tool("extract " + (s / "hostile.bin") + " " + (s / "a/b"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("unsafe or unterminated name"), std::string::npos) << run.output;
  EXPECT_FALSE(Exists(s / "escaped.txt"));
  EXPECT_FALSE(Exists(s / "a/escaped.txt"));
  EXPECT_FALSE(Exists(s / "a/b/escaped.txt"));
  EXPECT_EQ(ReadFile(s / "a/b/sub/inner.txt"), entries[1].data);
  EXPECT_EQ(ReadFile(s / "a/b/readme.txt"), entries[21].data);
}

}  // namespace
