// Level-2 member headers: the fixed part, every extended header type, names
// and separators, the end byte, and damaged or foreign headers.
#include <gtest/gtest.h>

#include "engine_test_support.h"

using namespace enginetest;

namespace {
EngineResult Read(const Bytes& archive) {
  InstallMemoryHost(archive);
  return ReadMemberHeader(TestEngine(), false);
}

const MemberHeaderRecord& Header() { return TestEngine().header; }
const char* Joined() { return TestEngine().joinedName; }

Bytes Le(std::uint64_t v, int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  return b;
}

HeaderSpec Named(const std::string& dir, const std::string& file) {
  HeaderSpec s;
  if (!dir.empty()) s.extended.push_back({0x02, Text(dir)});
  s.extended.push_back({0x01, Text(file)});
  return s;
}
}  // namespace

TEST(MemberHeader, FixedPartAndPositionAfterTheHeader) {
  HeaderSpec s = Named("", "a.txt");
  s.method = "-lh7-";
  s.compressedSize = 1234;
  s.originalSize = 0xFFFFFFF0u;  // unsigned: no sign from the 32-bit field
  s.timeStamp = 1000000000;      // 2001-09-09 01:46:40 UTC
  s.attribute = 0x21;
  s.dataCrc = 0xBEEF;
  Bytes a = BuildHeader(s);
  const std::size_t headerBytes = a.size();
  a.push_back(0x99);  // first byte of the member's data
  ASSERT_EQ(Read(a), EngineResult::Ok);
  EXPECT_EQ(Record.readPos, headerBytes);
  EXPECT_EQ(Header().method, '7');
  EXPECT_EQ(Header().compressedRemaining, 1234);
  EXPECT_EQ(Header().originalSize, 0xFFFFFFF0ll);
  EXPECT_EQ(Header().modifiedTime, 126444736000000000ull);
  EXPECT_EQ(Header().attributes, 0x21);
  EXPECT_EQ(Header().dataCrc, 0xBEEF);
  EXPECT_EQ(Header().osId, 'M');
  EXPECT_STREQ(Joined(), "a.txt");
  EXPECT_EQ(Record.liveBlocks, 1);
  FreeMemberHeader(TestEngine());
  EXPECT_EQ(Record.liveBlocks, 0);
}

TEST(MemberHeader, ExtendedHeadersTakeEffectInOrder) {
  // 0x40 attributes count only for MS-DOS members.
  HeaderSpec s = Named("", "f");
  s.extended.push_back({0x40, Le(0x0027, 2)});
  ASSERT_EQ(Read(BuildHeader(s)), EngineResult::Ok);
  EXPECT_EQ(Header().attributes, 0x27);
  s.osId = 'U';
  ASSERT_EQ(Read(BuildHeader(s)), EngineResult::Ok);
  EXPECT_EQ(Header().attributes, 0x20);

  // 0x41: the second of three file times is the last-write time.
  HeaderSpec t = Named("", "f");
  Bytes times = Le(111, 8), last = Le(0x01D9ABCDEF012345ull, 8), access = Le(333, 8);
  times.insert(times.end(), last.begin(), last.end());
  times.insert(times.end(), access.begin(), access.end());
  t.extended.push_back({0x41, times});
  ASSERT_EQ(Read(BuildHeader(t)), EngineResult::Ok);
  EXPECT_EQ(Header().modifiedTime, 0x01D9ABCDEF012345ull);

  // 0x42: sizes above 4 GiB.
  HeaderSpec l = Named("", "f");
  Bytes sizes = Le(0x123456789ull, 8), orig = Le(0x2000000000ull, 8);
  sizes.insert(sizes.end(), orig.begin(), orig.end());
  l.extended.push_back({0x42, sizes});
  ASSERT_EQ(Read(BuildHeader(l)), EngineResult::Ok);
  EXPECT_EQ(Header().compressedRemaining, 0x123456789ll);
  EXPECT_EQ(Header().originalSize, 0x2000000000ll);

  // Unknown types are skipped; a repeated type: the later one wins.
  HeaderSpec u = Named("", "first");
  u.extended.push_back({0x46, Text("ignored")});
  u.extended.push_back({0x01, Text("second")});
  ASSERT_EQ(Read(BuildHeader(u)), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "second");
}

TEST(MemberHeader, TimeStampsBeforeAndAfter2038) {
  InstallMemoryHost({});
  Engine& e = TestEngine();
  EXPECT_EQ(UnixTimeToFileTime(e, 0), 116444736000000000ull);
  EXPECT_EQ(UnixTimeToFileTime(e, 0x7FFFFFFF), 116444736000000000ull + 0x7FFFFFFFull * 10000000);
  EXPECT_EQ(UnixTimeToFileTime(e, -1), Record.now);  // top bit set: the current time
}

TEST(MemberHeader, NamesJoinWithSlashesAndKeepDoubleByteCharacters) {
  ASSERT_EQ(Read(BuildHeader(Named("dir\xff" "sub\xff", "file.txt"))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "dir/sub/file.txt");
  ASSERT_EQ(Read(BuildHeader(Named("a\\b/", "c"))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "a/b/c");
  // 0x95 0x5C is one character ("表"), not a backslash.
  ASSERT_EQ(Read(BuildHeader(Named("\x95\x5c\xff", "\x95\x5c.txt"))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "\x95\x5c/\x95\x5c.txt");
  // A name stops at a zero byte inside its extended header.
  ASSERT_EQ(Read(BuildHeader(Named("d\xff", std::string("ab\0cd", 5)))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "d/ab");
}

TEST(MemberHeader, DirectoryWithoutItsLastSeparatorStillHoldsTheFile) {
  // As an Amiga archiver writes it: no separator after the last component.
  ASSERT_EQ(Read(BuildHeader(Named("subdir\xffsubdir2", "hello.txt"))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "subdir/subdir2/hello.txt");
  // A last byte 0x5C that is the trail byte of a double-byte character is no separator.
  ASSERT_EQ(Read(BuildHeader(Named("\x95\x5c", "a"))), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "\x95\x5c/a");
  // A directory entry without its separator names the same directory.
  HeaderSpec entry = Named("docs", "");
  entry.extended.erase(entry.extended.begin() + 1);
  entry.method = "-lhd-";
  ASSERT_EQ(Read(BuildHeader(entry)), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "docs/");
  // The added separator counts: 200 + '/' + 87 bytes no longer fit 287.
  EXPECT_EQ(Read(BuildHeader(Named(std::string(200, 'd'), std::string(86, 'f')))), EngineResult::Ok);
  EXPECT_EQ(std::string(Joined()).size(), 287u);
  EXPECT_EQ(Read(BuildHeader(Named(std::string(200, 'd'), std::string(87, 'f')))), EngineResult::Damaged);
}

TEST(MemberHeader, SuppressFoldersDropsOnlyTheStoredDirectory) {
  InstallMemoryHost(BuildHeader(Named("dir\xff", "in\\name")));
  ASSERT_EQ(ReadMemberHeader(TestEngine(), true), EngineResult::Ok);
  EXPECT_STREQ(Joined(), "in/name");
}

TEST(MemberHeader, EndOfArchive) {
  EXPECT_EQ(Read({0}), EngineResult::EndOfArchive);
  EXPECT_EQ(Read({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}),
            EngineResult::EndOfArchive);
  // A header whose size is a multiple of 256 starts with a zero byte, but its
  // level byte and method name show it for the member it is.
  HeaderSpec s = Named("", "x");
  for (std::size_t size : {256u, 512u, 257u}) {
    s.padTo = size;
    const Bytes h = BuildHeader(s);
    ASSERT_EQ(h.size(), size);
    EXPECT_EQ(Read(h), EngineResult::Ok) << size;
    EXPECT_STREQ(Joined(), "x");
    EXPECT_EQ(Record.readPos, size);
  }
  // Such a header is checked like any other: a wrong CRC is damage, not an end.
  s.padTo = 256;
  Bytes bad = BuildHeader(s);
  bad[40] ^= 0x01;
  EXPECT_EQ(Read(bad), EngineResult::Damaged);
  // After a real end byte: bytes with a level byte 2 but no method name, or a
  // method name but another level, are never read as a header.
  Bytes tail = BuildHeader(s);
  tail[0] = 0, tail[1] = 0;
  EXPECT_EQ(Read(tail), EngineResult::EndOfArchive);  // a size of 0
  tail = BuildHeader(s);
  tail[2] = 'x';
  EXPECT_EQ(Read(tail), EngineResult::EndOfArchive);
  tail = BuildHeader(s);
  tail[20] = 1;
  EXPECT_EQ(Read(tail), EngineResult::EndOfArchive);
}

TEST(MemberHeader, ForeignMethodsAndLevels) {
  for (const char* m : {"-lh1-", "-lh2-", "-lh3-", "-lzs-", "-lh8-", "-LH5-"}) {
    HeaderSpec s = Named("", "x");
    s.method = m;
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Unsupported) << m;
  }
  for (const char* m : {"-lh0-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lhd-"}) {
    HeaderSpec s = Named("", "x");
    s.method = m;
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Ok) << m;
  }
  for (std::uint8_t level : {0, 1, 3}) {
    HeaderSpec s = Named("", "x");
    s.level = level;
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Damaged) << int(level);
  }
}

TEST(MemberHeader, AnyChangedByteIsDamage) {
  HeaderSpec s = Named("dir\xff", "file.txt");
  s.extended.push_back({0x40, Le(0x20, 2)});
  const Bytes good = BuildHeader(s);
  ASSERT_EQ(Read(good), EngineResult::Ok);
  // Every byte but the size's low byte (a 0 there is the end byte, other
  // values change the size) and the method (Unsupported first).
  for (std::size_t i = 1; i < good.size(); ++i) {
    if (i >= 2 && i <= 6) continue;
    Bytes bad = good;
    bad[i] ^= 0x10;
    bad.resize(bad.size() + 64, 0x33);  // room for a grown size to be read
    EXPECT_EQ(Read(bad), EngineResult::Damaged) << "byte " << i;
    EXPECT_LE(Record.liveBlocks, 1) << "byte " << i;  // held until freed, never leaked twice
  }
  // Without a CRC extended header a header is never accepted.
  HeaderSpec n = Named("", "x");
  n.withCrcHeader = false;
  EXPECT_EQ(Read(BuildHeader(n)), EngineResult::Damaged);
}

// Writers put one CRC header in a header. Where there are several, the bytes
// of every one count as zero and the last one's value is the header's CRC.
TEST(MemberHeader, SeveralCrcHeadersCheckTheLastWithEveryOneZero) {
  HeaderSpec s = Named("", "x");
  s.extended.push_back({0x00, Le(0, 2)});  // a second CRC header at 35, its value at 36
  const Bytes zeroed = BuildHeader(s);
  ASSERT_EQ(zeroed.size(), 40u);
  auto withCrcs = [&](std::uint16_t first, std::uint16_t last) {
    Bytes h = zeroed;
    h[27] = static_cast<std::uint8_t>(first), h[28] = static_cast<std::uint8_t>(first >> 8);
    h[36] = static_cast<std::uint8_t>(last), h[37] = static_cast<std::uint8_t>(last >> 8);
    return h;
  };
  const std::uint16_t allZero = ReferenceCrc(withCrcs(0, 0));
  const std::uint16_t firstCounted = ReferenceCrc(withCrcs(0xABCD, 0));
  ASSERT_NE(allZero, firstCounted);
  EXPECT_EQ(Read(withCrcs(0xABCD, allZero)), EngineResult::Ok);
  EXPECT_EQ(Read(withCrcs(0xABCD, firstCounted)), EngineResult::Damaged);
  EXPECT_EQ(Read(withCrcs(allZero, 0xABCD)), EngineResult::Damaged);
}

TEST(MemberHeader, TruncatedArchives) {
  EXPECT_EQ(Read({}), EngineResult::Damaged);  // ends right after a member's data
  const Bytes good = BuildHeader(Named("", "x"));
  EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + 20)), EngineResult::Damaged);
  EXPECT_EQ(Read(Bytes(good.begin(), good.end() - 1)), EngineResult::Damaged);
  InstallMemoryHost(good);
  Record.failReadsFrom = 0;
  EXPECT_EQ(ReadMemberHeader(TestEngine(), false), EngineResult::Damaged);
}

TEST(MemberHeader, InconsistentSizesAreRefusedWithinTheHeaderBytes) {
  struct Case {
    const char* attack;
    void (*mutate)(Bytes&);
  };
  // The good header: fixed part, CRC header at 26 (5 bytes), name header at
  // 31 (type 0x01, "x", next size 0 at 33..34).
  const Case cases[] = {
      {"header size below the fixed part", [](Bytes& h) { h[0] = 25; }},
      {"extended header size below 3", [](Bytes& h) { h[29] = 2; }},
      {"chain past the header's end", [](Bytes& h) { h[29] = 200; }},
      {"chain whose next size field lies past the end", [](Bytes& h) { h[29] = 5; }},
      {"CRC header too short for its CRC", [](Bytes& h) { h[24] = 3; h[26 + 1] = 0x05; }},
  };
  for (const Case& c : cases) {
    Bytes h = BuildHeader(Named("", "x"));
    ASSERT_EQ(h.size(), 35u);
    c.mutate(h);
    h.resize(400, 0);  // the archive goes on; only the header's bytes may be used
    EXPECT_EQ(Read(h), EngineResult::Damaged) << c.attack;
  }
}

TEST(MemberHeader, RefusedRatherThanCut) {
  // A joined name of 288 bytes does not fit; 287 does.
  EXPECT_EQ(Read(BuildHeader(Named(std::string(200, 'd') + "\xff", std::string(87, 'f')))), EngineResult::Damaged);
  ASSERT_EQ(Read(BuildHeader(Named(std::string(199, 'd') + "\xff", std::string(87, 'f')))), EngineResult::Ok);
  EXPECT_EQ(std::string(Joined()).size(), 287u);
  // Negative 64-bit sizes would move a skip backwards.
  for (int which = 0; which < 2; ++which) {
    HeaderSpec s = Named("", "f");
    Bytes sizes = Le(which == 0 ? 0x8000000000000000ull : 5, 8);
    Bytes orig = Le(which == 1 ? 0xFFFFFFFFFFFFFFFFull : 5, 8);
    sizes.insert(sizes.end(), orig.begin(), orig.end());
    s.extended.push_back({0x42, sizes});
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Damaged) << which;
  }
  // Known types too short for their data.
  for (std::uint8_t type : {0x40, 0x41, 0x42}) {
    HeaderSpec s = Named("", "f");
    s.extended.push_back({type, Bytes(1, 0)});
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Damaged) << int(type);
  }
}

TEST(MemberHeader, StoredMembersHaveOneSize) {
  // A stored member's data is its original bytes: sizes that differ are
  // damage, in the fixed part and in the 64-bit header alike. Compressed
  // members and directory entries may have any two sizes.
  HeaderSpec s = Named("", "f");
  s.method = "-lh0-";
  s.compressedSize = 5;
  s.originalSize = 4;
  EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Damaged);
  s.originalSize = 5;
  EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Ok);
  Bytes sizes = Le(0x100000000ull, 8), orig = Le(0x100000001ull, 8);
  sizes.insert(sizes.end(), orig.begin(), orig.end());
  s.extended.push_back({0x42, sizes});
  EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Damaged);
  for (const char* method : {"-lh5-", "-lhd-"}) {
    s.method = method;
    EXPECT_EQ(Read(BuildHeader(s)), EngineResult::Ok) << method;
  }
}
