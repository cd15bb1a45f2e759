#include "app/win_engine_host.h"

#include "app/win_run.h"
#include "common/stub_switches.h"
#include "ui/resource_ids.h"

namespace {
long ReadArchiveFile(void* context, void* buffer, unsigned long count) {
  DWORD got = 0;
  if (!ReadFile(static_cast<ExtractionPass*>(context)->archive, buffer, count, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

SinkReply WriteOutputFile(void* context, const void* buffer, unsigned long length) {
  DWORD written = 0;
  const bool whole =
      WriteFile(static_cast<ExtractionPass*>(context)->output, buffer, length, &written, nullptr) && written == length;
  return whole ? SinkReply::More : SinkReply::Failed;
}

bool ReportMemberProgress(void* context, std::uint64_t memberBytes) {
  ExtractionPass& pass = *static_cast<ExtractionPass*>(context);
  pass.done = pass.memberStart + memberBytes;
  return ReportPassProgress(pass);
}

void* AllocZeroed(void*, unsigned long size) { return LocalAlloc(LMEM_ZEROINIT, size); }

void Release(void*, void* block) { LocalFree(block); }

std::uint64_t SystemFileTime(void*) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// No percentage sent yet in this pass.
constexpr unsigned kNoPercent = ~0u;

void SendPendingPercent(ExtractionPass& pass) {
  if (pass.pendingPercent == pass.sentPercent) return;
  pass.sentPercent = pass.pendingPercent;
  SYS_API(SendMessage)(pass.window, WM_COMMAND, IDM_PROGRESS, static_cast<LPARAM>(pass.sentPercent));
}

// Whom a failure's box names.
enum Named : std::uint8_t { kNamesNothing, kNamesArchive, kNamesMember };

// The one table of what each step tells the person, indexed by the step.
struct StepText {
  std::uint8_t message;  // 0: nothing to tell
  Named names;
};
const StepText kStepTexts[kStepCount] = {
    {0, kNamesNothing},                 // Next
    {0, kNamesNothing},                 // Leave
    {IDS_READ_ERROR, kNamesArchive},    // ReadError
    {IDS_WRITE_ERROR, kNamesMember},    // WriteError
    {IDS_DAMAGED, kNamesArchive},       // Damaged
    {IDS_UNSUPPORTED, kNamesArchive},   // Unsupported
    {IDS_NO_MEMORY, kNamesNothing},     // OutOfMemory
    {0, kNamesNothing},                 // Cancelled: the person asked for it
    {IDS_DAMAGED, kNamesMember},        // DamagedMember
};
static_assert(static_cast<unsigned>(Step::DamagedMember) + 1 == kStepCount, "every step has its text");
}  // namespace

void MakeWin32EngineHost(ExtractionPass& pass, EngineHost& host) {
  // Field by field: an initialised struct would be a copy in a data section,
  // which the 32-bit stub does not have.
  host.context = &pass;
  host.readArchive = ReadArchiveFile;
  host.writeOutput = WriteOutputFile;
  host.progress = ReportMemberProgress;
  host.allocZeroed = AllocZeroed;
  host.release = Release;
  host.currentFileTime = SystemFileTime;
}

UINT StepMessage(Step step) { return kStepTexts[static_cast<unsigned>(step)].message; }

void ReportStep(Run& run, HWND owner, Step step, const SysChar* memberFile) {
  const StepText& text = kStepTexts[static_cast<unsigned>(step)];
  if (!text.message) return;
  if (text.names == kNamesNothing) {
    SysChar message[kLoadTextBytes];
    run.ShowFailure(owner, LoadText(text.message, message, kLoadTextBytes), run.settings.title, kExitNoMemory);
    return;
  }
  run.ReportFileError(owner, text.message, text.names == kNamesMember ? memberFile : run.executablePath);
}

bool ReportPassProgress(ExtractionPass& pass) {
  // Sent, not posted: the bar has moved when the call returns. Moving it
  // costs about a millisecond, so after the first value of a pass it moves
  // with the drains, and once more when it is full; a value it already
  // shows is not sent again.
  pass.pendingPercent = ProgressPercent(pass.done, pass.run->progressTotal);
  if (pass.pendingPercent == 100 || pass.sentPercent == kNoPercent) SendPendingPercent(pass);
  DrainQueueWhenDue(pass);
  return !pass.run->cancelRequested;
}

void ProcessPendingMessages(HWND window) {
  MSG message;
  while (SYS_API(PeekMessage)(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (SYS_API(IsDialogMessage)(window, &message)) continue;
    TranslateMessage(&message);
    SYS_API(DispatchMessage)(&message);
  }
}

void StartPacing(ExtractionPass& pass) {
  pass.sentPercent = pass.pendingPercent = kNoPercent;
  pass.drainDue = true;
  pass.statusFormat = 0;
}

void DrainQueueWhenDue(ExtractionPass& pass) {
  const DWORD now = GetTickCount();
  // Unsigned: the tick count wraps after 49.7 days.
  if (!pass.drainDue && now - pass.lastDrainTick < kDrainIntervalMs) return;
  pass.drainDue = false;
  pass.lastDrainTick = now;
  SendPendingPercent(pass);
  FlushMemberStatus(pass);
  ProcessPendingMessages(pass.window);
}

void ShowMemberStatus(ExtractionPass& pass, UINT formatId, const SysChar* name) {
  CopyTextBounded(pass.statusName, name, UnitsOf(pass.statusName));
  pass.statusFormat = formatId;
}

void FlushMemberStatus(ExtractionPass& pass) {
  if (!pass.statusFormat) return;
  // The name is at most 287 units, the format a short line: well inside the
  // 1024 units that wsprintf writes at most.
  SysChar format[kLoadTextBytes];
  SysChar line[1024];
  SYS_API(wsprintf)(line, LoadText(pass.statusFormat, format, kLoadTextBytes), pass.statusName);
  pass.statusFormat = 0;
  SYS_API(SetDlgItemText)(pass.window, IDC_STATUS, line);
}
