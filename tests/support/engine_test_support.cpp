#include "engine_test_support.h"

#include <cstdlib>
#include <cstring>

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_data.h"
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
  BuildCrcTable(lzh::kCrcPolynomial);
  crcValue = 0;
}

bool Guarded(void (*body)()) { return RunGuarded(body); }

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
    if (MemberHeader.method != lzh::kMethodDirectory) {
      if (!DecodeMemberData()) {
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
