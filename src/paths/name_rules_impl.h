// The templates of paths/name_rules.h, for the files that instantiate them.
#pragma once

#include "common/dbcs.h"
#include "paths/name_rules.h"
#include "paths/path_text.h"

namespace {
// Units that no long file name may hold: the control characters, the
// separators, the drive and stream colon, the wildcards, the redirection
// characters and the quote. A surrogate that is not half of a pair is no
// character at all.
template <typename Unit>
bool ForbiddenInLongName(Unit unit) {
  const unsigned c = UnitValue(unit);
  if (c < 0x20 || c - 0xD800u < 0x800u) return true;
  switch (c) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
      return true;
    default:
      return false;
  }
}

// 8.3 names also refuse the blank, the punctuation that separated FAT names
// and switches, a second '.', and the all-ones unit (the byte 0xFF is no
// character of code page 932; 0xFFFF is none of Unicode).
template <typename Unit>
bool ForbiddenInShortName(Unit unit) {
  switch (UnitValue(unit)) {
    case ' ': case '+': case ',': case '.': case ';': case '=': case '[': case ']':
    case kAllOnesUnit<Unit>:
      return true;
    default:
      return ForbiddenInLongName(unit);
  }
}

template <typename Unit>
Unit UpperAscii(Unit c) {
  return (c >= 'a' && c <= 'z') ? static_cast<Unit>(c - 'a' + 'A') : c;
}

template <typename Unit>
bool SameWord(const Unit* text, unsigned length, const char* upper) {
  unsigned i = 0;
  for (; i < length; ++i)
    if (!upper[i] || UpperAscii(text[i]) != upper[i]) return false;
  return upper[i] == '\0';
}

// The digit of COM1 to COM9 and LPT1 to LPT9; in UTF-16 Windows also takes
// the superscripts one, two and three for one.
template <typename Unit>
bool IsPortDigit(Unit unit) {
  const unsigned c = UnitValue(unit);
  return (c >= '0' && c <= '9') || (sizeof(Unit) == 2 && (c == 0xB9 || c == 0xB2 || c == 0xB3));
}

// Windows opens a device, not a file, for these names whatever extension
// follows and whatever blanks end the base name.
constexpr const char* kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};

template <typename Unit>
bool IsDeviceName(const Unit* component, unsigned length) {
  unsigned base = 0;
  while (base < length && component[base] != '.') ++base;
  while (base > 0 && component[base - 1] == ' ') --base;
  for (const char* device : kDevices)
    if (SameWord(component, base, device)) return true;
  if (base == 4 && IsPortDigit(component[3]))
    return SameWord(component, 3, "COM") || SameWord(component, 3, "LPT");
  return false;
}

template <typename Unit>
bool OnlyDotsAndBlanks(const Unit* component, unsigned length) {
  for (unsigned i = 0; i < length; ++i)
    if (component[i] != '.' && component[i] != ' ') return false;
  return true;
}
}  // namespace

template <typename Unit>
Unit* SanitizeSpan(Unit* span, unsigned limit, NameRules rules) {
  unsigned i = 0;
  while (i < limit && span[i]) {
    if (IsLead(span[i])) {
      // The pair stays whole, or goes whole when its second unit is missing
      // or would fall beyond the cut. A high surrogate followed by anything
      // but a low one is no pair: it is replaced below.
      if (i + 1 >= limit || !span[i + 1]) break;
      if (sizeof(Unit) == 1 || IsTrail(span[i + 1])) {
        i += 2;
        continue;
      }
    }
    const bool forbidden = rules == ShortNames ? ForbiddenInShortName(span[i])
                                               : ForbiddenInLongName(span[i]);
    if (forbidden) span[i] = '_';
    ++i;
  }
  span[i] = '\0';
  return span + i;
}

template <typename Unit>
void SanitizeComponent(Unit* component, NameRules rules) {
  if (rules == LongNames) {
    SanitizeSpan(component, kLongNameUnits, rules);
    return;
  }
  // The last '.' splits base and extension; no second unit of a pair is
  // below 0x40, so a plain scan finds it.
  Unit* dot = nullptr;
  for (Unit* p = component; *p; ++p)
    if (*p == '.') dot = p;
  if (!dot) {
    SanitizeSpan(component, kShortBaseUnits, rules);
    return;
  }
  *dot = '\0';
  Unit* baseEnd = SanitizeSpan(component, kShortBaseUnits, rules);
  Unit* extension = dot + 1;
  Unit* extensionEnd = SanitizeSpan(extension, kShortExtensionUnits, rules);
  // The cut extension moves down to follow the cut base; never upward.
  *baseEnd = '.';
  Unit* out = baseEnd + 1;
  for (Unit* p = extension; p <= extensionEnd; ++p) *out++ = *p;
}

template <typename Unit>
void SanitizeRelativePath(Unit* path, NameRules rules) {
  Unit* read = path;
  Unit* write = path;
  if (*read == '/') ++read, ++write;
  for (;;) {
    // '/' is below 0x40, so it is never the second unit of a pair: a plain
    // scan splits.
    Unit* end = read;
    while (*end && *end != '/') ++end;
    const bool last = *end == '\0';
    *end = '\0';
    SanitizeComponent(read, rules);
    for (Unit* p = read; *p;) *write++ = *p++;
    if (last) break;
    *write++ = '/';
    read = end + 1;
  }
  *write = '\0';
}

template <typename Unit>
bool IsContainedMemberPath(const Unit* path) {
  bool named = false;
  const Unit* component = path;
  for (const Unit* p = path;; ++p) {
    const Unit c = *p;
    if (c == '/' || c == '\0') {
      const unsigned length = static_cast<unsigned>(p - component);
      if (length > 0) {
        if (OnlyDotsAndBlanks(component, length) || IsDeviceName(component, length))
          return false;
        named = true;
      }
      if (c == '\0') return named;
      component = p + 1;
      continue;
    }
    if (c == ':' || c == '\\') return false;
    if (IsLead(c)) {
      // A lead without a real second unit is no character at all; Windows
      // would read it some other way.
      if (!IsTrail(p[1])) return false;
      ++p;
    }
  }
}

template <typename Unit>
bool PrepareFolderPrefix(Unit* dest, unsigned destSize, const Unit* folder, unsigned rootLength,
                         NameRules rules) {
  if (!JoinPath(dest, destSize, folder, EmptyText(Unit{}))) return false;
  const unsigned length = TextLength(dest);
  if (rootLength > length) rootLength = length;
  NormalizeSeparators(dest + rootLength, '/');
  SanitizeRelativePath(dest + rootLength, rules);
  return true;
}

template <typename Unit>
MemberPathResult BuildMemberPath(Unit* dest, unsigned destSize, const Unit* prefix,
                                 const Unit* memberName, NameRules rules) {
  // The prefix ends in its separator already, so the name follows directly.
  unsigned used = 0;
  while (prefix[used]) {
    if (used + 1 >= destSize) return MemberPathResult::TooLong;
    dest[used] = prefix[used];
    ++used;
  }
  if (*memberName == '\\') ++memberName;
  Unit* member = dest + used;
  if (CopyTextBounded(member, memberName, destSize - used) != TextLength(memberName))
    return MemberPathResult::TooLong;
  NormalizeSeparators(member, '/');
  SanitizeRelativePath(member, rules);
  return IsContainedMemberPath(member) ? MemberPathResult::Inside : MemberPathResult::Outside;
}

#define QUORVEL_INSTANTIATE_NAME_RULES(Unit)                                                     \
  template Unit* SanitizeSpan(Unit*, unsigned, NameRules);                                       \
  template void SanitizeComponent(Unit*, NameRules);                                             \
  template void SanitizeRelativePath(Unit*, NameRules);                                          \
  template bool IsContainedMemberPath(const Unit*);                                              \
  template bool PrepareFolderPrefix(Unit*, unsigned, const Unit*, unsigned, NameRules);          \
  template MemberPathResult BuildMemberPath(Unit*, unsigned, const Unit*, const Unit*, NameRules);
