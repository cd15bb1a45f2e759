// quorvel-pack create: compresses files and folders into a self-extracting
// file (the stub, its configuration block, the archive) or a plain .lzh.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/exe_layout.h"
#include "pack/archive_writer.h"
#include "pack/command_registry.h"
#include "pack/header_writer.h"
#include "pack/sfx_writer.h"
#include "pack/utf8_args.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define QUORVEL_ISATTY _isatty
#define QUORVEL_FILENO _fileno
#else
#include <unistd.h>
#define QUORVEL_ISATTY isatty
#define QUORVEL_FILENO fileno
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "create -o OUT [--stub x86_64|i686|FILE] [--method lh0|lh5|lh6|lh7] [--title T] [--label T]\n"
    "      [--folder DIR] [--message T] [--run CMD] [--overwrite] [--restore-attributes]\n"
    "      [--notice FILE] [--archive IN.lzh] [--quiet] PATH...";

struct CreateOptions {
  std::string output;
  std::string stub = "x86_64";
  char method = '7';
  SfxSettings settings;
  std::string sfxOption;  // the first option that only a self-extracting file takes
  std::string notice;
  std::string archive;
  bool quiet = false;
  std::vector<std::string> paths;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "quorvel-pack create: %s\n", message.c_str());
  return 1;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  std::size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char a = s[s.size() - n + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

bool IsPlainArchive(const std::string& output) {
  return EndsWithNoCase(output, ".lzh") || EndsWithNoCase(output, ".lha");
}

// 0 on success, else the exit code after a message.
int ParseOptions(int argc, char** argv, CreateOptions& o, bool& helpShown) {
  helpShown = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    auto sfxOnly = [&] {
      if (o.sfxOption.empty()) o.sfxOption = a;
    };
    auto text = [&](std::string& into) {
      sfxOnly();
      return value(into);
    };
    bool ok = true;
    if (a == "--help" || a == "-h") {
      std::printf("usage: quorvel-pack %s\n", kUsage);
      helpShown = true;
      return 0;
    } else if (a == "--version") {
      std::printf("quorvel-pack 2.1.0\n");
      helpShown = true;
      return 0;
    } else if (a == "-o" || a == "--output") {
      ok = value(o.output);
    } else if (a == "--stub") {
      sfxOnly();
      ok = value(o.stub);
    } else if (a == "--method") {
      std::string m;
      ok = value(m);
      if (ok) {
        if (m == "lh0" || m == "lh5" || m == "lh6" || m == "lh7")
          o.method = m[2];
        else
          return Fail("--method: '" + m + "' is none of lh0, lh5, lh6, lh7"), 2;
      }
    } else if (a == "--title") {
      ok = text(o.settings.title);
    } else if (a == "--label") {
      ok = text(o.settings.label);
    } else if (a == "--folder") {
      ok = text(o.settings.folder);
    } else if (a == "--message") {
      ok = text(o.settings.message);
    } else if (a == "--run") {
      ok = text(o.settings.command);
    } else if (a == "--overwrite") {
      sfxOnly();
      o.settings.overwriteWithoutAsking = true;
    } else if (a == "--restore-attributes") {
      sfxOnly();
      o.settings.restoreAttributes = true;
    } else if (a == "--notice") {
      ok = value(o.notice);
    } else if (a == "--archive") {
      ok = value(o.archive);
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (a == "--") {
      for (++i; i < argc; ++i) o.paths.push_back(argv[i]);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return Fail("unknown option '" + a + "' (try --help)"), 2;
    } else {
      o.paths.push_back(a);
    }
    if (!ok) return Fail(a + ": a value is missing"), 2;
  }
  if (o.output.empty()) return Fail("-o OUT is missing"), 2;
  if (o.archive.empty() && o.paths.empty()) return Fail("no files or folders to pack"), 2;
  if (!o.archive.empty() && (!o.paths.empty() || !o.notice.empty()))
    return Fail("--archive takes no paths and no --notice: the archive is appended as it is"), 2;
  if (IsPlainArchive(o.output) && !o.sfxOption.empty())
    return Fail(o.sfxOption + ": '" + o.output +
                "' is a plain archive; this option is for self-extracting files"),
           2;
  return 0;
}

fs::path ProgramPath(const char* argv0) {
#ifdef _WIN32
  (void)argv0;
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  return fs::path(buffer);
#else
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self;
  return fs::absolute(argv0, ec);
#endif
}

// --stub x86_64 or i686 names a built stub, found beside the program (the
// dist folder) or in the share folder of its install prefix.
bool FindStub(const std::string& stub, const char* argv0, fs::path& found, std::string& error) {
  if (stub != "x86_64" && stub != "i686") {
    found = fs::u8path(stub);
    return true;
  }
  const std::string file = "quorvel-sfx-" + stub + ".exe";
  const fs::path dir = ProgramPath(argv0).parent_path();
  for (const fs::path& candidate : {dir / file, dir / ".." / "share" / "quorvel" / file}) {
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) {
      found = candidate;
      return true;
    }
  }
  error = "--stub " + stub + ": " + file + " is neither beside the program nor in " +
          "../share/quorvel; give the stub's file with --stub FILE";
  return false;
}

bool ReadFile(const fs::path& path, std::vector<std::uint8_t>& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}


class OutputFile {
 public:
  explicit OutputFile(const fs::path& path) : path_(path), temp_(path) {
    temp_ += ".part";
    file_.open(temp_, std::ios::binary | std::ios::trunc);
  }
  ~OutputFile() {
    if (!committed_) {
      file_.close();
      std::error_code ec;
      fs::remove(temp_, ec);
    }
  }
  bool Ok() const { return static_cast<bool>(file_); }
  bool Write(const std::uint8_t* data, std::size_t size) {
    file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(file_);
  }
  bool Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    file_.seekp(static_cast<std::streamoff>(offset));
    file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file_.seekp(0, std::ios::end);
    return static_cast<bool>(file_);
  }
  bool Commit() {
    file_.close();
    if (!file_) return false;
    std::error_code ec;
    fs::rename(temp_, path_, ec);
    if (ec) return false;
    committed_ = true;
    return true;
  }

 private:
  fs::path path_, temp_;
  std::ofstream file_;
  bool committed_ = false;
};

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  void Show(std::uint64_t done, std::uint64_t total) {
    if (!enabled_) return;
    int percent = total ? static_cast<int>(done * 100 / total) : 100;
    if (percent == last_) return;
    last_ = percent;
    constexpr int kWidth = 40;
    int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                 kWidth - filled, "", percent);
    std::fflush(stderr);
  }
  void End() {
    if (enabled_ && last_ >= 0) std::fprintf(stderr, "\n");
  }

 private:
  bool enabled_;
  int last_ = -1;
};

int RunCreate(int argc, char** rawArgv) {
  // Texts and paths as UTF-8 on every system.
  std::vector<std::string> args = Utf8Arguments(argc, rawArgv);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(&a[0]);
  pointers.push_back(nullptr);
  char** argv = pointers.data();
  CreateOptions o;
  bool helpShown = false;
  if (int code = ParseOptions(argc, argv, o, helpShown)) return code;
  if (helpShown) return 0;
  std::string error;
  const bool plain = IsPlainArchive(o.output);

  // Everything that can be refused is checked before the output is touched.
  std::vector<std::uint8_t> stub;
  std::uint32_t checksumOffset = 0;
  SfxConfig block;
  if (!plain) {
    fs::path stubPath;
    if (!FindStub(o.stub, argv[0], stubPath, error)) return Fail(error);
    if (!ReadFile(stubPath, stub))
      return Fail("--stub: cannot read '" + stubPath.u8string() + "'");
    if (!CheckStub(stub, checksumOffset, error))
      return Fail("--stub '" + stubPath.u8string() + "': " + error);
    if (!FillSfxConfig(o.settings, static_cast<std::uint32_t>(stub.size()), block, error))
      return Fail(error);
    std::memcpy(&stub[exe_layout::kConfigOffset], &block, sizeof block);
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    std::memcpy(&stub[checksumOffset], zero, sizeof zero);
  }

  std::vector<PackSource> sources;
  std::vector<std::uint8_t> foreign;
  std::size_t foreignLength = 0;
  if (!o.archive.empty()) {
    if (!ReadFile(fs::u8path(o.archive), foreign))
      return Fail("--archive: cannot read '" + o.archive + "'");
    if (!CheckAppendableArchive(foreign, foreignLength, error))
      return Fail("--archive '" + o.archive + "': " + error);
  } else {
    if (!o.notice.empty()) {
      PackSource notice;
      if (!MakeNoticeSource(o.notice, notice, error)) return Fail("--notice " + error);
      sources.push_back(std::move(notice));
    }
    if (!CollectSources(o.paths, sources, error)) return Fail(error);
    // An earlier output inside a packed folder is not packed into the new one.
    std::error_code ec;
    const fs::path target = fs::u8path(o.output);
    if (fs::exists(target, ec))
      for (auto it = sources.begin(); it != sources.end(); ++it)
        if (!it->directory && !it->inMemory && fs::equivalent(it->path, target, ec)) {
          sources.erase(it);
          break;
        }
  }

  OutputFile out(fs::u8path(o.output));
  if (!out.Ok()) return Fail("'" + o.output + "': cannot create the file");
  PeChecksum checksum(checksumOffset);
  auto sink = [&](const std::uint8_t* data, std::size_t size) {
    if (!plain) checksum.Add(data, size);
    return out.Write(data, size);
  };
  if (!plain && !sink(stub.data(), stub.size()))
    return Fail("'" + o.output + "': cannot write the file");

  ProgressBar bar(!o.quiet && QUORVEL_ISATTY(QUORVEL_FILENO(stderr)));
  if (!o.archive.empty()) {
    if (!sink(foreign.data(), foreignLength))
      return Fail("'" + o.output + "': cannot write the file");
  } else {
    unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    bool ok = WriteArchive(sources, o.method, threads, sink,
                           [&](std::uint64_t done, std::uint64_t total) { bar.Show(done, total); },
                           error);
    bar.End();
    if (!ok) return Fail(error.find('\'') == 0 ? error : "'" + o.output + "': " + error);
  }
  if (!plain) {
    std::uint8_t value[4];
    exe_layout::WriteLe32(value, checksum.Finish());
    if (!out.Patch(checksumOffset, value, sizeof value))
      return Fail("'" + o.output + "': cannot write the file");
  }
  if (!out.Commit()) return Fail("'" + o.output + "': cannot write the file");
  if (!o.quiet)
    std::fprintf(stderr, "quorvel-pack: wrote %s (%zu members)\n", o.output.c_str(),
                 o.archive.empty() ? sources.size() : std::size_t{0});
  return 0;
}

const CommandRegistration kRegistration({"create", kUsage, RunCreate});

}  // namespace
