// The member's Unicode name: the UTF-16 fields (0x44, 0x45) where a header
// has them, else the byte name in the code page of 0x46 (or 932), while the
// byte name that the 32-bit stub reads stays the byte fields'.
#include "archive/member_name.h"

#include <gtest/gtest.h>

#include "engine_test_support.h"

using namespace enginetest;

namespace {
using U16 = std::basic_string<Utf16Unit>;

// ASCII as UTF-16.
U16 W(const std::string& ascii) { return U16(ascii.begin(), ascii.end()); }

Bytes Utf16(const U16& units) {
  Bytes b;
  for (const Utf16Unit u : units) b.insert(b.end(), {std::uint8_t(u & 0xFF), std::uint8_t(u >> 8)});
  return b;
}

Bytes Le32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }

// Stands in for the system's conversion: each byte as the unit of its value,
// prefixed by the code page's last digit; 0x81 alone is no text.
std::uint32_t lastCodePage;
bool FakeConvert(void*, std::uint32_t codePage, const char* text, unsigned count, Utf16Unit* dest,
                 unsigned destUnits) {
  lastCodePage = codePage;
  if (count + 2 > destUnits) return false;
  dest[0] = static_cast<Utf16Unit>('0' + codePage % 10);
  for (unsigned i = 0; i < count; ++i) {
    if (static_cast<unsigned char>(text[i]) == 0x81) return false;
    dest[i + 1] = static_cast<unsigned char>(text[i]);
  }
  dest[count + 1] = 0;
  return true;
}

struct Case {
  const char* what;
  std::vector<std::pair<std::uint8_t, Bytes>> fields;
  bool dropFolders;
  const char* joined;   // the byte name, as the 32-bit stub reads it
  U16 unicode;  // or "(refused)"
  std::uint32_t codePage;
};
}  // namespace

TEST(MemberName, EachPartFromItsBestField) {
  const U16 cafe = {'c', 'a', 'f', 0xE9}, greek = {0x0395, 0x03BB};
  const Case cases[] = {
      {"bytes alone: code page 932", {{0x01, Text("a.txt")}}, false, "a.txt", W("2a.txt"), 932},
      {"UTF-16 file name",
       {{0x01, Text("caf#00E9")}, {0x44, Utf16(cafe)}}, false, "caf#00E9", cafe, 932},
      {"UTF-16 folder, levels ending in 0xFFFF; the file from its bytes",
       {{0x02, Text("#0395#03BB\xFF")}, {0x45, Utf16(greek + U16{0xFFFF})}, {0x01, Text("x")}},
       false, "#0395#03BB/x", greek + W("/2x"), 932},
      {"a last level without its separator still holds the file",
       {{0x45, Utf16(greek)}, {0x44, Utf16(W("f"))}}, false, "", greek + W("/f"), 932},
      {"byte folder converted, UTF-16 file",
       {{0x02, Text("d\xFF")}, {0x01, Text("x")}, {0x44, Utf16(cafe)}}, false, "d/x", W("2d/") + cafe, 932},
      {"0x46 names the byte names' code page",
       {{0x46, Le32(65001)}, {0x01, Text("\xC3\xA9")}}, false, "\xC3\xA9", U16{'1', 0xC3, 0xA9}, 65001},
      {"a 0x46 shorter than four bytes names none",
       {{0x46, Bytes{0xE9, 0xFD}}, {0x01, Text("a")}}, false, "a", W("2a"), 932},
      {"the later of two fields counts",
       {{0x01, Text("b")}, {0x44, Utf16(W("one"))}, {0x44, Utf16(W("two"))}},
       false, "b", W("two"), 932},
      {"separators inside a UTF-16 file name split it, as in bytes",
       {{0x01, Text("a_b")}, {0x44, Utf16(W("a\\b"))}}, false, "a_b", W("a/b"), 932},
      {"dropped folders drop the UTF-16 folder too",
       {{0x02, Text("d\xFF")}, {0x45, Utf16(greek + U16{0xFFFF})}, {0x01, Text("x")}, {0x44, Utf16(cafe)}},
       true, "x", cafe, 932},
      {"an odd-sized UTF-16 field is refused",
       {{0x01, Text("x")}, {0x44, Bytes{'x', 0, 'y'}}}, false, "x", W("(refused)"), 932},
      {"bytes that are no text of their code page are refused",
       {{0x01, Text("a\x81")}}, false, "a\x81", W("(refused)"), 932},
  };
  for (const Case& c : cases) {
    HeaderSpec s;
    s.extended = c.fields;
    InstallMemoryHost(BuildHeader(s));
    Engine& e = TestEngine();
    ASSERT_EQ(ReadMemberHeader(e, c.dropFolders), EngineResult::Ok) << c.what;
    EXPECT_STREQ(e.joinedName, c.joined) << c.what;
    EXPECT_EQ(FindUnicodeNameFields(e.header).codePage, c.codePage) << c.what;
    Utf16Unit name[64] = {'x'};
    U16 got = W("(refused)");
    if (BuildUtf16MemberName(e.header, e.joinedName, c.dropFolders, FakeConvert, nullptr, name, 64))
      got = name;
    else
      EXPECT_EQ(name[0], 0) << c.what << ": a refused name is left empty";
    EXPECT_EQ(got, c.unicode) << c.what;
    FreeMemberHeader(e);
  }
  // A name that does not fit its buffer is refused rather than cut.
  HeaderSpec s;
  s.extended = {{0x01, Text("abcdef")}};
  InstallMemoryHost(BuildHeader(s));
  ASSERT_EQ(ReadMemberHeader(TestEngine(), false), EngineResult::Ok);
  Utf16Unit small[6];
  EXPECT_FALSE(BuildUtf16MemberName(TestEngine().header, TestEngine().joinedName, false, FakeConvert,
                                    nullptr, small, 6));
  FreeMemberHeader(TestEngine());
}
