#include "common/dbcs.h"
#include "paths/path_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(NormalizeSeparators, AllSeparatorsButTrailBytes) {
  // 0x95 0x5C is one Shift_JIS character whose second byte looks like a backslash.
  char path[] = "a\\b\xff" "c/\x95\x5c\\d";
  NormalizeSeparators(path, '/');
  EXPECT_EQ(std::string(path), "a/b/c/\x95\x5c/d");
}

TEST(UnquotePath, QuotedUnquotedAndUnclosed) {
  char out[64];
  UnquotePath(out, sizeof out, " \t\"C:\\Program Files\\x\" trailing junk");
  EXPECT_EQ(std::string(out), "C:\\Program Files\\x");
  UnquotePath(out, sizeof out, "\t \"C:\\open ended ");
  EXPECT_EQ(std::string(out), "C:\\open ended ");
  UnquotePath(out, sizeof out, "  C:\\plain  ");
  EXPECT_EQ(std::string(out), "C:\\plain  ");
  UnquotePath(out, sizeof out, "\"\"");
  EXPECT_EQ(std::string(out), "");
}

TEST(UnquotePath, CutsToTheBufferOnACharacterBoundary) {
  char out[6];
  // Five bytes fit: "ab", then a double-byte character that would need
  // bytes 5 and 6 goes whole.
  UnquotePath(out, sizeof out, "\"ab\x82\xa0\x82\xa0\"");
  EXPECT_EQ(std::string(out), "ab\x82\xa0");
  UnquotePath(out, sizeof out, "abcd\x82\xa0");
  EXPECT_EQ(std::string(out), "abcd");
}

TEST(GetPathRoot, DriveAndUncForms) {
  char root[kPathRootBytes];
  const struct {
    const char* path;
    const char* root;
  } kCases[] = {
      {"C:\\", "C:\\"},
      {"C:\\dir\\file", "C:\\"},
      {"#:\\odd drive byte", "#:\\"},
      {"C:", ""},
      {"C:name", ""},
      {"\\single\\backslash", ""},
      {"relative\\path", ""},
      {"", ""},
      {"\\\\server\\share\\dir\\x", "\\\\server\\share\\"},
      {"\\\\server\\share", "\\\\server\\share"},  // no backslash after the share: whole
      {"\\\\server", "\\\\server"},                // no share part: whole
      {"\\\\?\\C:\\x", "\\\\?\\C:\\"},
      // 0x95 0x5C and 0x83 0x5C are double-byte characters, not separators.
      {"\\\\s\x95\x5cv\\sh\x83\x5c\\d", "\\\\s\x95\x5cv\\sh\x83\x5c\\"},
  };
  for (const auto& c : kCases) {
    GetPathRoot(root, c.path);
    EXPECT_EQ(std::string(root), c.root) << c.path;
  }
}

TEST(GetPathRoot, OverlongUncPathIsCut) {
  std::string path = "\\\\" + std::string(400, 's');
  char root[kPathRootBytes + 8];
  std::memset(root, 'Z', sizeof root);
  GetPathRoot(root, path.c_str());
  EXPECT_EQ(std::strlen(root), kPathRootBytes - 1);
  EXPECT_EQ(root[kPathRootBytes], 'Z');
}

TEST(AddBackslash, TrailBytesAndBounds) {
  char path[8] = "a\x95\x5c";  // ends in a character whose second byte is 0x5C
  EXPECT_TRUE(AddBackslash(path, sizeof path));
  EXPECT_EQ(std::string(path), "a\x95\x5c\\");
  EXPECT_TRUE(AddBackslash(path, sizeof path));
  EXPECT_EQ(std::string(path), "a\x95\x5c\\");
  char empty[2] = "";
  EXPECT_TRUE(AddBackslash(empty, sizeof empty));
  EXPECT_EQ(std::string(empty), "\\");
  char full[4] = "abc";
  EXPECT_FALSE(AddBackslash(full, sizeof full));
  EXPECT_EQ(std::string(full), "abc");
}

TEST(JoinPath, OneSeparatorAndOneLeadingBackslashDropped) {
  char out[32];
  EXPECT_TRUE(JoinPath(out, sizeof out, "C:\\dest", "a/b"));
  EXPECT_EQ(std::string(out), "C:\\dest\\a/b");
  EXPECT_TRUE(JoinPath(out, sizeof out, "C:\\dest\\", "\\\\x"));
  EXPECT_EQ(std::string(out), "C:\\dest\\\\x");
  EXPECT_FALSE(JoinPath(out, 12, "C:\\dest", "toolong"));
  EXPECT_LT(std::strlen(out), 12u);
}

TEST(SplitCommand, QuotingRules) {
  char program[32];
  const struct {
    const char* command;
    const char* program;
    const char* parameters;
  } kCases[] = {
      {"setup.exe", "setup.exe", ""},
      {"  \tsetup.exe  /s  x ", "setup.exe", "/s  x "},
      {"\"C:\\Program Files\\a b.exe\" /q", "C:\\Program Files\\a b.exe", "/q"},
      {"\"a.exe\"/q \"x y\"", "a.exe", "/q \"x y\""},  // no blank after the quote
      {"a\"b.exe c", "a\"b.exe", "c"},                  // a quote inside a token is a byte
      {"\"unclosed program", "unclosed program", ""},
      {"", "", ""},
      {"   ", "", ""},
  };
  for (const auto& c : kCases) {
    const char* parameters = SplitCommand(program, sizeof program, c.command);
    EXPECT_EQ(std::string(program), c.program) << c.command;
    EXPECT_EQ(std::string(parameters), c.parameters) << c.command;
  }
}

TEST(SplitCommand, LongProgramIsCutNotOverrun) {
  char program[8];
  const char* parameters = SplitCommand(program, sizeof program, "abcdefghijkl -x");
  EXPECT_EQ(std::string(program), "abcdefg");
  EXPECT_EQ(std::string(parameters), "-x");
}

TEST(IsFullPath, DrivePathsAndNetworkPathsOnly) {
  for (const char* path : {"C:\\", "C:\\dest", "?:\\any letter", "\\\\server\\share"})
    EXPECT_TRUE(IsFullPath(path)) << path;
  for (const char* path : {"", "C:", "C:dest", "C:/dest", "\\single", "relative", "\"C:\\quoted\""})
    EXPECT_FALSE(IsFullPath(path)) << path;
}
