// quorvel-pack test FILE: decodes every member with the stub's own engine and
// checks every CRC; stops at the first failure, naming the member.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "pack/archive_reader.h"
#include "pack/command_registry.h"

namespace {
int RunTest(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quorvel-pack test FILE\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  ArchiveReader reader;
  std::string error;
  if (!reader.Open(argv[1], error)) {
    std::fprintf(stderr, "quorvel-pack: test: %s\n", error.c_str());
    return 1;
  }
  ArchiveMember m;
  std::uint64_t members = 0, bytes = 0;
  for (;;) {
    const ReadStatus status = reader.Next(m, error);
    if (status == ReadStatus::End) break;
    if (status == ReadStatus::Failed) {
      std::fprintf(stderr, "quorvel-pack: test: %s: header of member %" PRIu64 ": %s\n", argv[1],
                   members + 1, error.c_str());
      return 1;
    }
    if (!reader.Decode(MemberSink(), error)) {
      std::fprintf(stderr, "quorvel-pack: test: %s: member %s: %s\n", argv[1],
                   MemberNameForDisplay(m.name).c_str(), error.c_str());
      return 1;
    }
    ++members;
    if (m.method != 'd') bytes += static_cast<std::uint64_t>(m.originalSize);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%s: %" PRIu64 " member%s, %" PRIu64 " bytes, every CRC matches (%.3f s)\n", argv[1],
              members, members == 1 ? "" : "s", bytes, seconds);
  return 0;
}

const CommandRegistration registration({"test", "test FILE    decode every member and check its CRC",
                                        RunTest});
}  // namespace
