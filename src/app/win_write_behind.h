// Writing behind the decoder. The Extract pass creates each file itself (that
// is where a name is found taken and a question may follow), but the bytes of
// a new file, and its time, close, zone and attributes once it is complete,
// are handed to a thread of their own: while the file system works on one
// file, the next one is already being decoded. The hand-over is a ring of
// pieces whose two counters each thread only reads or only advances, so a
// piece crosses without a kernel object (under Wine every wait and signal is
// a round trip to the server, which would cost more than it saves).
//
// Anything that touches a file out of that order (a failure, a cancellation,
// a file that replaces an old one, the end of the pass) first waits until the
// thread has done everything handed to it: a handle is never closed while a
// write on it is still queued.
#pragma once

#include <windows.h>

// The 32-bit stub, which must fit in 32 KiB, writes on the pass's own thread.
#if defined(_WIN64)
constexpr bool kWritesBehind = true;
#else
constexpr bool kWritesBehind = false;
#endif

// Passed as attributes when the file's attributes stay as made.
constexpr DWORD kKeepAttributes = INVALID_FILE_ATTRIBUTES;

// Starts the thread for a pass; false (no memory, no thread) when the pass
// is to write everything itself. A failure of an earlier pass is forgotten.
bool StartWriteBehind();

// Waits for everything handed over, then ends the thread. False when a write
// or a close failed.
bool StopWriteBehind();

// True between StartWriteBehind and StopWriteBehind.
bool WritingBehind();

// Hands a copy of length (at most 64 KiB) bytes for file over; waits while
// every piece of the ring is taken. False when the thread has failed, once
// it has done everything handed to it.
bool WritePieceBehind(HANDLE file, const void* data, unsigned long length);

// Hands over the end of a complete file: its last-write time, the close, the
// download's zone and, unless kKeepAttributes, its attributes, path naming
// it. The file then belongs to the thread. False (nothing handed over) when
// the thread has failed, once it has done everything handed to it.
bool FinishFileBehind(HANDLE file, const FILETIME& time, const char* path, DWORD attributes);

// Waits until the thread has done everything handed to it. False when a
// write or a close failed: that file and every file handed over after it are
// closed and deleted, and FailedWritePath names the one that failed.
bool WaitForWriteBehind();

// The file whose write or close failed, or fallback when it is the one whose
// end was never handed over (still open, the caller's to delete).
const char* FailedWritePath(const char* fallback);
