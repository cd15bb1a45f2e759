#include "paths/win_auto_run.h"

#include <windows.h>
#include <shellapi.h>

#include "common/dbcs.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_folder_macros.h"

CommandStart StartCommand(const char* command, const char* folder, HWND owner, bool wait, HANDLE& process) {
  process = nullptr;
  // Environment variables first, then the folder macros with the folder
  // just extracted to; the command is cut to 259 bytes on a character
  // boundary, then the program part taken from it (into the expansion's
  // buffer, which is no longer needed).
  char program[1024];
  char expanded[kCommandBytes];
  ExpandCommandText(command, program, sizeof program, folder);
  CopyTextBounded(expanded, program, sizeof expanded);
  const char* parameters = SplitCommand(program, sizeof program, expanded);
  // A command without parameters passes none at all rather than an empty text.
  if (!*parameters) parameters = nullptr;
  // Waiting needs the process, which only ShellExecuteExA hands out. NT
  // 3.51's shell lacks it: there the command runs on its own.
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
  const auto shellExecuteEx = wait ? reinterpret_cast<ShellExecuteExFn>(ShellExport("ShellExecuteExA")) : nullptr;
  if (!shellExecuteEx) {
    ShellExecuteA(owner, nullptr, program, parameters, folder, SW_SHOW);
    return CommandStart::Unwatched;
  }
  SHELLEXECUTEINFOA info;
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
