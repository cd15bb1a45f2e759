#include "archive/archive_input.h"

#include "archive/engine_host.h"
#include "archive/member_header.h"

std::uint8_t archiveInputBuffer[kArchiveInputBytes];
std::uint16_t bitWindow;

namespace {
// Next byte to hand out; kArchiveInputBytes or more means the buffer is empty.
std::uint32_t inputPos = 0xFFFFFFFFu;
// The part of the last fetched byte not yet in the window, left-aligned.
std::uint8_t pendingByte;
unsigned pendingBitCount;

// Shifts the next byte of the member into pendingByte; zero past its end.
inline void FetchByte() {
  if (MemberHeader.compressedRemaining != 0) {
    const std::uint64_t before = static_cast<std::uint64_t>(MemberHeader.compressedRemaining);
    --MemberHeader.compressedRemaining;
    int byte;
    if (inputPos < kArchiveInputBytes) {
      byte = archiveInputBuffer[inputPos++];
    } else {
      byte = ReadArchiveByte(before);
      if (byte < 0) AbortWithMessage(kMsgReadError, true);
    }
    pendingByte = static_cast<std::uint8_t>(byte);
  } else {
    pendingByte = 0;
  }
  pendingBitCount = 8;
}
}  // namespace

void ResetArchiveInput() { inputPos = 0xFFFFFFFFu; }

int ReadArchiveByte(std::uint64_t remaining) {
  if (inputPos < kArchiveInputBytes) return archiveInputBuffer[inputPos++];
  const unsigned long count =
      remaining < kArchiveInputBytes ? static_cast<unsigned long>(remaining) : kArchiveInputBytes;
  if (Host.readArchive(archiveInputBuffer, count) != static_cast<long>(count)) return -1;
  inputPos = 1;
  return archiveInputBuffer[0];
}

void StartBitReader() {
  bitWindow = 0;
  pendingByte = 0;
  pendingBitCount = 0;
  FillBits(16);
}

void FillBits(unsigned n) {
  unsigned window = bitWindow;
  while (n > pendingBitCount) {
    n -= pendingBitCount;
    window = (window << pendingBitCount) | (static_cast<unsigned>(pendingByte) >> (8 - pendingBitCount));
    FetchByte();
  }
  pendingBitCount -= n;
  bitWindow = static_cast<std::uint16_t>((window << n) | (static_cast<unsigned>(pendingByte) >> (8 - n)));
  pendingByte = static_cast<std::uint8_t>(pendingByte << n);
}
