// The packer's subcommands register themselves here, each from its own file,
// so that `quorvel-pack COMMAND ...` finds them by name.
#pragma once

struct PackCommand {
  const char* name;
  const char* usage;  // one line, shown by --help
  int (*run)(int argc, char** argv);  // argv[0] is the command's name
};

struct CommandRegistration {
  explicit CommandRegistration(const PackCommand& command);
};

const PackCommand* FindPackCommand(const char* name);
void PrintPackUsage(const char* program);
