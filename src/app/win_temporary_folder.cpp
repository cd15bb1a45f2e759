#include "app/win_temporary_folder.h"

#include <windows.h>

#include "common/win_services.h"

namespace {
// Folder names tried before giving up; a random name found taken is most
// likely someone's attempt to guess it.
constexpr unsigned kFolderNamesTried = 100;
// How long the folder is tried again while something still holds it.
constexpr unsigned kDeleteTries = 50;
constexpr DWORD kDeleteRetryMs = 100;
// The hex digits of the folder's name after "qv".
constexpr unsigned kNameDigits = 12;
// Room for the long form of any path the extraction makes.
constexpr unsigned kWalkPathBytes = 1024;

// 48 unpredictable bits in bits[0] and the low half of bits[1]: the
// system's generator where it has one (XP on, and 2000), else a mix of what
// differs between runs and machines, in 32-bit steps (cheap on the i686).
void RandomBits(DWORD (&bits)[2]) {
  using GenRandomFn = BOOLEAN(WINAPI*)(void*, ULONG);
  const auto genRandom = reinterpret_cast<GenRandomFn>(SystemExport("advapi32.dll", "SystemFunction036"));
  if (genRandom && genRandom(bits, sizeof bits)) return;
  LARGE_INTEGER counter;
  counter.QuadPart = 0;
  QueryPerformanceCounter(&counter);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const DWORD parts[] = {counter.LowPart, static_cast<DWORD>(counter.HighPart), now.dwLowDateTime,
                         now.dwHighDateTime, GetTickCount(), GetCurrentProcessId(), GetCurrentThreadId(),
                         static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(&bits))};
  DWORD low = 0x811C9DC5u, high = 0x9E3779B9u;
  for (DWORD part : parts) {
    low = (low ^ part) * 0x01000193u;
    high = ((high ^ part) * 0x85EBCA6Bu) ^ (low >> 13);
  }
  bits[0] = low;
  bits[1] = high;
}

// The temporary folder: the one for this account alone where the system
// has it (a service's, which every user could otherwise write into).
DWORD TemporaryFolderPath(SysChar* temp, DWORD size) {
  using GetTempPathFn = DWORD(WINAPI*)(DWORD, SysChar*);
  const auto getTempPath2 =
      reinterpret_cast<GetTempPathFn>(SystemExport(kKernel32Dll, kSysWide ? "GetTempPath2W" : "GetTempPath2A"));
  return getTempPath2 ? getTempPath2(size, temp) : SYS_API(GetTempPath)(size, temp);
}

// A security descriptor that gives full control to the user, SYSTEM and the
// administrators, and to nobody else, and takes nothing from the parent
// folder; null where the system keeps no permissions or lacks the calls
// (Windows 95, NT 3.51 and 4.0): the folder then inherits, as there.
PSECURITY_DESCRIPTOR OwnOnlyDescriptor() {
  void* calls[4];
  if (!SystemExports("advapi32.dll",
                     "OpenProcessToken\0GetTokenInformation\0ConvertSidToStringSidA\0"
                     "ConvertStringSecurityDescriptorToSecurityDescriptorA\0",
                     calls))
    return nullptr;
  const auto openToken = reinterpret_cast<BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE)>(calls[0]);
  const auto tokenInformation =
      reinterpret_cast<BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD)>(calls[1]);
  const auto sidToText = reinterpret_cast<BOOL(WINAPI*)(PSID, LPSTR*)>(calls[2]);
  const auto textToDescriptor = reinterpret_cast<BOOL(WINAPI*)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG)>(calls[3]);
  HANDLE token;
  if (!openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  union {
    TOKEN_USER user;
    char bytes[256];
  } info;
  DWORD got = 0;
  char* sid = nullptr;
  const bool known = tokenInformation(token, TokenUser, &info, sizeof info, &got) && sidToText(info.user.User.Sid, &sid);
  CloseHandle(token);
  if (!known) return nullptr;
  // Protected (P): nothing inherited; each entry passed on to what is made
  // inside (OICI); FA: full access.
  char text[256];
  wsprintfA(text, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%s)", sid);
  LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!textToDescriptor(text, 1 /* SDDL_REVISION_1 */, &descriptor, nullptr)) return nullptr;
  return descriptor;
}

// One walk of a folder tree, depth first, with one path buffer for all of it.
struct TreeWalk {
  SysChar path[kWalkPathBytes];
  unsigned prefixLength;  // of path: the long-path prefix, if any
  unsigned rootLength;    // of path: the folder walked, with its backslash
  // Called for every entry, with path naming it; the walk stops when it
  // returns false.
  bool (*visit)(TreeWalk& walk, DWORD attributes);
  // What the check of the run's own entries needs.
  const EntryLedger* ledger;
  SysChar* foreign;
  unsigned seen;
};

// The long form of a drive path on the NT family, so that a tree deeper
// than MAX_PATH can still be walked; the path as it is elsewhere.
void StartWalk(TreeWalk& walk, const SysChar* path) {
  const bool drive = path[0] && path[1] == ':' && path[2] == '\\';
  walk.path[0] = '\0';
  if (drive && !(GetVersion() & 0x80000000u)) SYS_API(lstrcpy)(walk.path, SYS_TEXT("\\\\?\\"));
  walk.prefixLength = TextLength(walk.path);
  SYS_API(lstrcpyn)(walk.path + walk.prefixLength, path, static_cast<int>(kWalkPathBytes - walk.prefixLength));
}

// Calls walk.visit for every entry below the folder that path holds (length
// units), children before their folder; a link's target is never entered.
// Stops, false, when visit does.
bool WalkBelow(TreeWalk& walk, unsigned length) {
  if (length + 3 >= kWalkPathBytes) return false;
  SYS_API(lstrcpy)(walk.path + length, SYS_TEXT("\\*"));
  SYS_API(WIN32_FIND_DATA) found;
  HANDLE find = SYS_API(FindFirstFile)(walk.path, &found);
  if (find == INVALID_HANDLE_VALUE) return true;  // empty, or gone
  bool going = true;
  do {
    const SysChar* name = found.cFileName;
    if (name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]))) continue;
    const unsigned nameLength = TextLength(name);
    if (length + 1 + nameLength >= kWalkPathBytes) {
      going = false;
      break;
    }
    walk.path[length] = '\\';
    SYS_API(lstrcpy)(walk.path + length + 1, name);
    const DWORD attributes = found.dwFileAttributes;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !link) going = WalkBelow(walk, length + 1 + nameLength);
    walk.path[length + 1 + nameLength] = '\0';
    if (going) going = walk.visit(walk, attributes);
  } while (going && SYS_API(FindNextFile)(find, &found));
  FindClose(find);
  walk.path[length] = '\0';
  return going;
}

bool WalkTree(TreeWalk& walk, const SysChar* folder) {
  StartWalk(walk, folder);
  const unsigned length = TextLength(walk.path);
  walk.rootLength = length + 1;
  return WalkBelow(walk, length);
}

bool CheckOwnEntry(TreeWalk& walk, DWORD attributes) {
  ++walk.seen;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && HoldsEntry(*walk.ledger, walk.path + walk.rootLength))
    return true;
  SYS_API(lstrcpyn)(walk.foreign, walk.path + walk.prefixLength, kPathBytes);
  return false;
}

bool RemoveEntry(TreeWalk& walk, DWORD attributes) {
  // Read-only entries cannot be deleted; a folder link is a folder to
  // RemoveDirectory, which removes the link and not what it points to
  // (Wine's, a Linux link, goes as a file).
  if (attributes & FILE_ATTRIBUTE_READONLY) SYS_API(SetFileAttributes)(walk.path, FILE_ATTRIBUTE_NORMAL);
  const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) && SYS_API(RemoveDirectory)(walk.path);
  if (!removed) SYS_API(DeleteFile)(walk.path);
  return true;
}
}  // namespace

bool MakeTemporaryFolder(SysChar* folder) {
  SysChar temp[MAX_PATH];
  const DWORD n = TemporaryFolderPath(temp, MAX_PATH);
  // Room for the name and what the extraction adds below it (a longer
  // temporary folder does not fit temp: n is then the size it needs).
  folder[0] = '\0';
  if (n == 0 || n + 2 + kNameDigits + 4 > kDestinationFolderBytes) return false;
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = OwnOnlyDescriptor();
  security.bInheritHandle = FALSE;
  bool made = false;
  for (unsigned i = 0; !made && i < kFolderNamesTried; ++i) {
    DWORD bits[2];
    RandomBits(bits);
    SYS_API(wsprintf)(folder, SYS_TEXT("%sqv%04lx%08lx"), temp, bits[1] & 0xFFFF, bits[0]);
    // A folder that exists already is never taken: whoever made it may
    // have put something into it.
    made = SYS_API(CreateDirectory)(folder, &security) != FALSE;
  }
  if (security.lpSecurityDescriptor) LocalFree(security.lpSecurityDescriptor);
  return made;
}

bool HoldsOnlyOwnEntries(const SysChar* folder, const EntryLedger& ledger, SysChar* foreign) {
  TreeWalk walk;
  walk.visit = CheckOwnEntry;
  walk.ledger = &ledger;
  walk.foreign = foreign;
  walk.seen = 0;
  SYS_API(lstrcpyn)(foreign, folder, kPathBytes);
  // Every entry found is the run's, and each of the run's is found (one
  // gone means one replaced by something else of the same name's hash).
  if (!WalkTree(walk, folder)) return false;
  return walk.seen == ledger.count && !ledger.full;
}

void DeleteTemporaryFolder(const SysChar* folder) {
  TreeWalk walk;
  walk.visit = RemoveEntry;
  // The command's end is not always the end of everything it started: a
  // program it left running (a virus scanner reading what was just
  // written) may hold the folder a moment longer. What could not go is
  // tried again for a few seconds.
  for (unsigned tries = kDeleteTries; tries; --tries) {
    WalkTree(walk, folder);
    if (SYS_API(RemoveDirectory)(folder) || SYS_API(GetFileAttributes)(folder) == INVALID_FILE_ATTRIBUTES) return;
    Sleep(kDeleteRetryMs);
  }
}
