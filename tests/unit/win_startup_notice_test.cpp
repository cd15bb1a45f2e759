// Start-up of the real stub with an archive appended: the notice member is
// asked before anything else, and a damaged first header ends the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/win_startup.h"
#include "common/sfx_config.h"
#include "ui/resource_ids.h"
#include "win_child_process.h"
#include "win_test_archive.h"

namespace {
// The stub with its configuration block filled and the archive appended.
std::string StubWith(const std::string& archive, const char* title) {
  std::string stub = ReadWholeFile(BuildFile("quorvel-sfx.exe"));
  SfxConfig block;
  std::memset(&block, 0, sizeof block);
  lstrcpyA(block.title, title);
  const std::uint32_t offset = static_cast<std::uint32_t>(stub.size());
  for (int i = 0; i < 4; ++i) block.archiveOffset[i] = static_cast<std::uint8_t>(offset >> (8 * i));
  std::memcpy(&stub[512], &block, sizeof block);
  return stub + archive;
}

// Runs the stub until its first box, returns what it showed.
SeenWindow FirstBox(ChildProcess& child, const std::string& path) {
  SeenWindow box;
  EXPECT_TRUE(child.Start("\"" + path + "\""));
  EXPECT_TRUE(child.WaitForWindow(box)) << "no message box";
  return box;
}
}  // namespace

TEST(StartupNotice, NoticeIsAYesNoQuestionAndNoEndsWithCodeZero) {
  const std::string path = TempPath("quorvel-notice-test.exe");
  ASSERT_FALSE(ReadWholeFile(BuildFile("quorvel-sfx.exe")).empty());
  ASSERT_TRUE(WriteWholeFile(path, StubWith(ArchiveBytes({{"!", "Licence: agree?"}, {"a.txt", "a"}}),
                                            "Notice Caption")));
  ChildProcess child;
  const SeenWindow box = FirstBox(child, path);
  EXPECT_EQ(box.caption, "Notice Caption");
  ASSERT_EQ(box.staticTexts.size(), 1u);
  EXPECT_EQ(box.staticTexts[0], "Licence: agree?");
  EXPECT_NE(GetDlgItem(box.window, IDNO), nullptr);
  EXPECT_NE(GetDlgItem(box.window, IDYES), nullptr);
  ChildProcess::Press(box.window, IDNO);
  EXPECT_EQ(child.WaitForExit(), 0);
  DeleteFileA(path.c_str());
}

TEST(StartupNotice, DamagedFirstHeaderIsReportedAndEndsTheProgram) {
  const std::string path = TempPath("quorvel-damaged-test.exe");
  std::string archive = ArchiveBytes({{"a.txt", "a"}});
  archive[20] = 1;  // header level 1: damaged
  ASSERT_TRUE(WriteWholeFile(path, StubWith(archive, "Damaged Caption")));
  ChildProcess child;
  const SeenWindow box = FirstBox(child, path);
  EXPECT_EQ(box.caption, "Damaged Caption");
  ASSERT_EQ(box.staticTexts.size(), 1u);
  // The file the box names is the stub itself, as the child sees its path.
  const std::string text = box.staticTexts[0];
  EXPECT_EQ(text.substr(text.size() - TableText(IDS_DAMAGED).size()), TableText(IDS_DAMAGED));
  EXPECT_NE(text.find("quorvel-damaged-test.exe\""), std::string::npos) << text;
  ChildProcess::Press(box.window, IDOK);
  EXPECT_EQ(child.WaitForExit(), 0);
  DeleteFileA(path.c_str());
}
