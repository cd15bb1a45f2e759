// What the packer prints for people goes to a terminal, which acts on the
// control characters in it: ESC starts a sequence that may erase the line,
// move the cursor or retitle the window, CR returns over what was printed,
// BEL rings. Names and texts that come from an archive, a file system or a
// command line reach the terminal only through TerminalText, which shows
// each such character as \xNN, the way a byte that is no text is shown.
// (The JSON documents keep the exact text: JSON escapes it itself.)
#pragma once

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

// Code page 932 text (a member name, a text of the configuration block) in
// UTF-8, shown as `as`; text that is no valid code page 932 as ShownAs::Bytes.
std::string Cp932ForTerminal(const std::string& cp932, ShownAs as = ShownAs::Line);
