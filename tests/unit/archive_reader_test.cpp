// The packer's reading side: archives found inside self-extracting files,
// members decoded with the engine, names shown as UTF-8, and `quorvel-pack
// list` / `test` as a user runs them.
#include "pack/archive_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine_test_support.h"

using namespace enginetest;

namespace {

struct PackRun {
  int status;
  std::string output;
};
PackRun Pack(const std::string& args) {
  const std::string command = std::string(QUORVEL_BINARY_DIR) + "/quorvel-pack " + args + " 2>&1";
  PackRun r{-1, ""};
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, p)) r.output += buffer;
  r.status = pclose(p);
  return r;
}

std::vector<std::pair<std::string, Bytes>> ReadAll(const std::string& path, std::string& error) {
  std::vector<std::pair<std::string, Bytes>> members;
  ArchiveReader reader;
  if (!reader.Open(path, error)) return members;
  ArchiveMember m;
  while (reader.Next(m, error) == ReadStatus::Member) {
    Bytes content;
    const bool ok = reader.Decode(
        [&](const void* data, std::size_t n) {
          const auto* p = static_cast<const std::uint8_t*>(data);
          content.insert(content.end(), p, p + n);
          return true;
        },
        error);
    if (!ok) break;
    members.emplace_back(m.name, content);
  }
  return members;
}
}  // namespace

TEST(ArchiveReader, FindsTheArchiveOfASelfExtractingFile) {
  const Bytes archive = ReadFile(FixturePath("mixed.lzh"));
  Bytes sfx(3000, 0xCC);  // stands for the stub's image
  sfx[0] = 'M';
  sfx[1] = 'Z';
  sfx[512] = static_cast<std::uint8_t>(sfx.size());
  sfx[513] = static_cast<std::uint8_t>(sfx.size() >> 8);
  sfx[514] = sfx[515] = 0;
  sfx.insert(sfx.end(), archive.begin(), archive.end());
  const std::string path = WriteBuildFile("reader-sfx.exe", sfx);
  std::string error;
  const auto members = ReadAll(path, error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(members.size(), 4u);
  EXPECT_EQ(members[2].first, "spaces.txt");
  EXPECT_TRUE(members[2].second == Bytes(65537, ' '));

  const PackRun list = Pack("list " + path);
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.output.find("archive at offset 3000"), std::string::npos) << list.output;
  const std::size_t at = list.output.find("spaces.txt");
  ASSERT_NE(at, std::string::npos) << list.output;
  const std::string line = list.output.substr(list.output.rfind('\n', at) + 1, at - list.output.rfind('\n', at));
  for (const char* field : {"-lh7-", " 42 ", " 65537 ", " 0.1% ", " D219 ", " 2024-05-06 07:08:09 "})
    EXPECT_NE(line.find(field), std::string::npos) << field << " in " << line;
  EXPECT_EQ(Pack("test " + path).status, 0);
}

TEST(ArchiveReader, ReadersDecodeSideBySide) {
  // Two readers of one archive and one of another, their steps interleaved,
  // two whole members decoded inside a third's first piece: each engine
  // keeps its own window, bits, tables, header and CRC.
  ArchiveReader a, b, c;
  std::string error;
  ASSERT_TRUE(a.Open(FixturePath("mixed.lzh"), error) && b.Open(FixturePath("mixed.lzh"), error) &&
              c.Open(FixturePath("sample-lh5.lzh"), error));
  ArchiveMember m;
  for (int k = 0; k < 4; ++k) ASSERT_EQ(b.Next(m, error), ReadStatus::Member);
  ASSERT_EQ(m.name, "zeros.bin");
  for (int k = 0; k < 3; ++k) ASSERT_EQ(a.Next(m, error), ReadStatus::Member);
  ASSERT_EQ(m.name, "spaces.txt");
  ASSERT_EQ(c.Next(m, error), ReadStatus::Member);
  Bytes gotA, gotB, gotC;
  const auto into = [](Bytes& out) {
    return [&out](const void* data, std::size_t n) {
      const auto* p = static_cast<const std::uint8_t*>(data);
      out.insert(out.end(), p, p + n);
      return true;
    };
  };
  const bool decoded = a.Decode(
      [&](const void* data, std::size_t n) {
        if (gotA.empty()) {
          std::string inner;
          EXPECT_TRUE(b.Decode(into(gotB), inner)) << inner;
          EXPECT_TRUE(c.Decode(into(gotC), inner)) << inner;
        }
        return into(gotA)(data, n);
      },
      error);
  EXPECT_TRUE(decoded) << error;
  EXPECT_TRUE(gotA == Bytes(65537, ' '));
  EXPECT_TRUE(gotB == Bytes(70000, 0));
  EXPECT_TRUE(gotC == ReadFile(FixturePath("sample.txt")));
  // Each goes on from where it stood.
  ASSERT_EQ(a.Next(m, error), ReadStatus::Member);
  EXPECT_EQ(m.name, "zeros.bin");
  EXPECT_EQ(b.Next(m, error), ReadStatus::End);
  EXPECT_EQ(c.Next(m, error), ReadStatus::End);
}

TEST(ArchiveReader, NamesAreShownAsUtf8) {
  // "日本語\表.txt" in code page 932; 0x95 0x5C is one character, not a separator.
  Bytes archive = StoredMember("\x93\xfa\x96\x7b\x8c\xea\xff\x95\x5c.txt", "hello");
  archive.push_back(0);
  const std::string path = WriteBuildFile("reader-names.lzh", archive);
  const PackRun list = Pack("list " + path);
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.output.find("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e/\xe8\xa1\xa8.txt"), std::string::npos)
      << list.output;
  ArchiveMember undecodable;
  undecodable.name = "a\x81";  // a lead byte without its trail byte: no Unicode form
  EXPECT_EQ(MemberNameForDisplay(undecodable), "a\\x81");
  EXPECT_EQ(FormatFileTime(116444736000000000ull), "1970-01-01 00:00:00");
}

TEST(ArchiveReader, TestStopsAtTheFirstBadMemberAndNamesIt) {
  Bytes archive = StoredMember("good.txt", "fine");
  Bytes bad = StoredMember("bad.txt", "broken");
  bad[bad.size() - 1] ^= 1;  // the data no longer matches its CRC
  archive.insert(archive.end(), bad.begin(), bad.end());
  archive.push_back(0);
  const PackRun run = Pack("test " + WriteBuildFile("reader-bad.lzh", archive));
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("member bad.txt: data CRC"), std::string::npos) << run.output;

  // A damaged compressed member and a truncated archive: messages, not crashes.
  Bytes lh7 = ReadFile(FixturePath("sample-lh7.lzh"));
  lh7[lh7.size() / 2] ^= 0x40;
  const PackRun damaged = Pack("test " + WriteBuildFile("reader-damaged.lzh", lh7));
  EXPECT_EQ(damaged.status >> 8, 1) << damaged.output;
  EXPECT_NE(damaged.output.find("member sample.txt:"), std::string::npos) << damaged.output;
  lh7 = ReadFile(FixturePath("sample-lh7.lzh"));
  lh7.resize(lh7.size() - 100);
  const PackRun cut = Pack("test " + WriteBuildFile("reader-cut.lzh", lh7));
  EXPECT_EQ(cut.status >> 8, 1) << cut.output;
  EXPECT_NE(cut.output.find("read error"), std::string::npos) << cut.output;

  // A header that is not level 2.
  Bytes level1 = StoredMember("x", "y");
  level1[20] = 1;
  const PackRun foreign = Pack("list " + WriteBuildFile("reader-level1.lzh", level1));
  EXPECT_EQ(foreign.status >> 8, 1);
  EXPECT_NE(foreign.output.find("header of member 1: archive damaged"), std::string::npos) << foreign.output;
}
