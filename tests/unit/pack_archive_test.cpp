// The packer's archive side: headers the core reader accepts with every field
// intact, the member list made from a folder tree, and whole archives that
// decode back to the files, the same bytes however many threads packed them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "archive/member_header.h"
#include "common/file_time.h"
#include "engine_test_support.h"
#include "pack/archive_reader.h"
#include "pack/archive_writer.h"
#include "pack/cp932.h"
#include "pack/lzh_encoder.h"
#include "pack/header_writer.h"
#include "pack/member_names.h"

namespace fs = std::filesystem;
using enginetest::Bytes;

namespace {

// The archive in memory, as create's output file holds it: rewritten bytes
// must be what was written there, and a write may be made to fail, from
// failFrom on or (failOnce) only the first that reaches it.
class MemoryOutput : public ArchiveOutput {
 public:
  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (bytes.size() + size > failFrom) {
      if (failOnce) failFrom = ~std::size_t{0};
      return false;
    }
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::uint64_t Offset() const override { return bytes.size(); }
  bool Rewrite(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
               std::size_t size) override {
    EXPECT_LE(offset + size, mark);
    EXPECT_TRUE(std::equal(was, was + size, bytes.begin() + static_cast<std::ptrdiff_t>(offset)));
    std::copy(now, now + size, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    ++rewrites;
    return true;
  }
  void Mark() override { mark = bytes.size(); }
  bool ReturnToMark() override {
    bytes.resize(mark);
    ++returns;
    return true;
  }

  Bytes bytes;
  std::size_t failFrom = ~std::size_t{0};
  bool failOnce = false;
  std::size_t mark = 0;
  int rewrites = 0, returns = 0;
};

// Reads one header with the core reader; the archive is the header, its
// data (none) and the end byte.
EngineResult ReadBack(const Bytes& header) {
  Bytes archive = header;
  archive.push_back(0);
  enginetest::InstallMemoryHost(archive);
  return ReadMemberHeader(enginetest::TestEngine(), false);
}

const MemberHeaderRecord& Header() { return enginetest::TestEngine().header; }
const char* Joined() { return enginetest::TestEngine().joinedName; }

TEST(PackHeader, CoreReaderSeesEveryField) {
  MemberEntry e;
  e.method = '7';
  e.compressedSize = 1234;
  e.originalSize = 56789;
  e.modifiedSeconds = 1700000000;
  e.modifiedNanoseconds = 123456700;
  e.exactTime = true;
  e.attributes = lzh::kDosArchive | lzh::kDosReadOnly;
  e.dataCrc = 0xBEEF;
  e.directory = std::string("docs\xFF\x95\x5C\xFF", 8);  // docs/表/
  e.fileName = "\x83\x5C.txt";                           // ソ.txt
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), EngineResult::Ok);
  EXPECT_EQ(Header().method, '7');
  EXPECT_EQ(Header().compressedRemaining, 1234);
  EXPECT_EQ(Header().originalSize, 56789);
  EXPECT_EQ(Header().attributes, lzh::kDosArchive | lzh::kDosReadOnly);
  EXPECT_EQ(Header().dataCrc, 0xBEEF);
  EXPECT_EQ(Header().osId, 'M');
  EXPECT_EQ(Header().modifiedTime, (1700000000ull + 11644473600ull) * 10000000ull + 1234567);
  // The trail bytes 0x5C stay inside their characters.
  EXPECT_STREQ(Joined(), "docs/\x95\x5C/\x83\x5C.txt");
  FreeMemberHeader(enginetest::TestEngine());
}

TEST(PackHeader, TimesBeyond2038AndSizesBeyond4GiBSurvive) {
  MemberEntry e;
  e.method = '0';
  e.fileName = "big";
  e.compressedSize = e.originalSize = 5ull << 30;
  e.modifiedSeconds = 4102444800;  // 2100-01-01
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), EngineResult::Ok);
  EXPECT_EQ(Header().originalSize, 5ll << 30);
  EXPECT_EQ(Header().compressedRemaining, 5ll << 30);
  EXPECT_EQ(Header().modifiedTime, (4102444800ull + 11644473600ull) * 10000000ull);
  FreeMemberHeader(enginetest::TestEngine());
  // Below 4 GiB no 64-bit size header is written: the header stays short.
  e.compressedSize = e.originalSize = 0xFFFFFFFFu;
  EXPECT_EQ(BuildMemberHeader(e).size(), 26u + 5 + 3 + 3 + 27);
}

TEST(PackHeader, TimesHeaderOnlyWhereTheTimeStampCannotSayTheTime) {
  // The time stamp holds 1970-01-01 to 2038-01-19 03:14:07 for every reader,
  // to the second; the file times header (27 bytes) only for times outside
  // or when the exact time is asked for.
  struct Case {
    std::int64_t seconds;
    bool exact, timesHeader;
  };
  for (const Case& c : {Case{0, false, false}, Case{0x7FFFFFFF, false, false},
                        Case{1700000000, false, false}, Case{-1, false, true},
                        Case{0x80000000, false, true}, Case{-11644473600, false, true},
                        Case{1700000000, true, true}}) {
    MemberEntry e;
    e.fileName = "f";
    e.modifiedSeconds = c.seconds;
    e.modifiedNanoseconds = 999999900;
    e.exactTime = c.exact;
    const Bytes header = BuildMemberHeader(e);
    EXPECT_EQ(header.size(), 26u + 5 + 3 + 1 + (c.timesHeader ? 27 : 0)) << c.seconds;
    ASSERT_EQ(ReadBack(header), EngineResult::Ok);
    const std::uint64_t whole = UnixToFileTime(c.seconds);
    EXPECT_EQ(Header().modifiedTime, whole + (c.timesHeader ? 9999999 : 0)) << c.seconds;
    FreeMemberHeader(enginetest::TestEngine());
  }
}

TEST(PackHeader, NoHeaderLengthIsAMultipleOf256) {
  // Every name length from 0 to 255, alone and under a folder, with and
  // without the file times header: the core reader must see a member each
  // time, never the end of the archive.
  for (std::size_t len = 1; len <= 255; ++len) {
    for (int variant = 0; variant < 4; ++variant) {
      const bool inFolder = variant & 1;
      MemberEntry e;
      e.fileName.assign(len, 'n');
      e.exactTime = variant & 2;
      if (inFolder) e.directory = "d\xFF";
      Bytes h = BuildMemberHeader(e);
      ASSERT_NE(h.size() % 256, 0u) << len;
      ASSERT_EQ(ReadBack(h), EngineResult::Ok) << len << (inFolder ? " in a folder" : "");
      ASSERT_EQ(std::string(Joined()), (inFolder ? "d/" : "") + e.fileName);
      FreeMemberHeader(enginetest::TestEngine());
    }
  }
}

TEST(PackHeader, DirectoryEntryJoinsToItsFolder) {
  MemberEntry e;
  e.method = 'd';
  e.attributes = lzh::kDosDirectory;
  e.directory = "a\xFF" "b\xFF";
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), EngineResult::Ok);
  EXPECT_EQ(Header().method, 'd');
  EXPECT_STREQ(Joined(), "a/b/");
  FreeMemberHeader(enginetest::TestEngine());
}

class PackTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("quorvel-pack-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  void Write(const std::string& relative, const std::string& content) {
    fs::path p = root_ / fs::u8path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
  std::string Path(const std::string& relative = "") const {
    return (root_ / fs::u8path(relative)).u8string();
  }
  fs::path root_;
};

TEST_F(PackTree, MembersInFixedOrderFolderBeforeItsFiles) {
  Write("top/b.txt", "b");
  Write("top/a/z.txt", "z");
  Write("top/a/y.txt", "y");
  Write("top/C.txt", "c");
  fs::create_directories(root_ / "top" / "empty");
  Write("single.bin", "s");
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("top"), Path("single.bin")}, sources, error)) << error;
  std::vector<std::string> names;
  for (const PackSource& s : sources) names.push_back(s.displayName);
  EXPECT_EQ(names, (std::vector<std::string>{"top/", "top/C.txt", "top/a/", "top/a/y.txt",
                                             "top/a/z.txt", "top/b.txt", "top/empty/",
                                             "single.bin"}));
  EXPECT_EQ(sources[0].entry.method, 'd');
  EXPECT_EQ(sources[0].entry.directory, "top\xFF");
  EXPECT_EQ(sources[3].entry.directory, "top\xFF" "a\xFF");
  EXPECT_EQ(sources[3].entry.fileName, "y.txt");
  // A folder given as "." packs its contents without a folder of its own.
  sources.clear();
  ASSERT_TRUE(CollectSources({Path("top") + "/."}, sources, error)) << error;
  EXPECT_EQ(sources[0].displayName, "C.txt");
}

TEST_F(PackTree, NamesTheArchiveCannotCarryAreRefusedByName) {
  std::vector<PackSource> sources;
  std::string error;
  // A file-system name that is not UTF-8.
  Write("raw/\xFF\xFE", "x");
  EXPECT_FALSE(CollectSources({Path("raw")}, sources, error));
  EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;
  // Two members that Windows would write to one file (every letter from A
  // to Z folds).
  Write("case/Read.zip", "1");
  Write("case/READ.ZIP", "2");
  EXPECT_FALSE(CollectSources({Path("case")}, sources, error));
  EXPECT_NE(error.find("same name"), std::string::npos) << error;
  // "!" is the notice member's name.
  Write("!", "not a notice");
  EXPECT_FALSE(CollectSources({Path("!")}, sources, error));
  // Joined names over 255 bytes.
  Write(std::string(200, 'd') + "/" + std::string(60, 'f'), "x");
  EXPECT_FALSE(CollectSources({Path(std::string(200, 'd'))}, sources, error));
  EXPECT_NE(error.find("255"), std::string::npos) << error;
  EXPECT_FALSE(CollectSources({Path("missing")}, sources, error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST_F(PackTree, ArchivesDecodeBackAndDoNotDependOnThreads) {
  std::mt19937 rng(3);
  std::string random(70000, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  std::string text;
  while (text.size() < 200000) text += "line " + std::to_string(rng() % 5000) + " of the text\n";
  Write("t/random.bin", random);
  Write("t/text.txt", text);
  Write("t/empty", "");
  Write("t/sub/one", "1");
  Write("notice.txt", "\xE8\xAA\xAD\xE3\x82\x93\xE3\x81\xA7\xE3\x81\xAD");  // 読んでね
  std::vector<PackSource> sources(1);
  std::string error;
  ASSERT_TRUE(MakeNoticeSource(Path("notice.txt"), sources[0], error)) << error;
  ASSERT_TRUE(CollectSources({Path("t")}, sources, error)) << error;
  for (char method : {'0', '5', '6', '7'}) {
    MemoryOutput oneThread, fourThreads;
    ASSERT_TRUE(WriteArchive(sources, method, 1, oneThread, nullptr, error)) << error;
    ASSERT_TRUE(WriteArchive(sources, method, 4, fourThreads, nullptr, error)) << error;
    const Bytes& one = oneThread.bytes;
    EXPECT_EQ(one, fourThreads.bytes) << method;
    EXPECT_EQ(one.back(), 0) << "the end byte closes the archive";
    enginetest::Decoded d = enginetest::DecodeArchive(one);
    ASSERT_EQ(d.failure, "") << method;
    ASSERT_EQ(d.names, (std::vector<std::string>{"!", "t/", "t/empty", "t/random.bin", "t/sub/",
                                                 "t/sub/one", "t/text.txt"}));
    EXPECT_EQ(d.contents[0], Bytes({0x93, 0xC7, 0x82, 0xF1, 0x82, 0xC5, 0x82, 0xCB}));  // in 932
    EXPECT_EQ(d.contents[3], Bytes(random.begin(), random.end())) << method;
    EXPECT_EQ(d.contents[6], Bytes(text.begin(), text.end())) << method;
  }
  // Random data would grow: it is stored, and the text is compressed.
  MemoryOutput out;
  ASSERT_TRUE(WriteArchive(sources, '7', 2, out, nullptr, error));
  const Bytes& archive = out.bytes;
  EXPECT_LT(archive.size(), random.size() + text.size() / 3);
  const Bytes stored(random.begin(), random.end());
  EXPECT_NE(std::search(archive.begin(), archive.end(), stored.begin(), stored.end()),
            archive.end());
}

TEST_F(PackTree, FailuresStopTheWorkersThatRunAhead) {
  // Many members, prepared ahead on four threads: a file gone before its
  // turn and an output that fails part-way both end the archive with their
  // message, and every worker stops (the call returns).
  for (int k = 0; k < 40; ++k) Write("many/f" + std::to_string(100 + k), std::string(3000 + k, 'a' + k % 26));
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("many")}, sources, error)) << error;
  ASSERT_EQ(sources.size(), 41u);
  fs::remove(root_ / "many" / "f120");
  MemoryOutput out;
  EXPECT_FALSE(WriteArchive(sources, '7', 4, out, nullptr, error));
  EXPECT_NE(error.find("f120"), std::string::npos) << error;
  Write("many/f120", "back");
  MemoryOutput failing;
  failing.failFrom = 1000;
  EXPECT_FALSE(WriteArchive(sources, '7', 4, failing, nullptr, error));
  EXPECT_EQ(error, "cannot write the output");
}

TEST_F(PackTree, NoticeMustFitTheStubsTextBuffer) {
  PackSource s;
  std::string error;
  Write("long.txt", std::string(1024, 'a'));
  EXPECT_FALSE(MakeNoticeSource(Path("long.txt"), s, error));
  EXPECT_NE(error.find("1023"), std::string::npos) << error;
  Write("fits.txt", std::string(1023, 'a'));
  EXPECT_TRUE(MakeNoticeSource(Path("fits.txt"), s, error)) << error;
  Write("sjis.txt", "\x93\xC7");  // already code page 932, not UTF-8
  EXPECT_FALSE(MakeNoticeSource(Path("sjis.txt"), s, error));
}

}  // namespace

namespace {

// Text that compresses, different in every line.
std::string Lines(std::size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < bytes) text += "line " + std::to_string(rng() % 100000) + " of the text\n";
  text.resize(bytes);
  return text;
}

// The member data of each member of an archive, as stored.
std::vector<Bytes> MemberData(const Bytes& archive) {
  std::vector<Bytes> data;
  ArchiveReader reader;
  reader.OpenBytes(archive.data(), archive.size());
  ArchiveMember m;
  std::string error;
  while (reader.Next(m, error) == ReadStatus::Member) {
    const auto from = archive.begin() + static_cast<std::ptrdiff_t>(m.dataOffset);
    data.emplace_back(from, from + m.compressedSize);
  }
  return data;
}

TEST_F(PackTree, LargeFilesAreWrittenAsTheyAreReadInWhatEverForm) {
  // Files of one and a half segments or more are read, compressed and
  // written piece by piece, with the bytes the whole file gives; one that
  // compression would make grow is taken back and stored; lh0 copies.
  const std::string text = Lines(2 * kLzhSegmentBytes + 100, 1);
  std::mt19937 rng(2);
  std::string random(kLzhSegmentedFromBytes, '\0');
  for (char& c : random) c = static_cast<char>(rng());
  Write("big/random", random);
  Write("big/small", "small");
  Write("big/text", text);
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("big")}, sources, error)) << error;
  const Bytes textBytes(text.begin(), text.end()), randomBytes(random.begin(), random.end());
  for (char method : {'0', '7'}) {
    MemoryOutput out;
    std::vector<std::uint64_t> reported;
    ASSERT_TRUE(WriteArchive(sources, method, 3, out,
                             [&](std::uint64_t done, std::uint64_t total) {
                               EXPECT_TRUE(reported.empty() || done >= reported.back());
                               EXPECT_LE(done, total);
                               reported.push_back(done);
                             },
                             error))
        << error;
    EXPECT_EQ(out.rewrites, 2) << "each streamed member's header is written again";
    EXPECT_EQ(out.returns, method == '7' ? 1 : 0);
    // More reports than members: the large ones report as they are read.
    EXPECT_GT(reported.size(), sources.size() + 2);
    EXPECT_EQ(reported.back(), textBytes.size() + randomBytes.size() + 5);
    const enginetest::Decoded d = enginetest::DecodeArchive(out.bytes);
    ASSERT_EQ(d.failure, "") << method;
    EXPECT_EQ(d.contents[1], randomBytes);
    EXPECT_EQ(d.contents[3], textBytes);
    const std::vector<Bytes> data = MemberData(out.bytes);
    ASSERT_EQ(data.size(), 4u);
    EXPECT_EQ(data[1], randomBytes);
    EXPECT_EQ(data[3], method == '0' ? textBytes
                                     : LzhEncode(*FindLzhMethod('7'), textBytes.data(), textBytes.size()));
    MemoryOutput one;
    ASSERT_TRUE(WriteArchive(sources, method, 1, one, nullptr, error)) << error;
    EXPECT_EQ(one.bytes, out.bytes) << method;
  }
  // The output failing in the middle of a streamed member, for good or for
  // one write only: the archive fails either way, with the output's message.
  for (char method : {'0', '7'})
    for (bool once : {false, true}) {
      MemoryOutput failing;
      failing.failFrom = kLzhSegmentBytes;
      failing.failOnce = once;
      EXPECT_FALSE(WriteArchive(sources, method, 2, failing, nullptr, error)) << method << once;
      EXPECT_EQ(error, "cannot write the output");
    }
}

TEST_F(PackTree, FilesThatChangeBeforeTheirTurnArePackedAsTheyAreRead) {
  const std::string text = Lines(2 * kLzhSegmentBytes, 3);
  Write("c/grew", "small at first");
  Write("c/shrank", text);
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("c")}, sources, error)) << error;
  // Past the size below which a file is read whole, and back under it.
  Write("c/grew", text);
  Write("c/shrank", text.substr(0, 60000));
  MemoryOutput out;
  ASSERT_TRUE(WriteArchive(sources, '7', 2, out, nullptr, error)) << error;
  const enginetest::Decoded d = enginetest::DecodeArchive(out.bytes);
  ASSERT_EQ(d.failure, "");
  EXPECT_EQ(d.contents[1], Bytes(text.begin(), text.end()));
  EXPECT_EQ(d.contents[2], Bytes(text.begin(), text.begin() + 60000));
  // A header written for 64-bit sizes cannot be rewritten for a file that
  // is smaller than 4 GiB after all.
  sources[2].size = std::uint64_t{5} << 30;
  Write("c/shrank", text);
  MemoryOutput refused;
  EXPECT_FALSE(WriteArchive(sources, '7', 2, refused, nullptr, error));
  EXPECT_EQ(error, "'c/shrank': the file changed while it was packed");
}

}  // namespace

TEST_F(PackTree, NamesOutsideCodePage932GetExactNamesAndDistinctStandIns) {
  std::string korean, cp932;
  for (int i = 0; i < 60; ++i) korean += "\xEA\xB0\x80";  // 가, U+AC00: 300 bytes as stand-in
  const std::string files[] = {"u/caf\xC3\xA9.txt", "u/caf#00E9.txt", "u/\xE6\x97\xA5\xED\x95\x9C.txt",
                               "u/a#\xE2\x82\xAC.txt", "u/\xF0\x9F\x98\x80", "u/\xCE\x95\xCE\xAC/x.txt",
                               "u/" + korean + ".txt"};
  for (const std::string& f : files) Write(f, "x");
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("u")}, sources, error)) << error;
  std::map<std::string, const MemberEntry*> byName;
  std::set<std::string> joined;
  for (const PackSource& s : sources) {
    byName[s.displayName] = &s.entry;
    EXPECT_LE(s.entry.directory.size() + s.entry.fileName.size(), 255u) << s.displayName;
    EXPECT_TRUE(joined.insert(s.entry.directory + s.entry.fileName).second) << s.displayName;
  }
  ASSERT_TRUE(Utf8ToCp932("\xE6\x97\xA5\xCE\x95", cp932));  // 日 and Ε have code page 932 forms
  const std::string sun = cp932.substr(0, 2), epsilon = cp932.substr(2);
  struct Want { std::string name, directory, fileName; bool exact; };
  const Want wants[] = {
      {"u/caf#00E9.txt", "u\xFF", "caf#00E9.txt", false},  // stored as it is: it fits
      {"u/\xE6\x97\xA5\xED\x95\x9C.txt", "u\xFF", sun + "#D55C.txt", true},
      {"u/a#\xE2\x82\xAC.txt", "u\xFF", "a#0023#20AC.txt", true},  // '#' escaped in a stand-in
      {"u/\xF0\x9F\x98\x80", "u\xFF", "#D83D#DE00", true},          // a surrogate pair: two units
      {"u/\xCE\x95\xCE\xAC/", "u\xFF" + epsilon + "#03AC\xFF", "", true},
      {"u/\xCE\x95\xCE\xAC/x.txt", "u\xFF" + epsilon + "#03AC\xFF", "x.txt", true},
  };
  for (const Want& w : wants) {
    ASSERT_TRUE(byName.count(w.name)) << w.name;
    const MemberEntry& e = *byName[w.name];
    EXPECT_EQ(e.directory, w.directory) << w.name;
    EXPECT_EQ(e.fileName, w.fileName) << w.name;
    EXPECT_EQ(HasStandInName(e), w.exact) << w.name;
  }
  // The exact name in UTF-16: the folder's levels each end in 0xFFFF.
  const MemberEntry& greek = *byName["u/\xCE\x95\xCE\xAC/x.txt"];
  EXPECT_EQ(greek.utf16Directory, (std::u16string{'u', 0xFFFF, 0x0395, 0x03AC, 0xFFFF}));
  EXPECT_EQ(greek.utf16FileName, u"x.txt");
  // café's own stand-in is taken by a name stored as it is: it gets a tag.
  const std::string& cafe = byName["u/caf\xC3\xA9.txt"]->fileName;
  EXPECT_EQ(cafe.substr(0, 9), "caf#00E9~");
  EXPECT_EQ(cafe.size(), 21u);
  // A stand-in over 255 bytes is cut, tagged and keeps its extension.
  const std::string& cut = byName["u/" + korean + ".txt"]->fileName;
  EXPECT_EQ(cut.size(), 255u - 2);
  EXPECT_EQ(cut.substr(cut.size() - 13, 1), "~");
  EXPECT_EQ(cut.substr(cut.size() - 4), ".txt");
  // An exact name of more than 255 UTF-16 units is refused by name.
  const std::string level = std::string(120, 'a') + "\xC3\xA9";  // 121 units, 125 bytes as stand-in
  Write("v/" + level + "/" + level + "/" + level, "x");
  sources.clear();
  EXPECT_FALSE(CollectSources({Path("v")}, sources, error));
  EXPECT_NE(error.find("255 UTF-16 units"), std::string::npos) << error;
}
