// The main dialog: destination folder, options, and the extraction itself,
// which runs inside the extract button's handler on the one GUI thread.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The extract button's work on a folder text: refused (with the full-path
// box, unless unattended) when it is empty, longer than 255 bytes or no full
// path once unquoted; otherwise the input controls of dialog are disabled
// and the Test and, after its success, the Extract pass run, reporting to
// dialog. Unattended runs pass no dialog.
bool ExtractIntoFolder(HWND dialog, const char* text);
