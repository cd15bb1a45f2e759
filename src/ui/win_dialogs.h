// The stub's dialogs that ask: the options and overwrite questions, and the
// folder chooser.
#pragma once

#include <windows.h>

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the overwrite question for an existing file at path, owned by owner.
// Returns IDYES, IDNO, IDCANCEL or IDC_OVERWRITE_ALL.
int RunOverwriteDialog(HWND owner, const char* path);

// Moves the window, keeping its size, to the centre of the primary screen.
void CentreOnScreen(HWND window);

// Lets the user choose a folder; path (at least 260 bytes) holds the initial
// folder and, when the result is non-zero, the chosen one.
int ChooseFolder(HWND owner, char* path);
// The same with the shell's folder browser taken from the module shell; one
// that lacks it (NT 3.51's shell32) gets the old-style chooser.
int ChooseFolderWith(HMODULE shell, HWND owner, char* path);

// 1 when the shell's folder browser offers its newer form (edit box, new-style dialog).
int ShellHasNewFolderBrowser(DWORD version);
