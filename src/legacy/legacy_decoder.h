// Decoders for the older LZH methods, which the packer reads and the stub
// never will: -lh1- (LHarc's adaptive Huffman coding over a 4 KiB window),
// -lzs- and -lz5- (LArc's LZSS), -lz4- and -pm0- (stored) and -pm1- and
// -pm2- (PMarc). The stub's engine keeps its own methods (-lh0-, -lh4- to
// -lh7-, -lhd-) and none of these.
//
// A member is decoded in one call: the compressed bytes are pulled from a
// source as they are needed (never more than the member's compressed size,
// never the whole member at once), the decoded bytes handed to a sink in
// pieces, and the outcome comes back as a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "common/lzh_format.h"

namespace legacy {

// ---- The methods ------------------------------------------------------------

enum class MethodId { kLh1, kLzs, kLz5, kLz4, kPm0, kPm1, kPm2 };

struct Method {
  MethodId id;
  char name[lzh::kMethodNameBytes + 1];  // the header's method field, and a terminating zero
};

inline constexpr Method kMethods[] = {
    {MethodId::kLh1, "-lh1-"}, {MethodId::kLzs, "-lzs-"}, {MethodId::kLz5, "-lz5-"},
    {MethodId::kLz4, "-lz4-"}, {MethodId::kPm0, "-pm0-"}, {MethodId::kPm1, "-pm1-"},
    {MethodId::kPm2, "-pm2-"},
};

// The method of a header's five method bytes; null for a method decoded
// elsewhere (the engine's) or by nobody.
const Method* FindMethod(std::string_view name);
inline bool IsLegacyMethod(std::string_view name) { return FindMethod(name) != nullptr; }

// ---- Decoding a member ----------------------------------------------------

// Far more than a stream's unwritten last bits (one code at most), few enough
// that a header claiming more than its data holds decodes nothing from zeros.
constexpr unsigned kPm1ZeroBytesPastData = 8;

enum class Status {
  kOk,           // the sink took exactly the original size
  kDamaged,      // the compressed bytes do not make the original size; see Damage
  kReadError,    // the source failed, or ended before the member's compressed size
  kWriteError,   // the sink refused a piece; nothing was decoded after it
  kUnsupported,  // not a method of this folder
};

// What was wrong with the compressed bytes of a damaged member.
enum class Damage {
  kNone,
  kDataEnded,    // the stream needs bits past the member's compressed size
  kBadCodeSet,   // a code-length set that is neither complete nor a single code, or
                 // a code asked of a set that has none (-pm2-)
  kBadCode,      // a code that the method gives no meaning (-pm2-)
  kBadDistance,  // a copy from before the first byte (-pm1-)
  kSizesDiffer,  // a stored member whose compressed and original sizes differ
};

struct Result {
  Status status = Status::kOk;
  Damage damage = Damage::kNone;
  std::uint64_t written = 0;  // bytes the sink took
};

// Fills up to capacity bytes of buffer with the member's next compressed
// bytes and returns how many (any number from 1 while there are bytes to
// read), 0 where the archive ends, -1 when reading fails.
using ByteSource = std::function<std::int64_t(std::uint8_t* buffer, std::size_t capacity)>;
// Takes the next size decoded bytes; false when they cannot be written.
using ByteSink = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Decodes a member of the method named by the header's five method bytes:
// exactly originalSize bytes to the sink (a final copy that runs past it is
// cut there, as lhasa cuts it), from the source, which is asked for
// compressedSize bytes at the most, in blocks, and only as far as the stream
// needs them; the member's bytes it was not asked for are the caller's to
// skip. The member's CRC is the caller's to check.
//
// A stream that needs bits past its compressed size is damaged (kDataEnded)
// for every method but -pm1-: its writer left the last bits of a stream
// unwritten, and its extractor read zeros there, so a -pm1- stream reads up
// to kPm1ZeroBytesPastData zero bytes past its end before it is damaged.
Result DecodeMember(std::string_view method, std::uint64_t compressedSize, std::uint64_t originalSize,
                    const ByteSource& source, const ByteSink& sink);

}  // namespace legacy
