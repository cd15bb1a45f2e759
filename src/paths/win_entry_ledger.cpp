#include "paths/win_entry_ledger.h"

#include <windows.h>

#include <type_traits>

namespace {
// 2^20 slots of 8 bytes: 8 MiB reserved and committed, of which only the
// pages touched take memory; the table is kept at most half full.
constexpr unsigned kSlotBits = 20;
constexpr unsigned kSlots = 1u << kSlotBits;

unsigned Home(std::uint64_t key) { return static_cast<unsigned>(key >> (64 - kSlotBits)); }
}  // namespace

std::uint64_t LedgerKey(const SysChar* relative) {
  // FNV-1a over the units; never zero, which marks a free slot.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const SysChar* p = relative; *p; ++p) {
    unsigned c = static_cast<std::make_unsigned_t<SysChar>>(*p);
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    hash = (hash ^ c) * 0x100000001b3ull;
  }
  return hash ? hash : 1;
}

bool RecordEntry(EntryLedger& ledger, const SysChar* relative) {
  if (!ledger.slots && !ledger.full) {
    ledger.slots = static_cast<std::uint64_t*>(
        VirtualAlloc(nullptr, kSlots * sizeof(std::uint64_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  if (!ledger.slots || ledger.count >= kSlots / 2) {
    ledger.full = true;
    return false;
  }
  const std::uint64_t key = LedgerKey(relative);
  for (unsigned i = Home(key);; i = (i + 1) & (kSlots - 1)) {
    if (ledger.slots[i] == key) return true;
    if (ledger.slots[i] == 0) {
      ledger.slots[i] = key;
      ++ledger.count;
      return true;
    }
  }
}

bool HoldsEntry(const EntryLedger& ledger, const SysChar* relative) {
  if (!ledger.slots) return false;
  const std::uint64_t key = LedgerKey(relative);
  for (unsigned i = Home(key); ledger.slots[i]; i = (i + 1) & (kSlots - 1))
    if (ledger.slots[i] == key) return true;
  return false;
}

void ReleaseLedger(EntryLedger& ledger) {
  if (ledger.slots) VirtualFree(ledger.slots, 0, MEM_RELEASE);
  ledger.slots = nullptr;
  ledger.count = 0;
}
