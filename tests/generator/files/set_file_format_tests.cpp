// The current-set file's layout, its path and what it accepts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "generator/files/set_file_format.h"

namespace {

TEST(SetFile, LayoutPathAndAcceptance) {
  EXPECT_EQ(kSetFileBytes, 232u);
  char path[kPathBytes];
  ASSERT_EQ(BuildSetFilePath("C:\\work", path, sizeof path), 1);
  EXPECT_STREQ(path, "C:\\work\\qx_gene_current_set.def");
  ASSERT_EQ(BuildSetFilePath("C:\\", path, sizeof path), 1);
  EXPECT_STREQ(path, "C:\\qx_gene_current_set.def");
  // A start directory of 1000 characters does not fit with the name: refused.
  const std::string long_dir = "C:\\" + std::string(997, 'd');
  EXPECT_EQ(BuildSetFilePath(long_dir.c_str(), path, sizeof path), 0);
  EXPECT_STREQ(path, "");
  const std::string fits = "C:\\" + std::string(1024 - 1 - 24 - 3, 'd');
  EXPECT_EQ(BuildSetFilePath(fits.c_str(), path, sizeof path), 1);

  unsigned char bytes[kSetFileBytes];
  std::memcpy(bytes, kSetFileIdentification, kSetFileHeaderBytes);
  GeneratorSettings saved = kGeneratorDefaults;
  saved.on = 1;
  saved.frequency_hz = 440.0f;
  saved.reserved_37_45[8] = 77;
  std::memcpy(bytes + kSetFileHeaderBytes, &saved, sizeof saved);
  EXPECT_EQ(bytes[84], 1);  // the on word at file offset 84
  GeneratorSettings loaded;
  ASSERT_EQ(AcceptSetFile(bytes, bytes + kSetFileHeaderBytes, &loaded), 1);
  EXPECT_EQ(loaded.on, 0);
  loaded.on = 1;
  EXPECT_EQ(std::memcmp(&loaded, &saved, sizeof saved), 0);
  bytes[17] ^= 0x20;  // one character of the text differs
  EXPECT_EQ(AcceptSetFile(bytes, bytes + kSetFileHeaderBytes, &loaded), 0);
}

}  // namespace
