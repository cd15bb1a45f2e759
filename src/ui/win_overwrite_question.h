// The question asked before an existing file is replaced.
#pragma once

#include <windows.h>

// The answer for "replace this and every later file without asking".
constexpr int kOverwriteAll = 1004;

// Asks whether the existing file at path may be replaced. Returns IDYES,
// IDNO, IDCANCEL or kOverwriteAll.
int AskOverwrite(HWND owner, const char* path);
