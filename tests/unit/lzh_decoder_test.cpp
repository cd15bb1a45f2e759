// The window decoder: archives made by jlha for every method, hand-built
// streams for the window's flush boundaries, overlapping and wrapping
// matches, a block-size field of 0, the final match, and damaged input.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/lzh_decoder.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"
#include "common/run_state.h"
#include "engine_test_support.h"

using namespace enginetest;

namespace {
Bytes Fixture(const std::string& name) {
  Bytes b = ReadFile(FixturePath(name));
  EXPECT_FALSE(b.empty()) << name;
  return b;
}

// Installs a compressed member as the current one and decodes it.
bool DecodeStream(const Bytes& stream, char method, std::int64_t originalSize) {
  InstallMemoryHost(stream);
  MemberHeader.method = method;
  MemberHeader.originalSize = originalSize;
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  return Guarded(DecodeMember);
}

// Literal-only stream of n bytes (byte i is i * 13 mod 251), in blocks of
// up to 32768 symbols.
Bytes LiteralStream(unsigned n, Bytes* expected) {
  StreamWriter w(14, 4);
  for (unsigned i = 0; i < n; ++i) {
    if (i % 32768 == 0) w.BeginBlock(std::min(32768u, n - i));
    const auto b = static_cast<std::uint8_t>(i * 13 % 251);
    w.Put(Token::Lit(b));
    expected->push_back(b);
  }
  return w.Finish();
}
}  // namespace

TEST(LzhDecoder, ArchivesOfEveryMethodDecodeToTheirSource) {
  const Bytes sample = Fixture("sample.txt");
  for (const char* name : {"sample-lh5.lzh", "sample-lh6.lzh", "sample-lh7.lzh"}) {
    const Decoded d = DecodeArchive(Fixture(name));
    EXPECT_EQ(d.failure, "") << name;
    ASSERT_EQ(d.contents.size(), 1u) << name;
    EXPECT_TRUE(d.contents[0] == sample) << name;
    EXPECT_EQ(d.names[0], "sample.txt");
  }
  const Decoded lh4 = DecodeArchive(Fixture("small-lh4.lzh"));
  EXPECT_EQ(lh4.failure, "");
  ASSERT_EQ(lh4.contents.size(), 1u);
  EXPECT_TRUE(lh4.contents[0] == Bytes(sample.begin(), sample.begin() + 3000));
}

TEST(LzhDecoder, MixedArchiveWithDirectoryAndWindowSizedMembers) {
  const Bytes sample = Fixture("sample.txt");
  const Decoded d = DecodeArchive(Fixture("mixed.lzh"));
  EXPECT_EQ(d.failure, "");
  EXPECT_EQ(d.names, (std::vector<std::string>{"docs/", "docs/small.txt", "spaces.txt", "zeros.bin"}));
  ASSERT_EQ(d.contents.size(), 4u);
  EXPECT_TRUE(d.contents[0].empty());
  EXPECT_TRUE(d.contents[1] == Bytes(sample.begin(), sample.begin() + 3000));
  EXPECT_TRUE(d.contents[2] == Bytes(65537, 0x20));
  EXPECT_TRUE(d.contents[3] == Bytes(70000, 0));
}

TEST(LzhDecoder, WindowFlushesAtItsSizeAndOnceAtTheEnd) {
  struct Case {
    unsigned size;
    std::vector<unsigned long> writes;
  };
  for (const Case& c : {Case{65535, {65535}}, Case{65536, {65536}}, Case{65537, {65536, 1}}}) {
    Bytes expected;
    const Bytes stream = LiteralStream(c.size, &expected);
    ASSERT_TRUE(DecodeStream(stream, '5', c.size)) << c.size;
    EXPECT_EQ(Record.writeSizes, c.writes) << c.size;
    EXPECT_EQ(Record.reports.size(), c.writes.size()) << c.size;  // one report per piece
    EXPECT_TRUE(Record.written == expected) << c.size;
    EXPECT_EQ(ProgressTotals.done, c.size);
    EXPECT_EQ(crcValue, ReferenceCrc(expected));
  }
}

TEST(LzhDecoder, OverlappingMatchesRepeatAndTheStartReadsSpaces) {
  StreamWriter w(14, 4);
  w.BeginBlock(4);
  w.Put(Token::Match(4, 1));   // before the first byte: the 0x20 fill
  w.Put(Token::Lit('a'));
  w.Put(Token::Lit('b'));
  w.Put(Token::Match(10, 2));  // overlaps the bytes it produces
  ASSERT_TRUE(DecodeStream(w.Finish(), '5', 16));
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "    abababababab");
}

TEST(LzhDecoder, FinalMatchIsWrittenInFullPastTheOriginalSize) {
  StreamWriter w(14, 4);
  w.BeginBlock(3);
  w.Put(Token::Lit('x'));
  w.Put(Token::Lit('y'));
  w.Put(Token::Match(10, 2));
  ASSERT_TRUE(DecodeStream(w.Finish(), '5', 5));
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "xyxyxyxyxyxy");
  EXPECT_EQ(decodedCount, 12);
}

TEST(LzhDecoder, MatchAcrossTheWindowEndFlushesMidCopyAndWrapsItsSource) {
  StreamWriter w(17, 5);
  w.BeginBlock(65530 + 3);
  Bytes expected;
  for (unsigned i = 0; i < 65530; ++i) {
    const auto b = static_cast<std::uint8_t>(i % 199);
    w.Put(Token::Lit(b));
    expected.push_back(b);
  }
  w.Put(Token::Match(12, 3));      // crosses the window's end
  w.Put(Token::Match(20, 10));     // its source starts before position 0
  w.Put(Token::Match(256, 65536)); // the longest match from the farthest position
  for (int m = 0; m < 3; ++m) {
    const unsigned len = m == 0 ? 12 : m == 1 ? 20 : 256, dist = m == 0 ? 3 : m == 1 ? 10 : 65536;
    for (unsigned i = 0; i < len; ++i) expected.push_back(expected[expected.size() - dist]);
  }
  const Bytes stream = w.Finish();
  InstallMemoryHost(stream);
  ProgressTotals.total = expected.size() * 2;
  MemberHeader.method = '7';
  MemberHeader.originalSize = static_cast<std::int64_t>(expected.size());
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  ASSERT_TRUE(Guarded(DecodeMember));
  EXPECT_EQ(Record.writeSizes, (std::vector<unsigned long>{65536, expected.size() - 65536}));
  EXPECT_TRUE(Record.written == expected);
  // The flush inside the match already counts the whole match: 65542 of 131636.
  ASSERT_EQ(Record.reports.size(), 2u);
  EXPECT_EQ(Record.reports[0], 65542u * 100 / (expected.size() * 2));
  EXPECT_EQ(Record.reports[1], 50u);
}

TEST(LzhDecoder, BlockSizeZeroMeans65536Symbols) {
  StreamWriter w(14, 4);
  Bytes expected;
  w.BeginBlock(0);
  for (unsigned i = 0; i < 65536; ++i) {
    w.Put(Token::Lit(static_cast<std::uint8_t>(i >> 8)));
    expected.push_back(static_cast<std::uint8_t>(i >> 8));
  }
  w.BeginBlock(2);
  w.Put(Token::Lit('!'));
  w.Put(Token::Match(3, 1));
  for (int i = 0; i < 4; ++i) expected.push_back('!');
  ASSERT_TRUE(DecodeStream(w.Finish(), '5', 65540));
  EXPECT_TRUE(Record.written == expected);
}

TEST(LzhDecoder, PositionSetOf17SymbolsForLh6AndLh7) {
  // Distance 40000 needs position symbol 16, which only the wide set has.
  StreamWriter w(17, 5);
  w.BeginBlock(40001);
  Bytes expected;
  for (unsigned i = 0; i < 40000; ++i) {
    w.Put(Token::Lit(static_cast<std::uint8_t>(i * 7)));
    expected.push_back(static_cast<std::uint8_t>(i * 7));
  }
  w.Put(Token::Match(5, 40000));
  for (unsigned i = 0; i < 5; ++i) expected.push_back(expected[i]);
  const Bytes stream = w.Finish();
  for (char method : {'6', '7'}) {
    ASSERT_TRUE(DecodeStream(stream, method, 40005)) << method;
    EXPECT_TRUE(Record.written == expected) << method;
  }
  // Read as -lh5-, the same stream has a 4-bit position count: no crash, a
  // message or different bytes.
  const bool ok = DecodeStream(stream, '5', 40005);
  EXPECT_TRUE(!ok || Record.written != expected);
}

TEST(LzhDecoder, EmptyMemberWritesNothingButFetchesItsFirstBytes) {
  Bytes stream(20000, 0x55);
  ASSERT_TRUE(DecodeStream(stream, '5', 0));
  EXPECT_TRUE(Record.writeSizes.empty());
  EXPECT_TRUE(Record.reports.empty());
  EXPECT_EQ(Record.readSizes, (std::vector<unsigned long>{16384}));
}

TEST(LzhDecoder, ProbeCapturesTheFirstPieceAndReportsNothing) {
  StreamWriter w(14, 4);
  w.BeginBlock(6);
  for (char c : std::string("Hi!")) w.Put(Token::Lit(static_cast<unsigned char>(c)));
  w.Put(Token::Lit(0));
  w.Put(Token::Lit('z'));
  w.Put(Token::Lit('z'));
  const Bytes stream = w.Finish();
  InstallMemoryHost(stream);
  OutputIsProbe = true;
  MemberHeader.method = '5';
  MemberHeader.originalSize = 6;
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  ASSERT_TRUE(Guarded(DecodeMember));
  EXPECT_STREQ(GeneralText, "Hi!");
  EXPECT_EQ(probeTextCaptured, 1);
  EXPECT_TRUE(Record.writeSizes.empty());
  EXPECT_TRUE(Record.reports.empty());
}

TEST(LzhDecoder, ProbeStopsAfterTheFirstPiece) {
  // 200000 bytes of data, a header that claims 1 GiB: the probe shows the
  // first piece and reads no further, so neither the claim nor the missing
  // rest keeps it busy.
  Bytes expected;
  const Bytes stream = LiteralStream(200000, &expected);
  InstallMemoryHost(stream);
  OutputIsProbe = true;
  MemberHeader.method = '5';
  MemberHeader.originalSize = 1ll << 30;
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  ASSERT_TRUE(Guarded(DecodeMember));
  EXPECT_EQ(decodedCount, 65536);
  EXPECT_LT(Record.readPos, stream.size());
  EXPECT_TRUE(Record.errors.empty());
  EXPECT_EQ(probeTextCaptured, 1);
}

// A header may claim more than its data holds; the bits past the data are
// never decoded into bytes.
TEST(LzhDecoder, ReadingPastTheCompressedSizeIsDamage) {
  Bytes expected;
  const Bytes full = LiteralStream(1000, &expected);
  StreamWriter w(14, 4);
  w.BeginBlock(3);
  for (char c : std::string("abc")) w.Put(Token::Lit(static_cast<unsigned char>(c)));
  const Bytes abc = w.Finish();
  struct Case {
    const char* what;
    Bytes stream;
    std::int64_t originalSize;
  };
  const Case cases[] = {
      {"no data, 1 GiB claimed", {}, 1ll << 30},
      {"one block of 3 bytes, 1 GiB claimed", abc, 1ll << 30},
      {"one block of 3 bytes, 2^62 claimed (64-bit sizes)", abc, 1ll << 62},
      {"cut inside a block", Bytes(full.begin(), full.begin() + 500), 1000},
      {"the last byte missing", Bytes(full.begin(), full.end() - 1), 1000},
  };
  for (const Case& c : cases) {
    InstallMemoryHost(c.stream);
    // Should the decoder produce bytes anyway, the first report ends it.
    Record.cancelAtReport = 0;
    MemberHeader.method = '5';
    MemberHeader.originalSize = c.originalSize;
    MemberHeader.compressedRemaining = static_cast<std::int64_t>(c.stream.size());
    EXPECT_FALSE(Guarded(DecodeMember)) << c.what;
    EXPECT_EQ(Record.errors, (std::vector<std::pair<int, bool>>{{4, true}})) << c.what;
    EXPECT_TRUE(Record.written.empty()) << c.what;
    EXPECT_EQ(Record.readPos, c.stream.size()) << c.what;
  }
  // Exactly the data, every bit of its last byte's symbols used: no damage.
  ASSERT_TRUE(DecodeStream(full, '5', 1000));
  EXPECT_TRUE(Record.written == expected);
  ASSERT_TRUE(DecodeStream(abc, '5', 3));
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "abc");
}

TEST(LzhDecoder, WriteFailureAndCancellationLeaveTheMember) {
  Bytes expected;
  const Bytes stream = LiteralStream(140000 % 65536 + 2 * 65536, &expected);
  InstallMemoryHost(stream);
  Record.failWrites = true;
  MemberHeader.method = '5';
  MemberHeader.originalSize = static_cast<std::int64_t>(expected.size());
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  EXPECT_FALSE(Guarded(DecodeMember));
  EXPECT_EQ(Record.errors, (std::vector<std::pair<int, bool>>{{3, false}}));
  EXPECT_EQ(RunState.aborted, 1);

  // Cancel during the first report: no message and no further byte written.
  InstallMemoryHost(stream);
  Record.cancelAtReport = 0;
  MemberHeader.method = '5';
  MemberHeader.originalSize = static_cast<std::int64_t>(expected.size());
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(stream.size());
  EXPECT_FALSE(Guarded(DecodeMember));
  EXPECT_TRUE(Record.errors.empty());
  EXPECT_EQ(Record.writeSizes, (std::vector<unsigned long>{65536}));
}

TEST(LzhDecoder, TruncationAndBitFlipsEndInAMessageNeverACrash) {
  const Bytes good = Fixture("small-lh4.lzh");
  const Decoded reference = DecodeArchive(good);
  ASSERT_EQ(reference.failure, "");
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    const Decoded d = DecodeArchive(Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
    EXPECT_NE(d.failure, "") << "cut at " << cut;
  }
  for (std::size_t bit = 0; bit < good.size() * 8; ++bit) {
    Bytes bad = good;
    bad[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    const Decoded d = DecodeArchive(bad);
    // Either a message, or (a flip in padding bits) exactly the right bytes.
    if (d.failure.empty()) EXPECT_TRUE(d.contents == reference.contents) << "bit " << bit;
  }
  const Bytes mixed = Fixture("mixed.lzh");
  for (std::size_t cut = 0; cut + 1 < mixed.size(); cut += 7) {
    const Decoded d = DecodeArchive(Bytes(mixed.begin(), mixed.begin() + static_cast<long>(cut)));
    EXPECT_NE(d.failure, "") << "cut at " << cut;
  }
}
