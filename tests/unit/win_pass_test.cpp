// The extraction pass under Wine, on archives that the tests build: stored
// members with level-2 headers, written after an executable-shaped prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/win_engine_host.h"
#include "app/win_extraction_pass.h"
#include "app/win_run.h"
#include "ui/resource_ids.h"
#include "fixtures.h"
#include "hostile_archives.h"
#include "win_child_process.h"
#include "win_sys_text.h"
#include "win_message_boxes.h"
#include "win_test_archive.h"

namespace {
constexpr unsigned kPrefixBytes = 1536;  // stands for the stub's own image

// The window that stands for the main dialog: a status control 1003 and a
// record of the progress commands it receives.
std::vector<unsigned> progressReports;
unsigned cancelAtReport;  // 0: never
Run* watchedRun;          // the run whose Cancel the window presses

LRESULT CALLBACK PassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDM_PROGRESS) {
    progressReports.push_back(static_cast<unsigned>(lParam));
    if (cancelAtReport && progressReports.size() == cancelAtReport) watchedRun->cancelRequested = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string FileText(const std::string& path) { return ReadWholeFile(path); }
// The names in a folder, sorted, as one line.
std::string Entries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  std::sort(names.begin(), names.end());
  std::string line;
  for (const std::string& name : names) line += (line.empty() ? "" : " ") + name;
  return line;
}
std::uint64_t LastWrite(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  FILETIME t{};
  GetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// 1000000000 seconds after 1970 as a Windows file time.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr std::uint64_t FileTimeOf(std::uint32_t unixTime) {
  return kUnixEpochAsFileTime + static_cast<std::uint64_t>(unixTime) * 10000000ull;
}

class Pass : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 932u) << "the tests run with LC_ALL=ja_JP.UTF-8";
    AppInstance = GetModuleHandleA(nullptr);
    root_ = TempPath("quorvel-pass-" + std::to_string(GetCurrentProcessId()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveTree(root_);
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
    dest_ = root_ + "\\dest";
    archive_ = root_ + "\\archive.exe";
    SYS_API(lstrcpy)(run_.settings.title, SYS_TEXT("Pass Test"));
    run_.config.archiveOffset[0] = kPrefixBytes & 0xFF;
    run_.config.archiveOffset[1] = (kPrefixBytes >> 8) & 0xFF;
    SYS_API(lstrcpy)(run_.executablePath, ToSys(archive_).c_str());
    SYS_API(lstrcpy)(run_.destinationFolder, ToSys(dest_).c_str());
    watchedRun = &run_;
    progressReports.clear();
    cancelAtReport = 0;
    // The overwrite question adds the path it names.
    StartWatchingBoxes(IDC_OVERWRITE_PATH);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PassWindowProc;
    wc.hInstance = AppInstance;
    wc.lpszClassName = "QuorvelPassTest";
    RegisterClassA(&wc);
    window_ = CreateWindowA("QuorvelPassTest", "pass", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr, nullptr,
                            AppInstance, nullptr);
    CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 280, 20, window_, reinterpret_cast<HMENU>(IDC_STATUS),
                  AppInstance, nullptr);
  }
  void TearDown() override {
    StopWatchingBoxes();
    DestroyWindow(window_);
    RemoveTree(root_);
  }
  void Write(const std::vector<Member>& members) { ASSERT_TRUE(WriteWholeFile(archive_, ArchiveFile(members))); }
  // The archive as written, opened as start-up opens it.
  void OpenArchive() {
    run_.ownFile = SYS_API(CreateFile)(run_.executablePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  }
  int Walk(ExtractMode mode) {
    OpenArchive();
    const int walked = RunExtractionPass(run_, mode == ExtractMode::Probe ? nullptr : window_, mode);
    if (run_.ownFile != INVALID_HANDLE_VALUE) CloseHandle(run_.ownFile);
    return walked;
  }
  std::string Status() {
    char text[512];
    GetDlgItemTextA(window_, IDC_STATUS, text, sizeof text);
    return text;
  }
  // "<path>" message, as the error boxes show a file's failure.
  static std::string FileError(const std::string& path, UINT id) {
    return "\"" + path + "\" " + TableText(id);
  }
  void SetFlags(std::uint32_t flags) {
    run_.settings.options.restoreAttributes = (flags & kFlagRestoreAttributes) != 0;
    run_.settings.options.overwriteWithoutAsking = (flags & kFlagOverwriteWithoutAsking) != 0;
  }
  // A path as the pass names it: backslashes up to the volume root, '/' after it.
  static std::string Shown(std::string path) {
    for (std::size_t i = 3; i < path.size(); ++i)
      if (path[i] == '\\') path[i] = '/';
    return path;
  }

  std::string root_, dest_, archive_;
  HWND window_ = nullptr;
  ::Run run_{};
};

TEST_F(Pass, TestPassSumsSizesShowsNamesAndSendsNoProgress) {
  Write({{"!", "Read this first"}, {"dir/", "", 'd'}, {"a.txt", std::string(70000, 'a')},
         {"b.txt", "bee", '0', "sub\xff"}});
  EXPECT_EQ(Walk(ExtractMode::Test), 1);
  EXPECT_EQ(run_.progressTotal, 15u + 70000u + 3u);
  EXPECT_TRUE(progressReports.empty());
  EXPECT_EQ(Status(), TableText(IDS_STATUS_TESTING).replace(
                          TableText(IDS_STATUS_TESTING).find("%s"), 2, "sub/b.txt"));
  EXPECT_FALSE(Exists(dest_));
  EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(Pass, ExtractWritesDataTimesAndAttributesWhenAsked) {
  SetFlags(kFlagRestoreAttributes);
  Member readOnly{"ro.txt", "kept read-only"};
  readOnly.attributes = FILE_ATTRIBUTE_READONLY;
  readOnly.unixTime = 1200000000;
  Member folder{"", "", 'd', "docs\xff"};
  folder.unixTime = 1300000000;
  folder.attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN;
  Write({{"a.txt", std::string(70000, 'x')}, {"b.txt", "bee", '0', "sub\xffinner\xff"}, readOnly, folder});
  run_.progressTotal = 70000 + 3 + 14;
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), std::string(70000, 'x'));
  EXPECT_EQ(FileText(dest_ + "\\sub\\inner\\b.txt"), "bee");
  EXPECT_EQ(FileText(dest_ + "\\ro.txt"), "kept read-only");
  EXPECT_EQ(LastWrite(dest_ + "\\a.txt"), FileTimeOf(1000000000));
  EXPECT_EQ(LastWrite(dest_ + "\\ro.txt"), FileTimeOf(1200000000));
  EXPECT_EQ(LastWrite(dest_ + "\\docs"), FileTimeOf(1300000000));  // NT family: directories too
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\docs").c_str()) & FILE_ATTRIBUTE_HIDDEN);
  // Every written byte moved the bar; the last report is 100 percent.
  ASSERT_FALSE(progressReports.empty());
  EXPECT_EQ(progressReports.back(), 100u);
  EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(Pass, AttributesStayPlainUnlessAsked) {
  Member readOnly{"ro.txt", "x"};
  readOnly.attributes = FILE_ATTRIBUTE_READONLY;
  Write({readOnly});
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_FALSE(GetFileAttributesA((dest_ + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
}

// The folders of one member are made once and remembered for the next; a
// name that only begins like a known folder gets its own.
TEST_F(Pass, EveryFileLandsInItsFolderWhateverTheOrder) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a/b/x.txt", "x"}, {"a/b/y.txt", "y"}, {"a/c/z.txt", "z"}, {"a/w.txt", "w"},
      {"ab/v.txt", "v"},  {"a/u.txt", "u"},   {"a/b/c/d/t.txt", "t"}, {"s.txt", "s"}};
  std::vector<Member> members;
  for (const auto& f : files) members.push_back({f.first, f.second});
  Write(members);
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  for (const auto& f : files) {
    std::string path = dest_ + "\\" + f.first;
    std::replace(path.begin(), path.end(), '/', '\\');
    EXPECT_EQ(FileText(path), f.second) << f.first;
  }
  EXPECT_TRUE(seenBoxes.empty());
}

// Members by the hundred: the bar gets each value once and ends full, the
// status line ends on the last name, and Cancel is looked for between
// members even where none reports progress.
TEST_F(Pass, ManyMembersKeepToWhatAPersonSees) {
  std::vector<Member> members;
  for (int i = 0; i < 400; ++i) members.push_back({"m" + std::to_string(i) + ".txt", std::string(10, 'm')});
  Write(members);
  EXPECT_EQ(Walk(ExtractMode::Test), 1);
  const std::string testing = TableText(IDS_STATUS_TESTING);
  EXPECT_EQ(Status(), std::string(testing).replace(testing.find("%s"), 2, "m399.txt"));
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  const std::string extracting = TableText(IDS_STATUS_EXTRACTING);
  EXPECT_EQ(Status(), std::string(extracting).replace(extracting.find("%s"), 2, "m399.txt"));
  ASSERT_FALSE(progressReports.empty());
  EXPECT_LE(progressReports.size(), 101u);
  EXPECT_TRUE(std::is_sorted(progressReports.begin(), progressReports.end()));
  EXPECT_EQ(std::adjacent_find(progressReports.begin(), progressReports.end()), progressReports.end());
  EXPECT_EQ(progressReports.back(), 100u);

  Write({{"", "", 'd', "d1\xff"}, {"", "", 'd', "d2\xff"}});
  run_.cancelRequested = true;
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  EXPECT_FALSE(Exists(dest_ + "\\d1"));
}

TEST_F(Pass, CrcMismatchDeletesTheFileNamesItsPathAndStopsThePass) {
  Member bad{"bad.txt", "damaged bytes"};
  bad.crcDelta = 1;
  Write({{"good.txt", "fine"}, bad, {"later.txt", "never"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  EXPECT_TRUE(run_.aborted);
  EXPECT_EQ(FileText(dest_ + "\\good.txt"), "fine");
  EXPECT_FALSE(Exists(dest_ + "\\bad.txt"));
  EXPECT_FALSE(Exists(dest_ + "\\later.txt"));
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, FileError(Shown(dest_ + "/bad.txt"), IDS_DAMAGED));
  EXPECT_EQ(seenBoxes[0].caption, "Pass Test");
}

TEST_F(Pass, DirectoryAtAFilePathIsAWriteError) {
  SetFlags(kFlagOverwriteWithoutAsking);
  ASSERT_TRUE(CreateDirectoryA(dest_.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((dest_ + "\\taken").c_str(), nullptr));
  Write({{"taken", "file where a folder is"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, FileError(Shown(dest_ + "/taken"), IDS_WRITE_ERROR));
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\taken").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Pass, CancelDuringProgressDeletesThePartialFileSilently) {
  cancelAtReport = 1;
  Write({{"big.bin", std::string(200000, 'b')}, {"next.txt", "never"}});
  run_.progressTotal = 200005;
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  EXPECT_EQ(progressReports.size(), 1u);  // nothing written after the report that saw Cancel
  EXPECT_FALSE(Exists(dest_ + "\\big.bin"));
  EXPECT_FALSE(Exists(dest_ + "\\next.txt"));
  EXPECT_TRUE(seenBoxes.empty());
}

TEST_F(Pass, CancelDuringTheTestPassEndsIt) {
  run_.cancelRequested = true;
  Write({{"a.txt", "a"}, {"b.txt", "b"}});
  EXPECT_EQ(Walk(ExtractMode::Test), 0);
  EXPECT_EQ(run_.progressTotal, 0u);
}

TEST_F(Pass, ProbeShowsTheNoticeAndNoEndsThePass) {
  std::string notice = "Install?";
  notice += '\0';
  notice += "hidden after the zero";
  Write({{"!", notice}, {"a.txt", "a"}});
  boxAnswers = {IDYES};
  EXPECT_EQ(Walk(ExtractMode::Probe), 1);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, "Install?");
  EXPECT_EQ(seenBoxes[0].caption, "Pass Test");
  boxAnswers = {IDNO};
  EXPECT_EQ(Walk(ExtractMode::Probe), 0);
  EXPECT_FALSE(Exists(dest_));
}

TEST_F(Pass, ProbeRefusesANoticeThatClaimsMoreThanItsData) {
  // A -lh5- notice of 1 GiB without a byte of data: damage, named against
  // the archive, before any question.
  enginetest::HeaderSpec s;
  s.method = "-lh5-";
  s.originalSize = 1u << 30;
  s.extended.push_back({0x01, enginetest::Text("!")});
  enginetest::Bytes archive = enginetest::BuildHeader(s);
  archive.push_back(0);
  ASSERT_TRUE(WriteWholeFile(archive_, ExecutablePrefix(kPrefixBytes) + std::string(archive.begin(), archive.end())));
  boxAnswers = {IDYES};
  EXPECT_EQ(Walk(ExtractMode::Probe), 0);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, FileError(archive_, IDS_DAMAGED));
}

TEST_F(Pass, ProbeLooksAtTheFirstMemberOnly) {
  Write({{"a.txt", "a"}, {"!", "a later notice is never shown"}});
  EXPECT_EQ(Walk(ExtractMode::Probe), 1);
  EXPECT_TRUE(seenBoxes.empty());
  // A long notice is cut to the general text buffer.
  Write({{"!", std::string(5000, 'n')}});
  boxAnswers = {IDYES};
  EXPECT_EQ(Walk(ExtractMode::Probe), 1);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, std::string(1023, 'n'));
}

TEST_F(Pass, ExtractNeverWritesTheNoticeButCountsIt) {
  Write({{"!", "notice text"}, {"a.txt", "a"}});
  run_.progressTotal = 12;
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_FALSE(Exists(dest_ + "\\!"));
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "a");
  ASSERT_FALSE(progressReports.empty());
  EXPECT_EQ(progressReports.front(), 11u * 100 / 12);
}

TEST_F(Pass, DamagedFirstHeaderNamesTheArchive) {
  std::string file = ArchiveFile({{"a.txt", "a"}});
  file[kPrefixBytes + 30] ^= 0x55;  // inside the extended headers: the header CRC fails
  ASSERT_TRUE(WriteWholeFile(archive_, file));
  EXPECT_EQ(Walk(ExtractMode::Probe), 0);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, FileError(archive_, IDS_DAMAGED));
}

TEST_F(Pass, MissingArchiveIsAReadError) {
  SYS_API(lstrcpy)(run_.executablePath, ToSys((root_ + "\\absent.exe")).c_str());
  EXPECT_EQ(Walk(ExtractMode::Probe), 0);
  ASSERT_EQ(seenBoxes.size(), 1u);
  EXPECT_EQ(seenBoxes[0].text, FileError(root_ + "\\absent.exe", IDS_READ_ERROR));
}

class Overwrite : public Pass {
 protected:
  void SetUp() override {
    Pass::SetUp();
    ASSERT_TRUE(CreateDirectoryA(dest_.c_str(), nullptr));
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      ASSERT_TRUE(WriteWholeFile(dest_ + "\\" + name, "old"));
    SetFileAttributesA((dest_ + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Write({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}});
  }
};

TEST_F(Overwrite, WithoutAskingReplacesEvenReadOnlyFiles) {
  SetFlags(kFlagOverwriteWithoutAsking);
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_TRUE(seenBoxes.empty());
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "new a");
  EXPECT_EQ(FileText(dest_ + "\\c.txt"), "new c");
  EXPECT_EQ(LastWrite(dest_ + "\\a.txt"), FileTimeOf(1000000000));
  EXPECT_FALSE(GetFileAttributesA((dest_ + "\\a.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Entries(dest_), "a.txt b.txt c.txt");  // nothing written beside them stays
}

// Whatever ends a member that replaces a file (Cancel, a CRC mismatch, data
// that ends early), the old file stays byte for byte with its attributes,
// and nothing written for the member is left beside it.
TEST_F(Overwrite, AFailedMemberLeavesTheOldFileAsItWas) {
  SetFlags(kFlagOverwriteWithoutAsking);
  const std::string big(200000, 'n');
  Member badCrc{"a.txt", "new a"};
  badCrc.crcDelta = 1;
  struct Case {
    const char* what;
    std::string archive;
    unsigned cancelAt;
    std::string box;  // how the message begins; empty: no message
    const char* b;    // b.txt afterwards
  } cases[] = {
      // Cancel at the first report, after the member's first 64 KiB.
      {"cancel", ArchiveFile({{"a.txt", big}, {"b.txt", "new b"}}), 1, "", "old"},
      {"CRC", ArchiveFile({{"b.txt", "new b"}, badCrc}), 0, FileError(Shown(dest_ + "/a.txt"), IDS_DAMAGED),
       "new b"},
      // The archive ends inside the member's data: a message naming the archive.
      {"short data", ArchiveFile({{"b.txt", "new b"}, {"a.txt", big}}).substr(0, kPrefixBytes + 500), 0,
       "\"" + archive_ + "\" ", "new b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteWholeFile(archive_, c.archive));
    seenBoxes.clear();
    progressReports.clear();
    cancelAtReport = c.cancelAt;
    run_.cancelRequested = false;
    run_.progressTotal = 200005;
    EXPECT_EQ(Walk(ExtractMode::Extract), 0);
    EXPECT_EQ(FileText(dest_ + "\\b.txt"), c.b);  // a member before it stays
    EXPECT_EQ(FileText(dest_ + "\\a.txt"), "old");
    EXPECT_EQ(GetFileAttributesA((dest_ + "\\a.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Entries(dest_), "a.txt b.txt c.txt");
    ASSERT_EQ(seenBoxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
      EXPECT_EQ(seenBoxes[0].text.substr(0, c.box.size()), c.box);
    }
  }
}

TEST_F(Overwrite, NoKeepsTheFileYesReplacesIt) {
  boxAnswers = {IDNO, IDYES, IDNO};
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  ASSERT_EQ(seenBoxes.size(), 3u);
  EXPECT_NE(seenBoxes[0].text.find(Shown(dest_ + "/a.txt")), std::string::npos) << seenBoxes[0].text;
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "old");
  EXPECT_EQ(FileText(dest_ + "\\b.txt"), "new b");
  EXPECT_EQ(FileText(dest_ + "\\c.txt"), "old");
}

TEST_F(Overwrite, AllStopsTheQuestions) {
  boxAnswers = {IDNO, IDC_OVERWRITE_ALL};
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_EQ(seenBoxes.size(), 2u);
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "old");
  EXPECT_EQ(FileText(dest_ + "\\b.txt"), "new b");
  EXPECT_EQ(FileText(dest_ + "\\c.txt"), "new c");
}

TEST_F(Overwrite, CancelEndsThePassAndLeavesTheFile) {
  boxAnswers = {IDYES, IDCANCEL};
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  EXPECT_EQ(seenBoxes.size(), 2u);
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "new a");
  EXPECT_EQ(FileText(dest_ + "\\b.txt"), "old");
  EXPECT_EQ(FileText(dest_ + "\\c.txt"), "old");
}

TEST_F(Pass, HostileNamesAreRefusedAndNothingAfterThemIsWritten) {
  const char* const kHostile[] = {"../escaped.txt", "..", "a/../../escaped.txt", "CON", "nul.txt",
                                  " ./escaped.txt"};
  SetFlags(kFlagOverwriteWithoutAsking);  // first.txt is there from the round before
  for (const char* name : kHostile) {
    seenBoxes.clear();
    Write({{"first.txt", "1"}, {name, "hostile"}, {"after.txt", "never"}});
    EXPECT_EQ(Walk(ExtractMode::Extract), 0) << name;
    EXPECT_FALSE(Exists(root_ + "\\escaped.txt")) << name;
    EXPECT_FALSE(Exists(dest_ + "\\after.txt")) << name;
    EXPECT_EQ(FileText(dest_ + "\\first.txt"), "1");
    ASSERT_EQ(seenBoxes.size(), 1u) << name;
    EXPECT_EQ(seenBoxes[0].text.rfind("\"" + Shown(dest_) + "/", 0), 0u) << seenBoxes[0].text;
    EXPECT_NE(seenBoxes[0].text.find(TableText(IDS_DAMAGED)), std::string::npos) << name;
  }
  // A stream name loses its colon and lands as a plain file.
  Write({{"x.txt:stream", "plain"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_EQ(FileText(dest_ + "\\x.txt_stream"), "plain");
  // A directory named ".." in the stored folder field, and one in a directory entry.
  Write({{"escaped.txt", "x", '0', "..\xff"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  Write({{"", "", 'd', "..\xff"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 0);
  EXPECT_FALSE(Exists(root_ + "\\escaped.txt"));
}

// The 64-bit stub takes a name's UTF-16 field (0x44) over its byte stand-in,
// under the same rules: an exact name lands as it is, a surrogate that is
// half of no pair is replaced, and a name that would leave the folder or
// name a device is damage, with nothing after it written.
TEST_F(Pass, UnicodeNamesLandExactlyAndHostileOnesAreRefused) {
  if (!kSysWide) GTEST_SKIP() << "the 32-bit stub reads the byte names only";
  const struct {
    std::u16string stored;
    const wchar_t* written;  // nullptr: refused
  } cases[] = {
      {u"caf\u00e9 \U0001F600.txt", L"caf\u00e9 \U0001F600.txt"},
      {u"\xD800x.txt", L"_x.txt"},
      {u"..\\escaped.txt", nullptr},
      {u"a/../../escaped.txt", nullptr},
      {u"CON", nullptr},
  };
  SetFlags(kFlagOverwriteWithoutAsking);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written ? Utf8FromWide(c.written) : "refused");
    Member hostile("stand-in.txt", "data");
    hostile.utf16Name = c.stored;
    Write({hostile, {"after.txt", "after"}});
    EXPECT_EQ(Walk(ExtractMode::Extract), c.written ? 1 : 0);
    EXPECT_FALSE(Exists(dest_ + "\\stand-in.txt"));
    EXPECT_FALSE(Exists(root_ + "\\escaped.txt"));
    EXPECT_EQ(Exists(dest_ + "\\after.txt"), c.written != nullptr);
    if (c.written) {
      const std::wstring path = WideFromUtf8(dest_) + L"\\" + c.written;
      EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
      DeleteFileW(path.c_str());
      DeleteFileA((dest_ + "\\after.txt").c_str());
    }
  }
}

TEST_F(Pass, DirectoryEntryWithDataIsSkippedOverIt) {
  Member folder{"", "", 'd', "docs\xff"};
  folder.extraData = std::string(300, 'J');  // bytes the entry should not have
  Write({folder, {"after.txt", "read where it stands"}});
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\docs").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(FileText(dest_ + "\\after.txt"), "read where it stands");
}

std::string Fixture(const char* name) { return ReadWholeFile(enginetest::FixturePath(name)); }

// The archives that the packer's check and `quorvel-pack test` judge in
// readers_agree_test.cpp: the stub extracts what they take and refuses what
// they refuse, with the message they give.
TEST_F(Pass, ExtractsExactlyTheArchivesThePackerTakes) {
  for (const enginetest::HostileArchive& a : enginetest::HostileArchives()) {
    SCOPED_TRACE(a.attack);
    ASSERT_TRUE(WriteWholeFile(archive_, ExecutablePrefix(kPrefixBytes) +
                                             std::string(a.bytes.begin(), a.bytes.end())));
    RemoveTree(dest_);
    seenBoxes.clear();
    // The Extract pass reads every header that the Test pass reads, and the data too.
    const int extracted = Walk(ExtractMode::Extract);
    if (a.readable) {
      EXPECT_EQ(extracted, 1);
      for (const std::string& name : a.names) EXPECT_TRUE(Exists(dest_ + "\\" + name)) << name;
      EXPECT_EQ(Walk(ExtractMode::Test), 1);
      EXPECT_TRUE(seenBoxes.empty());
      continue;
    }
    EXPECT_EQ(extracted, 0);
    ASSERT_EQ(seenBoxes.size(), 1u);
    const std::string text = seenBoxes[0].text, message = TableText(StepMessage(StepOf(a.result)));
    ASSERT_GE(text.size(), message.size());
    EXPECT_EQ(text.substr(text.size() - message.size()), message);
  }
}

TEST_F(Pass, CompressedMembersFromJlhaAfterTheStubImage) {
  const std::string lzh = Fixture("mixed.lzh");
  ASSERT_FALSE(lzh.empty());
  std::string file(kPrefixBytes, '\0');
  ASSERT_TRUE(WriteWholeFile(archive_, file + lzh));
  EXPECT_EQ(Walk(ExtractMode::Test), 1);
  EXPECT_EQ(run_.progressTotal, 3000u + 65537u + 70000u);
  EXPECT_EQ(Walk(ExtractMode::Extract), 1);
  EXPECT_EQ(FileText(dest_ + "\\docs\\small.txt"), Fixture("sample.txt").substr(0, 3000));
  EXPECT_EQ(FileText(dest_ + "\\spaces.txt"), std::string(65537, ' '));
  EXPECT_EQ(FileText(dest_ + "\\zeros.bin"), std::string(70000, '\0'));
  EXPECT_EQ(LastWrite(dest_ + "\\zeros.bin"), FileTimeOf(1714979289));  // 2024-05-06 07:08:09 UTC
  EXPECT_EQ(progressReports.back(), 100u);
  EXPECT_TRUE(seenBoxes.empty());
}

// Auto-run: the tests' mark program, started through the shell after the
// extract button's passes.
class AutoRun : public Pass {
 protected:
  void SetUp() override {
    Pass::SetUp();
    const std::string program = BuildFile("mark_file.exe");
    ASSERT_TRUE(Exists(program)) << program;
    ASSERT_TRUE(CopyFileA(program.c_str(), (root_ + "\\mark_file.exe").c_str(), FALSE));
    SYS_API(lstrcpy)(run_.settings.command, SYS_TEXT("\"%ExtractDir%\\..\\mark_file.exe\" one \"two three\""));
    run_.settings.options.autoRun = true;
    Write({{"a.txt", "a"}});
    OpenArchive();
  }
  void TearDown() override {
    CloseHandle(run_.ownFile);
    Pass::TearDown();
  }
  // Another archive: the run's own file is held open, as start-up holds it.
  void Rewrite(const std::vector<Member>& members) {
    CloseHandle(run_.ownFile);
    Write(members);
    OpenArchive();
  }
  // The mark the program leaves, waited for: the shell starts it on its own.
  std::string Mark(DWORD waitMs) {
    const std::string mark = dest_ + "\\mark.txt";
    for (DWORD waited = 0; waited <= waitMs; waited += 100) {
      if (Exists(mark)) {
        Sleep(200);
        return FileText(mark);
      }
      Sleep(100);
    }
    return "";
  }
};

TEST_F(AutoRun, StartsAfterASuccessfulExtractInTheDestination) {
  ExtractIntoDestination(run_, window_);
  EXPECT_FALSE(run_.aborted);
  EXPECT_EQ(Mark(10000), dest_ + "|one \"two three\"");
  // The run keeps the command as it was written.
  EXPECT_EQ(FromSys(run_.settings.command), "\"%ExtractDir%\\..\\mark_file.exe\" one \"two three\"");
}

TEST_F(AutoRun, NeverAfterAFailureOrWhenSwitchedOff) {
  SetFlags(kFlagOverwriteWithoutAsking);  // the runs write the same file
  run_.settings.options.autoRun = false;
  ExtractIntoDestination(run_, window_);
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "a");
  run_.settings.options.autoRun = true;
  Member bad{"b.txt", "b"};
  bad.crcDelta = 1;
  Rewrite({{"a.txt", "a"}, bad});
  ExtractIntoDestination(run_, window_);
  EXPECT_TRUE(run_.aborted);
  EXPECT_EQ(Mark(2000), "");
}

TEST_F(AutoRun, StartsEvenWhenEveryOverwriteWasDeclined) {
  ASSERT_TRUE(CreateDirectoryA(dest_.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(dest_ + "\\a.txt", "old"));
  boxAnswers = {IDNO};
  ExtractIntoDestination(run_, window_);
  EXPECT_TRUE(run_.keptExisting);
  EXPECT_EQ(FileText(dest_ + "\\a.txt"), "old");
  EXPECT_EQ(Mark(10000), dest_ + "|one \"two three\"");
}
}  // namespace
