// Replacing an existing file by a complete new one under Wine: the temporary
// file beside it, the replacement, what stays when the old file cannot give
// way, and a leftover step-aside file that must not stop it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/win_file_replace.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempPath("quorvel-replace-" + std::to_string(GetCurrentProcessId()));
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    old_ = folder_ + "\\file.txt";
    ASSERT_TRUE(WriteWholeFile(old_, "old bytes"));
  }
  void TearDown() override { RemoveTree(folder_); }
  // A new file beside the old one, holding bytes; its name is returned.
  std::string WriteBeside(const std::string& bytes) {
    SysChar written[MAX_PATH];
    HANDLE h = CreateFileBeside(ToSys(old_).c_str(), static_cast<unsigned>(folder_.size() + 1), written, MAX_PATH);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return FromSys(written);
  }
  int FileCount() {
    int n = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder_ + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do n += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return n;
  }
  std::string folder_, old_;
};

TEST_F(FileReplace, TheTemporaryFileIsBesideWithAShortNameNeverATakenOne) {
  // One left by a run that was killed is not touched.
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\~qv00000.tmp", "left over"));
  const std::string written = WriteBeside("new");
  EXPECT_EQ(written, folder_ + "\\~qv00001.tmp");
  EXPECT_EQ(ReadWholeFile(folder_ + "\\~qv00000.tmp"), "left over");
  // No room for the name: nothing is created.
  SysChar small[8];
  EXPECT_EQ(CreateFileBeside(ToSys(old_).c_str(), static_cast<unsigned>(folder_.size() + 1), small, 8),
            INVALID_HANDLE_VALUE);
}

TEST_F(FileReplace, TheOldNameTakesTheNewBytesAndNothingElseStays) {
  const std::string written = WriteBeside("new bytes");
  EXPECT_EQ(ReplaceFileWith(ToSys(written).c_str(), ToSys(old_).c_str()), Replacement::Done);
  EXPECT_EQ(ReadWholeFile(old_), "new bytes");
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(FileReplace, AnOldFileThatCannotGiveWayStaysAsItWas) {
  // Held open without delete sharing, as a running program holds its file.
  HANDLE held = CreateFileA(old_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string written = WriteBeside("new");
  EXPECT_EQ(ReplaceFileWith(ToSys(written).c_str(), ToSys(old_).c_str()), Replacement::Failed);
  EXPECT_EQ(ReadWholeFile(written), "new");  // still there for the caller to delete
  DeleteFileA(written.c_str());
  EXPECT_EQ(FileCount(), 1);
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(old_), "old bytes");
  // The names the old file would step aside to, left by killed runs (or
  // old files that were running programs): they hold someone's file, are
  // left alone, and do not stop the replacement.
  written = WriteBeside("new");
  const std::string aside = written.substr(0, written.size() - 1) + "o";
  ASSERT_TRUE(WriteWholeFile(aside, "left over"));
  ASSERT_TRUE(WriteWholeFile(folder_ + "\\~qv00001.tmo", "left over too"));
  EXPECT_EQ(ReplaceFileWith(ToSys(written).c_str(), ToSys(old_).c_str()), Replacement::Done);
  EXPECT_EQ(ReadWholeFile(old_), "new");
  EXPECT_EQ(ReadWholeFile(aside), "left over");
  EXPECT_EQ(ReadWholeFile(folder_ + "\\~qv00001.tmo"), "left over too");
  EXPECT_EQ(FileCount(), 3);
}
}  // namespace
