// The main dialog: destination folder, options, and the extraction itself,
// which runs inside the extract button's handler on the one GUI thread.
#pragma once

#include <windows.h>

struct Run;

// Opens the main dialog on run, modally and without an owner. Returns 1 once
// the extract button has run its passes, 0 when the dialog was closed
// before, -1 when it could not be created.
int RunMainDialog(Run& run);

// The dialog's procedure; its creation parameter is the Run it works on.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
