// What the extraction engine needs from its caller, and what it answers: the
// functions that reach the archive, the output, the clock and the person
// waiting, and the result of every step that can fail. The engine shows
// nothing itself; its caller turns a result into the message it shows.
#pragma once

#include <cstdint>

// How a step of the engine ended. Anything but Ok and EndOfArchive ends the
// walk over the archive.
enum class EngineResult : std::uint8_t {
  Ok,
  EndOfArchive,  // the header reader met the end byte
  ReadError,     // the archive could not be read, or ended inside a member's data
  WriteError,    // the sink did not take a piece
  Damaged,       // a header or the data breaks the format
  Unsupported,   // a member of a method the engine does not decode
  OutOfMemory,   // no block for a member header
  Cancelled,     // the progress report asked to stop
};
constexpr unsigned kEngineResultCount = 8;
static_assert(static_cast<unsigned>(EngineResult::Ok) == 0 && static_cast<unsigned>(EngineResult::EndOfArchive) == 1 &&
                  static_cast<unsigned>(EngineResult::ReadError) == 2 &&
                  static_cast<unsigned>(EngineResult::WriteError) == 3 &&
                  static_cast<unsigned>(EngineResult::Damaged) == 4 &&
                  static_cast<unsigned>(EngineResult::Unsupported) == 5 &&
                  static_cast<unsigned>(EngineResult::OutOfMemory) == 6 &&
                  static_cast<unsigned>(EngineResult::Cancelled) + 1 == kEngineResultCount,
              "tables indexed by a result list them in this order");

// The sink's answer to a piece of a member's bytes.
enum class SinkReply : std::uint8_t {
  More,    // taken: go on
  Enough,  // taken, and the sink wants no more of this member: it ends as decoded
  Failed,  // not taken: the member ends with a write error
};

// Every function gets context first, as the caller set it.
struct EngineHost {
  void* context;
  // Bytes read at the archive's current position (fewer at its end), or -1
  // on failure.
  long (*readArchive)(void* context, void* buffer, unsigned long count);
  // A piece of at most 64 KiB of the member's bytes, in order.
  SinkReply (*writeOutput)(void* context, const void* buffer, unsigned long length);
  // memberBytes of the current member have been handed to the sink (a final
  // match may take the count past the original size). False asks the engine
  // to stop: the member ends as Cancelled.
  bool (*progress)(void* context, std::uint64_t memberBytes);
  // A zero-filled block for a member header, null when out of memory.
  void* (*allocZeroed)(void* context, unsigned long size);
  void (*release)(void* context, void* block);
  // Now, as a Windows FILETIME value (100 ns units since 1601-01-01 UTC).
  std::uint64_t (*currentFileTime)(void* context);
};
