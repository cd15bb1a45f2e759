#include "app/win_write_behind.h"

#include "app/win_engine_host.h"
#include "app/win_zone_mark.h"
#include "archive/output_sink.h"

static_assert(kMaxOutputPiece <= WriteBehind::kSlotBytes, "every piece the engine writes fits a slot");

namespace {
// How long a side looks at the other's count before it sleeps, in rounds of
// one look and one pause instruction. A sleep costs the waker a signal and
// the sleeper a wake, each a round trip to the kernel (to the Wine server
// under Wine); spinning about as long as a wake costs at most twice what
// knowing the future would. bench/pass_bench.cpp measures them; under Wine
// on the 2-core build machine (load 3 to 6): a wake 48 to 56 microseconds, a
// signal that wakes nobody 34 to 43, a spin round 33 to 37 ns, so about
// 1,000 rounds, some 36 microseconds. Decoding a 64 KiB piece takes 170 to
// 260 microseconds, far longer: a writer that has caught up with the decoder
// sleeps instead of burning a core, while a side that answers within a few
// microseconds (both busy) is met without a sleep.
constexpr unsigned kSpinRounds = 1024;

// Slots a sleeping writer waits for before the pass wakes it, unless the
// pass waits itself: each wake costs the pass a signal, so with small files
// (two slots each) and quick pieces it comes for several.
constexpr std::uint32_t kWakeBatch = 4;
static_assert(kWakeBatch < WriteBehind::kRingSlots / 2, "the pass wakes the writer before the ring is full");

// Counts run on through 2^32: a goal is reached when the count is at most
// 2^31 behind it.
bool Reached(std::uint32_t count, std::uint32_t goal) { return static_cast<std::int32_t>(count - goal) >= 0; }
}  // namespace

void WriteBehind::Await(const std::atomic<std::uint32_t>& count, Bell& bell, Bell& other, std::uint32_t least,
                        std::uint32_t goal) {
  for (unsigned round = 0; round < kSpinRounds; ++round) {
    if (Reached(count.load(std::memory_order_acquire), least)) return;
    YieldProcessor();
  }
  // Asleep, a side waits for goal, which may be more than least: the
  // writer sleeps until a few slots have come. It waits for less only while
  // the other side waits too, else each would wait for the other; and a
  // side that goes to sleep wakes the other if that one sleeps.
  //
  // Seen asleep before the counts are looked at again (all sequentially
  // consistent): the other side, which advances its count first and looks
  // at the bell then, either finds this side asleep and rings, or advanced
  // in time for the look below; of two sides that go to sleep at once, at
  // least one sees the other. A ring that comes after the look found
  // enough leaves the event set; the next sleep then ends at once and looks
  // again.
  //
  // The pass waits on its own bell, and its thread is the dialog's: the
  // dialog's messages are handled while it waits.
  const bool pump = &bell == &passBell_;
  for (;;) {
    bell.goal.store(goal, std::memory_order_relaxed);
    bell.asleep.store(true);
    const std::uint32_t now = count.load();
    if (Reached(now, goal) || (Reached(now, least) && other.asleep.load())) break;
    if (other.asleep.load() && other.asleep.exchange(false)) SetEvent(other.event);
    if (!pump) {
      WaitForSingleObject(bell.event, INFINITE);
    } else if (MsgWaitForMultipleObjectsEx(1, &bell.event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
               WAIT_OBJECT_0) {
      ProcessPendingMessages(window_);
    }
  }
  bell.asleep.store(false, std::memory_order_relaxed);
}

void WriteBehind::Advance(std::atomic<std::uint32_t>& count, Bell& bell) {
  const std::uint32_t now = count.load(std::memory_order_relaxed) + 1;
  count.store(now);
  if (bell.asleep.load() && Reached(now, bell.goal.load(std::memory_order_relaxed)) && bell.asleep.exchange(false))
    SetEvent(bell.event);
}

DWORD WINAPI WriteBehind::ThreadMain(void* self) {
  WriteBehind& w = *static_cast<WriteBehind*>(self);
  for (std::uint32_t next = 0;; ++next) {
    w.Await(w.handedOver_, w.writerBell_, w.passBell_, next + 1, next + kWakeBatch);
    const unsigned index = next % kRingSlots;
    const bool stop = w.slots_[index].kind == Kind::Stop;
    if (!stop) w.Carry(w.slots_[index], w.bytes_ + index * kSlotBytes);
    Advance(w.done_, w.passBell_);
    if (stop) return 0;
  }
}

void WriteBehind::Carry(const Slot& slot, const unsigned char* bytes) {
  const bool failedBefore = failed_.load(std::memory_order_relaxed);
  bool ok = true;
  if (slot.kind == Kind::Bytes) {
    // After a failure nothing more is written: the pass stops there.
    if (failedBefore) return;
    DWORD written = 0;
    ok = WriteFile(slot.file, bytes, slot.length, &written, nullptr) && written == slot.length;
  } else {
    if (!failedBefore) {
      // The stream first: on NTFS a write to any stream of a file moves its
      // last-write time.
      MarkWithOwnZone(*zone_, slot.path);
      SetFileTime(slot.file, nullptr, nullptr, &slot.time);
    }
    ok = CloseHandle(slot.file) != FALSE;
  }
  if (!ok && !failedBefore) {
    failedId_ = slot.fileId;
    failed_.store(true, std::memory_order_relaxed);
  }
  if (slot.kind == Kind::Bytes) return;
  if (failed_.load(std::memory_order_relaxed)) {
    // The failed file and every one after it go, as if the pass had stopped
    // at the failure; the failed one's end names it.
    if (slot.fileId == failedId_) SYS_API(lstrcpyn)(failedPath_, slot.path, kDestinationPathBytes);
    SYS_API(DeleteFile)(slot.path);
    return;
  }
  if (slot.attributes != kKeepAttributes) SYS_API(SetFileAttributes)(slot.path, slot.attributes);
}

WriteBehind::Slot* WriteBehind::TakeSlot(bool evenAfterFailure) {
  // A full ring waits until half of it is free, so that a writer slower
  // than the decoder wakes the pass once for several slots, not for each.
  const std::uint32_t handed = handedOver_.load(std::memory_order_relaxed);
  Await(done_, passBell_, writerBell_, handed - (kRingSlots - 1), handed - kRingSlots / 2);
  if (!evenAfterFailure && failed_.load(std::memory_order_relaxed)) {
    Wait();
    return nullptr;
  }
  return &slots_[handed % kRingSlots];
}

void WriteBehind::HandOver() { Advance(handedOver_, writerBell_); }

bool WriteBehind::Start(const OwnZone* zone, HWND window) {
  handedOver_.store(0, std::memory_order_relaxed);
  done_.store(0, std::memory_order_relaxed);
  failed_.store(false, std::memory_order_relaxed);
  failedPath_[0] = '\0';
  writerBell_.asleep.store(false, std::memory_order_relaxed);
  passBell_.asleep.store(false, std::memory_order_relaxed);
  zone_ = zone;
  window_ = window;
  bytes_ = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, kRingSlots * kSlotBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  writerBell_.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  passBell_.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // The thread sees everything set above: creating it orders it before.
  if (bytes_ && writerBell_.event && passBell_.event)
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
  if (thread_) return true;
  Release();
  return false;
}

void WriteBehind::Release() {
  if (writerBell_.event) CloseHandle(writerBell_.event);
  if (passBell_.event) CloseHandle(passBell_.event);
  if (bytes_) VirtualFree(bytes_, 0, MEM_RELEASE);
  writerBell_.event = passBell_.event = nullptr;
  bytes_ = nullptr;
}

bool WriteBehind::Stop() {
  Wait();
  TakeSlot(true)->kind = Kind::Stop;
  HandOver();
  // The thread counts the stop as done, then ends.
  Wait();
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  Release();
  return !failed_.load(std::memory_order_relaxed);
}

bool WriteBehind::Write(std::uint32_t fileId, HANDLE file, const void* data, unsigned long length) {
  Slot* slot = TakeSlot(false);
  if (!slot) return false;
  slot->kind = Kind::Bytes;
  slot->fileId = fileId;
  slot->file = file;
  slot->length = length;
  CopyMemory(bytes_ + (slot - slots_) * kSlotBytes, data, length);
  HandOver();
  return true;
}

bool WriteBehind::Finish(std::uint32_t fileId, HANDLE file, const FILETIME& time, const SysChar* path,
                         DWORD attributes) {
  Slot* slot = TakeSlot(false);
  if (!slot) return false;
  slot->kind = Kind::End;
  slot->fileId = fileId;
  slot->file = file;
  slot->time = time;
  slot->attributes = attributes;
  SYS_API(lstrcpyn)(slot->path, path, kDestinationPathBytes);
  HandOver();
  return true;
}

bool WriteBehind::Wait() {
  const std::uint32_t handed = handedOver_.load(std::memory_order_relaxed);
  Await(done_, passBell_, writerBell_, handed, handed);
  return !failed_.load(std::memory_order_relaxed);
}
