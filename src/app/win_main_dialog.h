// The main dialog: destination folder, options, and the extraction itself,
// which runs inside the extract button's handler on the one GUI thread.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
