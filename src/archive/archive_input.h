// The compressed data of the current member: read from the archive in 16 KiB
// blocks, never past the member's end, and turned into a bit stream, most
// significant bit first, with a 16-bit look-ahead window.
#pragma once

#include <cstdint>

#include "archive/member_header.h"

constexpr unsigned kArchiveInputBytes = 16384;

extern std::uint8_t archiveInputBuffer[kArchiveInputBytes];

// Marks the buffer empty, so no byte of one member is handed out for another.
void ResetArchiveInput();

// The next byte (0..255), or -1 when the archive cannot deliver it. remaining
// is the member's count of compressed bytes not yet fetched (at least 1); a
// refill asks for no more than that.
int ReadArchiveByte(std::uint64_t remaining);

// The next 16 bits of the stream; bit 15 is the next bit.
extern std::uint16_t bitWindow;

// Clears the window and loads the first 16 bits of the member.
void StartBitReader();

// The stream's next bits, left-aligned: the 16 bits of bitWindow, then
// pendingBitCount bits fetched but not yet shifted into the window. Bytes are
// fetched exactly when the window needs bits that are not pending yet.
extern std::uint64_t bitBuffer;
extern unsigned pendingBitCount;

// Zero bytes handed out once the member's compressed bytes were used up. The
// window looks ahead of what the decoder has consumed, by at most
// kLookaheadBytes (16 bits and a partly shifted byte); more than that means
// the decoder consumed bits that the member does not have.
extern unsigned bytesPastEnd;
constexpr unsigned kLookaheadBytes = 3;

// The next byte of the member, fetched into an empty buffer.
int FetchByteRefilling();
// A zero byte once the member's data is used up; past the look-ahead, damage.
unsigned FetchPastEnd();
extern std::uint32_t archiveInputPos;

inline unsigned FetchByte() {
  if (MemberHeader.compressedRemaining == 0) return FetchPastEnd();
  if (archiveInputPos < kArchiveInputBytes) {
    --MemberHeader.compressedRemaining;
    return archiveInputBuffer[archiveInputPos++];
  }
  return static_cast<unsigned>(FetchByteRefilling());
}

// Discards the next n (0..17) bits and keeps the window full. Once the
// member's compressed bytes are used up, zero bits fill the look-ahead.
inline void FillBits(unsigned n) {
  while (n > pendingBitCount) {
    bitBuffer |= static_cast<std::uint64_t>(FetchByte()) << (40 - pendingBitCount);
    pendingBitCount += 8;
  }
  pendingBitCount -= n;
  bitBuffer <<= n;
  bitWindow = static_cast<std::uint16_t>(bitBuffer >> 48);
}

// Reports the member as damaged (message 4) when the decoder has consumed
// bits past its compressed size: a header that claims more than its data
// holds must not turn into bytes decoded from nothing.
void CheckInsideMemberData();

// The next n (0..16) bits as a number, first bit most significant.
inline unsigned GetBits(unsigned n) {
  const unsigned value = n == 0 ? 0 : bitWindow >> (16 - n);
  FillBits(n);
  return value;
}
