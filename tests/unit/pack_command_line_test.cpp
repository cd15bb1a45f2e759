// The packer's front end: how a command's arguments are scanned, and the one
// shape of its messages.
#include "pack/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
int NoRun(const CommandLine&) { return kExitSuccess; }
const PackCommand kCommand{"demo", "demo [-o OUT] [--flag] FILE", NoRun};

struct Given {
  std::string output, title;
  bool flag = false;
};

// Scans args with an output, a text and a flag option; stderr in `messages`.
ScannedArguments Scan(std::vector<std::string> args, Given& given, Operands operands,
                      std::string* messages = nullptr) {
  const CommandLine line(kCommand, std::move(args));
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  ScannedArguments scanned = line.Scan({ValueOption("--output", "-o", given.output),
                                        ValueOption("--title", nullptr, given.title),
                                        FlagOption("--flag", nullptr, given.flag)},
                                       operands);
  ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (messages) *messages = err;
  return scanned;
}
}  // namespace

TEST(PackCommandLine, OptionsValuesAndOperands) {
  Given g;
  // A value is the next argument whatever it looks like; after "--" and
  // "-" alone, arguments are operands.
  ScannedArguments s = Scan({"a", "-o", "out", "--title", "-x", "--flag", "-", "--", "--flag"}, g,
                            Operands::Paths);
  EXPECT_FALSE(s.finished);
  EXPECT_EQ(g.output, "out");
  EXPECT_EQ(g.title, "-x");
  EXPECT_TRUE(g.flag);
  EXPECT_EQ(s.operands, (std::vector<std::string>{"a", "-", "--flag"}));
  // Options are known by their long names, in the order given.
  EXPECT_EQ(s.given, (std::vector<std::string>{"--output", "--title", "--flag"}));

  s = Scan({"--help", "--bogus"}, g, Operands::OneArchive);
  EXPECT_TRUE(s.finished);
  EXPECT_EQ(s.exitCode, kExitSuccess);
}

TEST(PackCommandLine, UsageErrorsInTheCommandsShape) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"a.lzh", "--bogus"}, "quorvel-pack demo: unknown option '--bogus' (try --help)\n"},
      {{"a.lzh", "-o"}, "quorvel-pack demo: -o: a value is missing\n"},
      {{}, "quorvel-pack demo: FILE is missing (try --help)\n"},
      {{"a.lzh", "b.lzh"}, "quorvel-pack demo: one archive at a time: 'b.lzh' is one too many\n"},
  };
  for (const Case& c : cases) {
    Given g;
    std::string messages;
    const ScannedArguments s = Scan(c.args, g, Operands::OneArchive, &messages);
    EXPECT_TRUE(s.finished) << c.message;
    EXPECT_EQ(s.exitCode, kExitUsage) << c.message;
    EXPECT_EQ(messages, c.message);
  }
  Given g;
  EXPECT_EQ(Scan({"a.lzh"}, g, Operands::OneArchive).operands, std::vector<std::string>{"a.lzh"});
}

TEST(PackCommandLine, CountsTakeTheirPlural) {
  EXPECT_EQ(CountOf(0, "member"), "0 members");
  EXPECT_EQ(CountOf(1, "member"), "1 member");
  EXPECT_EQ(CountOf(2, "file"), "2 files");
}
