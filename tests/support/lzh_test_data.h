// LZH data built by the tests, written out from the format's description
// rather than from the code under test: level-2 headers with their CRC, bit
// streams of compressed blocks, and the bitwise CRC-16 they need. Plain C++,
// shared by the native tests and the tests under Wine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& s);

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

// A code length of the code-length or position set: 0 to 6 in three bits,
// 7 or more as 111, then (length - 7) one bits and a zero.
void PutCodeLength(BitWriter& w, unsigned length);

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

// A level-2 header with a correct header CRC (the CRC header comes first).
Bytes BuildHeader(const HeaderSpec& spec);
// Computes the header CRC of a header from BuildHeader again, after a test
// changed its bytes: only the change itself makes it wrong.
void SealHeader(Bytes& header);

// A stored member: its header (file name, sizes, data CRC) and its bytes.
Bytes StoredMember(const std::string& name, const std::string& data);

}  // namespace enginetest
