// The configuration block's layout and the start-up text rules that need no Windows.
#include "common/sfx_config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text_units.h"

namespace {
template <typename Unit>
Text<Unit> Quote(const Text<Unit>& path, unsigned size = 260) {
  Unit dest[300];
  std::fill(dest, dest + 300, Unit('X'));
  return QuoteIfBlank(path.c_str(), dest, size);
}
}  // namespace

template <typename Unit>
using StartupText = BothUnits<Unit>;
TYPED_TEST_SUITE(StartupText, TextUnits);

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

TYPED_TEST(StartupText, QuoteIfBlankQuotesOnlyUnquotedPathsWithBlanks) {
  using Unit = TypeParam;
  for (const auto& [path, result] : TextCases{
           {"C:\\Program Files\\App", "\"C:\\Program Files\\App\""},
           {"\"C:\\Already quoted", "\"C:\\Already quoted"},
           {"C:\\tabs\tonly", "C:\\tabs\tonly"},
           {"", ""},
           {"C:\\plain", "C:\\plain"}})
    EXPECT_EQ(Quote(W<Unit>(path)), W<Unit>(result)) << path;
}

TYPED_TEST(StartupText, QuoteIfBlankLeavesAFolderThatWouldNotFitQuotedUnquoted) {
  using Unit = TypeParam;
  Text<Unit> folder = W<Unit>("C:\\") + Text<Unit>(250, 'a') + W<Unit>(" b");  // 255 units
  EXPECT_EQ(Quote(folder, 256), folder);
  folder.resize(253);  // 253 + two quotes + zero fit 256
  folder.back() = ' ';
  EXPECT_EQ(Quote(folder, 256), W<Unit>("\"") + folder + W<Unit>("\""));
}

TYPED_TEST(StartupText, CommandLineTailIsTheTextAfterTheProgramName) {
  using Unit = TypeParam;
  for (const auto& [commandLine, tail] : TextCases{
           {"sfx.exe", ""},
           {"sfx.exe   C:\\Dest ", "C:\\Dest "},
           {"\"C:\\My Apps\\sfx.exe\"\t \"D:\\x y\"", "\"D:\\x y\""},
           {"\"C:\\My Apps\\sfx.exe\"D:\\next", "D:\\next"},
           {"\"unclosed name", ""},
           {"sfx.exe\x01\x02 x", "x"}}) {
    const Text<Unit> line = W<Unit>(commandLine);
    EXPECT_EQ(Text<Unit>(CommandLineTail(line.c_str())), W<Unit>(tail)) << commandLine;
  }
  // A pair inside the quoted name is stepped over as one character.
  const Text<Unit> line = W<Unit>("\"C:\\") + Pairs<Unit>(2) + W<Unit>("\\sfx.exe\" arg");
  EXPECT_EQ(Text<Unit>(CommandLineTail(line.c_str())), W<Unit>("arg"));
}

TEST(StartupTextBytes, ShiftJisTrailByte5CInTheProgramName) {
  EXPECT_STREQ(CommandLineTail("\"C:\\\x95\x5c\\sfx.exe\" arg"), "arg");
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
