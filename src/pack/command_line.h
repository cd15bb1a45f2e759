// The packer's front end, shared by every subcommand: `quorvel-pack COMMAND
// ...` finds the command by name, hands it its arguments in UTF-8, scans its
// options one way, and reports every failure in one shape:
//   quorvel-pack COMMAND: what went wrong
// Each subcommand lives in its own *_command.cpp, which exports its run
// function and texts; the table in main.cpp names them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

// The exit codes of every command.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class CommandLine;

struct PackCommand {
  const char* name;
  const char* usage;  // after "quorvel-pack ", shown by --help
  int (*run)(const CommandLine& line);
  const char* notes = nullptr;  // lines shown by the command's --help after the usage
};

// The commands, each from its own *_command.cpp: the run function, the usage
// line and, for create, the notes its --help adds.
int RunCreate(const CommandLine& line);
extern const char* const kCreateUsage;
extern const char* const kCreateNotes;
int RunExtract(const CommandLine& line);
extern const char* const kExtractUsage;
int RunInfo(const CommandLine& line);
extern const char* const kInfoUsage;
int RunList(const CommandLine& line);
extern const char* const kListUsage;
int RunTest(const CommandLine& line);
extern const char* const kTestUsage;

// The usage lines of the given commands, and of --version.
void PrintPackUsage(std::FILE* to, const PackCommand* commands, std::size_t count);

// One option of a command: a flag, or an option whose value is the next
// argument. Built by FlagOption and ValueOption.
struct CommandOption {
  const char* name;       // "--output"
  const char* shortName;  // "-o", or null
  std::string* value;     // receives the value of an option that takes one
  bool* flag;             // set by a flag
};
CommandOption ValueOption(const char* name, const char* shortName, std::string& value);
CommandOption FlagOption(const char* name, const char* shortName, bool& flag);

// What a command takes besides its options.
enum class Operands {
  Paths,       // any number
  OneArchive,  // exactly one, the archive it reads
};

struct ScannedArguments {
  // Help or the version was shown, or a usage error reported: the command
  // ends with exitCode.
  bool finished = false;
  int exitCode = kExitSuccess;
  std::vector<std::string> operands;
  std::vector<std::string> given;  // the options given, by their long names, in order
};

class CommandLine {
 public:
  // arguments: what follows the command's name, in UTF-8.
  CommandLine(const PackCommand& command, std::vector<std::string> arguments);

  const char* name() const { return command_.name; }

  // Scans the arguments: --help and -h show the command's usage, --version
  // the version; "--" ends the options; an argument that starts with '-'
  // (but "-" alone) must be one of the options.
  ScannedArguments Scan(std::initializer_list<CommandOption> options, Operands operands) const;

  // "quorvel-pack COMMAND: message" on stderr. A failure ends the command
  // with kExitFailure; Fail returns false for the step that failed.
  bool Fail(const std::string& message) const;
  // The same for a usage error; returns kExitUsage.
  int UsageError(const std::string& message) const;
  // A line of the same shape that reports no failure.
  void Note(const std::string& message) const;

 private:
  const PackCommand& command_;
  std::vector<std::string> arguments_;
};

// "quorvel-pack 2.1.0": the version of the CMake project.
void PrintVersion();

// A path in a message: 'path'.
std::string Quoted(const std::string& path);

// A count with its noun: "1 member", "2 members", "0 members".
std::string CountOf(std::uint64_t count, const char* noun);
