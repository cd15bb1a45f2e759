#include "paths/path_text.h"

#include "common/dbcs.h"

char DestinationFolder[kDestinationFolderBytes];

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

unsigned TextLength(const char* text) {
  unsigned n = 0;
  while (text[n]) ++n;
  return n;
}

// Copies the first length bytes of src (fewer at a zero byte) into dest,
// cut to destSize on a character boundary. Returns false when it had to cut.
bool CopySpan(char* dest, unsigned destSize, const char* src, unsigned length) {
  if (destSize == 0) return false;
  unsigned n = 0;
  while (n < length && src[n]) ++n;
  const bool whole = n < destSize;
  if (!whole) n = CharBoundaryPrefix(src, destSize - 1);
  for (unsigned i = 0; i < n; ++i) dest[i] = src[i];
  dest[n] = '\0';
  return whole;
}

// Position of the last character of a non-empty text, stepping over
// double-byte characters from the start (the ANSI code pages cannot be
// walked backwards reliably).
const char* LastCharacter(const char* text) {
  const char* last = text;
  for (const char* p = text; *p;) {
    last = p;
    p += (IsLead(*p) && p[1]) ? 2 : 1;
  }
  return last;
}
}  // namespace

void UnquotePath(char* dest, unsigned destSize, const char* text) {
  const char* p = SkipBlanks(text);
  if (*p != '"') {
    CopyTextBounded(dest, p, destSize);
    return;
  }
  ++p;
  unsigned n = 0;
  while (p[n] && p[n] != '"') ++n;
  CopySpan(dest, destSize, p, n);
}

void GetPathRoot(char* dest, const char* path) {
  dest[0] = '\0';
  if (path[0] == '\\' && path[1] == '\\') {
    // \\server\share\ : pass the backslash after the server, cut after the
    // one after the share. Without it the whole path is the root.
    CopyTextBounded(dest, path, kPathRootBytes);
    bool serverPassed = false;
    for (char* p = dest + 2; *p;) {
      if (IsLead(*p) && p[1]) {
        p += 2;
        continue;
      }
      if (*p == '\\') {
        if (serverPassed) {
          p[1] = '\0';
          return;
        }
        serverPassed = true;
      }
      ++p;
    }
    return;
  }
  if (path[0] && path[1] == ':' && path[2] == '\\') {
    dest[0] = path[0];
    dest[1] = ':';
    dest[2] = '\\';
    dest[3] = '\0';
  }
}

bool AddBackslash(char* path, unsigned size) {
  const unsigned n = TextLength(path);
  if (n > 0) {
    const char* last = LastCharacter(path);
    if (*last == '\\' && !(IsLead(*last) && last[1])) return true;
  }
  if (n + 2 > size) return false;
  path[n] = '\\';
  path[n + 1] = '\0';
  return true;
}

bool JoinPath(char* dest, unsigned destSize, const char* folder, const char* name) {
  if (!CopySpan(dest, destSize, folder, ~0u)) return false;
  if (!AddBackslash(dest, destSize)) return false;
  if (*name == '\\') ++name;
  const unsigned used = TextLength(dest);
  return CopySpan(dest + used, destSize - used, name, ~0u);
}

const char* SplitCommand(char* program, unsigned programSize, const char* command) {
  const char* p = SkipBlanks(command);
  unsigned n = 0;
  if (*p == '"') {
    ++p;
    while (p[n] && p[n] != '"') ++n;
    CopySpan(program, programSize, p, n);
    p += n;
    // An opening quote that is never closed makes the rest the program and
    // leaves no parameters.
    if (*p == '"') ++p;
  } else {
    while (p[n] && !IsBlank(p[n])) ++n;
    CopySpan(program, programSize, p, n);
    p += n;
  }
  return SkipBlanks(p);
}

bool IsFullPath(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') return true;
  return path[0] && path[1] == ':' && path[2] == '\\';
}
