#include "engine_test_support.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace enginetest {

HostRecord Record;

namespace {
long MemRead(void*, void* buffer, unsigned long count) {
  Record.readSizes.push_back(count);
  if (Record.readPos + count > Record.failReadsFrom) return -1;
  const std::size_t left = Record.archive.size() - Record.readPos;
  const std::size_t n = count < left ? count : left;
  if (n) std::memcpy(buffer, Record.archive.data() + Record.readPos, n);
  Record.readPos += n;
  return static_cast<long>(n);
}
SinkReply MemWrite(void*, const void* buffer, unsigned long length) {
  if (Record.failWrites) return SinkReply::Failed;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  Record.written.insert(Record.written.end(), p, p + length);
  Record.writeSizes.push_back(length);
  return Record.writeSizes.size() == Record.enoughAtWrite + 1 ? SinkReply::Enough : SinkReply::More;
}
bool MemProgress(void*, std::uint64_t memberBytes) {
  Record.reports.push_back(memberBytes);
  return Record.reports.size() != Record.cancelAtReport + 1;
}
void* MemAlloc(void*, unsigned long size) {
  ++Record.liveBlocks;
  return std::calloc(size, 1);
}
void MemRelease(void*, void* block) {
  --Record.liveBlocks;
  std::free(block);
}
std::uint64_t MemNow(void*) { return Record.now; }
}  // namespace

Engine& TestEngine() {
  static const std::unique_ptr<Engine> engine(new Engine());
  return *engine;
}

void InstallMemoryHost(Bytes archive) {
  Engine& e = TestEngine();
  FreeMemberHeader(e);
  Record = HostRecord{};
  Record.archive = std::move(archive);
  StartEngine(e, EngineHost{nullptr, MemRead, MemWrite, MemProgress, MemAlloc, MemRelease, MemNow});
}

EngineResult Guarded(void (*body)(Engine&)) { return RunGuarded(TestEngine(), body); }

void InstallMember(const Bytes& stream, char method, std::int64_t originalSize) {
  InstallMemoryHost(stream);
  Engine& e = TestEngine();
  e.header.method = method;
  e.header.originalSize = originalSize;
  e.header.compressedRemaining = static_cast<std::int64_t>(stream.size());
}

EngineResult DecodeStream(const Bytes& stream, char method, std::int64_t originalSize) {
  InstallMember(stream, method, originalSize);
  return DecodeMemberData(TestEngine());
}

Decoded DecodeArchive(const Bytes& archive) {
  InstallMemoryHost(archive);
  Engine& e = TestEngine();
  Decoded out;
  for (;;) {
    const EngineResult r = ReadMemberHeader(e, false);
    if (r == EngineResult::EndOfArchive) break;
    if (r != EngineResult::Ok) {
      out.failure = "header " + std::to_string(static_cast<int>(r));
      break;
    }
    out.names.push_back(e.joinedName);
    const std::uint64_t left = archive.size() - Record.readPos;
    const std::uint64_t compressed = static_cast<std::uint64_t>(e.header.compressedRemaining);
    const std::size_t dataEnd = Record.readPos + static_cast<std::size_t>(compressed < left ? compressed : left);
    const std::size_t writtenBefore = Record.written.size();
    if (e.header.method != lzh::kMethodDirectory) {
      const EngineResult decoded = DecodeMemberData(e);
      if (decoded != EngineResult::Ok) {
        out.failure = "member " + std::to_string(static_cast<int>(decoded));
        break;
      }
      if (e.crc != e.header.dataCrc) {
        out.failure = "crc " + out.names.back();
        break;
      }
    }
    out.contents.emplace_back(Record.written.begin() + static_cast<long>(writtenBefore), Record.written.end());
    Record.readPos = dataEnd;
  }
  FreeMemberHeader(e);
  return out;
}
}  // namespace enginetest
