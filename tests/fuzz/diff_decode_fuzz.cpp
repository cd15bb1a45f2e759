// The engine judged by two other decoders. The input is an archive; the engine
// walks it as the extraction pass does (every header, every member decoded,
// the first failure ends the walk), and for every member:
//  - the reference decoder of the tests (tests/support/reference_decoder.h),
//    which makes the engine's own decisions, must give exactly the engine's
//    verdict and bytes;
//  - lhasa's library, an independent implementation, must take and refuse
//    the same headers and members and give the same bytes and CRC, except
//    where the two are known to differ on purpose: kIntended below lists each
//    such difference with its reason, and the target counts how often it met
//    each one (printed at exit).
// Anything else is a finding: the target prints what differed and stops.
//
// QUORVEL_DIFF_MEMBER_LIMIT (bytes, default 256 KiB: four windows, so the
// window wraps, at about a quarter of the cost per input of 1 MiB) bounds the
// original size of the members compared, one by one and together: a member
// larger than what is left of it is walked over, not decoded. (A member of
// 140 bytes may decode to 256 KiB; sixteen of them are 4 MiB for the engine,
// the reference and lhasa, about 0.4 s per input against a tenth of a
// millisecond for most, and a long run's corpus gathers such inputs.) And
// QUORVEL_DIFF_MEMBERS (default 16) bounds the members compared per archive.
// With both raised, the target checks whole archives given as files, such as
// the benchmark corpora (scripts/bench-decode.sh).
#include <lha_reader.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/crc16.h"
#include "common/le_bytes.h"
#include "common/lzh_format.h"
#include "fuzz_host.h"
#include "lhasa_input.h"
#include "reference_decoder.h"

using enginetest::Bytes;

namespace {

int maxMembers = 16;
std::int64_t memberLimit = 256 << 10;

// ---- The differences that are intended, each with its reason --------------

enum Intended {
  kLevelNotTwo,
  kForeignMethod,
  kNoHeaderCrc,
  kShortKnownExtendedHeader,
  kNameTooLong,
  kStoredSizesDiffer,
  kLargeSizes,
  kNoFileName,
  kDirectoryWithoutFolderName,
  kAfterEndByte,
  kOs9Header,
  kDamagedTable,
  kEmptyCode,
  kBlockOf65536,
  kLengthsPastSet,
  kFinalMatchPastSize,
  kFarPosition,
  kIntendedCount
};

struct IntendedDifference {
  const char* name;
  const char* reason;
};

const IntendedDifference kIntended[kIntendedCount] = {
    {"level other than 2", "the stub reads level-2 headers only; lhasa reads levels 0 to 3"},
    {"foreign method", "the stub decodes -lh0-, -lh4- to -lh7- and -lhd- only; lhasa knows -lh1-, -lzs-, -pm2- and more"},
    {"no header CRC", "the engine requires the level-2 header CRC; lhasa checks it only when present"},
    {"short known extended header", "the engine refuses a CRC, attribute, time or size header too short for its data; lhasa skips it"},
    {"name longer than 287 bytes", "the stub's name buffer holds 287 bytes and refuses longer names rather than cut them"},
    {"stored sizes differ", "a stored member's data is its original bytes; the engine refuses two different sizes, lhasa copies"},
    {"64-bit sizes", "the engine takes the sizes of a 0x42 extended header; lhasa 0.3.1 keeps the 32-bit fields"},
    {"no file name", "lhasa refuses a file member without a name; the engine lets the pass judge the name"},
    {"directory without a folder name", "lhasa refuses a directory entry without a directory-name header (0x02), even one named by 0x01 or one with no name at all; the engine takes its name from either, and the pass judges it (an empty one names the destination itself, which exists)"},
    {"after the end byte", "the engine stops at the end byte; lhasa reads what follows it as another header"},
    {"OS-9/68k header", "lhasa reads two more header bytes for OS id 'K', whose writer counted the size short"},
    {"damaged code table", "the engine refuses an incomplete or oversubscribed code, a length above 16, a single value or a count out of its set's range; lhasa decodes with what it built"},
    {"empty code used", "the engine refuses to decode with a set that has no code; lhasa decodes with a tree left from before"},
    {"block of 65536 symbols", "a block-size field of 0 stands for 65536 symbols in the engine; lhasa reads another block header"},
    {"lengths past the set", "a count above the set's symbols: the engine (as jlha) reads the lengths beyond them and ignores them; lhasa goes on reading the stream from another place"},
    {"final match past the size", "the stub writes a final match in full and checks the CRC of every byte written; lhasa cuts at the original size"},
    {"position beyond the dictionary", "the engine reaches back 64 KiB for every method; lhasa's history for the method may be smaller"},
};

unsigned long seen[kIntendedCount];

void Note(Intended which) { ++seen[which]; }

void PrintSeen() {
  std::fprintf(stderr, "diff_decode_fuzz: intended differences met:");
  bool any = false;
  for (int i = 0; i < kIntendedCount; ++i)
    if (seen[i]) std::fprintf(stderr, "%s %s %lu", any ? "," : "", kIntended[i].name, seen[i]), any = true;
  std::fprintf(stderr, "%s\n", any ? "" : " none");
}

[[noreturn]] void Finding(int member, const std::string& what) {
  std::fprintf(stderr, "diff_decode_fuzz: FINDING at member %d: %s\n", member + 1, what.c_str());
  __builtin_trap();
}

// ---- The engine's walk ----------------------------------------------------

struct EngineMember {
  EngineResult header = EngineResult::EndOfArchive;
  std::size_t headerOffset = 0;
  char method = 0;
  std::int64_t compressedSize = 0, originalSize = 0;
  std::uint16_t dataCrc = 0;
  std::uint8_t osId = 0;
  bool hasFileName = false;
  bool compared = false;  // decoded by the engine and checked by the others
  EngineResult decoded = EngineResult::Ok;
  Bytes written;
  std::uint16_t crc = 0;
  std::int64_t decodedCount = 0;
  Bytes data;                        // the member's compressed bytes
  enginetest::ReferenceResult reference;
};

bool Finished(const EngineMember& m) { return m.decoded == EngineResult::Ok; }
bool Accepted(const EngineMember& m) { return Finished(m) && m.crc == m.dataCrc; }

std::vector<EngineMember> WalkWithTheEngine(const std::uint8_t* archive, std::size_t size) {
  std::vector<EngineMember> members;
  std::int64_t budget = memberLimit;  // original bytes left to compare
  Engine& e = InstallFuzzHost(archive, size);
  for (int k = 0; k < maxMembers; ++k) {
    EngineMember m;
    m.headerOffset = FuzzInputPosition();
    m.header = ReadMemberHeader(e, false);
    if (m.header != EngineResult::Ok) {
      members.push_back(std::move(m));
      break;
    }
    m.method = e.header.method;
    m.compressedSize = e.header.compressedRemaining;
    m.originalSize = e.header.originalSize;
    m.dataCrc = e.header.dataCrc;
    m.osId = e.header.osId;
    m.hasFileName = e.header.fileNameLength != 0 && e.header.bytes[e.header.fileNamePos] != 0;
    const std::size_t dataStart = FuzzInputPosition();
    // Members whose data runs past the input end in a read error, a matter
    // of the file rather than of decoding: they are walked, not compared.
    const bool whole = static_cast<std::uint64_t>(m.compressedSize) <= size - dataStart;
    if (m.method != lzh::kMethodDirectory && whole && m.originalSize <= budget) {
      budget -= m.originalSize;
      m.data.assign(archive + dataStart, archive + dataStart + m.compressedSize);
      KeepFuzzOutput(&m.written);
      m.decoded = DecodeMemberData(e);
      KeepFuzzOutput(nullptr);
      m.crc = e.crc;
      m.decodedCount = m.method == lzh::kMethodStored ? m.originalSize : e.decodedCount;
      m.compared = true;
    }
    SeekFuzzInput(dataStart + static_cast<std::uint64_t>(m.compressedSize));
    const bool stop = m.compared && !Accepted(m);
    members.push_back(std::move(m));
    if (stop) break;
  }
  FreeMemberHeader(e);
  return members;
}

// ---- The reference decoder: the engine's bytes, exactly -------------------

void CheckAgainstTheReference(int k, EngineMember& m) {
  m.reference = enginetest::ReferenceDecode(m.method, m.data, m.originalSize);
  const Bytes& ref = m.reference.output;
  if (Finished(m) != m.reference.finished)
    Finding(k, std::string("engine ") + (Finished(m) ? "finished" : "refused") + ", reference " +
                   (m.reference.finished ? "finished" : "refused"));
  if (Finished(m)) {
    if (m.written != ref) Finding(k, "the engine's bytes differ from the reference's");
    if (m.decodedCount != static_cast<std::int64_t>(ref.size())) Finding(k, "decoded counts differ");
    if (m.crc != Crc16(0, ref.data(), ref.size())) Finding(k, "the CRC is not that of the bytes");
    return;
  }
  if (m.decoded != EngineResult::Damaged)
    Finding(k, "the engine refused with result " + std::to_string(static_cast<int>(m.decoded)));
  // Refused: whatever the engine wrote before is what the reference produced.
  if (m.written.size() > ref.size() || !std::equal(m.written.begin(), m.written.end(), ref.begin()))
    Finding(k, "the engine wrote bytes the reference did not produce");
}

// ---- lhasa's walk ---------------------------------------------------------

struct LhasaMember {
  std::string method;
  std::size_t compressedSize, originalSize;
  std::uint16_t crc;
  bool read = false;  // data read to its original size
  Bytes bytes;
};

class LhasaWalk {
 public:
  LhasaWalk(const std::uint8_t* data, std::size_t size) : source_{data, size, 0} {
    stream_ = lha_input_stream_new(&kMemoryStreamType, &source_);
    reader_ = lha_reader_new(stream_);
    lha_reader_set_dir_policy(reader_, LHA_READER_DIR_PLAIN);
  }
  ~LhasaWalk() {
    lha_reader_free(reader_);
    lha_input_stream_free(stream_);
  }
  // The next member; false when lhasa finds none (its end, or a header it refuses).
  bool Next(LhasaMember& m, bool decode) {
    LHAFileHeader* h = lha_reader_next_file(reader_);
    if (!h) return false;
    m.method = h->compress_method;
    m.compressedSize = h->compressed_length;
    m.originalSize = h->length;
    m.crc = h->crc;
    m.bytes.clear();
    if (!decode) return true;
    std::uint8_t buffer[16384];
    for (;;) {
      const std::size_t n = lha_reader_read(reader_, buffer, sizeof buffer);
      if (n == 0) break;
      m.bytes.insert(m.bytes.end(), buffer, buffer + n);
    }
    m.read = m.bytes.size() == m.originalSize;
    return true;
  }

 private:
  MemoryStream source_;
  LHAInputStream* stream_;
  LHAReader* reader_;
};

// ---- What a header holds, read without the engine -------------------------

struct HeaderFacts {
  bool fixedPart = false;
  std::uint8_t level = 0, osId = 0;
  bool ourMethod = false, storedSizesDiffer = false;
  bool hasCrc = false, shortKnown = false, largeSizes = false, hasDirectoryName = false;
  unsigned nameBytes = 0;
};

HeaderFacts ScanHeader(const std::uint8_t* p, std::size_t avail) {
  HeaderFacts f;
  if (avail < lzh::kFixedHeaderBytes) return f;
  f.fixedPart = true;
  f.level = p[lzh::kOffLevel];
  f.osId = p[lzh::kOffOsId];
  const char letter = static_cast<char>(p[lzh::kOffMethod + lzh::kMethodLetterPos]);
  f.ourMethod = lzh::HasMethodNameShape(p + lzh::kOffMethod) && lzh::IsReadableMethod(letter);
  f.storedSizesDiffer =
      letter == lzh::kMethodStored && ReadLe32(p + lzh::kOffCompressedSize) != ReadLe32(p + lzh::kOffOriginalSize);
  const std::size_t size = ReadLe16(p) < avail ? ReadLe16(p) : avail;
  for (std::size_t pos = lzh::kOffFirstExtSize; pos + lzh::kSizeFieldBytes < size;) {
    const unsigned ext = ReadLe16(p + pos);
    if (ext < lzh::kExtOverheadBytes || pos + ext + lzh::kSizeFieldBytes > size) break;
    const std::uint8_t type = p[pos + lzh::kSizeFieldBytes];
    const unsigned dataBytes = ext - lzh::kExtOverheadBytes;
    const unsigned need = type == lzh::kExtHeaderCrc    ? lzh::kHeaderCrcBytes
                          : type == lzh::kExtAttributes ? lzh::kAttributesBytes
                          : type == lzh::kExtFileTimes  ? lzh::kFileTimesBytes
                          : type == lzh::kExtLargeSizes ? lzh::kLargeSizesBytes
                                                        : 0;
    if (dataBytes < need) f.shortKnown = true;
    if (type == lzh::kExtHeaderCrc && dataBytes >= need) f.hasCrc = true;
    if (type == lzh::kExtLargeSizes) f.largeSizes = true;
    if (type == lzh::kExtDirectoryName) f.hasDirectoryName = true;
    if (type == lzh::kExtFileName || type == lzh::kExtDirectoryName) f.nameBytes += dataBytes + 1;
    pos += ext;
  }
  return f;
}

// Why the engine refuses (or ends at) a header that lhasa reads; -1 when no
// listed reason applies.
int WhyOnlyLhasaReads(const EngineMember& m, const HeaderFacts& f) {
  if (m.header == EngineResult::EndOfArchive) return kAfterEndByte;
  if (!f.fixedPart) return -1;
  if (f.osId == 'K') return kOs9Header;
  if (f.level != lzh::kHeaderLevel) return kLevelNotTwo;
  if (m.header == EngineResult::Unsupported || !f.ourMethod) return kForeignMethod;
  if (!f.hasCrc) return kNoHeaderCrc;
  if (f.shortKnown) return kShortKnownExtendedHeader;
  if (f.largeSizes) return kLargeSizes;
  if (f.storedSizesDiffer) return kStoredSizesDiffer;
  if (f.nameBytes >= kJoinedNameBytes) return kNameTooLong;
  return -1;
}

// Why the engine's and lhasa's bytes of a member may differ; -1 when nothing
// listed happened while the reference decoded it.
int WhyBytesMayDiffer(const EngineMember& m) {
  const enginetest::ReferenceNotes& n = m.reference.notes;
  if (n.emptyCodeUsed) return kEmptyCode;
  if (n.damagedTable) return kDamagedTable;
  if (n.blockOf65536) return kBlockOf65536;
  if (n.lengthsPastSet) return kLengthsPastSet;
  if (n.farPosition) return kFarPosition;
  return -1;
}

// Compares the member both read; false when the walks end with it.
bool CompareMember(int k, const EngineMember& m, const LhasaMember& l, const std::uint8_t* archive,
                   std::size_t size) {
  if (l.method != std::string("-lh") + m.method + "-" ||
      l.compressedSize != static_cast<std::size_t>(m.compressedSize) ||
      l.originalSize != static_cast<std::size_t>(m.originalSize)) {
    if (!ScanHeader(archive + m.headerOffset, size - m.headerOffset).largeSizes)
      Finding(k, "lhasa reads another method or other sizes");
    Note(kLargeSizes);
    return false;
  }
  // Directory entries and members too large to compare: on to the next header.
  if (!m.compared) return true;
  // Every byte both produced is the same, unless something listed happened.
  const Bytes& ours = m.reference.output;
  const std::size_t common = ours.size() < l.bytes.size() ? ours.size() : l.bytes.size();
  const int why = WhyBytesMayDiffer(m);
  const bool sameBytes = std::equal(ours.begin(), ours.begin() + static_cast<std::ptrdiff_t>(common), l.bytes.begin());
  if (!sameBytes && why < 0)
    Finding(k, "the bytes differ from lhasa's at the same position");
  const bool weAccept = Accepted(m);
  const bool lhasaAccepts = l.read && enginetest::ReferenceCrc(l.bytes) == l.crc;
  if (weAccept == lhasaAccepts) {
    if (weAccept && !sameBytes) Finding(k, "both take the member, with different bytes");
    return weAccept;
  }
  if (m.decodedCount > m.originalSize) {
    Note(kFinalMatchPastSize);
  } else if (why >= 0) {
    Note(static_cast<Intended>(why));
  } else {
    Finding(k, weAccept ? "lhasa refuses a member the engine takes" : "the engine refuses a member lhasa takes");
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* limit = std::getenv("QUORVEL_DIFF_MEMBER_LIMIT")) memberLimit = std::atoll(limit);
  if (const char* members = std::getenv("QUORVEL_DIFF_MEMBERS")) maxMembers = std::atoi(members);
  std::atexit(PrintSeen);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<EngineMember> ours = WalkWithTheEngine(data, size);
  for (std::size_t k = 0; k < ours.size(); ++k)
    if (ours[k].compared) CheckAgainstTheReference(static_cast<int>(k), ours[k]);

  LhasaWalk lhasa(data, size);
  for (std::size_t k = 0; k < ours.size(); ++k) {
    const EngineMember& m = ours[k];
    LhasaMember l;
    const bool lhasaHas = lhasa.Next(l, m.compared);
    const int at = static_cast<int>(k);
    if (m.header != EngineResult::Ok) {
      if (!lhasaHas) break;  // both end here
      const int why = WhyOnlyLhasaReads(m, ScanHeader(data + m.headerOffset, size - m.headerOffset));
      if (why < 0) Finding(at, "lhasa reads a header the engine refuses");
      Note(static_cast<Intended>(why));
      break;
    }
    if (m.osId == 'K') {
      Note(kOs9Header);
      break;
    }
    if (!lhasaHas) {
      if (m.method != lzh::kMethodDirectory && !m.hasFileName) {
        Note(kNoFileName);
        break;
      }
      if (m.method == lzh::kMethodDirectory &&
          !ScanHeader(data + m.headerOffset, size - m.headerOffset).hasDirectoryName) {
        Note(kDirectoryWithoutFolderName);
        break;
      }
      Finding(at, "lhasa refuses a header the engine reads");
    }
    if (!CompareMember(at, m, l, data, size)) break;
  }
  return 0;
}
