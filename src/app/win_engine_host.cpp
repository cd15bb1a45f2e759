#include "app/win_engine_host.h"

#include "app/win_write_behind.h"
#include "archive/member_header.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"
#include "common/win_services.h"
#include "ui/resource_ids.h"

// Both are set by every pass before they are used; none starts with a value
// other than zero, so the 32-bit stub needs no data section.
HANDLE ArchiveHandle;
HANDLE OutputHandle;
char DestinationPath[kDestinationPathBytes];

namespace {
long ReadArchiveFile(void*, void* buffer, unsigned long count) {
  DWORD got = 0;
  if (!ReadFile(ArchiveHandle, buffer, count, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

SinkReply WriteOutputFile(void*, const void* buffer, unsigned long length) {
  DWORD written = 0;
  const bool whole = WriteFile(OutputHandle, buffer, length, &written, nullptr) && written == length;
  return whole ? SinkReply::More : SinkReply::Failed;
}

// What the person sees of a pass, and when. The percentage last sent (none
// after StartPacing), the status line waiting to be shown, and the tick of
// the last drain.
constexpr unsigned kNoPercent = ~0u;
unsigned sentPercent;
unsigned pendingPercent;

// Nothing is pending while both are kNoPercent.
void SendPendingPercent() {
  if (pendingPercent == sentPercent) return;
  sentPercent = pendingPercent;
  SendMessageA(PassWindow, WM_COMMAND, IDM_PROGRESS, static_cast<LPARAM>(sentPercent));
}
bool drainDue;
DWORD lastDrainTick;
UINT statusFormat;  // 0: nothing waits
char statusName[kJoinedNameBytes];

void SendProgress(unsigned percent) {
  // Sent, not posted: the bar has moved when the call returns. Moving it
  // costs about a millisecond, so after the first value of a pass it moves
  // with the drains, and once more when it is full; a value it already
  // shows is not sent again.
  pendingPercent = percent;
  if (percent == 100 || sentPercent == kNoPercent) SendPendingPercent();
  DrainQueueWhenDue();
}

bool ReportMemberProgress(void*, std::uint64_t memberBytes) {
  ProgressTotals.done = ProgressTotals.memberStart + memberBytes;
  return ReportPassProgress();
}

void* AllocZeroed(void*, unsigned long size) { return LocalAlloc(LMEM_ZEROINIT, size); }

void Release(void*, void* block) { LocalFree(block); }

std::uint64_t SystemFileTime(void*) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
}  // namespace

void SetWin32EngineHost(EngineHost& host) {
  // Field by field: an initialised struct would be a copy in a data section,
  // which the 32-bit stub does not have.
  host.context = nullptr;
  host.readArchive = ReadArchiveFile;
  host.writeOutput = WriteOutputFile;
  host.progress = ReportMemberProgress;
  host.allocZeroed = AllocZeroed;
  host.release = Release;
  host.currentFileTime = SystemFileTime;
}

UINT EngineResultMessage(EngineResult result) {
  // Indexed by the result; 0: no failure, or one that shows nothing.
  static const std::uint8_t kMessages[kEngineResultCount] = {
      0,                // Ok
      0,                // EndOfArchive
      IDS_READ_ERROR,   // ReadError
      IDS_WRITE_ERROR,  // WriteError
      IDS_DAMAGED,      // Damaged
      IDS_UNSUPPORTED,  // Unsupported
      IDS_NO_MEMORY,    // OutOfMemory
      0,                // Cancelled: the person asked for it
  };
  return kMessages[static_cast<unsigned>(result)];
}

void ReportEngineResult(EngineResult result) {
  const UINT message = EngineResultMessage(result);
  if (!message) return;
  FlushMemberStatus();
  if (result == EngineResult::OutOfMemory) {
    // Out of memory names no file: the text alone, owned by the pass's window.
    ShowFailure(LoadText(message), Config.title, kExitNoMemory);
    return;
  }
  // A write error names the member's file, or the one that failed behind the
  // decoder; everything else names the archive.
  const char* file = ExecutablePath;
  if (result == EngineResult::WriteError) file = kWritesBehind ? FailedWritePath(DestinationPath) : DestinationPath;
  ReportFileError(LoadText(message), file);
}

bool ReportPassProgress() {
  SendProgress(ProgressPercent(ProgressTotals.done, ProgressTotals.total));
  return RunState.cancelRequested != 1;
}

void ProcessPendingMessages(HWND window) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void StartPacing() {
  sentPercent = pendingPercent = kNoPercent;
  drainDue = true;
  statusFormat = 0;
}

void DrainQueueWhenDue() {
  const DWORD now = GetTickCount();
  // Unsigned: the tick count wraps after 49.7 days.
  if (!drainDue && now - lastDrainTick < kDrainIntervalMs) return;
  drainDue = false;
  lastDrainTick = now;
  SendPendingPercent();
  FlushMemberStatus();
  ProcessPendingMessages(PassWindow);
}

void ShowMemberStatus(UINT formatId, const char* name) {
  unsigned i = 0;
  for (; i + 1 < sizeof statusName && name[i]; ++i) statusName[i] = name[i];
  statusName[i] = '\0';
  statusFormat = formatId;
}

void FlushMemberStatus() {
  if (!statusFormat) return;
  // The name is at most 287 bytes, the format a short line: well inside 1024.
  wsprintfA(GeneralText, LoadText(statusFormat), statusName);
  statusFormat = 0;
  SetDlgItemTextA(PassWindow, IDC_STATUS, GeneralText);
}
