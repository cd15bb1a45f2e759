// The stub's dialogs that ask: the options and overwrite questions, and the
// folder chooser. Each dialog gets what it shows and changes through its
// creation parameter, kept in its DWLP_USER slot: no dialog reads a global.
#pragma once

#include <windows.h>

#include "common/run_state.h"
#include "common/win_sys_char.h"

// Opens the options dialog owned by owner on the run's options; OK stores
// the check boxes into them, Cancel leaves them as they were. command is the
// configured command as the block holds it, shown as it stands; when it is
// empty the auto-run box is greyed and stays unchecked.
void RunOptionsDialog(HWND owner, RunOptions& options, const SysChar* command);

// Opens the overwrite question for an existing file at path, owned by owner,
// with title as its caption. Returns IDYES, IDNO, IDCANCEL or
// IDC_OVERWRITE_ALL.
int RunOverwriteDialog(HWND owner, const SysChar* title, const SysChar* path);

// Moves the window, keeping its size, to the centre of the primary screen.
void CentreOnScreen(HWND window);

// Lets the user choose a folder; path (at least 260 units) holds the initial
// folder and, when the result is non-zero, the chosen one.
int ChooseFolder(HWND owner, SysChar* path);
// The same with the shell's folder browser taken from the module shell; one
// that lacks it (NT 3.51's shell32) gets the old-style chooser.
int ChooseFolderWith(HMODULE shell, HWND owner, SysChar* path);

// 1 when the shell's folder browser offers its newer form (edit box, new-style dialog).
int ShellHasNewFolderBrowser(DWORD version);
