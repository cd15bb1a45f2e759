// The file-name rules of a destination volume and the sanitising that turns an
// archive member's stored name into a name the volume accepts and that stays
// inside the destination folder. The rules are one for bytes in the process
// code page and for UTF-16 (common/dbcs.h): the same units are replaced, the
// same limits hold, counted in units (bytes for char), and a pair is never
// split, replaced or cut in half.
#pragma once

// Passed as an integer, as the volume query decides it once per pass.
enum NameRules : int {
  ShortNames = 0,  // 8.3 names: the volume's maximum component length is not 255
  LongNames = 1,   // names up to 255 units, or the volume could not be asked
};

// 255 bytes on the volumes of Windows 95; 255 UTF-16 units on NTFS.
constexpr unsigned kLongNameUnits = 255;
constexpr unsigned kShortBaseUnits = 8;
constexpr unsigned kShortExtensionUnits = 3;

// Replaces, within the first limit units of span, every unit the rules forbid
// by '_', then cuts the span after limit units. Both rules forbid the control
// characters 0x01-0x1F, '"', '*', '/', ':', '<', '>', '?', backslash, '|' and a
// surrogate that is half of no pair; ShortNames also the blank, '+', ',', '.',
// ';', '=', '[', ']' and the all-ones unit (0xFF, 0xFFFF). A lead whose second
// unit would fall beyond the cut, or that ends the text, goes too. Returns the
// position of the new terminating zero.
template <typename Unit>
Unit* SanitizeSpan(Unit* span, unsigned limit, NameRules rules);

// One path component, in place: under LongNames cleaned and cut to 255 units;
// under ShortNames base cut to 8 units and extension (after the last '.') to 3.
template <typename Unit>
void SanitizeComponent(Unit* component, NameRules rules);

// Every '/'-separated component of path, in place. A leading '/' and empty
// components (two slashes in a row) stay; the path only shrinks.
template <typename Unit>
void SanitizeRelativePath(Unit* path, NameRules rules);

// True when a sanitised member path (components separated by '/') names a
// plain file or folder below the folder it is appended to: at least one
// non-empty component, no component of only dots and blanks (which Windows
// resolves upward or trims to nothing), no device name such as CON, NUL or
// COM1 with or without an extension, no ':' (drive or stream), and no
// backslash outside pairs.
template <typename Unit>
bool IsContainedMemberPath(const Unit* path);

// The destination folder as every member path begins: folder, one backslash,
// the separators after the root (rootLength units) turned into '/' and the
// folder's own components sanitised as the members' are. False when it does
// not fit destSize.
template <typename Unit>
bool PrepareFolderPrefix(Unit* dest, unsigned destSize, const Unit* folder, unsigned rootLength,
                         NameRules rules);

enum class MemberPathResult { Inside, TooLong, Outside };

// prefix (from PrepareFolderPrefix), then the member's name with one leading
// backslash dropped, separators turned into '/' and every component
// sanitised. Outside when the sanitised name could leave the folder or name
// a device or stream; TooLong when the path does not fit destSize.
template <typename Unit>
MemberPathResult BuildMemberPath(Unit* dest, unsigned destSize, const Unit* prefix,
                                 const Unit* memberName, NameRules rules);
