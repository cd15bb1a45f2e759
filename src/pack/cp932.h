// Text for the stub and for LZH names is in code page 932 (Shift_JIS as
// Windows has it); the packer takes it as UTF-8 from its command line and from
// the file system.
#pragma once

#include <cstdint>
#include <string>

// Converts UTF-8 text to code page 932. False when the text is no valid
// UTF-8 or holds a character that code page 932 lacks; nothing is replaced
// by a best-fit or default character.
bool Utf8ToCp932(const std::string& utf8, std::string& cp932);

// Converts code page 932 text back to UTF-8; false when it is not valid 932.
bool Cp932ToUtf8(const std::string& cp932, std::string& utf8);

// Converts text of a Windows code page (932, 65001 for UTF-8, 1252, ...) to
// UTF-8; false when it is not valid text of that page or the page is unknown.
bool CodePageToUtf8(const std::string& text, std::uint32_t codePage, std::string& utf8);
