#include "app/win_write_behind.h"

#include "app/win_engine_host.h"
#include "app/win_zone_mark.h"
#include "archive/output_sink.h"

static_assert(kMaxOutputPiece <= WriteBehind::kSlotBytes, "every piece the engine writes fits a slot");

namespace {
// How long a side checks the other's count before it sleeps, in rounds of
// one check and one pause instruction. Sleeping costs a round trip to the
// kernel on each side (to the Wine server under Wine), and the waker pays
// one more to signal; spinning about as long as that costs at most twice
// what knowing the future would. Measured with wake_bench under Wine on the
// 2-core build machine: a wake (half an event round trip) takes 35 to 115
// microseconds, a SetEvent that wakes nobody 25 to 90, a round of the spin
// 40 to 55 ns; so about 1,000 rounds, some 50 microseconds. That is well
// below the 280 microseconds that decoding a 64 KiB piece takes (the Verify
// pass, 23 MB in about 100 ms), so a writer that has caught up with the
// decoder sleeps instead of burning a core, and well above the few
// microseconds in which the other side answers when both are busy.
constexpr unsigned kSpinRounds = 1024;

// Counts run on through 2^32: a goal is reached when the count is at most
// 2^31 behind it.
bool Reached(std::uint32_t count, std::uint32_t goal) { return static_cast<std::int32_t>(count - goal) >= 0; }
}  // namespace

void WriteBehind::Await(const std::atomic<std::uint32_t>& count, Bell& bell, std::uint32_t spinGoal,
                        std::uint32_t goal) {
  for (unsigned round = 0; round < kSpinRounds; ++round) {
    if (Reached(count.load(std::memory_order_acquire), spinGoal)) return;
    YieldProcessor();
  }
  // Seen asleep before the count is looked at again (both sequentially
  // consistent): the other side, which advances the count first and looks at
  // the bell then, either finds the sleeper asleep and rings, or advanced in
  // time for the look below. A ring that comes after the look found the goal
  // reached leaves the event set; the next sleep then ends at once and looks
  // again.
  // The pass waits on its own bell, and its thread is the dialog's: the
  // dialog's messages are handled while it waits.
  const bool pump = &bell == &passBell_;
  for (;;) {
    bell.goal.store(goal, std::memory_order_relaxed);
    bell.asleep.store(true);
    if (Reached(count.load(), goal)) break;
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
    w.Await(w.handedOver_, w.writerBell_, next + 1, next + 1);
    const unsigned index = next % kRingSlots;
    if (w.slots_[index].kind == Kind::Stop) return 0;
    w.Carry(w.slots_[index], w.bytes_ + index * kSlotBytes);
    Advance(w.done_, w.passBell_);
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
    if (!failedBefore) SetFileTime(slot.file, nullptr, nullptr, &slot.time);
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
    if (slot.fileId == failedId_) lstrcpynA(failedPath_, slot.path, sizeof failedPath_);
    DeleteFileA(slot.path);
    return;
  }
  // Before the attributes: a read-only file takes no new stream.
  MarkWithOwnZone(*zone_, slot.path);
  if (slot.attributes != kKeepAttributes) SetFileAttributesA(slot.path, slot.attributes);
}

WriteBehind::Slot* WriteBehind::TakeSlot(bool evenAfterFailure) {
  // A full ring waits until half of it is free, so that a writer slower
  // than the decoder wakes the pass once for several slots, not for each.
  const std::uint32_t handed = handedOver_.load(std::memory_order_relaxed);
  Await(done_, passBell_, handed - (kRingSlots - 1), handed - kRingSlots / 2);
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

bool WriteBehind::Finish(std::uint32_t fileId, HANDLE file, const FILETIME& time, const char* path,
                         DWORD attributes) {
  Slot* slot = TakeSlot(false);
  if (!slot) return false;
  slot->kind = Kind::End;
  slot->fileId = fileId;
  slot->file = file;
  slot->time = time;
  slot->attributes = attributes;
  lstrcpynA(slot->path, path, sizeof slot->path);
  HandOver();
  return true;
}

bool WriteBehind::Wait() {
  const std::uint32_t handed = handedOver_.load(std::memory_order_relaxed);
  Await(done_, passBell_, handed, handed);
  return !failed_.load(std::memory_order_relaxed);
}
