#include "paths/win_auto_run.h"

#include <windows.h>
#include <shellapi.h>

#include "common/dbcs.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_folder_macros.h"

CommandStart StartCommand(const SysChar* command, const SysChar* folder, HWND owner, bool wait, HANDLE& process) {
  process = nullptr;
  // Environment variables first, then the folder macros with the folder
  // just extracted to; the command is cut to 259 units on a character
  // boundary, then the program part taken from it (into the expansion's
  // buffer, which is no longer needed).
  SysChar program[1024];
  SysChar expanded[kCommandBytes];
  ExpandCommandText(command, program, UnitsOf(program), folder);
  CopyTextBounded(expanded, program, kCommandBytes);
  const SysChar* parameters = SplitCommand(program, UnitsOf(program), expanded);
  // A command without parameters passes none at all rather than an empty text.
  if (!*parameters) parameters = nullptr;
  // Waiting needs the process, which only ShellExecuteEx hands out. NT
  // 3.51's shell lacks it: there the command runs on its own.
  using ExecuteInfo = SYS_API(SHELLEXECUTEINFO);
  using ShellExecuteExFn = BOOL(WINAPI*)(ExecuteInfo*);
  const auto shellExecuteEx =
      wait ? reinterpret_cast<ShellExecuteExFn>(ShellExport(kSysWide ? "ShellExecuteExW" : "ShellExecuteExA"))
           : nullptr;
  if (!shellExecuteEx) {
    SYS_API(ShellExecute)(owner, nullptr, program, parameters, folder, SW_SHOW);
    return CommandStart::Unwatched;
  }
  ExecuteInfo info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = program;
  info.lpParameters = parameters;
  info.lpDirectory = folder;
  info.nShow = SW_SHOW;
  if (!shellExecuteEx(&info)) return CommandStart::Failed;
  // Handed to a program that was already running: nothing to wait for.
  process = info.hProcess;
  return process ? CommandStart::Waitable : CommandStart::Unwatched;
}
