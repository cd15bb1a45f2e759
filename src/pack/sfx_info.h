// What a self-extracting file says about itself before anyone runs it: the
// stub's machine (from its PE header), the configuration block at offset 512
// and whether a signature is attached. Read from the bytes alone, so it works
// on files that other packers wrote in the same layout; the archive itself is
// read apart, through ArchiveReader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/sfx_config.h"

struct SfxDescription {
  std::uint64_t fileSize = 0;
  std::uint16_t machine = 0;   // the PE header's Machine field
  bool pe32Plus = false;
  std::uint32_t imageEnd = 0;  // end of the last section's data
  SfxConfig config{};          // every text ends inside its field
  // The certificate table of the PE header (Authenticode signing appends it
  // behind everything else); size 0 when there is none.
  std::uint32_t certificateOffset = 0, certificateSize = 0;
  std::uint16_t certificateType = 0;  // of its first entry; kCertificatePkcsSignedData
};

// WIN_CERTIFICATE types: an Authenticode signature is a PKCS #7 SignedData entry.
constexpr std::uint16_t kCertificatePkcsSignedData = 0x0002;

// Reads the description of the file at path (UTF-8). False with a message
// that does not name the file when it is no self-extracting file: no MS-DOS
// header, too short for the block, no PE header, or an archive offset that
// does not point behind the block into the file.
bool ReadSfxDescription(const std::string& path, SfxDescription& description, std::string& error);

// "x86_64", "i686", or "machine 0x01C4" for any other.
std::string MachineName(std::uint16_t machine);

// The flags in words, one entry per bit that is set ("overwrite without
// asking", "restore attributes", "texts in UTF-8", "language en",
// "unknown bit 7"); empty for 0.
std::vector<std::string> FlagWords(std::uint32_t flags);

// The language the flags choose for the stub's own texts: "auto", "ja",
// "en", or "unknown" for the value no packer writes.
std::string LanguageCode(std::uint32_t flags);

// The code page of the block's texts and of the notice: 65001 (UTF-8) when
// the flags say so, else 932.
std::uint32_t BlockTextCodePage(std::uint32_t flags);

// True when the certificate table holds an Authenticode signature.
bool HasAuthenticodeSignature(const SfxDescription& description);
