#include "pack/archive_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <set>

#include "archive/output_sink.h"
#include "common/file_time.h"
#include "common/lzh_format.h"
#include "common/sfx_config.h"
#include "pack/archive_reader.h"
#include "pack/cp932.h"
#include "pack/lzh_encoder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {
using lzh::kDirectorySeparator;

// The stub keeps the notice's text in its general text buffer.
constexpr std::size_t kMaxNoticeBytes = kProbeTextMaxBytes;
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

// One component of a member name, in code page 932.
bool ComponentName(const fs::path& name, std::string& cp932, std::string& error) {
  const std::string utf8 = Utf8Of(name);
  // A backslash in a file-system name would read as a separator everywhere
  // the archive is extracted.
  if (utf8.find('\\') != std::string::npos)
    return error = "'" + utf8 + "': a backslash cannot be part of a member name", false;
  if (!Utf8ToCp932(utf8, cp932))
    return error = "'" + utf8 + "': the name has no form in code page 932", false;
  return true;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

struct Collector {
  std::vector<PackSource>& out;
  std::string& error;
  std::set<std::string> names;        // joined names, ASCII case folded as Windows compares
  std::vector<fs::path> openFolders;  // the folders being walked, to refuse loops

  bool AddName(const std::string& joined, const std::string& display) {
    if (joined.size() > kMaxMemberNameBytes)
      return error = "'" + display + "': the member name is longer than 255 bytes", false;
    if (!names.insert(LowerAscii(joined)).second)
      return error = "'" + display + "': another member has the same name", false;
    return true;
  }

  bool AddFile(const fs::path& path, const std::string& dir, const std::string& dirDisplay,
               const std::string& name) {
    const std::string display = dirDisplay + Utf8Of(path.filename());
    if (dir.empty() && name == kNoticeMemberName)
      return error = "'" + display + "': a member named \"!\" is shown as the notice; use --notice",
             false;
    if (!AddName(dir + name, display)) return false;
    Stamp stamp;
    std::error_code ec;
    std::uint64_t size = fs::file_size(path, ec);
    if (ec || !ReadStamp(path, stamp)) return error = "'" + display + "': cannot read the file", false;
    PackSource s;
    s.path = path;
    s.displayName = display;
    s.entry.directory = dir;
    s.entry.fileName = name;
    s.entry.modifiedSeconds = stamp.seconds;
    s.entry.modifiedNanoseconds = stamp.nanoseconds;
    s.entry.attributes = static_cast<std::uint8_t>(lzh::kDosArchive | (stamp.readOnly ? lzh::kDosReadOnly : 0));
    s.size = size;
    out.push_back(std::move(s));
    return true;
  }

  // dir is the folder's own member directory, ending with the separator.
  bool AddFolder(const fs::path& path, const std::string& dir, const std::string& display) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    if (ec) return error = "'" + display + "': cannot read the folder", false;
    for (const fs::path& open : openFolders)
      if (open == canonical) return error = "'" + display + "': the folder contains itself", false;
    if (!dir.empty()) {
      if (!AddName(dir, display)) return false;
      Stamp stamp;
      if (!ReadStamp(path, stamp)) return error = "'" + display + "': cannot read the folder", false;
      PackSource s;
      s.path = path;
      s.displayName = display;
      s.directory = true;
      s.entry.method = lzh::kMethodDirectory;
      s.entry.directory = dir;
      s.entry.modifiedSeconds = stamp.seconds;
      s.entry.modifiedNanoseconds = stamp.nanoseconds;
      s.entry.attributes = lzh::kDosDirectory;
      out.push_back(std::move(s));
    }
    std::vector<fs::path> children;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      children.push_back(it->path());
    if (ec) return error = "'" + display + "': cannot read the folder", false;
    std::sort(children.begin(), children.end(), [](const fs::path& a, const fs::path& b) {
      return Utf8Of(a.filename()) < Utf8Of(b.filename());
    });
    openFolders.push_back(canonical);
    for (const fs::path& child : children)
      if (!Add(child, dir, display)) return false;
    openFolders.pop_back();
    return true;
  }

  bool Add(const fs::path& path, const std::string& dir, const std::string& dirDisplay) {
    std::string name;
    const std::string display = dirDisplay + Utf8Of(path.filename());
    if (!ComponentName(path.filename(), name, error)) return false;
    std::error_code ec;
    fs::file_status st = fs::status(path, ec);
    if (ec) return error = "'" + display + "': cannot read it", false;
    if (fs::is_directory(st))
      return AddFolder(path, dir + name + static_cast<char>(kDirectorySeparator), display + "/");
    if (fs::is_regular_file(st)) return AddFile(path, dir, dirDisplay, name);
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

// A member ready to write: its header and, unless it is copied from the disk
// while it is written, its data.
struct PreparedMember {
  bool ok = false;
  std::string error;
  std::vector<std::uint8_t> header;
  std::vector<std::uint8_t> data;
  bool streamed = false;
  std::uint64_t streamedSize = 0;
};

PreparedMember Prepare(const PackSource& source, char method, std::uint64_t storeFromBytes) {
  PreparedMember m;
  MemberEntry entry = source.entry;
  if (source.directory) {
    m.header = BuildMemberHeader(entry);
    m.ok = true;
    return m;
  }
  std::vector<std::uint8_t> original;
  if (source.inMemory) {
    original = source.content;
  } else if (source.size >= storeFromBytes) {
    // Stored from the disk: one read for the CRC and size, one for the copy.
    std::ifstream in(source.path, std::ios::binary);
    if (!in) return m.error = "'" + source.displayName + "': cannot read the file", m;
    std::vector<std::uint8_t> buffer(kCopyBufferBytes);
    std::uint64_t size = 0;
    std::uint16_t crc = 0;
    while (in) {
      in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
      std::size_t got = static_cast<std::size_t>(in.gcount());
      crc = PackCrc16(buffer.data(), got, crc);
      size += got;
    }
    if (in.bad()) return m.error = "'" + source.displayName + "': cannot read the file", m;
    entry.method = lzh::kMethodStored;
    entry.compressedSize = entry.originalSize = size;
    entry.dataCrc = crc;
    m.header = BuildMemberHeader(entry);
    m.streamed = true;
    m.streamedSize = size;
    m.ok = true;
    return m;
  } else if (!ReadWhole(source.path, original)) {
    return m.error = "'" + source.displayName + "': cannot read the file", m;
  }
  entry.originalSize = original.size();
  entry.dataCrc = PackCrc16(original.data(), original.size(), 0);
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

bool CopyStored(const PackSource& source, std::uint64_t expected, const ByteSink& sink,
                std::string& error) {
  std::ifstream in(source.path, std::ios::binary);
  if (!in) return error = "'" + source.displayName + "': cannot read the file", false;
  std::vector<std::uint8_t> buffer(kCopyBufferBytes);
  std::uint64_t copied = 0;
  while (in) {
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    std::size_t got = static_cast<std::size_t>(in.gcount());
    if (got && !sink(buffer.data(), got)) return error = "cannot write the output", false;
    copied += got;
  }
  if (in.bad() || copied != expected)
    return error = "'" + source.displayName + "': the file changed while it was packed", false;
  return true;
}

}  // namespace

bool CollectSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                    std::string& error) {
  Collector collector{sources, error, {}, {}};
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
        if (!collector.AddFolder(path, std::string(), std::string())) return false;
        continue;
      }
      std::string cp932;
      if (!ComponentName(name, cp932, error)) return false;
      if (!collector.AddFolder(path, cp932 + static_cast<char>(kDirectorySeparator),
                               Utf8Of(name) + "/"))
        return false;
      continue;
    }
    if (!collector.Add(normal, std::string(), std::string())) return false;
  }
  return true;
}

bool MakeNoticeSource(const std::string& file, PackSource& source, std::string& error) {
  fs::path path = fs::u8path(file);
  std::vector<std::uint8_t> text;
  Stamp stamp;
  if (!ReadWhole(path, text) || !ReadStamp(path, stamp))
    return error = "'" + file + "': cannot read the notice file", false;
  std::string cp932;
  if (!Utf8ToCp932(std::string(text.begin(), text.end()), cp932))
    return error = "'" + file + "': the notice is not UTF-8 text with a code page 932 form", false;
  if (cp932.find('\0') != std::string::npos)
    return error = "'" + file + "': the notice holds a zero byte, which would end it early", false;
  if (cp932.size() > kMaxNoticeBytes)
    return error = "'" + file + "': the notice is longer than " + std::to_string(kMaxNoticeBytes) +
                   " bytes in code page 932",
           false;
  source = PackSource();
  source.displayName = kNoticeMemberName;
  source.inMemory = true;
  source.content.assign(cp932.begin(), cp932.end());
  source.size = source.content.size();
  source.entry.fileName = kNoticeMemberName;
  source.entry.modifiedSeconds = stamp.seconds;
  source.entry.modifiedNanoseconds = stamp.nanoseconds;
  source.entry.attributes = lzh::kDosArchive;
  return true;
}

bool WriteArchive(const std::vector<PackSource>& sources, char method, unsigned threads,
                  const ByteSink& sink, const PackProgress& progress, std::string& error,
                  std::uint64_t storeFromBytes) {
  std::uint64_t total = 0, done = 0;
  for (const PackSource& s : sources) total += s.size;
  if (threads == 0) threads = 1;
  // Members are prepared ahead on worker threads and written strictly in order.
  std::vector<std::future<PreparedMember>> ahead;
  std::size_t next = 0;
  auto launch = [&] {
    while (next < sources.size() && ahead.size() < threads) {
      const PackSource* s = &sources[next++];
      ahead.push_back(std::async(threads > 1 ? std::launch::async : std::launch::deferred,
                                 [s, method, storeFromBytes] { return Prepare(*s, method, storeFromBytes); }));
    }
  };
  for (std::size_t k = 0; k < sources.size(); ++k) {
    launch();
    PreparedMember m = ahead.front().get();
    ahead.erase(ahead.begin());
    launch();
    if (!m.ok) {
      error = m.error;
      for (auto& f : ahead) f.wait();
      return false;
    }
    if (!sink(m.header.data(), m.header.size())) return error = "cannot write the output", false;
    if (m.streamed) {
      if (!CopyStored(sources[k], m.streamedSize, sink, error)) {
        for (auto& f : ahead) f.wait();
        return false;
      }
    } else if (!m.data.empty() && !sink(m.data.data(), m.data.size())) {
      return error = "cannot write the output", false;
    }
    done += sources[k].size;
    if (progress) progress(done, total);
  }
  const std::uint8_t endByte = lzh::kEndByte;
  if (!sink(&endByte, 1)) return error = "cannot write the output", false;
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
      return error = "header of member " + std::to_string(number) + ": " + error, false;
    if (!reader.Decode(MemberSink(), error))
      return error = "member " + MemberNameForDisplay(member.name) + ": " + error, false;
  }
  length = static_cast<std::size_t>(reader.nextHeaderOffset()) + 1;
  return true;
}
