// The name rules on bytes and on UTF-16: the same tables for both, then what
// only one kind has.
#include "paths/name_rules.h"

#include <gtest/gtest.h>

#include "text_units.h"

namespace {
template <typename Unit>
Text<Unit> Component(Text<Unit> name, NameRules rules) {
  name.resize(name.size() + 1);
  SanitizeComponent(&name[0], rules);
  return name.c_str();
}

template <typename Unit>
Text<Unit> Relative(Text<Unit> path, NameRules rules) {
  path.resize(path.size() + 1);
  SanitizeRelativePath(&path[0], rules);
  return path.c_str();
}

// The member part of the path built below prefix from a name as the header
// reader leaves it (separators normalised), or why there is none.
template <typename Unit>
Text<Unit> Member(const Text<Unit>& prefix, Text<Unit> name, NameRules rules, unsigned size = 600) {
  Unit path[600];
  NormalizeSeparators(&name[0], '/');
  switch (BuildMemberPath(path, size, prefix.c_str(), name.c_str(), rules)) {
    case MemberPathResult::Outside: return W<Unit>("(outside)");
    case MemberPathResult::TooLong: return W<Unit>("(too long)");
    default: return Text<Unit>(path).substr(prefix.size());
  }
}
}  // namespace

template <typename Unit>
using NameRulesTest = BothUnits<Unit>;
TYPED_TEST_SUITE(NameRulesTest, TextUnits);

TYPED_TEST(NameRulesTest, SampleComponentsUnderBothRules) {
  using Unit = TypeParam;
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
      {"x\"*<>|.y", "x_____.y", "x_____.y"},
      {"a+b,c;d=e", "a_b_c_d_", "a+b,c;d=e"},  // cut to 8 after replacing
      {"[a]\xff", "_a__", "[a]\xff"},          // the all-ones unit is no 8.3 character
      // Windows refuses control characters in any name; 0x7F it takes.
      {"a\tname", "a_name", "a_name"},
      {"\x01x\x1f.\x7f", "_x_.\x7f", "_x_.\x7f"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Component(W<Unit>(c.name), ShortNames), W<Unit>(c.shortResult)) << c.name;
    EXPECT_EQ(Component(W<Unit>(c.name), LongNames), W<Unit>(c.longResult)) << c.name;
  }
}

TYPED_TEST(NameRulesTest, CutsNeverSplitAPair) {
  using Unit = TypeParam;
  const Text<Unit> txt = W<Unit>(".txt");
  // Four pairs are exactly 8 units: whole.
  EXPECT_EQ(Component(Pairs<Unit>(4) + txt, ShortNames), Pairs<Unit>(4) + txt);
  // "a" and four pairs: the eighth unit would be a lead, 7 remain.
  const Text<Unit> a = W<Unit>("a");
  EXPECT_EQ(Component(a + Pairs<Unit>(4) + txt, ShortNames), a + Pairs<Unit>(3) + txt);
  // An extension of two pairs keeps only the first.
  EXPECT_EQ(Component(W<Unit>("f.") + Pairs<Unit>(2), ShortNames), W<Unit>("f.") + Pairs<Unit>(1));
  EXPECT_EQ(Component(W<Unit>("abcdefghij"), ShortNames), W<Unit>("abcdefgh"));
  // A lead that ends the text has no character to belong to.
  for (NameRules rules : {ShortNames, LongNames})
    EXPECT_EQ(Component(W<Unit>("ab") + Lead<Unit>(), rules), W<Unit>("ab"));
  // Long names: 255 units, or 254 when the 255th is a lead.
  EXPECT_EQ(Component(Text<Unit>(300, 'a'), LongNames), Text<Unit>(255, 'a'));
  EXPECT_EQ(Component(Text<Unit>(254, 'a') + Pairs<Unit>(3), LongNames), Text<Unit>(254, 'a'));
  EXPECT_EQ(Component(Text<Unit>(253, 'a') + Pairs<Unit>(3), LongNames),
            Text<Unit>(253, 'a') + Pairs<Unit>(1));
  // SanitizeSpan returns the new end: the lead is the 4th unit and goes.
  Text<Unit> span = W<Unit>("a/b") + Pairs<Unit>(1) + W<Unit>("z");
  EXPECT_EQ(SanitizeSpan(&span[0], 4, LongNames), &span[3]);
  EXPECT_EQ(Text<Unit>(span.c_str()), W<Unit>("a_b"));
}

TYPED_TEST(NameRulesTest, RelativePathsKeepTheirSlashes) {
  using Unit = TypeParam;
  for (const auto& [path, result] : TextCases{
           {"/lead/x", "/lead/x"}, {"a//b", "a//b"}, {"//a", "//a"}, {"a/b/", "a/b/"}, {"", ""},
           {"Program Files/my file.html", "Program_/my_file.htm"},
           {"dir.with.dots/archive.tar.gz", "dir_with.dot/archive_.gz"},
           // Each component is cut on its own, so the later ones move down intact.
           {"xxxxxxxxxxxxxxxxxxxx/yyyyyyyyyyyyyyyyyyyy", "xxxxxxxx/yyyyyyyy"}})
    EXPECT_EQ(Relative(W<Unit>(path), ShortNames), W<Unit>(result)) << path;
}

TYPED_TEST(NameRulesTest, HostileMemberNamesAreRefusedOrMadePlain) {
  using Unit = TypeParam;
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
      {"..\xff" "x", nullptr, "_./x"},               // the header's level separator
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
      {"com0.txt", nullptr, nullptr},
      {"LPT0", nullptr, nullptr},
      {"CON .txt", nullptr, "CON_.txt"},
      {"conin$", nullptr, nullptr},
      {"CLOCK$", nullptr, nullptr},
      {"", nullptr, nullptr},                            // nothing to name
      {"/", nullptr, nullptr},
      {"a//", "a//", "a//"},
      // Names that only look like the above stay.
      {"/lead", "/lead", "/lead"},
      {"..a/b..", "..a/b..", "_.a/b_."},
      {"console.txt", "console.txt", "console.txt"},
      {"com10", "com10", "com10"},
      {"coma", "coma", "coma"},
  };
  Unit prefix[300];
  ASSERT_TRUE(PrepareFolderPrefix(prefix, 300, W<Unit>("C:\\dest").c_str(), 3, LongNames));
  ASSERT_EQ(Text<Unit>(prefix), W<Unit>("C:\\dest/"));
  for (const auto& c : kCases) {
    for (NameRules rules : {LongNames, ShortNames}) {
      const char* expected = rules == LongNames ? c.longResult : c.shortResult;
      EXPECT_EQ(Member(Text<Unit>(prefix), W<Unit>(c.name), rules),
                W<Unit>(expected ? expected : "(outside)"))
          << c.name << " rules " << rules;
    }
  }
  // The check alone, as a caller that skips the sanitising sees it: a colon
  // names a drive or a stream and a backslash separates, so a name holding
  // either is refused, not kept.
  const struct {
    const char* path;
    bool contained;
  } kRaw[] = {{"a/b", true}, {"a:b", false}, {"dir/C:", false}, {"a\\b", false}, {"x\\", false}};
  for (const auto& c : kRaw)
    EXPECT_EQ(IsContainedMemberPath(W<Unit>(c.path).c_str()), c.contained) << c.path;
}

TYPED_TEST(NameRulesTest, FolderPrefixFollowsTheVolumeRulesAndBoundsHold) {
  using Unit = TypeParam;
  Unit prefix[300];
  const Text<Unit> share = W<Unit>("\\\\srv\\share\\my dir");
  ASSERT_TRUE(PrepareFolderPrefix(prefix, 300, share.c_str(), 13, LongNames));
  EXPECT_EQ(Text<Unit>(prefix), W<Unit>("\\\\srv\\share\\my dir/"));
  // One leading backslash of the name is dropped.
  Unit path[300];
  ASSERT_EQ(BuildMemberPath(path, 300, prefix, W<Unit>("\\lead").c_str(), LongNames),
            MemberPathResult::Inside);
  EXPECT_EQ(Text<Unit>(path), W<Unit>("\\\\srv\\share\\my dir/lead"));
  const Text<Unit> dotted = W<Unit>("C:\\Program Files\\x.y.z\\");
  ASSERT_TRUE(PrepareFolderPrefix(prefix, 300, dotted.c_str(), 3, ShortNames));
  EXPECT_EQ(Text<Unit>(prefix), W<Unit>("C:\\Program_/x_y.z/"));
  ASSERT_TRUE(PrepareFolderPrefix(prefix, 300, W<Unit>("C:\\").c_str(), 3, ShortNames));
  EXPECT_EQ(Text<Unit>(prefix), W<Unit>("C:\\"));
  EXPECT_FALSE(PrepareFolderPrefix(prefix, 8, W<Unit>("C:\\long folder").c_str(), 3, LongNames));

  // A path longer than the buffer is refused, not written past it.
  const Text<Unit> dest = W<Unit>("C:\\dest/");
  EXPECT_EQ(Member(dest, Text<Unit>(40, 'n'), LongNames, 24), W<Unit>("(too long)"));
  EXPECT_EQ(Member(dest, W<Unit>("1234567"), LongNames, 16), W<Unit>("1234567"));
  EXPECT_EQ(Member(dest, W<Unit>("12345678"), LongNames, 16), W<Unit>("(too long)"));
}

TEST(NameRulesBytes, ShiftJisCharactersAreNeverTouched) {
  ASSERT_TRUE(IsLead('\x82') && !IsLead('\xa0')) << "the code page 932 rule";
  // Half-width katakana (single bytes from 0xA1) are letters; a trail byte
  // 0x5C or 0x7C is part of its character, not a separator or a bar.
  for (const std::string name : {"\xb1\xb2.\xb3", "\x95\x5c\x83\x7c.txt"})
    for (NameRules rules : {ShortNames, LongNames}) EXPECT_EQ(Component(name, rules), name);
  EXPECT_EQ(Member<char>("C:\\dest/", "\x95\x5c/x", LongNames), "\x95\x5c/x");
  // A lead byte whose second byte is below 0x40 is no character Windows
  // would read as this rule does: refused.
  EXPECT_FALSE(IsContainedMemberPath("a\x82/b"));
}

TEST(NameRulesUtf16, SurrogatesAndUnicodeOnlyNames) {
  using U = Utf16Unit;
  const Text<U> pair = Pairs<U>(1);
  // A surrogate that is half of no pair is no character: replaced. U+E000,
  // the first unit above the low surrogates, is no second half.
  const Text<U> lone = {'a', 0xDE00, 'b', 0xD83D, 'c', 0xDBFF, 0xE000};
  EXPECT_EQ(Component(lone, LongNames), (Text<U>{'a', '_', 'b', '_', 'c', '_', 0xE000}));
  // U+00FF is a letter; only the unit 0xFFFF is refused in 8.3 names.
  EXPECT_EQ(Component(Text<U>{'y', 0xFF}, ShortNames), (Text<U>{'y', 0xFF}));
  // COM followed by a superscript digit is a device too.
  const Text<U> dest = W<U>("C:\\dest/");
  EXPECT_EQ(Member(dest, Text<U>{'C', 'O', 'M', 0xB9, '.', 't'}, LongNames), W<U>("(outside)"));
  // 255 CJK characters (765 bytes in UTF-8) fit a long name; a 256th is cut.
  const Text<U> cjk(255, 0x6F22);
  EXPECT_EQ(Component(cjk, LongNames), cjk);
  EXPECT_EQ(Component(cjk + Text<U>(1, 0x6F22), LongNames), cjk);
  const Text<U> name = W<U>("dir/") + pair + W<U>(".txt");
  EXPECT_EQ(Member(dest, name, LongNames), name);
}
