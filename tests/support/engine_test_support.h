// The extraction engine under test, natively: an in-memory host that records
// what the engine asks of it, and a walk over a whole archive as the
// extraction pass makes it. The data the tests feed it comes from
// lzh_test_data.h and the fixtures.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

struct Decoded {
  std::vector<std::string> names;
  std::vector<Bytes> contents;
  std::string failure;  // empty when every member decoded with a matching CRC
};
// Walks an archive in memory as the extraction pass does: every header, every
// member decoded inside the guarded region, every data CRC compared.
Decoded DecodeArchive(const Bytes& archive);

}  // namespace enginetest
