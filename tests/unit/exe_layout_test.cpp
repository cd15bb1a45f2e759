// Both built stubs, read as files: the MS-DOS header and header area that the
// self-extracting format needs, the PE image behind them unchanged, and only
// the system DLLs that cannot be planted beside a download as static imports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/exe_layout.h"
#include "fixtures.h"
#include "pack/pe_image.h"

namespace {
using enginetest::Bytes;
using enginetest::ReadFile;

struct Stub {
  const char* tree;
  Bytes relaid, linked;
};

class BuiltStub : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::string dir = std::string(QUORVEL_BUILD_ROOT) + "/" + GetParam() + "/";
    relaid = ReadFile(dir + "quorvel-sfx.exe");
    linked = ReadFile(dir + "quorvel-sfx.linked.exe");
    ASSERT_GT(relaid.size(), 0x600u) << "build the " << GetParam() << " tree first";
    ASSERT_GT(linked.size(), 0x200u);
  }
  Bytes relaid, linked;
};

TEST_P(BuiltStub, DosHeaderFieldsAndHeaderArea) {
  const std::uint8_t* f = relaid.data();
  EXPECT_EQ(f[0], 'M');
  EXPECT_EQ(f[1], 'Z');
  const std::pair<std::size_t, std::uint16_t> words[] = {
      {0x02, 0x010A}, {0x04, 3},  {0x06, 0},      {0x08, 0x20}, {0x0A, 0},
      {0x0C, 0xFFFF}, {0x0E, 0},  {0x10, 0x02CE}, {0x12, 0},    {0x14, 0},
      {0x16, 0x2D},   {0x18, 0x40}, {0x1A, 0},    {0x1C, 1},    {0x1E, 0},
      {0x20, 1},      {0x22, 0}};
  for (auto [offset, value] : words) EXPECT_EQ(ReadLe16(f + offset), value) << "offset " << offset;
  EXPECT_EQ(std::memcmp(f + 0x24, "LHA's SFX ", 10), 0);
  for (std::size_t i = 0x2E; i < 0x3C; ++i) EXPECT_EQ(f[i], 0) << "offset " << i;
  // Zero from the end of the header through the configuration block up to the stub.
  for (std::size_t i = 0x40; i < 0x4D0; ++i) ASSERT_EQ(f[i], 0) << "offset " << i;
}

TEST_P(BuiltStub, SixteenBitProgram) {
  const std::uint8_t* stub = relaid.data() + 0x4D0;
  EXPECT_EQ(stub[0], 0xEB);
  EXPECT_EQ(stub[1], 0x2A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stub + 2), 42),
            "This program cannot be run in DOS mode.\r\n$");
  const std::uint8_t code[] = {0x0E, 0x1F, 0xBA, 0x02, 0x00, 0xB4, 0x09,
                               0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  EXPECT_EQ(std::memcmp(stub + 44, code, sizeof code), 0);
  // e_cp and e_cblp describe a 16-bit image that ends right after the program.
  EXPECT_EQ((ReadLe16(&relaid[4]) - 1) * 512 + ReadLe16(&relaid[2]), 0x4D0 + 58);
}

TEST_P(BuiltStub, PeImageBehindTheStubWithTheLinkersSections) {
  const std::uint32_t lfanew = ReadLe32(&relaid[0x3C]);
  EXPECT_GE(lfanew, 0x50Au);
  EXPECT_EQ(lfanew % 8, 0u);
  ASSERT_LT(lfanew + 4, relaid.size());
  EXPECT_EQ(std::memcmp(&relaid[lfanew], "PE\0\0", 4), 0);

  pe_image::PeInfo before, after;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(linked, before, error)) << error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, after, error)) << error;
  ASSERT_EQ(before.sections.size(), after.sections.size());
  EXPECT_GE(after.sizeOfHeaders, lfanew + after.headersBytes);
  for (std::size_t i = 0; i < before.sections.size(); ++i) {
    const auto& a = before.sections[i];
    const auto& b = after.sections[i];
    EXPECT_STREQ(a.name, b.name);
    ASSERT_EQ(a.rawSize, b.rawSize) << a.name;
    if (b.rawSize) EXPECT_GE(b.rawOffset, after.sizeOfHeaders) << a.name;
    EXPECT_TRUE(std::equal(linked.begin() + a.rawOffset, linked.begin() + a.rawOffset + a.rawSize,
                           relaid.begin() + b.rawOffset))
        << "section " << a.name << " changed";
  }
  EXPECT_EQ(ReadLe32(&relaid[after.checksumOffset]),
            pe_image::ComputeChecksum(relaid, after.checksumOffset));
}

// Names of the DLLs in the import directory.
std::set<std::string> ImportedDlls(const Bytes& f, const pe_image::PeInfo& info) {
  const std::uint32_t opt = info.peOffset + 24;
  const std::uint32_t dirs = opt + (info.pe32Plus ? 112 : 96);
  const std::uint32_t importRva = ReadLe32(&f[dirs + 8]);
  const std::uint16_t optBytes = ReadLe16(&f[info.peOffset + 4 + 16]);
  auto toFile = [&](std::uint32_t rva) -> std::size_t {
    for (std::size_t i = 0; i < info.sections.size(); ++i) {
      const std::uint8_t* s = &f[opt + optBytes + 40 * i];
      const std::uint32_t va = ReadLe32(s + 12), size = std::max(ReadLe32(s + 8), ReadLe32(s + 16));
      if (rva >= va && rva < va + size) return rva - va + ReadLe32(s + 20);
    }
    ADD_FAILURE() << "rva " << rva << " in no section";
    return 0;
  };
  std::set<std::string> names;
  for (std::size_t d = toFile(importRva); d && ReadLe32(&f[d + 12]) != 0; d += 20) {
    std::string name(reinterpret_cast<const char*>(&f[toFile(ReadLe32(&f[d + 12]))]));
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    names.insert(name);
  }
  return names;
}

TEST_P(BuiltStub, ImportsOnlyProtectedSystemDlls) {
  pe_image::PeInfo info;
  std::string error;
  ASSERT_TRUE(pe_image::ParsePe(relaid, info, error)) << error;
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                         "advapi32.dll", "shell32.dll", "ole32.dll",
                                         "comdlg32.dll", "msvcrt.dll"};
  const auto dlls = ImportedDlls(relaid, info);
  EXPECT_TRUE(dlls.count("kernel32.dll"));
  for (const auto& dll : dlls) EXPECT_TRUE(allowed.count(dll)) << "imports " << dll;
}

INSTANTIATE_TEST_SUITE_P(Trees, BuiltStub, ::testing::Values("win64", "win32"));

TEST(PeRelayout, RefusesWhatItCannotLayOut) {
  Bytes out;
  std::string error;
  EXPECT_FALSE(pe_image::Relayout(Bytes(100, 0), out, error));
  Bytes notPe(0x400, 0);
  notPe[0] = 'M';
  notPe[1] = 'Z';
  notPe[0x3C] = 0x80;
  EXPECT_FALSE(pe_image::Relayout(notPe, out, error));
  EXPECT_NE(error.find("PE signature"), std::string::npos);
}

TEST(PeRelayout, ChecksumOfKnownBytes) {
  // Words 0x0201 and 0x0403 with the checksum field (bytes 4..7) skipped, plus the length 8.
  const Bytes f = {1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(pe_image::ComputeChecksum(f, 4), 0x0201u + 0x0403u + 8u);
}
}  // namespace
