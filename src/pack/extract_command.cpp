// quorvel-pack extract FILE -o DIR: writes the members of a plain archive or
// of a self-extracting file into DIR with the stub's own decoder, checking
// every CRC, with the modification times restored.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "common/sfx_config.h"
#include "pack/archive_walk.h"
#include "pack/command_line.h"
#include "pack/exclusive_file.h"
#include "pack/progress_bar.h"
#include "pack/terminal_text.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "extract FILE -o DIR [--overwrite] [--follow-links] [--same-owner] [--quiet]   write every member into DIR";

struct ExtractOptions {
  std::string output;
  bool overwrite = false;
  bool followLinks = false;
  bool sameOwner = false;  // Unix members' owners, when run as the superuser
  bool quiet = false;
};

// Whether a symbolic link at folder (below the destination) to target ends
// inside the destination, read component by component as the system will
// read it: no absolute target, no ".." above the destination. The links the
// target passes through are those of the archive, each checked the same way,
// or refused ones: extraction never writes through a link.
bool LinkStaysInside(const fs::path& folder, const std::string& target) {
  if (target.empty() || target[0] == '/' || target.find('\\') != std::string::npos ||
      target.find(':') != std::string::npos)
    return false;
  long depth = 0;
  for (const fs::path& part : folder)
    if (!part.empty()) ++depth;
  std::size_t start = 0;
  while (start <= target.size()) {
    std::size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    const std::string part = target.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    depth += part == ".." ? -1 : 1;
    if (depth < 0) return false;
  }
  return true;
}

bool RunAsSuperuser() {
#ifdef _WIN32
  return false;
#else
  return geteuid() == 0;
#endif
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

constexpr char kLinkRefused[] =
    " is a symbolic link: not followed (--follow-links writes through it)";

// Writes the members of one archive below the destination folder. Every
// folder below the destination is reached from the destination's own
// descriptor one name at a time, and every file is written under a name of
// its own and then renamed (see OpenFolder and NewFile): a link that is in
// the way, or is put there while the extraction runs, is never written
// through unless --follow-links says so.
class Extraction {
 public:
  Extraction(const CommandLine& line, ArchiveWalk& walk, const ExtractOptions& options,
             ProgressBar& bar)
      : line_(line), walk_(walk), options_(options), rootPath_(fs::u8path(options.output)),
        bar_(bar) {}

  bool MakeRoot();
  // Writes the member that the walk gave; false after a message.
  bool Write(const ArchiveMember& m);
  // Folders last, so writing their files does not move their times again.
  void RestoreFolderTimes();
  unsigned files() const { return files_; }

 private:
  // The folder at relative below the destination, created where it is
  // missing when create is set; null (after a message when report is set)
  // when it cannot be reached.
  const OpenFolder* Reach(const fs::path& relative, bool create, bool report);
  bool Folder(const fs::path& relative, const ArchiveMember& m);
  bool Link(const fs::path& relative, const ArchiveMember& m);
  bool File(const fs::path& relative, const std::string& name, const ArchiveMember& m);
  // Reports what went wrong with a path below the destination; returns false.
  bool FailAt(const fs::path& target, const std::string& what) const {
    return line_.Fail(Quoted(target.u8string()) + what);
  }

  const CommandLine& line_;
  ArchiveWalk& walk_;
  const ExtractOptions& options_;
  const fs::path rootPath_;
  ProgressBar& bar_;
  OpenFolder root_;
  // The folder reached last: members come folder by folder.
  OpenFolder last_;
  fs::path lastRelative_;
  bool lastValid_ = false;
  std::uint64_t bytesDone_ = 0;
  struct FolderLast {
    fs::path relative;
    std::uint64_t modifiedTime;
    bool hasUnixMode;
    std::uint16_t unixMode;
  };
  std::vector<FolderLast> folders_;
  unsigned files_ = 0;
};

bool Extraction::MakeRoot() {
  std::error_code ec;
  fs::create_directories(rootPath_, ec);
  return root_.Open(rootPath_) || FailAt(rootPath_, ": cannot create the folder");
}

const OpenFolder* Extraction::Reach(const fs::path& relative, bool create, bool report) {
  if (relative.empty()) return &root_;
  if (lastValid_ && relative == lastRelative_) return &last_;
  lastValid_ = false;
  OpenFolder at, next;
  const OpenFolder* from = &root_;
  for (const fs::path& name : relative) {
    const OpenFolder::Step step = from->OpenChild(name, create, options_.followLinks, next);
    if (step != OpenFolder::Step::Opened) {
      if (report)
        FailAt(next.path(),
               step == OpenFolder::Step::Link ? kLinkRefused : ": cannot create the folder");
      return nullptr;
    }
    at = std::move(next);
    from = &at;
  }
  last_ = std::move(at);
  lastRelative_ = relative;
  lastValid_ = true;
  return &last_;
}

bool Extraction::Write(const ArchiveMember& m) {
  if (!m.nameIsText) return walk_.FailMember("the name has no Unicode form");
  const std::string& name = m.utf8Name;
  // The notice is shown by the stub, never written.
  if (name == kNoticeMemberName)
    return walk_.Decode([this](const void*, std::size_t length) {
      bar_.Update(bytesDone_ += length);
      return true;
    });
  fs::path relative;
  if (!RelativeMemberPath(name, relative))
    return walk_.FailMember("the name would leave the destination folder");
  if (m.IsSymlink()) return Link(relative, m);
  return m.IsDirectory() ? Folder(relative, m) : File(relative, name, m);
}

bool Extraction::Folder(const fs::path& relative, const ArchiveMember& m) {
  if (!Reach(relative, true, true)) return false;
  folders_.push_back({relative, m.modifiedTime, m.hasUnixMode, m.unixMode});
  return true;
}

bool Extraction::Link(const fs::path& relative, const ArchiveMember& m) {
  if (!LinkStaysInside(relative.parent_path(), m.linkTarget))
    return walk_.FailMember("a symbolic link to " + Quoted(m.linkTarget) +
                            " leads outside the destination folder: not made");
  const OpenFolder* folder = Reach(relative.parent_path(), true, true);
  if (!folder) return false;
  const fs::path target = folder->path() / relative.filename();
  if (folder->KindOf(relative.filename()) != EntryKind::Missing)
    return FailAt(target, " exists: a symbolic link is never made over it");
  if (!folder->MakeLink(relative.filename(), m.linkTarget))
    return FailAt(target, ": cannot make the symbolic link");
  if (!options_.quiet) bar_.PrintAbove(TerminalText(m.utf8Name) + " -> " + TerminalText(m.linkTarget));
  return true;
}

bool Extraction::File(const fs::path& relative, const std::string& name, const ArchiveMember& m) {
  const OpenFolder* folder = Reach(relative.parent_path(), true, true);
  if (!folder) return false;
  fs::path leaf = relative.filename();
  const fs::path target = folder->path() / leaf;
  EntryKind kind = folder->KindOf(leaf);
  if (kind != EntryKind::Missing && !options_.overwrite)
    return FailAt(target, " exists (use --overwrite)");
  OpenFolder linkedFolder;  // where a link at the member's path leads, when it is followed
  if (kind == EntryKind::Link) {
    if (!options_.followLinks) return FailAt(target, kLinkRefused);
    std::error_code ec;
    const fs::path real = fs::canonical(target, ec);
    if (ec || !linkedFolder.Open(real.parent_path()))
      return FailAt(target, ": a symbolic link that leads nowhere");
    folder = &linkedFolder;
    leaf = real.filename();
    kind = folder->KindOf(leaf);
  }
  if (kind == EntryKind::Folder) return FailAt(target, ": cannot create the file");
  // The member takes its name only once it is complete and its CRC matches:
  // a failure leaves a file it would have replaced as it was.
  NewFile out(*folder);
  if (!out.Create()) return FailAt(target, ": cannot create the file");
  const bool decoded = walk_.Decode([this, &out](const void* data, std::size_t length) {
    bar_.Update(bytesDone_ += length);
    return out.Write(static_cast<const std::uint8_t*>(data), length);
  });
  if (!decoded) return false;  // the walk reported it
  if (m.hasUnixMode && !out.SetUnixMode(m.unixMode)) return FailAt(target, ": cannot set its permissions");
  if (options_.sameOwner && m.hasUnixIds && RunAsSuperuser() && !out.SetOwner(m.unixUid, m.unixGid))
    return FailAt(target, ": cannot give it its owner");
  out.SetModifiedTime(m.modifiedTime);
  switch (out.GiveName(leaf, options_.overwrite)) {
    case NewFile::Named::Done:
      break;
    case NewFile::Named::Exists:
      return FailAt(target, " exists (use --overwrite)");
    case NewFile::Named::Replaced:
      return FailAt(target, ": replaced by someone else while it was written; removed");
    case NewFile::Named::Failed:
      return FailAt(target, ": cannot write the file");
  }
  ++files_;
  if (!options_.quiet) bar_.PrintAbove(TerminalText(name));
  return true;
}

void Extraction::RestoreFolderTimes() {
  // Deepest first, and the permissions last: a folder without write
  // permission still took its contents.
  for (auto it = folders_.rbegin(); it != folders_.rend(); ++it)
    if (const OpenFolder* folder = Reach(it->relative, false, false)) {
      folder->SetModifiedTime(it->modifiedTime);
      if (it->hasUnixMode) folder->SetUnixMode(it->unixMode);
    }
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
                                           FlagOption("--follow-links", nullptr,
                                                      options.followLinks),
                                           FlagOption("--same-owner", nullptr, options.sameOwner),
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
                TerminalText(options.output).c_str());
  return kExitSuccess;
}
