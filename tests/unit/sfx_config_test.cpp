// The configuration block's layout and the start-up text rules that need no Windows.
#include "common/sfx_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
std::string Quote(const char* path, unsigned size = 260) {
  char dest[300];
  std::memset(dest, 'X', sizeof dest);
  return QuoteIfBlank(path, dest, size);
}
}  // namespace

TEST(SfxConfigBlock, FieldsAtTheirFileOffsets) {
  // Bytes as the packer writes them, read through the record.
  unsigned char raw[717] = {};
  raw[0] = 0x00, raw[1] = 0xB4, raw[2] = 0x01, raw[3] = 0x80;  // archive offset
  std::memcpy(raw + 4, "Title", 6);
  std::memcpy(raw + 55, "Label", 6);
  std::memcpy(raw + 96, "C:\\Folder", 10);
  std::memcpy(raw + 352, "Message", 8);
  std::memcpy(raw + 453, "setup.exe /q", 13);
  raw[713] = 0x02, raw[716] = 0x80;  // flags, unaligned
  SfxConfig c;
  std::memcpy(&c, raw, sizeof c);
  EXPECT_EQ(ConfigArchiveOffset(c), 0x8001B400u);
  EXPECT_STREQ(c.title, "Title");
  EXPECT_STREQ(c.folderLabel, "Label");
  EXPECT_STREQ(c.defaultFolder, "C:\\Folder");
  EXPECT_STREQ(c.message, "Message");
  EXPECT_STREQ(c.autoRunCommand, "setup.exe /q");
  EXPECT_EQ(ConfigFlags(c), 0x80000002u);
  SetConfigFlags(c, kFlagRestoreAttributes);
  std::memcpy(raw, &c, sizeof c);
  EXPECT_EQ(raw[713], 1);
  EXPECT_EQ(raw[716], 0);
}

TEST(SfxConfigBlock, UnterminatedFieldsEndInsideTheirWidth) {
  SfxConfig c;
  std::memset(&c, 'A', sizeof c);
  // The title's width ends on a Shift_JIS lead byte: the cut drops the whole character.
  c.title[49] = '\x82';
  c.title[50] = '\xa0';
  // Bytes after a terminating zero stay where they are and are never part of the text.
  c.message[3] = '\0';
  TerminateConfigTexts(c);
  EXPECT_EQ(std::strlen(c.title), 49u);
  EXPECT_EQ(std::strlen(c.folderLabel), 40u);
  EXPECT_EQ(std::strlen(c.defaultFolder), 255u);
  EXPECT_STREQ(c.message, "AAA");
  EXPECT_EQ(c.message[4], 'A');
  EXPECT_EQ(std::strlen(c.autoRunCommand), 259u);
  EXPECT_EQ(c.flags[0], 'A');
}

TEST(QuoteIfBlank, QuotesOnlyUnquotedPathsWithBlanks) {
  EXPECT_EQ(Quote("C:\\Program Files\\App"), "\"C:\\Program Files\\App\"");
  EXPECT_EQ(Quote("\"C:\\Already quoted"), "\"C:\\Already quoted");
  EXPECT_EQ(Quote("C:\\tabs\tonly"), "C:\\tabs\tonly");
  EXPECT_EQ(Quote(""), "");
  EXPECT_EQ(Quote("C:\\plain"), "C:\\plain");
}

TEST(QuoteIfBlank, FolderThatWouldNotFitQuotedStaysUnquoted) {
  std::string folder = "C:\\" + std::string(250, 'a') + " b";  // 255 bytes
  ASSERT_EQ(folder.size(), 255u);
  EXPECT_EQ(Quote(folder.c_str(), 256), folder);
  folder.resize(253);  // 253 + two quotes + zero fit 256
  folder.back() = ' ';
  EXPECT_EQ(Quote(folder.c_str(), 256), "\"" + folder + "\"");
}

TEST(CommandLineTail, TextAfterTheProgramName) {
  EXPECT_STREQ(CommandLineTail("sfx.exe"), "");
  EXPECT_STREQ(CommandLineTail("sfx.exe   C:\\Dest "), "C:\\Dest ");
  EXPECT_STREQ(CommandLineTail("\"C:\\My Apps\\sfx.exe\"\t \"D:\\x y\""), "\"D:\\x y\"");
  EXPECT_STREQ(CommandLineTail("\"C:\\My Apps\\sfx.exe\"D:\\next"), "D:\\next");
  // A double-byte character inside the quoted name is stepped over as one character.
  EXPECT_STREQ(CommandLineTail("\"C:\\\x95\x5c\\sfx.exe\" arg"), "arg");
  EXPECT_STREQ(CommandLineTail("\"unclosed name"), "");
  EXPECT_STREQ(CommandLineTail("sfx.exe\x01\x02 x"), "x");
}

TEST(PlatformCheck, WindowsNinetyFiveAndNtThreeFiftyOne) {
  auto version = [](unsigned major, unsigned minor, bool nineX) {
    return (nineX ? 0x80000000u : 0u) | (minor << 8) | major;
  };
  EXPECT_TRUE(IsSupportedVersion(version(4, 0, true)));    // Windows 95
  EXPECT_TRUE(IsSupportedVersion(version(4, 90, true)));   // Windows Me
  EXPECT_FALSE(IsSupportedVersion(version(3, 10, true)));  // Win32s on Windows 3.1
  EXPECT_FALSE(IsSupportedVersion(version(3, 50, false)));
  EXPECT_TRUE(IsSupportedVersion(version(3, 51, false)));
  EXPECT_TRUE(IsSupportedVersion(version(4, 0, false)));
  EXPECT_TRUE(IsSupportedVersion(version(10, 0, false)));
  EXPECT_FALSE(IsSupportedVersion(version(2, 99, false)));
}
