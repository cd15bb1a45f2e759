// The packer's compressor, judged by what comes out: every member decodes
// back through the stub's own decoder, stays within its size bounds, and the
// code lengths it writes are complete, optimal and at most 16 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <queue>
#include <random>

#include "archive/crc16.h"
#include "engine_test_support.h"
#include "pack/header_writer.h"
#include "pack/lzh_encoder.h"
#include "pack/stream_encoder.h"
#include "reference_decoder.h"

namespace {

using enginetest::Bytes;

// One member archive of data compressed with the method, decoded by the core.
Bytes RoundTrip(char letter, const Bytes& data, std::size_t* compressedSize = nullptr) {
  const LzhMethod* method = FindLzhMethod(letter);
  EXPECT_NE(method, nullptr);
  Bytes packed = LzhEncode(*method, data.data(), data.size());
  if (compressedSize) *compressedSize = packed.size();
  MemberEntry entry;
  entry.method = letter;
  entry.fileName = "m";
  entry.originalSize = data.size();
  entry.compressedSize = packed.size();
  entry.dataCrc = Crc16(0, data.data(), data.size());
  Bytes archive = BuildMemberHeader(entry);
  archive.insert(archive.end(), packed.begin(), packed.end());
  archive.push_back(0);
  enginetest::Decoded decoded = enginetest::DecodeArchive(archive);
  EXPECT_EQ(decoded.failure, "");
  if (decoded.contents.size() != 1) return {};
  return decoded.contents[0];
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

// Words from a small alphabet: compressible, with matches at many distances.
Bytes TextLike(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> words;
  for (int w = 0; w < 2000; ++w) {
    std::string s;
    for (int k = 0, len = 2 + static_cast<int>(rng() % 8); k < len; ++k)
      s += "etaoinshrdlucmfw"[rng() % 16];
    words.push_back(s);
  }
  Bytes out;
  while (out.size() < n) {
    const std::string& w = words[rng() % words.size()];
    out.insert(out.end(), w.begin(), w.end());
    out.push_back(rng() % 13 == 0 ? '\n' : ' ');
  }
  out.resize(n);
  return out;
}

const char kLetters[] = {'5', '6', '7'};

// The blocks of a member as the stub's decoder reads them, symbol by symbol:
// how many symbols each counts and at which byte of the input it starts.
struct Block {
  unsigned symbols;
  std::size_t firstByte;
};
std::vector<Block> Blocks(char letter, const Bytes& data) {
  static std::vector<Block> blocks;
  static std::size_t originalSize;
  static char method;
  blocks.clear();
  originalSize = data.size();
  method = letter;
  const Bytes packed = LzhEncode(*FindLzhMethod(letter), data.data(), data.size());
  enginetest::InstallMember(packed, letter, static_cast<std::int64_t>(data.size()));
  const EngineResult result = enginetest::Guarded([](Engine& e) {
    StartMethod(e, method);
    for (std::size_t done = 0; done < originalSize;) {
      const bool starts = e.blockRemaining == 0;
      const unsigned symbol = DecodeSymbol(e);
      // A count field of 0 would stand for 65536 and show here as such.
      if (starts) blocks.push_back({e.blockRemaining + 1u, done});
      if (symbol < 256) {
        ++done;
      } else {
        DecodePosition(e);
        done += symbol - lzh::kMatchLengthBias;
      }
    }
  });
  EXPECT_EQ(result, EngineResult::Ok);
  return blocks;
}

TEST(PackEncoder, EveryMethodDecodesRandomStructuredAndEdgeInputs) {
  const std::vector<std::pair<const char*, Bytes>> inputs = {
      {"one byte", Bytes{0x41}},
      {"two bytes", Bytes{0, 0xFF}},
      {"all equal", Bytes(300000, 0x20)},
      {"all zero, odd size", Bytes(65537, 0)},
      {"random", RandomBytes(200000, 1)},
      {"text", TextLike(400000, 2)},
      {"exactly 64 KiB", TextLike(65536, 3)},
      {"64 KiB + 1", TextLike(65537, 4)},
  };
  for (char letter : kLetters)
    for (const auto& [name, data] : inputs)
      EXPECT_EQ(RoundTrip(letter, data), data) << "-lh" << letter << "- " << name;
}

TEST(PackEncoder, NoByteAfterTheLastBit) {
  // Without its last byte a member's data falls short: the encoder writes no
  // byte that holds none of its bits, whatever bit count the data ends on.
  for (char letter : kLetters)
    for (unsigned n = 1; n <= 40; ++n) {
      const Bytes data = TextLike(37 * n, n);
      Bytes packed = LzhEncode(*FindLzhMethod(letter), data.data(), data.size());
      packed.pop_back();
      const enginetest::ReferenceResult cut =
          enginetest::ReferenceDecode(letter, packed, static_cast<std::int64_t>(data.size()));
      EXPECT_TRUE(!cut.finished || cut.notes.pastDataEnd) << "-lh" << letter << "- " << data.size();
    }
}

TEST(PackEncoder, MatchesReachExactlyTheFullDictionary) {
  // A random block repeated at exactly the dictionary's distance can only be
  // coded short with matches of that distance; one byte more cannot match.
  for (char letter : kLetters) {
    const std::uint32_t dictionary = FindLzhMethod(letter)->dictionaryBytes;
    Bytes block = RandomBytes(dictionary, 5);
    Bytes data = block;
    data.insert(data.end(), block.begin(), block.end());
    std::size_t packed = 0;
    EXPECT_EQ(RoundTrip(letter, data, &packed), data) << letter;
    EXPECT_LT(packed, dictionary + dictionary / 50) << "-lh" << letter << "- missed the far match";

    Bytes farther = RandomBytes(dictionary + 1, 6);
    Bytes data2 = farther;
    data2.insert(data2.end(), farther.begin(), farther.end());
    EXPECT_EQ(RoundTrip(letter, data2, &packed), data2) << letter;
    EXPECT_GT(packed, data2.size() * 9 / 10) << "-lh" << letter << "- matched beyond its dictionary";
  }
}

TEST(PackEncoder, OverlappingMatchesAcrossBlockEnds) {
  // Around every multiple of 16 KiB: a 150-byte match that a block end cuts
  // short, and inside it a 200-byte match that runs on past that end. The
  // parser must not let the cut match lead into the long one's bytes.
  Bytes data = RandomBytes(140000, 13);
  for (std::size_t k = 1; k < 8; ++k) {
    const std::size_t b = 16384 * k, p = 1000 * k, q = 9000 + 1000 * k;
    std::copy(data.begin() + p + 50, data.begin() + p + 150, data.begin() + q);
    std::copy(data.begin() + p, data.begin() + p + 150, data.begin() + b - 118);
    std::copy(data.begin() + q, data.begin() + q + 200, data.begin() + b - 68);
  }
  for (char letter : kLetters) EXPECT_EQ(RoundTrip(letter, data), data) << letter;
}

TEST(PackEncoder, ZeroRunsOfEveryLengthInTheLiteralTable) {
  // Bytes from two values g + 1 apart leave a run of g unused literals
  // between them: runs of one zero, of the short kind (3..18), of 19 (one
  // zero and a short run) and of the long kind are all written and read.
  std::mt19937 rng(31);
  for (int gap = 1; gap <= 254; gap += gap < 24 ? 1 : 23) {
    Bytes data(6000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0 : gap + 1);
    for (char letter : kLetters) EXPECT_EQ(RoundTrip(letter, data), data) << letter << " gap " << gap;
  }
}

TEST(PackEncoder, BlocksEndWhereTheStatisticsChange) {
  // Text, random bytes, text again: a new block begins near each change.
  Bytes data = TextLike(60000, 21);
  const std::size_t noiseStart = data.size();
  const Bytes noise = RandomBytes(50000, 22);
  data.insert(data.end(), noise.begin(), noise.end());
  const std::size_t noiseEnd = data.size();
  const Bytes more = TextLike(60000, 23);
  data.insert(data.end(), more.begin(), more.end());
  auto near = [](const std::vector<Block>& blocks, std::size_t byte) {
    return std::any_of(blocks.begin(), blocks.end(), [&](const Block& b) {
      return b.firstByte + 2048 > byte && b.firstByte < byte + 2048;
    });
  };
  for (char letter : kLetters) {
    ASSERT_EQ(RoundTrip(letter, data), data) << letter;
    const std::vector<Block> blocks = Blocks(letter, data);
    EXPECT_TRUE(near(blocks, noiseStart)) << "-lh" << letter << "-";
    EXPECT_TRUE(near(blocks, noiseEnd)) << "-lh" << letter << "-";
  }
}

TEST(PackEncoder, BlocksGrowToWhatTheCountFieldHolds) {
  // Uniform data gains nothing from new tables, so its blocks grow long, but
  // never to 65536 symbols (a count field of 0, which not every reader
  // takes). All-zero data makes long blocks of few symbols.
  const Bytes random = RandomBytes(400000, 24);
  const Bytes zeros(300000, 0);
  for (char letter : kLetters) {
    unsigned longest = 0;
    for (const Block& b : Blocks(letter, random)) {
      EXPECT_LE(b.symbols, 65535u) << letter;
      longest = std::max(longest, b.symbols);
    }
    EXPECT_GT(longest, 60000u) << "-lh" << letter << "-";
    const std::vector<Block> blocks = Blocks(letter, zeros);
    EXPECT_LE(blocks.size(), 3u) << "-lh" << letter << "-";
  }
}

TEST(PackEncoder, SizeBoundsAndDeterminism) {
  const LzhMethod& lh7 = *FindLzhMethod('7');
  Bytes random = RandomBytes(100000, 7);
  Bytes packed = LzhEncode(lh7, random.data(), random.size());
  // Incompressible data costs little more than itself (the writer then stores it).
  EXPECT_LT(packed.size(), random.size() + random.size() / 50);
  Bytes same(1 << 20, 'a');
  EXPECT_LT(LzhEncode(lh7, same.data(), same.size()).size(), same.size() / 500);
  Bytes text = TextLike(300000, 8);
  Bytes once = LzhEncode(lh7, text.data(), text.size());
  EXPECT_LT(once.size(), text.size() / 2);
  EXPECT_EQ(once, LzhEncode(lh7, text.data(), text.size()));
  EXPECT_TRUE(LzhEncode(lh7, text.data(), 0).empty());
  // The wider dictionaries never do worse on data with far repeats.
  Bytes far = TextLike(20000, 9);
  Bytes rep = RandomBytes(30000, 10);
  far.insert(far.end(), rep.begin(), rep.end());
  far.insert(far.end(), rep.begin(), rep.end());
  std::size_t s5 = LzhEncode(*FindLzhMethod('5'), far.data(), far.size()).size();
  std::size_t s7 = LzhEncode(lh7, far.data(), far.size()).size();
  EXPECT_LT(s7, s5);
}

TEST(PackEncoder, BlockWhoseLiteralsNeedSixteenBitCodes) {
  // Literal counts growing like the Fibonacci numbers give an unlimited
  // Huffman code more than 16 levels; the limited code must still decode.
  Bytes data;
  std::uint32_t a = 1, b = 1;
  std::mt19937 rng(11);
  for (int symbol = 0; symbol < 22; ++symbol) {  // 46367 bytes in all
    data.insert(data.end(), a, static_cast<std::uint8_t>(symbol * 10));
    std::uint32_t c = a + b;
    a = b;
    b = c;
  }
  // Shuffled, so the parser finds few matches and codes literals.
  std::shuffle(data.begin(), data.end(), rng);
  std::vector<std::uint32_t> histogram(256);
  for (auto byte : data) histogram[byte]++;
  std::vector<std::uint8_t> unlimited(256);
  BuildLimitedCodeLengths(histogram.data(), 256, 30, unlimited.data());
  ASSERT_GT(*std::max_element(unlimited.begin(), unlimited.end()), 16) << "the data is too shallow";
  for (char letter : kLetters) EXPECT_EQ(RoundTrip(letter, data), data) << letter;
}

// Total cost (sum of weight x length) of an unlimited Huffman code.
std::uint64_t HuffmanCost(const std::vector<std::uint32_t>& weights) {
  std::priority_queue<std::uint64_t, std::vector<std::uint64_t>, std::greater<>> q;
  for (auto w : weights)
    if (w) q.push(w);
  std::uint64_t cost = 0;
  while (q.size() > 1) {
    std::uint64_t x = q.top();
    q.pop();
    std::uint64_t y = q.top();
    q.pop();
    cost += x + y;
    q.push(x + y);
  }
  return cost;
}

TEST(PackEncoder, LimitedCodeLengthsAreCompleteOptimalAndBounded) {
  std::mt19937 rng(12);
  for (int round = 0; round < 200; ++round) {
    const int count = 2 + static_cast<int>(rng() % 509);
    std::vector<std::uint32_t> w(static_cast<std::size_t>(count));
    const bool fibonacci = round % 4 == 0;
    std::uint32_t a = 1, b = 1;
    for (auto& x : w) {
      if (fibonacci) {
        x = a;
        std::uint32_t c = a + b;
        a = b;
        b = std::min<std::uint32_t>(c, 1u << 30);
      } else {
        x = rng() % 3 == 0 ? 0 : 1 + rng() % (1u << (rng() % 20));
      }
    }
    std::vector<std::uint8_t> lengths(w.size());
    int used = BuildLimitedCodeLengths(w.data(), count, 16, lengths.data());
    int expectUsed = static_cast<int>(std::count_if(w.begin(), w.end(), [](auto x) { return x; }));
    ASSERT_EQ(used, expectUsed);
    if (used < 2) continue;
    std::uint64_t kraft = 0, cost = 0;
    for (int s = 0; s < count; ++s) {
      ASSERT_LE(lengths[s], 16);
      ASSERT_EQ(lengths[s] == 0, w[s] == 0) << "symbol " << s;
      if (lengths[s]) kraft += std::uint64_t{1} << (16 - lengths[s]);
      cost += std::uint64_t{w[s]} * lengths[s];
    }
    EXPECT_EQ(kraft, 65536u) << "round " << round;
    // No limit can beat the unlimited optimum; when that fits, it is reached.
    std::uint64_t best = HuffmanCost(w);
    EXPECT_GE(cost, best);
    std::vector<std::uint8_t> loose(w.size());
    BuildLimitedCodeLengths(w.data(), count, 30, loose.data());
    if (*std::max_element(loose.begin(), loose.end()) <= 16) EXPECT_EQ(cost, best);
  }
}

}  // namespace

namespace {

TEST(PackEncoder, JoinedPiecesHoldEveryBitInOrder) {
  // Pieces of every length modulo 8, joined, against the same bits laid
  // down one at a time.
  std::mt19937 rng(31);
  LzhBitJoiner joiner;
  Bytes joined, expected;
  std::uint64_t expectedBits = 0;
  for (int k = 0; k < 40; ++k) {
    LzhBits piece;
    piece.bits = rng() % 70;
    piece.bytes.resize(static_cast<std::size_t>((piece.bits + 7) / 8));
    for (auto& b : piece.bytes) b = static_cast<std::uint8_t>(rng());
    // Bits past the piece's length are padding, and must not leak into the output.
    if (piece.bits % 8) piece.bytes.back() |= static_cast<std::uint8_t>(0xFF >> (piece.bits % 8));
    for (std::uint64_t i = 0; i < piece.bits; ++i, ++expectedBits) {
      if (expectedBits % 8 == 0) expected.push_back(0);
      if (piece.bytes[i / 8] & (0x80 >> (i % 8))) expected.back() |= 0x80 >> (expectedBits % 8);
    }
    joiner.Append(piece, joined);
  }
  joiner.Finish(joined);
  EXPECT_EQ(joined, expected);
}

// Reads data in pieces of the size asked for.
StreamRead ReadFrom(const Bytes& data) {
  auto at = std::make_shared<std::size_t>(0);
  return [&data, at](std::uint8_t* to, std::size_t size, std::size_t& got) {
    got = std::min(size, data.size() - *at);
    std::copy(data.begin() + static_cast<std::ptrdiff_t>(*at),
              data.begin() + static_cast<std::ptrdiff_t>(*at + got), to);
    *at += got;
    return true;
  };
}

Bytes EncodeStream(const LzhMethod& method, const Bytes& data, unsigned threads) {
  WorkerPool pool(threads);
  Bytes out;
  const StreamResult result =
      LzhEncodeStream(method, pool, ReadFrom(data), [&](const std::uint8_t* bytes, std::size_t size) {
        out.insert(out.end(), bytes, bytes + size);
        return true;
      });
  EXPECT_EQ(result, StreamResult::Done);
  return out;
}

TEST(PackEncoder, StreamGivesTheBytesOfTheWholeInput) {
  // Around each place where the stream changes course: one piece or
  // segments, a last segment shorter than the bytes a window looks ahead,
  // an input that ends with a whole segment.
  Bytes text = TextLike(3 * kLzhSegmentBytes + 4096, 40);
  const Bytes random = RandomBytes(300000, 41);
  std::copy(random.begin(), random.end(), text.begin() + static_cast<std::ptrdiff_t>(kLzhSegmentBytes - 100000));
  const LzhMethod& lh7 = *FindLzhMethod('7');
  for (std::size_t size : {std::size_t{0}, std::size_t{5000}, kLzhSegmentedFromBytes - 1,
                           kLzhSegmentedFromBytes, 2 * kLzhSegmentBytes + 100,
                           3 * kLzhSegmentBytes}) {
    const Bytes input(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
    const Bytes whole = LzhEncode(lh7, input.data(), input.size());
    EXPECT_EQ(EncodeStream(lh7, input, 0), whole) << size;
    EXPECT_EQ(EncodeStream(lh7, input, 3), whole) << size;
  }
  const Bytes input(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(2 * kLzhSegmentBytes + 300));
  const LzhMethod& lh5 = *FindLzhMethod('5');
  EXPECT_EQ(EncodeStream(lh5, input, 2), LzhEncode(lh5, input.data(), input.size()));
  EXPECT_EQ(RoundTrip('5', input), input);
}

TEST(PackEncoder, StreamStopsOnFailures) {
  const LzhMethod& lh7 = *FindLzhMethod('7');
  WorkerPool pool(2);
  const Bytes text = TextLike(4 * kLzhSegmentBytes, 42);
  const StreamRead read = ReadFrom(text);
  std::size_t reads = 0;
  auto failingRead = [&](std::uint8_t* to, std::size_t size, std::size_t& got) {
    return read(to, size, got) && ++reads < 3;
  };
  auto anyWrite = [](const std::uint8_t*, std::size_t) { return true; };
  EXPECT_EQ(LzhEncodeStream(lh7, pool, failingRead, anyWrite), StreamResult::ReadFailed);
  std::size_t writes = 0;
  auto failingWrite = [&](const std::uint8_t*, std::size_t) { return ++writes < 2; };
  EXPECT_EQ(LzhEncodeStream(lh7, pool, ReadFrom(text), failingWrite), StreamResult::WriteFailed);
  EXPECT_EQ(writes, 2u);
}

}  // namespace
