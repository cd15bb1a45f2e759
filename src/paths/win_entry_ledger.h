// What one run created in a folder of its own: the names of its files and
// folders, relative to that folder, so that anything else found there (put
// there by another program while the run wrote) can be told apart.
#pragma once

#include <cstdint>

#include "common/win_sys_char.h"

// No constructor: it starts zero-filled, as the run that holds it. Names
// are kept as 64-bit hashes of their relative path, with '/' and '\' alike
// and ASCII letters in either case alike, as Windows compares them.
struct EntryLedger {
  std::uint64_t* slots;  // an open-addressed table; zero marks a free slot
  unsigned count;        // names recorded
  bool full;             // a name could not be recorded (no memory, or no room)
};

// The hash of a relative path as the ledger keeps it.
std::uint64_t LedgerKey(const SysChar* relative);

// Records relative; false (and full set) when there is no room for it.
bool RecordEntry(EntryLedger& ledger, const SysChar* relative);
bool HoldsEntry(const EntryLedger& ledger, const SysChar* relative);
void ReleaseLedger(EntryLedger& ledger);
