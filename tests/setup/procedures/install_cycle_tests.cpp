// The whole cycle under Wine, in a prefix made for this group alone: install
// the stand-in product, check everything the install procedure puts on the
// system, uninstall it, and compare drive C: and the registry with what they
// were before the install.
//
// The procedures run as the installer runs them: the install on the worker
// thread (StartWorker with wait), the uninstall on this thread, each with a
// freshly loaded package (a new run of the installer).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/setup/procedures/procedure_support.h"

namespace {

const char* const kAsioClass32 = "CLSID\\{6A1E32C0-5B7D-4F21-9C3A-0D4E8F1B2A01}";
const char* const kAsioClass64 = "CLSID\\{6A1E32C0-5B7D-4F21-9C3A-0D4E8F1B2A02}";

void ExpectShortcuts(const std::string& folder, const std::string& product, bool present) {
  for (const ProductShortcut& link : kStartMenuShortcuts) {
    const std::string path = folder + "\\" + link.name + ".LNK";
    if (!present) {
      EXPECT_FALSE(Exists(path)) << path;
      continue;
    }
    LinkInfo info;
    ASSERT_TRUE(ReadShortcut(path, &info)) << path;
    EXPECT_EQ(Lower(info.target), Lower(product + "\\" + link.target_entry)) << path;
    EXPECT_EQ(Lower(info.working_folder), Lower(product)) << path;
    EXPECT_EQ(info.description, link.name) << path;
  }
}

// The lines of Wine's own list of installed programs that name the product.
std::vector<std::string> UninstallerListsProduct() {
  const std::string text = RunAndCapture("uninstaller.exe --list");
  std::vector<std::string> found;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line.find("Brindlemoor, The Virtual Mixing Console") != std::string::npos) {
      found.push_back(line);
    }
    at = end + 1;
  }
  return found;
}

// The first `count` fields of a stand-in log line.
std::vector<std::string> Fields(const std::vector<std::string>& line, size_t count) {
  return std::vector<std::string>(line.begin(), line.begin() + std::min(count, line.size()));
}

std::string Variable(const char* name) {
  char value[4096];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  " + line + "\n";
  return text;
}

TEST(InstallCycle, InstallsEverythingAndUninstallLeavesThePrefixAsItWas) {
  HRESULT com = CoInitialize(nullptr);
  ResolveShellFolders();
  StandInLog log;
  ChooseSetupExit(nullptr);
  g_installer_flags.silent = 1;
  const std::string product = ProductFolder();
  // A 32-bit installer on 64-bit Windows: Program Files (x86) and WOW64.
  EXPECT_EQ(Lower(product), Lower(std::string(kExpectedProgramFiles) + "\\QX\\Brindlemoor"));
  ASSERT_EQ(RunsOn64BitWindows(), 1);
  ASSERT_FALSE(Exists(product));
  ASSERT_EQ(DriverInterfacePresent(), 0);
  ASSERT_TRUE(UninstallerListsProduct().empty());

  // A class key the user made under their own Software\Classes, where
  // writes through HKEY_CLASSES_ROOT would go: the registration must write
  // the machine's key and leave this one as it is.
  const std::string user_class = std::string("Software\\Classes\\") + kAsioClass32;
  HKEY user_key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, user_class.c_str(), 0, nullptr, 0, KEY_WRITE,
                            nullptr, &user_key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(user_key);

  const Snapshot before = TakeSnapshot();

  // The user's own PATH and TEMP, which the installer runs with.
  const std::string user_path = Variable("PATH");
  const std::string user_temp = Variable("TEMP");
  SetEnvironmentVariableA("PATH", (ProgramFolder() + "\\planted;" + user_path).c_str());
  SetEnvironmentVariableA("TEMP", (ProgramFolder() + "\\planted").c_str());

  // Install, on the worker, as the command-line run does it.
  NotifyWindow window;
  std::unique_ptr<InstallerContext> context;
  {
    PackageModule package;
    ASSERT_NE(package.handle, nullptr);
    context = NewContext(package.handle, RunsOn64BitWindows());
    context->window = window.handle;
    // The download, held open as the installer holds its own file, is put
    // aside and another file put under its name: a same-user program can't
    // (the rename is refused while it is held), the host's shell can. The
    // uninstaller must still be the installer.
    const std::string download = ProgramFolder() + "\\downloaded_setup.exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), download.c_str(), FALSE));
    HANDLE image = OpenImageFile(download.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(MoveFileA(download.c_str(), (download + ".old").c_str()));
    const std::string unix_download = UnixPathOf(download);
    ASSERT_EQ(RunOnHost("mv -f '" + unix_download + "' '" + unix_download + ".old' && " +
                        "echo not the installer > '" + unix_download + "'"),
              0);
    std::snprintf(context->installer_path, sizeof context->installer_path, "%s", download.c_str());
    context->installer_image = image;
    EXPECT_EQ(StartWorker(context.get(), 1), 0);
    CloseHandle(image);
    DeleteFileA(download.c_str());
    DeleteFileA((download + ".old").c_str());
  }
  SetEnvironmentVariableA("PATH", user_path.c_str());
  SetEnvironmentVariableA("TEMP", user_temp.c_str());
  EXPECT_EQ(IsWorkerRunning(context.get()), 0);
  EXPECT_EQ(context->worker_thread, nullptr);
  EXPECT_EQ(window.Codes(), std::vector<int>{NOTIFY_INSTALLED});
  char status[64];
  CopyStatusText(context.get(), status, sizeof status);
  EXPECT_STREQ(status, "Installation Completed");
  EXPECT_STREQ(context->error_caption, "Brindlemoor Installation Error");
  EXPECT_STREQ(context->error_text, "");
  EXPECT_EQ(Lower(context->target_folder), Lower(product));

  // Every file of the package, checked against the directory's digest.
  for (const PackageEntry& entry : context->package_directory) {
    Bytes bytes;
    ASSERT_TRUE(ReadAll(product + "\\" + entry.name, &bytes)) << entry.name;
    EXPECT_EQ(bytes.size(), entry.size) << entry.name;
    EXPECT_EQ(Md5Hex(bytes), Md5Hex(entry.digest)) << entry.name;
  }
  // The installer's copy, under the uninstaller's own name.
  const std::string program_name = ProgramPath().substr(ProgramFolder().size() + 1);
  const std::string copy = product + "\\" + kUninstallerProgram;
  Bytes original, copied;
  ASSERT_TRUE(ReadAll(ProgramPath(), &original));
  ASSERT_TRUE(ReadAll(copy, &copied));
  EXPECT_TRUE(original == copied);
  // Nothing but plain attributes (Wine reports a plain file as archive).
  EXPECT_EQ(GetFileAttributesA(copy.c_str()) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);

  // The driver setup program and the registration program, as they saw it.
  const auto lines = log.Lines();
  // The driver setup program; DllRegisterServer in this process; the
  // registration program, and the 64-bit library's DllRegisterServer in it.
  const std::string registration = " -f" + product + "\\kxbm_asiodriver64.dll";
  ASSERT_EQ(lines.size(), 4u);
  ASSERT_EQ(lines[0].size(), 5u);
  EXPECT_EQ(Fields(lines[0], 3),
            (std::vector<std::string>{"QUILLAN_Setup_x64.exe", "-h -i -H -n", product}));
  // The programs started as administrator get the system's environment, not
  // the user's, with temporary files in a folder of their own that is gone
  // once they have ended.
  for (const auto& line : {lines[0], lines[2]}) {
    EXPECT_EQ(Lower(line[3]), Lower(product + "\\" + kRunTempFolder)) << line[0];
    EXPECT_EQ(Lower(line[4]).find("planted"), std::string::npos) << line[4];
    EXPECT_NE(Lower(line[4]).find("system32"), std::string::npos) << line[4];
  }
  EXPECT_FALSE(Exists(product + "\\" + kRunTempFolder));
  EXPECT_EQ(lines[1][0], program_name);
  EXPECT_EQ(lines[2][0], "qxregsvr64.exe");
  EXPECT_EQ(lines[2][1], registration);
  EXPECT_EQ(lines[2][2], product);  // never the installer's start folder
  EXPECT_EQ(lines[3][0], "qxregsvr64.exe");
  EXPECT_EQ(lines[3][1], registration);
  EXPECT_EQ(DriverInterfacePresent(), 1);

  // The two COM registrations: the installer's own library in its registry
  // view (the 32-bit one under WOW64), the 64-bit program's in the 64-bit view.
  std::string server;
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE,
                         "Software\\Classes\\" + std::string(kAsioClass32) + "\\InprocServer32",
                         nullptr, &server, kOwnView));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, user_class + "\\InprocServer32", kOwnView));
  EXPECT_EQ(Lower(server), Lower(product + "\\kxbm_asiodriver.dll"));
  EXPECT_TRUE(ReadString(HKEY_CLASSES_ROOT, std::string(kAsioClass64) + "\\InprocServer32", nullptr,
                         &server, KEY_WOW64_64KEY));
  EXPECT_EQ(Lower(server), Lower(product + "\\kxbm_asiodriver64.dll"));

  // The mixer's three first-run values.
  for (const char* name : {"install", "nbLaunch", "done"}) {
    DWORD value = 7;
    EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, kMixerSettingsKey, name, &value)) << name;
    EXPECT_EQ(value, 0u) << name;
  }

  // The shortcuts, for the current user and for all users.
  ASSERT_FALSE(UserStartMenuFolder().empty());
  ExpectShortcuts(UserStartMenuFolder(), product, true);
  ExpectShortcuts(CommonStartMenuFolder(), product, true);

  // The uninstall entry, in the installer's registry view, read directly and
  // through Wine's own list.
  const std::string key = UninstallKey();
  std::string text;
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, key, "DisplayName", &text, kOwnView));
  EXPECT_EQ(text, "Brindlemoor, The Virtual Mixing Console");
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, key, "Publisher", &text));
  EXPECT_EQ(text, "Tarnwell Software");
  EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, key, "UninstallString", &text));
  EXPECT_EQ(text, "\"" + copy + "\"");
  EXPECT_EQ(UninstallerListsProduct().size(), 1u);

  // The mixer, once run, has a Startup shortcut and its tray start-up on.
  const std::string startup_link =
      std::string(g_shell_folders.startup) + "\\Brindlemoor (Tarnwell).LNK";
  const std::string mixer_program = product + "\\brindlemoor.exe";
  const ShortcutToMake startup = {mixer_program.c_str(), "Brindlemoor (Tarnwell)"};
  EXPECT_EQ(PlaceShortcuts(g_shell_folders.startup, "", &startup, 1), 1);
  ASSERT_TRUE(Exists(startup_link));
  EXPECT_EQ(WriteUserDword(kMixerSettingsKey, "SysTray", 1), 1);
  EXPECT_EQ(WriteUserDword(kMixerSettingsKey, "SysTrayShowOnRun", 1), 1);

  // Uninstall, on this thread, from a fresh run.
  log.Reset();
  {
    PackageModule package;
    context = NewContext(package.handle, RunsOn64BitWindows());
    context->window = window.handle;
    EXPECT_EQ(UninstallProcedure(context.get()), 0);
  }
  EXPECT_TRUE(window.Codes().empty());
  EXPECT_STREQ(context->target_folder, "");
  const auto removal = log.Lines();
  const std::string unregistration = " -u  -f" + product + "\\kxbm_asiodriver64.dll";
  ASSERT_EQ(removal.size(), 4u);
  EXPECT_EQ(Fields(removal[0], 3),
            (std::vector<std::string>{"QUILLAN_Setup_x64.exe", "-h -u -H", product}));
  EXPECT_EQ(removal[1][0], program_name);
  EXPECT_EQ(removal[2][0], "qxregsvr64.exe");
  EXPECT_EQ(removal[2][1], unregistration);
  EXPECT_EQ(removal[2][2], product);
  EXPECT_EQ(removal[3][1], unregistration);

  EXPECT_EQ(DriverInterfacePresent(), 0);
  EXPECT_FALSE(Exists(product));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass32, kOwnView));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kAsioClass64, KEY_WOW64_64KEY));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, kOwnView));
  EXPECT_TRUE(UninstallerListsProduct().empty());
  ExpectShortcuts(UserStartMenuFolder(), product, false);
  ExpectShortcuts(CommonStartMenuFolder(), product, false);
  EXPECT_FALSE(Exists(UserStartMenuFolder()));
  EXPECT_FALSE(Exists(CommonStartMenuFolder()));
  EXPECT_FALSE(Exists(startup_link));
  for (const char* name : {"SysTray", "SysTrayShowOnRun"}) {
    DWORD value = 7;
    EXPECT_TRUE(ReadDword(HKEY_CURRENT_USER, kMixerSettingsKey, name, &value)) << name;
    EXPECT_EQ(value, 0u) << name;
  }

  // Nothing else stays but what the uninstall leaves on purpose: the mixer's
  // settings key with its five values (all 0; the uninstall writes the two
  // tray values itself), and the interface class key that Wine's device
  // removal keeps (Windows keeps it too). The parent folders of the product
  // and of the two Start-menu folders went with them, being left empty.
  const std::string zero_dword = " = 4:4:" + Md5Hex(Bytes(4, 0));
  const std::string mixer = std::string("HKCU\\") + kMixerSettingsKey;
  const std::vector<std::string> expected_files;
  const std::vector<std::string> expected_registry = {
      "HKCU\\Tarnwell",
      mixer,
      mixer + "\\\\SysTray" + zero_dword,
      mixer + "\\\\SysTrayShowOnRun" + zero_dword,
      mixer + "\\\\done" + zero_dword,
      mixer + "\\\\install" + zero_dword,
      mixer + "\\\\nbLaunch" + zero_dword,
      std::string("HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\") +
          kMixerInterfaceClassText};
  const Snapshot after = TakeSnapshot();
  std::set<std::string> files_expected(expected_files.begin(), expected_files.end());
  std::set<std::string> registry_expected(expected_registry.begin(), expected_registry.end());
  const std::vector<std::string> files_added = Added(before.files, after.files);
  EXPECT_EQ(std::set<std::string>(files_added.begin(), files_added.end()), files_expected)
      << "added under C:\\\n"
      << Joined(files_added);
  EXPECT_EQ(Joined(Added(after.files, before.files)), "");
  const std::vector<std::string> keys_added = Added(before.registry, after.registry);
  EXPECT_EQ(std::set<std::string>(keys_added.begin(), keys_added.end()), registry_expected)
      << "added to the registry\n"
      << Joined(keys_added);
  EXPECT_EQ(Joined(Added(after.registry, before.registry)), "");
  RegDeleteKeyA(HKEY_CURRENT_USER, user_class.c_str());
  if (com == S_OK) CoUninitialize();
}

}  // namespace
