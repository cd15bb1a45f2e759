// The run: what start-up reads and decides, and what the run then changes
// and counts, in one object that start-up owns and hands to every step. The
// main dialog gets it through its creation parameter; a pass keeps a pointer
// to it while it runs. Everything happens on the one GUI thread (the 64-bit
// stub's writing thread touches none of it).
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_command_job.h"
#include "paths/win_entry_ledger.h"
#include "app/win_zone_mark.h"

// The run's settings. Start-up prepares them once, from the configuration
// block, the command line and the switches; afterwards only the options
// dialog changes the options, and a temporary-folder run offers its own
// folder.
struct RunSettings {
  RunOptions options;
  bool unattended;      // /S or /T: no window and no box; the exit code tells
  bool acceptNotice;    // /Y: the notice is not asked
  bool waitForCommand;  // temporary folder without /N: the command is waited for
  SysChar title[sizeof SfxConfig::title];          // the block's, or string 7
  SysChar offeredFolder[kPathBytes + 2];  // expanded and quoted, as the edit shows it; may be too long
  SysChar message[sizeof SfxConfig::message];      // the block's, or string 10 where it asks
  SysChar folderLabel[sizeof SfxConfig::folderLabel];  // the block's; empty: the dialog's own
  SysChar command[sizeof SfxConfig::autoRunCommand];   // the block's, as it stands
};

// The code page of the block's texts and of the notice: UTF-8 where the
// block says so, else 932.
inline UINT ConfigTextCodePage(const SfxConfig& config) {
  return (ConfigFlags(config) & kFlagUtf8Texts) ? CP_UTF8 : 932;
}

// No constructor: start-up makes it zero-filled.
struct Run {
  // The program's own file: it holds the configuration block and the
  // archive, and archive errors name it.
  SysChar executablePath[kPathBytes];
  // That file, opened once: the block, every pass and nothing else read
  // from it, so that no other file can take its place during the run.
  HANDLE ownFile;
  OwnZone zone;  // its download zone, given to every file written
  // The block as read from the file; nothing writes it afterwards.
  SfxConfig config;
  RunSettings settings;

  // What the run has done so far.
  SysChar destinationFolder[kDestinationFolderBytes];  // the accepted folder, unquoted
  std::uint64_t progressTotal;  // summed by the Test pass for the Extract pass's bar
  bool extracting;              // the passes have begun (extract button or unattended)
  bool cancelRequested;         // Cancel pressed while a pass runs
  bool aborted;                 // the last pass did not end whole, or the dialog closed before
  bool keptExisting;            // an existing file stayed in place of a member
  bool leftOldFile;             // a replaced file could not be deleted (it goes at restart)
  // The run's own temporary folder: everything it creates there is
  // recorded, and anything else found there ends the run.
  bool ownFolder;
  EntryLedger ledger;
  bool commandUnwatched;        // the command runs with nothing to wait for
  HANDLE commandProcess;        // the command, once started to be waited for
  CommandJob commandJob;        // and everything it starts
  int failureExitCode;          // the first failure's exit code (2, or 8), 0 while none

  // A failure: its exit code is kept unless an earlier one was, and text is
  // shown in a box with the error icon, owned by owner, unless the run is
  // unattended.
  void ShowFailure(HWND owner, const SysChar* text, const SysChar* caption, int exitCode);
  // "<file>" and the text of messageId, with the title as caption, as a
  // failure with exit code 2.
  void ReportFileError(HWND owner, UINT messageId, const SysChar* file);
  // The exit code of an unattended or temporary-folder run: the first
  // failure's, else 255 when it did not end whole, else 1 when existing
  // files were kept or an old file was left beside its replacement, else 0.
  int OutcomeExitCode() const;
};

// The extract button's check of a folder text (the edit's, or the offered
// one): true, with the folder unquoted in run.destinationFolder, when the
// text is not empty, and once unquoted at most 255 units and a full path.
// The quotes around a folder with blanks are not counted.
bool AcceptDestination(Run& run, const SysChar* text);

// The extract button's work on the accepted folder: the Test pass and, after
// its success, the Extract pass, both reporting to window (none when nobody
// watches), then the configured command if the options still ask for it.
void ExtractIntoDestination(Run& run, HWND window);
