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
#include "app/win_run.h"
#include "archive/engine.h"
#include "common/stub_switches.h"
#include "ui/resource_ids.h"
#include "fixtures.h"
#include "win_child_process.h"
#include "win_message_boxes.h"

using enginetest::FixturePath;

namespace {
constexpr UINT kCancelMessage = WM_APP + 7;
std::vector<unsigned> reports;
std::vector<UINT> dispatched;
Run* cancelled;  // the run whose Cancel the window presses

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDM_PROGRESS) {
    reports.push_back(static_cast<unsigned>(lParam));
    return 0;
  }
  if (message == kCancelMessage) {
    dispatched.push_back(message);
    cancelled->cancelRequested = true;  // as the dialog's Cancel button does during a pass
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
    SYS_API(lstrcpy)(run_.settings.title, SYS_TEXT("Engine Test"));
    SYS_API(lstrcpy)(run_.executablePath, SYS_TEXT("C:\\archive.exe"));
    cancelled = &run_;
    pass_->run = &run_;
    pass_->window = window_;
    pass_->archive = pass_->output = INVALID_HANDLE_VALUE;
    SYS_API(lstrcpy)(pass_->destinationPath, SYS_TEXT("C:\\out\\file.txt"));
    reports.clear();
    dispatched.clear();
    StartWatchingBoxes();
    MakeWin32EngineHost(*pass_, host_);
    StartEngine(pass_->engine, host_);
    StartPacing(*pass_);
  }
  void TearDown() override {
    StopWatchingBoxes();
    DestroyWindow(window_);
    if (pass_->archive != INVALID_HANDLE_VALUE) CloseHandle(pass_->archive);
    if (pass_->output != INVALID_HANDLE_VALUE) CloseHandle(pass_->output);
    FreeMemberHeader(pass_->engine);
    for (const std::string& f : files_) DeleteFileA(f.c_str());
  }
  HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    if (disposition != OPEN_EXISTING) files_.push_back(path);
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  HWND window_ = nullptr;
  EngineHost host_{};
  ::Run run_{};
  std::unique_ptr<ExtractionPass> pass_ = std::make_unique<ExtractionPass>();
  std::vector<std::string> files_;
};
}  // namespace

TEST_F(Win32Engine, ReadsAtTheArchivePositionAndWritesTheOutput) {
  const std::string in = TempPath("quorvel-engine-in.bin");
  ASSERT_TRUE(WriteWholeFile(in, "0123456789"));
  files_.push_back(in);
  pass_->archive = Open(in, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(pass_->archive, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  SetFilePointer(pass_->archive, 4, nullptr, FILE_BEGIN);
  EXPECT_EQ(host_.readArchive(pass_.get(), buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "456");
  EXPECT_EQ(host_.readArchive(pass_.get(), buffer, 16), 3);  // the file ends: a short count
  EXPECT_EQ(host_.readArchive(pass_.get(), buffer, 16), 0);

  const std::string out = TempPath("quorvel-engine-out.bin");
  pass_->output = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(pass_->output, INVALID_HANDLE_VALUE);
  EXPECT_EQ(host_.writeOutput(pass_.get(), "abc", 3), SinkReply::More);
  CloseHandle(pass_->output);
  pass_->output = Open(out, GENERIC_READ, OPEN_EXISTING);  // cannot be written
  EXPECT_EQ(host_.writeOutput(pass_.get(), "def", 3), SinkReply::Failed);
  CloseHandle(pass_->output);
  pass_->output = INVALID_HANDLE_VALUE;
  EXPECT_EQ(ReadWholeFile(out), "abc");

  CloseHandle(pass_->archive);
  pass_->archive = INVALID_HANDLE_VALUE;
  EXPECT_EQ(host_.readArchive(pass_.get(), buffer, 1), -1);  // no archive open: a failure, not 0 bytes
}

// The one table of failures: each step's box, the file it names and the
// exit code it leaves; an engine result is the step of the same name.
TEST_F(Win32Engine, EachStepShowsItsBoxNamingTheArchiveTheMemberOrNothing) {
  const std::string archive = "\"C:\\archive.exe\" ", member = "\"C:\\member.txt\" ";
  struct Case {
    Step step;
    std::string text;  // empty: no box
    int exitCode;
  };
  const Case cases[] = {
      {Step::Next, "", 0},
      {Step::Leave, "", 0},
      {Step::Cancelled, "", 0},
      {Step::ReadError, archive + TableText(IDS_READ_ERROR), kExitFatal},
      {Step::Damaged, archive + TableText(IDS_DAMAGED), kExitFatal},
      {Step::Unsupported, archive + TableText(IDS_UNSUPPORTED), kExitFatal},
      {Step::WriteError, member + TableText(IDS_WRITE_ERROR), kExitFatal},
      {Step::OutOfMemory, TableText(IDS_NO_MEMORY), kExitNoMemory},
      {Step::DamagedMember, member + TableText(IDS_DAMAGED), kExitFatal},
  };
  static_assert(sizeof cases / sizeof cases[0] == kStepCount, "every step");
  EXPECT_EQ(StepOf(EngineResult::Damaged), Step::Damaged);
  EXPECT_EQ(StepOf(EngineResult::Cancelled), Step::Cancelled);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    seenBoxes.clear();
    run_.failureExitCode = 0;
    ReportStep(run_, window_, c.step, SYS_TEXT("C:\\member.txt"));
    EXPECT_EQ(run_.failureExitCode, c.exitCode);
    if (c.text.empty()) {
      EXPECT_TRUE(seenBoxes.empty());
      continue;
    }
    ASSERT_EQ(seenBoxes.size(), 1u);
    EXPECT_EQ(seenBoxes[0].text, c.text);
    EXPECT_EQ(seenBoxes[0].caption, "Engine Test");
    EXPECT_EQ(seenBoxes[0].owner, window_);
  }
  // The first failure's exit code stays; unattended, nothing is shown.
  run_.settings.unattended = true;
  seenBoxes.clear();
  ReportStep(run_, window_, Step::Damaged, SYS_TEXT("x"));
  EXPECT_EQ(run_.failureExitCode, kExitFatal);
  EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(Win32Engine, ProgressIsSentOnceAndTheQueueDrainedAtItsPace) {
  MSG left;
  run_.progressTotal = 100;
  StartPacing(*pass_);
  PostMessageA(window_, WM_NULL, 0, 0);
  EXPECT_TRUE(host_.progress(pass_.get(), 42));
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));  // the first drain is due at once

  // The same value again is not sent; the queue waits for its interval.
  const DWORD before = GetTickCount();
  PostMessageA(window_, WM_NULL, 0, 0);
  EXPECT_TRUE(host_.progress(pass_.get(), 42));
  EXPECT_EQ(reports, (std::vector<unsigned>{42}));
  if (GetTickCount() - before < kDrainIntervalMs) {
    EXPECT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
  }
  Sleep(kDrainIntervalMs + 20);
  EXPECT_TRUE(host_.progress(pass_.get(), 43));
  EXPECT_EQ(reports, (std::vector<unsigned>{42, 43}));
  EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));

  // The member's bytes count from where the pass stood when it began; a
  // cancel that arrives through the queue is answered at the first report
  // whose drain is due.
  run_.progressTotal = 400;
  pass_->memberStart = 100;
  PostMessageA(window_, kCancelMessage, 0, 0);
  Sleep(kDrainIntervalMs + 20);
  EXPECT_FALSE(host_.progress(pass_.get(), 100));
  EXPECT_EQ(dispatched, (std::vector<UINT>{kCancelMessage}));
  EXPECT_EQ(pass_->done, 200u);
  EXPECT_EQ(reports.back(), 50u);
  EXPECT_TRUE(seenBoxes.empty());  // a cancellation shows no message
}

TEST_F(Win32Engine, HeaderBlocksAreZeroedAndTheClockIsNow) {
  auto* block = static_cast<unsigned char*>(host_.allocZeroed(pass_.get(), 300));
  ASSERT_NE(block, nullptr);
  bool zero = true;
  for (int i = 0; i < 300; ++i) zero = zero && block[i] == 0;
  EXPECT_TRUE(zero);
  host_.release(pass_.get(), block);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t system = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  const std::uint64_t engine = host_.currentFileTime(pass_.get());
  EXPECT_LT(engine - system, 50000000ull);  // within 5 s
}

TEST_F(Win32Engine, DecodesAJlhaMemberIntoAFileWithProgress) {
  Engine& e = pass_->engine;
  pass_->archive = Open(FixturePath("sample-lh7.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(pass_->archive, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(e, false), EngineResult::Ok);
  EXPECT_STREQ(e.joinedName, "sample.txt");
  const std::string out = TempPath("quorvel-engine-sample.txt");
  pass_->output = Open(out, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(pass_->output, INVALID_HANDLE_VALUE);
  run_.progressTotal = static_cast<std::uint64_t>(e.header.originalSize) * 4;
  ASSERT_EQ(DecodeMemberData(e), EngineResult::Ok);
  EXPECT_EQ(e.crc, e.header.dataCrc);
  CloseHandle(pass_->output);
  pass_->output = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(ReadWholeFile(out) == ReadWholeFile(FixturePath("sample.txt")));
  EXPECT_EQ(reports, (std::vector<unsigned>{25}));  // one piece, one report
  // The archive stands at the end byte after the member's data.
  EXPECT_EQ(ReadMemberHeader(e, false), EngineResult::EndOfArchive);
}

TEST_F(Win32Engine, AWriteThatFailsInsideTheDecoderIsAResultNotABox) {
  Engine& e = pass_->engine;
  pass_->archive = Open(FixturePath("sample-lh5.lzh"), GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(pass_->archive, INVALID_HANDLE_VALUE);
  ASSERT_EQ(ReadMemberHeader(e, false), EngineResult::Ok);
  pass_->output = Open(FixturePath("sample.txt"), GENERIC_READ, OPEN_EXISTING);  // read-only handle
  EXPECT_EQ(DecodeMemberData(e), EngineResult::WriteError);
  EXPECT_TRUE(seenBoxes.empty());
}
