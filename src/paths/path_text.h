// Path text operations on ANSI byte strings in the process code page. They
// step over double-byte characters, so a trail byte that equals a separator
// (0x5C in Shift_JIS) is never taken for one. None asks the file system; all
// work in caller-supplied buffers and never write past the sizes they are given.
#pragma once

// The folder the user accepted: unquoted, at most 255 bytes.
constexpr unsigned kDestinationFolderBytes = 256;
extern char DestinationFolder[kDestinationFolderBytes];

// A volume root: "X:\" or "\\server\share\" (the whole path when the share
// part is incomplete), cut to fit.
constexpr unsigned kPathRootBytes = 260;

// The path a user typed, without the blanks and tabs before it and, when it
// is quoted, without its quotes and whatever follows the closing quote. An
// unquoted path keeps its trailing blanks. Cut to destSize on a character
// boundary.
void UnquotePath(char* dest, unsigned destSize, const char* text);

// A full path: a network path "\\..." or a drive path "X:\..." (any byte
// in the place of the drive letter).
bool IsFullPath(const char* path);

// The volume root of path into dest (kPathRootBytes); empty when the path is
// neither a drive path "X:\..." nor a UNC path "\\...".
void GetPathRoot(char* dest, const char* path);

// Appends a backslash unless the path already ends in one (a trail byte 0x5C
// does not count). False, with the path unchanged, when size has no room.
bool AddBackslash(char* path, unsigned size);

// folder, one backslash, name (one leading backslash of name is dropped).
// False when the result does not fit destSize; dest then holds what fitted,
// terminated on a character boundary.
bool JoinPath(char* dest, unsigned destSize, const char* folder, const char* name);

// Splits a command line into its program (quoted or up to the first blank or
// tab, cut to programSize) and returns where its parameters begin: after the
// blanks and tabs that follow the program, or at the end of the text.
const char* SplitCommand(char* program, unsigned programSize, const char* command);
