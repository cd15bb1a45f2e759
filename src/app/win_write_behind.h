// Writing behind the decoder (64-bit stub). The Extract pass creates each
// file itself (that is where a name is found taken and a question may
// follow), but the bytes of a new file, and its time, close, zone and
// attributes once it is complete, are handed to a thread of their own: while
// the file system works on one file, the next one is already being decoded.
//
// The hand-over is a ring of slots and two counts, each advanced by one
// thread only; a slot is filled by the pass, carried out by the writer, and
// then free again. Anything that touches a file out of that order (a
// failure, a cancellation, a file that replaces an old one, the end of the
// pass) first waits until the writer has done everything handed to it: a
// handle is never closed while a write on it is still queued.
//
// Who writes and reads what:
//
//   field                written by      read by   when
//   slots[i], bytes of i pass            writer    the pass fills slot i while it is free, then
//                                                  publishes it by advancing handedOver (release);
//                                                  the writer reads it after it has seen the count
//                                                  (acquire), and never again once it advanced done
//   handedOver           pass            writer    slots handed over so far; a count, never reset
//                                                  within a pass (slot = count % kRingSlots)
//   done                 writer          pass      slots carried out so far; the pass reuses a slot,
//                                                  or reads the failure, only after it has seen the
//                                                  count pass it (acquire)
//   failed               writer          pass      set (once) before done passes the failing slot;
//                                                  the pass may look early to stop handing over, and
//                                                  takes it as the answer once done == handedOver
//   failedId, failedPath writer          pass      written before done passes the slot that set
//                                                  them; read only once done == handedOver
//   writerBell, passBell the sleeper     both      a side that waits longer than its spin stores the
//                                                  count it waits for (goal), then says it is asleep;
//                                                  the other side rings it (clears asleep, sets the
//                                                  event) once its count reaches that goal, or when
//                                                  it must wait itself
//   zone, window         pass (Start)    both      set before the thread starts, unchanged till Stop
//
// Both directions wait the same way (Await): a bounded spin on the other
// side's count, then a sleep on an event. Asleep, the writer waits for a few
// slots at once rather than one, so that the pass signals it once for
// several; whenever the pass waits for the writer, it wakes it first, so
// neither ever waits for the other. The pass, which is the dialog's thread,
// keeps pumping the dialog's messages while it sleeps, so a stalled disk
// freezes neither the dialog nor its Cancel button.
//
// The thread's end is a slot of its own kind in the ring (Stop), carried out
// after everything handed over before it. Files are told apart by an id
// that the pass gives each file it opens, never by handle values, which the
// system hands out again once closed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "paths/win_name_rules.h"

struct OwnZone;

// The 32-bit stub, which must stay small, writes on the pass's own thread.
#if defined(_WIN64)
constexpr bool kWritesBehind = true;
#else
constexpr bool kWritesBehind = false;
#endif

// Passed as attributes when the file's attributes stay as made.
constexpr DWORD kKeepAttributes = INVALID_FILE_ATTRIBUTES;

// No constructor: it lives in the pass object, which starts zero-filled.
class WriteBehind {
 public:
  // 1 MiB of decoded bytes ahead of the disk at the most.
  static constexpr unsigned kRingSlots = 16;
  static constexpr unsigned kSlotBytes = 65536;

  // Starts the thread: zone is given to every file it finishes, window's
  // dialog messages are pumped while the pass waits (none: the thread's
  // messages only). False (no memory, no thread) when the pass is to write
  // everything itself.
  bool Start(const OwnZone* zone, HWND window);
  // Waits for everything handed over, then ends the thread. False when a
  // write or a close failed.
  bool Stop();
  bool Running() const { return thread_ != nullptr; }

  // Hands a copy of length (at most kSlotBytes) bytes of the file fileId,
  // open as file, over; waits while every slot is taken. False when the
  // thread has failed, once it has done everything handed to it.
  bool Write(std::uint32_t fileId, HANDLE file, const void* data, unsigned long length);
  // Hands over the end of a complete file: its last-write time, the close,
  // the zone and, unless kKeepAttributes, its attributes; path names it. The
  // file then belongs to the thread. False (nothing handed over) when the
  // thread has failed, once it has done everything handed to it.
  bool Finish(std::uint32_t fileId, HANDLE file, const FILETIME& time, const SysChar* path, DWORD attributes);
  // Waits until the thread has done everything handed to it. False when a
  // write or a close failed: that file and every file handed over after it
  // are closed and deleted, and FailedPath names the one that failed.
  bool Wait();
  // The file whose write or close failed, or fallback when it is the one
  // whose end was never handed over (still open, the caller's to close and
  // delete; it is then the file the pass was writing).
  const SysChar* FailedPath(const SysChar* fallback) const { return failedPath_[0] ? failedPath_ : fallback; }

 private:
  enum class Kind : std::uint8_t { Bytes, End, Stop };
  struct Slot {
    Kind kind;
    std::uint32_t fileId;
    HANDLE file;
    DWORD length;  // bytes of a Bytes slot
    DWORD attributes;
    FILETIME time;
    SysChar path[kDestinationPathBytes];
  };
  // One side's sleep, which the other side ends.
  struct Bell {
    std::atomic<bool> asleep;        // the side is in, or about to enter, its kernel wait
    std::atomic<std::uint32_t> goal;  // the count it waits for
    HANDLE event;                     // auto-reset
  };

  static DWORD WINAPI ThreadMain(void* self);
  void Carry(const Slot& slot, const unsigned char* bytes);
  void Await(const std::atomic<std::uint32_t>& count, Bell& bell, Bell& other, std::uint32_t least,
             std::uint32_t goal);
  static void Advance(std::atomic<std::uint32_t>& count, Bell& bell);
  Slot* TakeSlot(bool evenAfterFailure);
  void HandOver();
  void Release();

  Slot slots_[kRingSlots];
  unsigned char* bytes_;  // kRingSlots buffers of kSlotBytes
  std::atomic<std::uint32_t> handedOver_;
  std::atomic<std::uint32_t> done_;
  std::atomic<bool> failed_;
  std::uint32_t failedId_;
  SysChar failedPath_[kDestinationPathBytes];
  Bell writerBell_;
  Bell passBell_;
  const OwnZone* zone_;
  HWND window_;
  HANDLE thread_;
};
