// Path text operations on bytes in the process code page and on UTF-16 alike
// (common/dbcs.h). They step over pairs, so a trail byte that equals a
// separator (0x5C in Shift_JIS) is never taken for one. None asks the file
// system; all work in caller-supplied buffers and never write past the sizes
// they are given, which count units (bytes for char).
#pragma once

// A destination folder: unquoted, at most 255 bytes.
constexpr unsigned kDestinationFolderBytes = 256;

// A volume root: "X:\" or "\\server\share\" (the whole path when the share
// part is incomplete), cut to fit. Units of the root's buffer.
constexpr unsigned kPathRootBytes = 260;

// The path a user typed, without the blanks and tabs before it and, when it
// is quoted, without its quotes and whatever follows the closing quote. An
// unquoted path keeps its trailing blanks. Cut to destSize on a character
// boundary.
template <typename Unit>
void UnquotePath(Unit* dest, unsigned destSize, const Unit* text);

// A full path: a network path "\\..." or a drive path "X:\..." (any unit
// in the place of the drive letter).
template <typename Unit>
bool IsFullPath(const Unit* path);

// The volume root of path into dest (kPathRootBytes units); empty when the
// path is neither a drive path "X:\..." nor a UNC path "\\...".
template <typename Unit>
void GetPathRoot(Unit* dest, const Unit* path);

// Appends a backslash unless the path already ends in one (a trail byte 0x5C
// does not count). False, with the path unchanged, when size has no room.
template <typename Unit>
bool AddBackslash(Unit* path, unsigned size);

// folder, one backslash, name (one leading backslash of name is dropped).
// False when the result does not fit destSize; dest then holds what fitted,
// terminated on a character boundary.
template <typename Unit>
bool JoinPath(Unit* dest, unsigned destSize, const Unit* folder, const Unit* name);

// Splits a command line into its program (quoted or up to the first blank or
// tab, cut to programSize) and returns where its parameters begin: after the
// blanks and tabs that follow the program, or at the end of the text.
template <typename Unit>
const Unit* SplitCommand(Unit* program, unsigned programSize, const Unit* command);
