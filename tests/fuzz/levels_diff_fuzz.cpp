// The packer's reader of header levels 0, 1 and 3 judged by lhasa's library.
// The input is an archive; both walk its headers (skipping each member's
// data) until the end, a level-2 header (the engine's, which diff_decode_fuzz
// judges) or a header one of them refuses. For every header, both must take
// or refuse it, and read the same method, sizes, CRC and system, except
// where they are known to differ on purpose (kIntended, each with its
// reason). Anything else is a finding: the target prints what differed and
// stops.
#include <lha_reader.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/le_bytes.h"
#include "common/lzh_format.h"
#include "pack/header_levels.h"
#include "lhasa_input.h"

namespace {

enum Intended {
  kLargeSizes,
  kForeignMethodName,
  kDirectoryWithoutFolderName,
  kNoFileName,
  kShortKnownExtendedHeader,
  kIntendedCount
};

const char* const kIntended[kIntendedCount][2] = {
    {"64-bit sizes", "the packer takes the sizes of a 0x42 extended header; lhasa 0.3.1 keeps the 32-bit fields"},
    {"method name outside lhasa's families", "lhasa takes no header whose method is none of -lh?-, -pm?-, -lzs-, -lz4-, -lz5- (at the start of a file it searches on, as in a program); the packer reads any, lists it, and says the method is not supported when asked to decode it"},
    {"short known extended header", "the packer refuses a CRC, attribute, time or size header too short for its data, as the engine does; lhasa skips it"},
    {"no file name", "lhasa refuses a file member without a name; the packer lists it, and extract refuses the name"},
    {"directory without a folder name", "lhasa refuses a directory entry without a directory-name header (0x02); the packer takes its name from the file name"},
};
unsigned long seen[kIntendedCount];

void PrintSeen() {
  std::fprintf(stderr, "levels_diff_fuzz: intended differences met:");
  for (int i = 0; i < kIntendedCount; ++i)
    if (seen[i]) std::fprintf(stderr, " %s %lu;", kIntended[i][0], seen[i]);
  std::fprintf(stderr, "\n");
}

[[noreturn]] void Finding(int member, const std::string& what) {
  std::fprintf(stderr, "levels_diff_fuzz: FINDING at member %d: %s\n", member + 1, what.c_str());
  __builtin_trap();
}

// The extended headers of a level-1 or -3 header, for telling why the two
// may differ; positions as the packer walks them.
struct Facts {
  bool largeSizes = false, directoryName = false, shortKnown = false;
};

bool LhasaKnowsMethodName(const std::uint8_t* m) {
  const std::string name(reinterpret_cast<const char*>(m), lzh::kMethodNameBytes);
  return name.compare(0, 3, "-lh") == 0 || name.compare(0, 3, "-pm") == 0 || name == "-lzs-" ||
         name == "-lz4-" || name == "-lz5-";
}
Facts ScanExtended(const std::uint8_t* p, std::size_t avail, std::uint8_t level) {
  Facts f;
  const unsigned width = level == lzh::kHeaderLevel3 ? 4 : 2;
  std::size_t pos = level == lzh::kHeaderLevel3 ? lzh::kOffLevel3FirstExtSize
                                                : static_cast<std::size_t>(p[0]) + lzh::kOldSummedFrom - 2;
  for (int i = 0; i < 64 && pos + width <= avail; ++i) {
    const std::uint32_t size = width == 4 ? ReadLe32(p + pos) : ReadLe16(p + pos);
    if (size == 0 || pos + width >= avail) break;
    const std::uint8_t type = p[pos + width];
    if (type == lzh::kExtLargeSizes) f.largeSizes = true;
    if (type == lzh::kExtDirectoryName) f.directoryName = true;
    const std::uint32_t need = type == lzh::kExtHeaderCrc    ? lzh::kHeaderCrcBytes
                               : type == lzh::kExtAttributes ? lzh::kAttributesBytes
                               : type == lzh::kExtFileTimes  ? lzh::kFileTimesBytes
                               : type == lzh::kExtLargeSizes ? lzh::kLargeSizesBytes
                                                             : 0;
    if (size >= 1u + width && size - 1 - width < need) f.shortKnown = true;
    if (size < 1u + width) break;
    pos += size;
  }
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::atexit(PrintSeen);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryStream source{data, size, 0};
  LHAInputStream* stream = lha_input_stream_new(&kMemoryStreamType, &source);
  LHAReader* reader = lha_reader_new(stream);
  std::size_t pos = 0;
  for (int k = 0; k < 8; ++k) {
    const std::uint8_t* p = data + pos;
    const std::size_t avail = size - pos;
    // The end, or a level-2 header: the walk stops here for both.
    if (avail <= lzh::kOffLevel || p[0] == lzh::kEndByte || p[lzh::kOffLevel] == lzh::kHeaderLevel) break;
    const std::uint8_t level = p[lzh::kOffLevel];
    if (level > lzh::kHeaderLevel3 || !IsMethodShape(p + lzh::kOffMethod)) break;
    HeaderFields ours;
    std::size_t at = pos + lzh::kOffLevel + 1;
    const HeaderOutcome outcome = ReadOtherLevelHeader(
        p, lzh::kOffLevel + 1,
        [&](std::uint8_t* buffer, std::size_t count) {
          if (count > size - at) return false;
          std::memcpy(buffer, data + at, count);
          at += count;
          return true;
        },
        ours);
    // The invariants the commands rely on: sizes that never move backwards.
    if (outcome == HeaderOutcome::Ok && (ours.compressedSize < 0 || ours.originalSize < 0)) __builtin_trap();
    LHAFileHeader* theirs = lha_reader_next_file(reader);
    const Facts facts = ScanExtended(p, avail, level);
    const bool weRead = outcome == HeaderOutcome::Ok;
    if (!LhasaKnowsMethodName(p + lzh::kOffMethod)) {
      ++seen[kForeignMethodName];
      break;
    }
    if (weRead != (theirs != nullptr)) {
      if (weRead && ours.method == "-lhd-" && !facts.directoryName) ++seen[kDirectoryWithoutFolderName];
      else if (weRead && (ours.name.empty() || ours.name.back() == '/')) ++seen[kNoFileName];
      else if (facts.largeSizes) ++seen[kLargeSizes];
      else if (!weRead && facts.shortKnown) ++seen[kShortKnownExtendedHeader];
      else Finding(k, weRead ? "lhasa refuses a header the packer reads" : "lhasa reads a header the packer refuses");
      break;
    }
    if (!weRead) break;
    if (ours.method != std::string(theirs->compress_method) ||
        static_cast<std::size_t>(ours.originalSize) != theirs->length || ours.dataCrc != theirs->crc ||
        static_cast<std::size_t>(ours.compressedSize) != theirs->compressed_length) {
      if (!facts.largeSizes)
        Finding(k, "lhasa reads another method, other sizes or another CRC: " + ours.method + " " +
                       std::to_string(ours.compressedSize) + " " + std::to_string(ours.originalSize) + " " +
                       std::to_string(ours.dataCrc) + ", lhasa " + theirs->compress_method + " " +
                       std::to_string(theirs->compressed_length) + " " + std::to_string(theirs->length) + " " +
                       std::to_string(theirs->crc));
      ++seen[kLargeSizes];
      break;
    }
    if (ours.osId != theirs->os_type)
      Finding(k, "lhasa names another system: " + std::to_string(ours.osId) + ", lhasa " + std::to_string(theirs->os_type));
    if (static_cast<std::uint64_t>(ours.compressedSize) > size - at) break;
    pos = at + static_cast<std::size_t>(ours.compressedSize);
  }
  lha_reader_free(reader);
  lha_input_stream_free(stream);
  return 0;
}
