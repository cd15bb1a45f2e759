#include "paths/name_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/dbcs.h"
#include "paths/path_text.h"

namespace {
std::string Component(const std::string& name, NameRules rules) {
  char buffer[600];
  std::strcpy(buffer, name.c_str());
  SanitizeComponent(buffer, rules);
  return buffer;
}

std::string Relative(const std::string& path, NameRules rules) {
  char buffer[600];
  std::strcpy(buffer, path.c_str());
  SanitizeRelativePath(buffer, rules);
  return buffer;
}

// A Shift_JIS character (0x82 0xA0, hiragana) repeated n times.
std::string Kana(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "\x82\xa0";
  return s;
}
}  // namespace

TEST(SanitizeComponent, SampleNamesUnderBothRules) {
  ASSERT_TRUE(IsLead('\x82') && !IsLead('\xA0') && !IsLead('a')) << "the code page 932 rule";
  const struct {
    const char* name;
    const char* shortResult;
    const char* longResult;
  } kCases[] = {
      {"my file.html", "my_file.htm", "my file.html"},
      {"archive.tar.gz", "archive_.gz", "archive.tar.gz"},
      {".profile", ".pro", ".profile"},
      {"name.", "name.", "name."},
      {"..", "_.", ".."},
      {"a:b?.txt", "a_b_.txt", "a_b_.txt"},
      // Windows refuses control bytes in any name; 0x7F it takes.
      {"a\tname", "a_name", "a_name"},
      {"\x01x\x1f.\x7f", "_x_.\x7f", "_x_.\x7f"},
      {"x\"*<>|.y", "x_____.y", "x_____.y"},
      {"a+b,c;d=e", "a_b_c_d_", "a+b,c;d=e"},  // cut to 8 after replacing
      {"[a]\xff", "_a__", "[a]\xff"},
      // Half-width katakana (single bytes from 0xA1) and 0x7F are never replaced.
      {"\xb1\xb2\x7f.\xb3", "\xb1\xb2\x7f.\xb3", "\xb1\xb2\x7f.\xb3"},
      // A trail byte 0x5C or 0x7C is part of its character, not a separator or bar.
      {"\x95\x5c\x83\x7c.txt", "\x95\x5c\x83\x7c.txt", "\x95\x5c\x83\x7c.txt"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Component(c.name, ShortNames), c.shortResult) << c.name;
    EXPECT_EQ(Component(c.name, LongNames), c.longResult) << c.name;
  }
}

TEST(SanitizeComponent, ShortNameCutsNeverSplitACharacter) {
  // Four double-byte characters are exactly 8 bytes: whole.
  EXPECT_EQ(Component(Kana(4) + ".txt", ShortNames), Kana(4) + ".txt");
  // "a" and four characters: the eighth byte would be a lead byte, 7 remain.
  EXPECT_EQ(Component("a" + Kana(4) + ".txt", ShortNames), "a" + Kana(3) + ".txt");
  // An extension of two characters keeps only the first.
  EXPECT_EQ(Component("f." + Kana(2), ShortNames), "f." + Kana(1));
  // Without a '.', the whole component is the base.
  EXPECT_EQ(Component("abcdefghij", ShortNames), "abcdefgh");
  // A lead byte that ends the text has no character to belong to.
  EXPECT_EQ(Component("ab\x82", ShortNames), "ab");
  EXPECT_EQ(Component("ab\x82", LongNames), "ab");
}

TEST(SanitizeComponent, LongNameCutAt255Or254) {
  EXPECT_EQ(Component(std::string(300, 'a'), LongNames), std::string(255, 'a'));
  // 254 single bytes, then a character whose lead byte is the 255th.
  EXPECT_EQ(Component(std::string(254, 'a') + Kana(3), LongNames), std::string(254, 'a'));
  // 253 single bytes, then a character that ends exactly at 255.
  EXPECT_EQ(Component(std::string(253, 'a') + Kana(3), LongNames), std::string(253, 'a') + Kana(1));
}

TEST(SanitizeSpan, ReturnsTheNewEnd) {
  char span[] = "a/b\x82\xa0z";
  char* end = SanitizeSpan(span, 4, LongNames);  // the lead byte is the 4th: it goes
  EXPECT_EQ(end, span + 3);
  EXPECT_EQ(std::string(span), "a_b");
}

TEST(SanitizeRelativePath, SlashesAndComponents) {
  EXPECT_EQ(Relative("/lead/x", LongNames), "/lead/x");
  EXPECT_EQ(Relative("a//b", LongNames), "a//b");
  EXPECT_EQ(Relative("//a", ShortNames), "//a");
  EXPECT_EQ(Relative("Program Files/my file.html", ShortNames), "Program_/my_file.htm");
  EXPECT_EQ(Relative("dir.with.dots/archive.tar.gz", ShortNames), "dir_with.dot/archive_.gz");
  EXPECT_EQ(Relative("a/b/", LongNames), "a/b/");
  EXPECT_EQ(Relative("", ShortNames), "");
  // Each component is cut on its own, so the later ones move down intact.
  EXPECT_EQ(Relative(std::string(20, 'x') + "/" + std::string(20, 'y'), ShortNames),
            std::string(8, 'x') + "/" + std::string(8, 'y'));
}

TEST(MemberPath, HostileNamesAreRefusedOrMadePlain) {
  // Each entry attacks the destination folder through the member's stored
  // name. Expected: the member part of the written path under long and under
  // 8.3 rules, or null when the member must be refused.
  const struct {
    const char* name;
    const char* longResult;
    const char* shortResult;
  } kCases[] = {
      {"..", nullptr, "_."},                         // the parent itself
      {"../x", nullptr, "_./x"},                     // one level up
      {"a/../../x", nullptr, "a/_./_./x"},           // up after a descent
      {"..\\x", nullptr, "_./x"},                    // backslash as separator
      {"..\xff" "x", nullptr, "_./x"},               // 0xFF, the header's level separator
      {"./../x", nullptr, nullptr},                  // "." stays "." under both rules
      {".../x", nullptr, "__./x"},                   // Windows trims trailing dots
      {". ./x", nullptr, "__./x"},                   // only dots and blanks
      {" /x", nullptr, "_/x"},                       // a blank component trims to nothing
      {"a/ . /b", nullptr, "a/_._/b"},
      {"C:/Windows/x", "C_/Windows/x", "C_/Windows/x"},  // drive form
      {"C:x", "C_x", "C_x"},                             // drive-relative form
      {"\\\\server\\share\\x", "//server/share/x", "//server/share/x"},  // UNC
      {"\\\\?\\C:\\x", "//_/C_/x", "//_/C_/x"},         // long-path prefix
      {"file.txt:stream", "file.txt_stream", "file.txt"},  // alternate data stream
      {"CON", nullptr, nullptr},                         // devices, any case, any extension
      {"nul.txt", nullptr, nullptr},
      {"dir/aux.tar.gz", nullptr, "dir/aux_tar.gz"},
      {"Com1", nullptr, nullptr},
      {"lpt9.log", nullptr, nullptr},
      {"CON .txt", nullptr, "CON_.txt"},
      {"conin$", nullptr, nullptr},
      {"CLOCK$", nullptr, nullptr},
      {"", nullptr, nullptr},                            // nothing to name
      {"/", nullptr, nullptr},
      {"a//", "a//", "a//"},
  };
  char prefix[300];
  ASSERT_TRUE(PrepareFolderPrefix(prefix, sizeof prefix, "C:\\dest", 3, LongNames));
  ASSERT_EQ(std::string(prefix), "C:\\dest/");
  char path[600];
  for (const auto& c : kCases) {
    for (NameRules rules : {LongNames, ShortNames}) {
      char stored[300];
      std::strcpy(stored, c.name);
      NormalizeSeparators(stored, '/');
      const char* expected = rules == LongNames ? c.longResult : c.shortResult;
      const MemberPathResult result = BuildMemberPath(path, sizeof path, prefix, stored, rules);
      if (!expected) {
        EXPECT_EQ(result, MemberPathResult::Outside) << c.name << " rules " << rules;
      } else {
        EXPECT_EQ(result, MemberPathResult::Inside) << c.name << " rules " << rules;
        EXPECT_EQ(std::string(path), std::string("C:\\dest/") + expected) << c.name;
      }
    }
  }
}

TEST(MemberPath, PlainNamesAreKept) {
  char prefix[300];
  char path[600];
  ASSERT_TRUE(PrepareFolderPrefix(prefix, sizeof prefix, "\\\\srv\\share\\my dir", 13, LongNames));
  EXPECT_EQ(std::string(prefix), "\\\\srv\\share\\my dir/");
  const struct {
    const char* name;
    const char* path;
  } kCases[] = {
      {"a/b.txt", "\\\\srv\\share\\my dir/a/b.txt"},
      {"/lead", "\\\\srv\\share\\my dir//lead"},
      {"\\lead", "\\\\srv\\share\\my dir/lead"},
      {"..a/b..", "\\\\srv\\share\\my dir/..a/b.."},
      {"console.txt", "\\\\srv\\share\\my dir/console.txt"},
      {"com10", "\\\\srv\\share\\my dir/com10"},
      {"\x95\x5c/x", "\\\\srv\\share\\my dir/\x95\x5c/x"},
      {"dir/", "\\\\srv\\share\\my dir/dir/"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(BuildMemberPath(path, sizeof path, prefix, c.name, LongNames), MemberPathResult::Inside)
        << c.name;
    EXPECT_EQ(std::string(path), c.path);
  }
}

TEST(MemberPath, FolderComponentsFollowTheVolumeRulesAndBoundsHold) {
  char prefix[300];
  ASSERT_TRUE(PrepareFolderPrefix(prefix, sizeof prefix, "C:\\Program Files\\x.y.z\\", 3, ShortNames));
  EXPECT_EQ(std::string(prefix), "C:\\Program_/x_y.z/");
  ASSERT_TRUE(PrepareFolderPrefix(prefix, sizeof prefix, "C:\\", 3, ShortNames));
  EXPECT_EQ(std::string(prefix), "C:\\");
  EXPECT_FALSE(PrepareFolderPrefix(prefix, 8, "C:\\long folder", 3, LongNames));

  // A path longer than the buffer is refused, not written past it.
  char path[32];
  std::memset(path, 'Z', sizeof path);
  char small[24];
  EXPECT_EQ(BuildMemberPath(small, sizeof small, "C:\\dest/", std::string(40, 'n').c_str(), LongNames),
            MemberPathResult::TooLong);
  EXPECT_EQ(BuildMemberPath(path, 16, "C:\\dest/", "1234567", LongNames), MemberPathResult::Inside);
  EXPECT_EQ(BuildMemberPath(path, 16, "C:\\dest/", "12345678", LongNames), MemberPathResult::TooLong);
  EXPECT_EQ(path[16], 'Z');
}
