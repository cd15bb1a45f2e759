// The LZH archive format, once for every part that reads or writes it: the
// level-2 member header (read by the stub's engine, written by the packer),
// the method names, and the block format of the static-Huffman methods -lh4-
// to -lh7- (decoded by the engine, written by the packer's encoder).
//
// The words the engine and the encoder use:
//   archive   members one after another, closed by the end byte.
//   member    a header (fixed part, then a chain of extended headers) and
//             its data: the original bytes (stored, -lh0-), compressed
//             blocks (-lh4- to -lh7-), or none (a directory entry, -lhd-).
//   block     a symbol count, the code lengths of the three sets, then that
//             many symbols.
//   set       the symbols one code covers: the code-length set (the lengths
//             of the literal/length set), the literal/length set (a byte, or
//             a match length) and the position set.
//   symbol    a literal byte, or a match: a length, then a position.
//   position  how far back a match starts, less one: distance - 1. Position
//             symbols 0 and 1 stand for themselves, j > 1 for 2^(j-1) plus
//             the j - 1 low bits that follow its code.
//   distance  position + 1: the number of bytes back from the next byte.
//   window    the decoder's 128 KiB: the history, then the piece.
//   piece     up to 64 KiB of decoded bytes, handed to the sink whole (the
//             last one shorter); it then becomes the history.
//   history   the piece before, which matches reach back into; before the
//             first piece, spaces (kWindowFill in the engine).
//   stretch   symbols the decoding loop takes without a check each: none
//             reaches the piece's end, the member's end or a new block.
//   sink      whoever takes the pieces: a file, the notice's text, nothing.
//   host      what the engine's caller supplies: archive reads, the sink,
//             progress, memory for a header, the clock.
#pragma once

#include <cstdint>

namespace lzh {

// ---- The archive ----------------------------------------------------------

// A sequence of members, each a header followed by its data, closed by one
// zero byte where the next header's size would start.
constexpr std::uint8_t kEndByte = 0;

// A header whose size is a multiple of 256 starts with a zero byte too. Many
// readers take it for the end of the archive (the engine looks further, at
// the level byte and the method name), so a writer avoids such sizes.
constexpr bool HeaderSizeReadsAsEnd(unsigned long headerSize) {
  return static_cast<std::uint8_t>(headerSize) == kEndByte;
}

// CRC-16/ARC over member data and over each whole header: reflected
// polynomial 0xA001, initial value 0, no final inversion.
constexpr std::uint16_t kCrcPolynomial = 0xA001;

// ---- The member header: its fixed part -----------------------------------

// All numbers little-endian.
constexpr unsigned kOffHeaderSize = 0;      // 2: the whole header, extended headers included
constexpr unsigned kOffMethod = 2;          // 5: "-lh" + method letter + "-"
constexpr unsigned kOffCompressedSize = 7;  // 4: bytes of member data after the header
constexpr unsigned kOffOriginalSize = 11;   // 4: bytes once decoded
constexpr unsigned kOffTimeStamp = 15;      // 4: Unix seconds, signed (see kLatestTimeStamp)
constexpr unsigned kOffAttribute = 19;      // 1: MS-DOS attribute byte
constexpr unsigned kOffLevel = 20;          // 1
constexpr unsigned kOffDataCrc = 21;        // 2: CRC of the original bytes
constexpr unsigned kOffOsId = 23;           // 1: the system that made the member
constexpr unsigned kOffFirstExtSize = 24;   // 2: size of the first extended header, 0: none
constexpr unsigned kFixedHeaderBytes = 26;

constexpr unsigned kMethodNameBytes = 5;
constexpr unsigned kSizeFieldBytes = 2;  // the header size and every next-size field
static_assert(kOffMethod == kOffHeaderSize + kSizeFieldBytes &&
                  kOffCompressedSize == kOffMethod + kMethodNameBytes &&
                  kOffOriginalSize == kOffCompressedSize + 4 && kOffTimeStamp == kOffOriginalSize + 4 &&
                  kOffAttribute == kOffTimeStamp + 4 && kOffLevel == kOffAttribute + 1 &&
                  kOffDataCrc == kOffLevel + 1 && kOffOsId == kOffDataCrc + 2 &&
                  kOffFirstExtSize == kOffOsId + 1 &&
                  kFixedHeaderBytes == kOffFirstExtSize + kSizeFieldBytes,
              "the fields of the fixed part follow each other without a gap");

// The time stamp is read as a signed 32-bit count of seconds, and a negative
// one as the current time: the field says 1970-01-01 00:00:00 UTC to
// 2038-01-19 03:14:07 UTC to every reader. Times outside, and fractions of
// a second, need the file times header (0x41).
constexpr std::int64_t kEarliestTimeStamp = 0;
constexpr std::int64_t kLatestTimeStamp = 0x7FFFFFFF;

// The only level this format reads and writes: extended headers carry the
// names, and the header size counts the whole header.
constexpr std::uint8_t kHeaderLevel = 2;
// Only members made on MS-DOS (and Windows) take the attributes header.
constexpr std::uint8_t kOsIdMsdos = 'M';

// MS-DOS attribute bits.
constexpr std::uint8_t kDosReadOnly = 0x01;
constexpr std::uint8_t kDosDirectory = 0x10;
constexpr std::uint8_t kDosArchive = 0x20;

// ---- Methods --------------------------------------------------------------

// The method name is "-lh" + letter + "-".
constexpr char kMethodNamePrefix[] = "-lh";
constexpr unsigned kMethodLetterPos = 3;  // within the name
constexpr char kMethodNameEnd = '-';
static_assert(sizeof kMethodNamePrefix - 1 == kMethodLetterPos &&
                  kMethodLetterPos + 2 == kMethodNameBytes,
              "prefix, letter and closing dash make the name");

constexpr char kMethodStored = '0';     // the original bytes as they are
constexpr char kMethodDirectory = 'd';  // a directory entry, without data
constexpr char kFirstCompressedMethod = '4';
constexpr char kLastCompressedMethod = '7';

constexpr bool IsCompressedMethod(char letter) {
  return letter >= kFirstCompressedMethod && letter <= kLastCompressedMethod;
}
// The methods the stub extracts: stored, -lh4- to -lh7-, directory entries.
constexpr bool IsReadableMethod(char letter) {
  return letter == kMethodStored || letter == kMethodDirectory || IsCompressedMethod(letter);
}

// The five bytes have the shape of a method name, whatever the letter.
constexpr bool HasMethodNameShape(const std::uint8_t* name) {
  for (unsigned i = 0; i < kMethodLetterPos; ++i)
    if (name[i] != static_cast<std::uint8_t>(kMethodNamePrefix[i])) return false;
  return name[kMethodLetterPos + 1] == static_cast<std::uint8_t>(kMethodNameEnd);
}

// The five bytes name one of the stub's methods.
constexpr bool IsReadableMethodName(const std::uint8_t* name) {
  return HasMethodNameShape(name) && IsReadableMethod(static_cast<char>(name[kMethodLetterPos]));
}

// ---- Extended headers -----------------------------------------------------

// Each: a type byte, its data, then the size of the next one (0 ends the
// chain). An extended header's size counts all three.
constexpr unsigned kExtOverheadBytes = 1 + kSizeFieldBytes;

constexpr std::uint8_t kExtHeaderCrc = 0x00;      // CRC of the header with these bytes zero
constexpr std::uint8_t kExtFileName = 0x01;       // the name, no terminating zero
constexpr std::uint8_t kExtDirectoryName = 0x02;  // components each ending in a separator
constexpr std::uint8_t kExtAttributes = 0x40;     // 16-bit attributes (MS-DOS members only)
constexpr std::uint8_t kExtFileTimes = 0x41;      // creation, last write, last access
constexpr std::uint8_t kExtLargeSizes = 0x42;     // 64-bit compressed and original sizes
// The names again as UTF-16LE units, no terminating zero, for names that a
// code page cannot hold; a reader that knows only 0x01 and 0x02 reads the
// byte names beside them. Each replaces its byte field on its own: a header
// may carry 0x45 and no 0x44, and the file name is then 0x01's. The
// directory name's levels each end in the unit 0xFFFF, as those of 0x02 end
// in the byte 0xFF (the LZH readers that know 0x45 split it there).
constexpr std::uint8_t kExtUtf16FileName = 0x44;
constexpr std::uint8_t kExtUtf16DirectoryName = 0x45;
// The Windows code page of the byte names in 0x01 and 0x02, a 32-bit number
// (65001: UTF-8); without it they are code page 932 (Shift_JIS).
constexpr std::uint8_t kExtCodePage = 0x46;

// Data bytes of the types that carry numbers.
constexpr unsigned kHeaderCrcBytes = 2;
constexpr unsigned kAttributesBytes = 2;
constexpr unsigned kFileTimeBytes = 8;
constexpr unsigned kFileTimesBytes = 3 * kFileTimeBytes;
constexpr unsigned kLastWriteTimeOffset = kFileTimeBytes;  // the second of the three
constexpr unsigned kLargeSizeBytes = 8;
constexpr unsigned kLargeSizesBytes = 2 * kLargeSizeBytes;  // compressed, then original
constexpr unsigned kCodePageBytes = 4;
constexpr std::uint32_t kCodePageShiftJis = 932, kCodePageUtf8 = 65001;

// The directory name's separator; backslash and '/' are read as one too.
constexpr std::uint8_t kDirectorySeparator = 0xFF;
// The same in the UTF-16 directory name: a unit that is no character.
constexpr std::uint16_t kUtf16DirectorySeparator = 0xFFFF;

// ---- Other header levels (read by the packer only) -----------------------

// Level 2 above is what this system writes. Older writers use levels 0 and
// 1, and level 3 exists with 32-bit size fields; the packer reads them all,
// the stub only level 2. Every level puts the method, the two sizes, the
// time, an attribute byte and the level at the offsets of the level-2 fixed
// part; the level byte tells them apart.
constexpr std::uint8_t kHeaderLevel0 = 0, kHeaderLevel1 = 1, kHeaderLevel3 = 3;

// Levels 0 and 1: a one-byte size of the header after its first two bytes,
// a one-byte checksum (the 8-bit sum of those bytes), and the fixed fields;
// the time stamp is an MS-DOS date and time (local time); then the name with
// its length in one byte and the data CRC.
constexpr unsigned kOffOldHeaderSize = 0;   // 1
constexpr unsigned kOffOldChecksum = 1;     // 1
constexpr unsigned kOldSummedFrom = 2;      // the checksum covers the header from here
constexpr unsigned kOffOldNameLength = 21;  // 1, then the name
constexpr unsigned kOldCrcBytes = 2;        // after the name
// The header size field's least value for an empty name: the fixed fields,
// the name length and the CRC; level 1 adds its OS id and the size of the
// first extended header, whose sizes count in the compressed size.
constexpr unsigned kLevel0MinSize = kOffOldNameLength + 1 + kOldCrcBytes - kOldSummedFrom;
constexpr unsigned kLevel1MinSize = kLevel0MinSize + 1 + kSizeFieldBytes;
static_assert(kLevel0MinSize == 22 && kLevel1MinSize == 25, "the published minimum sizes");
// Level 0 may carry an extended area after the CRC; LHa for UNIX writes
// 'U', a version byte (0, the only one readers take), the Unix time (4),
// mode (2), user id (2), group id (2). The OS-9/68K writers write the same
// area with 'K', the mode holding OS-9 permissions.
constexpr unsigned kLevel0UnixAreaBytes = 12;
constexpr unsigned kLevel0UnixVersionOffset = 1;
constexpr std::uint8_t kLevel0UnixAreaVersion = 0;
constexpr unsigned kLevel0UnixTimeOffset = 2, kLevel0UnixModeOffset = 6;
constexpr unsigned kLevel0UnixUidOffset = 8, kLevel0UnixGidOffset = 10;
static_assert(kLevel0UnixGidOffset + 2 == kLevel0UnixAreaBytes, "the area ends with the group id");

// Level 3: the fixed part of level 2 with 32-bit header and extended-header
// sizes; its first two bytes hold the width of those fields (4).
constexpr unsigned kLevel3WordBytes = 4;
constexpr unsigned kOffLevel3HeaderSize = 24;   // 4: the whole header
constexpr unsigned kOffLevel3FirstExtSize = 28;  // 4
constexpr unsigned kLevel3FixedBytes = 32;
static_assert(kOffLevel3FirstExtSize == kOffLevel3HeaderSize + kLevel3WordBytes &&
                  kLevel3FixedBytes == kOffLevel3FirstExtSize + kLevel3WordBytes,
              "level 3 widens the last two fields of the fixed part");

// Every level's fixed fields up to the level byte sit where level 2 has them.
static_assert(kOffLevel == 20 && kOffOldNameLength == kOffLevel + 1, "the level byte is shared");
// The header CRC of a level-1 or level-3 header covers the whole header, as
// in level 2; levels 0 and 1 have the checksum besides.

// The operating system ids a writer puts into the header (levels 1 to 3,
// and level 0's extended area).
struct OsId {
  std::uint8_t id;
  const char* name;
};
constexpr std::uint8_t kOsIdUnix = 'U', kOsIdAmiga = 'A', kOsIdMac = 'm', kOsIdOs9 = '9', kOsIdOs9_68k = 'K',
                       kOsIdOs2 = '2', kOsIdAtari = 'a';
constexpr OsId kOsIds[] = {
    {kOsIdMsdos, "MS-DOS"}, {kOsIdOs2, "OS/2"}, {kOsIdOs9, "OS-9"},     {kOsIdOs9_68k, "OS-9/68K"},
    {'3', "OS/386"},        {'H', "Human68K"},  {kOsIdUnix, "Unix"},    {'C', "CP/M"},
    {'F', "FLEX"},          {kOsIdMac, "Mac"},  {'R', "Runser"},        {'T', "TownsOS"},
    {'X', "XOSK"},          {'w', "Windows 95"}, {'W', "Windows NT"},   {'J', "Java"},
    {kOsIdAmiga, "Amiga"},  {kOsIdAtari, "Atari ST"},
};
// The name of an OS id, null for one no writer is known to use.
constexpr const char* OsIdName(std::uint8_t id) {
  for (const OsId& os : kOsIds)
    if (os.id == id) return os.name;
  return nullptr;
}

// Extended headers of Unix members (LHa for UNIX).
constexpr std::uint8_t kExtUnixMode = 0x50;   // 16-bit mode: file type and permissions
constexpr std::uint8_t kExtUnixIds = 0x51;    // 16-bit group id, then user id
constexpr std::uint8_t kExtUnixGroup = 0x52;  // group name
constexpr std::uint8_t kExtUnixUser = 0x53;   // user name
constexpr std::uint8_t kExtUnixTime = 0x54;   // 32-bit Unix time of last modification
constexpr unsigned kUnixModeBytes = 2, kUnixIdsBytes = 4, kUnixTimeBytes = 4;
// The file type bits of the mode, and the types that matter to an extractor.
constexpr std::uint16_t kUnixTypeMask = 0xF000, kUnixTypeDirectory = 0x4000,
                        kUnixTypeSymlink = 0xA000;
constexpr std::uint16_t kUnixPermissionMask = 0777;
// A symbolic link's member names it as "link|target".
constexpr char kSymlinkSeparator = '|';

// ---- Compressed methods: one table for the decoder and the encoder -------

struct MethodFormat {
  char letter;                      // the '7' of -lh7-
  std::uint32_t dictionaryBytes;    // farthest a match may reach back
  std::uint8_t positionSymbols;     // symbols a writer codes: every position of the dictionary
  std::uint8_t positionCountBits;   // width of the position set's count field
  std::uint8_t positionSetSize;     // symbols a reader builds its table for
};

// -lh6- is read with the 17-symbol set of -lh7-, as the count width of both
// allows: a stream written for 16 symbols decodes the same, the 17th gets
// length 0.
constexpr MethodFormat kMethodLh4{'4', 4096, 14, 4, 14};
constexpr MethodFormat kMethodLh5{'5', 8192, 14, 4, 14};
constexpr MethodFormat kMethodLh6{'6', 32768, 16, 5, 17};
constexpr MethodFormat kMethodLh7{'7', 65536, 17, 5, 17};
constexpr MethodFormat kCompressedMethods[] = {kMethodLh4, kMethodLh5, kMethodLh6, kMethodLh7};

// Null for a letter that is not -lh4- to -lh7-.
constexpr const MethodFormat* FindCompressedMethod(char letter) {
  for (const MethodFormat& m : kCompressedMethods)
    if (m.letter == letter) return &m;
  return nullptr;
}

// ---- The block format -----------------------------------------------------

// Each block: a 16-bit symbol count (0 stands for 65536), the code-length
// set, the literal/length set coded with it, the position set, the symbols.
constexpr unsigned kBlockSizeBits = 16;
constexpr unsigned kMaxBlockSymbols = (1u << kBlockSizeBits) - 1;  // the most a writer counts
constexpr unsigned kMaxCodeLength = 16;

// Literal/length set: the 256 byte values, then match lengths 3 to 256.
constexpr unsigned kFirstLengthSymbol = 256;
constexpr unsigned kMinMatchBytes = 3;
constexpr unsigned kMaxMatchBytes = 256;
constexpr unsigned kLiteralSetSize = 510;
constexpr unsigned kMatchLengthBias = kFirstLengthSymbol - kMinMatchBytes;  // symbol - length
constexpr unsigned kLiteralCountBits = 9;
static_assert(kFirstLengthSymbol + (kMaxMatchBytes - kMinMatchBytes) + 1 == kLiteralSetSize,
              "every match length has its symbol");
static_assert(kLiteralSetSize < (1u << kLiteralCountBits), "the count field holds the set");

// Code-length set: symbols 0 to 2 stand for runs of zero lengths, symbol
// L + 2 for length L (1 to 16).
constexpr unsigned kCodeLengthSetSize = 19;
constexpr unsigned kCodeLengthCountBits = 5;
constexpr unsigned kCodeLengthSymbolBias = 2;
constexpr unsigned kZeroRunOne = 0;    // one zero length
constexpr unsigned kZeroRunShort = 1;  // 3 to 18 zero lengths: 4 more bits
constexpr unsigned kZeroRunLong = 2;   // 20 or more: 9 more bits
constexpr unsigned kShortZeroRunBits = 4, kShortZeroRunBase = 3;
constexpr unsigned kLongZeroRunBits = 9, kLongZeroRunBase = 20;
static_assert(kCodeLengthSymbolBias == kZeroRunLong &&
                  kCodeLengthSetSize == kCodeLengthSymbolBias + kMaxCodeLength + 1,
              "the zero runs and the lengths 1 to 16 fill the set");
static_assert(kCodeLengthSetSize < (1u << kCodeLengthCountBits), "the count field holds the set");
static_assert(kLongZeroRunBase == kShortZeroRunBase + (1u << kShortZeroRunBits) + 1,
              "a run of 19 takes a single zero and a short run");
static_assert(kLongZeroRunBase + (1u << kLongZeroRunBits) - 1 >= kLiteralSetSize,
              "one long run clears the whole set");

// The lengths of the code-length set and of the position set: 0 to 6 in a
// 3-bit field; 7 or more as 111 followed by (length - 7) one bits and a zero.
constexpr unsigned kLengthFieldBits = 3;
constexpr unsigned kLengthEscape = 7;
// In the code-length set, the third length is followed by a 2-bit count of
// zero lengths that come next (symbols 0 to 2 are rare).
constexpr unsigned kCodeLengthZeroRunAfter = 3;
constexpr unsigned kCodeLengthZeroRunBits = 2;

// Position set: symbol 0 is position 0, symbol j > 0 the positions 2^(j-1)
// to 2^j - 1, its low j - 1 bits following the code.
constexpr unsigned kMaxPositionSymbols = 17;

constexpr unsigned BitLength(std::uint32_t v) {
  unsigned bits = 0;
  for (; v; v >>= 1) ++bits;
  return bits;
}
constexpr bool MethodsFitTheirSets() {
  for (const MethodFormat& m : kCompressedMethods) {
    // The farthest position (dictionary - 1) is coded as symbol BitLength of it.
    if (BitLength(m.dictionaryBytes - 1) >= m.positionSymbols) return false;
    if (m.positionSymbols > m.positionSetSize || m.positionSetSize > kMaxPositionSymbols) return false;
    if (m.positionSetSize > (1u << m.positionCountBits) - 1) return false;
  }
  return true;
}
static_assert(MethodsFitTheirSets(), "every position of a method has its symbol and its count");

}  // namespace lzh
