// quorvel-pack test FILE: decodes every member with the stub's own engine and
// checks every CRC; stops at the first failure, naming the member.
#include <chrono>
#include <cstdio>
#include <string>

#include "pack/archive_walk.h"
#include "pack/command_line.h"
#include "pack/terminal_text.h"

namespace {

constexpr char kUsage[] = "test FILE    decode every member and check its CRC";

}  // namespace

const char* const kTestUsage = kUsage;

int RunTest(const CommandLine& line) {
  const ScannedArguments args = line.Scan({}, Operands::OneArchive);
  if (args.finished) return args.exitCode;
  const auto started = std::chrono::steady_clock::now();
  ArchiveWalk walk(line, args.operands[0]);
  if (!walk.Open()) return kExitFailure;
  ArchiveMember m;
  std::uint64_t bytes = 0;
  while (walk.Next(m)) {
    if (!walk.Decode(MemberSink())) return kExitFailure;
    if (!m.IsDirectory()) bytes += static_cast<std::uint64_t>(m.originalSize);
  }
  if (walk.failed()) return kExitFailure;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%s: %s, %s, every CRC matches (%.3f s)\n", TerminalText(walk.file()).c_str(),
              CountOf(walk.count(), "member").c_str(), CountOf(bytes, "byte").c_str(), seconds);
  return kExitSuccess;
}
