#include "paths/name_rules.h"

#include "common/dbcs.h"
#include "paths/path_text.h"

namespace {
// Bytes that no long file name may hold: the control characters, the
// separators, the drive and stream colon, the wildcards, the redirection
// characters and the quote.
bool ForbiddenInLongName(unsigned char c) {
  if (c < 0x20) return true;
  switch (c) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
      return true;
    default:
      return false;
  }
}

// 8.3 names also refuse the blank, the punctuation that separated FAT names
// and switches, a second '.', and 0xFF.
bool ForbiddenInShortName(unsigned char c) {
  switch (c) {
    case ' ': case '+': case ',': case '.': case ';': case '=': case '[': case ']': case 0xFF:
      return true;
    default:
      return ForbiddenInLongName(c);
  }
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameWord(const char* text, unsigned length, const char* upper) {
  unsigned i = 0;
  for (; i < length; ++i)
    if (!upper[i] || UpperAscii(text[i]) != upper[i]) return false;
  return upper[i] == '\0';
}

// Windows opens a device, not a file, for these names whatever extension
// follows and whatever blanks end the base name.
bool IsDeviceName(const char* component, unsigned length) {
  unsigned base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices)
    if (SameWord(component, base, device)) return true;
  if (base == 4 && component[3] >= '0' && component[3] <= '9')
    return SameWord(component, 3, "COM") || SameWord(component, 3, "LPT");
  return false;
}

unsigned TextLength(const char* text) {
  unsigned n = 0;
  while (text[n]) ++n;
  return n;
}

bool OnlyDotsAndBlanks(const char* component, unsigned length) {
  for (unsigned i = 0; i < length; ++i)
    if (component[i] != '.' && component[i] != ' ') return false;
  return true;
}
}  // namespace

char* SanitizeSpan(char* span, unsigned limit, NameRules rules) {
  unsigned i = 0;
  while (i < limit && span[i]) {
    if (IsLead(span[i])) {
      // The pair stays whole, or goes whole when its trail byte is missing
      // or would fall beyond the cut.
      if (i + 1 >= limit || !span[i + 1]) break;
      i += 2;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(span[i]);
    if (rules == ShortNames ? ForbiddenInShortName(c) : ForbiddenInLongName(c)) span[i] = '_';
    ++i;
  }
  span[i] = '\0';
  return span + i;
}

void SanitizeComponent(char* component, NameRules rules) {
  if (rules == LongNames) {
    SanitizeSpan(component, kLongNameBytes, rules);
    return;
  }
  // The last '.' splits base and extension; no trail byte is below 0x40,
  // so a plain byte search finds it.
  char* dot = nullptr;
  for (char* p = component; *p; ++p)
    if (*p == '.') dot = p;
  if (!dot) {
    SanitizeSpan(component, kShortBaseBytes, rules);
    return;
  }
  *dot = '\0';
  char* baseEnd = SanitizeSpan(component, kShortBaseBytes, rules);
  char* extension = dot + 1;
  char* extensionEnd = SanitizeSpan(extension, kShortExtensionBytes, rules);
  // The cut extension moves down to follow the cut base; never upward.
  *baseEnd = '.';
  char* out = baseEnd + 1;
  for (char* p = extension; p <= extensionEnd; ++p) *out++ = *p;
}

void SanitizeRelativePath(char* path, NameRules rules) {
  char* read = path;
  char* write = path;
  if (*read == '/') ++read, ++write;
  for (;;) {
    // '/' is below 0x40, so it is never a trail byte: a plain scan splits.
    char* end = read;
    while (*end && *end != '/') ++end;
    const bool last = *end == '\0';
    *end = '\0';
    SanitizeComponent(read, rules);
    for (char* p = read; *p;) *write++ = *p++;
    if (last) break;
    *write++ = '/';
    read = end + 1;
  }
  *write = '\0';
}

bool IsContainedMemberPath(const char* path) {
  bool named = false;
  const char* component = path;
  for (const char* p = path;; ++p) {
    const char c = *p;
    if (c == '/' || c == '\0') {
      const unsigned length = static_cast<unsigned>(p - component);
      if (length > 0) {
        if (OnlyDotsAndBlanks(component, length) || IsDeviceName(component, length)) return false;
        named = true;
      }
      if (c == '\0') return named;
      component = p + 1;
      continue;
    }
    if (c == ':' || c == '\\') return false;
    if (IsLead(c)) {
      // A lead byte without a real trail byte (all are 0x40 and above) is no
      // character at all; Windows would read it some other way.
      if (static_cast<unsigned char>(p[1]) < 0x40) return false;
      ++p;
    }
  }
}

bool PrepareFolderPrefix(char* dest, unsigned destSize, const char* folder,
                         unsigned rootLength, NameRules rules) {
  if (!JoinPath(dest, destSize, folder, "")) return false;
  unsigned length = 0;
  while (dest[length]) ++length;
  if (rootLength > length) rootLength = length;
  NormalizeSeparators(dest + rootLength, '/');
  SanitizeRelativePath(dest + rootLength, rules);
  return true;
}

MemberPathResult BuildMemberPath(char* dest, unsigned destSize, const char* prefix,
                                 const char* memberName, NameRules rules) {
  // The prefix ends in its separator already, so the name follows directly.
  unsigned used = 0;
  while (prefix[used]) {
    if (used + 1 >= destSize) return MemberPathResult::TooLong;
    dest[used] = prefix[used];
    ++used;
  }
  if (*memberName == '\\') ++memberName;
  char* member = dest + used;
  if (CopyTextBounded(member, memberName, destSize - used) != TextLength(memberName))
    return MemberPathResult::TooLong;
  NormalizeSeparators(member, '/');
  SanitizeRelativePath(member, rules);
  return IsContainedMemberPath(member) ? MemberPathResult::Inside : MemberPathResult::Outside;
}
