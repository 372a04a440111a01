// The current-set file on Windows: real files in a scratch start directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "generator/app/current_set.h"
#include "generator/files/set_file.h"

namespace {

// A fresh scratch directory made the current one for the test's duration.
struct ScratchDirectory {
  char previous[MAX_PATH];
  std::string path;

  ScratchDirectory() {
    GetCurrentDirectoryA(sizeof previous, previous);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path = std::string(temp) + "setfile_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount());
    CreateDirectoryA(path.c_str(), nullptr);
    SetCurrentDirectoryA(path.c_str());
  }
  ~ScratchDirectory() {
    DeleteFileA((path + "\\" + kSetFileName).c_str());
    SetCurrentDirectoryA(previous);
    RemoveDirectoryA(path.c_str());
  }
};

void WriteBytes(const char* path, const std::vector<unsigned char>& bytes) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<unsigned char> FileBytes(const GeneratorSettings& s) {
  std::vector<unsigned char> bytes(kSetFileBytes);
  std::memcpy(bytes.data(), kSetFileIdentification, kSetFileHeaderBytes);
  std::memcpy(bytes.data() + kSetFileHeaderBytes, &s, sizeof s);
  return bytes;
}

struct EngineHolder {
  GeneratorEngine* slot = CreateGenerator();
  EngineHolder() { SetGeneratorFormat(&slot, 44100.0f, 2); }
  ~EngineHolder() { ReleaseGenerator(&slot); }
  GeneratorSettings Get() {
    GeneratorSettings s;
    GetGeneratorSettings(slot, &s);
    return s;
  }
};

TEST(SetFile, SavedInTheStartDirectoryAndLoadedSwitchedOff) {
  ScratchDirectory dir;
  char start[1001];
  char path[kPathBytes];
  ASSERT_EQ(InitSetFilePath(start, sizeof start, path, sizeof path), 1);
  EXPECT_EQ(std::string(start), dir.path);
  EXPECT_EQ(std::string(path), dir.path + "\\" + kSetFileName);

  EngineHolder first;
  EXPECT_EQ(LoadCurrentSet(first.slot, path), 0);  // no file yet: defaults stay
  const GeneratorSettings untouched = first.Get();
  EXPECT_EQ(std::memcmp(&kGeneratorDefaults, &untouched, sizeof untouched), 0);

  GeneratorSettings s = first.Get();
  s.on = 1;
  s.frequency_hz = 440.0f;
  s.waveform = kWaveTriangle;
  s.pan = -0.25f;
  s.reserved_0_8[2] = 12345;
  SetGeneratorSettings(first.slot, &s);
  ASSERT_EQ(SaveCurrentSet(first.slot, path), 1);
  EXPECT_NE(GetFileAttributesA((dir.path + "\\" + kSetFileName).c_str()), INVALID_FILE_ATTRIBUTES);

  EngineHolder second;
  ASSERT_EQ(LoadCurrentSet(second.slot, path), 1);
  GeneratorSettings loaded = second.Get();
  EXPECT_EQ(loaded.on, 0);
  loaded.on = 1;
  EXPECT_EQ(std::memcmp(&loaded, &s, sizeof s), 0);

  // The file holds the identification and the record, 232 bytes.
  unsigned char header[kSetFileHeaderBytes];
  GeneratorSettings body;
  ASSERT_EQ(ReadSetFile(path, header, sizeof header, &body, sizeof body), 1);
  EXPECT_EQ(std::memcmp(header, kSetFileIdentification, sizeof header), 0);
  EXPECT_EQ(body.on, 1);  // saved while sounding
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExA(path, GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, 232u);
}

TEST(SetFile, ShortForeignAndLongFiles) {
  ScratchDirectory dir;
  char start[1001];
  char path[kPathBytes];
  ASSERT_EQ(InitSetFilePath(start, sizeof start, path, sizeof path), 1);
  GeneratorSettings s = kGeneratorDefaults;
  s.frequency_hz = 123.0f;

  std::vector<unsigned char> bytes = FileBytes(s);
  bytes.resize(231);
  WriteBytes(path, bytes);
  EngineHolder a;
  EXPECT_EQ(LoadCurrentSet(a.slot, path), 0);
  EXPECT_FLOAT_EQ(a.Get().frequency_hz, 1000.0f);

  bytes = FileBytes(s);
  bytes[47] = 'R';  // "…Generator" becomes "…GeneratoR"
  WriteBytes(path, bytes);
  EXPECT_EQ(LoadCurrentSet(a.slot, path), 0);
  EXPECT_FLOAT_EQ(a.Get().frequency_hz, 1000.0f);

  bytes = FileBytes(s);
  bytes.resize(400, 0xEE);  // trailing bytes are ignored
  WriteBytes(path, bytes);
  EXPECT_EQ(LoadCurrentSet(a.slot, path), 1);
  EXPECT_FLOAT_EQ(a.Get().frequency_hz, 123.0f);

  // A locked file is ignored like a missing one.
  HANDLE lock = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EngineHolder b;
  EXPECT_EQ(LoadCurrentSet(b.slot, path), 0);
  EXPECT_EQ(SaveCurrentSet(b.slot, path), 0);
  CloseHandle(lock);
  // The locked set kept its bytes, and its failed save left no new file.
  EXPECT_EQ(LoadCurrentSet(b.slot, path), 1);
  EXPECT_FLOAT_EQ(b.Get().frequency_hz, 123.0f);
  const std::string fresh = std::string(path) + ".new";
  EXPECT_EQ(GetFileAttributesA(fresh.c_str()), INVALID_FILE_ATTRIBUTES);

  // A leftover new file that is read-only, hidden and system does not stop
  // the saves that follow.
  WriteBytes(fresh.c_str(), bytes);
  SetFileAttributesA(fresh.c_str(),
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  GeneratorSettings changed = b.Get();
  changed.frequency_hz = 456.0f;
  SetGeneratorSettings(b.slot, &changed);
  EXPECT_EQ(SaveCurrentSet(b.slot, path), 1);
  EngineHolder c;
  ASSERT_EQ(LoadCurrentSet(c.slot, path), 1);
  EXPECT_FLOAT_EQ(c.Get().frequency_hz, 456.0f);
  EXPECT_EQ(GetFileAttributesA(fresh.c_str()), INVALID_FILE_ATTRIBUTES);

  // A hard link to another file there is no leftover: the save fails cleanly.
  const std::string other = dir.path + "\\other.set";
  WriteBytes(other.c_str(), bytes);
  ASSERT_TRUE(CreateHardLinkA(fresh.c_str(), other.c_str(), nullptr));
  EXPECT_EQ(SaveCurrentSet(b.slot, path), 0);
  EXPECT_EQ(LoadCurrentSet(c.slot, path), 1);
  DeleteFileA(fresh.c_str());
  DeleteFileA(other.c_str());
}

// A save that fails on the way (its body can't be read) keeps the old set
// whole and leaves no new file behind.
TEST(SetFile, AFailedSaveKeepsTheOldSet) {
  ScratchDirectory dir;
  char start[1001];
  char path[kPathBytes];
  ASSERT_EQ(InitSetFilePath(start, sizeof start, path, sizeof path), 1);
  GeneratorSettings s = kGeneratorDefaults;
  s.frequency_hz = 321.0f;
  ASSERT_EQ(WriteSetFile(path, kSetFileIdentification, kSetFileHeaderBytes, &s, sizeof s), 1);
  void* unreadable = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
  EXPECT_EQ(WriteSetFile(path, kSetFileIdentification, kSetFileHeaderBytes, unreadable, 184), 0);
  VirtualFree(unreadable, 0, MEM_RELEASE);
  EngineHolder e;
  ASSERT_EQ(LoadCurrentSet(e.slot, path), 1);
  EXPECT_FLOAT_EQ(e.Get().frequency_hz, 321.0f);
  EXPECT_EQ(GetFileAttributesA((std::string(path) + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SetFile, HostileValuesLoadAndRenderWithoutFault) {
  ScratchDirectory dir;
  char start[1001];
  char path[kPathBytes];
  ASSERT_EQ(InitSetFilePath(start, sizeof start, path, sizeof path), 1);
  GeneratorSettings s = kGeneratorDefaults;
  s.frequency_hz = NAN;
  s.level_db = 1e30f;
  s.duration_s = -INFINITY;
  s.sweep_flags = -1;
  s.sweep_start_hz = 0.0f;
  s.sweep_time_s = 0.0f;
  s.gate = 1;
  s.gate_on_s = 3e38f;
  s.gate_off_s = NAN;
  s.pan = NAN;
  s.waveform = 77;
  WriteBytes(path, FileBytes(s));
  EngineHolder e;
  ASSERT_EQ(LoadCurrentSet(e.slot, path), 1);
  const GeneratorSettings loaded = e.Get();
  EXPECT_EQ(loaded.frequency_hz, kGeneratorDefaults.frequency_hz);  // not finite: the default
  EXPECT_EQ(loaded.level_db, 0.0f);                                 // beyond the knob: its end
  EXPECT_EQ(loaded.waveform, 77);                                   // silence, as stored
  // The engine takes any record, however it came: the hostile one as it is.
  s.on = 1;
  SetGeneratorSettings(e.slot, &s);
  std::vector<int16_t> block(2 * 4408);
  for (int i = 0; i < 20; ++i) RenderGenerator(&e.slot, block.data(), 4408 * 4);
  for (int16_t v : block) EXPECT_NE(v, -32768);
}

// The start directory is the folder itself, whatever its last name looks
// like; a directory that does not fit gives no set file at all.
TEST(SetFile, StartDirectoryNamesAndRoom) {
  ScratchDirectory dir;
  for (const char* name : {"john.smith", "Generator 1.2", "a.b.c", "plain"}) {
    const std::string folder = dir.path + "\\" + name;
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << name;
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    char start[1001];
    char path[kPathBytes];
    EXPECT_EQ(InitSetFilePath(start, sizeof start, path, sizeof path), 1) << name;
    EXPECT_EQ(std::string(start), folder);
    EXPECT_EQ(std::string(path), folder + "\\" + kSetFileName);
    // No room for the directory: nothing, rather than some other folder.
    EXPECT_EQ(InitSetFilePath(start, 8, path, sizeof path), 0);
    EXPECT_STREQ(start, "");
    EXPECT_STREQ(path, "");
    // Room for the directory but not for the file name after it.
    EXPECT_EQ(InitSetFilePath(start, sizeof start, path, folder.size() + 4), 0);
    EXPECT_EQ(std::string(start), folder);
    EXPECT_STREQ(path, "");
    SetCurrentDirectoryA(dir.path.c_str());
    RemoveDirectoryA(folder.c_str());
  }
}

TEST(SetFile, StartDirectoryTooLongFailsCleanly) {
  char path[kPathBytes];
  EXPECT_EQ(BuildSetFilePath(std::string(1010, 'x').c_str(), path, sizeof path), 0);
  EXPECT_STREQ(path, "");
  EngineHolder e;
  EXPECT_EQ(LoadCurrentSet(e.slot, path), 0);
  EXPECT_EQ(SaveCurrentSet(e.slot, path), 0);
}

}  // namespace
