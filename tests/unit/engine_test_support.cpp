#include "engine_test_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"
#include "common/run_state.h"

namespace enginetest {

HostRecord Record;

namespace {
long MemRead(void* buffer, unsigned long count) {
  Record.readSizes.push_back(count);
  if (Record.readPos + count > Record.failReadsFrom) return -1;
  const std::size_t left = Record.archive.size() - Record.readPos;
  const std::size_t n = count < left ? count : left;
  if (n) std::memcpy(buffer, Record.archive.data() + Record.readPos, n);
  Record.readPos += n;
  return static_cast<long>(n);
}
bool MemWrite(const void* buffer, unsigned long length) {
  if (Record.failWrites) return false;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  Record.written.insert(Record.written.end(), p, p + length);
  Record.writeSizes.push_back(length);
  return true;
}
void MemError(int id, bool namesArchive) { Record.errors.emplace_back(id, namesArchive); }
void MemProgress(unsigned percent) {
  if (Record.reports.size() == Record.cancelAtReport) RunState.cancelRequested = 1;
  Record.reports.push_back(percent);
}
void* MemAlloc(unsigned long size) {
  ++Record.liveBlocks;
  return std::calloc(size, 1);
}
void MemRelease(void* block) {
  --Record.liveBlocks;
  std::free(block);
}
std::uint64_t MemNow() { return Record.now; }
}  // namespace

void InstallMemoryHost(Bytes archive) {
  FreeMemberHeader();
  Record = HostRecord{};
  Record.archive = std::move(archive);
  Host = EngineHost{MemRead, MemWrite, MemError, MemProgress, MemAlloc, MemRelease, MemNow};
  OutputIsProbe = false;
  probeTextCaptured = 0;
  RunState = RunStateFlags{};
  ProgressTotals = ProgressCounts{};
  ResetArchiveInput();
  BuildCrcTable(kCrcPolynomial);
  crcValue = 0;
}

bool Guarded(void (*body)()) { return RunGuarded(body); }

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
    const unsigned c = lengths[i];
    if (c < 7) {
      bits_.Put(c, 3);
    } else {
      bits_.Put(7, 3);
      for (unsigned k = 7; k < c; ++k) bits_.Put(1, 1);
      bits_.Put(0, 1);
    }
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

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

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
  if (spec.withCrcHeader) {
    const std::uint16_t crc = ReferenceCrc(h);
    h[27] = static_cast<std::uint8_t>(crc);
    h[28] = static_cast<std::uint8_t>(crc >> 8);
  }
  return h;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FixturePath(const std::string& name) {
  return std::string(QUORVEL_SOURCE_DIR) + "/tests/fixtures/" + name;
}

}  // namespace enginetest

#include "archive/lzh_decoder.h"

namespace enginetest {
Decoded DecodeArchive(const Bytes& archive) {
  InstallMemoryHost(archive);
  Decoded out;
  for (;;) {
    const HeaderResult r = ReadMemberHeader();
    if (r == HeaderResult::EndOfArchive) break;
    if (r != HeaderResult::Member) {
      out.failure = "header " + std::to_string(static_cast<int>(r));
      break;
    }
    out.names.push_back(JoinedName);
    const std::uint64_t left = archive.size() - Record.readPos;
    const std::uint64_t compressed = static_cast<std::uint64_t>(MemberHeader.compressedRemaining);
    const std::size_t dataEnd = Record.readPos + static_cast<std::size_t>(compressed < left ? compressed : left);
    const std::size_t writtenBefore = Record.written.size();
    if (MemberHeader.method != 'd') {
      crcValue = 0;
      ResetArchiveInput();
      const bool ok = Guarded([] {
        if (MemberHeader.method == '0') CopyStoredMember(MemberHeader.originalSize);
        else DecodeMember();
      });
      if (!ok) {
        out.failure = "abort " + std::to_string(Record.errors.empty() ? 0 : Record.errors.back().first);
        break;
      }
      if (crcValue != MemberHeader.dataCrc) {
        out.failure = "crc " + out.names.back();
        break;
      }
    }
    out.contents.emplace_back(Record.written.begin() + static_cast<long>(writtenBefore), Record.written.end());
    Record.readPos = dataEnd;
  }
  FreeMemberHeader();
  return out;
}
}  // namespace enginetest
