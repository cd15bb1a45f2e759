// The templates of paths/path_text.h, for the files that instantiate them.
#pragma once

#include "common/dbcs.h"
#include "paths/path_text.h"

namespace {
template <typename Unit>
const Unit* SkipBlanks(const Unit* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// Copies the first length units of src (fewer at a zero unit) into dest,
// cut to destSize on a character boundary. Returns false when it had to cut.
template <typename Unit>
bool CopySpan(Unit* dest, unsigned destSize, const Unit* src, unsigned length) {
  if (destSize == 0) return false;
  unsigned n = 0;
  while (n < length && src[n]) ++n;
  const bool whole = n < destSize;
  if (!whole) n = CharBoundaryPrefix(src, destSize - 1);
  for (unsigned i = 0; i < n; ++i) dest[i] = src[i];
  dest[n] = '\0';
  return whole;
}

// Position of the last character of a non-empty text, stepping over pairs
// from the start (the ANSI code pages cannot be walked backwards reliably).
template <typename Unit>
const Unit* LastCharacter(const Unit* text) {
  const Unit* last = text;
  for (const Unit* p = text; *p;) {
    last = p;
    p += CharUnits(p);
  }
  return last;
}
}  // namespace

template <typename Unit>
void UnquotePath(Unit* dest, unsigned destSize, const Unit* text) {
  const Unit* p = SkipBlanks(text);
  if (*p != '"') {
    CopyTextBounded(dest, p, destSize);
    return;
  }
  ++p;
  unsigned n = 0;
  while (p[n] && p[n] != '"') ++n;
  CopySpan(dest, destSize, p, n);
}

template <typename Unit>
void GetPathRoot(Unit* dest, const Unit* path) {
  dest[0] = '\0';
  if (path[0] == '\\' && path[1] == '\\') {
    // \\server\share\ : pass the backslash after the server, cut after the
    // one after the share. Without it the whole path is the root.
    CopyTextBounded(dest, path, kPathRootBytes);
    bool serverPassed = false;
    for (Unit* p = dest + 2; *p;) {
      const unsigned step = CharUnits(p);
      if (step == 1 && *p == '\\') {
        if (serverPassed) {
          p[1] = '\0';
          return;
        }
        serverPassed = true;
      }
      p += step;
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

template <typename Unit>
bool AddBackslash(Unit* path, unsigned size) {
  const unsigned n = TextLength(path);
  if (n > 0) {
    const Unit* last = LastCharacter(path);
    if (*last == '\\' && CharUnits(last) == 1) return true;
  }
  if (n + 2 > size) return false;
  path[n] = '\\';
  path[n + 1] = '\0';
  return true;
}

template <typename Unit>
bool JoinPath(Unit* dest, unsigned destSize, const Unit* folder, const Unit* name) {
  if (!CopySpan(dest, destSize, folder, ~0u)) return false;
  if (!AddBackslash(dest, destSize)) return false;
  if (*name == '\\') ++name;
  const unsigned used = TextLength(dest);
  return CopySpan(dest + used, destSize - used, name, ~0u);
}

template <typename Unit>
const Unit* SplitCommand(Unit* program, unsigned programSize, const Unit* command) {
  const Unit* p = SkipBlanks(command);
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

template <typename Unit>
bool IsFullPath(const Unit* path) {
  if (path[0] == '\\' && path[1] == '\\') return true;
  return path[0] && path[1] == ':' && path[2] == '\\';
}

#define QUORVEL_INSTANTIATE_PATH_TEXT(Unit)                                \
  template void UnquotePath(Unit*, unsigned, const Unit*);                 \
  template void GetPathRoot(Unit*, const Unit*);                           \
  template bool AddBackslash(Unit*, unsigned);                             \
  template bool JoinPath(Unit*, unsigned, const Unit*, const Unit*);       \
  template const Unit* SplitCommand(Unit*, unsigned, const Unit*);         \
  template bool IsFullPath(const Unit*);
