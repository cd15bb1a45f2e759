// The conventions of each system where they have edges that lhasa cannot
// judge (tests/pack/levels.sh checks the rest against it): Shift_JIS names
// put in lower case, and the bounds of a MacBinary header that is dropped.
#include "pack/os_conventions.h"

#include <gtest/gtest.h>

#include <string>

#include "common/file_time.h"

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

TEST(OsConventions, DropsAMacBinaryHeaderWithinItsBounds) {
  constexpr std::int64_t kStamp = 1000000000, kMacEpoch = 2082844800;
  const std::string fork(300, 'd');
  struct Case {
    const char* what;
    std::int64_t macTime;
    std::size_t setByte;  // 0: none
    bool dropped;
  } cases[] = {
      {"14 hours later", kStamp + 14 * 3600, 0, true},
      {"14 hours and a second earlier", kStamp - 14 * 3600 - 1, 0, false},
      {"a MacBinary II field set", kStamp, 122, false},
  };
  for (const Case& c : cases) {
    std::string stored(MacBinaryUnwrapper::kHeaderBytes, '\0');
    stored[1] = 4;
    stored.replace(2, 4, "Fork");
    for (int i = 0; i < 4; ++i) {
      stored[83 + i] = static_cast<char>(fork.size() >> (24 - 8 * i));
      stored[95 + i] = static_cast<char>((c.macTime + kMacEpoch) >> (24 - 8 * i));
    }
    if (c.setByte) stored[c.setByte] = 1;
    stored += fork + std::string(84, '\0');  // the fork padded to 128 bytes
    ArchiveMember m;
    m.osId = 'm';
    m.name = "dir/Fork";
    m.originalSize = static_cast<std::int64_t>(stored.size());
    m.modifiedTime = UnixToFileTime(kStamp);
    std::string out;
    const MemberSink sink = [&out](const void* data, std::size_t n) {
      out.append(static_cast<const char*>(data), n);
      return true;
    };
    MacBinaryUnwrapper unwrap(m, sink);
    for (char byte : stored) ASSERT_TRUE(unwrap.Take(&byte, 1)) << c.what;  // pieces of any size
    ASSERT_TRUE(unwrap.Finish()) << c.what;
    EXPECT_EQ(out, c.dropped ? fork : stored) << c.what;
  }
}

}  // namespace
