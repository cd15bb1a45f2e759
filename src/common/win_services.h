// The stub's shell services that every layer above uses: the program's
// instance, the language it speaks, shell32's exports and the string table.
#pragma once

#include <windows.h>

#include "common/win_sys_char.h"

constexpr unsigned kPathBytes = MAX_PATH;  // 260
// A text of the string table: at most 255 units and the closing zero.
constexpr unsigned kLoadTextBytes = 256;

// The program's instance: every string, dialog and icon resource is its.
// Set once at start-up, before anything else runs.
extern HINSTANCE AppInstance;

// The language of every text and dialog the program shows. Both live in the
// program: the English string or dialog under its Japanese id plus
// kEnglishIdOffset (IDS_ENGLISH and IDD_ENGLISH of the resource script). The
// program picks the id itself: the resource loader of Windows 95 and NT 3.51
// takes the system's language and cannot be told otherwise.
enum class UiLanguage : unsigned char { Japanese, English };
constexpr UINT kEnglishIdOffset = 100;

// Set once at start-up (app/win_startup.cpp), before any
// text is loaded.
extern UiLanguage AppLanguage;

// An export of shell32, which every run has loaded (the auto-run imports
// ShellExecute); null where this system's shell lacks it (NT 3.51's lacks
// what came with the Windows 95 shell).
void* ShellExport(const char* name);

// An export of a module the program has loaded (kernel32, advapi32), looked
// up at run time; null where this system lacks it (Windows 95 lacks the
// security and job calls, NT 3.51 and 4.0 some of them).
void* SystemExport(const char* module, const char* name);
// The modules' names, once for the whole program.
extern const char kKernel32Dll[];
extern const char kShell32Dll[];
// The exports of module named in names (each name ended by a zero, the list
// by an empty name) into calls, in that order; false when the system lacks
// any of them (calls then holds nulls where it does).
bool SystemExports(const char* module, const char* names, void** calls);

// Loads a string of the string table, in AppLanguage, into the caller's
// buffer (size units, usually kLoadTextBytes), cut to fit; an id without a
// string gives an empty text. Returns the buffer.
SysChar* LoadText(UINT id, SysChar* buffer, unsigned size);

// Text that arrives as bytes (the block's fields, the notice, a member's
// name) in the program's kind, into dest (destUnits units, terminated). The
// 64-bit stub converts it from codePage (932, or CP_UTF8) itself, never
// through the system's ANSI code page; a dest of at least one unit per byte
// takes any text whole. The 32-bit stub takes the bytes as they stand, cut
// on a character boundary.
void DecodeText(const char* text, UINT codePage, SysChar* dest, unsigned destUnits);

// The id of a string or dialog in AppLanguage.
inline UINT InLanguage(UINT id) { return AppLanguage == UiLanguage::English ? id + kEnglishIdOffset : id; }

// The dialog template id in AppLanguage, as the resource functions take it.
inline const SysChar* DialogTemplate(UINT id) { return SysResourceId(InLanguage(id)); }

// Runs the modal dialog id, in AppLanguage, owned by owner, with param as
// its creation parameter; returns what the dialog ended with.
INT_PTR RunDialogBox(UINT id, HWND owner, DLGPROC procedure, LPARAM param);
