#include "lzh_test_data.h"

#include <cstring>

namespace enginetest {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::uint16_t ReferenceCrc(const Bytes& data) {
  std::uint16_t crc = 0;
  for (std::uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

void BitWriter::Put(std::uint32_t value, unsigned bits) {
  for (unsigned i = bits; i-- > 0;) {
    acc_ = (acc_ << 1) | ((value >> i) & 1);
    if (++used_ == 8) {
      bytes_.push_back(static_cast<std::uint8_t>(acc_));
      acc_ = 0;
      used_ = 0;
    }
  }
}

Bytes BitWriter::Finish() {
  if (used_) bytes_.push_back(static_cast<std::uint8_t>(acc_ << (8 - used_)));
  used_ = 0;
  acc_ = 0;
  return bytes_;
}

void PutCodeLength(BitWriter& w, unsigned length) {
  if (length < 7) {
    w.Put(length, 3);
    return;
  }
  w.Put(7, 3);
  for (unsigned k = 7; k < length; ++k) w.Put(1, 1);
  w.Put(0, 1);
}

std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
  std::vector<std::uint32_t> codes(lengths.size(), 0);
  std::uint32_t code = 0;
  for (unsigned len = 1; len <= 16; ++len) {
    for (std::size_t s = 0; s < lengths.size(); ++s)
      if (lengths[s] == len) codes[s] = code++;
    code <<= 1;
  }
  return codes;
}

StreamWriter::StreamWriter(unsigned positionSetSize, unsigned positionCountBits)
    : np_(positionSetSize), pbit_(positionCountBits) {
  // Code-length set: 0 (one zero) and 3..18 (lengths 1..16) in use, 15 codes
  // of 4 bits and 2 of 5 bits: a complete code.
  codeLengthLengths_.assign(19, 4);
  codeLengthLengths_[1] = codeLengthLengths_[2] = 0;
  codeLengthLengths_[17] = codeLengthLengths_[18] = 5;
  // Literal/length set: 2 codes of 8 bits, 508 of 9 bits.
  literalLengths_.assign(510, 9);
  literalLengths_[0] = literalLengths_[1] = 8;
  // Position set: complete over all its symbols.
  if (np_ == 14) {
    positionLengths_.assign(14, 4);
    positionLengths_[0] = positionLengths_[1] = 3;
  } else {
    positionLengths_.assign(np_, 4);
    positionLengths_[np_ - 2] = positionLengths_[np_ - 1] = 5;
  }
  codeLengthCodes_ = CanonicalCodes(codeLengthLengths_);
  literalCodes_ = CanonicalCodes(literalLengths_);
  positionCodes_ = CanonicalCodes(positionLengths_);
}

void StreamWriter::PutSmallLengths(const std::vector<std::uint8_t>& lengths, unsigned countBits,
                                   int zeroRunIndex) {
  bits_.Put(static_cast<std::uint32_t>(lengths.size()), countBits);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    PutCodeLength(bits_, lengths[i]);
    if (static_cast<int>(i) + 1 == zeroRunIndex) bits_.Put(0, 2);  // no extra zeros
  }
}

void StreamWriter::BeginBlock(unsigned blockSymbols) {
  bits_.Put(blockSymbols & 0xFFFF, 16);             // block size
  PutSmallLengths(codeLengthLengths_, 5, 3);       // code-length set
  bits_.Put(510, 9);                               // literal/length count
  for (std::uint8_t len : literalLengths_) {
    const unsigned sym = len == 0 ? 0 : len + 2u;
    bits_.Put(codeLengthCodes_[sym], codeLengthLengths_[sym]);
  }
  PutSmallLengths(positionLengths_, pbit_, -1);    // position set
}

void StreamWriter::Put(const Token& t) {
  if (t.matchLength == 0) {
    bits_.Put(literalCodes_[t.literal], literalLengths_[t.literal]);
    return;
  }
  const unsigned sym = t.matchLength + 253;
  bits_.Put(literalCodes_[sym], literalLengths_[sym]);
  const unsigned p = t.distance - 1;
  unsigned j = 0;
  while ((p >> j) != 0) ++j;  // bit length of p
  bits_.Put(positionCodes_[j], positionLengths_[j]);
  if (j > 1) bits_.Put(p - (1u << (j - 1)), j - 1);
}

Bytes BuildHeader(const HeaderSpec& spec) {
  Bytes h(26, 0);
  std::memcpy(&h[2], spec.method.data(), 5);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(7, spec.compressedSize);
  put32(11, spec.originalSize);
  put32(15, spec.timeStamp);
  h[19] = spec.attribute;
  h[20] = spec.level;
  h[21] = static_cast<std::uint8_t>(spec.dataCrc);
  h[22] = static_cast<std::uint8_t>(spec.dataCrc >> 8);
  h[23] = spec.osId;
  std::vector<std::pair<std::uint8_t, Bytes>> exts;
  if (spec.withCrcHeader) exts.push_back({0x00, Bytes{0, 0}});
  exts.insert(exts.end(), spec.extended.begin(), spec.extended.end());
  std::size_t total = 26;
  for (auto& e : exts) total += 3 + e.second.size();
  if (spec.padTo > total) exts.push_back({0x7E, Bytes(spec.padTo - total - 3, 0x55)});
  // Size fields: 24 holds the first extended header's size; each extended
  // header ends with the size of the next one.
  std::size_t sizeAt = 24;
  for (auto& e : exts) {
    const std::size_t size = 3 + e.second.size();
    h[sizeAt] = static_cast<std::uint8_t>(size);
    h[sizeAt + 1] = static_cast<std::uint8_t>(size >> 8);
    h.push_back(e.first);
    h.insert(h.end(), e.second.begin(), e.second.end());
    h.push_back(0);
    h.push_back(0);
    sizeAt = h.size() - 2;
  }
  h[0] = static_cast<std::uint8_t>(h.size());
  h[1] = static_cast<std::uint8_t>(h.size() >> 8);
  if (spec.withCrcHeader) SealHeader(h);
  return h;
}

void SealHeader(Bytes& header) {
  header[27] = header[28] = 0;
  const std::uint16_t crc = ReferenceCrc(header);
  header[27] = static_cast<std::uint8_t>(crc);
  header[28] = static_cast<std::uint8_t>(crc >> 8);
}

Bytes StoredMember(const std::string& name, const std::string& data) {
  HeaderSpec s;
  s.method = "-lh0-";
  s.compressedSize = s.originalSize = static_cast<std::uint32_t>(data.size());
  s.dataCrc = ReferenceCrc(Text(data));
  s.extended.push_back({0x01, Text(name)});
  Bytes m = BuildHeader(s);
  m.insert(m.end(), data.begin(), data.end());
  return m;
}

}  // namespace enginetest
