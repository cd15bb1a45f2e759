// The self-extracting side of the packer: code page 932 conversion, the
// configuration block's fields and their widths, the stub checks and the
// image checksum computed piece by piece.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "pack/cp932.h"
#include "pack/exclusive_file.h"
#include "pack/output_file.h"
#include "pack/pe_image.h"
#include "pack/sfx_info.h"
#include "pack/sfx_writer.h"
#include "pack/unicode_text.h"

namespace {

TEST(PackCp932, ConvertsAndRefusesWhatHasNoForm) {
  std::string out;
  ASSERT_TRUE(Utf8ToCp932("\xE8\xA1\xA8\xE7\xA4\xBA", out));  // 表示
  EXPECT_EQ(out, "\x95\x5C\x8E\xA6");
  ASSERT_TRUE(Utf8ToCp932("\xEF\xBD\xB1", out));  // half-width ｱ: one byte
  EXPECT_EQ(out, "\xB1");
  ASSERT_TRUE(Utf8ToCp932("plain", out));
  EXPECT_EQ(out, "plain");
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", out));  // an emoji
  EXPECT_FALSE(Utf8ToCp932("\xC3\xA9", out));          // é has no 932 form
  EXPECT_FALSE(Utf8ToCp932("\xFF\xFE", out));          // no UTF-8 at all
  std::string back;
  ASSERT_TRUE(Cp932ToUtf8("\x83\x5C\x83\x74\x83\x67", back));  // ソフト
  EXPECT_EQ(back, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88");
  EXPECT_FALSE(Cp932ToUtf8("\x83", back));  // a lead byte alone
}

TEST(PackUnicode, EachLengthsFirstAndLastCodePointBothWays) {
  const struct {
    const char* utf8;
    std::u16string utf16;
  } kSame[] = {{"\x7F", u"\x7F"},
               {"\xC2\x80", u"\x80"},
               {"\xDF\xBF", u"\x7FF"},
               {"\xE0\xA0\x80", u"\x800"},
               {"\xED\x9F\xBF", u"\xD7FF"},
               {"\xEF\xBF\xBF", u"\xFFFF"},
               {"\xF0\x90\x80\x80", u"\xD800\xDC00"},
               {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"}};
  for (const auto& c : kSame) {
    std::u16string utf16;
    std::string utf8;
    EXPECT_TRUE(Utf8ToUtf16(c.utf8, utf16) && utf16 == c.utf16) << c.utf8;
    EXPECT_TRUE(Utf16ToUtf8(c.utf16, utf8) && utf8 == c.utf8) << c.utf8;
  }
  // Overlong forms, surrogates, beyond U+10FFFF, a cut sequence: no UTF-8.
  for (const char* bad : {"\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                          "\xF4\x90\x80\x80", "\xE2\x82"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  // A surrogate that is half of no pair has no UTF-8 form.
  std::string out;
  for (const std::u16string lone : {u"a\xD800", u"\xDC00", u"\xD800x\xDC00"})
    EXPECT_FALSE(Utf16ToUtf8(lone, out));
}

struct Field {
  const char* option;
  std::string SfxSettings::*text;
  std::size_t offset, width;
};
const Field kFields[] = {
    {"--title", &SfxSettings::title, 4, 51},
    {"--label", &SfxSettings::label, 55, 41},
    {"--folder", &SfxSettings::folder, 96, 256},
    {"--message", &SfxSettings::message, 352, 101},
    {"--run", &SfxSettings::command, 453, 260},
};

TEST(PackSfxConfig, EachTextFitsItsFieldWithItsZeroByte) {
  for (const Field& f : kFields) {
    SfxSettings s;
    SfxConfig block;
    std::string error;
    // Widest text that fits, in double-byte characters (2 bytes each) plus
    // an ASCII byte when the room is odd: counted in bytes of code page 932.
    const std::size_t room = f.width - 1;
    std::string utf8;
    for (std::size_t k = 0; k < room / 2; ++k) utf8 += "\xE3\x81\x82";  // あ = 82 A0
    if (room % 2) utf8 += "x";
    s.*f.text = utf8;
    ASSERT_TRUE(FillSfxConfig(s, 0x5A00, block, error)) << f.option << ": " << error;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
    EXPECT_EQ(bytes[f.offset], 0x82) << f.option;
    EXPECT_EQ(bytes[f.offset + 1], 0xA0) << f.option;
    EXPECT_EQ(bytes[f.offset + f.width - 1], 0) << f.option << " ends inside its field";
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(bytes + f.offset)), room) << f.option;
    EXPECT_EQ(ConfigArchiveOffset(block), 0x5A00u);
    // One byte more is refused, naming the option and the limit.
    s.*f.text = utf8 + "y";
    EXPECT_FALSE(FillSfxConfig(s, 0, block, error)) << f.option;
    EXPECT_EQ(error.rfind(f.option, 0), 0u) << error;
    EXPECT_NE(error.find(std::to_string(room)), std::string::npos) << error;
    s.*f.text = "\xC3\xA9";
    EXPECT_FALSE(FillSfxConfig(s, 0, block, error)) << f.option;
    EXPECT_EQ(error.rfind(f.option, 0), 0u) << error;
  }
}

TEST(PackSfxConfig, FlagsAndEmptyFields) {
  SfxConfig block;
  std::memset(&block, 0xCC, sizeof block);
  std::string error;
  SfxSettings s;
  ASSERT_TRUE(FillSfxConfig(s, 1234, block, error));
  // Empty texts are all zero, so the stub's defaults apply.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
  for (std::size_t i = 4; i < 713; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(ConfigFlags(block), 0u);
  s.overwriteWithoutAsking = true;
  ASSERT_TRUE(FillSfxConfig(s, 1234, block, error));
  EXPECT_EQ(ConfigFlags(block), kFlagOverwriteWithoutAsking);
  s.restoreAttributes = true;
  ASSERT_TRUE(FillSfxConfig(s, 1234, block, error));
  EXPECT_EQ(ConfigFlags(block), kFlagOverwriteWithoutAsking | kFlagRestoreAttributes);
  EXPECT_EQ(bytes[713], 3);
  s.temporaryFolder = true;
  ASSERT_TRUE(FillSfxConfig(s, 1234, block, error));
  EXPECT_EQ(bytes[713], 7);
  EXPECT_EQ(FlagWords(ConfigFlags(block)),
            (std::vector<std::string>{"restore attributes", "overwrite without asking", "temporary folder"}));
  // The first text without a code page 932 form is the one create names when
  // it chooses a UTF-8 block; the notice is named without its text.
  s.title = "\xE8\xA1\xA8";  // 表
  EXPECT_EQ(TextOutsideCodePage932(s, "notice"), "");
  EXPECT_EQ(TextOutsideCodePage932(s, "caf\xC3\xA9"), "the notice");
  s.label = "caf\xC3\xA9";
  EXPECT_EQ(TextOutsideCodePage932(s, "caf\xC3\xA9"), "the label 'caf\xC3\xA9'");
}

TEST(PackSfxStub, PiecewiseChecksumEqualsTheWholeFileOne) {
  std::mt19937 rng(4);
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4097}, std::size_t{100000}}) {
    std::vector<std::uint8_t> file(size);
    for (auto& b : file) b = static_cast<std::uint8_t>(rng());
    const std::uint32_t checksumOffset = 0x588;
    std::uint32_t expected = pe_image::ComputeChecksum(file, checksumOffset);
    // Pieces of odd and even lengths, so words straddle the pieces.
    PeChecksum sum(checksumOffset);
    std::size_t at = 0;
    while (at < size) {
      std::size_t n = std::min<std::size_t>(size - at, 1 + rng() % 777);
      sum.Add(file.data() + at, n);
      at += n;
    }
    EXPECT_EQ(sum.Finish(), expected) << size;
  }
}

TEST(PackSfxStub, OutputFileKeepsTheChecksumOfWhatItHoldsInTheEnd) {
  // Written as create writes a self-extracting file with a large member: a
  // header, data taken back and written again, the header rewritten, more
  // members; pieces of odd lengths at odd offsets, one larger than what it
  // buffers. The file it leaves holds the bytes last written and the
  // checksum of exactly those, and nothing else in its folder.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "quorvel-output-file-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path path = folder / "out.exe";
  const std::uint32_t checksumOffset = 0x88;
  std::mt19937 rng(5);
  auto random = [&](std::size_t n) {
    std::vector<std::uint8_t> b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
  };
  std::vector<std::uint8_t> expected = random(1001);
  std::fill_n(expected.begin() + checksumOffset, 4, 0);
  {
    OutputFile out(path);
    ASSERT_TRUE(out.Ok());
    out.KeepChecksum(checksumOffset);
    ASSERT_TRUE(out.Write(expected.data(), expected.size()));
    const std::vector<std::uint8_t> header = random(37), data = random(500001);
    ASSERT_TRUE(out.Write(header.data(), header.size()));
    out.Mark();
    ASSERT_TRUE(out.Write(data.data(), data.size()));
    ASSERT_EQ(out.Offset(), 1001u + 37 + 500001);
    ASSERT_TRUE(out.ReturnToMark());
    ASSERT_EQ(out.Offset(), 1001u + 37);
    const std::vector<std::uint8_t> stored = random(3333), rewritten = random(37);
    ASSERT_TRUE(out.Write(stored.data(), stored.size()));
    ASSERT_TRUE(out.Rewrite(1001, header.data(), rewritten.data(), rewritten.size()));
    expected.insert(expected.end(), rewritten.begin(), rewritten.end());
    expected.insert(expected.end(), stored.begin(), stored.end());
    // A header before the mark rewritten after a later mark.
    out.Mark();
    const std::vector<std::uint8_t> last = random(11), again = random(11);
    ASSERT_TRUE(out.Write(last.data(), last.size()));
    ASSERT_TRUE(out.Rewrite(1001 + 37 + 7, stored.data() + 7, again.data(), again.size()));
    std::copy(again.begin(), again.end(), expected.begin() + 1001 + 37 + 7);
    ASSERT_TRUE(out.ReturnToMark());
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  fs::remove(path);
  WriteLe32(&expected[checksumOffset], pe_image::ComputeChecksum(expected, checksumOffset));
  EXPECT_EQ(file, expected);
  // An output that is not committed leaves nothing behind.
  {
    OutputFile out(path);
    ASSERT_TRUE(out.Write(expected.data(), 10));
  }
  EXPECT_TRUE(fs::is_empty(folder));
  // In a program started with its standard input closed, the new file gets
  // descriptor 0, and closes it like any other.
  {
    OpenFolder open;
    ASSERT_TRUE(open.Open(folder));
    const int input = dup(0);
    close(0);
    {
      NewFile file(open);
      EXPECT_TRUE(file.Create());
    }
    EXPECT_EQ(fcntl(0, F_GETFD), -1) << "descriptor 0 left open";
    dup2(input, 0);
    close(input);
  }
  EXPECT_TRUE(fs::is_empty(folder));
  // A folder removed while it is held open takes no new file.
  OpenFolder gone;
  ASSERT_TRUE(gone.Open(folder));
  fs::remove(folder);
  NewFile orphan(gone);
  EXPECT_FALSE(orphan.Create());
  EXPECT_FALSE(orphan.Write(expected.data(), 10));
}

TEST(PackSfxStub, OutputFileThatTheDiskRefusesFailsAndLeavesNothing) {
  // The file size limit stands for a full disk: the write past it fails.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "quorvel-output-limit-test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  rlimit was{}, small{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  small = was;
  small.rlim_cur = 4096;
  void (*const handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool wrote = false;
  {
    OutputFile out(folder / "out.exe");
    const std::vector<std::uint8_t> bytes(1 << 20, 'x');
    wrote = out.Ok() && out.Write(bytes.data(), bytes.size()) && out.Commit();
  }
  setrlimit(RLIMIT_FSIZE, &was);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(wrote);
  EXPECT_TRUE(fs::is_empty(folder));
  fs::remove(folder);
}

TEST(PackSfxStub, RefusesFilesThatAreNotOurStub) {
  std::uint32_t offset = 0;
  std::string error;
  std::vector<std::uint8_t> junk(4096, 0x90);
  EXPECT_FALSE(CheckStub(junk, offset, error));
  EXPECT_FALSE(error.empty());
  // Our DOS header but no PE image behind it.
  std::vector<std::uint8_t> header(4096, 0);
  header[0] = 'M';
  header[1] = 'Z';
  WriteLe16(&header[exe_layout::kOffCparhdr], exe_layout::kCparhdr);
  std::memcpy(&header[exe_layout::kOffMarker], exe_layout::kMarker, sizeof exe_layout::kMarker);
  WriteLe32(&header[exe_layout::kOffLfanew], 0x510);
  EXPECT_FALSE(CheckStub(header, offset, error));
}

TEST(PeRelayout, RefusesWhatItCannotLayOut) {
  std::vector<std::uint8_t> out;
  std::string error;
  EXPECT_FALSE(pe_image::Relayout(std::vector<std::uint8_t>(100, 0), out, error));
  std::vector<std::uint8_t> notPe(0x400, 0);
  notPe[0] = 'M';
  notPe[1] = 'Z';
  notPe[0x3C] = 0x80;
  EXPECT_FALSE(pe_image::Relayout(notPe, out, error));
  EXPECT_NE(error.find("PE signature"), std::string::npos);
}

TEST(PeRelayout, ChecksumOfKnownBytes) {
  // Words 0x0201 and 0x0403 with the checksum field (bytes 4..7) skipped, plus the length 8.
  const std::vector<std::uint8_t> f = {1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(pe_image::ComputeChecksum(f, 4), 0x0201u + 0x0403u + 8u);
}

}  // namespace
