// The engine's Win32 host under Wine: archive reads and output writes on real
// handles, the error boxes as the user sees them, the progress command sent to
// a window of this program with the queue drained at its pace and a cancel
// noticed, and a whole member decoded from a jlha archive into a real file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/win_engine_host.h"
#include "app/win_startup.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_data.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
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
    OutputIsProbe = false;
    reports.clear();
    dispatched.clear();
    StartWatchingBoxes();
    InstallWin32EngineHost();
    StartPacing();
    BuildCrcTable(lzh::kCrcPolynomial);
  }
  void TearDown() override {
    StopWatchingBoxes();
    DestroyWindow(window_);
    if (ArchiveHandle != INVALID_HANDLE_VALUE) CloseHandle(ArchiveHandle);
    if (OutputHandle != INVALID_HANDLE_VALUE) CloseHandle(OutputHandle);
    ArchiveHandle = OutputHandle = INVALID_HANDLE_VALUE;
    FreeMemberHeader();
    for (const std::string& f : files_) DeleteFileA(f.c_str());
  }
  HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    if (disposition != OPEN_EXISTING) files_.push_back(path);
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  HWND window_ = nullptr;
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
  EXPECT_EQ(Host.readArchive(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "456");
  EXPECT_EQ(Host.readArchive(buffer, 16), 3);  // the file ends: a short count
  EXPECT_EQ(Host.readArchive(buffer, 16), 0);

  const std::string out = TempPath("quorvel-engine-out.bin");
  OutputHandle = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(OutputHandle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Host.writeOutput("abc", 3));
  CloseHandle(OutputHandle);
  OutputHandle = Open(out, GENERIC_READ, OPEN_EXISTING);  // cannot be written
  EXPECT_FALSE(Host.writeOutput("def", 3));
  CloseHandle(OutputHandle);
  OutputHandle = INVALID_HANDLE_VALUE;
  EXPECT_EQ(ReadWholeFile(out), "abc");

  CloseHandle(ArchiveHandle);
  ArchiveHandle = INVALID_HANDLE_VALUE;
  EXPECT_EQ(Host.readArchive(buffer, 1), -1);  // no archive open: a failure, not 0 bytes
}

TEST_F(Win32Engine, ErrorBoxesNameTheArchiveOrTheDestination) {
  Host.reportError(kMsgReadError, true);
  Host.reportError(kMsgWriteError, false);
  Host.reportError(kMsgOutOfMemory, false);
  ASSERT_EQ(seenBoxes.size(), 3u);
  EXPECT_EQ(seenBoxes[0].text, std::string("\"C:\\archive.exe\" ") + LoadText(IDS_READ_ERROR));
  EXPECT_EQ(seenBoxes[1].text, std::string("\"C:\\out\\file.txt\" ") + LoadText(IDS_WRITE_ERROR));
  EXPECT_EQ(seenBoxes[2].text, LoadText(IDS_NO_MEMORY));
  for (const SeenBox& b : seenBoxes) {
    EXPECT_EQ(b.caption, "Engine Test");
    EXPECT_EQ(b.owner, window_);
  }
}

TEST_F(Win32Engine, ProgressIsSentOnceAndTheQueueDrainedAtItsPace) {
  MSG left;
  StartPacing();
  PostMessageA(window_, WM_NULL, 0, 0);
  Host.progress(42);
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));  // the first drain is due at once

  // The same value again is not sent; the queue waits for its interval.
  const DWORD before = GetTickCount();
  PostMessageA(window_, WM_NULL, 0, 0);
  Host.progress(42);
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  if (GetTickCount() - before < kDrainIntervalMs) {
    EXPECT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
  }
  Sleep(kDrainIntervalMs + 20);
  Host.progress(43);
  EXPECT_EQ(reports, (std::vector<unsigned>{42, 43}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));

  // A cancel that arrives through the queue ends the guarded region at the
  // first report whose drain is due.
  ProgressTotals.total = 200;
  PostMessageA(window_, kCancelMessage, 0, 0);
  Sleep(kDrainIntervalMs + 20);
  EXPECT_FALSE(RunGuarded([] { ReportProgress(50, ProgressTotals.total); }));
  EXPECT_EQ(dispatched, (std::vector<UINT>{kCancelMessage}));
  EXPECT_EQ(reports.back(), 25u);
  EXPECT_EQ(RunState.aborted, 1);
  EXPECT_TRUE(seenBoxes.empty());  // a cancellation shows no message
}

TEST_F(Win32Engine, HeaderBlocksAreZeroedAndTheClockIsNow) {
  auto* block = static_cast<unsigned char*>(Host.allocZeroed(300));
  ASSERT_NE(block, nullptr);
  bool zero = true;
  for (int i = 0; i < 300; ++i) zero = zero && block[i] == 0;
  EXPECT_TRUE(zero);
  Host.release(block);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t system = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::uint64_t engine = Host.currentFileTime();
  EXPECT_LT(engine - system, 50000000ull);  // within 5 s
}

TEST_F(Win32Engine, DecodesAJlhaMemberIntoAFileWithProgress) {
  ArchiveHandle = Open(FixturePath("sample-lh7.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(ArchiveHandle, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(), HeaderResult::Member);
  EXPECT_STREQ(JoinedName, "sample.txt");
  const std::string out = TempPath("quorvel-engine-sample.txt");
  OutputHandle = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(OutputHandle, INVALID_HANDLE_VALUE);
  ProgressTotals.total = static_cast<std::uint64_t>(MemberHeader.originalSize) * 4;
  ASSERT_TRUE(DecodeMemberData());
  EXPECT_EQ(crcValue, MemberHeader.dataCrc);
  CloseHandle(OutputHandle);
  OutputHandle = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(ReadWholeFile(out) == ReadWholeFile(FixturePath("sample.txt")));
  EXPECT_EQ(reports, (std::vector<unsigned>{25}));  // one piece, one report
  // The archive stands at the end byte after the member's data.
  EXPECT_EQ(ReadMemberHeader(), HeaderResult::EndOfArchive);
}

TEST_F(Win32Engine, WriteFailureInsideTheDecoderShowsTheDestination) {
  ArchiveHandle = Open(FixturePath("sample-lh5.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(ArchiveHandle, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(), HeaderResult::Member);
  OutputHandle = Open(FixturePath("sample.txt"), GENERIC_READ, OPEN_EXISTING);  // read-only handle
  EXPECT_FALSE(DecodeMemberData());
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, std::string("\"C:\\out\\file.txt\" ") + LoadText(IDS_WRITE_ERROR));
}
