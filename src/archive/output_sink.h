// The output end of the engine: every piece of a member's bytes goes to the
// host's sink through HandOverPiece, which runs it through the CRC and
// reports the progress, and learns from the sink's reply whether to go on.
// Also the stored-member copy.
#pragma once

#include <cstdint>

struct Engine;

constexpr unsigned long kMaxOutputPiece = 65536;

// Writes length (at most kMaxOutputPiece) bytes to the sink and adds them to
// e.crc, then reports memberBytes of the member done. True when the sink
// wants more; false when it has enough (nothing is reported then). A failed
// write ends the member (WriteError), with the CRC as it was; a progress
// report that asks to stop ends it too (Cancelled).
bool HandOverPiece(Engine& e, const void* piece, unsigned long length, std::int64_t memberBytes);

// Copies a stored member of size bytes from the archive's current position to
// the sink, in pieces of at most 64 KiB, through the decoder's window.
void CopyStoredMember(Engine& e, std::int64_t size);
