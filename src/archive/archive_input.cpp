#include "archive/archive_input.h"

#include "archive/engine_host.h"
#include "archive/member_header.h"

std::uint8_t archiveInputBuffer[kArchiveInputBytes];
std::uint16_t bitWindow;
std::uint64_t bitBuffer;
unsigned pendingBitCount;
// Next byte to hand out; kArchiveInputBytes or more means the buffer is empty.
std::uint32_t archiveInputPos = 0xFFFFFFFFu;
unsigned bytesPastEnd;

void ResetArchiveInput() { archiveInputPos = 0xFFFFFFFFu; }

int ReadArchiveByte(std::uint64_t remaining) {
  if (archiveInputPos < kArchiveInputBytes) return archiveInputBuffer[archiveInputPos++];
  const unsigned long count =
      remaining < kArchiveInputBytes ? static_cast<unsigned long>(remaining) : kArchiveInputBytes;
  if (Host.readArchive(archiveInputBuffer, count) != static_cast<long>(count)) return -1;
  archiveInputPos = 1;
  return archiveInputBuffer[0];
}

int FetchByteRefilling() {
  const std::uint64_t before = static_cast<std::uint64_t>(MemberHeader.compressedRemaining);
  --MemberHeader.compressedRemaining;
  const int byte = ReadArchiveByte(before);
  if (byte < 0) AbortWithMessage(kMsgReadError, true);
  return byte;
}

unsigned FetchPastEnd() {
  if (++bytesPastEnd > kLookaheadBytes) AbortDamaged();
  return 0;
}

void CheckInsideMemberData() {
  // Bits fetched past the end that the window and the pending bits still
  // hold were looked at, never consumed.
  if (bytesPastEnd * 8 > 16 + pendingBitCount) AbortDamaged();
}

void StartBitReader() {
  bytesPastEnd = 0;
  bitWindow = 0;
  bitBuffer = 0;
  pendingBitCount = 0;
  FillBits(16);
}
