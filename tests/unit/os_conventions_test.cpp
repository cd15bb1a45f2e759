// The conventions of each system where lhasa cannot judge them
// (tests/pack/levels.sh checks the rest against it): Shift_JIS names put in
// lower case.
#include "pack/os_conventions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OsConventions, LowerCaseKeepsDoubleByteCharactersWhole) {
  struct Case {
    std::string name, utf8, wantName, wantUtf8;  // utf8 empty: the name is no text
  } cases[] = {
      // "アイ": second bytes 'A' and 'C', which stay.
      {"\x83\x41\x83\x43.TXT", "\xE3\x82\xA2\xE3\x82\xA4.TXT", "\x83\x41\x83\x43.txt", "\xE3\x82\xA2\xE3\x82\xA4.txt"},
      // A second byte 'a' is no small letter.
      {"\x83\x61.TXT", "", "\x83\x61.txt", ""},
  };
  for (const Case& c : cases) {
    ArchiveMember m;
    m.osId = 'M';
    m.name = c.name;
    m.utf8Name = c.utf8;
    m.nameIsText = !c.utf8.empty();
    ApplyOsConventions(m);
    EXPECT_EQ(m.name, c.wantName) << c.name;
    EXPECT_EQ(m.utf8Name, c.wantUtf8) << c.name;
  }
}

}  // namespace
