#include "paths/win_auto_run.h"

#include <windows.h>
#include <shellapi.h>

#include "common/dbcs.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_folder_macros.h"

HANDLE AutoRunProcess;

void RunAutoCommand(ExtractMode mode) {
  if (mode != ExtractMode::Extract) return;
  if (!RunState.autoRun) return;
  if (Config.autoRunCommand[0] == '\0') return;
  if (RunState.aborted) return;

  // Environment variables first, then the folder macros with the folder
  // just extracted to; the field keeps the expanded command, cut to 259
  // bytes on a character boundary.
  ExpandCommandText(Config.autoRunCommand, GeneralText, sizeof GeneralText, DestinationFolder);
  CopyTextBounded(Config.autoRunCommand, GeneralText, sizeof Config.autoRunCommand);
  const char* parameters = SplitCommand(GeneralText, sizeof GeneralText, Config.autoRunCommand);
  // A command without parameters passes none at all rather than an empty text.
  if (!*parameters) parameters = nullptr;
  // Waiting needs the process, which only ShellExecuteExA hands out. NT
  // 3.51's shell lacks it: there the command runs on its own, and the
  // folder stays for it.
  using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
  const auto shellExecuteEx =
      RunState.waitForCommand ? reinterpret_cast<ShellExecuteExFn>(ShellExport("ShellExecuteExA")) : nullptr;
  if (!shellExecuteEx) {
    RunState.waitForCommand = 0;
    ShellExecuteA(PassWindow, nullptr, GeneralText, parameters, DestinationFolder, SW_SHOW);
    return;
  }
  SHELLEXECUTEINFOA info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = GeneralText;
  info.lpParameters = parameters;
  info.lpDirectory = DestinationFolder;
  info.nShow = SW_SHOW;
  if (!shellExecuteEx(&info))
    FailureExitCode = kExitFatal;
  // Handed to a program that was already running: nothing to wait for, and
  // the folder stays for that program.
  else if (!(AutoRunProcess = info.hProcess))
    RunState.waitForCommand = 0;
}
