// BrindlemoorSetup end to end under Wine: the real program run unattended,
// its single-instance lock, and the closing of a running mixer window.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup/installer/command_line.h"
#include "setup/package/package_format.h"
#include "setup/procedures/install_procedures.h"
#include "setup/standin/standin_log.h"
#include "setup/system/system_probe.h"
#include "tests/wine/test_waits.h"
#include "tests/wine/wine_files.h"

namespace {

// The installer of the same build tree:
// <build>\setup\installer\BrindlemoorSetup.exe, three folders up from this
// test's <build>\tests\setup\installer.
std::string InstallerPath();
std::string InstallerPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  std::string folder(path);
  for (int up = 0; up < 4; ++up) folder = folder.substr(0, folder.find_last_of('\\'));
  return folder + "\\setup\\installer\\BrindlemoorSetup.exe";
}

struct InstallerRun {
  DWORD exit_code = 0xDEADBEEF;
  bool window_seen = false;  // an installer window was visible while it ran
  std::string how;           // how the wait ended, for a failure's message
};

// The same program without its package, next to this test.
std::string NoPackagePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\')) + "\\BrindlemoorSetupNoPackage.exe";
}

// The longest text of a dialog's static controls: a message box's message.
BOOL CALLBACK LongestStatic(HWND child, LPARAM parameter) {
  char class_name[32];
  char text[1024];
  GetClassNameA(child, class_name, sizeof class_name);
  GetWindowTextA(child, text, sizeof text);
  std::string* longest = reinterpret_cast<std::string*>(parameter);
  if (lstrcmpiA(class_name, "Static") == 0 && std::strlen(text) > longest->size()) *longest = text;
  return TRUE;
}

void NoteVisibleWindow(void* run) {
  HWND window = FindWindowA("QXBrindlemoor0Installer0MainWindow0", nullptr);
  if (window && IsWindowVisible(window)) static_cast<InstallerRun*>(run)->window_seen = true;
}

// Runs the installer with `arguments`, pumping this thread's messages while
// it runs, and ends it when it still runs after `limit_ms` on the clock (its
// exit code then reads STILL_ACTIVE, and `how` says that it did not end).
InstallerRun RunInstaller(const char* arguments, DWORD limit_ms = 120000,
                          const std::string& program = InstallerPath()) {
  InstallerRun run;
  std::string command = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    run.how = "could not be started";
    return run;
  }
  const ProcessEnd end = WaitForProcessEnd(process.hProcess, limit_ms, NoteVisibleWindow, &run);
  run.exit_code = end.exit_code;
  run.how = std::string("BrindlemoorSetup ") + arguments + " " + DescribeProcessEnd(end);
  if (!end.ended) {
    TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, 10000);
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

// The tests' Wine is 64-bit: the 32-bit installer runs under WOW64, so its
// product goes to "Program Files (x86)" and its own keys to the 32-bit view.
constexpr bool kThirtyTwoBitBuild = sizeof(void*) == 4;

std::string ProductFolder() {
  return kThirtyTwoBitBuild ? "C:\\Program Files (x86)\\QX\\Brindlemoor"
                            : "C:\\Program Files\\QX\\Brindlemoor";
}

bool UninstallEntryIn(REGSAM view) {
  HKEY key = nullptr;
  const std::string path = std::string(kUninstallListKey) + "\\" + kUninstallEntryName;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// The programs the stand-ins logged (the first field of each line).
std::vector<std::string> LoggedPrograms(const std::string& log) {
  std::vector<std::string> programs;
  HANDLE file = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return programs;
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  text.resize(got);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    programs.push_back(text.substr(at, text.find('\t', at) - at));
    at = end + 2;
  }
  return programs;
}

// Offers the stand-ins' two test hooks (standin_log.h) in this process's
// environment, which the installer inherits, and in the registry; null
// takes both away.
void SetHooks(const char* log, const char* setup_exit) {
  SetEnvironmentVariableA("QX_STANDIN_LOG", log);
  SetEnvironmentVariableA("QX_STANDIN_SETUP_EXIT", setup_exit);
  if (log == nullptr) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kStandInHooksKey, KEY_WOW64_64KEY, 0);
    return;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStandInHooksKey, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "QX_STANDIN_LOG", 0, REG_SZ, reinterpret_cast<const BYTE*>(log),
                 static_cast<DWORD>(std::strlen(log) + 1));
  RegSetValueExA(key, "QX_STANDIN_SETUP_EXIT", 0, REG_SZ, reinterpret_cast<const BYTE*>(setup_exit),
                 static_cast<DWORD>(std::strlen(setup_exit) + 1));
  RegCloseKey(key);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(InstallerProgram, UnattendedInstallThenRemove) {
  ASSERT_TRUE(Exists(InstallerPath())) << InstallerPath();
  if (ProbeDriverInterface()) RunInstaller("-h -u");  // start from a clean system
  ASSERT_EQ(ProbeDriverInterface(), 0);

  // Removing when nothing is installed changes nothing.
  InstallerRun run = RunInstaller("-h -u");
  EXPECT_EQ(run.exit_code, 0u) << run.how;
  EXPECT_EQ(ProbeDriverInterface(), 0);
  EXPECT_FALSE(Exists(ProductFolder() + "\\brindlemoor.exe"));

  // The shipped stand-ins take no test hook, from the environment or the
  // registry: the driver setup's chosen exit code would stop the install at
  // -21, and the log would go where the hook says instead of beside them.
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string hooked_log = std::string(temp) + "installer_program_hooked.log";
  DeleteFileA(hooked_log.c_str());
  SetHooks(hooked_log.c_str(), "1");
  run = RunInstaller("-h -i");
  SetHooks(nullptr, nullptr);
  EXPECT_EQ(run.exit_code, 0u) << run.how;
  EXPECT_FALSE(Exists(hooked_log));
  EXPECT_FALSE(run.window_seen);
  EXPECT_EQ(ProbeDriverInterface(), 1);  // the driver's interface is now present
  EXPECT_TRUE(Exists(ProductFolder() + "\\brindlemoor.exe"));
  EXPECT_TRUE(Exists(ProductFolder() + "\\BrindlemoorSetup.exe"));  // the installer's copy
  // On 64-bit Windows (found through IsWow64Process by the 32-bit program):
  // the 64-bit driver setup and the 64-bit registration program ran.
  const std::vector<std::string> programs = LoggedPrograms(ProductFolder() + "\\standin.log");
  ASSERT_FALSE(programs.empty());
  EXPECT_EQ(programs.front(), "QUILLAN_Setup_x64.exe");
  EXPECT_EQ(std::count(programs.begin(), programs.end(), "qxregsvr64.exe"), 2);
  EXPECT_TRUE(UninstallEntryIn(kThirtyTwoBitBuild ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));

  // The install switch on an installed system removes the product.
  run = RunInstaller("-h -i");
  EXPECT_EQ(run.exit_code, 0u) << run.how;
  EXPECT_EQ(ProbeDriverInterface(), 0);
  EXPECT_FALSE(Exists(ProductFolder() + "\\brindlemoor.exe"));

  // "-H -U" count like their lower-case forms; "-I" is no install switch, so
  // "-H -I" is a hidden run with nothing to do, like "-h" alone: it ends at
  // once with a code of its own.
  for (const char* nothing : {"-H -I", "-h"}) {
    run = RunInstaller(nothing, 3000);
    EXPECT_EQ(run.exit_code, static_cast<DWORD>(kNoActionExitCode)) << nothing;
    EXPECT_FALSE(run.window_seen);
  }
  EXPECT_EQ(ProbeDriverInterface(), 0);
  run = RunInstaller("-H -U");
  EXPECT_EQ(run.exit_code, 0u) << run.how;
}

// The text of a file, or "" when it can't be read.
std::string FileText(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(file);
  text.resize(got);
  return text;
}

// The installer's package directory, read from its resource (the directory
// is stored plain).
std::vector<PackageEntry> PackageDirectory() {
  std::vector<PackageEntry> entries;
  HMODULE module = LoadLibraryExA(InstallerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(100), RT_RCDATA) : nullptr;
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (bytes != nullptr && SizeofResource(module, found) > kPackageDirectorySize) {
    for (int i = 0; i < kPackageEntryCount; ++i) {
      PackageEntry entry;
      LoadPackageEntry(bytes, i, &entry);
      entries.push_back(entry);
    }
  }
  if (module) FreeLibrary(module);
  return entries;
}

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string text;
  char pair[3];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    text += pair;
  }
  return text;
}

// A value of the uninstall entry in the installer's registry view: its text
// (a DWORD in decimal), or "" when it is not there.
std::string EntryValue(const char* name) {
  HKEY key = nullptr;
  const std::string path = std::string(kUninstallListKey) + "\\" + kUninstallEntryName;
  const REGSAM view = kThirtyTwoBitBuild ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  char data[2048] = {};
  DWORD type = 0;
  DWORD size = sizeof data - 1;
  const LONG status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::string();
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(data));
  return type == REG_SZ ? std::string(data) : std::string("(type ") + std::to_string(type) + ")";
}

// "-l": an install and a removal each leave a log under a new name in the
// user's temporary folder, which says what the run did. A link planted at
// the first name of the day is not followed: the run takes the next number.
TEST(InstallerProgram, LoggedRunsSayWhatTheyDidAndTheEntryIsComplete) {
  ASSERT_TRUE(Exists(InstallerPath())) << InstallerPath();
  if (ProbeDriverInterface()) RunInstaller("-h -u");
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  SYSTEMTIME today;
  GetLocalTime(&today);
  auto log_path = [&](int number) {
    char name[64];
    std::snprintf(name, sizeof name, "BrindlemoorSetup %04u-%02u-%02u #%03d.log", today.wYear,
                  today.wMonth, today.wDay, number);
    return std::string(temp) + name;
  };
  for (int number = 1; number <= 5; ++number) DeleteFileA(log_path(number).c_str());
  const std::string unix_first = UnixPathOf(log_path(1));
  const std::string outside = unix_first + ".outside";
  ASSERT_EQ(RunOnHost("rm -f '" + unix_first + "' && echo theirs > '" + outside + "' && ln -s '" +
                      outside + "' '" + unix_first + "'"),
            0);

  InstallerRun run = RunInstaller("-h -i -l");
  ASSERT_EQ(run.exit_code, 0u) << run.how;
  EXPECT_EQ(RunOnHost("grep -qx theirs '" + outside + "'"), 0);  // nothing written through it
  const std::string install_log = FileText(log_path(2));
  ASSERT_FALSE(install_log.empty()) << log_path(2);
  EXPECT_NE(install_log.find("command line: "), std::string::npos);
  EXPECT_NE(install_log.find("-h -i -l"), std::string::npos);
  EXPECT_NE(install_log.find("installed test: the mixer driver is not installed"),
            std::string::npos);
  EXPECT_NE(install_log.find("step: Install Audio Driver"), std::string::npos);
  const std::vector<PackageEntry> entries = PackageDirectory();
  ASSERT_EQ(entries.size(), static_cast<size_t>(kPackageEntryCount));
  for (const PackageEntry& entry : entries) {
    const std::string line = "extracted " + ProductFolder() + "\\" + entry.name + ", " +
                             std::to_string(entry.size) + " bytes, MD5 " +
                             Hex(entry.digest, sizeof entry.digest);
    EXPECT_NE(install_log.find(line), std::string::npos) << line;
  }
  EXPECT_NE(install_log.find("QUILLAN_Setup_x64.exe ended with exit code 0 after "),
            std::string::npos);
  EXPECT_NE(install_log.find("result 0: success"), std::string::npos);

  // The entry under installed programs, value by value.
  const std::string copy = ProductFolder() + "\\BrindlemoorSetup.exe";
  EXPECT_EQ(EntryValue("DisplayName"), "Brindlemoor, The Virtual Mixing Console");
  EXPECT_EQ(EntryValue("Publisher"), "Tarnwell Software");
  EXPECT_EQ(EntryValue("UninstallString"), "\"" + copy + "\"");
  EXPECT_EQ(EntryValue("QuietUninstallString"), "\"" + copy + "\" -h -u");
  EXPECT_EQ(EntryValue("DisplayVersion"), "1.0.3.5");
  EXPECT_EQ(EntryValue("DisplayIcon"), ProductFolder() + "\\brindlemoor.exe");
  EXPECT_EQ(EntryValue("InstallLocation"), ProductFolder());
  EXPECT_EQ(EntryValue("URLInfoAbout"), PRODUCT_WEB_ADDRESS);
  EXPECT_EQ(EntryValue("NoModify"), "1");
  EXPECT_EQ(EntryValue("NoRepair"), "1");
  uint64_t kilobytes = 0;
  for (const PackageEntry& entry : entries) kilobytes += (entry.size + 1023) / 1024;
  WIN32_FILE_ATTRIBUTE_DATA copied = {};
  ASSERT_TRUE(GetFileAttributesExA(copy.c_str(), GetFileExInfoStandard, &copied));
  kilobytes += (copied.nFileSizeLow + 1023) / 1024;
  EXPECT_EQ(EntryValue("EstimatedSize"), std::to_string(kilobytes));

  // A removal that did not end is said as such, not read half done.
  run = RunInstaller("-h -u -l");
  ASSERT_EQ(run.exit_code, 0u) << run.how;
  const std::string removal_log = FileText(log_path(3));
  ASSERT_FALSE(removal_log.empty()) << log_path(3);
  EXPECT_NE(removal_log.find("installed test: the mixer driver is installed"), std::string::npos);
  EXPECT_NE(removal_log.find("QUILLAN_Setup_x64.exe ended with exit code 0 after "),
            std::string::npos);
  for (const PackageEntry& entry : entries) {
    const std::string line = "removed " + ProductFolder() + "\\" + entry.name;
    EXPECT_NE(removal_log.find(line), std::string::npos) << line;
  }
  EXPECT_NE(removal_log.find("registry: deleted HKLM\\"), std::string::npos);
  EXPECT_NE(removal_log.find("removed folder " + ProductFolder()), std::string::npos);
  EXPECT_NE(removal_log.find("result 0: success"), std::string::npos);
  for (const char* name : {"DisplayName", "UninstallString", "QuietUninstallString",
                           "EstimatedSize", "NoModify", "InstallLocation"}) {
    EXPECT_EQ(EntryValue(name), "") << name;
  }
  EXPECT_FALSE(UninstallEntryIn(kThirtyTwoBitBuild ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));

  // Without "-l" there is no log.
  run = RunInstaller("-h -u");
  EXPECT_FALSE(Exists(log_path(4)));
  RunOnHost("rm -f '" + unix_first + "' '" + outside + "'");
  for (int number = 2; number <= 4; ++number) DeleteFileA(log_path(number).c_str());
}

// A removal that fails posts its failure box, and the window closes only
// after it, in a visible command-line run as after a click on "Remove": the
// box stays up until answered, and the program then ends with the result.
struct FailureBoxWatch {
  bool click_remove = false;  // click the button of the window first
  const char* caption = "Brindlemoor Uninstallation Error";
  std::string text;
  bool up_after_two_seconds = false;
};

DWORD WINAPI WatchFailureBox(LPVOID parameter) {
  FailureBoxWatch* watch = static_cast<FailureBoxWatch*>(parameter);
  HWND window = nullptr;
  if (watch->click_remove && PollUntil(30000, 50, [&] {
        window = FindWindowA("QXBrindlemoor0Installer0MainWindow0", nullptr);
        return window != nullptr && IsWindowVisible(window);
      })) {
    // The middle of the button below the 900 x 424 skin.
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(730, 474));
  }
  HWND box = nullptr;
  if (!PollUntil(30000, 50,
                 [&] { return (box = FindWindowA(nullptr, watch->caption)) != nullptr; })) {
    return 0;
  }
  // The box exists before its text is laid out; it shows once it is.
  PollUntil(2000, 20, [&] { return !IsWindow(box) || IsWindowVisible(box); });
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&watch->text));
  Sleep(2000);
  watch->up_after_two_seconds = IsWindow(box) && IsWindowVisible(box);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}

TEST(InstallerProgram, FailureBoxStaysUpAfterAFailedRemoval) {
  ASSERT_EQ(RunInstaller("-h -i").exit_code, 0u) << "the install";
  ASSERT_EQ(ProbeDriverInterface(), 1);  // installed: the window removes
  FailureBoxWatch watch;
  HANDLE watcher = CreateThread(nullptr, 0, WatchFailureBox, &watch, 0, nullptr);
  ASSERT_NE(watcher, nullptr);
  const InstallerRun run = RunInstaller("-u", 60000, NoPackagePath());
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  EXPECT_EQ(watch.text,
            "De-Installation package might be corrupted\nthanks to download official package "
            "at\nwww.quenby-audio.example.");
  EXPECT_TRUE(watch.up_after_two_seconds);
  EXPECT_EQ(run.exit_code, static_cast<DWORD>(-1));
  EXPECT_EQ(ProbeDriverInterface(), 1);  // nothing was removed
  EXPECT_EQ(RunInstaller("-h -u").exit_code, 0u) << "the removal";
  EXPECT_EQ(ProbeDriverInterface(), 0);
}

// A click on "Remove" that fails (the product folder is gone, so the driver
// setup program can't be run): the box says so, and the program ends with
// the failure.
TEST(InstallerProgram, AFailedRemoveShowsItsBoxAndEndsWithTheFailure) {
  ASSERT_EQ(RunInstaller("-h -i").exit_code, 0u) << "the install";
  const std::string aside = ProductFolder() + ".aside";
  ASSERT_TRUE(MoveFileA(ProductFolder().c_str(), aside.c_str()));
  FailureBoxWatch watch;
  watch.click_remove = true;
  HANDLE watcher = CreateThread(nullptr, 0, WatchFailureBox, &watch, 0, nullptr);
  ASSERT_NE(watcher, nullptr);
  const InstallerRun run = RunInstaller("", 60000);
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  EXPECT_EQ(watch.text,
            "Failed to launch the driver setup program...\nBrindlemoor has not been removed from "
            "your system");
  EXPECT_EQ(run.exit_code, static_cast<DWORD>(-605));
  EXPECT_EQ(ProbeDriverInterface(), 1);
  ASSERT_TRUE(MoveFileA(aside.c_str(), ProductFolder().c_str()));
  EXPECT_EQ(RunInstaller("-h -u").exit_code, 0u) << "the removal";
}

// A click on "Install" that fails (this program has no package): its box,
// and the failure as the exit code, as from the command line.
TEST(InstallerProgram, AFailedClickedInstallEndsWithTheFailure) {
  ASSERT_EQ(ProbeDriverInterface(), 0);
  FailureBoxWatch watch;
  watch.click_remove = true;  // the window's one button, here "Install"
  watch.caption = "Brindlemoor Installation Error";
  HANDLE watcher = CreateThread(nullptr, 0, WatchFailureBox, &watch, 0, nullptr);
  ASSERT_NE(watcher, nullptr);
  const InstallerRun run = RunInstaller("", 60000, NoPackagePath());
  WaitForSingleObject(watcher, INFINITE);
  CloseHandle(watcher);
  EXPECT_EQ(watch.text,
            "Installation package might be corrupted\nthanks to download official package "
            "at\nwww.quenby-audio.example.");
  EXPECT_EQ(run.exit_code, static_cast<DWORD>(-1));
  EXPECT_FALSE(Exists(ProductFolder()));
}

TEST(InstallerProgram, SecondInstanceEndsWithMinusOne) {
  HANDLE held = CreateMutexA(
      nullptr, TRUE,
      "Tarnwell Brindlemoor-Installation- Mutex-{12783DE4-C2B5-4698-9D26-EA7E355B50E9}");
  ASSERT_NE(held, nullptr);
  const InstallerRun run = RunInstaller("-h -i");
  EXPECT_EQ(run.exit_code, static_cast<DWORD>(-1));
  EXPECT_FALSE(run.window_seen);
  EXPECT_EQ(ProbeDriverInterface(), 0);  // nothing was installed
  ReleaseMutex(held);
  CloseHandle(held);
}

int g_destroy_messages = 0;

LRESULT CALLBACK MixerStandInProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    ++g_destroy_messages;
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST(InstallerProgram, ClosesARunningMixerWindow) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MixerStandInProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "MixerStandInWindow";
  RegisterClassA(&wc);
  HWND mixer = CreateWindowExA(0, "MixerStandInWindow", "BrindleMoor", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
  HWND other = CreateWindowExA(0, "MixerStandInWindow", "brindlemoor", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, wc.hInstance, nullptr);
  g_destroy_messages = 0;
  const InstallerRun run = RunInstaller("-h -u");
  EXPECT_EQ(run.exit_code, 0u) << run.how;
  EXPECT_EQ(g_destroy_messages, 1);  // only the exact, case-sensitive title
  DestroyWindow(other);
  g_destroy_messages = 0;
  DestroyWindow(mixer);
}

}  // namespace
