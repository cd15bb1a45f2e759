#include "app/win_run.h"

#include "app/win_extraction_pass.h"
#include "common/stub_switches.h"
#include "paths/win_auto_run.h"
#include "ui/resource_ids.h"

void Run::ShowFailure(HWND owner, const char* text, const char* caption, int exitCode) {
  if (!failureExitCode) failureExitCode = exitCode;
  if (!settings.unattended) MessageBoxA(owner, text, caption, MB_ICONERROR);
}

void Run::ReportFileError(HWND owner, UINT messageId, const char* file) {
  // wsprintfA writes at most 1024 bytes; the path is at most 560 and the
  // message at most 255.
  char message[kLoadTextBytes];
  char text[1024];
  wsprintfA(text, "\"%s\" %s", file, LoadText(messageId, message, sizeof message));
  ShowFailure(owner, text, settings.title, kExitFatal);
}

int Run::OutcomeExitCode() const {
  if (failureExitCode) return failureExitCode;
  if (aborted) return kExitCancelled;  // cancelled, the notice declined, or the dialog closed
  return keptExisting ? kExitWarning : kExitDone;
}

bool AcceptDestination(Run& run, const char* text) {
  unsigned length = 0;
  while (text[length]) ++length;
  UnquotePath(run.destinationFolder, sizeof run.destinationFolder, text);
  return length != 0 && length < kDestinationFolderBytes && IsFullPath(run.destinationFolder);
}

namespace {
// The configured command, started in the folder just extracted to. One
// that is waited for and cannot be started is a failure without a box.
void StartConfiguredCommand(Run& run, HWND window) {
  HANDLE process;
  switch (StartCommand(run.config.autoRunCommand, run.destinationFolder, window, run.settings.waitForCommand,
                       process)) {
    case CommandStart::Waitable:
      run.commandProcess = process;
      break;
    case CommandStart::Unwatched:
      run.commandUnwatched = true;
      break;
    case CommandStart::Failed:
      if (!run.failureExitCode) run.failureExitCode = kExitFatal;
      break;
  }
}
}  // namespace

void ExtractIntoDestination(Run& run, HWND window) {
  run.extracting = true;
  run.progressTotal = 0;
  if (!RunExtractionPass(run, window, ExtractMode::Test)) return;
  if (!RunExtractionPass(run, window, ExtractMode::Extract)) return;
  if (run.settings.options.autoRun && run.config.autoRunCommand[0]) StartConfiguredCommand(run, window);
}
