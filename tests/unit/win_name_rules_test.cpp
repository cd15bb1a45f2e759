// The name rules and directory creation against Wine's file system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "paths/win_name_rules.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
bool IsDirectory(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FreshFolder(const char* name) {
  return TempPath(name + std::to_string(GetCurrentProcessId()));
}
}  // namespace

TEST(SelectNameRules, LongNamesOnWineDrivesAndWhenTheQueryFails) {
  EXPECT_EQ(SelectNameRules(SYS_TEXT("C:\\")), LongNames);
  // No such volume: the query fails and long names are the default.
  EXPECT_EQ(SelectNameRules(SYS_TEXT("\\\\no-such-server\\no-share\\")), LongNames);
  EXPECT_EQ(SelectNameRules(SYS_TEXT("")), LongNames);
}

TEST(CreatePathDirectories, EveryLevelUpToTheLastSlashAndNeverTheFileName) {
  const std::string base = FreshFolder("quorvel-dirs-");
  MadeFolder made{};
  EXPECT_EQ(CreatePathDirectories(made, ToSys((base + "/A/B/file.txt")).c_str()), base.size() + 5);
  EXPECT_TRUE(IsDirectory(base));
  EXPECT_TRUE(IsDirectory(base + "\\A"));
  EXPECT_TRUE(IsDirectory(base + "\\A\\B"));
  EXPECT_EQ(GetFileAttributesA((base + "\\A\\B\\file.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  // Existing levels are passed over; a backslash causes no call of its own.
  CreatePathDirectories(made, ToSys((base + "/A/B\\C/x")).c_str());
  EXPECT_TRUE(IsDirectory(base + "\\A\\B\\C"));
  // A path without '/' creates nothing.
  const std::string flat = FreshFolder("quorvel-flat-");
  EXPECT_EQ(CreatePathDirectories(made, ToSys((flat + "\\x")).c_str()), 0u);
  EXPECT_FALSE(IsDirectory(flat));
  for (const char* d : {"\\A\\B\\C", "\\A\\B", "\\A", ""}) RemoveDirectoryA((base + d).c_str());
}

// A folder made once is not asked for again while files follow in it or
// below it, and is made again once forgotten (a new pass starts empty); a
// name that only begins like a known folder gets its own.
TEST(CreatePathDirectories, KnownFoldersAreNotMadeAgain) {
  const std::string base = FreshFolder("quorvel-known-");
  MadeFolder made{};
  CreatePathDirectories(made, ToSys((base + "/A/B/x")).c_str());
  RemoveDirectoryA((base + "\\A\\B").c_str());
  RemoveDirectoryA((base + "\\A").c_str());
  CreatePathDirectories(made, ToSys((base + "/A/B/y")).c_str());
  CreatePathDirectories(made, ToSys((base + "/A/z")).c_str());
  EXPECT_FALSE(IsDirectory(base + "\\A"));
  CreatePathDirectories(made, ToSys((base + "/AB/w")).c_str());
  EXPECT_TRUE(IsDirectory(base + "\\AB"));
  made.length = 0;
  CreatePathDirectories(made, ToSys((base + "/A/B/y")).c_str());
  EXPECT_TRUE(IsDirectory(base + "\\A\\B"));
  for (const char* d : {"\\A\\B", "\\A", "\\AB", ""}) RemoveDirectoryA((base + d).c_str());
}

TEST(CreatePathDirectories, OverlongPathIsCutNotOverrun) {
  const std::string base = FreshFolder("quorvel-long-");
  MadeFolder made{};
  // Far beyond the working buffer: only levels inside it are tried.
  std::string path = base + "/";
  while (path.size() < 2 * kMemberPathBytes) path += "level/";
  CreatePathDirectories(made, ToSys(path).c_str());
  EXPECT_TRUE(IsDirectory(base));
  for (std::size_t end = path.size() - 1; end > base.size(); end = path.rfind('/', end - 1))
    RemoveDirectoryA(path.substr(0, end).c_str());
  RemoveDirectoryA(base.c_str());
}

// In the run's own folder: each level made is recorded under its path below
// the folder, as Windows compares names; a level found there unrecorded
// (someone else's) is foreign.
TEST(CreatePathDirectories, RecordsWhatItMakesAndNoticesWhatItFinds) {
  const std::string base = FreshFolder("quorvel-ledger-");
  ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr));
  EntryLedger ledger{};
  MadeFolder made{};
  made.ledger = &ledger;
  made.ledgerBase = static_cast<unsigned>(base.size() + 1);
  CreatePathDirectories(made, ToSys(base + "\\A/B/file.txt").c_str());
  EXPECT_FALSE(made.foreign);
  EXPECT_EQ(ledger.count, 2u);
  for (const char* name : {"A", "a", "A/B", "a\\b"}) EXPECT_TRUE(HoldsEntry(ledger, ToSys(name).c_str())) << name;
  for (const char* name : {"B", "A/B/file.txt", "AB", ""}) EXPECT_FALSE(HoldsEntry(ledger, ToSys(name).c_str())) << name;
  // Made again by a later pass over the same names: known, not foreign.
  MadeFolder again{};
  again.ledger = &ledger;
  again.ledgerBase = made.ledgerBase;
  CreatePathDirectories(again, ToSys(base + "\\a/B/other.txt").c_str());
  EXPECT_FALSE(again.foreign);
  ASSERT_TRUE(CreateDirectoryA((base + "\\planted").c_str(), nullptr));
  CreatePathDirectories(again, ToSys(base + "\\planted/x.txt").c_str());
  EXPECT_TRUE(again.foreign);
  ReleaseLedger(ledger);
  RemoveTree(base);
}
