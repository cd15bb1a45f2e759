// Files that the packer writes into folders that others may write to as well
// (the output's folder, an extraction's destination). Nothing is written by a
// name that someone could have turned into a link in the meantime:
//   - a folder is held open: on POSIX by a descriptor, reached from its
//     parent's descriptor one name at a time, never through a link unless
//     links are to be followed;
//   - a new file is created exclusively under an unpredictable name in it
//     (O_CREAT|O_EXCL|O_NOFOLLOW; CREATE_NEW on Windows), so a link planted
//     at any name is never opened, and it is written and given its time
//     through the descriptor it was created with;
//   - it takes its name by a rename, which replaces a link standing there
//     instead of following it.
// On Windows a folder is held by its path: a reparse point that is a link
// (symbolic link, junction) is refused where a path is walked, but one
// swapped in between that test and the use is not caught.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What stands at a name, a link not followed.
enum class EntryKind { Missing, File, Folder, Link, Other };

// Whether path itself is a symbolic link (on Windows also a junction), and
// the text of its target ("?" where it cannot be read).
bool IsSymbolicLink(const std::filesystem::path& path, std::string& target);

class OpenFolder {
 public:
  OpenFolder() = default;
  ~OpenFolder();
  OpenFolder(OpenFolder&& other) noexcept;
  OpenFolder& operator=(OpenFolder&& other) noexcept;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  // Opens the folder at path, following links on the way: whoever gave the
  // path chose them; an empty path is the current folder. False when it is
  // no folder that can be opened.
  bool Open(const std::filesystem::path& path);
  // The path it was reached by, for messages.
  const std::filesystem::path& path() const { return path_; }

  enum class Step { Opened, Link, NotFolder, Failed };
  // Opens the folder `name` inside this one as child, creating it first when
  // it is missing and create is set. A link there is not followed
  // (Step::Link) unless followLinks.
  Step OpenChild(const std::filesystem::path& name, bool create, bool followLinks,
                 OpenFolder& child) const;
  EntryKind KindOf(const std::filesystem::path& name) const;
  // Sets the folder's own modification time (a Windows file time).
  bool SetModifiedTime(std::uint64_t fileTime) const;
  // Gives the folder the permission bits of a Unix mode, less the umask
  // (never set-user-id, set-group-id or sticky); nothing on Windows.
  bool SetUnixMode(std::uint16_t mode) const;
  // Creates the symbolic link `name` to target in this folder; false where
  // something has the name or the system makes no links (Windows).
  bool MakeLink(const std::filesystem::path& name, const std::string& target) const;

 private:
  friend class NewFile;
  void Close();

  std::filesystem::path path_;
#ifndef _WIN32
  int fd_ = -1;
#endif
};

// A file created new under an unpredictable name in a folder, which must
// outlive it; removed again unless it is given its name.
class NewFile {
 public:
  explicit NewFile(const OpenFolder& folder) : folder_(folder) {}
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Creates the file, with the mode a new file gets (under the umask).
  bool Create();
  bool IsOpen() const;
  // Appends bytes (buffered).
  bool Write(const std::uint8_t* data, std::size_t size);
  // Replaces bytes already written.
  bool WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  // Drops every byte from size on.
  bool Truncate(std::uint64_t size);
  // Sets the modification time (a Windows file time).
  bool SetModifiedTime(std::uint64_t fileTime);
  // As OpenFolder::SetUnixMode; with owner set, also the Unix user and
  // group ids (which only the superuser may give away).
  bool SetUnixMode(std::uint16_t mode);
  bool SetOwner(std::uint16_t uid, std::uint16_t gid);

  enum class Named {
    Done,
    Exists,    // replace was not set and something has the name
    Replaced,  // what took the name was not this file: someone swapped it
    Failed,
  };
  // Writes what is buffered, closes the file and renames it to name in its
  // folder; an existing entry of that name is replaced only when replace is set.
  Named GiveName(const std::filesystem::path& name, bool replace);

 private:
  bool Flush();
  bool WriteOut(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  void CloseFile();

  const OpenFolder& folder_;
  std::filesystem::path tempName_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
  std::vector<std::uint8_t> buffer_;
  std::uint64_t flushed_ = 0;  // bytes in the file before those of buffer_
  bool named_ = false;
};
