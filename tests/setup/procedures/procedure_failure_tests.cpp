// The procedures' failure paths and edge cases under Wine, in a prefix made
// for this group alone: missing and damaged packages, a driver setup program
// that asks for a restart or is missing, a product folder that can't be made,
// the 32-bit branch, a missing Start-menu value, files that can't be deleted,
// unsafe names in the package directory, and the uninstall's restart texts.
//
// Each test leaves the prefix as it found it (CleanUp), so the tests of this
// group do not depend on their order.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "setup/package/install_package.h"
#include "tests/setup/procedures/procedure_support.h"

namespace {

const char* const kAsioClass32 = "CLSID\\{6A1E32C0-5B7D-4F21-9C3A-0D4E8F1B2A01}";
const char* const kAsioClass64 = "CLSID\\{6A1E32C0-5B7D-4F21-9C3A-0D4E8F1B2A02}";

// The entry that a test's package change damages.
int g_damaged = -1;

// COM for the shortcuts and registrations; silent unless a test says not.
struct ProcedureFailures : ::testing::Test {
  HRESULT com = E_FAIL;
  StandInLog log;
  NotifyWindow window;
  std::string product;
  void SetUp() override {
    com = CoInitialize(nullptr);
    ResolveShellFolders();
    ChooseSetupExit(nullptr);
    g_installer_flags.silent = 1;
    product = ProductFolder();
    ASSERT_FALSE(product.empty());
    ASSERT_FALSE(Exists(product)) << "a test before left the product installed";
  }
  void TearDown() override {
    CleanUp();
    if (com == S_OK) CoUninitialize();
  }
  // Installs or uninstalls from a fresh run; returns the result and the
  // posted outcome codes.
  int Run(int (*procedure)(InstallerContext*), int on_64bit = 1, std::vector<int>* codes = nullptr,
          void (*change)(PackageModule*) = nullptr,
          std::unique_ptr<InstallerContext>* out = nullptr, int damaged = -1) {
    g_damaged = damaged;
    PackageModule package;
    EXPECT_NE(package.handle, nullptr);
    if (change != nullptr) change(&package);
    std::unique_ptr<InstallerContext> context = NewContext(package.handle, on_64bit);
    context->window = window.handle;
    const int result = procedure(context.get());
    const std::vector<int> posted = window.Codes();
    if (codes != nullptr) *codes = posted;
    if (out != nullptr) *out = std::move(context);
    return result;
  }
  // Takes the product off the system again, whatever state it is in.
  void CleanUp() {
    ChooseSetupExit(nullptr);
    const int silent = g_installer_flags.silent;
    g_installer_flags.silent = 1;
    if (Exists(product)) Run(UninstallProcedure);
    g_installer_flags.silent = silent;
    RemoveTree(product);
    const std::string qx = product.substr(0, product.find_last_of('\\'));
    RemoveDirectoryA(qx.c_str());
    DeleteKeyTree(HKEY_CURRENT_USER, "Tarnwell");
    for (const std::string& folder : {UserStartMenuFolder(), CommonStartMenuFolder()}) {
      RemoveTree(folder);
      RemoveDirectoryA(folder.substr(0, folder.find_last_of('\\')).c_str());
    }
    const std::string classes = std::string("System\\CurrentControlSet\\Control\\DeviceClasses\\") +
                                kMixerInterfaceClassText;
    DeleteKeyTree(HKEY_LOCAL_MACHINE, classes.c_str());
  }
  std::vector<std::string> LoggedPrograms() const {
    std::vector<std::string> programs;
    for (const auto& line : log.Lines()) programs.push_back(line[0] + " " + line[1]);
    return programs;
  }
};

std::string Status(const InstallerContext* context) {
  char text[1024];
  CopyStatusText(context, text, sizeof text);
  return text;
}

// A resource module of the package tests: "none" has no package, "3900" one
// of exactly 3,900 bytes.
struct OtherModule {
  HMODULE handle;
  explicit OtherModule(const char* kind) {
    handle = LoadLibraryA((ProgramFolder() + "\\package_module_" + kind + ".dll").c_str());
  }
  ~OtherModule() {
    if (handle != nullptr) FreeLibrary(handle);
  }
};

const char kHost[] = PRODUCT_WEB_HOST;

TEST_F(ProcedureFailures, MissingOrTooSmallPackage) {
  for (const char* kind : {"none", "3900"}) {
    OtherModule module(kind);
    ASSERT_NE(module.handle, nullptr) << kind;
    std::unique_ptr<InstallerContext> context = NewContext(module.handle, 1);
    context->window = window.handle;
    EXPECT_EQ(InstallProcedure(context.get()), -1) << kind;
    EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});
    EXPECT_STREQ(context->error_caption, "Brindlemoor Installation Error");
    EXPECT_EQ(std::string(context->error_text),
              std::string("Installation package might be corrupted\nthanks to download official "
                          "package at\n") +
                  kHost + ".");
    EXPECT_EQ(Status(context.get()), "Extract Package");
    EXPECT_FALSE(Exists(product));

    EXPECT_EQ(UninstallProcedure(context.get()), -1) << kind;
    EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});
    EXPECT_STREQ(context->error_caption, "Brindlemoor Uninstallation Error");
    EXPECT_EQ(std::string(context->error_text),
              std::string("De-Installation package might be corrupted\nthanks to download "
                          "official package at\n") +
                  kHost + ".");
  }
  EXPECT_TRUE(log.Lines().empty());
}

// A damaged entry anywhere: the package check finds it before anything is
// written, so nothing reaches the product folder and the install ends as for
// a missing package; the extraction itself says how many entries failed (the
// damaged one and all after it).
TEST_F(ProcedureFailures, DamagedPackageStopsBeforeTheDriverSetup) {
  for (int damaged : {0, 11, 24}) {
    log.Reset();
    std::vector<int> codes;
    std::unique_ptr<InstallerContext> context;
    EXPECT_EQ(Run(
                  InstallProcedure, 1, &codes,
                  [](PackageModule* package) { EXPECT_TRUE(package->DamageEntry(g_damaged)); },
                  &context, damaged),
              -1);
    EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
    EXPECT_EQ(Status(context.get()), "Extract Package");
    EXPECT_EQ(std::string(context->error_text),
              std::string("Installation package might be corrupted\nthanks to download official "
                          "package at\n") +
                  kHost + ".");
    EXPECT_FALSE(Exists(product)) << "damaged " << damaged;
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(DriverInterfacePresent(), 0);
    CleanUp();

    PackageModule package;
    ASSERT_TRUE(package.DamageEntry(damaged));
    std::unique_ptr<InstallerContext> direct = NewContext(package.handle, 1);
    ASSERT_EQ(ResolveProgramFilesTarget(direct.get(), kProductSubFolder), 0);
    ASSERT_TRUE(CreateFolderChain(direct->target_folder));
    EXPECT_EQ(
        ExtractPackage(direct->instance, direct->target_folder, direct->package_directory, nullptr),
        -(100 + kPackageEntryCount - damaged));
    CleanUp();
  }
}

TEST_F(ProcedureFailures, ProductFolderThatCantBeMade) {
  // A file where the product's parent folder should be.
  const std::string qx = product.substr(0, product.find_last_of('\\'));
  ASSERT_TRUE(WriteAll(qx, "in the way"));
  std::vector<int> codes;
  std::unique_ptr<InstallerContext> context;
  EXPECT_EQ(Run(InstallProcedure, 1, &codes, nullptr, &context), -3);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_EQ(std::string(context->error_text),
            std::string("Failed to create target folder on system disk\nthanks to download "
                        "official package at\n") +
                kHost + ".");
  DeleteFileA(qx.c_str());
}

TEST_F(ProcedureFailures, SetupProgramAskingForARestartStopsTheInstall) {
  ChooseSetupExit("1");
  std::vector<int> codes;
  std::unique_ptr<InstallerContext> context;
  EXPECT_EQ(Run(InstallProcedure, 1, &codes, nullptr, &context), -21);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_STREQ(context->error_text,
               "Cannot install Brindlemoor Package now...\nYou must RESTART your system and then "
               "relaunch setup program");
  EXPECT_EQ(Status(context.get()), "Install Audio Driver");
  // The driver setup program ran; nothing after it did.
  EXPECT_EQ(LoggedPrograms(), std::vector<std::string>{"QUILLAN_Setup_x64.exe -h -i -H -n"});
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass32, kOwnView));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass64, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMixerSettingsKey));
  EXPECT_FALSE(Exists(UserStartMenuFolder()));
  EXPECT_FALSE(Exists(CommonStartMenuFolder()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(), kOwnView));
  EXPECT_TRUE(Exists(product + "\\readme.txt"));  // the extracted files stay

  // Any other exit code goes on.
  CleanUp();
  ChooseSetupExit("2");
  EXPECT_EQ(Run(InstallProcedure, 1, &codes), 0);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_INSTALLED});
  ChooseSetupExit("-1");
  EXPECT_EQ(Run(InstallProcedure, 1, &codes), 0);
}

TEST_F(ProcedureFailures, MissingSetupProgram) {
  // The package writes the setup program under another name: it can't be started.
  std::vector<int> codes;
  std::unique_ptr<InstallerContext> context;
  EXPECT_EQ(Run(
                InstallProcedure, 1, &codes,
                [](PackageModule* package) {
                  EXPECT_TRUE(package->RenameEntry(14, "QUILLAN_Setup_x64.bak"));
                },
                &context),
            -605);
  EXPECT_TRUE(codes.empty());  // no message
  EXPECT_EQ(Status(context.get()), "Install Audio Driver");
  EXPECT_TRUE(Exists(product + "\\QUILLAN_Setup_x64.bak"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass32, kOwnView));
  CleanUp();
  log.Reset();

  // The uninstall where nothing is installed: no folder to write the setup
  // program into, so it can't be started, and nothing is touched; the user
  // is told that nothing was removed.
  EXPECT_EQ(Run(UninstallProcedure, 1, &codes), -605);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_FALSE(Exists(product));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kMixerSettingsKey));
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ProcedureFailures, ThirtyTwoBitBranchStartsNoRegistrationProgram) {
  std::vector<int> codes;
  EXPECT_EQ(Run(InstallProcedure, 0, &codes), 0);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_INSTALLED});
  const std::string program = ProgramPath().substr(ProgramFolder().size() + 1);
  EXPECT_EQ(LoggedPrograms(), (std::vector<std::string>{"QUILLAN_Setup.exe -h -i -H -n",
                                                        program + " " + GetCommandLineA()}));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass32, kOwnView));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass64, KEY_WOW64_64KEY));
  EXPECT_EQ(DriverInterfacePresent(), 1);

  // The uninstall extracts and runs only the 32-bit setup program.
  log.Reset();
  DeleteFileA((product + "\\QUILLAN_Setup.exe").c_str());
  DeleteFileA((product + "\\QUILLAN_Setup_x64.exe").c_str());
  EXPECT_EQ(Run(UninstallProcedure, 0, &codes), 0);
  EXPECT_EQ(LoggedPrograms(), (std::vector<std::string>{"QUILLAN_Setup.exe -h -u -H",
                                                        program + " " + GetCommandLineA()}));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass32, kOwnView));
  EXPECT_EQ(DriverInterfacePresent(), 0);
  EXPECT_FALSE(Exists(product));
}

// Replaces the current user's "Programs" shell-folder value for a test.
struct ProgramsValue {
  std::string saved;
  bool had = false;
  ProgramsValue() { had = ReadString(HKEY_CURRENT_USER, kShellFoldersKey, "Programs", &saved); }
  ~ProgramsValue() {
    if (had) Set(saved);
  }
  void Set(const std::string& text) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_SET_VALUE, &key);
    RegSetValueExA(key, "Programs", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
  }
  void Remove() {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_SET_VALUE, &key);
    RegDeleteValueA(key, "Programs");
    RegCloseKey(key);
  }
};

TEST_F(ProcedureFailures, MissingOrOverlongStartMenuValueSkipsOnlyTheUsersShortcuts) {
  const std::string user_folder = UserStartMenuFolder();
  ASSERT_FALSE(user_folder.empty());
  {
    ProgramsValue value;
    ASSERT_TRUE(value.had);
    // Too long for a path once "Tarnwell Audio\Brindlemoor" is joined, too
    // long for the path buffer, too long for the 4,050 bytes ever copied,
    // then missing.
    for (size_t length : {1000u, 2000u, 4060u, 0u}) {
      if (length == 0) {
        value.Remove();
      } else {
        value.Set("C:\\" + std::string(length - 3, 'p'));
      }
      std::vector<int> codes;
      EXPECT_EQ(Run(InstallProcedure, 1, &codes), 0) << length;
      EXPECT_EQ(codes, std::vector<int>{NOTIFY_INSTALLED});
      EXPECT_FALSE(Exists(user_folder + "\\Readme.LNK")) << length;
      EXPECT_TRUE(Exists(CommonStartMenuFolder() + "\\Readme.LNK")) << length;
      EXPECT_EQ(Run(UninstallProcedure, 1, &codes), 0) << length;
      EXPECT_FALSE(Exists(CommonStartMenuFolder())) << length;
      EXPECT_FALSE(Exists(product));
    }
  }
  // With the value back, the user's shortcuts are made and removed again;
  // a missing value at uninstall leaves them.
  ASSERT_EQ(Run(InstallProcedure), 0);
  EXPECT_TRUE(Exists(user_folder + "\\Readme.LNK"));
  {
    ProgramsValue value;
    value.Remove();
    EXPECT_EQ(Run(UninstallProcedure), 0);
    EXPECT_TRUE(Exists(user_folder + "\\Readme.LNK"));
    EXPECT_FALSE(Exists(CommonStartMenuFolder()));
  }
}

// Folder texts that are no full path: an unresolved Startup folder stays
// "Startup" (relative to the current folder), an empty one or an empty
// "Programs" value would put the paths at the current drive's root. The
// procedures leave such folders alone; what those paths would name stays.
TEST_F(ProcedureFailures, FoldersThatAreNoFullPathAreLeftAlone) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string here = std::string(temp) + "qxproc_current";
  const std::vector<std::string> kept = {
      here + "\\Startup\\Brindlemoor (Tarnwell).LNK",
      here + "\\Programs\\Tarnwell Audio\\Brindlemoor\\Readme.LNK",
      "C:\\Brindlemoor (Tarnwell).LNK",
      "C:\\Tarnwell Audio\\Brindlemoor\\Readme.LNK",
  };
  for (const std::string& file : kept) {
    const std::string folder = file.substr(0, file.find_last_of('\\'));
    if (folder != "C:") {
      ASSERT_TRUE(CreateFolderChain(folder.c_str())) << file;
    }
    ASSERT_TRUE(WriteAll(file, "someone else's")) << file;
  }
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
  const ShellFolders resolved = g_shell_folders;
  {
    ProgramsValue value;
    value.Set("");
    for (const char* startup : {"Startup", ""}) {
      std::snprintf(g_shell_folders.startup, sizeof g_shell_folders.startup, "%s", startup);
      std::snprintf(g_shell_folders.common_programs, sizeof g_shell_folders.common_programs,
                    "Programs");
      EXPECT_EQ(Run(InstallProcedure), 0);
      EXPECT_FALSE(Exists("C:\\Tarnwell Audio\\Brindlemoor\\Brindlemoor.LNK"));
      EXPECT_FALSE(Exists(here + "\\Programs\\Tarnwell Audio\\Brindlemoor\\Brindlemoor.LNK"));
      EXPECT_EQ(Run(UninstallProcedure), 0);
      EXPECT_FALSE(Exists(product));
      for (const std::string& file : kept) EXPECT_TRUE(Exists(file)) << startup << ": " << file;
    }
  }
  g_shell_folders = resolved;
  SetCurrentDirectoryA(previous);
  RemoveTree(here);
  RemoveTree("C:\\Tarnwell Audio");
  DeleteFileA("C:\\Brindlemoor (Tarnwell).LNK");
}

// The user's own settings name their Programs and Startup folders: one that
// lies outside their profile folder is no place for the elevated installer
// to make or remove files in, and is left alone.
TEST_F(ProcedureFailures, PerUserFoldersOutsideTheProfileAreLeftAlone) {
  const std::string outside = "C:\\Outside";
  const std::string theirs = outside + "\\Programs\\Tarnwell Audio\\Brindlemoor\\Readme.LNK";
  const std::string startup_link = outside + "\\Startup\\Brindlemoor (Tarnwell).LNK";
  for (const std::string& file : {theirs, startup_link}) {
    ASSERT_TRUE(CreateFolderChain(file.substr(0, file.find_last_of('\\')).c_str()));
    ASSERT_TRUE(WriteAll(file, "someone else's"));
  }
  const ShellFolders resolved = g_shell_folders;
  {
    ProgramsValue value;
    value.Set(outside + "\\Programs");
    std::snprintf(g_shell_folders.startup, sizeof g_shell_folders.startup, "%s\\Startup",
                  outside.c_str());
    EXPECT_EQ(Run(InstallProcedure), 0);
    EXPECT_FALSE(Exists(outside + "\\Programs\\Tarnwell Audio\\Brindlemoor\\Brindlemoor.LNK"));
    EXPECT_TRUE(Exists(CommonStartMenuFolder() + "\\Brindlemoor.LNK"));
    EXPECT_EQ(Run(UninstallProcedure), 0);
    EXPECT_FALSE(Exists(product));
    EXPECT_TRUE(Exists(theirs));
    EXPECT_TRUE(Exists(startup_link));
  }
  g_shell_folders = resolved;
  RemoveTree(outside);
}

// The stand-in driver setup program makes its device once: a second install
// (a repair, or an install after a removal that needed a restart) reuses it,
// and the removal takes it away.
TEST_F(ProcedureFailures, SecondInstallLeavesOneDevice) {
  ASSERT_EQ(StandInDeviceCount(), 0);
  ASSERT_EQ(Run(InstallProcedure), 0);
  EXPECT_EQ(StandInDeviceCount(), 1);
  ASSERT_EQ(Run(InstallProcedure), 0);
  EXPECT_EQ(StandInDeviceCount(), 1);
  EXPECT_EQ(DriverInterfacePresent(), 1);
  EXPECT_EQ(Run(UninstallProcedure), 0);
  EXPECT_EQ(StandInDeviceCount(), 0);
  EXPECT_EQ(DriverInterfacePresent(), 0);
}

// Opens a file without FILE_SHARE_DELETE: neither Windows nor Wine deletes
// it then.
HANDLE HoldOpen(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(ProcedureFailures, FilesThatCantBeDeletedStayAndTheRestGoes) {
  ASSERT_EQ(Run(InstallProcedure), 0);
  // Files of our own around a held one, and a held file in a sub-folder,
  // and the installer's copy held as a running copy would be.
  const std::string copy = product + "\\" + kUninstallerProgram;  // the uninstaller
  ASSERT_TRUE(WriteAll(product + "\\a_first.txt", "a"));
  ASSERT_TRUE(WriteAll(product + "\\m_held.txt", "m"));
  ASSERT_TRUE(WriteAll(product + "\\z_last.txt", "z"));
  ASSERT_TRUE(CreateDirectoryA((product + "\\logs").c_str(), nullptr));
  ASSERT_TRUE(WriteAll(product + "\\logs\\held.log", "h"));
  ASSERT_TRUE(WriteAll(product + "\\logs\\other.log", "o"));
  HANDLE held[3] = {HoldOpen(product + "\\m_held.txt"), HoldOpen(product + "\\logs\\held.log"),
                    HoldOpen(copy)};
  // A file of the user's in one Start-menu folder, the other one open as a
  // command prompt working there holds it: only the shortcuts go.
  ASSERT_TRUE(WriteAll(UserStartMenuFolder() + "\\notes.txt", "mine"));
  HANDLE prompt =
      CreateFileA(CommonStartMenuFolder().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  for (HANDLE h : held) ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_FALSE(DeleteFileA((product + "\\m_held.txt").c_str())) << "held files can be deleted here";

  std::vector<int> codes;
  EXPECT_EQ(Run(UninstallProcedure, 1, &codes), 0);  // it ends
  EXPECT_TRUE(codes.empty());
  for (const char* name :
       {"readme.txt", "qxregsvr64.exe", "a_first.txt", "z_last.txt", "logs\\other.log"}) {
    EXPECT_FALSE(Exists(product + "\\" + name)) << name;
  }
  EXPECT_TRUE(Exists(product + "\\m_held.txt"));
  EXPECT_TRUE(Exists(product + "\\logs\\held.log"));
  EXPECT_TRUE(Exists(copy));
  // What the install made outside the product folder is gone; the user's own file stays.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(), kOwnView));
  EXPECT_TRUE(Exists(UserStartMenuFolder() + "\\notes.txt"));
  for (const std::string& folder : {UserStartMenuFolder(), CommonStartMenuFolder()}) {
    EXPECT_FALSE(Exists(folder + "\\Readme.LNK")) << folder;
  }
  EXPECT_EQ(DriverInterfacePresent(), 0);
  for (HANDLE h : {held[0], held[1], held[2], prompt}) CloseHandle(h);
}

void MakeNamesUnsafe(PackageModule* package) {
  EXPECT_TRUE(package->RenameEntry(0, "..\\victim.txt"));
  EXPECT_TRUE(package->RenameEntry(1, "..\\..\\victim.txt"));
  EXPECT_TRUE(package->RenameEntry(2, "sub\\..\\..\\victim.txt"));
  EXPECT_TRUE(package->RenameEntry(3, "C:\\victim.txt"));
  EXPECT_TRUE(package->RenameEntry(4, "\\victim.txt"));
  EXPECT_TRUE(package->RenameEntry(5, ".. \\victim.txt"));
}

TEST_F(ProcedureFailures, UninstallDeletesNoFileOutsideTheProductFolder) {
  ASSERT_EQ(Run(InstallProcedure), 0);
  const std::string qx = product.substr(0, product.find_last_of('\\'));
  const std::string program_files = qx.substr(0, qx.find_last_of('\\'));
  const std::vector<std::string> victims = {qx + "\\victim.txt", program_files + "\\victim.txt",
                                            "C:\\victim.txt"};
  for (const std::string& victim : victims) ASSERT_TRUE(WriteAll(victim, "keep me")) << victim;

  EXPECT_EQ(Run(UninstallProcedure, 1, nullptr, MakeNamesUnsafe), 0);
  for (const std::string& victim : victims) {
    EXPECT_TRUE(Exists(victim)) << victim;
    DeleteFileA(victim.c_str());
  }
  EXPECT_FALSE(Exists(product));  // the renamed entries' files went with the folder
}

// Watches for the uninstall's restart message box on another thread, reads
// its text and presses its button.
struct BoxWatcher {
  HANDLE thread = nullptr;
  volatile LONG stop = 0;
  std::vector<std::string> texts;
  static BOOL CALLBACK FindText(HWND child, LPARAM parameter) {
    char class_name[32];
    char text[512];
    GetClassNameA(child, class_name, sizeof class_name);
    GetWindowTextA(child, text, sizeof text);
    std::string* longest = reinterpret_cast<std::string*>(parameter);
    if (lstrcmpiA(class_name, "Static") == 0 && std::strlen(text) > longest->size())
      *longest = text;
    return TRUE;
  }
  static DWORD WINAPI Watch(LPVOID parameter) {
    BoxWatcher* self = static_cast<BoxWatcher*>(parameter);
    while (!self->stop) {
      HWND box = FindWindowA(nullptr, "REBOOT YOUR SYSTEM");
      if (box != nullptr && IsWindowVisible(box)) {
        std::string text;
        EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&text));
        self->texts.push_back(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box) && !self->stop) Sleep(10);
      }
      Sleep(10);
    }
    return 0;
  }
  BoxWatcher() { thread = CreateThread(nullptr, 0, Watch, this, 0, nullptr); }
  ~BoxWatcher() { Finish(); }
  void Finish() {
    if (thread == nullptr) return;
    InterlockedExchange(&stop, 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
  }
};

TEST_F(ProcedureFailures, RestartMessageFollowsTheSetupProgramsExitCode) {
  const struct {
    const char* exit_code;
    int silent;
    const char* text;
  } kCases[] = {
      {"1", 0, "Restart System to finish de-installation!"},
      {"0", 0,
       "Brindlemoor is removed from the system\nBut you must Restart your computer before "
       "installing new version !"},
      {"-1", 0,
       "Brindlemoor is removed from the system\nBut you must Restart your computer before "
       "installing new version !"},
      {"1", 1, nullptr},  // silent: no box at all
  };
  for (const auto& c : kCases) {
    ChooseSetupExit(nullptr);
    ASSERT_EQ(Run(InstallProcedure), 0);
    ChooseSetupExit(c.exit_code);
    g_installer_flags.silent = c.silent;
    BoxWatcher watcher;
    EXPECT_EQ(Run(UninstallProcedure), 0) << c.exit_code;
    watcher.Finish();
    if (c.text == nullptr) {
      EXPECT_TRUE(watcher.texts.empty()) << c.exit_code;
    } else {
      EXPECT_EQ(watcher.texts, std::vector<std::string>{c.text}) << c.exit_code;
    }
    EXPECT_FALSE(Exists(product));
  }
}

// The product folder must be the administrators' alone (under Wine, where
// the one user is the administrator: no other Unix user may write it). One
// that others may change is refused before anything is written, run or
// removed there: by the install with -3, by the uninstall with -605; so is
// one whose QX folder others may change.
TEST_F(ProcedureFailures, AProductFolderOthersMayChangeIsNotUsed) {
  std::vector<int> codes;
  ASSERT_EQ(Run(InstallProcedure, 1, &codes), 0);
  const std::string qx = product.substr(0, product.find_last_of('\\'));
  ASSERT_EQ(RunOnHost("chmod o+w '" + UnixPathOf(product) + "'"), 0);
  log.Reset();
  EXPECT_EQ(Run(UninstallProcedure, 1, &codes), -605);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_TRUE(Exists(product + "\\brindlemoor.exe"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(), kOwnView));
  ASSERT_TRUE(DeleteFileA((product + "\\readme.txt").c_str()));
  EXPECT_EQ(Run(InstallProcedure, 1, &codes), -3);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_FALSE(Exists(product + "\\readme.txt"));
  EXPECT_TRUE(log.Lines().empty());

  ASSERT_EQ(
      RunOnHost("chmod o-w '" + UnixPathOf(product) + "' && chmod o+w '" + UnixPathOf(qx) + "'"),
      0);
  EXPECT_EQ(Run(InstallProcedure, 1, &codes), -3);
  EXPECT_FALSE(Exists(product + "\\readme.txt"));
  EXPECT_EQ(Run(UninstallProcedure, 1, &codes), -605);
  EXPECT_TRUE(Exists(product + "\\brindlemoor.exe"));
  ASSERT_EQ(RunOnHost("chmod o-w '" + UnixPathOf(qx) + "'"), 0);
}

// The uninstall starts only the driver setup program it has just extracted:
// when that can't be written, an older program left under its name is not
// run, and nothing is removed.
TEST_F(ProcedureFailures, UninstallRunsNoOlderSetupProgram) {
  ASSERT_EQ(Run(InstallProcedure), 0);
  const std::string setup_program = product + "\\" + kDriverSetupProgram64;
  ASSERT_TRUE(
      CopyFileA((product + "\\" + kRegistrationProgram64).c_str(), setup_program.c_str(), FALSE));
  ASSERT_TRUE(SetFileAttributesA(setup_program.c_str(), FILE_ATTRIBUTE_READONLY));
  log.Reset();
  std::vector<int> codes;
  EXPECT_EQ(Run(UninstallProcedure, 1, &codes), -605);
  EXPECT_EQ(codes, std::vector<int>{NOTIFY_FAILED});
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_TRUE(Exists(product + "\\brindlemoor.exe"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(), kOwnView));
  SetFileAttributesA(setup_program.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Without the installer's own file there is no uninstaller to leave: the
// install says so before anything is written.
TEST_F(ProcedureFailures, AMissingInstallerFileStopsTheInstallFirst) {
  std::vector<int> codes;
  PackageModule package;
  std::unique_ptr<InstallerContext> context = NewContext(package.handle, 1);
  context->window = window.handle;
  context->installer_image = nullptr;
  EXPECT_EQ(InstallProcedure(context.get()), -10);
  EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_FAILED});
  EXPECT_FALSE(Exists(product));
  EXPECT_TRUE(log.Lines().empty());
}

// An uninstall run from the installer's copy in the product folder can't
// delete that copy: it and the folder go at the next restart.
TEST_F(ProcedureFailures, TheRunningCopyGoesAtTheNextRestart) {
  ASSERT_EQ(Run(InstallProcedure), 0);
  const std::string copy = product + "\\" + kUninstallerProgram;
  // Held as a running program's file is: nobody may delete it.
  HANDLE running =
      CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  std::unique_ptr<InstallerContext> context;
  {
    PackageModule package;
    context = NewContext(package.handle, 1);
    context->window = window.handle;
    std::snprintf(context->installer_path, sizeof context->installer_path, "%s", copy.c_str());
    EXPECT_EQ(UninstallProcedure(context.get()), 0);
  }
  CloseHandle(running);
  const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
  HKEY key = nullptr;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
      ERROR_SUCCESS);
  char pending[4096] = {};
  DWORD size = sizeof pending - 2;
  const LONG status = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(pending), &size);
  RegDeleteValueA(key, "PendingFileRenameOperations");
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS);
  // Each deletion is a name and an empty new name: the copy first, then the
  // folder, then the company folder above it (which goes only if empty).
  std::vector<std::string> names;
  for (size_t at = 0; at < size && pending[at] != '\0';) {
    names.push_back(Lower(pending + at));
    at += std::strlen(pending + at) + 1;
    at += std::strlen(pending + at) + 1;  // the new name
  }
  ASSERT_EQ(names.size(), 3u);
  EXPECT_NE(names[0].find(Lower(copy)), std::string::npos) << names[0];
  EXPECT_NE(names[1].find(Lower(product)), std::string::npos) << names[1];
  EXPECT_EQ(names[1].find(Lower(copy)), std::string::npos) << names[1];
  const std::string company = product.substr(0, product.find_last_of('\\'));
  EXPECT_NE(names[2].find(Lower(company)), std::string::npos) << names[2];
  EXPECT_EQ(names[2].find(Lower(product)), std::string::npos) << names[2];
}

}  // namespace
