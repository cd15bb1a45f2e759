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
#include "pack/archive_reader.h"
#include "pack/archive_writer.h"
#include "pack/command_line.h"
#include "pack/header_writer.h"
#include "pack/member_names.h"
#include "pack/output_file.h"
#include "pack/pe_image.h"
#include "pack/progress_bar.h"
#include "pack/sfx_writer.h"
#include "pack/source_date.h"
#include "pack/terminal_text.h"
#include "pack/unicode_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "create -o OUT [--stub x86_64|i686|FILE] [--method lh0|lh5|lh6|lh7] [--title T] [--label T]\n"
    "      [--folder DIR] [--message T] [--run CMD] [--overwrite] [--restore-attributes]\n"
    "      [--temp] [--language auto|ja|en] [--notice FILE] [--archive IN.lzh] [--exact-times]\n"
    "      [--follow-links] [--quiet]\n"
    "      PATH...";

constexpr char kNotes[] =
    "notes:\n"
    "  Memory: at most about 200 MB, whatever the size of the files: a file of\n"
    "  1.5 MiB or more is read, compressed and written piece by piece. (An\n"
    "  archive given with --archive is read whole.)\n"
    "  --archive: a level-2 archive of the stub's methods is appended as it is.\n"
    "  Any other (levels 0, 1, 3; methods lh1, lzs, lz5, pm2 and the rest) is\n"
    "  rewritten: members in lh0, lh4 to lh7 copied with their CRCs, the\n"
    "  others decoded and compressed again with --method; symbolic links are\n"
    "  skipped with a warning.\n"
    "  Times: members keep their modification times to the second. Times before\n"
    "  1970 or after 2038-01-19 are kept exactly in an extended header of 27 bytes,\n"
    "  and so is every time with --exact-times.\n"
    "  Links: a symbolic link found in a folder is skipped with a warning that\n"
    "  names it and its target; --follow-links packs what it points at instead\n"
    "  (a link that leads nowhere is then an error). A link given as PATH is\n"
    "  always followed.\n"
    "  Names and texts: any Unicode. Member names outside code page 932 are\n"
    "  stored exactly in UTF-16 and as a code page 932 stand-in ('#' and four\n"
    "  hex digits for each character the code page lacks) for older readers,\n"
    "  the i686 stub among them. Texts outside it (--title, --label, --folder,\n"
    "  --message, --run, the notice) make the block UTF-8, which only the x86_64\n"
    "  stub reads.\n";

struct CreateOptions {
  std::string output;
  std::string stub = "x86_64";
  std::string method = "lh7";
  SfxSettings settings;
  std::string sfxOption;  // the first option given that only a self-extracting file takes
  std::string language = "auto";
  std::string notice;
  std::string archive;
  bool quiet = false;
  bool exactTimes = false;
  bool followLinks = false;
  std::vector<std::string> paths;
};

constexpr const char* kSfxOnlyOptions[] = {"--stub",      "--title", "--label",
                                           "--folder",    "--message", "--run",
                                           "--overwrite", "--restore-attributes", "--temp",
                                           "--language"};
constexpr const char* kMethods[] = {"lh0", "lh5", "lh6", "lh7"};
// --language, in the order of the block's language values.
constexpr const char* kLanguages[] = {"auto", "ja", "en"};
static_assert(kLanguageAuto == 0 && kLanguageJapanese == 1 && kLanguageEnglish == 2,
              "kLanguages follows the block's values");

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

template <std::size_t N>
bool IsOneOf(const std::string& text, const char* const (&names)[N]) {
  return std::find(std::begin(names), std::end(names), text) != std::end(names);
}

ScannedArguments ScanOptions(const CommandLine& line, CreateOptions& o) {
  ScannedArguments args = line.Scan(
      {ValueOption("--output", "-o", o.output), ValueOption("--stub", nullptr, o.stub),
       ValueOption("--method", nullptr, o.method),
       ValueOption("--title", nullptr, o.settings.title),
       ValueOption("--label", nullptr, o.settings.label),
       ValueOption("--folder", nullptr, o.settings.folder),
       ValueOption("--message", nullptr, o.settings.message),
       ValueOption("--run", nullptr, o.settings.command),
       FlagOption("--overwrite", nullptr, o.settings.overwriteWithoutAsking),
       FlagOption("--restore-attributes", nullptr, o.settings.restoreAttributes),
       FlagOption("--temp", nullptr, o.settings.temporaryFolder),
       ValueOption("--language", nullptr, o.language),
       ValueOption("--notice", nullptr, o.notice), ValueOption("--archive", nullptr, o.archive),
       FlagOption("--exact-times", nullptr, o.exactTimes),
       FlagOption("--follow-links", nullptr, o.followLinks), FlagOption("--quiet", "-q", o.quiet)},
      Operands::Paths);
  o.paths = args.operands;
  for (const std::string& option : args.given)
    if (o.sfxOption.empty() && IsOneOf(option, kSfxOnlyOptions)) o.sfxOption = option;
  return args;
}

// What is wrong with the options given together, or nothing.
std::string Disagreement(const CreateOptions& o) {
  if (!IsOneOf(o.method, kMethods))
    return "--method: '" + o.method + "' is none of lh0, lh5, lh6, lh7";
  if (!IsOneOf(o.language, kLanguages))
    return "--language: '" + o.language + "' is none of auto, ja, en";
  if (o.output.empty()) return "-o OUT is missing";
  if (o.archive.empty() && o.paths.empty()) return "no files or folders to pack";
  if (!o.archive.empty() &&
      (!o.paths.empty() || !o.notice.empty() || o.exactTimes || o.followLinks))
    return "--archive takes no paths, no --notice, no --exact-times and no --follow-links: the "
           "archive is appended as it is";
  if (o.settings.temporaryFolder && o.settings.command.empty())
    return "--temp needs --run: the temporary folder is deleted once that command has ended";
  if (IsPlainArchive(o.output) && !o.sfxOption.empty())
    return o.sfxOption + ": " + Quoted(o.output) +
           " is a plain archive; this option is for self-extracting files";
  return std::string();
}

fs::path ProgramPath() {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  return fs::path(buffer);
#else
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec);
#endif
}

// --stub x86_64 or i686 names a built stub, found beside the program (the
// dist folder) or in the share folder of its install prefix.
bool FindStub(const std::string& stub, fs::path& found, std::string& error) {
  if (stub != "x86_64" && stub != "i686") {
    found = fs::u8path(stub);
    return true;
  }
  const std::string file = "quorvel-sfx-" + stub + ".exe";
  const fs::path dir = ProgramPath().parent_path();
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

// The text of an archive's notice member, empty without one.
std::string NoticeOf(const std::vector<std::uint8_t>& archive) {
  ArchiveReader reader;
  reader.OpenBytes(archive.data(), archive.size());
  ArchiveMember first;
  std::string error, text;
  if (reader.Next(first, error) == ReadStatus::Member && first.name == kNoticeMemberName)
    reader.Decode([&text](const void* data, std::size_t length) {
      text.append(static_cast<const char*>(data), length);
      return true;
    }, error);
  return text;
}

bool ReadFile(const fs::path& path, std::vector<std::uint8_t>& data) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}


// One run of create, step by step: everything that can be refused is
// checked before the output is touched.
class CreateJob {
 public:
  CreateJob(const CommandLine& line, const CreateOptions& options)
      : line_(line), o_(options), plain_(IsPlainArchive(options.output)), settings_(options.settings) {}

  // The stub with its configuration block filled in (a plain archive has none).
  bool PrepareStub();
  // The archive to append, or the members to pack.
  bool GatherInput();
  bool WriteOutput();
  // Tells how the i686 stub names the members outside code page 932.
  void NoteStandIns() const;
  void ReportWritten() const;

 private:
  // Whether the texts go into the block in UTF-8, and the language.
  bool ChooseTexts();
  bool ReadAppendedArchive();
  bool CollectMembers();
  bool WriteArchivePart(ArchiveOutput& out);
  bool FailOutput(const std::string& what) const {
    return line_.Fail(Quoted(o_.output) + ": " + what);
  }

  const CommandLine& line_;
  const CreateOptions& o_;
  const bool plain_;
  std::vector<std::uint8_t> stub_;
  std::uint32_t checksumOffset_ = 0;
  std::uint16_t machine_ = 0;
  SfxSettings settings_;
  std::string textOutside932_;  // the first text that makes the block UTF-8, for messages
  std::vector<std::uint8_t> appended_;  // an archive made elsewhere, up to its end byte
  std::vector<PackSource> sources_;
};

bool CreateJob::ChooseTexts() {
  std::string noticeText, error;
  if (!o_.notice.empty() && !ReadNoticeText(o_.notice, noticeText, error))
    return line_.Fail("--notice " + error);
  textOutside932_ = TextOutsideCodePage932(settings_, noticeText);
  settings_.utf8Texts = !textOutside932_.empty();
  // A plain archive has no block to say that its notice is UTF-8.
  if (plain_ && settings_.utf8Texts)
    return line_.Fail("--notice: the notice has no form in code page 932, which a plain archive "
                      "needs; a self-extracting file can carry it in UTF-8");
  settings_.language = static_cast<std::uint32_t>(
      std::find(std::begin(kLanguages), std::end(kLanguages), o_.language) - std::begin(kLanguages));
  return true;
}

bool CreateJob::PrepareStub() {
  if (!ChooseTexts()) return false;
  if (plain_) return true;
  fs::path path;
  std::string error;
  if (!FindStub(o_.stub, path, error)) return line_.Fail(error);
  if (!ReadFile(path, stub_)) return line_.Fail("--stub: cannot read " + Quoted(path.u8string()));
  if (!CheckStub(stub_, checksumOffset_, error, &machine_))
    return line_.Fail("--stub " + Quoted(path.u8string()) + ": " + error);
  // The i686 stub shows its texts through the ANSI functions of the system's
  // code page, and takes them as code page 932.
  if (settings_.utf8Texts && machine_ == pe_image::kMachineI386)
    return line_.Fail(textOutside932_ + " has no form in code page 932, which the i686 stub needs");
  SfxConfig block;
  if (!FillSfxConfig(settings_, static_cast<std::uint32_t>(stub_.size()), block, error))
    return line_.Fail(error);
  std::memcpy(&stub_[exe_layout::kConfigOffset], &block, sizeof block);
  const std::uint8_t zero[4] = {0, 0, 0, 0};
  std::memcpy(&stub_[checksumOffset_], zero, sizeof zero);
  return true;
}

bool CreateJob::GatherInput() {
  return o_.archive.empty() ? CollectMembers() : ReadAppendedArchive();
}

bool CreateJob::ReadAppendedArchive() {
  if (!ReadFile(fs::u8path(o_.archive), appended_))
    return line_.Fail("--archive: cannot read " + Quoted(o_.archive));
  std::size_t length = 0;
  std::string error;
  // An archive the stub reads as it is (level 2, its methods) is appended
  // unchanged; any other is rewritten, member by member.
  if (!CheckAppendableArchive(appended_, length, error)) {
    appended_.clear();
    const bool imported = ImportArchive(o_.archive, sources_, error,
                                        [this](const std::string& name, const std::string& target) {
                                          line_.Note("skipped symbolic link " + name + " -> " + target +
                                                     ": the self-extracting file makes no links");
                                        });
    if (!imported) return line_.Fail("--archive " + Quoted(o_.archive) + ": " + error);
    return true;
  }
  appended_.resize(length);
  // A UTF-8 block says that the notice is UTF-8 too; one that another
  // packer wrote in code page 932 would show as mojibake.
  if (settings_.utf8Texts && !IsValidUtf8(NoticeOf(appended_)))
    return line_.Fail("--archive " + Quoted(o_.archive) + ": its notice is not UTF-8, but " +
                      textOutside932_ + " makes the block's texts UTF-8");
  return true;
}

bool CreateJob::CollectMembers() {
  std::string error;
  if (!o_.notice.empty()) {
    PackSource notice;
    if (!MakeNoticeSource(o_.notice, notice, error, settings_.utf8Texts))
      return line_.Fail("--notice " + error);
    sources_.push_back(std::move(notice));
  }
  CollectOptions collect;
  collect.followLinks = o_.followLinks;
  collect.skippedLink = [this](const std::string& display, const std::string& target) {
    line_.Note("skipped symbolic link " + Quoted(display) + " -> " + Quoted(target));
  };
  if (!CollectSources(o_.paths, sources_, error, collect)) return line_.Fail(error);
  bool reproducible = false;
  std::int64_t epoch = 0;
  if (!ReadSourceDateEpoch(reproducible, epoch, error)) return line_.Fail(error);
  if (reproducible) ClampTimes(sources_, epoch);
  for (PackSource& source : sources_) source.entry.exactTime = o_.exactTimes;
  // An earlier output inside a packed folder is not packed into the new one.
  std::error_code ec;
  const fs::path target = fs::u8path(o_.output);
  if (fs::exists(target, ec))
    for (auto it = sources_.begin(); it != sources_.end(); ++it)
      if (!it->directory && !it->inMemory && fs::equivalent(it->path, target, ec)) {
        sources_.erase(it);
        break;
      }
  return true;
}

bool CreateJob::WriteOutput() {
  OutputFile out(fs::u8path(o_.output));
  if (!out.Ok()) return FailOutput("cannot create the file");
  if (!plain_) {
    out.KeepChecksum(checksumOffset_);
    if (!out.Write(stub_.data(), stub_.size())) return FailOutput("cannot write the file");
  }
  if (!WriteArchivePart(out)) return false;
  return out.Commit() || FailOutput("cannot write the file");
}

bool CreateJob::WriteArchivePart(ArchiveOutput& out) {
  if (!appended_.empty())
    return out.Write(appended_.data(), appended_.size()) || FailOutput("cannot write the file");
  ProgressBar bar(o_.quiet);
  std::uint64_t total = 0;
  for (const PackSource& source : sources_) total += source.size;
  bar.SetTotal(total);
  bar.Update(0);
  const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
  std::string error;
  const bool ok = WriteArchive(
      sources_, o_.method[2], threads, out,
      [&bar](std::uint64_t done, std::uint64_t) { bar.Update(done); }, error);
  if (ok) {
    bar.Finish();
    return true;
  }
  // A message about one of the packed files names it; the rest are about the output.
  return error.find('\'') == 0 ? line_.Fail(error) : FailOutput(error);
}

void CreateJob::NoteStandIns() const {
  if (o_.quiet || plain_ || machine_ != pe_image::kMachineI386) return;
  std::size_t count = 0;
  const PackSource* example = nullptr;
  for (const PackSource& s : sources_)
    if (HasStandInName(s.entry) && count++ == 0) example = &s;
  if (!example) return;
  std::string standIn = example->entry.directory + example->entry.fileName;
  for (char& c : standIn)
    if (c == static_cast<char>(lzh::kDirectorySeparator)) c = '/';
  line_.Note(CountOf(count, "member name") + " outside code page 932: the i686 stub writes them "
             "under their code page 932 stand-ins (" + Quoted(example->displayName) + " as " +
             Quoted(Cp932ForTerminal(standIn)) + ")");
}

void CreateJob::ReportWritten() const {
  if (o_.quiet) return;
  const std::string what =
      !appended_.empty() ? Quoted(o_.archive) + " appended"
      : o_.archive.empty() ? CountOf(sources_.size(), "member")
                           : CountOf(sources_.size(), "member") + " from " + Quoted(o_.archive);
  line_.Note("wrote " + o_.output + " (" + what + ")");
}

}  // namespace

const char* const kCreateUsage = kUsage;
const char* const kCreateNotes = kNotes;

int RunCreate(const CommandLine& line) {
  CreateOptions options;
  const ScannedArguments args = ScanOptions(line, options);
  if (args.finished) return args.exitCode;
  const std::string disagreement = Disagreement(options);
  if (!disagreement.empty()) return line.UsageError(disagreement);
  CreateJob job(line, options);
  if (!job.PrepareStub() || !job.GatherInput()) return kExitFailure;
  job.NoteStandIns();
  if (!job.WriteOutput()) return kExitFailure;
  job.ReportWritten();
  return kExitSuccess;
}
