#include "pack/command_line.h"

#include <cstring>
#include <utility>

#include "pack/progress_bar.h"
#include "pack/terminal_text.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION comes from the CMake project"
#endif

namespace {
constexpr char kProgram[] = "quorvel-pack";

const CommandOption* FindOption(std::initializer_list<CommandOption> options,
                                const std::string& arg) {
  for (const CommandOption& option : options)
    if (arg == option.name || (option.shortName && arg == option.shortName)) return &option;
  return nullptr;
}

// What is wrong with the operands a command got, or nothing.
std::string OperandProblem(const std::vector<std::string>& operands, Operands wanted) {
  if (wanted != Operands::OneArchive) return std::string();
  if (operands.empty()) return "FILE is missing (try --help)";
  if (operands.size() > 1) return "one archive at a time: '" + operands[1] + "' is one too many";
  return std::string();
}

void PrintLine(std::FILE* to, const char* command, const std::string& message) {
  ProgressBar::ClearForMessage();
  std::fprintf(to, "%s %s: %s\n", kProgram, command, TerminalText(message).c_str());
}
}  // namespace

void PrintPackUsage(std::FILE* to, const PackCommand* commands, std::size_t count) {
  std::fprintf(to, "usage:\n");
  for (std::size_t i = 0; i < count; ++i) std::fprintf(to, "  %s %s\n", kProgram, commands[i].usage);
  std::fprintf(to, "  %s --version\n", kProgram);
}

CommandOption ValueOption(const char* name, const char* shortName, std::string& value) {
  return CommandOption{name, shortName, &value, nullptr};
}

CommandOption FlagOption(const char* name, const char* shortName, bool& flag) {
  return CommandOption{name, shortName, nullptr, &flag};
}

CommandLine::CommandLine(const PackCommand& command, std::vector<std::string> arguments)
    : command_(command), arguments_(std::move(arguments)) {}

ScannedArguments CommandLine::Scan(std::initializer_list<CommandOption> options,
                                   Operands operands) const {
  ScannedArguments scanned;
  auto finish = [&scanned](int exitCode) {
    scanned.finished = true;
    scanned.exitCode = exitCode;
    return scanned;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments_.size(); ++i) {
    const std::string& arg = arguments_[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      scanned.operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("usage: %s %s\n", kProgram, command_.usage);
      if (command_.notes) std::printf("\n%s", command_.notes);
      return finish(kExitSuccess);
    } else if (arg == "--version") {
      PrintVersion();
      return finish(kExitSuccess);
    } else if (const CommandOption* option = FindOption(options, arg)) {
      scanned.given.push_back(option->name);
      if (option->flag) {
        *option->flag = true;
      } else if (i + 1 < arguments_.size()) {
        *option->value = arguments_[++i];
      } else {
        return finish(UsageError(arg + ": a value is missing"));
      }
    } else {
      return finish(UsageError("unknown option '" + arg + "' (try --help)"));
    }
  }
  const std::string problem = OperandProblem(scanned.operands, operands);
  if (!problem.empty()) return finish(UsageError(problem));
  return scanned;
}

bool CommandLine::Fail(const std::string& message) const {
  PrintLine(stderr, command_.name, message);
  return false;
}

int CommandLine::UsageError(const std::string& message) const {
  PrintLine(stderr, command_.name, message);
  return kExitUsage;
}

void CommandLine::Note(const std::string& message) const {
  PrintLine(stderr, command_.name, message);
}

void PrintVersion() { std::printf("%s %s\n", kProgram, QUORVEL_VERSION); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string CountOf(std::uint64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}
