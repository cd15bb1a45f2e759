// UTF-8 and UTF-16 for the packer, which keeps every name and text as UTF-8
// and writes UTF-16 where the archive holds it (extended headers 0x44, 0x45).
#pragma once

#include <cstddef>
#include <string>

// The length of the valid UTF-8 sequence at text[i], or 0: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t i);

bool IsValidUtf8(const std::string& text);

// False for text that is no valid UTF-8.
bool Utf8ToUtf16(const std::string& utf8, std::u16string& utf16);
// False for a surrogate that is half of no pair, which UTF-8 cannot carry.
bool Utf16ToUtf8(const std::u16string& utf16, std::string& utf8);
