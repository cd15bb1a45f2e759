#include "pack/member_names.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "common/dbcs.h"
#include "common/lzh_format.h"
#include "pack/cp932.h"
#include "pack/unicode_text.h"

namespace {

constexpr char kSeparator = static_cast<char>(lzh::kDirectorySeparator);
constexpr char16_t kUtf16Separator = lzh::kUtf16DirectorySeparator;
constexpr std::size_t kEscapedUnitBytes = 5;  // '#' and four hex digits
constexpr std::size_t kTagBytes = 9;          // '~' and eight hex digits
// A cut stand-in keeps the extension of at most this many bytes.
constexpr std::size_t kKeptExtensionBytes = 16;
constexpr unsigned kStandInAttempts = 100;

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The components of a display name and whether it names a folder.
std::vector<std::string> Components(const std::string& display, bool& folder) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = display.find('/', start)) != std::string::npos; start = slash + 1)
    parts.push_back(display.substr(start, slash - start));
  folder = start == display.size();
  if (!folder) parts.push_back(display.substr(start));
  return parts;
}

bool IsSurrogate(char16_t unit) { return unit - 0xD800u < 0x800u; }

// Every character of code page 932 but the escape as it is; every other
// UTF-16 unit as the escape and four hex digits.
std::string Escaped(const std::u16string& name) {
  std::string out, utf8, cp932;
  for (char16_t unit : name) {
    if (unit != kStandInEscape && !IsSurrogate(unit) && Utf16ToUtf8(std::u16string(1, unit), utf8) &&
        Utf8ToCp932(utf8, cp932)) {
      out += cp932;
      continue;
    }
    char escaped[kEscapedUnitBytes + 1];
    std::snprintf(escaped, sizeof escaped, "%c%04X", kStandInEscape, static_cast<unsigned>(unit));
    out += escaped;
  }
  return out;
}

// The longest prefix of an escaped text of at most limit bytes that splits
// neither an escaped unit nor a double-byte character.
std::string CutEscaped(const std::string& text, std::size_t limit) {
  std::size_t n = 0;
  while (n < text.size()) {
    std::size_t step = 1;
    if (text[n] == kStandInEscape) step = kEscapedUnitBytes;
    else if (Cp932LeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size()) step = 2;
    if (n + step > limit) break;
    n += step;
  }
  return text.substr(0, n);
}

std::uint32_t Fnv1a(const std::string& text, unsigned attempt) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : text + std::to_string(attempt)) h = (h ^ c) * 16777619u;
  return h;
}

// The stand-in for one component, at most budget bytes; attempt 0 asks for
// the plain one, each later attempt for another tagged one.
bool StandIn(const std::string& utf8, const std::u16string& units, std::size_t budget,
             unsigned attempt, std::string& standIn) {
  const std::string full = Escaped(units);
  if (attempt == 0 && full.size() <= budget) return standIn = full, true;
  std::size_t dot = full.rfind('.');
  if (dot == std::string::npos || dot == 0 || full.size() - dot > kKeptExtensionBytes) dot = full.size();
  const std::string extension = full.substr(dot);
  if (budget < kTagBytes + extension.size() + 1) return false;
  char tag[kTagBytes + 1];
  std::snprintf(tag, sizeof tag, "~%08X", static_cast<unsigned>(Fnv1a(utf8, attempt)));
  standIn = CutEscaped(full.substr(0, dot), budget - kTagBytes - extension.size()) + tag + extension;
  return true;
}

// A member directory: the byte field and, once a component needed a
// stand-in, the exact UTF-16 field; each component followed by its separator.
struct Folder {
  std::string bytes;
  std::u16string units;
  bool standIn = false;
};

class Namer {
 public:
  explicit Namer(std::string& error) : error_(error) {}

  // A name whose components all have a code page 932 form; false (and
  // nothing reserved) when one has none.
  bool NameAsItIs(PackSource& s, bool& done) {
    bool folder = false;
    const std::vector<std::string> parts = Components(s.displayName, folder);
    std::string joined, cp932;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (!Utf8ToCp932(parts[i], cp932)) return done = false, true;
      const bool last = i + 1 == parts.size();
      if (last && !folder) s.entry.fileName = cp932;
      else joined += cp932 + kSeparator;
    }
    s.entry.directory = joined;
    done = true;
    return Reserve(joined + s.entry.fileName, s.displayName);
  }

  // Any other name: the stand-in and the exact name.
  bool NameWithStandIn(PackSource& s) {
    bool folder = false;
    const std::vector<std::string> parts = Components(s.displayName, folder);
    if (folder) {
      const Folder* own = FolderAt(s.displayName, s.displayName);
      if (!own) return false;
      s.entry.directory = own->bytes;
      s.entry.utf16Directory = own->units;
      return true;
    }
    const std::string& leaf = parts.back();
    const Folder* parent = FolderAt(s.displayName.substr(0, s.displayName.size() - leaf.size()), s.displayName);
    if (!parent) return false;
    std::u16string units;
    Utf8ToUtf16(leaf, units);
    bool standIn = false;
    if (!ComponentBytes(leaf, units, *parent, false, s.displayName, s.entry.fileName, standIn))
      return false;
    s.entry.directory = parent->bytes;
    // The folder goes in UTF-16 too, so that a reader that takes one field
    // takes both.
    s.entry.utf16Directory = parent->units;
    s.entry.utf16FileName = units;
    return true;
  }

 private:
  bool Fail(const std::string& display, const std::string& what) {
    error_ = "'" + display + "': " + what;
    return false;
  }

  bool Reserve(const std::string& joined, const std::string& display) {
    if (joined.size() > kMaxMemberNameBytes)
      return Fail(display, "the member name is longer than 255 bytes");
    if (!taken_.insert(LowerAscii(joined)).second)
      return Fail(display, "another member has the same name");
    return true;
  }

  // The bytes of one component in the folder parent: its code page 932
  // form, or a stand-in (standIn set) that no other member has and that
  // keeps the joined name within 255 bytes. Names below a folder without a
  // stand-in were reserved when they were named as they are.
  bool ComponentBytes(const std::string& utf8, const std::u16string& units, const Folder& parent,
                      bool folder, const std::string& display, std::string& bytes, bool& standIn) {
    if (parent.units.size() + units.size() + (folder ? 1 : 0) > kMaxMemberNameBytes)
      return Fail(display, "the member name is longer than 255 UTF-16 units");
    const std::string ending = folder ? std::string(1, kSeparator) : std::string();
    standIn = !Utf8ToCp932(utf8, bytes);
    if (!standIn) return !parent.standIn || Reserve(parent.bytes + bytes + ending, display);
    const std::size_t used = parent.bytes.size() + ending.size();
    const std::size_t budget = kMaxMemberNameBytes - std::min(kMaxMemberNameBytes, used);
    for (unsigned attempt = 0; attempt < kStandInAttempts; ++attempt) {
      if (!StandIn(utf8, units, budget, attempt, bytes))
        return Fail(display, "the folder is too deep for a stand-in name of at most 255 bytes in "
                             "code page 932");
      if (taken_.insert(LowerAscii(parent.bytes + bytes + ending)).second) return true;
    }
    return Fail(display, "another member has the same name");
  }

  // The folder at path (UTF-8, ending in '/'), named when it is first met.
  const Folder* FolderAt(const std::string& path, const std::string& display) {
    if (path.empty()) return &root_;
    const auto found = folders_.find(path);
    if (found != folders_.end()) return &found->second;
    const std::size_t slash = path.rfind('/', path.size() - 2);
    const std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const Folder* parent = FolderAt(parentPath, display);
    if (!parent) return nullptr;
    const std::string name = path.substr(parentPath.size(), path.size() - parentPath.size() - 1);
    std::u16string units;
    Utf8ToUtf16(name, units);
    std::string bytes;
    bool standIn = false;
    if (!ComponentBytes(name, units, *parent, true, display, bytes, standIn)) return nullptr;
    Folder folder{parent->bytes + bytes + kSeparator, parent->units + units + kUtf16Separator,
                  parent->standIn || standIn};
    return &(folders_[path] = folder);
  }

  std::string& error_;
  std::set<std::string> taken_;  // joined byte names, ASCII case folded as Windows compares
  std::map<std::string, Folder> folders_;
  const Folder root_{};
};

}  // namespace

bool HasStandInName(const MemberEntry& entry) {
  return !entry.utf16FileName.empty() || !entry.utf16Directory.empty();
}

bool NameMembers(std::vector<PackSource>& sources, std::size_t first, std::string& error) {
  Namer namer(error);
  // First every name that is stored as it is, so that no stand-in takes one.
  std::vector<std::size_t> others;
  for (std::size_t i = first; i < sources.size(); ++i) {
    bool done = false;
    if (!namer.NameAsItIs(sources[i], done)) return false;
    if (!done) others.push_back(i);
  }
  for (std::size_t i : others)
    if (!namer.NameWithStandIn(sources[i])) return false;
  return true;
}
