#include "pass_floor.h"

#include <cstdio>
#include <memory>
#include <set>

#include "archive/engine.h"
#include "common/sfx_config.h"

namespace {
std::string* capture;
// The floor reads the archive on its own, not through the pass's host.
HANDLE archiveFile = INVALID_HANDLE_VALUE;

long ReadArchive(void*, void* buffer, unsigned long count) {
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

SinkReply KeepInMemory(void*, const void* buffer, unsigned long length) {
  capture->append(static_cast<const char*>(buffer), length);
  return SinkReply::More;
}

bool NoProgress(void*, std::uint64_t) { return true; }

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

bool LoadMembers(Engine& e, std::vector<FloorFile>& files) {
  std::set<std::string> known;
  for (;;) {
    const EngineResult result = ReadMemberHeader(e, false);
    if (result == EngineResult::EndOfArchive) return true;
    if (result != EngineResult::Ok) return false;
    const std::int64_t dataEnd = FilePosition() + e.header.compressedRemaining;
    FloorFile file;
    file.relative = e.joinedName;
    for (char& c : file.relative)
      if (c == '/') c = '\\';
    file.isFile = e.header.method != lzh::kMethodDirectory;
    if (file.isFile && !file.relative.empty() && file.relative.back() == '\\') return false;
    while (!file.isFile && !file.relative.empty() && file.relative.back() == '\\') file.relative.pop_back();
    file.modified.dwLowDateTime = static_cast<DWORD>(e.header.modifiedTime);
    file.modified.dwHighDateTime = static_cast<DWORD>(e.header.modifiedTime >> 32);
    if (file.isFile) {
      capture = &file.data;
      if (DecodeMemberData(e) != EngineResult::Ok || e.crc != e.header.dataCrc) return false;
    }
    if (!SeekTo(dataEnd)) return false;
    FreeMemberHeader(e);
    // The notice is shown, never written.
    if (file.relative == kNoticeMemberName) continue;
    NoteNewFolders(file.relative, !file.isFile, known, file.newFolders);
    files.push_back(std::move(file));
  }
}
}  // namespace

bool LoadFloorFiles(const char* archive, std::uint32_t offset, std::vector<FloorFile>& files) {
  EngineHost host{};
  host.allocZeroed = [](void*, unsigned long size) -> void* { return LocalAlloc(LMEM_ZEROINIT, size); };
  host.release = [](void*, void* block) { LocalFree(block); };
  host.currentFileTime = [](void*) -> std::uint64_t {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  };
  host.readArchive = ReadArchive;
  host.writeOutput = KeepInMemory;
  host.progress = NoProgress;
  const auto engine = std::make_unique<Engine>();
  StartEngine(*engine, host);
  archiveFile = CreateFileA(archive, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const bool loaded = archiveFile != INVALID_HANDLE_VALUE && SeekTo(offset) && LoadMembers(*engine, files);
  FreeMemberHeader(*engine);
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
