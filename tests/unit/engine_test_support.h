// Test-side pieces for the extraction engine: an in-memory host that records
// what the engine asks of it, a bit writer for hand-built compressed streams,
// a small canonical-code block writer, and a level-2 header builder.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

using Bytes = std::vector<std::uint8_t>;

struct HostRecord {
  Bytes archive;
  std::size_t readPos = 0;
  std::size_t failReadsFrom = SIZE_MAX;   // a read reaching this offset fails
  std::vector<unsigned long> readSizes;   // every count asked for
  Bytes written;
  std::vector<unsigned long> writeSizes;
  bool failWrites = false;
  std::vector<std::pair<int, bool>> errors;  // string id, names the archive
  std::vector<unsigned> reports;             // percentages
  std::size_t cancelAtReport = SIZE_MAX;     // sets cancelRequested during this report (0-based)
  int liveBlocks = 0;
  std::uint64_t now = 0x01DB000000000000ull;
};

extern HostRecord Record;

// Installs the recording host over archive; resets RunState, ProgressTotals,
// the probe state and the CRC table.
void InstallMemoryHost(Bytes archive);

// Runs body inside the engine's guarded region; false when ExtractAbort left it.
bool Guarded(void (*body)());

// Independent bitwise CRC-16/ARC, for building test data.
std::uint16_t ReferenceCrc(const Bytes& data);

class BitWriter {
 public:
  // value's low `bits` bits, most significant first.
  void Put(std::uint32_t value, unsigned bits);
  Bytes Finish();  // pads the last byte with zero bits
 private:
  Bytes bytes_;
  std::uint32_t acc_ = 0;
  unsigned used_ = 0;
};

// Canonical codes of a length list: shorter codes first, equal lengths in
// increasing symbol order.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths);

struct Token {
  unsigned literal;       // 0..255, or 256+ for a match
  unsigned matchLength;   // 3..256 when a match
  unsigned distance;      // 1..65536 when a match
  static Token Lit(unsigned char b) { return {b, 0, 0}; }
  static Token Match(unsigned length, unsigned distance) { return {256, length, distance}; }
};

// Writes blocks whose sets use every symbol (so every literal, length and
// position can be coded): blockSymbols is the block-size field as written.
class StreamWriter {
 public:
  explicit StreamWriter(unsigned positionSetSize, unsigned positionCountBits);
  void BeginBlock(unsigned blockSymbols);
  void Put(const Token& token);
  Bytes Finish() { return bits_.Finish(); }
  BitWriter& bits() { return bits_; }

 private:
  unsigned np_, pbit_;
  std::vector<std::uint8_t> codeLengthLengths_, literalLengths_, positionLengths_;
  std::vector<std::uint32_t> codeLengthCodes_, literalCodes_, positionCodes_;
  BitWriter bits_;
  void PutSmallLengths(const std::vector<std::uint8_t>& lengths, unsigned countBits, int zeroRunIndex);
};

struct HeaderSpec {
  std::string method = "-lh5-";
  std::uint32_t compressedSize = 0, originalSize = 0;
  std::uint32_t timeStamp = 0x5F5E1000;  // 2020-09-13 12:26:40 UTC
  std::uint8_t attribute = 0x20;
  std::uint8_t level = 2;
  std::uint16_t dataCrc = 0;
  std::uint8_t osId = 'M';
  std::vector<std::pair<std::uint8_t, Bytes>> extended;  // in order, after the CRC header
  bool withCrcHeader = true;
  std::size_t padTo = 0;  // grows the header with an unknown extended header to this size
};

// A level-2 header with a correct header CRC.
Bytes BuildHeader(const HeaderSpec& spec);
Bytes Text(const std::string& s);
Bytes ReadFile(const std::string& path);
std::string FixturePath(const std::string& name);

}  // namespace enginetest

namespace enginetest {
struct Decoded {
  std::vector<std::string> names;
  std::vector<Bytes> contents;
  std::string failure;  // empty when every member decoded with a matching CRC
};
// Walks an archive in memory as the extraction pass does: every header, every
// member decoded inside the guarded region, every data CRC compared.
Decoded DecodeArchive(const Bytes& archive);
}  // namespace enginetest
