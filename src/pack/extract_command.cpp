// quorvel-pack extract FILE -o DIR: writes the members of a plain archive or
// of a self-extracting file into DIR with the stub's own decoder, checking
// every CRC, with the modification times restored.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "common/file_time.h"
#include "common/sfx_config.h"
#include "pack/archive_walk.h"
#include "pack/command_line.h"
#include "pack/cp932.h"
#include "pack/progress_bar.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "extract FILE -o DIR [--overwrite] [--quiet]   write every member into DIR";

struct ExtractOptions {
  std::string output;
  bool overwrite = false;
  bool quiet = false;
};

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

// A free name in target's folder for the bytes of a member until they are
// complete and sound.
fs::path TemporaryBeside(const fs::path& target) {
  std::error_code ec;
  for (unsigned n = 0;; ++n) {
    fs::path candidate = target.parent_path() / ("~qv" + std::to_string(n) + ".tmp");
    if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
  }
}

// Writes the members of one archive below the destination folder.
class Extraction {
 public:
  Extraction(const CommandLine& line, ArchiveWalk& walk, const ExtractOptions& options,
             ProgressBar& bar)
      : line_(line), walk_(walk), options_(options), root_(fs::u8path(options.output)), bar_(bar) {}

  bool MakeRoot();
  // Writes the member that the walk gave; false after a message.
  bool Write(const ArchiveMember& m);
  // Folders last, so writing their files does not move their times again.
  void RestoreFolderTimes();
  unsigned files() const { return files_; }

 private:
  bool Folder(const fs::path& target, const ArchiveMember& m);
  bool File(const fs::path& target, const std::string& name, const ArchiveMember& m);
  // Reports what went wrong with a path below the destination; returns false.
  bool FailAt(const fs::path& target, const std::string& what) const {
    return line_.Fail(Quoted(target.u8string()) + what);
  }

  const CommandLine& line_;
  ArchiveWalk& walk_;
  const ExtractOptions& options_;
  const fs::path root_;
  ProgressBar& bar_;
  std::uint64_t bytesDone_ = 0;
  std::vector<std::pair<fs::path, std::uint64_t>> folderTimes_;
  unsigned files_ = 0;
};

bool Extraction::MakeRoot() {
  std::error_code ec;
  fs::create_directories(root_, ec);
  return fs::is_directory(root_, ec) || FailAt(root_, ": cannot create the folder");
}

bool Extraction::Write(const ArchiveMember& m) {
  std::string name;
  if (!Cp932ToUtf8(m.name, name)) return walk_.FailMember("the name is not code page 932 text");
  // The notice is shown by the stub, never written.
  if (name == kNoticeMemberName)
    return walk_.Decode([this](const void*, std::size_t length) {
      bar_.Update(bytesDone_ += length);
      return true;
    });
  fs::path relative;
  if (!RelativeMemberPath(name, relative))
    return walk_.FailMember("the name would leave the destination folder");
  const fs::path target = root_ / relative;
  return m.IsDirectory() ? Folder(target, m) : File(target, name, m);
}

bool Extraction::Folder(const fs::path& target, const ArchiveMember& m) {
  std::error_code ec;
  fs::create_directories(target, ec);
  if (!fs::is_directory(target, ec)) return FailAt(target, ": cannot create the folder");
  folderTimes_.emplace_back(target, m.modifiedTime);
  return true;
}

bool Extraction::File(const fs::path& target, const std::string& name, const ArchiveMember& m) {
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (!options_.overwrite && fs::exists(fs::symlink_status(target, ec)))
    return FailAt(target, " exists (use --overwrite)");
  if (fs::is_directory(target, ec)) return FailAt(target, ": cannot create the file");
  // The member takes its name only once it is complete and its CRC matches:
  // a failure leaves a file it would have replaced as it was.
  const fs::path temporary = TemporaryBeside(target);
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) return FailAt(target, ": cannot create the file");
  const bool decoded = walk_.Decode([this, &out](const void* data, std::size_t length) {
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
    bar_.Update(bytesDone_ += length);
    return static_cast<bool>(out);
  });
  out.close();
  if (!decoded || !out) {
    fs::remove(temporary, ec);
    if (decoded) FailAt(target, ": cannot write the file");  // the walk reported the rest
    return false;
  }
  SetModifiedTime(temporary, m.modifiedTime, false);
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    return FailAt(target, ": cannot replace the file");
  }
  ++files_;
  if (!options_.quiet) bar_.PrintAbove(name);
  return true;
}

void Extraction::RestoreFolderTimes() {
  for (auto it = folderTimes_.rbegin(); it != folderTimes_.rend(); ++it)
    SetModifiedTime(it->first, it->second, true);
}

// The bytes that the members will give, for the progress bar: a quiet walk
// over the headers before the real one, which reports what it finds wrong.
// 0 (not known) when a header cannot be read.
std::uint64_t TotalOfMembers(const std::string& file) {
  ArchiveReader reader;
  std::string error;
  if (!reader.Open(file, error)) return 0;
  std::uint64_t total = 0;
  ArchiveMember m;
  ReadStatus status;
  while ((status = reader.Next(m, error)) == ReadStatus::Member)
    if (!m.IsDirectory()) total += static_cast<std::uint64_t>(m.originalSize);
  return status == ReadStatus::End ? total : 0;
}

}  // namespace

const char* const kExtractUsage = kUsage;

int RunExtract(const CommandLine& line) {
  ExtractOptions options;
  const ScannedArguments args = line.Scan({ValueOption("--output", "-o", options.output),
                                           FlagOption("--overwrite", nullptr, options.overwrite),
                                           FlagOption("--quiet", "-q", options.quiet)},
                                          Operands::OneArchive);
  if (args.finished) return args.exitCode;
  if (options.output.empty()) return line.UsageError("-o DIR is missing (try --help)");
  ProgressBar bar(options.quiet);
  if (bar.enabled()) bar.SetTotal(TotalOfMembers(args.operands[0]));
  ArchiveWalk walk(line, args.operands[0]);
  Extraction extraction(line, walk, options, bar);
  if (!walk.Open() || !extraction.MakeRoot()) return kExitFailure;
  bar.Update(0);
  ArchiveMember m;
  while (walk.Next(m))
    if (!extraction.Write(m)) return kExitFailure;
  if (walk.failed()) return kExitFailure;
  extraction.RestoreFolderTimes();
  bar.Finish();
  if (!options.quiet)
    std::printf("%s extracted into %s\n", CountOf(extraction.files(), "file").c_str(),
                options.output.c_str());
  return kExitSuccess;
}
