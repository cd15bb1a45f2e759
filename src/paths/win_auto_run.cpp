#include "paths/win_auto_run.h"

#include <windows.h>
#include <shellapi.h>

#include "common/dbcs.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_folder_macros.h"

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
  ShellExecuteA(PassWindow, nullptr, GeneralText, *parameters ? parameters : nullptr,
                DestinationFolder, SW_SHOW);
}
