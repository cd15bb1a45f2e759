// The extraction engine under test, natively: an in-memory host that records
// what the engine asks of it, and a walk over a whole archive as the
// extraction pass makes it. The data the tests feed it comes from
// lzh_test_data.h and the fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/engine.h"
#include "fixtures.h"
#include "lzh_test_data.h"

namespace enginetest {

struct HostRecord {
  Bytes archive;
  std::size_t readPos = 0;
  std::size_t failReadsFrom = SIZE_MAX;   // a read reaching this offset fails
  std::vector<unsigned long> readSizes;   // every count asked for
  Bytes written;
  std::vector<unsigned long> writeSizes;
  bool failWrites = false;
  std::size_t enoughAtWrite = SIZE_MAX;   // the sink has enough with this write (0-based)
  std::vector<std::uint64_t> reports;     // the member's bytes, at every progress report
  std::size_t cancelAtReport = SIZE_MAX;  // this report (0-based) asks to stop
  int liveBlocks = 0;
  std::uint64_t now = 0x01DB000000000000ull;
};

extern HostRecord Record;

// The engine the tests drive, one for the whole test program.
Engine& TestEngine();

// Starts TestEngine afresh with the recording host over archive; frees the
// header it held.
void InstallMemoryHost(Bytes archive);

// Runs body on TestEngine inside its guarded region: how it ended.
EngineResult Guarded(void (*body)(Engine&));

// Installs the recording host over stream, the data of a member of method
// and originalSize, as the current member; DecodeStream decodes it too.
void InstallMember(const Bytes& stream, char method, std::int64_t originalSize);
EngineResult DecodeStream(const Bytes& stream, char method, std::int64_t originalSize);

struct Decoded {
  std::vector<std::string> names;
  std::vector<Bytes> contents;
  std::string failure;  // empty when every member decoded with a matching CRC
};
// Walks an archive in memory as the extraction pass does: every header, every
// member decoded, every data CRC compared.
Decoded DecodeArchive(const Bytes& archive);

}  // namespace enginetest
