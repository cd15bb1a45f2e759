// quorvel-pack list FILE: one line per member of a plain archive or a
// self-extracting file.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "pack/archive_reader.h"
#include "pack/command_registry.h"

namespace {
std::string MethodText(char method) { return std::string("-lh") + method + "-"; }

int RunList(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvel-pack list FILE\n");
    return 2;
  }
  ArchiveReader reader;
  std::string error;
  if (!reader.Open(argv[1], error)) {
    std::fprintf(stderr, "quorvel-pack: list: %s\n", error.c_str());
    return 1;
  }
  if (reader.archiveOffset() != 0)
    std::printf("self-extracting file, archive at offset %" PRIu64 "\n", reader.archiveOffset());
  std::printf("%-6s %12s %12s %7s %-5s %-19s %s\n", "method", "packed", "size", "ratio", "crc",
              "modified (UTC)", "name");
  ArchiveMember m;
  std::uint64_t members = 0, packed = 0, size = 0;
  for (;;) {
    const ReadStatus status = reader.Next(m, error);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed) {
      std::fprintf(stderr, "quorvel-pack: list: %s: header of member %" PRIu64 ": %s\n", argv[1],
                   members + 1, error.c_str());
      return 1;
    }
    char ratio[16] = "";
    if (m.method != 'd' && m.originalSize > 0)
      std::snprintf(ratio, sizeof ratio, "%.1f%%", 100.0 * static_cast<double>(m.compressedSize) /
                                                      static_cast<double>(m.originalSize));
    std::printf("%-6s %12" PRId64 " %12" PRId64 " %7s %04X  %-19s %s\n", MethodText(m.method).c_str(),
                m.compressedSize, m.originalSize, ratio, m.dataCrc, FormatFileTime(m.modifiedTime).c_str(),
                MemberNameForDisplay(m.name).c_str());
    ++members;
    packed += static_cast<std::uint64_t>(m.compressedSize);
    size += static_cast<std::uint64_t>(m.originalSize);
  }
  std::printf("%" PRIu64 " member%s, %" PRIu64 " bytes packed, %" PRIu64 " bytes\n", members,
              members == 1 ? "" : "s", packed, size);
  return 0;
}

const CommandRegistration registration({"list", "list FILE    one line per member of an archive or self-extracting file",
                                        RunList});
}  // namespace
