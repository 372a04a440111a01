// The operations the procedures are made of, one by one under Wine, in a
// prefix made for this group alone: the registry writers and reader with
// their bounds, DeleteKeyTree, RemoveFolderTree with what can't be removed,
// the folders the product goes to, shortcuts, the worker and the status text
// hand-over between threads.
#include <gtest/gtest.h>
// gtest first: it brings windows.h in the form it needs.
#include <aclapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/setup/procedures/procedure_support.h"

namespace {

const char kTestKey[] = "Software\\QxProcedureTest";

void SetRawValue(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

TEST(ProcedureParts, ReadUserStringFailsCleanlyWhenTheValueDoesNotFit) {
  DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
  const std::string ten = "0123456789";
  SetRawValue("ten", REG_SZ, ten.c_str(), 11);
  SetRawValue("unterminated", REG_SZ, ten.data(), 10);
  const std::string longest(4049, 'x');  // with its NUL, the 4,050 bytes ever copied
  SetRawValue("longest", REG_SZ, longest.c_str(), 4050);
  const std::string too_long(4050, 'y');
  SetRawValue("too_long", REG_SZ, too_long.c_str(), 4051);
  const std::string huge(5000, 'z');  // beyond the 4,096 bytes asked for
  SetRawValue("huge", REG_SZ, huge.c_str(), 5001);
  const DWORD number = 5;
  SetRawValue("number", REG_DWORD, &number, 4);

  char buffer[5000];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ReadUserString(kTestKey, "ten", buffer, 11), 1);
  EXPECT_STREQ(buffer, "0123456789");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ReadUserString(kTestKey, "ten", buffer, 10), 0);  // no room for the NUL
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '#');  // nothing written past the failure
  EXPECT_EQ(ReadUserString(kTestKey, "unterminated", buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "0123456789");
  EXPECT_EQ(ReadUserString(kTestKey, "longest", buffer, sizeof buffer), 1);
  EXPECT_EQ(std::string(buffer), longest);
  for (const char* name : {"too_long", "huge", "number", "missing"}) {
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ReadUserString(kTestKey, name, buffer, sizeof buffer), 0) << name;
    EXPECT_EQ(buffer[0], '\0') << name;
  }
  EXPECT_EQ(ReadUserString("Software\\QxNoSuchKey", "ten", buffer, sizeof buffer), 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\QxNoSuchKey"));  // never created
  EXPECT_EQ(ReadUserString(kTestKey, "ten", buffer, 0), 0);
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 1);
}

TEST(ProcedureParts, WritersCreateTheirKeys) {
  DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
  const std::string sub = std::string(kTestKey) + "\\a\\b";
  EXPECT_EQ(WriteUserDword(sub.c_str(), "count", 0x12345678), 1);
  DWORD value = 0;
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, sub, "count", &value));
  EXPECT_EQ(value, 0x12345678u);
  EXPECT_EQ(WriteUserDword(sub.c_str(), "count", 0), 1);  // the key exists now
  EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, sub, "count", &value));
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 1);

  const std::string machine = "SOFTWARE\\QxProcedureTest\\entry";
  EXPECT_EQ(WriteMachineString(machine.c_str(), "Name", "A text"), 1);
  std::string text;
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, machine, "Name", &text));
  EXPECT_EQ(text, "A text");
  char buffer[64];
  EXPECT_EQ(ReadUserString(kTestKey, "Name", buffer, sizeof buffer), 0);  // a machine value
  EXPECT_EQ(DeleteKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\QxProcedureTest"), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\QxProcedureTest"));
}

// Denies DELETE on a key to everyone; 1 when the system then refuses to
// delete it (Wine's registry may not check key security).
int ProtectKey(const std::string& path, bool protect) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC | READ_CONTROL, &key) !=
      ERROR_SUCCESS) {
    return 0;
  }
  char sid_bytes[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof sid_bytes;
  CreateWellKnownSid(WinWorldSid, nullptr, sid_bytes, &sid_size);
  EXPLICIT_ACCESSA access[2] = {};
  access[0].grfAccessPermissions = DELETE;
  access[0].grfAccessMode = protect ? DENY_ACCESS : GRANT_ACCESS;
  access[0].Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access[0].Trustee.ptstrName = static_cast<LPSTR>(static_cast<void*>(sid_bytes));
  access[1] = access[0];
  access[1].grfAccessPermissions = KEY_ALL_ACCESS & ~DELETE;
  access[1].grfAccessMode = GRANT_ACCESS;
  PACL acl = nullptr;
  SetEntriesInAclA(2, access, nullptr, &acl);
  const DWORD status = SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr);
  LocalFree(acl);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || !protect) return 0;
  HKEY probe = nullptr;
  const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, DELETE, &probe);
  if (opened == ERROR_SUCCESS) RegCloseKey(probe);
  return opened == ERROR_ACCESS_DENIED;
}

TEST(ProcedureParts, DeleteKeyTreeRemovesAllSubKeys) {
  DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
  const std::string base = kTestKey;
  for (const char* sub : {"\\a\\b\\c", "\\a\\d", "\\e", "\\f\\g"}) {
    ASSERT_EQ(WriteUserDword((base + sub).c_str(), "v", 1), 1);
  }
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 0);  // nothing to open
}

TEST(ProcedureParts, DeleteKeyTreeEndsOnSubKeysThatStay) {
  // A sub-key that refuses to go, between others: the walk ends, the others
  // go, the key and the path to the stubborn one stay.
  DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
  const std::string base = kTestKey;
  for (const char* sub : {"\\a", "\\b\\stubborn\\inner", "\\b\\x", "\\c"}) {
    ASSERT_EQ(WriteUserDword((base + sub).c_str(), "v", 1), 1);
  }
  if (!ProtectKey(base + "\\b\\stubborn", true)) {
    ProtectKey(base + "\\b\\stubborn", false);
    DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
    GTEST_SKIP() << "this registry does not refuse DELETE by key security; the host tests of "
                    "the walk cover keys that stay";
  }
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 0);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base + "\\b\\stubborn"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + "\\b\\stubborn\\inner"));
  for (const char* gone : {"\\a", "\\b\\x", "\\c"}) {
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base + gone)) << gone;
  }
  ProtectKey(base + "\\b\\stubborn", false);
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, kTestKey), 1);
}

// A fresh folder below the prefix's temporary folder.
std::string ScratchFolder(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string path = std::string(temp) + "qxproc_" + tag;
  RemoveTree(path);
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

TEST(ProcedureParts, RemoveFolderTreeRemovesWhatItCanAndEnds) {
  const std::string root = ScratchFolder("tree");
  for (const char* folder : {"\\a", "\\a\\b", "\\a\\b\\c", "\\d", "\\held", "\\.keep"}) {
    ASSERT_TRUE(CreateDirectoryA((root + folder).c_str(), nullptr)) << folder;
  }
  for (const char* file : {"\\1.txt", "\\a\\2.txt", "\\a\\b\\c\\3.txt", "\\held\\0.txt",
                           "\\held\\held.txt", "\\held\\z.txt", "\\zz.txt", "\\.hidden"}) {
    ASSERT_TRUE(WriteAll(root + file, file)) << file;
  }
  HANDLE held = CreateFileA((root + "\\held\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  EXPECT_EQ(RemoveFolderTree(root.c_str()), 1);
  // What can be removed is; a file that can't be deleted stays with its
  // folder (and the folder above it); so do folders named ".something", which
  // the walk leaves alone. A file named ".hidden" is an ordinary file.
  for (const char* gone :
       {"\\1.txt", "\\a", "\\d", "\\held\\0.txt", "\\held\\z.txt", "\\zz.txt", "\\.hidden"}) {
    EXPECT_FALSE(Exists(root + gone)) << gone;
  }
  EXPECT_TRUE(Exists(root + "\\held\\held.txt"));
  EXPECT_TRUE(IsFolder(root + "\\.keep"));
  CloseHandle(held);
  RemoveDirectoryA((root + "\\.keep").c_str());
  EXPECT_EQ(RemoveFolderTree(root.c_str()), 1);
  EXPECT_FALSE(Exists(root));
  EXPECT_EQ(RemoveFolderTree(root.c_str()), 1);  // nothing to list: still 1
}

TEST(ProcedureParts, RemoveFolderTreeDoesNotFollowLinks) {
  const std::string root = ScratchFolder("links");
  const std::string outside = ScratchFolder("outside");
  ASSERT_TRUE(WriteAll(outside + "\\precious.txt", "keep"));
  typedef BOOLEAN(WINAPI * CreateLinkFn)(LPCSTR, LPCSTR, DWORD);
  CreateLinkFn create_link = reinterpret_cast<CreateLinkFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
  const std::string link = root + "\\link";
  // The walk sees what a listing says: a folder link must be listed as a
  // folder that is a reparse point, as Windows lists it.
  const bool made = create_link != nullptr && create_link(link.c_str(), outside.c_str(), 1);
  DWORD listed = 0;
  WIN32_FIND_DATAA found = {};
  HANDLE search = made ? FindFirstFileA((root + "\\*").c_str(), &found) : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(found.cFileName, "link") == 0) listed = found.dwFileAttributes;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  const DWORD kLinkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if ((listed & kLinkedFolder) != kLinkedFolder) {
    RemoveTree(root);
    RemoveTree(outside);
    GTEST_SKIP() << "no folder links listed as such here (attributes " << std::hex << listed
                 << "); the host tests of the walk cover them";
  }
  EXPECT_EQ(RemoveFolderTree(root.c_str()), 1);
  EXPECT_TRUE(Exists(outside + "\\precious.txt"));
  EXPECT_FALSE(Exists(root));
  RemoveTree(outside);
}

// Flips the byte in the middle of the first section of this program's file
// copy `path` that the image can (writable) or can't write: 1 when done.
bool FlipSectionByte(const std::string& path, bool writable) {
  const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (((section->Characteristics & IMAGE_SCN_MEM_WRITE) != 0) != writable ||
        section->SizeOfRawData < 64) {
      continue;
    }
    Bytes bytes;
    if (!ReadAll(path, &bytes)) return false;
    bytes[section->PointerToRawData + section->SizeOfRawData / 2] ^= 0x5A;
    return WriteAll(path, std::string(bytes.begin(), bytes.end()));
  }
  return false;
}

// The installer copies itself from its own file only when that file is the
// running image: a copy with the same headers and one byte of code changed
// is another file; a byte of a section the program writes to is no part of
// the check.
TEST(ProcedureParts, TheRunningImageIsComparedWhole) {
  const std::string folder = ScratchFolder("image");
  for (const bool writable : {false, true}) {
    const std::string copy = folder + (writable ? "\\data.exe" : "\\code.exe");
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE));
    HANDLE file = OpenImageFile(copy.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(IsImageOfModule(file, GetModuleHandleA(nullptr)), 1);
    CloseHandle(file);
    ASSERT_TRUE(FlipSectionByte(copy, writable));
    file = OpenImageFile(copy.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(IsImageOfModule(file, GetModuleHandleA(nullptr)), writable ? 1 : 0) << copy;
    CloseHandle(file);
  }
  RemoveTree(folder);
}

TEST(ProcedureParts, FoldersOfTheProduct) {
  std::unique_ptr<InstallerContext> context = NewContext(nullptr, 1);
  EXPECT_EQ(ResolveProgramFilesTarget(context.get(), kProductSubFolder), 0);
  EXPECT_EQ(std::string(context->target_folder), ProductFolder());
  EXPECT_EQ(ResolveProgramFilesTarget(context.get(), std::string(1100, 'q').c_str()), -1);
  EXPECT_STREQ(context->target_folder, "");

  g_shell_folders = ShellFolders{0, "", "Startup"};
  ResolveShellFolders();
  EXPECT_EQ(g_shell_folders.resolved, 1);
  char expected[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, expected, CSIDL_COMMON_PROGRAMS, FALSE));
  EXPECT_STREQ(g_shell_folders.common_programs, expected);
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, expected, CSIDL_STARTUP, FALSE));
  EXPECT_STREQ(g_shell_folders.startup, expected);
  std::snprintf(g_shell_folders.startup, sizeof g_shell_folders.startup, "kept");
  ResolveShellFolders();  // only the first call does anything
  EXPECT_STREQ(g_shell_folders.startup, "kept");
  g_shell_folders.resolved = 0;
  ResolveShellFolders();
}

TEST(ProcedureParts, ShortcutsReadBackThroughTheShell) {
  HRESULT com = CoInitialize(nullptr);
  const std::string folder = ScratchFolder("links_made");
  const std::string target = folder + "\\program folder\\tool.exe";
  const ShortcutToMake tool = {target.c_str(), "A tool"};
  EXPECT_EQ(PlaceShortcuts(folder.c_str(), "", &tool, 1), 1);
  LinkInfo info;
  ASSERT_TRUE(ReadShortcut(folder + "\\A tool.LNK", &info));
  EXPECT_EQ(Lower(info.target), Lower(target));
  EXPECT_EQ(Lower(info.working_folder), Lower(folder + "\\program folder"));
  EXPECT_EQ(info.description, "A tool");
  // A link path that does not fit a path buffer is refused, not cut short.
  const std::string long_name(1100, 'n');
  const ShortcutToMake too_long = {target.c_str(), long_name.c_str()};
  EXPECT_NE(PlaceShortcuts(folder.c_str(), "", &too_long, 1), 1);
  RemoveTree(folder);
  if (com == S_OK) CoUninitialize();
}

TEST(ProcedureParts, WorkerRunsTheInstallAndReportsByMessage) {
  NotifyWindow window;
  HMODULE none = LoadLibraryA((ProgramFolder() + "\\package_module_none.dll").c_str());
  ASSERT_NE(none, nullptr);
  std::unique_ptr<InstallerContext> context = NewContext(none, 1);
  context->window = window.handle;
  context->worker_result = 77;
  EXPECT_EQ(StartWorker(context.get(), 0), 0);
  ASSERT_NE(context->worker_thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(context->worker_thread, 30000), WAIT_OBJECT_0);
  EXPECT_EQ(IsWorkerRunning(context.get()), 0);
  EXPECT_EQ(context->worker_result, -1);  // the missing package
  EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});

  // A retry: the ended worker's handle is closed, not left open. A closed
  // handle's number may be handed out again, so ask whose thread it names.
  const HANDLE first = context->worker_thread;
  const DWORD first_id = context->worker_thread_id;
  EXPECT_EQ(StartWorker(context.get(), 0), 0);
  ASSERT_NE(context->worker_thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(context->worker_thread, 30000), WAIT_OBJECT_0);
  EXPECT_NE(GetThreadId(first), first_id) << "the first worker's handle is still open";
  EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});

  // Waiting: the result comes back; the handles are closed and cleared.
  context->worker_result = 77;
  EXPECT_EQ(StartWorker(context.get(), 1), -1);
  EXPECT_EQ(context->worker_thread, nullptr);
  EXPECT_EQ(IsWorkerRunning(context.get()), 0);
  EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});
  FreeLibrary(none);
}

// The worker changes the status text while the window thread paints it: the
// painter must only ever see whole texts.
struct StatusRace {
  InstallerContext* context;
  volatile LONG stop;
};

DWORD WINAPI ChangeStatus(LPVOID parameter) {
  StatusRace* race = static_cast<StatusRace*>(parameter);
  const std::string long_text(1000, 'L');
  for (unsigned i = 0; !race->stop; ++i) {
    SetStatusText(race->context, i % 2 ? long_text.c_str() : "Copy Files");
  }
  return 0;
}

TEST(ProcedureParts, StatusTextIsHandedOverWhole) {
  std::unique_ptr<InstallerContext> context = NewContext(nullptr, 1);
  SetStatusText(context.get(), "Copy Files");
  StatusRace race = {context.get(), 0};
  HANDLE writer = CreateThread(nullptr, 0, ChangeStatus, &race, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  const std::string long_text(1000, 'L');
  int torn = 0;
  int long_seen = 0;
  // Read until both texts have been seen many times; the writer thread may
  // get no time at first on a busy machine, so yield now and then.
  for (int i = 0; i < 200000 || (long_seen == 0 && i < 20000000); ++i) {
    if (i % 1000 == 999) Sleep(0);
    char text[1024];
    CopyStatusText(context.get(), text, sizeof text);
    if (long_text == text) {
      ++long_seen;
    } else if (std::strcmp(text, "Copy Files") != 0) {
      ++torn;
    }
  }
  InterlockedExchange(&race.stop, 1);
  WaitForSingleObject(writer, INFINITE);
  CloseHandle(writer);
  EXPECT_EQ(torn, 0);
  EXPECT_GT(long_seen, 0);
  // A small buffer gets the start of the text, ended.
  char small[5];
  CopyStatusText(context.get(), small, sizeof small);
  EXPECT_EQ(std::strlen(small), 4u);
}

// The status text under a worker that is pre-empted inside the hand-over:
// the window thread must wait for it asleep, not spin. The writer is stopped
// (SuspendThread) at random points until it is caught inside the lock; the
// reader then blocks, and the CPU time it uses while blocked tells a real
// lock (none) from a spinning one (all of it).
struct BlockedReader {
  InstallerContext* context;
  HANDLE go;
  HANDLE done;
  volatile LONG stop;
};

DWORD WINAPI ReadStatusOnRequest(LPVOID parameter) {
  BlockedReader* reader = static_cast<BlockedReader*>(parameter);
  while (WaitForSingleObject(reader->go, INFINITE) == WAIT_OBJECT_0 && !reader->stop) {
    char text[1024];
    CopyStatusText(reader->context, text, sizeof text);
    SetEvent(reader->done);
  }
  return 0;
}

ULONGLONG CpuTime100ns(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
         (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
}

TEST(ProcedureParts, StatusReaderSleepsWhileABusyWorkerHoldsTheText) {
  std::unique_ptr<InstallerContext> context = NewContext(nullptr, 1);
  StatusRace race = {context.get(), 0};
  HANDLE writer = CreateThread(nullptr, 0, ChangeStatus, &race, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  SetThreadPriority(writer, THREAD_PRIORITY_BELOW_NORMAL);  // as the install worker runs
  BlockedReader reader = {context.get(), CreateEventA(nullptr, FALSE, FALSE, nullptr),
                          CreateEventA(nullptr, FALSE, FALSE, nullptr), 0};
  HANDLE reading = CreateThread(nullptr, 0, ReadStatusOnRequest, &reader, 0, nullptr);
  ASSERT_NE(reading, nullptr);
  bool caught = false;
  ULONGLONG blocked_cpu = 0;
  for (int attempt = 0; attempt < 500 && !caught; ++attempt) {
    Sleep(attempt % 3);
    ASSERT_NE(SuspendThread(writer), static_cast<DWORD>(-1));
    SetEvent(reader.go);
    if (WaitForSingleObject(reader.done, 50) == WAIT_TIMEOUT) {
      caught = true;  // the writer stopped inside: the reader waits for it
      const ULONGLONG before = CpuTime100ns(reading);
      Sleep(400);
      blocked_cpu = CpuTime100ns(reading) - before;
    }
    ResumeThread(writer);
    if (caught) {
      ASSERT_EQ(WaitForSingleObject(reader.done, 30000), WAIT_OBJECT_0);
    }
  }
  InterlockedExchange(&reader.stop, 1);
  SetEvent(reader.go);
  WaitForSingleObject(reading, INFINITE);
  InterlockedExchange(&race.stop, 1);
  WaitForSingleObject(writer, INFINITE);
  for (HANDLE h : {reading, writer, reader.go, reader.done}) CloseHandle(h);
  ASSERT_TRUE(caught) << "the writer was never stopped inside the hand-over";
  EXPECT_LT(blocked_cpu, 1000000u)
      << "a blocked reader used " << blocked_cpu / 10000 << " ms of CPU in 400 ms";
}

// Last in this group: it restricts this process's DLL search for good.
// A DLL next to the program (as in a download folder) must never stand in
// for a system library, and after the restriction a bare name finds nothing
// there at all.
TEST(ProcedureParts, LibrariesComeFromTheSystemFolderOnly) {
  const std::string stand_in = ProgramFolder() + "\\package_module_none.dll";
  const std::string shfolder = ProgramFolder() + "\\shfolder.dll";
  const std::string planted = ProgramFolder() + "\\qx_planted.dll";
  ASSERT_TRUE(CopyFileA(stand_in.c_str(), shfolder.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(stand_in.c_str(), planted.c_str(), FALSE));
  char system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);

  HMODULE library = LoadSystemLibrary("SHFOLDER.DLL");
  ASSERT_NE(library, nullptr);
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(library, loaded, sizeof loaded);
  EXPECT_EQ(Lower(loaded).rfind(Lower(system) + "\\", 0), 0u) << loaded;
  EXPECT_EQ(FindResourceA(library, MAKEINTRESOURCEA(100), RT_RCDATA), nullptr);
  FreeLibrary(library);

  // The planted DLL loads by bare name until the search is restricted;
  // where it can't be, a system library that was loaded first is found.
  HMODULE before = LoadLibraryA("qx_planted.dll");
  EXPECT_NE(before, nullptr) << "a bare name does not find the program's folder here";
  if (before != nullptr) FreeLibrary(before);
  PreloadSystemLibraries();
  library = LoadLibraryA("shfolder.dll");
  GetModuleFileNameA(library, loaded, sizeof loaded);
  EXPECT_EQ(Lower(loaded).rfind(Lower(system) + "\\", 0), 0u) << loaded;
  FreeLibrary(library);
  RestrictDllSearch();
  HMODULE after = LoadLibraryA("qx_planted.dll");
  EXPECT_EQ(after, nullptr);
  if (after != nullptr) FreeLibrary(after);
  DeleteFileA(shfolder.c_str());
  DeleteFileA(planted.c_str());
}

}  // namespace
