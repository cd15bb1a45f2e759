// quorvel-pack extract FILE -o DIR: writes the members of a plain archive or
// of a self-extracting file into DIR with the stub's own decoder, checking
// every CRC, with the modification times restored.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/file_time.h"
#include "pack/archive_reader.h"
#include "pack/command_registry.h"
#include "pack/cp932.h"
#include "pack/utf8_args.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] = "extract FILE -o DIR [--overwrite] [--quiet]   write every member into DIR";
constexpr char kNoticeName[] = "!";

int Fail(const std::string& message) {
  std::fprintf(stderr, "quorvel-pack extract: %s\n", message.c_str());
  return 1;
}

// The member's path below the destination, or false when the name would
// leave it (an absolute path, a drive, a ".." component) or names nothing.
bool RelativeMemberPath(const std::string& utf8, fs::path& relative) {
  relative.clear();
  std::size_t start = 0;
  while (start <= utf8.size()) {
    std::size_t end = utf8.find('/', start);
    if (end == std::string::npos) end = utf8.size();
    std::string part = utf8.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." || part.find(':') != std::string::npos || part.find('\\') != std::string::npos)
      return false;
    relative /= fs::u8path(part);
  }
  return !relative.empty();
}

void SetModifiedTime(const fs::path& path, std::uint64_t fileTime, bool directory) {
#ifdef _WIN32
  HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, directory ? FILE_FLAG_BACKUP_SEMANTICS : 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
#else
  (void)directory;
  const UnixTime time = FileTimeToUnix(fileTime);
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(time.seconds);
  times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(time.nanoseconds);
  utimensat(AT_FDCWD, path.c_str(), times, 0);
#endif
}

int RunExtract(int argc, char** rawArgv) {
  // Texts and paths as UTF-8 on every system.
  std::vector<std::string> args = Utf8Arguments(argc, rawArgv);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(&a[0]);
  pointers.push_back(nullptr);
  char** argv = pointers.data();
  std::string input, output;
  bool overwrite = false, quiet = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::printf("usage: quorvel-pack %s\n", kUsage);
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= argc) return Fail("-o: a value is missing"), 2;
      output = argv[++i];
    } else if (a == "--overwrite") {
      overwrite = true;
    } else if (a == "--quiet" || a == "-q") {
      quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      return Fail("unknown option '" + a + "' (try --help)"), 2;
    } else if (input.empty()) {
      input = a;
    } else {
      return Fail("one archive at a time: '" + a + "' is one too many"), 2;
    }
  }
  if (input.empty() || output.empty()) return Fail("usage: quorvel-pack extract FILE -o DIR"), 2;

  ArchiveReader reader;
  std::string error;
  if (!reader.Open(input, error)) return Fail("'" + input + "': " + error);
  const fs::path root = fs::u8path(output);
  std::error_code ec;
  fs::create_directories(root, ec);
  if (!fs::is_directory(root, ec)) return Fail("'" + output + "': cannot create the folder");

  std::vector<std::pair<fs::path, std::uint64_t>> folderTimes;
  ArchiveMember m;
  unsigned files = 0;
  for (;;) {
    ReadStatus status = reader.Next(m, error);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed) return Fail("'" + input + "': " + error);
    std::string utf8;
    if (!Cp932ToUtf8(m.name, utf8))
      return Fail("'" + MemberNameForDisplay(m.name) + "': the name is not code page 932 text");
    // The notice is shown by the stub, never written.
    if (utf8 == kNoticeName) {
      if (!reader.Decode(MemberSink(), error)) return Fail("'!': " + error);
      continue;
    }
    fs::path relative;
    if (!RelativeMemberPath(utf8, relative))
      return Fail("'" + utf8 + "': the name would leave the destination folder");
    const fs::path target = root / relative;
    if (m.method == 'd') {
      fs::create_directories(target, ec);
      if (!fs::is_directory(target, ec)) return Fail("'" + utf8 + "': cannot create the folder");
      folderTimes.emplace_back(target, m.modifiedTime);
      continue;
    }
    fs::create_directories(target.parent_path(), ec);
    if (!overwrite && fs::exists(fs::symlink_status(target, ec)))
      return Fail("'" + target.u8string() + "' exists (use --overwrite)");
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("'" + target.u8string() + "': cannot create the file");
    bool ok = reader.Decode(
        [&out](const void* data, std::size_t length) {
          out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
          return static_cast<bool>(out);
        },
        error);
    out.close();
    if (!ok || !out) {
      fs::remove(target, ec);
      return Fail("'" + utf8 + "': " + (ok ? std::string("cannot write the file") : error));
    }
    SetModifiedTime(target, m.modifiedTime, false);
    ++files;
    if (!quiet) std::printf("%s\n", utf8.c_str());
  }
  // Folders last, so writing their files does not move their times again.
  for (auto it = folderTimes.rbegin(); it != folderTimes.rend(); ++it)
    SetModifiedTime(it->first, it->second, true);
  if (!quiet) std::printf("%u files extracted into %s\n", files, output.c_str());
  return 0;
}

const CommandRegistration kRegistration({"extract", kUsage, RunExtract});

}  // namespace
