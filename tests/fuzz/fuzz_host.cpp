#include "fuzz_host.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
const std::uint8_t* input;
std::size_t inputSize, inputPos;
std::vector<std::uint8_t>* kept;

long Read(void*, void* buffer, unsigned long count) {
  const std::size_t n = count < inputSize - inputPos ? count : inputSize - inputPos;
  std::memcpy(buffer, input + inputPos, n);
  inputPos += n;
  return static_cast<long>(n);
}
SinkReply Write(void*, const void* buffer, unsigned long length) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  if (kept) {
    kept->insert(kept->end(), p, p + length);
  } else {
    // Touch the piece so that the sanitizers see what the engine hands out.
    volatile std::uint8_t sink = 0;
    for (unsigned long i = 0; i < length; i += 4096) sink = sink ^ p[i];
  }
  return length <= 65536 ? SinkReply::More : SinkReply::Failed;
}
bool Progress(void*, std::uint64_t) { return true; }
void* Alloc(void*, unsigned long size) { return std::calloc(size, 1); }
void Release(void*, void* block) { std::free(block); }
std::uint64_t Now(void*) { return 0x01DB000000000000ull; }
}  // namespace

Engine& InstallFuzzHost(const std::uint8_t* data, std::size_t size) {
  static const std::unique_ptr<Engine> engine(new Engine());
  input = data;
  inputSize = size;
  inputPos = 0;
  kept = nullptr;
  FreeMemberHeader(*engine);
  StartEngine(*engine, EngineHost{nullptr, Read, Write, Progress, Alloc, Release, Now});
  return *engine;
}

void SkipFuzzInput(std::uint64_t bytes) {
  inputPos = bytes < inputSize - inputPos ? inputPos + static_cast<std::size_t>(bytes) : inputSize;
}

std::size_t FuzzInputPosition() { return inputPos; }

void SeekFuzzInput(std::uint64_t position) {
  inputPos = position < inputSize ? static_cast<std::size_t>(position) : inputSize;
}

void KeepFuzzOutput(std::vector<std::uint8_t>* out) { kept = out; }
