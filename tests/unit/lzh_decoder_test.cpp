// The window decoder: archives made by jlha for every method, hand-built
// streams for the window's flush boundaries, overlapping and wrapping
// matches, a block-size field of 0, the final match, a sink that has enough,
// and damaged input.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_test_support.h"

using namespace enginetest;

namespace {
Bytes Fixture(const std::string& name) {
  Bytes b = ReadFile(FixturePath(name));
  EXPECT_FALSE(b.empty()) << name;
  return b;
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
    ASSERT_EQ(DecodeStream(stream, '5', c.size), EngineResult::Ok) << c.size;
    EXPECT_EQ(Record.writeSizes, c.writes) << c.size;
    // One report per piece, of the member's bytes written so far.
    std::vector<std::uint64_t> counts;
    for (unsigned long n : c.writes) counts.push_back((counts.empty() ? 0 : counts.back()) + n);
    EXPECT_EQ(Record.reports, counts) << c.size;
    EXPECT_TRUE(Record.written == expected) << c.size;
    EXPECT_EQ(TestEngine().crc, ReferenceCrc(expected));
  }
}

TEST(LzhDecoder, OverlappingMatchesRepeatAndTheStartReadsSpaces) {
  StreamWriter w(14, 4);
  w.BeginBlock(4);
  w.Put(Token::Match(4, 1));   // before the first byte: the 0x20 fill
  w.Put(Token::Lit('a'));
  w.Put(Token::Lit('b'));
  w.Put(Token::Match(10, 2));  // overlaps the bytes it produces
  ASSERT_EQ(DecodeStream(w.Finish(), '5', 16), EngineResult::Ok);
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "    abababababab");
}

TEST(LzhDecoder, FinalMatchIsWrittenInFullPastTheOriginalSize) {
  StreamWriter w(14, 4);
  w.BeginBlock(3);
  w.Put(Token::Lit('x'));
  w.Put(Token::Lit('y'));
  w.Put(Token::Match(10, 2));
  ASSERT_EQ(DecodeStream(w.Finish(), '5', 5), EngineResult::Ok);
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "xyxyxyxyxyxy");
  EXPECT_EQ(TestEngine().decodedCount, 12);
}

namespace {
// 65530 literals, then a match across the window's end, one whose source
// starts before position 0, and the longest match from the farthest position.
Bytes MatchesAcrossTheWindowEnd(Bytes& expected) {
  StreamWriter w(17, 5);
  w.BeginBlock(65530 + 3);
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
  return w.Finish();
}
}  // namespace

TEST(LzhDecoder, MatchAcrossTheWindowEndFlushesMidCopyAndWrapsItsSource) {
  Bytes expected;
  const Bytes stream = MatchesAcrossTheWindowEnd(expected);
  ASSERT_EQ(DecodeStream(stream, '7', static_cast<std::int64_t>(expected.size())), EngineResult::Ok);
  EXPECT_EQ(Record.writeSizes, (std::vector<unsigned long>{65536, expected.size() - 65536}));
  EXPECT_TRUE(Record.written == expected);
  // The flush inside the match already counts the whole match.
  EXPECT_EQ(Record.reports, (std::vector<std::uint64_t>{65530 + 12, expected.size()}));
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
  ASSERT_EQ(DecodeStream(w.Finish(), '5', 65540), EngineResult::Ok);
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
    ASSERT_EQ(DecodeStream(stream, method, 40005), EngineResult::Ok) << method;
    EXPECT_TRUE(Record.written == expected) << method;
  }
  // Read as -lh5-, the same stream has a 4-bit position count: no crash, a
  // message or different bytes.
  const EngineResult asLh5 = DecodeStream(stream, '5', 40005);
  EXPECT_TRUE(asLh5 == EngineResult::Damaged || (asLh5 == EngineResult::Ok && Record.written != expected));
}

TEST(LzhDecoder, EmptyMemberWritesNothingButFetchesItsFirstBytes) {
  Bytes stream(20000, 0x55);
  ASSERT_EQ(DecodeStream(stream, '5', 0), EngineResult::Ok);
  EXPECT_TRUE(Record.writeSizes.empty());
  EXPECT_TRUE(Record.reports.empty());
  EXPECT_EQ(Record.readSizes, (std::vector<unsigned long>{16384}));
}

TEST(LzhDecoder, ASinkWithEnoughEndsTheMemberAsDecoded) {
  // The first piece is all the sink wants, whether it ends between symbols or
  // inside a match, and the header may claim 1 GiB: nothing more is decoded,
  // read or reported, and the member ends without a failure.
  // A stored member's copy stops the same way.
  Bytes literals, matches;
  const Bytes literalStream = LiteralStream(200000, &literals);
  const Bytes matchStream = MatchesAcrossTheWindowEnd(matches);
  const Bytes stored(200000, 'n');
  const std::pair<const Bytes*, char> members[] = {{&literalStream, '5'}, {&matchStream, '7'}, {&stored, '0'}};
  for (const auto& [stream, method] : members) {
    InstallMember(*stream, method, 1ll << 30);
    Record.enoughAtWrite = 0;
    EXPECT_EQ(DecodeMemberData(TestEngine()), EngineResult::Ok) << method;
    EXPECT_EQ(Record.writeSizes, (std::vector<unsigned long>{65536})) << method;
    EXPECT_TRUE(Record.reports.empty()) << method;
    // The first piece's input and a block of look-ahead, of up to 200000 bytes.
    EXPECT_LT(Record.readPos, 65536u + 2 * kArchiveInputBytes) << method;
  }
  EXPECT_TRUE(Record.written == Bytes(65536, 'n'));
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
    InstallMember(c.stream, '5', c.originalSize);
    // Should the decoder produce bytes anyway, the first report ends it.
    Record.cancelAtReport = 0;
    EXPECT_EQ(DecodeMemberData(TestEngine()), EngineResult::Damaged) << c.what;
    EXPECT_TRUE(Record.written.empty()) << c.what;
    EXPECT_EQ(Record.readPos, c.stream.size()) << c.what;
  }
  // Exactly the data, every bit of its last byte's symbols used: no damage.
  ASSERT_EQ(DecodeStream(full, '5', 1000), EngineResult::Ok);
  EXPECT_TRUE(Record.written == expected);
  ASSERT_EQ(DecodeStream(abc, '5', 3), EngineResult::Ok);
  EXPECT_EQ(std::string(Record.written.begin(), Record.written.end()), "abc");
}

// Every way a walk can end other than by the end byte, through the engine's
// two entry points: the result names it, and nothing after the failure
// reaches the sink.
TEST(Engine, EachFailureEndsWithItsOwnResult) {
  static Bytes literals, stream, header;
  static HeaderSpec spec;
  stream = LiteralStream(140000, &literals);
  spec.extended = {{0x01, Text("x")}};
  header = BuildHeader(spec);
  struct Case {
    const char* failure;
    EngineResult result;
    EngineResult (*run)();
    std::size_t pieces = 0;  // written before it
  };
  const Case cases[] = {
      {"the end byte", EngineResult::EndOfArchive,
       [] {
         InstallMemoryHost({0});
         return ReadMemberHeader(TestEngine(), false);
       }},
      {"a header cut short", EngineResult::Damaged,
       [] {
         InstallMemoryHost(Bytes(header.begin(), header.end() - 1));
         return ReadMemberHeader(TestEngine(), false);
       }},
      {"a method the engine does not decode", EngineResult::Unsupported,
       [] {
         HeaderSpec lh1 = spec;
         lh1.method = "-lh1-";
         InstallMemoryHost(BuildHeader(lh1));
         return ReadMemberHeader(TestEngine(), false);
       }},
      {"no memory for the header", EngineResult::OutOfMemory,
       [] {
         InstallMemoryHost(header);
         TestEngine().host.allocZeroed = [](void*, unsigned long) -> void* { return nullptr; };
         return ReadMemberHeader(TestEngine(), false);
       }},
      {"a read that fails inside compressed data", EngineResult::ReadError,
       [] {
         InstallMember(stream, '5', 140000);
         Record.failReadsFrom = 20000;
         return DecodeMemberData(TestEngine());
       }},
      {"an archive that ends inside a stored member", EngineResult::ReadError,
       [] {
         InstallMember(Bytes(100, 'a'), '0', 200);
         return DecodeMemberData(TestEngine());
       }},
      {"data that needs bits past its size", EngineResult::Damaged,
       [] {
         InstallMember(Bytes(stream.begin(), stream.begin() + 500), '5', 140000);
         return DecodeMemberData(TestEngine());
       }},
      {"a sink that fails", EngineResult::WriteError,
       [] {
         InstallMember(stream, '5', 140000);
         Record.failWrites = true;
         return DecodeMemberData(TestEngine());
       }},
      {"a progress report that asks to stop", EngineResult::Cancelled,
       [] {
         InstallMember(stream, '5', 140000);
         Record.cancelAtReport = 0;
         return DecodeMemberData(TestEngine());
       },
       1},
      {"a stored copy asked to stop", EngineResult::Cancelled,
       [] {
         InstallMember(Bytes(200000, 's'), '0', 200000);
         Record.cancelAtReport = 0;
         return DecodeMemberData(TestEngine());
       },
       1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run(), c.result) << c.failure;
    EXPECT_EQ(Record.writeSizes, std::vector<unsigned long>(c.pieces, 65536)) << c.failure;
  }
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
