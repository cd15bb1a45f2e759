// The stub's command-line switches, on bytes and on UTF-16 alike: which tails
// are switches at all, each switch and its spellings, /D= with blanks and
// quotes, and what is refused.
#include "common/stub_switches.h"

#include <gtest/gtest.h>

#include "text_units.h"

namespace {
template <typename Unit>
struct Parsed {
  unsigned switches;
  Text<Unit> folder;
};

template <typename Unit>
Parsed<Unit> Parse(const Text<Unit>& tail) {
  const Unit* folder = nullptr;
  const unsigned switches = ParseStubSwitches(tail.c_str(), &folder);
  return {switches, folder ? folder : W<Unit>("(null)")};
}

template <typename Unit>
Parsed<Unit> Parse(const char* tail) {
  return Parse(W<Unit>(tail));
}
}  // namespace

template <typename Unit>
using StubSwitches = BothUnits<Unit>;
TYPED_TEST_SUITE(StubSwitches, TextUnits);

TYPED_TEST(StubSwitches, FoldersAndEmptyTailsAreNoSwitches) {
  using Unit = TypeParam;
  // What a folder argument looked like before there were switches stays one.
  for (const char* tail : {"", "C:\\Dest", "\"C:\\My Dest\"", "\\\\server\\share", "relative",
                           "/", "-", "//server", "/1", "-_x"}) {
    EXPECT_EQ(Parse<Unit>(tail).switches, 0u) << tail;
    EXPECT_EQ(Parse<Unit>(tail).folder, Text<Unit>()) << tail;
  }
  // Nor is a slash before a character of two units.
  EXPECT_EQ(Parse(W<Unit>("/") + Pairs<Unit>(1)).switches, 0u);
}

TYPED_TEST(StubSwitches, EachSwitchInEitherCaseWithSlashOrDash) {
  using Unit = TypeParam;
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
    EXPECT_EQ(Parse<Unit>(c.tail).switches, c.expected) << c.tail;
    EXPECT_EQ(Parse<Unit>(c.tail).folder, Text<Unit>()) << c.tail;
  }
}

TYPED_TEST(StubSwitches, FolderRunsToTheEndOfTheLine) {
  using Unit = TypeParam;
  // Blanks inside need no quotes, and a switch after it is part of it.
  Parsed<Unit> p = Parse<Unit>("/S /D=C:\\Program Files\\My Tool /Y");
  EXPECT_EQ(p.switches, kSwitchSilent | kSwitchFolder);
  EXPECT_EQ(p.folder, W<Unit>("C:\\Program Files\\My Tool /Y"));
  // Quotes stay for the folder's own unquoting, as with a folder argument.
  p = Parse<Unit>("-d=\"D:\\x y\" ");
  EXPECT_EQ(p.switches, kSwitchFolder);
  EXPECT_EQ(p.folder, W<Unit>("\"D:\\x y\" "));
  // Characters of two units are taken as they are.
  EXPECT_EQ(Parse(W<Unit>("/D=C:\\") + Pairs<Unit>(2)).folder, W<Unit>("C:\\") + Pairs<Unit>(2));
}

TYPED_TEST(StubSwitches, UnknownJoinedOrEmptyIsInvalid) {
  using Unit = TypeParam;
  for (const char* tail : {"/X", "/S /Q", "/SY", "/S/Y", "/S C:\\Dest", "/D", "/D:C:\\x", "/D=",
                           "/Y -", "/help", "/S \"C:\\x\""}) {
    EXPECT_TRUE(Parse<Unit>(tail).switches & kSwitchInvalid) << tail;
  }
  // The valid ones before an invalid one are still reported.
  EXPECT_EQ(Parse<Unit>("/S /X").switches, kSwitchSilent | kSwitchInvalid);
}

TYPED_TEST(StubSwitches, LongFolderIsTakenWholeForTheDestinationToJudge) {
  using Unit = TypeParam;
  const Text<Unit> folder = W<Unit>("C:\\") + Text<Unit>(296, 'f');
  const Parsed<Unit> p = Parse(W<Unit>("/S /D=") + folder);
  EXPECT_EQ(p.switches, kSwitchSilent | kSwitchFolder);
  EXPECT_EQ(p.folder, folder);
}

TEST(StubSwitchesBytes, ShiftJisTrailByte5CInTheFolder) {
  EXPECT_EQ(Parse(std::string("/D=C:\\\x95\x5c\x8e\xa6")).folder, "C:\\\x95\x5c\x8e\xa6");
}
