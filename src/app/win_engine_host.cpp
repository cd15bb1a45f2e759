#include "app/win_engine_host.h"

#include "archive/engine_host.h"
#include "archive/member_header.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "ui/resource_ids.h"

// The engine reports string ids; they are the string table's.
static_assert(kMsgReadError == IDS_READ_ERROR && kMsgWriteError == IDS_WRITE_ERROR &&
                  kMsgDamaged == IDS_DAMAGED && kMsgUnsupported == IDS_UNSUPPORTED &&
                  kMsgOutOfMemory == IDS_NO_MEMORY,
              "the engine's messages are the string table's");

HANDLE ArchiveHandle = INVALID_HANDLE_VALUE;
HANDLE OutputHandle = INVALID_HANDLE_VALUE;
char DestinationPath[kDestinationPathBytes];

namespace {
// The block read ahead: it holds the archive's bytes from aheadStart on,
// aheadFill of them, of which [aheadPos, aheadFill) are still unread; the
// file stands just after them.
std::uint8_t readAhead[kArchiveReadAheadBytes];
unsigned long aheadPos;
unsigned long aheadFill;
std::uint64_t aheadStart;

void ForgetReadAhead(std::uint64_t filePosition) {
  aheadPos = aheadFill = 0;
  aheadStart = filePosition;
}

// Reads at the file's position into buffer; the block read ahead is used up
// by then and starts again after what was read, or is what was read.
long ReadFromFile(void* buffer, unsigned long count) {
  DWORD got = 0;
  if (!ReadFile(ArchiveHandle, buffer, count, &got, nullptr)) return -1;
  ForgetReadAhead(aheadStart + aheadFill);
  if (buffer == readAhead)
    aheadFill = got;
  else
    aheadStart += got;
  return static_cast<long>(got);
}

long ReadArchiveFile(void* buffer, unsigned long count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  unsigned long done = 0;
  while (done < count) {
    if (aheadPos == aheadFill) {
      if (count - done >= kArchiveDirectReadBytes) {
        const long got = ReadFromFile(out + done, count - done);
        return got < 0 ? got : static_cast<long>(done) + got;
      }
      const long got = ReadFromFile(readAhead, kArchiveReadAheadBytes);
      if (got < 0) return got;
      if (got == 0) break;  // the file ends
    }
    // A plain loop: the stub has no C library to call for a copy.
    while (done < count && aheadPos < aheadFill) out[done++] = readAhead[aheadPos++];
  }
  return static_cast<long>(done);
}

bool WriteOutputFile(const void* buffer, unsigned long length) {
  DWORD written = 0;
  return WriteFile(OutputHandle, buffer, length, &written, nullptr) && written == length;
}

// What the person sees of a pass, and when. The percentage last sent (none
// after StartPacing), the status line waiting to be shown, and the tick of
// the last drain.
constexpr unsigned kNoPercent = ~0u;
unsigned sentPercent = kNoPercent;
unsigned pendingPercent = kNoPercent;

// Nothing is pending while both are kNoPercent.
void SendPendingPercent() {
  if (pendingPercent == sentPercent) return;
  sentPercent = pendingPercent;
  SendMessageA(PassWindow, WM_COMMAND, IDM_PROGRESS, static_cast<LPARAM>(sentPercent));
}
bool drainDue = true;
DWORD lastDrainTick;
UINT statusFormat;  // 0: nothing waits
char statusName[kJoinedNameBytes];

void ReportEngineError(int stringId, bool namesArchive) {
  FlushMemberStatus();
  if (stringId == kMsgOutOfMemory) {
    // Out of memory names no file: the text alone, owned by the pass's window.
    MessageBoxA(PassWindow, LoadText(static_cast<UINT>(stringId)), Config.title, MB_ICONERROR);
    return;
  }
  ReportFileError(LoadText(static_cast<UINT>(stringId)), namesArchive ? ExecutablePath : DestinationPath);
}

void SendProgress(unsigned percent) {
  // Sent, not posted: the bar has moved when the call returns. Moving it
  // costs about a millisecond, so after the first value of a pass it moves
  // with the drains, and once more when it is full; a value it already
  // shows is not sent again.
  pendingPercent = percent;
  if (percent == 100 || sentPercent == kNoPercent) SendPendingPercent();
  DrainQueueWhenDue();
}

void* AllocZeroed(unsigned long size) { return LocalAlloc(LMEM_ZEROINIT, size); }

void Release(void* block) { LocalFree(block); }

std::uint64_t SystemFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
}  // namespace

bool OpenArchive(const char* path) {
  ArchiveHandle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ForgetReadAhead(0);
  return ArchiveHandle != INVALID_HANDLE_VALUE;
}

void CloseArchive() {
  if (ArchiveHandle != INVALID_HANDLE_VALUE) CloseHandle(ArchiveHandle);
  ArchiveHandle = INVALID_HANDLE_VALUE;
  ForgetReadAhead(0);
}

std::int64_t ArchivePosition() { return static_cast<std::int64_t>(aheadStart + aheadPos); }

bool SeekArchive(std::int64_t position) {
  // Unsigned: a position before the block is far beyond it.
  const std::uint64_t into = static_cast<std::uint64_t>(position) - aheadStart;
  if (into <= aheadFill) {
    aheadPos = static_cast<unsigned long>(into);
    return true;
  }
  LONG high = static_cast<LONG>(position >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(ArchiveHandle, static_cast<LONG>(position), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  ForgetReadAhead(static_cast<std::uint64_t>(position));
  return true;
}

void InstallWin32EngineHost() {
  Host.readArchive = ReadArchiveFile;
  Host.writeOutput = WriteOutputFile;
  Host.reportError = ReportEngineError;
  Host.progress = SendProgress;
  Host.allocZeroed = AllocZeroed;
  Host.release = Release;
  Host.currentFileTime = SystemFileTime;
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
