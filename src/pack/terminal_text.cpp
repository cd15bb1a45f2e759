#include "pack/terminal_text.h"

#include <cstddef>

#include "pack/cp932.h"

namespace {

void AppendEscaped(std::string& out, unsigned value) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[(value >> 4) & 15];
  out += kDigits[value & 15];
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at text[i], or 0: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::size_t SequenceLength(const std::string& text, std::size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (i + length > text.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(text[i + 1]);
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return 0;
  return length;
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
    const std::size_t length = (c >= 0x80 && as != ShownAs::Bytes) ? SequenceLength(text, i) : 0;
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

std::string Cp932ForTerminal(const std::string& cp932, ShownAs as) {
  std::string utf8;
  return Cp932ToUtf8(cp932, utf8) ? TerminalText(utf8, as) : TerminalText(cp932, ShownAs::Bytes);
}
