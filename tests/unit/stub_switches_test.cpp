// The stub's command-line switches: which tails are switches at all, each
// switch and its spellings, /D= with blanks and quotes, and what is refused.
#include "common/stub_switches.h"

#include <gtest/gtest.h>

#include <string>

namespace {
struct Parsed {
  unsigned switches;
  std::string folder;
};

Parsed Parse(const std::string& tail) {
  const char* folder = nullptr;
  const unsigned switches = ParseStubSwitches(tail.c_str(), &folder);
  return {switches, folder ? folder : "(null)"};
}
}  // namespace

TEST(StubSwitches, FoldersAndEmptyTailsAreNoSwitches) {
  // What a folder argument looked like before there were switches stays one.
  for (const char* tail : {"", "C:\\Dest", "\"C:\\My Dest\"", "\\\\server\\share", "relative",
                           "/", "-", "//server", "/1", "-_x", "/\x81\x40"}) {
    const Parsed p = Parse(tail);
    EXPECT_EQ(p.switches, 0u) << tail;
    EXPECT_EQ(p.folder, "") << tail;
  }
}

TEST(StubSwitches, EachSwitchInEitherCaseWithSlashOrDash) {
  const struct {
    const char* tail;
    unsigned expected;
  } cases[] = {
      {"/S", kSwitchSilent},           {"-s", kSwitchSilent},        {"/y", kSwitchAcceptNotice},
      {"-O", kSwitchOverwrite},        {"/n", kSwitchNoCommand},     {"/T", kSwitchVerify},
      {"/?", kSwitchHelp},             {"-?", kSwitchHelp},
      {"/S /Y\t-o  /N ", kSwitchSilent | kSwitchAcceptNotice | kSwitchOverwrite | kSwitchNoCommand},
      {"/s /S", kSwitchSilent},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.tail).switches, c.expected) << c.tail;
    EXPECT_EQ(Parse(c.tail).folder, "") << c.tail;
  }
}

TEST(StubSwitches, FolderRunsToTheEndOfTheLine) {
  // Blanks inside need no quotes, and a switch after it is part of it.
  Parsed p = Parse("/S /D=C:\\Program Files\\My Tool /Y");
  EXPECT_EQ(p.switches, kSwitchSilent | kSwitchFolder);
  EXPECT_EQ(p.folder, "C:\\Program Files\\My Tool /Y");
  // Quotes stay for the folder's own unquoting, as with a folder argument.
  p = Parse("-d=\"D:\\x y\" ");
  EXPECT_EQ(p.switches, kSwitchFolder);
  EXPECT_EQ(p.folder, "\"D:\\x y\" ");
  // Double-byte names are taken byte for byte (0x5C as a trail byte included).
  EXPECT_EQ(Parse("/D=C:\\\x95\x5c\x8e\xa6").folder, "C:\\\x95\x5c\x8e\xa6");
}

TEST(StubSwitches, UnknownJoinedOrEmptyIsInvalid) {
  for (const char* tail : {"/X", "/S /Q", "/SY", "/S/Y", "/S C:\\Dest", "/D", "/D:C:\\x", "/D=",
                           "/Y -", "/help", "/S \"C:\\x\""}) {
    EXPECT_TRUE(Parse(tail).switches & kSwitchInvalid) << tail;
  }
  // The valid ones before an invalid one are still reported.
  EXPECT_EQ(Parse("/S /X").switches, kSwitchSilent | kSwitchInvalid);
}

TEST(StubSwitches, FolderLongerThanTheConfiguredFieldIsInvalidNotCut) {
  const std::string folder = "C:\\" + std::string(252, 'f');  // 255 bytes
  EXPECT_EQ(Parse("/D=" + folder).switches, kSwitchFolder);
  EXPECT_EQ(Parse("/D=" + folder + "g").switches, kSwitchFolder | kSwitchInvalid);
}
