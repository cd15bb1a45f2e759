// What the packer prints for people goes to a terminal, which acts on the
// control characters in it: ESC starts a sequence that may erase the line,
// move the cursor or retitle the window, CR returns over what was printed,
// BEL rings. Names and texts that come from an archive, a file system or a
// command line reach the terminal only through TerminalText, which shows
// each such character as \xNN, the way a byte that is no text is shown.
// (The JSON documents keep the exact text: JSON escapes it itself.)
#pragma once

#include <cstdint>
#include <string>

enum class ShownAs {
  Line,   // UTF-8 text on one line
  Lines,  // UTF-8 text of several lines: its line feeds (also after CR) and tabs kept
  Bytes,  // bytes of no known encoding: only printable ASCII as it is
};

// The text with C0 controls (0x00-0x1F), DEL and C1 controls (U+0080 to
// U+009F) shown as \xNN; in UTF-8 text, every byte that is no part of a
// valid sequence too.
std::string TerminalText(const std::string& text, ShownAs as = ShownAs::Line);

// Text of a code page (a text of the configuration block: 932, or 65001 for
// UTF-8) in UTF-8, shown as `as`; text that is no valid text of the code
// page as ShownAs::Bytes.
std::string TextForTerminal(const std::string& text, std::uint32_t codePage,
                            ShownAs as = ShownAs::Line);
std::string Cp932ForTerminal(const std::string& cp932, ShownAs as = ShownAs::Line);
