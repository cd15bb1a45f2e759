#include "pack/archive_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <future>

#include "archive/crc16.h"
#include "common/file_time.h"
#include "common/lzh_format.h"
#include "common/sfx_config.h"
#include "pack/archive_reader.h"
#include "pack/cp932.h"
#include "pack/exclusive_file.h"
#include "pack/lzh_encoder.h"
#include "pack/member_names.h"
#include "pack/os_conventions.h"
#include "pack/stream_encoder.h"
#include "pack/unicode_text.h"
#include "pack/worker_pool.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxNoticeBytes = kNoticeTextMaxBytes;
constexpr std::size_t kCopyBufferBytes = 1 << 16;

std::string Utf8Of(const fs::path& p) {
#if defined(__cpp_lib_char8_t)
  auto s = p.u8string();
  return std::string(s.begin(), s.end());
#else
  return p.u8string();
#endif
}

struct Stamp {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  bool readOnly = false;
};

bool ReadStamp(const fs::path& path, Stamp& stamp) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  const UnixTime time = FileTimeToUnix((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                       data.ftLastWriteTime.dwLowDateTime);
  stamp.seconds = time.seconds;
  stamp.nanoseconds = time.nanoseconds;
  stamp.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
#else
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  stamp.seconds = st.st_mtim.tv_sec;
  stamp.nanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
  stamp.readOnly = (st.st_mode & S_IWUSR) == 0;
#endif
  return true;
}

// One component of a member name, as the file system has it. The archive
// stores it in code page 932 where it can (member_names.h).
bool ComponentName(const fs::path& name, std::string& utf8, std::string& error) {
  utf8 = Utf8Of(name);
  // A backslash in a file-system name would read as a separator everywhere
  // the archive is extracted.
  if (utf8.find('\\') != std::string::npos)
    return error = "'" + utf8 + "': a backslash cannot be part of a member name", false;
  // Linux names are bytes; the packer takes them as UTF-8, like every
  // program of a UTF-8 system. Other bytes would name no character anywhere
  // the archive goes.
  if (!IsValidUtf8(utf8))
    return error = "'" + utf8 + "': the name is not UTF-8 text; rename it", false;
  return true;
}

struct Collector {
  std::vector<PackSource>& out;
  std::string& error;
  const CollectOptions& options;
  std::vector<fs::path> openFolders;  // the folders being walked, to refuse loops

  // dir: the member's folder in UTF-8, each component followed by '/'.
  bool AddFile(const fs::path& path, const std::string& dir, const std::string& name) {
    const std::string display = dir + name;
    if (dir.empty() && name == kNoticeMemberName)
      return error = "'" + display + "': a member named \"!\" is shown as the notice; use --notice",
             false;
    Stamp stamp;
    std::error_code ec;
    std::uint64_t size = fs::file_size(path, ec);
    if (ec || !ReadStamp(path, stamp)) return error = "'" + display + "': cannot read the file", false;
    PackSource s;
    s.path = path;
    s.displayName = display;
    s.entry.modifiedSeconds = stamp.seconds;
    s.entry.modifiedNanoseconds = stamp.nanoseconds;
    s.entry.attributes = static_cast<std::uint8_t>(lzh::kDosArchive | (stamp.readOnly ? lzh::kDosReadOnly : 0));
    s.size = size;
    out.push_back(std::move(s));
    return true;
  }

  // dir is the folder's own member name ending with '/', or empty for a
  // folder whose contents go to the top.
  bool AddFolder(const fs::path& path, const std::string& dir) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    if (ec) return error = "'" + dir + "': cannot read the folder", false;
    for (const fs::path& open : openFolders)
      if (open == canonical) return error = "'" + dir + "': the folder contains itself", false;
    if (!dir.empty()) {
      Stamp stamp;
      if (!ReadStamp(path, stamp)) return error = "'" + dir + "': cannot read the folder", false;
      PackSource s;
      s.path = path;
      s.displayName = dir;
      s.directory = true;
      s.entry.method = lzh::kMethodDirectory;
      s.entry.modifiedSeconds = stamp.seconds;
      s.entry.modifiedNanoseconds = stamp.nanoseconds;
      s.entry.attributes = lzh::kDosDirectory;
      out.push_back(std::move(s));
    }
    std::vector<fs::path> children;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      children.push_back(it->path());
    if (ec) return error = "'" + dir + "': cannot read the folder", false;
    std::sort(children.begin(), children.end(), [](const fs::path& a, const fs::path& b) {
      return Utf8Of(a.filename()) < Utf8Of(b.filename());
    });
    openFolders.push_back(canonical);
    for (const fs::path& child : children)
      if (!Add(child, dir, false)) return false;
    openFolders.pop_back();
    return true;
  }

  // given: the path was given on the command line, not found in a folder.
  bool Add(const fs::path& path, const std::string& dir, bool given) {
    std::string name;
    const std::string display = dir + Utf8Of(path.filename());
    std::string linkTarget;
    const bool link = !given && IsSymbolicLink(path, linkTarget);
    if (link && !options.followLinks) {
      if (options.skippedLink) options.skippedLink(display, linkTarget);
      return true;
    }
    if (!ComponentName(path.filename(), name, error)) return false;
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (link && (ec || !fs::exists(st)))
      return error = "'" + display + "': a symbolic link that leads nowhere ('" + linkTarget + "')",
             false;
    if (ec) return error = "'" + display + "': cannot read it", false;
    if (fs::is_directory(st)) return AddFolder(path, dir + name + "/");
    if (fs::is_regular_file(st)) return AddFile(path, dir, name);
    return error = "'" + display + "': neither a file nor a folder", false;
  }
};

bool ReadWhole(const fs::path& path, std::vector<std::uint8_t>& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.clear();
  std::uint8_t buffer[kCopyBufferBytes];
  while (in) {
    in.read(reinterpret_cast<char*>(buffer), sizeof buffer);
    data.insert(data.end(), buffer, buffer + in.gcount());
  }
  return !in.bad();
}

// Reads the file whole when it has fewer than limit bytes; sets whole to
// false (and keeps nothing) when it has more.
bool ReadBelow(const fs::path& path, std::size_t limit, std::vector<std::uint8_t>& data,
               bool& whole) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.resize(limit);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(limit));
  if (in.bad()) return false;
  data.resize(static_cast<std::size_t>(in.gcount()));
  whole = data.size() < limit;
  if (!whole) data = std::vector<std::uint8_t>();
  return true;
}

std::string CannotRead(const PackSource& source) {
  return "'" + source.displayName + "': cannot read the file";
}

// A member ready to write: its header and its data; or, for a file too large
// to hold, only the note that the writer streams it.
struct PreparedMember {
  bool ok = false;
  std::string error;
  std::vector<std::uint8_t> header;
  std::vector<std::uint8_t> data;
  bool streamed = false;
};

PreparedMember Prepare(const PackSource& source, char method) {
  PreparedMember m;
  MemberEntry entry = source.entry;
  if (source.directory) {
    m.header = BuildMemberHeader(entry);
    m.ok = true;
    return m;
  }
  if (source.packed) {
    m.data = source.content;
    m.header = BuildMemberHeader(entry);
    m.ok = true;
    return m;
  }
  std::vector<std::uint8_t> original;
  if (source.inMemory) {
    original = source.content;
  } else if (source.size >= kLzhSegmentedFromBytes) {
    m.streamed = m.ok = true;
    return m;
  } else {
    // A file that grew past the limit since the member list was made is
    // streamed as well.
    bool whole = true;
    if (!ReadBelow(source.path, kLzhSegmentedFromBytes, original, whole))
      return m.error = CannotRead(source), m;
    if (!whole) {
      m.streamed = m.ok = true;
      return m;
    }
  }
  entry.originalSize = original.size();
  entry.dataCrc = Crc16(0, original.data(), original.size());
  const LzhMethod* lzh = FindLzhMethod(method);
  if (lzh && !original.empty()) m.data = LzhEncode(*lzh, original.data(), original.size());
  if (lzh && !original.empty() && m.data.size() < original.size()) {
    entry.method = method;
  } else {
    entry.method = lzh::kMethodStored;
    m.data.swap(original);
  }
  entry.compressedSize = m.data.size();
  m.header = BuildMemberHeader(entry);
  m.ok = true;
  return m;
}

// A member written while its file is read: the header first with the sizes
// the file had when the member list was made (they decide whether it carries
// 64-bit sizes), the data, then the header again with the sizes and CRC of
// what was read.
class StreamedMember {
 public:
  StreamedMember(const PackSource& source, ArchiveOutput& out,
                 const std::function<void(std::uint64_t)>& progress, std::string& error)
      : source_(source), out_(out), progress_(progress), error_(error) {}

  bool Write(char method, WorkerPool& pool) {
    const LzhMethod* lzh = FindLzhMethod(method);
    entry_ = source_.entry;
    entry_.method = lzh ? method : lzh::kMethodStored;
    entry_.compressedSize = entry_.originalSize = source_.size;
    header_ = BuildMemberHeader(entry_);
    headerOffset_ = out_.Offset();
    if (!WriteOut(header_.data(), header_.size())) return false;
    out_.Mark();
    if (!lzh) return Store(true) && FinishHeader();
    if (!Open()) return false;
    std::uint64_t written = 0;
    const StreamResult result = LzhEncodeStream(
        *lzh, pool,
        [this](std::uint8_t* data, std::size_t size, std::size_t& got) { return Read(data, size, got); },
        [this, &written](const std::uint8_t* data, std::size_t size) {
          written += size;
          return WriteOut(data, size);
        });
    if (result == StreamResult::ReadFailed) return error_ = CannotRead(source_), false;
    if (result == StreamResult::WriteFailed) return false;
    if (written < size_) {
      entry_.compressedSize = written;
      return FinishHeader();
    }
    // Compression would make it grow: the file is read again and stored.
    entry_.method = lzh::kMethodStored;
    if (!out_.ReturnToMark()) return error_ = kCannotWrite, false;
    return Store(false) && FinishHeader();
  }

 private:
  static constexpr const char* kCannotWrite = "cannot write the output";

  bool WriteOut(const std::uint8_t* data, std::size_t size) {
    return out_.Write(data, size) || (error_ = kCannotWrite, false);
  }

  bool Open() {
    in_ = std::ifstream(source_.path, std::ios::binary);
    size_ = 0;
    crc_ = 0;
    return in_ || (error_ = CannotRead(source_), false);
  }

  bool Read(std::uint8_t* data, std::size_t size, std::size_t& got) {
    in_.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(size));
    got = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) return false;
    crc_ = Crc16(crc_, data, got);
    size_ += got;
    if (progress_ && reporting_) progress_(size_);
    return true;
  }

  // Copies the file as it is. A second reading must find what the first
  // found; the progress was reported by the first.
  bool Store(bool first) {
    const std::uint64_t firstSize = size_;
    const std::uint16_t firstCrc = crc_;
    reporting_ = first;
    if (!Open()) return false;
    std::vector<std::uint8_t> buffer(kCopyBufferBytes);
    std::size_t got = 0;
    do {
      if (!Read(buffer.data(), buffer.size(), got)) return error_ = CannotRead(source_), false;
      if (got && !WriteOut(buffer.data(), got)) return false;
    } while (got == buffer.size());
    if (!first && (size_ != firstSize || crc_ != firstCrc)) return Changed();
    entry_.compressedSize = size_;
    return true;
  }

  bool FinishHeader() {
    entry_.originalSize = size_;
    entry_.dataCrc = crc_;
    const std::vector<std::uint8_t> header = BuildMemberHeader(entry_);
    // The header's length is written already: sizes on the other side of
    // 4 GiB would need another one.
    if (header.size() != header_.size()) return Changed();
    return out_.Rewrite(headerOffset_, header_.data(), header.data(), header.size()) ||
           (error_ = kCannotWrite, false);
  }

  bool Changed() {
    error_ = "'" + source_.displayName + "': the file changed while it was packed";
    return false;
  }

  const PackSource& source_;
  ArchiveOutput& out_;
  const std::function<void(std::uint64_t)>& progress_;
  std::string& error_;
  MemberEntry entry_;
  std::vector<std::uint8_t> header_;
  std::uint64_t headerOffset_ = 0;
  std::ifstream in_;
  std::uint64_t size_ = 0;
  std::uint16_t crc_ = 0;
  bool reporting_ = true;
};

}  // namespace

bool CollectSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                    std::string& error, const CollectOptions& options) {
  const std::size_t first = sources.size();
  Collector collector{sources, error, options, {}};
  for (const std::string& arg : paths) {
    fs::path path = fs::u8path(arg);
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return error = "'" + arg + "': no such file or folder", false;
    fs::path normal = path.lexically_normal();
    if (fs::is_directory(st)) {
      fs::path name = normal.filename();
      if (name.empty()) name = normal.parent_path().filename();  // "dir/" ends in an empty name
      // "dir/." and ".." give what they hold, as does a root.
      const fs::path given = path.filename();
      if (given == "." || given == ".." || name.empty() || name == "." || name == "..") {
        if (!collector.AddFolder(path, std::string())) return false;
        continue;
      }
      std::string utf8;
      if (!ComponentName(name, utf8, error) || !collector.AddFolder(path, utf8 + "/")) return false;
      continue;
    }
    if (!collector.Add(normal, std::string(), true)) return false;
  }
  return NameMembers(sources, first, error);
}

bool ReadNoticeText(const std::string& file, std::string& text, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWhole(fs::u8path(file), bytes))
    return error = "'" + file + "': cannot read the notice file", false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

bool MakeNoticeSource(const std::string& file, PackSource& source, std::string& error,
                      bool utf8Text) {
  std::string text;
  Stamp stamp;
  if (!ReadNoticeText(file, text, error)) return false;
  if (!ReadStamp(fs::u8path(file), stamp))
    return error = "'" + file + "': cannot read the notice file", false;
  const char* encoding = utf8Text ? "UTF-8" : "code page 932";
  std::string bytes = text;
  if (utf8Text ? !IsValidUtf8(text) : !Utf8ToCp932(text, bytes))
    return error = "'" + file + "': the notice is not UTF-8 text with a " + encoding + " form", false;
  if (bytes.find('\0') != std::string::npos)
    return error = "'" + file + "': the notice holds a zero byte, which would end it early", false;
  if (bytes.size() > kMaxNoticeBytes)
    return error = "'" + file + "': the notice is longer than " + std::to_string(kMaxNoticeBytes) +
                   " bytes in " + encoding,
           false;
  source = PackSource();
  source.displayName = kNoticeMemberName;
  source.inMemory = true;
  source.content.assign(bytes.begin(), bytes.end());
  source.size = source.content.size();
  source.entry.fileName = kNoticeMemberName;
  source.entry.modifiedSeconds = stamp.seconds;
  source.entry.modifiedNanoseconds = stamp.nanoseconds;
  source.entry.attributes = lzh::kDosArchive;
  return true;
}

// Members are prepared this many per thread ahead of the one being written,
// so that a large member keeps one thread busy while the others go on with
// the small ones behind it.
constexpr std::size_t kMembersAheadPerThread = 4;

bool WriteArchive(const std::vector<PackSource>& sources, char method, unsigned threads,
                  ArchiveOutput& out, const PackProgress& progress, std::string& error) {
  std::uint64_t total = 0, done = 0;
  for (const PackSource& s : sources) total += s.size;
  // The workers compute CRCs with tables made before they start.
  InitCrc16();
  WorkerPool pool(threads > 1 ? threads : 0);
  std::deque<std::future<PreparedMember>> ahead;
  std::size_t submitted = 0;
  const std::size_t aheadLimit = kMembersAheadPerThread * pool.parallel();
  const std::function<void(std::uint64_t)> streamProgress = [&](std::uint64_t read) {
    if (progress) progress(done + read, total);
  };
  for (std::size_t k = 0; k < sources.size(); ++k) {
    for (; submitted < sources.size() && submitted < k + aheadLimit; ++submitted)
      ahead.push_back(pool.Submit<PreparedMember>(
          [&sources, method, i = submitted] { return Prepare(sources[i], method); }));
    PreparedMember m = ahead.front().get();
    ahead.pop_front();
    if (!m.ok) return error = m.error, false;
    if (m.streamed) {
      if (!StreamedMember(sources[k], out, streamProgress, error).Write(method, pool)) return false;
    } else if (!out.Write(m.header.data(), m.header.size()) ||
               (!m.data.empty() && !out.Write(m.data.data(), m.data.size()))) {
      return error = "cannot write the output", false;
    }
    done += sources[k].size;
    if (progress) progress(done, total);
  }
  const std::uint8_t endByte = lzh::kEndByte;
  if (!out.Write(&endByte, 1)) return error = "cannot write the output", false;
  return true;
}

bool CheckAppendableArchive(const std::vector<std::uint8_t>& archive, std::size_t& length,
                            std::string& error) {
  // Read as `quorvel-pack test` and the stub read it: every header, every
  // member decoded and its CRC checked.
  ArchiveReader reader;
  reader.OpenBytes(archive.data(), archive.size());
  ArchiveMember member;
  for (std::uint64_t number = 1;; ++number) {
    const ReadStatus status = reader.Next(member, error);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed)
      return error = HeaderFailure(number, error), false;
    // (The OS-9/68K writer's level-2 header is longer than the stub reads it.)
    if (member.level != lzh::kHeaderLevel || member.osId == lzh::kOsIdOs9_68k || member.IsSymlink() ||
        !member.HasStubMethod())
      return error = "member " + MemberNameForDisplay(member) + ": not as the stub reads it", false;
    if (!reader.Decode(MemberSink(), error))
      return error = "member " + MemberNameForDisplay(member) + ": " + error, false;
  }
  length = static_cast<std::size_t>(reader.nextHeaderOffset()) + 1;
  return true;
}

bool ImportArchive(const std::string& path, std::vector<PackSource>& sources, std::string& error,
                   const std::function<void(const std::string& name, const std::string& target)>& skippedLink) {
  ArchiveReader reader;
  if (!reader.Open(path, error)) return false;
  ArchiveMember m;
  for (std::uint64_t number = 1;; ++number) {
    const ReadStatus status = reader.Next(m, error);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed)
      return error = HeaderFailure(number, error), false;
    const std::string shown = MemberNameForDisplay(m);
    if (m.IsSymlink()) {
      skippedLink(shown, LinkTargetForDisplay(m));
      continue;
    }
    if (!m.nameIsText) return error = "member " + shown + ": the name has no Unicode form", false;
    PackSource s;
    s.directory = m.IsDirectory();
    s.displayName = m.utf8Name;
    if (s.directory && (s.displayName.empty() || s.displayName.back() != '/')) s.displayName += '/';
    const UnixTime time = FileTimeToUnix(m.modifiedTime);
    s.entry.modifiedSeconds = time.seconds;
    s.entry.modifiedNanoseconds = time.nanoseconds;
    s.entry.exactTime = time.nanoseconds != 0;
    s.entry.attributes = static_cast<std::uint8_t>(m.attributes);
    if (s.directory) s.entry.attributes = lzh::kDosDirectory;
    if (!s.directory) {
      s.inMemory = true;
      // The stub's own methods: the data is copied once its CRC is checked.
      // (Not a Mac member that may give only its data fork.)
      s.packed = m.HasStubMethod() && !MayHoldMacBinary(m);
      std::vector<std::uint8_t> decoded;
      if (!reader.Decode([&decoded, &s](const void* data, std::size_t length) {
            if (!s.packed) decoded.insert(decoded.end(), static_cast<const std::uint8_t*>(data),
                                          static_cast<const std::uint8_t*>(data) + length);
            return true;
          }, error))
        return error = "member " + shown + ": " + error, false;
      if (s.packed) {
        if (!reader.ReadPacked(s.content, error)) return error = "member " + shown + ": " + error, false;
        s.entry.method = m.method[lzh::kMethodLetterPos];
        s.entry.compressedSize = s.content.size();
        s.entry.originalSize = static_cast<std::uint64_t>(m.originalSize);
        s.entry.dataCrc = m.dataCrc;
      } else {
        s.content.swap(decoded);
      }
      s.size = s.packed ? static_cast<std::uint64_t>(m.originalSize) : s.content.size();
    }
    sources.push_back(std::move(s));
  }
  return NameMembers(sources, 0, error);
}
