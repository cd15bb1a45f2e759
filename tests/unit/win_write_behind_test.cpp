// The thread that writes behind the decoder, under Wine: pieces and ends of
// several files, more than its ring holds, arrive in order with their times
// and attributes; a write that fails takes its file and every later one with
// it, and is named.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/win_write_behind.h"
#include "win_child_process.h"

namespace {
class WriteBehind : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempPath("quorvel-behind-" + std::to_string(GetCurrentProcessId()));
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    ASSERT_TRUE(StartWriteBehind());
  }
  void TearDown() override {
    if (WritingBehind()) StopWriteBehind();
    RemoveTree(folder_);
  }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  HANDLE Create(const char* name, DWORD access = GENERIC_WRITE) const {
    return CreateFileA(Path(name).c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static FILETIME Time(DWORD low) { return FILETIME{low, 0x01D00000}; }
  static DWORD LastWriteLow(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.ftLastWriteTime.dwLowDateTime : 0;
  }
  std::string folder_;
};

TEST_F(WriteBehind, FilesArriveWholeInOrderWithTimesAndAttributes) {
  // 40 pieces of 64 KiB, each a byte of its own, more than the ring holds;
  // the buffer is changed as soon as a piece is handed over.
  HANDLE big = Create("big.bin");
  ASSERT_NE(big, INVALID_HANDLE_VALUE);
  std::string piece(65536, '\0'), expected;
  for (int i = 0; i < 40; ++i) {
    piece.assign(piece.size(), static_cast<char>('A' + i));
    expected += piece;
    ASSERT_TRUE(WritePieceBehind(big, piece.data(), static_cast<unsigned long>(piece.size())));
    piece.assign(piece.size(), '?');
  }
  ASSERT_TRUE(FinishFileBehind(big, Time(1000), Path("big.bin").c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE empty = Create("empty.txt");
  ASSERT_TRUE(FinishFileBehind(empty, Time(2000), Path("empty.txt").c_str(), kKeepAttributes));
  HANDLE small = Create("small.txt");
  ASSERT_TRUE(WritePieceBehind(small, "x", 1));
  ASSERT_TRUE(WritePieceBehind(small, "yz", 2));
  ASSERT_TRUE(WaitForWriteBehind());
  ASSERT_TRUE(FinishFileBehind(small, Time(3000), Path("small.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(StopWriteBehind());
  EXPECT_FALSE(WritingBehind());

  EXPECT_TRUE(ReadWholeFile(Path("big.bin")) == expected);
  EXPECT_EQ(ReadWholeFile(Path("small.txt")), "xyz");
  EXPECT_EQ(ReadWholeFile(Path("empty.txt")), "");
  EXPECT_EQ(LastWriteLow(Path("big.bin")), 1000u);
  EXPECT_EQ(LastWriteLow(Path("empty.txt")), 2000u);
  EXPECT_EQ(LastWriteLow(Path("small.txt")), 3000u);
  EXPECT_EQ(GetFileAttributesA(Path("big.bin").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA(Path("empty.txt").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_TRUE(GetFileAttributesA(Path("small.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  // Every handle was closed: the files can be deleted.
  SetFileAttributesA(Path("big.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileA(Path("big.bin").c_str()));
  EXPECT_TRUE(DeleteFileA(Path("empty.txt").c_str()));
  EXPECT_EQ(FailedWritePath("none"), std::string("none"));
}

TEST_F(WriteBehind, AFailedWriteTakesItsFileAndEveryLaterOneAndIsNamed) {
  HANDLE before = Create("before.txt");
  ASSERT_TRUE(WritePieceBehind(before, "kept", 4));
  ASSERT_TRUE(FinishFileBehind(before, Time(1000), Path("before.txt").c_str(), kKeepAttributes));
  // A handle that cannot write.
  HANDLE refused = Create("refused.txt", GENERIC_READ);
  ASSERT_NE(refused, INVALID_HANDLE_VALUE);
  WritePieceBehind(refused, "lost", 4);
  // The pass hands later files over until it sees the failure; one whose end
  // is refused is still its own to close and delete.
  const bool refusedEnded = FinishFileBehind(refused, Time(2000), Path("refused.txt").c_str(), kKeepAttributes);
  HANDLE after = Create("after.txt");
  const bool afterEnded = WritePieceBehind(after, "late", 4) &&
                          FinishFileBehind(after, Time(3000), Path("after.txt").c_str(), kKeepAttributes);
  EXPECT_FALSE(WaitForWriteBehind());
  if (!refusedEnded) {
    CloseHandle(refused);
    DeleteFileA(Path("refused.txt").c_str());
  }
  if (!afterEnded) {
    CloseHandle(after);
    DeleteFileA(Path("after.txt").c_str());
  }
  // Once failed, nothing more is taken.
  HANDLE last = Create("last.txt");
  EXPECT_FALSE(WritePieceBehind(last, "no", 2));
  EXPECT_FALSE(FinishFileBehind(last, Time(4000), Path("last.txt").c_str(), kKeepAttributes));
  CloseHandle(last);
  EXPECT_FALSE(StopWriteBehind());

  EXPECT_EQ(ReadWholeFile(Path("before.txt")), "kept");
  EXPECT_EQ(GetFileAttributesA(Path("refused.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(Path("after.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FailedWritePath("open"), refusedEnded ? Path("refused.txt") : std::string("open"));

  // The next pass starts without it.
  ASSERT_TRUE(StartWriteBehind());
  EXPECT_TRUE(WaitForWriteBehind());
  EXPECT_EQ(FailedWritePath("none"), std::string("none"));
}
}  // namespace
