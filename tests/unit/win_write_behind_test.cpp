// The thread that writes behind the decoder, under Wine. A pipe whose reader
// is this test stands for a slow disk: the writer blocks inside its write
// until the test reads, so the order of events is the test's to choose and
// no outcome depends on a race. A wait that never ends (a lost wake) fails
// the tests through a watchdog instead of hanging them.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "app/win_write_behind.h"
#include "app/win_zone_mark.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
constexpr unsigned long kPiece = WriteBehind::kSlotBytes;

// Ends the test program with a message when a wait outlives it.
class Watchdog {
 public:
  explicit Watchdog(std::string what) : what_(std::move(what)), done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
  }
  ~Watchdog() {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(done_);
  }

 private:
  static DWORD WINAPI Watch(void* self) {
    auto* w = static_cast<Watchdog*>(self);
    if (WaitForSingleObject(w->done_, 20000) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "%s: a wait never ended\n", w->what_.c_str());
      ExitProcess(3);
    }
    return 0;
  }
  std::string what_;
  HANDLE done_, thread_;
};

// The slow disk: the writer's write to it returns once the test has read it.
struct SlowDisk {
  HANDLE read = nullptr, write = nullptr;
  SlowDisk() { CreatePipe(&read, &write, nullptr, 4096); }
  ~SlowDisk() {
    CloseHandle(read);
    CloseHandle(write);
  }
  // Reads one piece, which lets the writer's write of it end.
  bool TakePiece() const {
    std::string buffer(kPiece, '\0');
    DWORD total = 0, got = 0;
    while (total < kPiece && ReadFile(read, &buffer[total], kPiece - total, &got, nullptr) && got) total += got;
    return total == kPiece;
  }
};

class WriteBehindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    watchdog_ = std::make_unique<Watchdog>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    folder_ = TempPath("quorvel-behind-" + std::to_string(GetCurrentProcessId()));
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    ASSERT_TRUE(behind_->Start(&zone_, nullptr));
  }
  void TearDown() override {
    if (behind_->Running()) behind_->Stop();
    RemoveTree(folder_);
    watchdog_.reset();
  }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  HANDLE Create(const char* name, DWORD access = GENERIC_WRITE) const {
    return CreateFileA(Path(name).c_str(), access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  bool Finish(std::uint32_t id, HANDLE file, const char* name, DWORD attributes = kKeepAttributes) {
    return behind_->Finish(id, file, Time(id), ToSys(Path(name)).c_str(), attributes);
  }
  static FILETIME Time(DWORD low) { return FILETIME{low, 0x01D00000}; }
  static DWORD LastWriteLow(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ? data.ftLastWriteTime.dwLowDateTime : 0;
  }
  std::unique_ptr<Watchdog> watchdog_;
  std::string folder_;
  OwnZone zone_{};
  std::unique_ptr<WriteBehind> behind_ = std::make_unique<WriteBehind>();
};

TEST_F(WriteBehindTest, FilesArriveWholeInOrderWithTimesAndAttributes) {
  // 40 pieces of 64 KiB, each a byte of its own, more than the ring holds;
  // the buffer is changed as soon as a piece is handed over.
  HANDLE big = Create("big.bin");
  ASSERT_NE(big, INVALID_HANDLE_VALUE);
  std::string piece(kPiece, '\0'), expected;
  for (int i = 0; i < 40; ++i) {
    piece.assign(piece.size(), static_cast<char>('A' + i));
    expected += piece;
    ASSERT_TRUE(behind_->Write(1, big, piece.data(), kPiece));
    piece.assign(piece.size(), '?');
  }
  ASSERT_TRUE(Finish(1, big, "big.bin", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(Finish(2, Create("empty.txt"), "empty.txt"));
  HANDLE small = Create("small.txt");
  ASSERT_TRUE(behind_->Write(3, small, "x", 1));
  ASSERT_TRUE(behind_->Write(3, small, "yz", 2));
  ASSERT_TRUE(behind_->Wait());
  ASSERT_TRUE(Finish(3, small, "small.txt", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(behind_->Stop());
  EXPECT_FALSE(behind_->Running());

  EXPECT_TRUE(ReadWholeFile(Path("big.bin")) == expected);
  EXPECT_EQ(ReadWholeFile(Path("small.txt")), "xyz");
  EXPECT_EQ(ReadWholeFile(Path("empty.txt")), "");
  EXPECT_EQ(LastWriteLow(Path("big.bin")), 1u);
  EXPECT_EQ(LastWriteLow(Path("empty.txt")), 2u);
  EXPECT_EQ(LastWriteLow(Path("small.txt")), 3u);
  EXPECT_EQ(GetFileAttributesA(Path("big.bin").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA(Path("empty.txt").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_TRUE(GetFileAttributesA(Path("small.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  // Every handle was closed: the files can be deleted.
  SetFileAttributesA(Path("big.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileA(Path("big.bin").c_str()));
  EXPECT_TRUE(DeleteFileA(Path("empty.txt").c_str()));
  EXPECT_EQ(FromSys(behind_->FailedPath(SYS_TEXT("none"))), "none");
}

// Behind a writer stuck in its first write, the ring takes its sixteen
// slots and the seventeenth hand-over waits (asleep: far longer than any
// spin) until the disk moves; the writer, idle afterwards, sleeps too and
// is woken by the next piece.
TEST_F(WriteBehindTest, AFullRingWaitsForASlowWriterAndBothSidesWake) {
  SlowDisk disk;
  const std::string piece(kPiece, 'p');
  HANDLE file = Create("after.bin");
  for (unsigned i = 0; i < WriteBehind::kRingSlots; ++i)
    ASSERT_TRUE(behind_->Write(1, i == 0 ? disk.write : file, piece.data(), kPiece)) << i;
  struct Reader {
    const SlowDisk* disk;
    std::atomic<bool> started{false};
    static DWORD WINAPI Main(void* self) {
      auto* r = static_cast<Reader*>(self);
      Sleep(300);
      r->started = true;
      return r->disk->TakePiece() ? 0 : 1;
    }
  } reader{&disk};
  HANDLE thread = CreateThread(nullptr, 0, Reader::Main, &reader, 0, nullptr);
  ASSERT_TRUE(behind_->Write(1, file, piece.data(), kPiece));
  // The seventeenth slot was the first one's, free only once the disk moved.
  EXPECT_TRUE(reader.started);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_TRUE(behind_->Wait());
  Sleep(50);  // the writer has nothing to do: it sleeps
  ASSERT_TRUE(behind_->Write(1, file, "!", 1));
  ASSERT_TRUE(Finish(1, file, "after.bin"));
  ASSERT_TRUE(behind_->Wait());
  EXPECT_EQ(ReadWholeFile(Path("after.bin")), std::string(16 * kPiece, 'p') + "!");
}

// The pass waits on the dialog's thread: a message posted to its window
// is handled while the writer is stuck, and here it is what unsticks it.
LRESULT CALLBACK TakePieceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) return reinterpret_cast<const SlowDisk*>(lParam)->TakePiece();
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WriteBehindTest, TheWaitingPassHandlesItsWindowsMessages) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = TakePieceProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuorvelBehindTest";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  behind_->Stop();
  ASSERT_TRUE(behind_->Start(&zone_, window));
  SlowDisk disk;
  const std::string piece(kPiece, 'm');
  ASSERT_TRUE(behind_->Write(1, disk.write, piece.data(), kPiece));
  PostMessageA(window, WM_APP, 0, reinterpret_cast<LPARAM>(&disk));
  EXPECT_TRUE(behind_->Wait());
  DestroyWindow(window);
}

// A write that fails takes its file and every file handed over after it,
// and names it; files before it stay. Whether the failed file's end was
// handed over decides only who closes it: the thread (and names it), or
// the pass (and the pass's own path is the name).
TEST_F(WriteBehindTest, AFailedWriteTakesItsFileAndEveryLaterOne) {
  SlowDisk disk;
  const std::string piece(kPiece, 's');
  HANDLE before = Create("before.txt");
  ASSERT_TRUE(behind_->Write(1, before, "kept", 4));
  ASSERT_TRUE(Finish(1, before, "before.txt"));
  // Everything below is handed over while the writer is stuck: none of it
  // can have failed yet.
  ASSERT_TRUE(behind_->Write(2, disk.write, piece.data(), kPiece));
  HANDLE refused = Create("refused.txt", GENERIC_READ);  // a handle that cannot write
  ASSERT_NE(refused, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(behind_->Write(3, refused, "lost", 4));
  ASSERT_TRUE(Finish(3, refused, "refused.txt"));
  HANDLE after = Create("after.txt");
  ASSERT_TRUE(behind_->Write(4, after, "late", 4));
  ASSERT_TRUE(Finish(4, after, "after.txt"));
  ASSERT_TRUE(disk.TakePiece());
  EXPECT_FALSE(behind_->Wait());
  EXPECT_EQ(FromSys(behind_->FailedPath(SYS_TEXT("open"))), Path("refused.txt"));
  EXPECT_EQ(ReadWholeFile(Path("before.txt")), "kept");
  EXPECT_FALSE(Exists(Path("refused.txt")));
  EXPECT_FALSE(Exists(Path("after.txt")));
  // Once failed, nothing more is taken; the file stays its caller's.
  HANDLE last = Create("last.txt");
  EXPECT_FALSE(behind_->Write(5, last, "no", 2));
  EXPECT_FALSE(Finish(5, last, "last.txt"));
  EXPECT_TRUE(CloseHandle(last));
  EXPECT_FALSE(behind_->Stop());

  // The next pass starts without it; a failed file whose end is never
  // handed over is the pass's to name.
  ASSERT_TRUE(behind_->Start(&zone_, nullptr));
  EXPECT_TRUE(behind_->Wait());
  EXPECT_EQ(FromSys(behind_->FailedPath(SYS_TEXT("none"))), "none");
  refused = CreateFileA(Path("last.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(behind_->Write(1, refused, "lost", 4));
  EXPECT_FALSE(behind_->Wait());
  EXPECT_EQ(FromSys(behind_->FailedPath(SYS_TEXT("the pass's own"))), "the pass's own");
  CloseHandle(refused);
}
}  // namespace
