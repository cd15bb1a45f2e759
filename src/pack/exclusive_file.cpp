#include "pack/exclusive_file.h"

#include <random>
#include <utility>

#include "common/file_time.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Written in pieces of this size; a rewritten header or a cut goes to the
// file after what is buffered.
constexpr std::size_t kBufferBytes = 1 << 18;
// Names tried before giving up: a taken name among 2^64 is someone's doing.
constexpr int kNameAttempts = 16;

// "~qv" and 16 hexadecimal digits from the system's random source: a name
// nobody can plant a link at beforehand.
fs::path RandomName() {
  static const char kDigits[] = "0123456789abcdef";
  std::random_device random;
  std::uint64_t value = (std::uint64_t{random()} << 32) ^ random();
  std::string name = "~qv";
  for (int i = 0; i < 16; ++i, value >>= 4) name += kDigits[value & 15];
  return fs::path(name + ".tmp");
}

#ifdef _WIN32
HANDLE Handle(void* h) { return static_cast<HANDLE>(h); }

EntryKind KindAtPath(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EntryKind::Missing
                                                                          : EntryKind::Other;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // Only a name surrogate (symbolic link, junction) leads elsewhere; other
    // reparse points (deduplicated or cloud files) are files as any other.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      if (IsReparseTagNameSurrogate(found.dwReserved0)) return EntryKind::Link;
    }
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

bool SetHandleTime(HANDLE h, std::uint64_t fileTime) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  return SetFileTime(h, nullptr, nullptr, &ft) != 0;
}
#else
bool SetDescriptorTime(int fd, std::uint64_t fileTime) {
  const UnixTime time = FileTimeToUnix(fileTime);
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(time.seconds);
  times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(time.nanoseconds);
  return futimens(fd, times) == 0;
}
#endif

#ifndef _WIN32
// The permission bits of an archive's mode as a new file of the user's gets
// them: the umask applied, the set-id and sticky bits dropped (an archive
// must not hand out privileges).
mode_t PermissionsOf(std::uint16_t mode) {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(mode & 0777) & ~mask;
}
#endif
}  // namespace

bool IsSymbolicLink(const fs::path& path, std::string& target) {
#ifdef _WIN32
  if (KindAtPath(path) != EntryKind::Link) return false;
#else
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
#endif
  std::error_code ec;
  const fs::path to = fs::read_symlink(path, ec);
  target = ec ? std::string("?") : to.u8string();
  return true;
}

// ---- OpenFolder

OpenFolder::~OpenFolder() { Close(); }

OpenFolder::OpenFolder(OpenFolder&& other) noexcept { *this = std::move(other); }

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
#ifndef _WIN32
    fd_ = other.fd_;
    other.fd_ = -1;
#endif
  }
  return *this;
}

void OpenFolder::Close() {
#ifndef _WIN32
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
#endif
}

bool OpenFolder::Open(const fs::path& path) {
  Close();
  path_ = path;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(path.empty() ? L"." : path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
  fd_ = open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0;
#endif
}

OpenFolder::Step OpenFolder::OpenChild(const fs::path& name, bool create, bool followLinks,
                                       OpenFolder& child) const {
  child.Close();
  child.path_ = path_ / name;
#ifdef _WIN32
  EntryKind kind = KindAtPath(child.path_);
  if (kind == EntryKind::Missing && create) {
    CreateDirectoryW(child.path_.c_str(), nullptr);  // one made meanwhile will do as well
    kind = KindAtPath(child.path_);
  }
  if (kind == EntryKind::Link && followLinks)
    kind = fs::is_directory(child.path_) ? EntryKind::Folder : EntryKind::File;
  switch (kind) {
    case EntryKind::Folder: return Step::Opened;
    case EntryKind::Link: return Step::Link;
    case EntryKind::File: return Step::NotFolder;
    default: return Step::Failed;
  }
#else
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  int fd = openat(fd_, name.c_str(), flags | O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT && create) {
    if (mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) return Step::Failed;
    fd = openat(fd_, name.c_str(), flags | O_NOFOLLOW);
  }
  // O_NOFOLLOW refuses a link at the last name with ELOOP; the open is the
  // test, so a link swapped in after any earlier look is refused as well.
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR) && KindOf(name) == EntryKind::Link) {
    if (!followLinks) return Step::Link;
    fd = openat(fd_, name.c_str(), flags);
  }
  if (fd < 0) return errno == ENOTDIR ? Step::NotFolder : Step::Failed;
  child.fd_ = fd;
  return Step::Opened;
#endif
}

EntryKind OpenFolder::KindOf(const fs::path& name) const {
#ifdef _WIN32
  return KindAtPath(path_ / name);
#else
  struct stat st;
  if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? EntryKind::Missing : EntryKind::Other;
  if (S_ISLNK(st.st_mode)) return EntryKind::Link;
  if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
  return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
#endif
}

bool OpenFolder::SetModifiedTime(std::uint64_t fileTime) const {
#ifdef _WIN32
  HANDLE h = CreateFileW(path_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = SetHandleTime(h, fileTime);
  CloseHandle(h);
  return ok;
#else
  return SetDescriptorTime(fd_, fileTime);
#endif
}

bool OpenFolder::SetUnixMode(std::uint16_t mode) const {
#ifdef _WIN32
  (void)mode;
  return true;
#else
  return fchmod(fd_, PermissionsOf(mode)) == 0;
#endif
}

bool OpenFolder::MakeLink(const fs::path& name, const std::string& target) const {
#ifdef _WIN32
  (void)name;
  (void)target;
  return false;
#else
  return symlinkat(target.c_str(), fd_, name.c_str()) == 0;
#endif
}

// ---- NewFile

NewFile::~NewFile() {
  CloseFile();
  if (tempName_.empty() || named_) return;
  // The name is removed, not followed: should someone have put a link there,
  // the link goes.
#ifdef _WIN32
  DeleteFileW((folder_.path_ / tempName_).c_str());
#else
  unlinkat(folder_.fd_, tempName_.c_str(), 0);
#endif
}

bool NewFile::IsOpen() const {
#ifdef _WIN32
  return handle_ != nullptr;
#else
  return fd_ >= 0;
#endif
}

void NewFile::CloseFile() {
#ifdef _WIN32
  if (handle_) CloseHandle(Handle(handle_));
  handle_ = nullptr;
#else
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
#endif
}

bool NewFile::Create() {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    tempName_ = RandomName();
#ifdef _WIN32
    // CREATE_NEW fails on any entry of the name, a link included.
    HANDLE h = CreateFileW((folder_.path_ / tempName_).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = h;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
#else
    fd_ = openat(folder_.fd_, tempName_.c_str(),
                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
#endif
  }
  tempName_.clear();  // nothing of ours to remove
  return false;
}

bool NewFile::WriteOut(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
#ifdef _WIN32
    const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!WriteFile(Handle(handle_), data, piece, &done, &at) || done == 0) return false;
#else
    const ssize_t done = pwrite(fd_, data, size, static_cast<off_t>(offset));
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
#endif
    data += done;
    size -= static_cast<std::size_t>(done);
    offset += static_cast<std::uint64_t>(done);
  }
  return true;
}

bool NewFile::Flush() {
  if (buffer_.empty()) return true;
  if (!WriteOut(flushed_, buffer_.data(), buffer_.size())) return false;
  flushed_ += buffer_.size();
  buffer_.clear();
  return true;
}

bool NewFile::Write(const std::uint8_t* data, std::size_t size) {
  if (!IsOpen()) return false;
  if (buffer_.size() + size > kBufferBytes && !Flush()) return false;
  if (size >= kBufferBytes) {
    if (!WriteOut(flushed_, data, size)) return false;
    flushed_ += size;
    return true;
  }
  if (buffer_.capacity() < kBufferBytes) buffer_.reserve(kBufferBytes);
  buffer_.insert(buffer_.end(), data, data + size);
  return true;
}

bool NewFile::WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  return IsOpen() && Flush() && WriteOut(offset, data, size);
}

bool NewFile::Truncate(std::uint64_t size) {
  if (!IsOpen() || !Flush()) return false;
#ifdef _WIN32
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(Handle(handle_), at, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(handle_)))
    return false;
#else
  if (ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
#endif
  flushed_ = size;
  return true;
}

bool NewFile::SetModifiedTime(std::uint64_t fileTime) {
  if (!IsOpen() || !Flush()) return false;
#ifdef _WIN32
  return SetHandleTime(Handle(handle_), fileTime);
#else
  return SetDescriptorTime(fd_, fileTime);
#endif
}

bool NewFile::SetUnixMode(std::uint16_t mode) {
#ifdef _WIN32
  (void)mode;
  return true;
#else
  return IsOpen() && fchmod(fd_, PermissionsOf(mode)) == 0;
#endif
}

bool NewFile::SetOwner(std::uint16_t uid, std::uint16_t gid) {
#ifdef _WIN32
  (void)uid;
  (void)gid;
  return true;
#else
  return IsOpen() && fchown(fd_, uid, gid) == 0;
#endif
}

NewFile::Named NewFile::GiveName(const fs::path& name, bool replace) {
  if (!IsOpen() || !Flush()) return Named::Failed;
#ifdef _WIN32
  CloseFile();
  const fs::path from = folder_.path_ / tempName_, to = folder_.path_ / name;
  if (!MoveFileExW(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Named::Exists
                                                                       : Named::Failed;
  }
  named_ = true;
  return Named::Done;
#else
  struct stat mine;
  if (fstat(fd_, &mine) != 0) return Named::Failed;
  int renamed = -1;
  if (!replace) {
#ifdef RENAME_NOREPLACE
    renamed =
        renameat2(folder_.fd_, tempName_.c_str(), folder_.fd_, name.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && errno == EEXIST) return Named::Exists;
    if (renamed != 0 && errno != EINVAL && errno != ENOSYS) return Named::Failed;
#endif
    // A file system without an exclusive rename: look, then rename.
    if (renamed != 0 && folder_.KindOf(name) != EntryKind::Missing) return Named::Exists;
  }
  if (renamed != 0 && renameat(folder_.fd_, tempName_.c_str(), folder_.fd_, name.c_str()) != 0)
    return Named::Failed;
  named_ = true;
  // Whoever replaced the temporary file by a link or a file of theirs had
  // that renamed into place: it is removed again, and the member reported.
  struct stat there;
  const bool ours = fstatat(folder_.fd_, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
                    there.st_dev == mine.st_dev && there.st_ino == mine.st_ino;
  const bool closed = close(fd_) == 0;
  fd_ = -1;
  if (!ours) {
    unlinkat(folder_.fd_, name.c_str(), 0);
    return Named::Replaced;
  }
  return closed ? Named::Done : Named::Failed;
#endif
}
