// The output end of the engine: every piece of a member's bytes goes through
// WriteOutput, which writes it and runs it through the CRC, or, while a pass
// only probes, keeps the first piece as text and stops. Also the stored-member copy and
// the progress report with its cancellation point.
#pragma once

#include <cstdint>

constexpr unsigned long kMaxOutputPiece = 65536;
constexpr unsigned kProbeTextMaxBytes = 1023;  // of the 1024-byte general text buffer

// Set once the probe text has been captured; the pass clears it before the
// member whose text it wants.
extern std::uint8_t probeTextCaptured;

// Writes length (at most 65536) bytes, then adds them to crcValue. A failed or
// short write reports message 3 and raises ExtractAbort; the CRC then stays.
// While a pass only probes, keeps the piece as text and ends the decoding of
// the member with FinishDecodingEarly: only the first piece is ever shown.
void WriteOutput(const void* buffer, unsigned long length);

// Copies a stored member of size bytes from the archive's current position to
// the output, in pieces of at most 64 KiB, through the decoder's window.
void CopyStoredMember(std::int64_t size);

// done * 100 / total in unsigned 64-bit arithmetic (the product wraps), at most
// 100; 0 when total is 0.
unsigned ProgressPercent(std::uint64_t done, std::uint64_t total);

// Sends the percentage, lets the user act, and turns a pending cancellation
// into ExtractAbort.
void ReportProgress(std::uint64_t done, std::uint64_t total);
