// What `quorvel-pack info` reads from a self-extracting file (the stub's
// machine, the configuration block, the certificate table) on files built
// here byte by byte (tests/pack/info_json.sh reads the built stubs), and the
// JSON shapes of members, texts and times.
#include "pack/sfx_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "engine_test_support.h"
#include "pack/pack_json.h"
#include "pack/pe_image.h"

using namespace enginetest;

namespace {

void PutField(Bytes& file, std::size_t offset, const std::string& text) {
  std::memcpy(&file[exe_layout::kConfigOffset + offset], text.data(), text.size());
}

// A stub as the build lays one out: a linked image of one section for the
// machine (PE32+ for x86_64, PE32 for i686), re-laid behind the MS-DOS header
// and header area.
Bytes StubImage(std::uint16_t machine) {
  const bool pe32Plus = machine == pe_image::kMachineAmd64;
  constexpr std::size_t kPe = 0x40, kCoff = kPe + 4, kOpt = kCoff + 20, kFileAlignment = 0x200;
  const std::size_t optBytes = (pe32Plus ? 112 : 96) + 16 * 8;
  Bytes linked(2 * kFileAlignment, 0);
  linked[0] = 'M';
  linked[1] = 'Z';
  WriteLe32(&linked[exe_layout::kOffLfanew], kPe);
  std::memcpy(&linked[kPe], "PE\0\0", 4);
  WriteLe16(&linked[kCoff], machine);
  WriteLe16(&linked[kCoff + 2], 1);  // one section
  WriteLe16(&linked[kCoff + 16], static_cast<std::uint16_t>(optBytes));
  WriteLe16(&linked[kOpt], pe32Plus ? 0x20B : 0x10B);
  WriteLe32(&linked[kOpt + 36], kFileAlignment);
  WriteLe32(&linked[kOpt + 60], kFileAlignment);  // SizeOfHeaders
  std::uint8_t* section = &linked[kOpt + optBytes];
  std::memcpy(section, ".text", 5);
  WriteLe32(section + 8, kFileAlignment);   // VirtualSize
  WriteLe32(section + 12, 0x1000);          // VirtualAddress
  WriteLe32(section + 16, kFileAlignment);  // SizeOfRawData
  WriteLe32(section + 20, kFileAlignment);  // PointerToRawData
  Bytes stub;
  std::string error;
  EXPECT_TRUE(pe_image::Relayout(linked, stub, error)) << error;
  return stub;
}

// A stub with a configuration block written the way any packer could, an
// archive of one stored member behind the image, and optionally a
// certificate table entry of the given type behind the archive.
Bytes SelfExtractingFile(std::uint16_t machine, int certificateType = -1) {
  Bytes file = StubImage(machine);
  if (file.size() < 0x600) return Bytes();
  const std::uint32_t archiveOffset = static_cast<std::uint32_t>(file.size());
  WriteLe32(&file[exe_layout::kConfigOffset], archiveOffset);
  PutField(file, 4, "\x83\x65\x83\x58\x83\x67");  // テスト
  PutField(file, 96, "C:\\Temp\\x");
  PutField(file, 453, "setup.exe");
  WriteLe32(&file[exe_layout::kConfigOffset + 713], kFlagRestoreAttributes | kFlagLanguageMask | 0x40);
  HeaderSpec s;
  s.method = "-lh0-";
  s.compressedSize = s.originalSize = 2;
  s.dataCrc = ReferenceCrc(Text("hi"));
  s.extended.push_back({0x01, Text("a.txt")});
  const Bytes header = BuildHeader(s);
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), {'h', 'i', 0});
  if (certificateType >= 0) {
    while (file.size() % 8) file.push_back(0);
    pe_image::PeInfo pe;
    std::string error;
    EXPECT_TRUE(pe_image::ParsePe(file, pe, error)) << error;
    const std::size_t directories = pe.checksumOffset - 64 + (pe.pe32Plus ? 112 : 96);
    const std::size_t entry = directories + 8 * 4;  // the certificate table
    WriteLe32(&file[entry], static_cast<std::uint32_t>(file.size()));
    WriteLe32(&file[entry + 4], 16);
    const std::uint8_t certificate[16] = {16, 0, 0, 0, 0, 2, static_cast<std::uint8_t>(certificateType), 0};
    file.insert(file.end(), certificate, certificate + sizeof certificate);
  }
  return file;
}

TEST(PackInfo, ReadsTheStubAndTheBlockOfAnyPacker) {
  for (const std::uint16_t machine : {pe_image::kMachineAmd64, pe_image::kMachineI386}) {
    const bool x86_64 = machine == pe_image::kMachineAmd64;
    const Bytes file = SelfExtractingFile(machine);
    ASSERT_FALSE(file.empty());
    SfxDescription d;
    std::string error;
    ASSERT_TRUE(ReadSfxDescription(WriteBuildFile("info-any.exe", file), d, error)) << error;
    EXPECT_EQ(MachineName(d.machine), x86_64 ? "x86_64" : "i686");
    EXPECT_EQ(d.pe32Plus, x86_64);
    EXPECT_EQ(d.fileSize, file.size());
    EXPECT_EQ(ConfigArchiveOffset(d.config), d.imageEnd);
    EXPECT_STREQ(d.config.title, "\x83\x65\x83\x58\x83\x67");
    EXPECT_STREQ(d.config.defaultFolder, "C:\\Temp\\x");
    EXPECT_STREQ(d.config.autoRunCommand, "setup.exe");
    EXPECT_EQ(FlagWords(ConfigFlags(d.config)),
              (std::vector<std::string>{"restore attributes", "language unknown", "unknown bit 6"}));
    EXPECT_FALSE(HasAuthenticodeSignature(d));
    EXPECT_EQ(d.certificateSize, 0u);
  }
}

TEST(PackInfo, TellsAnAuthenticodeSignatureFromOtherCertificates) {
  SfxDescription d;
  std::string error;
  ASSERT_TRUE(ReadSfxDescription(WriteBuildFile("info-signed.exe", SelfExtractingFile(pe_image::kMachineAmd64, 2)), d, error))
      << error;
  EXPECT_TRUE(HasAuthenticodeSignature(d));
  EXPECT_EQ(d.certificateSize, 16u);
  ASSERT_TRUE(ReadSfxDescription(WriteBuildFile("info-x509.exe", SelfExtractingFile(pe_image::kMachineAmd64, 1)), d, error))
      << error;
  EXPECT_FALSE(HasAuthenticodeSignature(d));
  EXPECT_EQ(d.certificateType, 1);
}

TEST(PackInfo, AFileWithoutTheBlockGetsAMessage) {
  const Bytes good = SelfExtractingFile(pe_image::kMachineAmd64);
  ASSERT_FALSE(good.empty());
  const Bytes bare = StubImage(pe_image::kMachineAmd64);
  Bytes pastEnd = good;
  WriteLe32(&pastEnd[exe_layout::kConfigOffset], static_cast<std::uint32_t>(good.size()));
  Bytes noPe = good;
  noPe[exe_layout::kOffLfanew] ^= 0x40;
  // PE headers whose own fields point past what the file holds.
  const std::size_t coff = exe_layout::kPeHeaderOffset + 4;
  Bytes farPe = good, manySections = good, sectionPastEnd = good;
  WriteLe32(&farPe[exe_layout::kOffLfanew], 0xFFFFFFF0u);
  WriteLe16(&manySections[coff + 2], 0xFFFF);
  WriteLe32(&sectionPastEnd[coff + 20 + ReadLe16(&good[coff + 16]) + 16], 0x7FFFFFFFu);
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"text", Text("just some text, long enough to be anything"), "no MS-DOS header"},
      {"short", Bytes(good.begin(), good.begin() + 1000), "too short for a configuration block"},
      {"no-pe", noPe, "no Windows program"},
      {"far-pe", farPe, "e_lfanew does not point at a PE signature"},
      {"many-sections", manySections, "truncated PE headers"},
      {"section-past-end", sectionPastEnd, "section data beyond the end of the file"},
      {"bare-stub", bare, "no configuration block at offset 512: the archive offset there (0)"},
      {"past-end", pastEnd, "does not point into the file"},
  };
  for (const auto& c : cases) {
    SfxDescription d;
    std::string error;
    EXPECT_FALSE(ReadSfxDescription(WriteBuildFile(std::string("info-") + c.name, c.bytes), d, error))
        << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
  }
}

TEST(PackJson, TimesInIso8601Utc) {
  constexpr std::uint64_t kSecond = 10000000, kDay = 86400 * kSecond;
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;
  EXPECT_EQ(IsoUtcTime(0), "1601-01-01T00:00:00Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch), "1970-01-01T00:00:00Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch - kSecond), "1969-12-31T23:59:59Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch + 11016 * kDay), "2000-02-29T00:00:00Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch + 11017 * kDay - 1), "2000-02-29T23:59:59.9999999Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch + 47541 * kDay + kSecond / 2), "2100-03-01T00:00:00.5Z");
  EXPECT_EQ(IsoUtcTime(kUnixEpoch + 981173106 * kSecond + 1), "2001-02-03T04:05:06.0000001Z");
}

TEST(PackJson, MembersWithTheirBytesWhereTheNameIsNoCodePage932) {
  ArchiveMember m;
  m.method = "-lh7-";
  m.level = 1;
  m.osId = 'U';
  m.compressedSize = 10;
  m.originalSize = 30;
  m.dataCrc = 0xBEEF;
  m.attributes = 0x21;
  m.modifiedTime = 116444736000000000ull;
  m.name = "docs/\x95\x5C.txt";  // 表: a trail byte 0x5C
  m.utf8Name = "docs/\xE8\xA1\xA8.txt";
  m.nameIsText = true;
  Json j = MemberJson(m);
  EXPECT_EQ(j["name"], "docs/\xE8\xA1\xA8.txt");
  EXPECT_FALSE(j.contains("nameBytes"));
  EXPECT_EQ(j["directory"], false);
  EXPECT_EQ(j["method"], "-lh7-");
  EXPECT_EQ(j["level"], 1);
  EXPECT_EQ(j["os"], "Unix");
  EXPECT_EQ(j["packedSize"], 10);
  EXPECT_EQ(j["size"], 30);
  EXPECT_EQ(j["crc"], 0xBEEF);
  EXPECT_EQ(j["modified"], "1970-01-01T00:00:00Z");
  EXPECT_EQ(j["attributeNames"], (std::vector<std::string>{"read-only", "archive"}));

  m.method = "-lhd-";
  m.name = "a\x81\x7F/";  // a lead byte before a byte that cannot trail it
  m.utf8Name.clear();
  m.nameIsText = false;
  m.attributes = 0xF0;  // the two bits above the six MS-DOS ones have no name
  j = MemberJson(m);
  EXPECT_EQ(j["attributeNames"], (std::vector<std::string>{"directory", "archive"}));
  EXPECT_EQ(j["name"], "a\\x81\\x7F/");
  EXPECT_EQ(j["nameBytes"], "61817f2f");
  EXPECT_EQ(j["directory"], true);
  // The document is valid UTF-8 JSON that reads back to the same values.
  EXPECT_EQ(Json::parse(j.dump()), j);
}

}  // namespace
