// The file-name rules of a destination volume and the sanitising that turns an
// archive member's stored name into a name the volume accepts and that stays
// inside the destination folder.
#pragma once

// Passed as an integer, as the volume query decides it once per pass.
enum NameRules : int {
  ShortNames = 0,  // 8.3 names: the volume's maximum component length is not 255
  LongNames = 1,   // names up to 255 bytes, or the volume could not be asked
};

constexpr unsigned kLongNameBytes = 255;
constexpr unsigned kShortBaseBytes = 8;
constexpr unsigned kShortExtensionBytes = 3;

// Replaces, within the first limit bytes of span, every byte the rules forbid
// by '_' (double-byte characters are left whole; both rules forbid the
// control bytes 0x01-0x1F, which Windows refuses in any name), then cuts the span after
// limit bytes. A lead byte whose trail byte would fall beyond the cut, or that
// ends the text, goes too. Returns the position of the new terminating zero.
char* SanitizeSpan(char* span, unsigned limit, NameRules rules);

// One path component, in place: under LongNames cleaned and cut to 255 bytes;
// under ShortNames base cut to 8 bytes and extension (after the last '.') to 3.
void SanitizeComponent(char* component, NameRules rules);

// Every '/'-separated component of path, in place. A leading '/' and empty
// components (two slashes in a row) stay; the path only shrinks.
void SanitizeRelativePath(char* path, NameRules rules);

// True when a sanitised member path (components separated by '/') names a
// plain file or folder below the folder it is appended to: at least one
// non-empty component, no component of only dots and blanks (which Windows
// resolves upward or trims to nothing), no device name such as CON, NUL or
// COM1 with or without an extension, no ':' (drive or stream), and no
// backslash outside double-byte characters.
bool IsContainedMemberPath(const char* path);

// The destination folder as every member path begins: folder, one backslash,
// the separators after the root (rootLength bytes) turned into '/' and the
// folder's own components sanitised as the members' are. False when it does
// not fit destSize.
bool PrepareFolderPrefix(char* dest, unsigned destSize, const char* folder,
                         unsigned rootLength, NameRules rules);

enum class MemberPathResult { Inside, TooLong, Outside };

// prefix (from PrepareFolderPrefix), then the member's name with one leading
// backslash dropped, separators turned into '/' and every component
// sanitised. Outside when the sanitised name could leave the folder or name
// a device or stream; TooLong when the path does not fit destSize.
MemberPathResult BuildMemberPath(char* dest, unsigned destSize, const char* prefix,
                                 const char* memberName, NameRules rules);
