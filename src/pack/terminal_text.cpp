#include "pack/terminal_text.h"

#include <cstddef>

#include "common/lzh_format.h"
#include "pack/cp932.h"
#include "pack/unicode_text.h"

namespace {

void AppendEscaped(std::string& out, unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[(value >> 4) & 15];
  out += kDigits[value & 15];
}

bool KeptInLines(const std::string& text, std::size_t i) {
  const char c = text[i];
  return c == '\n' || c == '\t' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
}

}  // namespace

std::string TerminalText(const std::string& text, ShownAs as) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c < 0x80 && as == ShownAs::Lines && KeptInLines(text, i)) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = (c >= 0x80 && as != ShownAs::Bytes) ? Utf8SequenceLength(text, i) : 0;
    if (length == 0) {
      AppendEscaped(out, c);
      ++i;
    } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // A C1 control, U+0080 to U+009F: shown by its code point.
      AppendEscaped(out, static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string TextForTerminal(const std::string& text, std::uint32_t codePage, ShownAs as) {
  std::string utf8;
  return CodePageToUtf8(text, codePage, utf8) ? TerminalText(utf8, as)
                                              : TerminalText(text, ShownAs::Bytes);
}

std::string Cp932ForTerminal(const std::string& cp932, ShownAs as) {
  return TextForTerminal(cp932, lzh::kCodePageShiftJis, as);
}
