// quorvel-pack: makes self-extracting files and plain LZH archives, and lists,
// tests and extracts them.
#include <string>
#include <utility>
#include <vector>

#include "pack/command_line.h"
#include "pack/utf8_system.h"

int main(int argc, char** argv) {
  std::vector<std::string> args = Utf8Arguments(argc, argv);
  if (args.empty()) {
    std::fprintf(stderr, "quorvel-pack: a command is missing\n");
    PrintPackUsage(stderr);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    PrintPackUsage(stdout);
    return kExitSuccess;
  }
  if (args[0] == "--version") {
    PrintVersion();
    return kExitSuccess;
  }
  const PackCommand* command = FindPackCommand(args[0]);
  if (!command) {
    std::fprintf(stderr, "quorvel-pack: unknown command '%s' (try --help)\n", args[0].c_str());
    return kExitUsage;
  }
  args.erase(args.begin());
  return command->run(CommandLine(*command, std::move(args)));
}
