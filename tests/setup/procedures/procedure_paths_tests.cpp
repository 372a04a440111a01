// The procedures' path texts and the stand-in programs' command lines, on
// the host (and under Wine).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setup/package/package_format.h"
#include "setup/paths/install_paths.h"
#include "setup/paths/path_text.h"
#include "setup/standin/standin_args.h"

namespace {

std::string Fallback(const char* windows, int complete, size_t size = 1024) {
  char out[1024];
  std::memset(out, '#', sizeof out);
  const int ok = ProgramFilesFallback(windows, complete, out, size);
  return (ok ? "" : "failed:") + std::string(out);
}

TEST(ProgramFilesFallback, CutsTheWindowsFolderAfterItsRoot) {
  EXPECT_EQ(Fallback("C:\\WINDOWS", 1), "C:\\\\Program Files\\");
  EXPECT_EQ(Fallback("D:\\Win\\System", 1), "D:\\\\Program Files\\");
  EXPECT_EQ(Fallback("E:", 1), "E:\\Program Files\\");  // no backslash past the drive
  // A text that GetWindowsDirectoryA did not give whole: "C:".
  EXPECT_EQ(Fallback("Q:\\Partial", 0), "C:\\Program Files\\");
  EXPECT_EQ(Fallback(nullptr, 0), "C:\\Program Files\\");
  // Exactly fitting, and one byte short: refused, not cut.
  EXPECT_EQ(Fallback("C:\\WINDOWS", 1, 19), "C:\\\\Program Files\\");
  EXPECT_EQ(Fallback("C:\\WINDOWS", 1, 18), "failed:");
}

TEST(FileNamePart, TakesWhatFollowsTheLastBackslash) {
  EXPECT_STREQ(FileNamePart("C:\\a\\b\\BrindlemoorSetup.exe"), "BrindlemoorSetup.exe");
  EXPECT_STREQ(FileNamePart("setup.exe"), "setup.exe");
  EXPECT_STREQ(FileNamePart("C:\\folder\\"), "");
}

// Folders the procedures take from the registry and the shell: only a full
// path is used; anything else would land below the current folder or the
// current drive's root.
TEST(IsAbsoluteFolder, OnlyFullPathsCount) {
  for (const char* full : {"C:\\", "C:\\Users\\me\\Start Menu\\Programs", "z:\\x",
                           "\\\\server\\share", "\\\\server\\share\\Programs"}) {
    EXPECT_EQ(IsAbsoluteFolder(full), 1) << full;
  }
  for (const char* partial :
       {"", "Startup", "\\", "\\Programs", "C:", "C:Programs", "1:\\x", "\\\\", "\\\\server",
        "\\\\server\\", "\\\\\\share", "\\\\?\\C:\\Programs", "\\\\.\\C:\\Programs",
        "\\\\?\\UNC\\server\\share", "\\\\.\\GLOBALROOT\\x", "\\\\?/C:\\Programs"}) {
    EXPECT_EQ(IsAbsoluteFolder(partial), 0) << partial;
  }
  EXPECT_EQ(IsAbsoluteFolder(nullptr), 0);
}

// The per-user folders the user's settings name are used only inside the
// profile folder: a prefix that ends mid-name, or dots that climb back out,
// are outside.
TEST(IsInsideFolder, OnlyWhatLiesBelowTheFolder) {
  const char* const kProfile = "C:\\Users\\bob";
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\AppData\\Programs", kProfile), 1);
  EXPECT_EQ(IsInsideFolder("c:\\users\\BOB\\Start Menu\\", "C:\\Users\\bob\\"), 1);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob", kProfile), 0);  // the folder itself
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bobby\\Programs", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\..\\..\\Windows", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\.\\Programs", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\\\Programs", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\ProgramData\\Microsoft\\Windows\\Start Menu", kProfile), 0);
  EXPECT_EQ(IsInsideFolder("C:\\Users\\bob\\Programs", ""), 0);
}

TEST(ShortcutPath, JoinsAndAddsTheLinkExtension) {
  char out[kPathSize];
  ASSERT_EQ(ShortcutPath(out, sizeof out, "C:\\Start\\", "Readme"), 1);
  EXPECT_STREQ(out, "C:\\Start\\Readme.LNK");
  ASSERT_EQ(ShortcutPath(out, 16, "C:\\S", "Readme"), 1);  // 15 characters and the NUL
  EXPECT_STREQ(out, "C:\\S\\Readme.LNK");
  EXPECT_EQ(ShortcutPath(out, 15, "C:\\S", "Readme"), 0);
  EXPECT_STREQ(out, "");
}

TEST(StandInArguments, DriverSetupSwitches) {
  EXPECT_EQ(ParseDriverSetupArguments("-h -i -H -n"), kDriverSetupInstall);
  EXPECT_EQ(ParseDriverSetupArguments("-h -u -H"), kDriverSetupRemove);
  EXPECT_EQ(ParseDriverSetupArguments("-h -H"), kDriverSetupNothing);
  EXPECT_EQ(ParseDriverSetupArguments(""), kDriverSetupNothing);
  EXPECT_EQ(ParseDriverSetupArguments(nullptr), kDriverSetupNothing);
  // Started from a shell, the program's own path comes first.
  EXPECT_EQ(ParseDriverSetupArguments("\"C:\\my-installs\\QUILLAN_Setup.exe\" -h -u -H"),
            kDriverSetupRemove);
  EXPECT_EQ(ParseDriverSetupArguments("C:\\my-installs\\QUILLAN_Setup.exe"), kDriverSetupNothing);
}

std::string Registration(const char* arguments, int* unregister, size_t size = 260) {
  char path[260];
  const int ok = ParseRegistrationArguments(arguments, unregister, path, size);
  return (ok ? "" : "failed:") + std::string(path);
}

TEST(StandInArguments, RegistrationProgram) {
  int unregister = -1;
  EXPECT_EQ(
      Registration(" -fC:\\Program Files\\QX\\Brindlemoor\\kxbm_asiodriver64.dll", &unregister),
      "C:\\Program Files\\QX\\Brindlemoor\\kxbm_asiodriver64.dll");
  EXPECT_EQ(unregister, 0);
  EXPECT_EQ(Registration(" -u  -fC:\\P F\\lib.dll  ", &unregister), "C:\\P F\\lib.dll");
  EXPECT_EQ(unregister, 1);
  // A path holding switch-like text is the path.
  EXPECT_EQ(Registration(" -fC:\\a -u b\\-f.dll", &unregister), "C:\\a -u b\\-f.dll");
  EXPECT_EQ(unregister, 0);
  EXPECT_EQ(Registration("\"C:\\x\\qxregsvr64.exe\" -u -fD:\\lib.dll", &unregister), "D:\\lib.dll");
  EXPECT_EQ(unregister, 1);
  EXPECT_EQ(Registration(" -u ", &unregister), "failed:");
  EXPECT_EQ(Registration(" -f   ", &unregister), "failed:");
  EXPECT_EQ(Registration(" -fC:\\long.dll", &unregister, 8), "failed:");
  EXPECT_EQ(Registration(" -fC:\\a.dll", &unregister, 9), "C:\\a.dll");
}

}  // namespace
