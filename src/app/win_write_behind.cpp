#include "app/win_write_behind.h"

#include "app/win_engine_host.h"
#include "app/win_zone_mark.h"
#include "archive/output_sink.h"

namespace {
// 1 MiB of decoded bytes ahead of the disk at the most.
constexpr unsigned kRingPieces = 16;
constexpr unsigned kPieceBytes = 65536;
static_assert(kMaxOutputPiece <= kPieceBytes, "every piece the engine writes fits one of the ring");
// The length of a file's end.
constexpr DWORD kEndOfFile = ~0u;
// Rounds the thread yields, about a microsecond each, before it sleeps until
// woken: longer than decoding a piece or creating a file takes, shorter than
// a question that waits for a person.
constexpr unsigned kYieldRounds = 4096;

struct Piece {
  HANDLE file;
  DWORD length;  // bytes in the piece's buffer, or kEndOfFile
  DWORD attributes;
  FILETIME time;
  char path[kDestinationPathBytes];
};

Piece ring[kRingPieces];
unsigned char* ringBytes;  // kRingPieces buffers of kPieceBytes
// Pieces handed over, advanced by the pass only; pieces done, advanced by
// the thread only. Each advance is an interlocked exchange, so whatever was
// written into a piece before is seen by the other thread once it sees the
// count.
volatile LONG handedOver;
volatile LONG done;
volatile LONG stopping;
volatile LONG sleeping;
HANDLE wake;
HANDLE thread;
// Set by the thread before it counts the failing piece as done.
volatile LONG failed;
HANDLE failedFile;
char failedPath[kDestinationPathBytes];

void Fail(HANDLE file) {
  failedFile = file;
  failed = 1;
}

void Carry(Piece& piece, const unsigned char* bytes) {
  if (piece.length != kEndOfFile) {
    // After a failure nothing more is written: the pass stops there.
    if (failed) return;
    DWORD written = 0;
    if (!WriteFile(piece.file, bytes, piece.length, &written, nullptr) || written != piece.length) Fail(piece.file);
    return;
  }
  if (!failed) SetFileTime(piece.file, nullptr, nullptr, &piece.time);
  const BOOL closed = CloseHandle(piece.file);
  if (!failed && !closed) Fail(piece.file);
  if (failed) {
    // The failed file and every one after it go, as if the pass had
    // stopped at the failure. A handle value may be used again once closed:
    // the failed file's own end is the first with its value.
    if (piece.file == failedFile && !failedPath[0]) lstrcpynA(failedPath, piece.path, sizeof failedPath);
    DeleteFileA(piece.path);
    return;
  }
  // Before the attributes: a read-only file takes no new stream.
  MarkWithOwnZone(piece.path);
  if (piece.attributes != kKeepAttributes) SetFileAttributesA(piece.path, piece.attributes);
}

// Returns once a piece stands at next or the pass wants the thread to end:
// yielding at first, then asleep until the pass wakes it.
void AwaitPiece(LONG next) {
  for (unsigned round = 0; round < kYieldRounds; ++round) {
    if (next != handedOver || stopping) return;
    SwitchToThread();
  }
  InterlockedExchange(&sleeping, 1);
  // Seen after sleeping was set: the pass, which sets handedOver first and
  // looks at sleeping then, cannot have missed it.
  if (next == handedOver && !stopping) WaitForSingleObject(wake, INFINITE);
  InterlockedExchange(&sleeping, 0);
}

DWORD WINAPI WriteBehindThread(void*) {
  LONG next = 0;
  for (;;) {
    if (next == handedOver) {
      if (stopping) return 0;
      AwaitPiece(next);
      continue;
    }
    // What the pass wrote into the piece before it counted is read after.
    MemoryBarrier();
    const unsigned slot = static_cast<unsigned>(next) % kRingPieces;
    Carry(ring[slot], ringBytes + slot * kPieceBytes);
    InterlockedExchange(&done, ++next);
  }
}

void WakeThread() {
  if (sleeping && InterlockedExchange(&sleeping, 0)) SetEvent(wake);
}

// Waits until the thread has done all but pieces of what was handed over.
void AwaitDone(unsigned pieces) {
  for (unsigned round = 0; static_cast<unsigned>(handedOver - done) > pieces; ++round) {
    if (round < kYieldRounds)
      SwitchToThread();
    else
      Sleep(1);
  }
  // What the thread wrote before it counted is read after.
  MemoryBarrier();
}

// The next free piece of the ring; waits while all are taken. Null when the
// thread has failed, once it has done everything.
Piece* NextPiece() {
  AwaitDone(kRingPieces - 1);
  if (failed) {
    AwaitDone(0);
    return nullptr;
  }
  return &ring[static_cast<unsigned>(handedOver) % kRingPieces];
}

void HandOver() {
  InterlockedExchange(&handedOver, handedOver + 1);
  WakeThread();
}
}  // namespace

bool StartWriteBehind() {
  handedOver = done = stopping = sleeping = failed = 0;
  failedFile = nullptr;
  failedPath[0] = '\0';
  ringBytes = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, kRingPieces * kPieceBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (ringBytes && wake) thread = CreateThread(nullptr, 0, WriteBehindThread, nullptr, 0, nullptr);
  if (thread) return true;
  if (wake) CloseHandle(wake);
  if (ringBytes) VirtualFree(ringBytes, 0, MEM_RELEASE);
  wake = nullptr;
  ringBytes = nullptr;
  return false;
}

bool WritingBehind() { return thread != nullptr; }

bool StopWriteBehind() {
  AwaitDone(0);
  InterlockedExchange(&stopping, 1);
  SetEvent(wake);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(wake);
  VirtualFree(ringBytes, 0, MEM_RELEASE);
  thread = wake = nullptr;
  ringBytes = nullptr;
  return !failed;
}

bool WritePieceBehind(HANDLE file, const void* data, unsigned long length) {
  Piece* piece = NextPiece();
  if (!piece) return false;
  piece->file = file;
  piece->length = length;
  const unsigned slot = static_cast<unsigned>(piece - ring);
  CopyMemory(ringBytes + slot * kPieceBytes, data, length);
  HandOver();
  return true;
}

bool FinishFileBehind(HANDLE file, const FILETIME& time, const char* path, DWORD attributes) {
  Piece* piece = NextPiece();
  if (!piece) return false;
  piece->file = file;
  piece->length = kEndOfFile;
  piece->time = time;
  piece->attributes = attributes;
  lstrcpynA(piece->path, path, sizeof piece->path);
  HandOver();
  return true;
}

bool WaitForWriteBehind() {
  AwaitDone(0);
  return !failed;
}

const char* FailedWritePath(const char* fallback) { return failedPath[0] ? failedPath : fallback; }
