#include "app/win_engine_host.h"

#include "archive/engine_host.h"
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
long ReadArchiveFile(void* buffer, unsigned long count) {
  DWORD got = 0;
  if (!ReadFile(ArchiveHandle, buffer, count, &got, nullptr)) return -1;
  return static_cast<long>(got);
}

bool WriteOutputFile(const void* buffer, unsigned long length) {
  DWORD written = 0;
  return WriteFile(OutputHandle, buffer, length, &written, nullptr) && written == length;
}

void ReportEngineError(int stringId, bool namesArchive) {
  if (stringId == kMsgOutOfMemory) {
    // Out of memory names no file: the text alone, owned by the pass's window.
    MessageBoxA(PassWindow, LoadText(static_cast<UINT>(stringId)), Config.title, MB_ICONERROR);
    return;
  }
  ReportFileError(LoadText(static_cast<UINT>(stringId)), namesArchive ? ExecutablePath : DestinationPath);
}

void SendProgress(unsigned percent) {
  // Sent, not posted: the bar has moved when the call returns.
  SendMessageA(PassWindow, WM_COMMAND, IDM_PROGRESS, static_cast<LPARAM>(percent));
  ProcessPendingMessages(PassWindow);
}

void* AllocZeroed(unsigned long size) { return LocalAlloc(LMEM_ZEROINIT, size); }

void Release(void* block) { LocalFree(block); }

std::uint64_t SystemFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
}  // namespace

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
