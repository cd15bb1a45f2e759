// quorvel-pack: makes self-extracting files and plain LZH archives, and lists,
// tests and extracts them.
#include <cstdio>
#include <cstring>
#include <vector>

#include "pack/command_registry.h"

namespace {
std::vector<PackCommand>& Commands() {
  static std::vector<PackCommand> commands;
  return commands;
}
}  // namespace

CommandRegistration::CommandRegistration(const PackCommand& command) {
  Commands().push_back(command);
}

const PackCommand* FindPackCommand(const char* name) {
  for (const PackCommand& c : Commands())
    if (std::strcmp(c.name, name) == 0) return &c;
  return nullptr;
}

void PrintPackUsage(const char* program) {
  std::printf("usage:\n");
  for (const PackCommand& c : Commands()) std::printf("  %s %s\n", program, c.usage);
}

int main(int argc, char** argv) {
  const char* program = "quorvel-pack";
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintPackUsage(program);
    return argc < 2 ? 2 : 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("quorvel-pack 2.1.0\n");
    return 0;
  }
  const PackCommand* command = FindPackCommand(argv[1]);
  if (!command) {
    std::fprintf(stderr, "quorvel-pack: unknown command '%s' (try --help)\n", argv[1]);
    return 2;
  }
  return command->run(argc - 1, argv + 1);
}
