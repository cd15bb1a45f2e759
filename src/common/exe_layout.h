// Where everything lies in the self-extracting executable: the MS-DOS header
// with its 512-byte header area, the configuration block inside that area,
// the 16-bit stub program and, behind it, the Win32 image. Shared by the stub,
// the post-link tool that lays the linked image out this way, and the packer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/le_bytes.h"

namespace exe_layout {

// The MS-DOS header declares 32 paragraphs of header, so that the
// configuration block lies inside the header area and belongs to neither the
// 16-bit program nor the Win32 image.
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kConfigOffset = 512;
constexpr std::size_t kConfigBytes = 717;
constexpr std::size_t kDosStubOffset = 0x4D0;
constexpr std::size_t kDosStubBytes = 58;
constexpr std::size_t kDosImageEnd = kDosStubOffset + kDosStubBytes;  // 0x50A
// The PE header follows the stub, on the next 8-byte boundary.
constexpr std::size_t kPeHeaderOffset = (kDosImageEnd + 7) & ~std::size_t{7};

static_assert(kConfigOffset + kConfigBytes <= kDosStubOffset, "block overlaps the stub");
static_assert(kDosImageEnd == 0x50A, "e_cp/e_cblp describe an image ending at 0x50A");

// Offsets of the MS-DOS header fields.
constexpr std::size_t kOffCblp = 0x02, kOffCp = 0x04, kOffCrlc = 0x06, kOffCparhdr = 0x08,
                      kOffMinalloc = 0x0A, kOffMaxalloc = 0x0C, kOffSs = 0x0E, kOffSp = 0x10,
                      kOffCsum = 0x12, kOffIp = 0x14, kOffCs = 0x16, kOffLfarlc = 0x18,
                      kOffOvno = 0x1A, kOffReserved = 0x1C, kOffMarker = 0x24, kOffLfanew = 0x3C;

constexpr std::uint16_t kCblp = 0x010A;        // bytes in the last 512-byte page
constexpr std::uint16_t kCp = 3;               // pages: the 16-bit image ends at 0x50A
constexpr std::uint16_t kCparhdr = 0x0020;     // a 512-byte header
constexpr std::uint16_t kMaxalloc = 0xFFFF;
constexpr std::uint16_t kSp = 0x02CE;
constexpr std::uint16_t kCs = 0x002D;          // code at 0x2D0 into the image: file offset 0x4D0
constexpr std::uint16_t kLfarlc = 0x0040;
constexpr std::uint16_t kReservedWords[4] = {1, 0, 1, 0};
constexpr char kMarker[10] = {'L', 'H', 'A', '\'', 's', ' ', 'S', 'F', 'X', ' '};

static_assert(kDosStubOffset / 16 - kCparhdr == kCs,
              "CS must point the 16-bit program at the stub");

// The 16-bit program: jump over the text, print it with DOS function 09h and
// leave with function 4Ch and return code 1.
constexpr std::uint8_t kDosStub[kDosStubBytes] = {
    0xEB, 0x2A,  // jmp short over the text
    'T', 'h', 'i', 's', ' ', 'p', 'r', 'o', 'g', 'r', 'a', 'm', ' ', 'c', 'a', 'n', 'n', 'o',
    't', ' ', 'b', 'e', ' ', 'r', 'u', 'n', ' ', 'i', 'n', ' ', 'D', 'O', 'S', ' ', 'm', 'o',
    'd', 'e', '.', '\r', '\n', '$',
    0x0E,              // push cs
    0x1F,              // pop ds
    0xBA, 0x02, 0x00,  // mov dx, 2 (the text)
    0xB4, 0x09,        // mov ah, 09h
    0xCD, 0x21,        // int 21h
    0xB8, 0x01, 0x4C,  // mov ax, 4C01h
    0xCD, 0x21,        // int 21h
};

}  // namespace exe_layout
