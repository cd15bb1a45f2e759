#include "app/win_run.h"

#include "app/win_extraction_pass.h"
#include "app/win_temporary_folder.h"
#include "common/stub_switches.h"
#include "paths/win_auto_run.h"
#include "ui/resource_ids.h"

void Run::ShowFailure(HWND owner, const SysChar* text, const SysChar* caption, int exitCode) {
  if (!failureExitCode) failureExitCode = exitCode;
  if (!settings.unattended) SYS_API(MessageBox)(owner, text, caption, MB_ICONERROR);
}

void Run::ReportFileError(HWND owner, UINT messageId, const SysChar* file) {
  // wsprintf writes at most 1024 units; the path is at most 560 and the
  // message at most 255.
  SysChar message[kLoadTextBytes];
  SysChar text[1024];
  SYS_API(wsprintf)(text, SYS_TEXT("\"%s\" %s"), file, LoadText(messageId, message, kLoadTextBytes));
  ShowFailure(owner, text, settings.title, kExitFatal);
}

int Run::OutcomeExitCode() const {
  if (failureExitCode) return failureExitCode;
  if (aborted) return kExitCancelled;  // cancelled, the notice declined, or the dialog closed
  return keptExisting || leftOldFile ? kExitWarning : kExitDone;
}

bool AcceptDestination(Run& run, const SysChar* text) {
  // Unquoted into room for more than a folder may hold, so that a longer
  // one shows as longer instead of cut to a shorter, other folder.
  SysChar folder[kPathBytes + 2];
  UnquotePath(folder, UnitsOf(folder), text);
  const unsigned length = TextLength(folder);
  if (length == 0 || length >= kDestinationFolderBytes || !IsFullPath(folder)) return false;
  SYS_API(lstrcpy)(run.destinationFolder, folder);
  return true;
}

namespace {
// The configured command, started in the folder just extracted to. One
// that is waited for and cannot be started is a failure without a box.
void StartConfiguredCommand(Run& run, HWND window) {
  // In the run's own folder the command runs only on what the run put
  // there: anything else came from another program while it wrote.
  SysChar foreign[kPathBytes];
  if (run.ownFolder && !HoldsOnlyOwnEntries(run.destinationFolder, run.ledger, foreign)) {
    run.ReportFileError(window, IDS_WRITE_ERROR, foreign);
    return;
  }
  HANDLE process;
  if (run.settings.waitForCommand) OpenCommandJob(run.commandJob);
  switch (StartCommand(run.settings.command, run.destinationFolder, window, run.settings.waitForCommand,
                       process)) {
    case CommandStart::Waitable:
      run.commandProcess = process;
      JoinCommandJob(run.commandJob, process);
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
  if (run.settings.options.autoRun && run.settings.command[0]) StartConfiguredCommand(run, window);
}
