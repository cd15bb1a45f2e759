// The packer's decoders of the older methods, on streams written by others:
// the seeds of legacy_diff_fuzz, which jlha's encoders (-lh1-, -lzs-, -lz5-)
// and the seed maker's writers (-pm1-, -pm2-) made from texts whose bytes we
// know (scripts/make-legacy-seeds.py), and small hand-made streams for the
// corners, each checked against lhasa when it was made.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "legacy/legacy_decoder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The text of the "lcg" seeds: 64 letters from a linear congruential generator.
Bytes LcgText(std::size_t size) {
  Bytes text(size);
  std::uint32_t x = 1;
  for (auto& b : text) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(0x30 + ((x >> 16) & 63));
  }
  return text;
}

struct Decoded {
  legacy::Result result;
  Bytes bytes;
  std::size_t pulled = 0;  // compressed bytes the source handed out
};

// Decodes from memory through a source that hands out at most piece bytes a
// call; the source refuses to be asked for more than the member holds.
Decoded Decode(const char* method, const Bytes& stream, std::uint64_t originalSize, std::size_t piece = 4096) {
  Decoded d;
  const legacy::ByteSource source = [&](std::uint8_t* buffer, std::size_t capacity) -> std::int64_t {
    EXPECT_LE(capacity, stream.size() - d.pulled) << "asked past the member's data";
    const std::size_t n = std::min({capacity, piece, stream.size() - d.pulled});
    std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(d.pulled), n, buffer);
    d.pulled += n;
    return static_cast<std::int64_t>(n);
  };
  const legacy::ByteSink sink = [&](const std::uint8_t* data, std::size_t size) {
    d.bytes.insert(d.bytes.end(), data, data + size);
    return true;
  };
  d.result = legacy::DecodeMember(method, stream.size(), originalSize, source, sink);
  return d;
}

struct Seed {
  std::string name;
  const char* method;
  std::uint32_t originalSize;
  Bytes stream;
  Bytes text;  // what it decodes to
};

std::vector<Seed> Seeds() {
  const Bytes sample = ReadFile(fs::path(QUORVEL_SOURCE_DIR) / "tests/fixtures/sample.txt");
  std::vector<Seed> seeds;
  for (const auto& entry : fs::directory_iterator(fs::path(QUORVEL_SOURCE_DIR) / "tests/fuzz/corpus/legacy_diff_fuzz")) {
    const Bytes seed = ReadFile(entry.path());
    Seed s;
    s.name = entry.path().filename().string();
    s.method = legacy::kMethods[seed.at(0) % std::size(legacy::kMethods)].name;
    s.originalSize = seed[1] | seed[2] << 8 | seed[3] << 16;
    s.stream.assign(seed.begin() + 4, seed.end());
    if (s.name.find("-sample") != std::string::npos)
      s.text.assign(sample.begin(), sample.begin() + s.originalSize);
    else if (s.name.find("-lcg") != std::string::npos)
      s.text = LcgText(s.originalSize);
    else
      continue;
    seeds.push_back(std::move(s));
  }
  return seeds;
}

TEST(LegacyDecoder, StreamsOfOtherWritersDecodeToTheirText) {
  const std::vector<Seed> seeds = Seeds();
  ASSERT_GE(seeds.size(), std::size(legacy::kMethods));
  for (const Seed& s : seeds) {
    // Pieces of one byte, of an odd size, and of the whole stream.
    for (std::size_t piece : {std::size_t{1}, std::size_t{4093}, s.stream.size()}) {
      const Decoded d = Decode(s.method, s.stream, s.originalSize, piece);
      EXPECT_EQ(d.result.status, legacy::Status::kOk) << s.name << ", pieces of " << piece;
      EXPECT_EQ(d.result.written, s.text.size()) << s.name;
      EXPECT_TRUE(d.bytes == s.text) << s.name << ", pieces of " << piece;
    }
  }
}

TEST(LegacyDecoder, CutStreamsAreDamagedAndWriteOnlyTheirText) {
  for (const Seed& s : Seeds()) {
    const Bytes half(s.stream.begin(), s.stream.begin() + static_cast<std::ptrdiff_t>(s.stream.size() / 2));
    const Decoded d = Decode(s.method, half, s.originalSize);
    EXPECT_EQ(d.result.status, legacy::Status::kDamaged) << s.name;
    // A stored member is refused for its sizes before anything is written.
    const bool stored = s.name.rfind("stored-", 0) == 0;
    EXPECT_EQ(d.result.damage, stored ? legacy::Damage::kSizesDiffer : legacy::Damage::kDataEnded) << s.name;
    // -pm1- reads zero bytes past its data, and writes what they decode to.
    if (std::string(s.method) != "-pm1-")
      EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.end(), s.text.begin())) << s.name;
  }
}

struct HandMade {
  const char* what;
  const char* method;
  Bytes stream;
  std::uint64_t originalSize;
  legacy::Damage damage;  // kNone: decodes to text
  std::string text;       // or the first bytes of it, the rest spaces
};

TEST(LegacyDecoder, HandMadeStreams) {
  using legacy::Damage;
  const HandMade cases[] = {
      {"-lzs- copies from the window it starts with: spaces (then a literal A)", "-lzs-",
       {0x00, 0x03, 0xA0, 0x80}, 6, Damage::kNone, "     A"},
      {"-lzs- cuts a copy of 17 at the original size", "-lzs-", {0x00, 0x0F}, 3, Damage::kNone, "   "},
      {"-lz5- copies runs and rising bytes from LArc's first window, and reads the bytes it writes", "-lz5-",
       {0x00, 0x4D, 0x32, 0x61, 0xD0, 0xED, 0xF1}, 12, Damage::kNone, "AAAAAabc AAA"},
      {"-pm2-: one symbol (28), coded without bits, repeats the last byte 256 times", "-pm2-",
       {0x74, 0x00}, 5000, Damage::kNone, ""},
      {"-pm2-: three codes of one bit", "-pm2-", {0x0C, 0x9E}, 10, Damage::kBadCodeSet, ""},
      {"-pm2-: codes of 1 and 2 bits, one code short", "-pm2-", {0x08, 0xA6}, 10, Damage::kBadCodeSet, ""},
      {"-pm2-: symbol 29, which has no copy count", "-pm2-", {0x78, 0x10, 0x00}, 10, Damage::kBadCode, ""},
      {"-pm1-: a copy before the first byte", "-pm1-", {0xF8, 0x00}, 4, Damage::kBadDistance, ""},
      {"-pm1-: the last bits of a stream, left unwritten, read as zeros", "-pm1-", {0xFC}, 3, Damage::kNone, "   "},
      {"-pm1-: but not more than 8 zero bytes", "-pm1-", {0xFC}, 100, Damage::kDataEnded, ""},
      {"-pm0-: sizes that differ", "-pm0-", {'a', 'b'}, 3, Damage::kSizesDiffer, ""},
      {"-lz4-: sizes that differ, with nothing to write", "-lz4-", {'a', 'b'}, 0, Damage::kSizesDiffer, ""},
  };
  for (const HandMade& c : cases) {
    const Decoded d = Decode(c.method, c.stream, c.originalSize);
    if (c.damage != Damage::kNone) {
      EXPECT_EQ(d.result.status, legacy::Status::kDamaged) << c.what;
      EXPECT_EQ(d.result.damage, c.damage) << c.what;
      continue;
    }
    std::string expected = c.text;
    expected.resize(c.originalSize, ' ');
    EXPECT_EQ(d.result.status, legacy::Status::kOk) << c.what;
    EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), expected) << c.what;
  }
}

TEST(LegacyDecoder, FailuresOfTheSourceAndTheSinkStopIt) {
  const Bytes data(200000, 'x');
  const legacy::ByteSink keep = [](const std::uint8_t*, std::size_t) { return true; };
  // The source fails; the source ends before the member's size.
  for (std::int64_t answer : {-1, 0}) {
    const legacy::ByteSource source = [answer](std::uint8_t*, std::size_t) { return answer; };
    const legacy::Result r = legacy::DecodeMember("-lz4-", data.size(), data.size(), source, keep);
    EXPECT_EQ(r.status, legacy::Status::kReadError) << answer;
  }
  // The sink refuses its second piece: nothing more is decoded or offered.
  std::size_t pos = 0, offered = 0;
  const legacy::ByteSource source = [&](std::uint8_t* buffer, std::size_t capacity) -> std::int64_t {
    const std::size_t n = std::min(capacity, data.size() - pos);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos), n, buffer);
    pos += n;
    return static_cast<std::int64_t>(n);
  };
  const legacy::ByteSink refuseSecond = [&offered](const std::uint8_t*, std::size_t) { return ++offered < 2; };
  const legacy::Result r = legacy::DecodeMember("-pm0-", data.size(), data.size(), source, refuseSecond);
  EXPECT_EQ(r.status, legacy::Status::kWriteError);
  EXPECT_EQ(offered, 2u);
  EXPECT_GT(r.written, 0u);
  EXPECT_LT(r.written, data.size());
}

TEST(LegacyDecoder, TakesNoMethodOfTheEngine) {
  for (const char* name : {"-lh0-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lhd-", "-LH1-", "-lh1", "-pm3-"}) {
    EXPECT_FALSE(legacy::IsLegacyMethod(name)) << name;
    const legacy::Result r = legacy::DecodeMember(name, 0, 0, nullptr, nullptr);
    EXPECT_EQ(r.status, legacy::Status::kUnsupported) << name;
  }
  for (const legacy::Method& m : legacy::kMethods) EXPECT_TRUE(legacy::IsLegacyMethod(m.name)) << m.name;
}

}  // namespace
