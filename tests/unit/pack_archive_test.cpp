// The packer's archive side: headers the core reader accepts with every field
// intact, the member list made from a folder tree, and whole archives that
// decode back to the files, the same bytes however many threads packed them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "archive/member_header.h"
#include "engine_test_support.h"
#include "pack/archive_writer.h"
#include "pack/header_writer.h"

namespace fs = std::filesystem;
using enginetest::Bytes;

namespace {

// Reads one header with the core reader; the archive is the header, its
// data (none) and the end byte.
HeaderResult ReadBack(const Bytes& header) {
  Bytes archive = header;
  archive.push_back(0);
  enginetest::InstallMemoryHost(archive);
  return ReadMemberHeader();
}

TEST(PackHeader, CoreReaderSeesEveryField) {
  MemberEntry e;
  e.method = '7';
  e.compressedSize = 1234;
  e.originalSize = 56789;
  e.modifiedSeconds = 1700000000;
  e.modifiedNanoseconds = 123456700;
  e.attributes = lzh::kDosArchive | lzh::kDosReadOnly;
  e.dataCrc = 0xBEEF;
  e.directory = std::string("docs\xFF\x95\x5C\xFF", 8);  // docs/表/
  e.fileName = "\x83\x5C.txt";                           // ソ.txt
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), HeaderResult::Member);
  EXPECT_EQ(MemberHeader.method, '7');
  EXPECT_EQ(MemberHeader.compressedRemaining, 1234);
  EXPECT_EQ(MemberHeader.originalSize, 56789);
  EXPECT_EQ(MemberHeader.attributes, lzh::kDosArchive | lzh::kDosReadOnly);
  EXPECT_EQ(MemberHeader.dataCrc, 0xBEEF);
  EXPECT_EQ(MemberHeader.osId, 'M');
  EXPECT_EQ(MemberHeader.modifiedTime, (1700000000ull + 11644473600ull) * 10000000ull + 1234567);
  // The trail bytes 0x5C stay inside their characters.
  EXPECT_STREQ(JoinedName, "docs/\x95\x5C/\x83\x5C.txt");
  FreeMemberHeader();
}

TEST(PackHeader, TimesBeyond2038AndSizesBeyond4GiBSurvive) {
  MemberEntry e;
  e.method = '0';
  e.fileName = "big";
  e.compressedSize = e.originalSize = 5ull << 30;
  e.modifiedSeconds = 4102444800;  // 2100-01-01
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), HeaderResult::Member);
  EXPECT_EQ(MemberHeader.originalSize, 5ll << 30);
  EXPECT_EQ(MemberHeader.compressedRemaining, 5ll << 30);
  EXPECT_EQ(MemberHeader.modifiedTime, (4102444800ull + 11644473600ull) * 10000000ull);
  FreeMemberHeader();
  // Below 4 GiB no 64-bit size header is written: the header stays short.
  e.compressedSize = e.originalSize = 0xFFFFFFFFu;
  EXPECT_EQ(BuildMemberHeader(e).size(), 26u + 5 + 3 + 3 + 27);
}

TEST(PackHeader, NoHeaderLengthIsAMultipleOf256) {
  // Every name length from 0 to 255, alone and under a folder: the core
  // reader must see a member each time, never the end of the archive.
  for (std::size_t len = 1; len <= 255; ++len) {
    for (bool inFolder : {false, true}) {
      MemberEntry e;
      e.fileName.assign(len, 'n');
      if (inFolder) e.directory = "d\xFF";
      Bytes h = BuildMemberHeader(e);
      ASSERT_NE(h.size() % 256, 0u) << len;
      ASSERT_EQ(ReadBack(h), HeaderResult::Member) << len << (inFolder ? " in a folder" : "");
      ASSERT_EQ(std::string(JoinedName), (inFolder ? "d/" : "") + e.fileName);
      FreeMemberHeader();
    }
  }
}

TEST(PackHeader, DirectoryEntryJoinsToItsFolder) {
  MemberEntry e;
  e.method = 'd';
  e.attributes = lzh::kDosDirectory;
  e.directory = "a\xFF" "b\xFF";
  ASSERT_EQ(ReadBack(BuildMemberHeader(e)), HeaderResult::Member);
  EXPECT_EQ(MemberHeader.method, 'd');
  EXPECT_STREQ(JoinedName, "a/b/");
  FreeMemberHeader();
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
  // No code page 932 form.
  Write("emoji/\xF0\x9F\x98\x80.txt", "x");
  EXPECT_FALSE(CollectSources({Path("emoji")}, sources, error));
  EXPECT_NE(error.find("\xF0\x9F\x98\x80.txt"), std::string::npos) << error;
  // A file-system name that is not UTF-8.
  Write("raw/\xFF\xFE", "x");
  EXPECT_FALSE(CollectSources({Path("raw")}, sources, error));
  // Two members that Windows would write to one file.
  Write("case/Read.me", "1");
  Write("case/read.ME", "2");
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
    Bytes one, four;
    auto sinkTo = [](Bytes& b) {
      return [&b](const std::uint8_t* d, std::size_t n) {
        b.insert(b.end(), d, d + n);
        return true;
      };
    };
    ASSERT_TRUE(WriteArchive(sources, method, 1, sinkTo(one), nullptr, error)) << error;
    ASSERT_TRUE(WriteArchive(sources, method, 4, sinkTo(four), nullptr, error)) << error;
    EXPECT_EQ(one, four) << method;
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
  Bytes archive;
  ASSERT_TRUE(WriteArchive(sources, '7', 2,
                           [&](const std::uint8_t* d, std::size_t n) {
                             archive.insert(archive.end(), d, d + n);
                             return true;
                           },
                           nullptr, error));
  EXPECT_LT(archive.size(), random.size() + text.size() / 3);
  const Bytes stored(random.begin(), random.end());
  EXPECT_NE(std::search(archive.begin(), archive.end(), stored.begin(), stored.end()),
            archive.end());
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

TEST_F(PackTree, LargeFilesAreStoredStraightFromTheDisk) {
  // With a low threshold the streamed path stores the text as it is.
  std::string text;
  while (text.size() < 100000) text += "stored from the disk ";
  Write("big/text", text);
  std::vector<PackSource> sources;
  std::string error;
  ASSERT_TRUE(CollectSources({Path("big")}, sources, error)) << error;
  Bytes archive;
  auto sink = [&](const std::uint8_t* d, std::size_t n) {
    archive.insert(archive.end(), d, d + n);
    return true;
  };
  ASSERT_TRUE(WriteArchive(sources, '7', 1, sink, nullptr, error, 50000)) << error;
  enginetest::Decoded d = enginetest::DecodeArchive(archive);
  ASSERT_EQ(d.failure, "");
  EXPECT_EQ(d.contents[1], Bytes(text.begin(), text.end()));
  EXPECT_GT(archive.size(), text.size());
  // A file that shrank after the member list was made is packed as it is
  // read, its header and data agreeing.
  Write("big/text", text.substr(0, 60000));
  archive.clear();
  ASSERT_TRUE(WriteArchive(sources, '7', 1, sink, nullptr, error, 1)) << error;
  d = enginetest::DecodeArchive(archive);
  ASSERT_EQ(d.failure, "");
  EXPECT_EQ(d.contents[1], Bytes(text.begin(), text.begin() + 60000));
}

}  // namespace
