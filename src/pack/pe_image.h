// Reading and re-laying a linked PE image so that it starts with our own
// MS-DOS header, header area and 16-bit stub. GNU ld cannot place a custom
// DOS header, so the link's last step runs this over its output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe_image {

struct Section {
  char name[9];
  std::uint32_t rawOffset;
  std::uint32_t rawSize;
};

struct PeInfo {
  std::uint32_t peOffset = 0;        // e_lfanew
  std::uint16_t machine = 0;         // the COFF header's Machine: kMachineI386, kMachineAmd64, ...
  std::uint32_t headersBytes = 0;    // PE signature, COFF, optional header, section table
  std::uint32_t fileAlignment = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t checksumOffset = 0;  // file offset of the optional header's CheckSum
  std::uint32_t lowestVirtualAddress = 0;
  std::uint32_t certificateOffset = 0, certificateSize = 0;
  std::uint32_t debugSize = 0;
  std::uint32_t imageEnd = 0;        // end of the last section's raw data
  bool pe32Plus = false;
  std::vector<Section> sections;
};

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

// Parses the headers; returns false with a reason when the bytes are no PE image.
bool ParsePe(const std::vector<std::uint8_t>& file, PeInfo& info, std::string& error);
// The same on the first headBytes bytes of a file of fileSize bytes, which
// must hold the MS-DOS and PE headers; sections are checked against fileSize.
bool ParsePeHeaders(const std::uint8_t* head, std::size_t headBytes, std::uint64_t fileSize,
                    PeInfo& info, std::string& error);

// The image checksum as the loader computes it: 16-bit one's-complement-style
// sum of the file with the CheckSum field taken as zero, plus the file length.
std::uint32_t ComputeChecksum(const std::vector<std::uint8_t>& file, std::uint32_t checksumOffset);

// Lays out `linked` with our MS-DOS header, zeroed configuration block and
// 16-bit stub, the PE headers behind the stub, and every section moved on by
// as many file-alignment units as the larger header area needs.
bool Relayout(const std::vector<std::uint8_t>& linked, std::vector<std::uint8_t>& out,
              std::string& error);

}  // namespace pe_image
