// The installer's command line and its naming of Windows versions.
#include <gtest/gtest.h>

#include <string>

#include "setup/installer/command_line.h"
#include "setup/system/os_version.h"

namespace {

std::string Flags(const char* text) {
  const InstallerFlags f = ParseInstallerCommandLine(text);
  return std::string(f.silent ? "h" : "") + (f.auto_install ? "i" : "") + (f.auto_remove ? "u" : "");
}

TEST(InstallerCommandLine, SwitchLetters) {
  EXPECT_EQ(Flags("-h -i"), "hi");
  EXPECT_EQ(Flags("-H -u"), "hu");
  EXPECT_EQ(Flags("-U"), "u");
  EXPECT_EQ(Flags("-I"), "");  // only a lower-case i installs
  EXPECT_EQ(Flags("-hi"), "h");  // one letter after each "-"
  EXPECT_EQ(Flags("-x -q -i"), "i");
  EXPECT_EQ(Flags("/i"), "");
  EXPECT_EQ(Flags("-"), "");   // shorter than 2 characters
  EXPECT_EQ(Flags(""), "");
  EXPECT_EQ(Flags(nullptr), "");
  EXPECT_EQ(Flags("a-"), "");  // a "-" at the very end
  EXPECT_EQ(Flags("--i"), "");  // the second "-" is the first one's letter; "i" follows no "-"
  EXPECT_EQ(Flags("path-with-hyphen -i"), "hi");  // any "-" counts: "-h" of "-hyphen"
}

TEST(InstallerOsVersion, Classification) {
  EXPECT_EQ(ClassifyOs(1, 5, 0, 1), 0);
  EXPECT_EQ(ClassifyOs(1, 4, 0, 1), 0);
  EXPECT_EQ(ClassifyOs(1, 5, 1, 1), 1);
  EXPECT_EQ(ClassifyOs(1, 5, 2, 1), 2);
  EXPECT_EQ(ClassifyOs(1, 6, 0, 1), 3);
  EXPECT_EQ(ClassifyOs(1, 6, 1, 1), 4);
  EXPECT_EQ(ClassifyOs(1, 6, 1, 3), 3);  // 6.1 server
  EXPECT_EQ(ClassifyOs(1, 6, 2, 1), 5);
  EXPECT_EQ(ClassifyOs(1, 6, 3, 1), kOsUnknown);
  EXPECT_EQ(ClassifyOs(1, 10, 0, 1), kOsUnknown);
  EXPECT_EQ(ClassifyOs(0, 6, 1, 1), kOsUnknown);
  EXPECT_STREQ(OsText(2), "O/S: unknown");
  EXPECT_STREQ(OsText(5), "O/S: WIN8");
  EXPECT_STREQ(OsText(4), "O/S: WIN7");
  EXPECT_STREQ(OsText(kOsUnknown), "O/S: unknown");
  EXPECT_STREQ(OsText(0), "O/S: < XP");
}

}  // namespace
