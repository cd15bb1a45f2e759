// How the packer stores member names. A name whose every component has a
// code page 932 form is stored in it, byte for byte as always. Any other
// name is stored twice: exactly, in UTF-16 (extended headers 0x44 and 0x45),
// for the readers that know those headers; and as a stand-in in the byte
// fields (0x01, 0x02) for those that do not: each component that code page
// 932 lacks a character of keeps its characters that the code page has, and
// writes every other UTF-16 unit, and '#' itself, as '#' and four
// upper-case hex digits ("café.txt" is "caf#00E9.txt"). Stand-ins are
// legal on Windows, never collide with each other or with a name stored
// as it is (another gets "~" and eight hex digits), and keep the joined
// name within 255 bytes (a longer one is cut and gets the same tag).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pack/archive_writer.h"

// The escape that starts each written unit of a stand-in.
constexpr char kStandInEscape = '#';

// Names sources[first] onwards from their displayName (UTF-8, '/' after each
// folder; a folder's own name ends in '/'; each folder before what it
// holds). False with a message naming the member when two members would
// have the same name, or a name is too long: more than 255 bytes in code
// page 932, or more than 255 UTF-16 units.
bool NameMembers(std::vector<PackSource>& sources, std::size_t first, std::string& error);

// True when the member's name is stored as a stand-in.
bool HasStandInName(const MemberEntry& entry);
