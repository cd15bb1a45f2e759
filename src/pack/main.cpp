// quorvel-pack: makes self-extracting files and plain LZH archives, and lists,
// tests and extracts them.
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "pack/command_line.h"
#include "pack/utf8_system.h"

namespace {
// Every command, in the order --help lists them.
const PackCommand kCommands[] = {
    {"create", kCreateUsage, RunCreate, kCreateNotes},
    {"extract", kExtractUsage, RunExtract},
    {"info", kInfoUsage, RunInfo},
    {"list", kListUsage, RunList},
    {"test", kTestUsage, RunTest},
};
constexpr std::size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

const PackCommand* FindCommand(const std::string& name) {
  for (const PackCommand& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = Utf8Arguments(argc, argv);
  if (args.empty()) {
    std::fprintf(stderr, "quorvel-pack: a command is missing\n");
    PrintPackUsage(stderr, kCommands, kCommandCount);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintPackUsage(stdout, kCommands, kCommandCount);
    return kExitSuccess;
  }
  if (args[0] == "--version") {
    PrintVersion();
    return kExitSuccess;
  }
  const PackCommand* command = FindCommand(args[0]);
  if (!command) {
    std::fprintf(stderr, "quorvel-pack: unknown command '%s' (try --help)\n", args[0].c_str());
    return kExitUsage;
  }
  args.erase(args.begin());
  return command->run(CommandLine(*command, std::move(args)));
}
