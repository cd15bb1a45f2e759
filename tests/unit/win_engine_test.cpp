// The engine's Win32 host under Wine: archive reads and output writes on real
// handles, the box of every result as the user sees it, the progress command
// sent to a window of this program with the queue drained at its pace and a
// cancel noticed, and a whole member decoded from a jlha archive into a real
// file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/win_engine_host.h"
#include "app/win_startup.h"
#include "archive/engine.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"
#include "common/win_services.h"
#include "ui/resource_ids.h"
#include "fixtures.h"
#include "win_child_process.h"
#include "win_message_boxes.h"

using enginetest::FixturePath;

namespace {
constexpr UINT kCancelMessage = WM_APP + 7;
std::vector<unsigned> reports;
std::vector<UINT> dispatched;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDM_PROGRESS) {
    reports.push_back(static_cast<unsigned>(lParam));
    return 0;
  }
  if (message == kCancelMessage) {
    dispatched.push_back(message);
    RunState.cancelRequested = 1;  // as the dialog's Cancel button does during a pass
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = AppInstance;
    wc.lpszClassName = "QuorvelEngineTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowA(wc.lpszClassName, "engine test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                            nullptr, nullptr, AppInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    PassWindow = window_;
    lstrcpyA(Config.title, "Engine Test");
    lstrcpyA(ExecutablePath, "C:\\archive.exe");
    lstrcpyA(DestinationPath, "C:\\out\\file.txt");
    RunState = RunStateFlags{};
    ProgressTotals = ProgressCounts{};
    reports.clear();
    dispatched.clear();
    StartWatchingBoxes();
    SetWin32EngineHost(host_);
    StartEngine(*engine_, host_);
    StartPacing();
  }
  void TearDown() override {
    StopWatchingBoxes();
    DestroyWindow(window_);
    if (ArchiveHandle != INVALID_HANDLE_VALUE) CloseHandle(ArchiveHandle);
    if (OutputHandle != INVALID_HANDLE_VALUE) CloseHandle(OutputHandle);
    ArchiveHandle = OutputHandle = INVALID_HANDLE_VALUE;
    FreeMemberHeader(*engine_);
    for (const std::string& f : files_) DeleteFileA(f.c_str());
  }
  HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    if (disposition != OPEN_EXISTING) files_.push_back(path);
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  HWND window_ = nullptr;
  EngineHost host_{};
  std::unique_ptr<Engine> engine_ = std::make_unique<Engine>();
  std::vector<std::string> files_;
};
}  // namespace

TEST_F(Win32Engine, ReadsAtTheArchivePositionAndWritesTheOutput) {
  const std::string in = TempPath("quorvel-engine-in.bin");
  ASSERT_TRUE(WriteWholeFile(in, "0123456789"));
  files_.push_back(in);
  ArchiveHandle = Open(in, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(ArchiveHandle, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  SetFilePointer(ArchiveHandle, 4, nullptr, FILE_BEGIN);
  EXPECT_EQ(host_.readArchive(nullptr, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "456");
  EXPECT_EQ(host_.readArchive(nullptr, buffer, 16), 3);  // the file ends: a short count
  EXPECT_EQ(host_.readArchive(nullptr, buffer, 16), 0);

  const std::string out = TempPath("quorvel-engine-out.bin");
  OutputHandle = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(OutputHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(host_.writeOutput(nullptr, "abc", 3), SinkReply::More);
  CloseHandle(OutputHandle);
  OutputHandle = Open(out, GENERIC_READ, OPEN_EXISTING);  // cannot be written
  EXPECT_EQ(host_.writeOutput(nullptr, "def", 3), SinkReply::Failed);
  CloseHandle(OutputHandle);
  OutputHandle = INVALID_HANDLE_VALUE;
  EXPECT_EQ(ReadWholeFile(out), "abc");

  CloseHandle(ArchiveHandle);
  ArchiveHandle = INVALID_HANDLE_VALUE;
  EXPECT_EQ(host_.readArchive(nullptr, buffer, 1), -1);  // no archive open: a failure, not 0 bytes
}

TEST_F(Win32Engine, EachResultShowsItsBoxNamingTheArchiveTheDestinationOrNothing) {
  const std::string archive = "\"C:\\archive.exe\" ", destination = "\"C:\\out\\file.txt\" ";
  struct Case {
    EngineResult result;
    std::string text;  // empty: no box
    int exitCode;
  };
  const Case cases[] = {
      {EngineResult::Ok, "", 0},
      {EngineResult::EndOfArchive, "", 0},
      {EngineResult::Cancelled, "", 0},
      {EngineResult::ReadError, archive + LoadText(IDS_READ_ERROR), kExitFatal},
      {EngineResult::Damaged, archive + LoadText(IDS_DAMAGED), kExitFatal},
      {EngineResult::Unsupported, archive + LoadText(IDS_UNSUPPORTED), kExitFatal},
      {EngineResult::WriteError, destination + LoadText(IDS_WRITE_ERROR), kExitFatal},
      {EngineResult::OutOfMemory, LoadText(IDS_NO_MEMORY), kExitNoMemory},
  };
  static_assert(sizeof cases / sizeof cases[0] == kEngineResultCount, "every result");
  for (const Case& c : cases) {
    seenBoxes.clear();
    FailureExitCode = 0;
    ReportEngineResult(c.result);
    SCOPED_TRACE(static_cast<int>(c.result));
    EXPECT_EQ(FailureExitCode, c.exitCode);
    if (c.text.empty()) {
      EXPECT_TRUE(seenBoxes.empty());
      continue;
    }
    ASSERT_EQ(seenBoxes.size(), 1u);
    EXPECT_EQ(seenBoxes[0].text, c.text);
    EXPECT_EQ(seenBoxes[0].caption, "Engine Test");
    EXPECT_EQ(seenBoxes[0].owner, window_);
  }
  FailureExitCode = 0;
}

TEST_F(Win32Engine, ProgressIsSentOnceAndTheQueueDrainedAtItsPace) {
  MSG left;
  ProgressTotals.total = 100;
  StartPacing();
  PostMessageA(window_, WM_NULL, 0, 0);
  EXPECT_TRUE(host_.progress(nullptr, 42));
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));  // the first drain is due at once

  // The same value again is not sent; the queue waits for its interval.
  const DWORD before = GetTickCount();
  PostMessageA(window_, WM_NULL, 0, 0);
  EXPECT_TRUE(host_.progress(nullptr, 42));
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  if (GetTickCount() - before < kDrainIntervalMs) {
    EXPECT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
  }
  Sleep(kDrainIntervalMs + 20);
  EXPECT_TRUE(host_.progress(nullptr, 43));
  EXPECT_EQ(reports, (std::vector<unsigned>{42, 43}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));

  // The member's bytes count from where the pass stood when it began; a
  // cancel that arrives through the queue is answered at the first report
  // whose drain is due.
  ProgressTotals.total = 400;
  ProgressTotals.memberStart = 100;
  PostMessageA(window_, kCancelMessage, 0, 0);
  Sleep(kDrainIntervalMs + 20);
  EXPECT_FALSE(host_.progress(nullptr, 100));
  EXPECT_EQ(dispatched, (std::vector<UINT>{kCancelMessage}));
  EXPECT_EQ(ProgressTotals.done, 200u);
  EXPECT_EQ(reports.back(), 50u);
  EXPECT_TRUE(seenBoxes.empty());  // a cancellation shows no message
}

TEST_F(Win32Engine, HeaderBlocksAreZeroedAndTheClockIsNow) {
  auto* block = static_cast<unsigned char*>(host_.allocZeroed(nullptr, 300));
  ASSERT_NE(block, nullptr);
  bool zero = true;
  for (int i = 0; i < 300; ++i) zero = zero && block[i] == 0;
  EXPECT_TRUE(zero);
  host_.release(nullptr, block);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t system = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::uint64_t engine = host_.currentFileTime(nullptr);
  EXPECT_LT(engine - system, 50000000ull);  // within 5 s
}

TEST_F(Win32Engine, DecodesAJlhaMemberIntoAFileWithProgress) {
  Engine& e = *engine_;
  ArchiveHandle = Open(FixturePath("sample-lh7.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(ArchiveHandle, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(e, false), EngineResult::Ok);
  EXPECT_STREQ(e.joinedName, "sample.txt");
  const std::string out = TempPath("quorvel-engine-sample.txt");
  OutputHandle = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(OutputHandle, INVALID_HANDLE_VALUE);
  ProgressTotals.total = static_cast<std::uint64_t>(e.header.originalSize) * 4;
  ASSERT_EQ(DecodeMemberData(e), EngineResult::Ok);
  EXPECT_EQ(e.crc, e.header.dataCrc);
  CloseHandle(OutputHandle);
  OutputHandle = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(ReadWholeFile(out) == ReadWholeFile(FixturePath("sample.txt")));
  EXPECT_EQ(reports, (std::vector<unsigned>{25}));  // one piece, one report
  // The archive stands at the end byte after the member's data.
  EXPECT_EQ(ReadMemberHeader(e, false), EngineResult::EndOfArchive);
}

TEST_F(Win32Engine, AWriteThatFailsInsideTheDecoderIsAResultNotABox) {
  Engine& e = *engine_;
  ArchiveHandle = Open(FixturePath("sample-lh5.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(ArchiveHandle, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(e, false), EngineResult::Ok);
  OutputHandle = Open(FixturePath("sample.txt"), GENERIC_READ, OPEN_EXISTING);  // read-only handle
  EXPECT_EQ(DecodeMemberData(e), EngineResult::WriteError);
  EXPECT_TRUE(seenBoxes.empty());
}
