// The tests' reference decoder, checked on data whose bytes are known, and
// the engine checked against it on every committed corpus: the fixtures, the
// seeds of every fuzz target, and the folders named in
// QUORVEL_EXTRA_CORPUS (separated by ':'), such as the inputs a long fuzzing
// campaign collected in build/native/fuzz-corpus/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "engine_test_support.h"
#include "reference_decoder.h"

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

struct MemberData {
  char method;
  Bytes data;
  std::int64_t originalSize;
};

// The members of an archive as the engine's header reader finds them, up to
// the first header it refuses; members whose data the file does not hold in
// full are left out (they end in a read error, not in decoding).
std::vector<MemberData> MembersOf(const Bytes& archive) {
  std::vector<MemberData> members;
  InstallMemoryHost(archive);
  const Engine& e = TestEngine();
  while (members.size() < 64 && ReadMemberHeader(TestEngine(), false) == EngineResult::Ok) {
    const std::size_t start = Record.readPos;
    const auto compressed = static_cast<std::uint64_t>(e.header.compressedRemaining);
    if (compressed > archive.size() - start) break;
    const auto begin = archive.begin() + static_cast<std::ptrdiff_t>(start);
    if (e.header.method != 'd' && e.header.originalSize <= (1 << 22))
      members.push_back({e.header.method, Bytes(begin, begin + static_cast<std::ptrdiff_t>(compressed)),
                         e.header.originalSize});
    Record.readPos = start + static_cast<std::size_t>(compressed);
  }
  FreeMemberHeader(TestEngine());
  return members;
}

// The engine gives the reference's verdict and bytes; a refused member has
// written only bytes the reference produced before its damage.
void ExpectTheReferencesBytes(const MemberData& m, const std::string& what) {
  if (m.method == '0' && m.data.size() < static_cast<std::size_t>(m.originalSize)) return;
  const ReferenceResult ref = ReferenceDecode(m.method, m.data, m.originalSize);
  const EngineResult result = DecodeStream(m.data, m.method, m.originalSize);
  ASSERT_EQ(result == EngineResult::Ok, ref.finished) << what;
  if (ref.finished) {
    EXPECT_TRUE(Record.written == ref.output) << what;
    return;
  }
  EXPECT_EQ(result, EngineResult::Damaged) << what;
  EXPECT_LE(Record.written.size(), ref.output.size()) << what;
  EXPECT_TRUE(std::equal(Record.written.begin(), Record.written.end(), ref.output.begin())) << what;
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// A decode_fuzz input: method byte, 3-byte size (17 bits), the member's data.
MemberData MemberInput(const Bytes& in) {
  static const char kMethods[] = {'0', '4', '5', '6', '7'};
  if (in.size() < 4) return {'5', {}, 0};
  return {kMethods[in[0] % 5], Bytes(in.begin() + 4, in.end()), in[1] | (in[2] << 8) | ((in[3] & 1) << 16)};
}

void CheckCorpusFolder(const fs::path& dir, bool memberInputs) {
  for (const fs::path& file : FilesIn(dir)) {
    const Bytes bytes = ReadFile(file.string());
    if (memberInputs) {
      ExpectTheReferencesBytes(MemberInput(bytes), file.string());
      continue;
    }
    int k = 0;
    for (const MemberData& m : MembersOf(bytes))
      ExpectTheReferencesBytes(m, file.string() + " member " + std::to_string(++k));
  }
}

}  // namespace

TEST(ReferenceDecoder, DecodesTheFixturesAndTheFormatsCorners) {
  const Bytes sample = ReadFile(FixturePath("sample.txt"));
  for (const char* name : {"sample-lh5.lzh", "sample-lh6.lzh", "sample-lh7.lzh"}) {
    const std::vector<MemberData> members = MembersOf(ReadFile(FixturePath(name)));
    ASSERT_EQ(members.size(), 1u) << name;
    const ReferenceResult r = ReferenceDecode(members[0].method, members[0].data, members[0].originalSize);
    EXPECT_TRUE(r.finished && r.output == sample) << name;
  }
  // A block-size field of 0 (65536 symbols), a final match in full, the
  // 0x20 fill before the first byte.
  StreamWriter w(17, 5);
  w.BeginBlock(0);
  for (unsigned i = 0; i < 65536; ++i) w.Put(Token::Lit(static_cast<std::uint8_t>(i)));
  w.BeginBlock(2);
  w.Put(Token::Match(3, 65536 - 0x1000));
  w.Put(Token::Match(10, 1));
  const Bytes stream = w.Finish();
  ReferenceResult r = ReferenceDecode('7', stream, 65536 + 4);
  ASSERT_TRUE(r.finished);
  ASSERT_EQ(r.output.size(), 65536u + 13);
  EXPECT_EQ(r.output[65536], 0x00);  // 61440 back: byte 4096, a multiple of 256
  EXPECT_EQ(r.output.back(), 0x02);
  EXPECT_TRUE(r.notes.blockOf65536);
  // Before the first byte: the 0x20 fill.
  StreamWriter f(14, 4);
  f.BeginBlock(1);
  f.Put(Token::Match(5, 100));
  r = ReferenceDecode('5', f.Finish(), 5);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.output, Bytes(5, 0x20));
  // Damage: one bit short, and a code that does not fill its space.
  r = ReferenceDecode('7', Bytes(stream.begin(), stream.end() - 1), 65536 + 4);
  EXPECT_FALSE(r.finished);
  EXPECT_TRUE(r.notes.pastDataEnd);
  BitWriter bad;
  bad.Put(1, 16);
  bad.Put(2, 5);
  PutCodeLength(bad, 1);
  PutCodeLength(bad, 2);
  r = ReferenceDecode('5', bad.Finish(), 1);
  EXPECT_FALSE(r.finished);
  EXPECT_TRUE(r.notes.damagedTable);
}

TEST(ReferenceDecoder, TheEngineGivesItsBytesOnEveryCommittedCorpus) {
  for (const char* name : {"mixed.lzh", "sample-lh5.lzh", "sample-lh6.lzh", "sample-lh7.lzh", "small-lh4.lzh"})
    for (const MemberData& m : MembersOf(ReadFile(FixturePath(name)))) ExpectTheReferencesBytes(m, name);
  const fs::path seeds = SourcePath("tests/fuzz/corpus");
  CheckCorpusFolder(seeds / "decode_fuzz", true);
  for (const char* target : {"header_fuzz", "diff_decode_fuzz"}) CheckCorpusFolder(seeds / target, false);
}

TEST(ReferenceDecoder, TheEngineGivesItsBytesOnCollectedCorpora) {
  const char* extra = std::getenv("QUORVEL_EXTRA_CORPUS");
  if (!extra) GTEST_SKIP() << "QUORVEL_EXTRA_CORPUS names no folders";
  std::stringstream folders(extra);
  for (std::string dir; std::getline(folders, dir, ':');)
    CheckCorpusFolder(dir, fs::path(dir).filename() == "decode_fuzz");
}
