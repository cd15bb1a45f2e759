// The path helpers on bytes and on UTF-16: the same tables for both, then
// what only one kind has (a Shift_JIS trail byte 0x5C; U+00FF).
#include "paths/path_text.h"

#include <gtest/gtest.h>

#include "text_units.h"

template <typename Unit>
using PathText = BothUnits<Unit>;
TYPED_TEST_SUITE(PathText, TextUnits);

TYPED_TEST(PathText, NormalizeSeparatorsTurnsAllThreeSeparators) {
  using Unit = TypeParam;
  Text<Unit> path = W<Unit>("a\\b\xff" "c/d") + Pairs<Unit>(1) + W<Unit>("\\");
  NormalizeSeparators(&path[0], '/');
  EXPECT_EQ(path, W<Unit>("a/b/c/d") + Pairs<Unit>(1) + W<Unit>("/"));
}

TYPED_TEST(PathText, UnquotePathQuotedUnquotedUnclosedAndCut) {
  using Unit = TypeParam;
  Unit out[64];
  for (const auto& [text, path] : TextCases{
           {" \t\"C:\\Program Files\\x\" junk", "C:\\Program Files\\x"},
           {"\t \"C:\\open ended ", "C:\\open ended "},
           {"  C:\\plain  ", "C:\\plain  "},
           {"\"\"", ""}}) {
    UnquotePath(out, 64, W<Unit>(text).c_str());
    EXPECT_EQ(Text<Unit>(out), W<Unit>(path)) << text;
  }
  // Five units fit: "ab", then a pair; the second pair would need units 5
  // and 6 and goes whole.
  UnquotePath(out, 6, (W<Unit>("\"ab") + Pairs<Unit>(2) + W<Unit>("\"")).c_str());
  EXPECT_EQ(Text<Unit>(out), W<Unit>("ab") + Pairs<Unit>(1));
  UnquotePath(out, 6, (W<Unit>("abcd") + Pairs<Unit>(1)).c_str());
  EXPECT_EQ(Text<Unit>(out), W<Unit>("abcd"));
}

TYPED_TEST(PathText, GetPathRootDriveAndUncForms) {
  using Unit = TypeParam;
  Unit root[kPathRootBytes + 8];
  for (const auto& [path, expected] : TextCases{
           {"C:\\", "C:\\"}, {"C:\\dir\\file", "C:\\"}, {"#:\\odd drive unit", "#:\\"}, {"C:", ""},
           {"C:name", ""}, {"\\single\\backslash", ""}, {"relative\\path", ""}, {"", ""},
           {"\\\\server\\share\\dir\\x", "\\\\server\\share\\"},
           {"\\\\server\\share", "\\\\server\\share"},  // no backslash after the share: whole
           {"\\\\server", "\\\\server"},                // no share part: whole
           {"\\\\?\\C:\\x", "\\\\?\\C:\\"}}) {
    GetPathRoot(root, W<Unit>(path).c_str());
    EXPECT_EQ(Text<Unit>(root), W<Unit>(expected)) << path;
  }
  // An overlong UNC root is cut to its buffer.
  std::fill(root, root + kPathRootBytes + 8, Unit('Z'));
  GetPathRoot(root, (W<Unit>("\\\\") + Text<Unit>(400, 's')).c_str());
  EXPECT_EQ(Text<Unit>(root).size(), kPathRootBytes - 1);
  EXPECT_EQ(root[kPathRootBytes], Unit('Z'));
}

TYPED_TEST(PathText, AddBackslashAndJoinPath) {
  using Unit = TypeParam;
  const Text<Unit> start = W<Unit>("a") + Pairs<Unit>(1), ended = start + W<Unit>("\\");
  Unit path[8] = {};
  start.copy(path, start.size());
  EXPECT_TRUE(AddBackslash(path, 8));
  EXPECT_EQ(Text<Unit>(path), ended);
  EXPECT_TRUE(AddBackslash(path, 8));  // once only
  EXPECT_EQ(Text<Unit>(path), ended);
  Unit full[4] = {'a', 'b', 'c', 0};
  EXPECT_FALSE(AddBackslash(full, 4));
  EXPECT_EQ(Text<Unit>(full), W<Unit>("abc"));

  Unit out[32];
  EXPECT_TRUE(JoinPath(out, 32, W<Unit>("C:\\dest").c_str(), W<Unit>("a/b").c_str()));
  EXPECT_EQ(Text<Unit>(out), W<Unit>("C:\\dest\\a/b"));
  // One leading backslash of the name is dropped.
  EXPECT_TRUE(JoinPath(out, 32, W<Unit>("").c_str(), W<Unit>("\\\\x").c_str()));
  EXPECT_EQ(Text<Unit>(out), W<Unit>("\\\\x"));
  EXPECT_FALSE(JoinPath(out, 12, W<Unit>("C:\\dest").c_str(), W<Unit>("toolong").c_str()));
  EXPECT_EQ(Text<Unit>(out), W<Unit>("C:\\dest\\too"));
}

TYPED_TEST(PathText, SplitCommandQuotingRules) {
  using Unit = TypeParam;
  const struct {
    const char* command;
    const char* program;
    const char* parameters;
  } kCases[] = {
      {"setup.exe", "setup.exe", ""},
      {"  \tsetup.exe  /s  x ", "setup.exe", "/s  x "},
      {"\"C:\\Program Files\\a b.exe\" /q", "C:\\Program Files\\a b.exe", "/q"},
      {"\"a.exe\"/q \"x y\"", "a.exe", "/q \"x y\""},  // no blank after the quote
      {"a\"b.exe c", "a\"b.exe", "c"},                  // a quote inside a token is a unit
      {"\"unclosed program", "unclosed program", ""},
      {"   ", "", ""},
      // A long program is cut to the buffer, not written past it.
      {"abcdefghijklmnopqrstuvwxyz0123456789 -x", "abcdefghijklmnopqrstuvwxyz01234", "-x"},
  };
  Unit program[32];
  for (const auto& c : kCases) {
    const Text<Unit> command = W<Unit>(c.command);
    const Unit* parameters = SplitCommand(program, 32, command.c_str());
    EXPECT_EQ(Text<Unit>(parameters), W<Unit>(c.parameters)) << c.command;
    EXPECT_EQ(Text<Unit>(program), W<Unit>(c.program)) << c.command;
  }
}

TYPED_TEST(PathText, IsFullPathDrivePathsAndNetworkPathsOnly) {
  using Unit = TypeParam;
  for (const char* path : {"C:\\", "C:\\dest", "?:\\any letter", "\\\\server\\share"})
    EXPECT_TRUE(IsFullPath(W<Unit>(path).c_str())) << path;
  for (const char* path : {"", "C:", "C:dest", "C:/dest", "\\single", "relative", "\"C:\\quoted\""})
    EXPECT_FALSE(IsFullPath(W<Unit>(path).c_str())) << path;
}

TEST(PathTextBytes, TrailByte5CIsNoBackslash) {
  // 0x95 0x5C and 0x83 0x5C are Shift_JIS characters whose second byte
  // looks like a backslash.
  char path[] = "a\\b\x95\x5c\\d";
  NormalizeSeparators(path, '/');
  EXPECT_STREQ(path, "a/b\x95\x5c/d");
  char root[kPathRootBytes];
  GetPathRoot(root, "\\\\s\x95\x5cv\\sh\x83\x5c\\d");
  EXPECT_STREQ(root, "\\\\s\x95\x5cv\\sh\x83\x5c\\");
  char ends[8] = "a\x95\x5c";
  EXPECT_TRUE(AddBackslash(ends, sizeof ends));
  EXPECT_STREQ(ends, "a\x95\x5c\\");
}

TEST(PathTextUtf16, OnlyTheAllOnesUnitSeparatesNotUPlus00FF) {
  Text<Utf16Unit> path = {'a', 0xFF, 'b', 0xFFFF, 'c'};
  NormalizeSeparators(&path[0], '/');
  EXPECT_EQ(path, (Text<Utf16Unit>{'a', 0xFF, 'b', '/', 'c'}));
}
