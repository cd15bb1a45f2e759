// What the packer prints of a name or text: every control character that a
// terminal would act on shown as \xNN, whatever the text's form; line feeds
// kept only where a text of several lines is shown.
#include "pack/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* what;
  std::string text;
  ShownAs as;
  std::string shown;
};

TEST(PackTerminalText, ShowsEveryControlCharacterEscaped) {
  const Case cases[] = {
      {"plain and Japanese text as it is", "a b/日本語.txt", ShownAs::Line, "a b/日本語.txt"},
      {"ESC, BEL, CR, DEL", "x\x1b[2K\r\a\x7fy", ShownAs::Line, "x\\x1B[2K\\x0D\\x07\\x7Fy"},
      {"NUL and TAB and LF on one line", std::string("a\0b\tc\n", 6), ShownAs::Line,
       "a\\x00b\\x09c\\x0A"},
      {"C1 controls once decoded (U+0085, U+009B)", "a\xc2\x85" "b\xc2\x9b" "c", ShownAs::Line,
       "a\\x85b\\x9Bc"},
      {"U+00A0 and after are text", "\xc2\xa0\xc3\xa9", ShownAs::Line, "\xc2\xa0\xc3\xa9"},
      {"bytes that are no UTF-8", "a\x81z\xe3\x81", ShownAs::Line, "a\\x81z\\xE3\\x81"},
      {"an overlong form and a surrogate", "\xc0\xaf\xed\xa0\x80", ShownAs::Line,
       "\\xC0\\xAF\\xED\\xA0\\x80"},
      {"lines keep LF, CR LF and TAB", "one\r\n\ttwo\nthree", ShownAs::Lines, "one\r\n\ttwo\nthree"},
      {"lines escape a lone CR and ESC", "one\rtwo\x1b]0;t\a", ShownAs::Lines,
       "one\\x0Dtwo\\x1B]0;t\\x07"},
      {"bytes: everything outside printable ASCII", "a\x93\xfa\x1b", ShownAs::Bytes,
       "a\\x93\\xFA\\x1B"},
  };
  for (const Case& c : cases) EXPECT_EQ(TerminalText(c.text, c.as), c.shown) << c.what;
}

TEST(PackTerminalText, ShowsCodePage932TextDecodedAndEscaped) {
  EXPECT_EQ(Cp932ForTerminal("\x93\xfa\x1b[31m"), "日\\x1B[31m");
  // Not valid code page 932 (a lead byte without its trail byte): its bytes.
  EXPECT_EQ(Cp932ForTerminal("a\x81\r"), "a\\x81\\x0D");
}

}  // namespace
