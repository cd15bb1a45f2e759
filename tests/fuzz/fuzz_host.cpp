#include "fuzz_host.h"

#include <cstdlib>
#include <cstring>

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/output_sink.h"
#include "common/run_state.h"

namespace {
const std::uint8_t* input;
std::size_t inputSize, inputPos;
std::vector<std::uint8_t>* kept;
int lastMessage;

long Read(void* buffer, unsigned long count) {
  const std::size_t n = count < inputSize - inputPos ? count : inputSize - inputPos;
  std::memcpy(buffer, input + inputPos, n);
  inputPos += n;
  return static_cast<long>(n);
}
bool Write(const void* buffer, unsigned long length) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  if (kept) {
    kept->insert(kept->end(), p, p + length);
  } else {
    // Touch the piece so that the sanitizers see what the engine hands out.
    volatile std::uint8_t sink = 0;
    for (unsigned long i = 0; i < length; i += 4096) sink = sink ^ p[i];
  }
  return length <= 65536;
}
void Error(int message, bool) { lastMessage = message; }
void Progress(unsigned percent) {
  if (percent > 100) std::abort();
}
void* Alloc(unsigned long size) { return std::calloc(size, 1); }
void Release(void* block) { std::free(block); }
std::uint64_t Now() { return 0x01DB000000000000ull; }
}  // namespace

void InstallFuzzHost(const std::uint8_t* data, std::size_t size) {
  input = data;
  inputSize = size;
  inputPos = 0;
  kept = nullptr;
  lastMessage = 0;
  Host = EngineHost{Read, Write, Error, Progress, Alloc, Release, Now};
  OutputIsProbe = false;
  RunState = RunStateFlags{};
  ProgressTotals = ProgressCounts{};
  ResetArchiveInput();
  // The table depends on the polynomial alone: once per process.
  static bool crcTableBuilt = false;
  if (!crcTableBuilt) BuildCrcTable(lzh::kCrcPolynomial);
  crcTableBuilt = true;
}

void SkipFuzzInput(std::uint64_t bytes) {
  inputPos = bytes < inputSize - inputPos ? inputPos + static_cast<std::size_t>(bytes) : inputSize;
}

std::size_t FuzzInputPosition() { return inputPos; }

void SeekFuzzInput(std::uint64_t position) {
  inputPos = position < inputSize ? static_cast<std::size_t>(position) : inputSize;
}

void KeepFuzzOutput(std::vector<std::uint8_t>* out) { kept = out; }

int LastFuzzMessage() { return lastMessage; }
