// quorvel-pack info FILE: what a self-extracting file will do before anyone
// runs it: its stub, the texts and options of its configuration block, what
// its archive holds, the notice it shows first and whether it is signed.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "pack/archive_walk.h"
#include "pack/command_line.h"
#include "pack/pack_json.h"
#include "pack/sfx_info.h"
#include "pack/terminal_text.h"

namespace {

constexpr char kUsage[] =
    "info FILE [--json]    what a self-extracting file shows and does when it runs";
// The stub shows a notice of at most 1023 bytes; more than this is not kept.
constexpr std::size_t kMaxNoticeBytesKept = 64 * 1024;

struct ArchiveSummary {
  std::uint64_t members = 0, files = 0, folders = 0, size = 0, packed = 0;
  bool hasNotice = false;
  std::string notice;  // code page 932, at most kMaxNoticeBytesKept bytes
  std::uint64_t noticeBytes = 0;
};

// Walks every header; decodes the first member when it is the notice.
bool Summarize(ArchiveWalk& walk, ArchiveSummary& s) {
  if (!walk.Open()) return false;
  ArchiveMember m;
  while (walk.Next(m)) {
    ++s.members;
    (m.IsDirectory() ? s.folders : s.files) += 1;
    s.size += static_cast<std::uint64_t>(m.originalSize);
    s.packed += static_cast<std::uint64_t>(m.compressedSize);
    if (s.members == 1 && m.name == kNoticeMemberName) {
      s.hasNotice = true;
      const bool decoded = walk.Decode([&s](const void* data, std::size_t length) {
        const char* bytes = static_cast<const char*>(data);
        const std::size_t room = kMaxNoticeBytesKept - s.notice.size();
        s.notice.append(bytes, length < room ? length : room);
        s.noticeBytes += length;
        return true;
      });
      if (!decoded) return false;
    }
  }
  return !walk.failed();
}

// A text of the block, or what the stub puts in its place when it is empty.
std::string FieldOrDefault(const char* text, std::uint32_t codePage, const char* whenEmpty) {
  return text[0] ? TextForTerminal(text, codePage) : std::string("(empty: ") + whenEmpty + ")";
}

std::string LanguageInWords(std::uint32_t flags) {
  switch (ConfigLanguage(flags)) {
    case kLanguageAuto: return "auto (Japanese on a Japanese system, else English)";
    case kLanguageJapanese: return "Japanese";
    case kLanguageEnglish: return "English";
    default: return "unknown (read as auto)";
  }
}

std::string FlagsInWords(std::uint32_t flags) {
  char value[16];
  std::snprintf(value, sizeof value, "0x%08" PRIX32, flags);
  std::string text = value;
  const std::vector<std::string> words = FlagWords(flags);
  if (words.empty()) return text + ": ask before overwriting, attributes not restored";
  for (std::size_t i = 0; i < words.size(); ++i) text += (i ? ", " : ": ") + words[i];
  return text;
}

std::string SignatureInWords(const SfxDescription& d) {
  if (d.certificateSize == 0) return "none";
  const std::string where = std::to_string(d.certificateSize) + " bytes at offset " +
                            std::to_string(d.certificateOffset);
  if (HasAuthenticodeSignature(d))
    return "Authenticode signature attached, " + where + " (not verified here)";
  char type[8];
  std::snprintf(type, sizeof type, "0x%04X", d.certificateType);
  return std::string("a certificate table of type ") + type + ", " + where +
         ", but no Authenticode signature";
}

// Later lines of a text that runs over several lines start under the first.
std::string Indented(const std::string& text, std::size_t indent) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c;
    if (c == '\n') out.append(indent, ' ');
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
  return out;
}

void PrintField(const char* name, const std::string& value) {
  std::printf("%-16s %s\n", name, value.c_str());
}

void PrintText(const std::string& file, const SfxDescription& d, const ArchiveSummary& s) {
  const SfxConfig& c = d.config;
  const std::uint32_t flags = ConfigFlags(c);
  PrintField("file:", TerminalText(file) + ", " + CountOf(d.fileSize, "byte"));
  PrintField("stub:", MachineName(d.machine) + (d.pe32Plus ? " (PE32+)" : " (PE32)") +
                          ", image ends at offset " + std::to_string(d.imageEnd));
  const std::uint32_t page = BlockTextCodePage(flags);
  PrintField("title:", FieldOrDefault(c.title, page, "the stub's own title"));
  PrintField("label:", FieldOrDefault(c.folderLabel, page, "the dialog's own label"));
  PrintField("default folder:", FieldOrDefault(c.defaultFolder, page, "the current directory"));
  PrintField("message:", FieldOrDefault(c.message, page, (flags & kFlagOverwriteWithoutAsking)
                                                              ? "the stub's own line about overwriting"
                                                              : "no message"));
  PrintField("auto-run:", FieldOrDefault(c.autoRunCommand, page, "no command"));
  PrintField("flags:", FlagsInWords(flags));
  PrintField("language:", LanguageInWords(flags));
  PrintField("archive:", "at offset " + std::to_string(ConfigArchiveOffset(c)) + ", " +
                             CountOf(s.members, "member") + " (" + CountOf(s.files, "file") +
                             ", " + CountOf(s.folders, "folder") + "), " +
                             CountOf(s.size, "byte") + ", " + std::to_string(s.packed) +
                             " packed");
  std::string notice = "none";
  if (s.hasNotice) {
    notice = Indented(TextForTerminal(s.notice.c_str(), page, ShownAs::Lines), 17);
    if (s.noticeBytes > s.notice.size())
      notice += "\n" + std::string(17, ' ') + "(the first " + std::to_string(s.notice.size()) +
                " of " + CountOf(s.noticeBytes, "byte") + ")";
  }
  PrintField("notice:", notice);
  PrintField("signature:", SignatureInWords(d));
}

void PrintDocument(const std::string& file, const SfxDescription& d, const ArchiveSummary& s) {
  const SfxConfig& c = d.config;
  const std::uint32_t flags = ConfigFlags(c);
  Json doc = Json::object();
  doc["file"] = file;
  doc["fileSize"] = d.fileSize;
  doc["stub"] = {{"architecture", MachineName(d.machine)},
                 {"machine", d.machine},
                 {"pe32Plus", d.pe32Plus},
                 {"imageEnd", d.imageEnd}};
  const std::uint32_t page = BlockTextCodePage(flags);
  PutText(doc, "title", c.title, page);
  PutText(doc, "label", c.folderLabel, page);
  PutText(doc, "defaultFolder", c.defaultFolder, page);
  PutText(doc, "message", c.message, page);
  PutText(doc, "autoRun", c.autoRunCommand, page);
  doc["flags"] = {{"value", flags},
                  {"restoreAttributes", (flags & kFlagRestoreAttributes) != 0},
                  {"overwriteWithoutAsking", (flags & kFlagOverwriteWithoutAsking) != 0},
                  {"temporaryFolder", (flags & kFlagTemporaryFolder) != 0},
                  {"utf8Texts", (flags & kFlagUtf8Texts) != 0},
                  {"words", FlagWords(flags)}};
  doc["language"] = LanguageCode(flags);
  doc["archive"] = {{"offset", ConfigArchiveOffset(c)}, {"members", s.members},
                    {"files", s.files},                 {"folders", s.folders},
                    {"size", s.size},                   {"packedSize", s.packed}};
  if (s.hasNotice) {
    Json notice = Json::object();
    PutText(notice, "text", s.notice, page);
    notice["size"] = s.noticeBytes;
    doc["notice"] = std::move(notice);
  } else {
    doc["notice"] = nullptr;
  }
  Json signature = Json::object();
  signature["authenticode"] = HasAuthenticodeSignature(d);
  signature["certificateTable"] =
      d.certificateSize == 0
          ? Json(nullptr)
          : Json{{"offset", d.certificateOffset}, {"size", d.certificateSize},
                 {"type", d.certificateType}};
  doc["signature"] = std::move(signature);
  PrintJson(doc);
}

}  // namespace

const char* const kInfoUsage = kUsage;

int RunInfo(const CommandLine& line) {
  bool json = false;
  const ScannedArguments args =
      line.Scan({FlagOption("--json", nullptr, json)}, Operands::OneArchive);
  if (args.finished) return args.exitCode;
  const std::string& file = args.operands[0];
  SfxDescription description;
  std::string error;
  if (!ReadSfxDescription(file, description, error))
    return line.Fail(Quoted(file) + ": " + error), kExitFailure;
  ArchiveWalk walk(line, file);
  ArchiveSummary summary;
  if (!Summarize(walk, summary)) return kExitFailure;
  if (json) PrintDocument(file, description, summary);
  else PrintText(file, description, summary);
  return kExitSuccess;
}
