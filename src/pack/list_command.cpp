// quorvel-pack list FILE: one line per member of a plain archive or a
// self-extracting file.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "pack/archive_walk.h"
#include "pack/command_line.h"
#include "pack/pack_json.h"
#include "pack/terminal_text.h"

namespace {

constexpr char kUsage[] =
    "list FILE [--json]    one line per member of an archive or self-extracting file";

struct ListTotals {
  std::uint64_t members = 0, packed = 0, size = 0;
  void Add(const ArchiveMember& m) {
    ++members;
    packed += static_cast<std::uint64_t>(m.compressedSize);
    size += static_cast<std::uint64_t>(m.originalSize);
  }
};

void PrintHeading(std::uint64_t archiveOffset) {
  if (archiveOffset != 0)
    std::printf("self-extracting file, archive at offset %" PRIu64 "\n", archiveOffset);
  std::printf("%-6s %12s %12s %7s %-5s %-19s %-3s %-10s %s\n", "method", "packed", "size", "ratio", "crc",
              "modified (UTC)", "lvl", "os", "name");
}

void PrintMember(const ArchiveMember& m) {
  char ratio[16] = "";
  if (!m.IsDirectory() && m.originalSize > 0)
    std::snprintf(ratio, sizeof ratio, "%.1f%%",
                  100.0 * static_cast<double>(m.compressedSize) /
                      static_cast<double>(m.originalSize));
  std::string name = MemberNameForDisplay(m);
  if (m.IsSymlink()) name += " -> " + LinkTargetForDisplay(m);
  std::printf("%-6s %12" PRId64 " %12" PRId64 " %7s %04X  %-19s %-3u %-10s %s\n",
              TerminalText(m.MethodName(), ShownAs::Bytes).c_str(), m.compressedSize, m.originalSize, ratio,
              m.dataCrc, FormatFileTime(m.modifiedTime).c_str(), static_cast<unsigned>(m.level),
              m.OsName().c_str(), name.c_str());
}

void PrintTotals(const ListTotals& totals) {
  std::printf("%s, %s packed, %s\n", CountOf(totals.members, "member").c_str(),
              CountOf(totals.packed, "byte").c_str(), CountOf(totals.size, "byte").c_str());
}

// The whole listing as one JSON document, printed only when every header read.
int ListJson(ArchiveWalk& walk) {
  Json members = Json::array();
  ListTotals totals;
  ArchiveMember m;
  while (walk.Next(m)) {
    members.push_back(MemberJson(m));
    totals.Add(m);
  }
  if (walk.failed()) return kExitFailure;
  Json document = Json::object();
  document["file"] = walk.file();
  document["selfExtracting"] = walk.archiveOffset() != 0;
  document["archiveOffset"] = walk.archiveOffset();
  document["members"] = std::move(members);
  document["totals"] = {{"members", totals.members}, {"packedSize", totals.packed},
                        {"size", totals.size}};
  PrintJson(document);
  return kExitSuccess;
}

}  // namespace

const char* const kListUsage = kUsage;

int RunList(const CommandLine& line) {
  bool json = false;
  const ScannedArguments args =
      line.Scan({FlagOption("--json", nullptr, json)}, Operands::OneArchive);
  if (args.finished) return args.exitCode;
  ArchiveWalk walk(line, args.operands[0]);
  if (!walk.Open()) return kExitFailure;
  if (json) return ListJson(walk);
  // The heading waits for the first header, so that a file that is no
  // archive gets its message alone.
  ArchiveMember m;
  bool more = walk.Next(m);
  if (walk.failed()) return kExitFailure;
  PrintHeading(walk.archiveOffset());
  ListTotals totals;
  for (; more; more = walk.Next(m)) {
    PrintMember(m);
    totals.Add(m);
  }
  if (walk.failed()) return kExitFailure;
  PrintTotals(totals);
  return kExitSuccess;
}
