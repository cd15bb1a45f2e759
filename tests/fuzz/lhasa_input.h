// Bytes in memory as an input stream of lhasa's library, for the fuzz
// targets that let its reader judge ours.
#pragma once

#include <lha_reader.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

struct MemoryStream {
  const std::uint8_t* data;
  std::size_t size, pos;
};

inline int MemoryStreamRead(void* handle, void* buf, std::size_t len) {
  auto* s = static_cast<MemoryStream*>(handle);
  const std::size_t n = len < s->size - s->pos ? len : s->size - s->pos;
  std::memcpy(buf, s->data + s->pos, n);
  s->pos += n;
  return static_cast<int>(n);
}

inline int MemoryStreamSkip(void* handle, std::size_t bytes) {
  auto* s = static_cast<MemoryStream*>(handle);
  if (bytes > s->size - s->pos) return 0;
  s->pos += bytes;
  return 1;
}

inline void MemoryStreamClose(void*) {}

inline const LHAInputStreamType kMemoryStreamType = {MemoryStreamRead, MemoryStreamSkip, MemoryStreamClose};
