#include "pass_floor.h"

#include <cstdio>
#include <set>

#include "app/win_engine_host.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_data.h"
#include "archive/member_header.h"
#include "common/sfx_config.h"

namespace {
std::string* capture;
// The floor reads the archive on its own, not through the pass's host.
HANDLE archiveFile = INVALID_HANDLE_VALUE;

long ReadArchive(void* buffer, unsigned long count) {
  DWORD got = 0;
  return ReadFile(archiveFile, buffer, count, &got, nullptr) ? static_cast<long>(got) : -1;
}

std::int64_t FilePosition() {
  LONG high = 0;
  const DWORD low = SetFilePointer(archiveFile, 0, &high, FILE_CURRENT);
  return (static_cast<std::int64_t>(high) << 32) | low;
}

bool SeekTo(std::int64_t position) {
  LONG high = static_cast<LONG>(position >> 32);
  SetLastError(NO_ERROR);
  return SetFilePointer(archiveFile, static_cast<LONG>(position), &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
         GetLastError() == NO_ERROR;
}

bool KeepInMemory(const void* buffer, unsigned long length) {
  capture->append(static_cast<const char*>(buffer), length);
  return true;
}

void NoProgress(unsigned) {}

// The folders of relative (up to its last backslash, or all of it for a
// directory entry) not seen before, parents first.
void NoteNewFolders(const std::string& relative, bool whole, std::set<std::string>& known,
                    std::vector<std::string>& out) {
  for (std::size_t i = 0; i <= relative.size(); ++i) {
    const bool end = i == relative.size();
    if ((end && whole) || (!end && relative[i] == '\\'))
      if (i > 0 && known.insert(relative.substr(0, i)).second) out.push_back(relative.substr(0, i));
  }
}

bool LoadMembers(std::vector<FloorFile>& files) {
  std::set<std::string> known;
  for (;;) {
    const HeaderResult result = ReadMemberHeader();
    if (result == HeaderResult::EndOfArchive) return true;
    if (result != HeaderResult::Member) return false;
    const std::int64_t dataEnd = FilePosition() + MemberHeader.compressedRemaining;
    FloorFile file;
    file.relative = JoinedName;
    for (char& c : file.relative)
      if (c == '/') c = '\\';
    file.isFile = MemberHeader.method != lzh::kMethodDirectory;
    if (file.isFile && !file.relative.empty() && file.relative.back() == '\\') return false;
    while (!file.isFile && !file.relative.empty() && file.relative.back() == '\\') file.relative.pop_back();
    file.modified.dwLowDateTime = static_cast<DWORD>(MemberHeader.modifiedTime);
    file.modified.dwHighDateTime = static_cast<DWORD>(MemberHeader.modifiedTime >> 32);
    if (file.isFile) {
      capture = &file.data;
      if (!DecodeMemberData() || crcValue != MemberHeader.dataCrc) return false;
    }
    if (!SeekTo(dataEnd)) return false;
    FreeMemberHeader();
    // The notice is shown, never written.
    if (file.relative == kNoticeMemberName) continue;
    NoteNewFolders(file.relative, !file.isFile, known, file.newFolders);
    files.push_back(std::move(file));
  }
}
}  // namespace

bool LoadFloorFiles(const char* archive, std::uint32_t offset, std::vector<FloorFile>& files) {
  InstallWin32EngineHost();
  Host.readArchive = ReadArchive;
  Host.writeOutput = KeepInMemory;
  Host.progress = NoProgress;
  OutputIsProbe = false;
  BuildCrcTable(lzh::kCrcPolynomial);
  archiveFile = CreateFileA(archive, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const bool loaded = archiveFile != INVALID_HANDLE_VALUE && SeekTo(offset) && LoadMembers(files);
  FreeMemberHeader();
  if (archiveFile != INVALID_HANDLE_VALUE) CloseHandle(archiveFile);
  archiveFile = INVALID_HANDLE_VALUE;
  if (!loaded) std::fprintf(stderr, "floor: %s cannot be read whole\n", archive);
  return loaded;
}

bool WriteFloorFiles(const std::vector<FloorFile>& files, const std::string& folder) {
  constexpr DWORD kPieceBytes = 65536;
  if (!CreateDirectoryA(folder.c_str(), nullptr)) return false;
  const std::string prefix = folder + "\\";
  for (const FloorFile& file : files) {
    for (const std::string& made : file.newFolders)
      if (!CreateDirectoryA((prefix + made).c_str(), nullptr)) return false;
    if (!file.isFile) continue;
    HANDLE out = CreateFileA((prefix + file.relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    for (std::size_t at = 0; written && at < file.data.size(); at += kPieceBytes) {
      const DWORD piece = static_cast<DWORD>(file.data.size() - at < kPieceBytes ? file.data.size() - at : kPieceBytes);
      DWORD done = 0;
      written = WriteFile(out, file.data.data() + at, piece, &done, nullptr) && done == piece;
    }
    SetFileTime(out, nullptr, nullptr, &file.modified);
    if (!CloseHandle(out) || !written) return false;
  }
  return true;
}
