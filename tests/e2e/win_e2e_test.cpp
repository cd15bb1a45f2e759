// The whole program as a user meets it: self-extracting files made by the
// packer, run under Wine, their dialogs driven by control id, the files on
// disk checked afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "win_child_process.h"
#include "ui/resource_ids.h"
#include "win_e2e_support.h"

namespace {

TEST_F(EndToEnd, ExtractsFoldersFilesAndTimesWithExitCodeOne) {
  WriteSource("readme.txt", "hello\r\n", kStamp);
  WriteSource("docs\\guide.txt", std::string(100000, 'g') + "end", kStamp);
  WriteSource("docs\\deep\\x.bin", Random(70000), kStamp);
  ASSERT_TRUE(Pack({"--method", "lh7"}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  EXPECT_EQ(main.caption, "E2E Title");
  ExtractInto(main.window);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\readme.txt"), "hello\r\n");
  EXPECT_EQ(ReadWholeFile(dest_ + "\\docs\\guide.txt"), ReadWholeFile(src_ + "\\docs\\guide.txt"));
  EXPECT_EQ(ReadWholeFile(dest_ + "\\docs\\deep\\x.bin"), ReadWholeFile(src_ + "\\docs\\deep\\x.bin"));
  EXPECT_EQ(LastWrite(dest_ + "\\docs\\guide.txt"), kStamp);
}

TEST_F(EndToEnd, NoticeAnsweredYesShowsTheDialogAndNoEndsWithZero) {
  WriteSource("a.txt", "a", kStamp);
  WriteFileAt(work_ + "\\notice.txt", "Please read this notice.");
  ASSERT_TRUE(Pack({"--notice", work_ + "\\notice.txt"}));
  {
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_)));
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, IDYES, IDNO));
    EXPECT_EQ(box.caption, "E2E Title");
    ASSERT_FALSE(box.staticTexts.empty());
    EXPECT_EQ(box.staticTexts.back(), "Please read this notice.");
    ChildProcess::Press(box.window, IDNO);
    EXPECT_EQ(stub.WaitForExit(), 0);
  }
  ChildProcess stub;
  ASSERT_TRUE(stub.Start(Quoted(exe_) + " " + dest_));
  SeenWindow box;
  ASSERT_TRUE(stub.WaitForWindow(box, 20000, IDYES, IDNO));
  ChildProcess::Press(box.window, IDYES);
  SeenWindow main;
  ASSERT_TRUE(stub.WaitForWindow(main, 20000, IDC_FOLDER_EDIT));
  ChildProcess::Press(main.window, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "a");
  EXPECT_FALSE(Exists(dest_ + "\\!"));  // the notice member is never written
}

TEST_F(EndToEnd, FolderMustBeAFullPath) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  for (const char* typed : {"relative\\folder", "", "   ", "C:", "\\single"}) {
    ChildProcess::SetControlText(main.window, IDC_FOLDER_EDIT, typed);
    ChildProcess::Press(main.window, IDOK);
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT)) << "'" << typed << "'";
    EXPECT_EQ(box.caption, Text(IDS_TITLE));
    ASSERT_FALSE(box.staticTexts.empty());
    EXPECT_EQ(box.staticTexts.back(), Text(IDS_NOT_FULL_PATH));
    ChildProcess::Press(box.window, IDOK);
    WaitGone(box.window);
  }
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 0);
}

// Browse and other programs can put more into the folder edit than its limit
// of 255 bytes; a longer text is refused with the full-path box, never cut to
// a prefix of the folder. The folder's own length counts, not the quotes and
// blanks around it. 255 bytes are taken whole.
TEST_F(EndToEnd, FolderLongerThanTheFieldIsRefusedNotCut) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  // A folder of n bytes below dest_, quoted after six blanks.
  auto quoted = [&](std::size_t n) {
    return "      \"" + dest_ + "\\" + std::string(n - dest_.size() - 1, 'q') + "\"";
  };
  const std::string tooLong = dest_ + "\\" + std::string(258 - dest_.size() - 1, 'f');
  // Quotes and blanks around the folder are not counted: its own length is.
  for (const std::string& text : {tooLong, quoted(256)}) {
    SCOPED_TRACE(text.size());
    ASSERT_GT(text.size(), 255u);
    ChildProcess::SetControlText(main.window, IDC_FOLDER_EDIT, text);
    ASSERT_EQ(ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT), text);
    ChildProcess::Press(main.window, IDOK);
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT));
    ASSERT_FALSE(box.staticTexts.empty());
    EXPECT_EQ(box.staticTexts.back(), Text(IDS_NOT_FULL_PATH));
    ChildProcess::Press(box.window, IDOK);
    WaitGone(box.window);
  }
  Sleep(300);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dest_ + "\\*.*").c_str(), &found);
  int entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do entries += found.cFileName[0] != '.';
    while (FindNextFileA(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(entries, 0) << "nothing went into a prefix of the folders";

  const std::string whole = quoted(247);
  ASSERT_EQ(whole.size(), 255u);
  ChildProcess::SetControlText(main.window, IDC_FOLDER_EDIT, whole);
  ChildProcess::Press(main.window, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_EQ(ReadWholeFile(whole.substr(7, 247) + "\\a.txt"), "a");
}

// A user who cancels a re-run over an installed copy keeps that copy: the
// member is written beside the old file, which gives way only to a complete
// one. Cancel is pressed with Yes, before the member's first byte.
TEST_F(EndToEnd, CancelOverAnInstalledCopyKeepsItByteForByte) {
  WriteSource("big.bin", Random(4 << 20), kStamp);
  ASSERT_TRUE(Pack({"--method", "lh0", "--run", "cmd.exe /c echo ran> ran.txt"}));
  const std::string old = Random(3 << 20);
  WriteFileAt(dest_ + "\\big.bin", old);
  SetFileAttributesA((dest_ + "\\big.bin").c_str(), FILE_ATTRIBUTE_READONLY);
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  ExtractInto(main.window);
  SeenWindow question;
  ASSERT_TRUE(stub.WaitForWindow(question, 20000, IDC_OVERWRITE_ALL, IDYES));
  ChildProcess::Press(question.window, IDYES);
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_TRUE(ReadWholeFile(dest_ + "\\big.bin") == old);
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\big.bin").c_str()) & FILE_ATTRIBUTE_READONLY);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dest_ + "\\~qv*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "left beside it: " << found.cFileName;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  Sleep(500);
  EXPECT_FALSE(Exists(dest_ + "\\ran.txt"));
}

TEST_F(EndToEnd, CancelDuringALargeExtractionDeletesThePartialFile) {
  // Large enough that writing it takes well over the 50 ms within which the
  // pass notices a Cancel.
  WriteSource("big.bin", Random(64 << 20), kStamp);
  ASSERT_TRUE(Pack({"--method", "lh0", "--run", "cmd.exe /c echo ran> ran.txt"}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  ExtractInto(main.window);
  // Wait until the file exists and is growing, then cancel.
  for (int i = 0; i < 2000 && FileSize(dest_ + "\\big.bin") == 0 && stub.Running(); ++i) Sleep(1);
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_FALSE(Exists(dest_ + "\\big.bin"));
  Sleep(500);
  EXPECT_FALSE(Exists(dest_ + "\\ran.txt"));  // a cancelled extraction starts nothing
}

TEST_F(EndToEnd, OverwriteQuestionYesNoAllCancel) {
  WriteSource("1.txt", "new1", kStamp);
  WriteSource("2.txt", "new2", kStamp);
  WriteSource("3.txt", "new3", kStamp);
  WriteSource("4.txt", "new4", kStamp);
  ASSERT_TRUE(Pack({"--method", "lh5"}));
  auto prepare = [&] {
    for (const char* n : {"1.txt", "2.txt", "3.txt", "4.txt"})
      WriteFileAt(dest_ + "\\" + n, "old");
  };
  struct Case {
    std::vector<int> answers;
    const char* expect;  // contents of 1..4 afterwards: n new, o old
    int exitCode;
  };
  for (const Case& c : {Case{{IDYES, IDNO, IDYES, IDNO}, "nono", 1},
                        Case{{IDNO, IDC_OVERWRITE_ALL}, "onnn", 1},
                        Case{{IDYES, IDCANCEL}, "nooo", 1}}) {
    prepare();
    ChildProcess stub;
    SeenWindow main = StartToMainDialog(stub);
    ExtractInto(main.window);
    for (int answer : c.answers) {
      SeenWindow question;
      ASSERT_TRUE(stub.WaitForWindow(question, 20000, IDC_OVERWRITE_ALL, IDYES));
      EXPECT_EQ(question.caption, "E2E Title");
      // The path as the pass builds it: '/' between the components after the root.
      std::string shown = dest_;
      for (std::size_t i = 3; i < shown.size(); ++i)
        if (shown[i] == '\\') shown[i] = '/';
      EXPECT_EQ(ChildProcess::ControlText(question.window, IDC_OVERWRITE_PATH).find(shown), 0u);
      ChildProcess::Press(question.window, answer);
      WaitGone(question.window);
    }
    EXPECT_EQ(stub.WaitForExit(), c.exitCode);
    for (int i = 0; i < 4; ++i) {
      const std::string name = dest_ + "\\" + std::to_string(i + 1) + ".txt";
      EXPECT_EQ(ReadWholeFile(name), c.expect[i] == 'n' ? "new" + std::to_string(i + 1) : "old")
          << name;
    }
  }
}

TEST_F(EndToEnd, OverwriteWithoutAskingReplacesReadOnlyFiles) {
  WriteSource("1.txt", "new", kStamp);
  ASSERT_TRUE(Pack({"--overwrite"}));
  WriteFileAt(dest_ + "\\1.txt", "old");
  SetFileAttributesA((dest_ + "\\1.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  EXPECT_EQ(ChildProcess::ControlText(main.window, IDC_STATUS), Text(IDS_OVERWRITE_MESSAGE));
  ExtractInto(main.window);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\1.txt"), "new");
}

TEST_F(EndToEnd, OptionsSuppressFoldersRestoreAttributesAndAutoRunOff) {
  WriteSource("sub\\inner.txt", "inner", kStamp);
  WriteSource("ro.txt", "ro", kStamp);
  SetFileAttributesA((src_ + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Pack({"--run", "cmd.exe /c echo ran> ran.txt"}));
  WriteFileAt(dest_ + "\\ro.txt", "old");  // replaced without a question once the option is on
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  ChildProcess::Press(main.window, IDC_OPTIONS);
  SeenWindow options;
  ASSERT_TRUE(stub.WaitForWindow(options, 20000, IDC_OPT_SUPPRESS_FOLDERS));
  EXPECT_EQ(ChildProcess::ControlText(options.window, IDC_OPT_COMMAND),
            Text(IDS_COMMAND).substr(0, Text(IDS_COMMAND).find('%')) + "cmd.exe /c echo ran> ran.txt");
  EXPECT_EQ(SendMessageA(GetDlgItem(options.window, IDC_OPT_AUTORUN), BM_GETCHECK, 0, 0), BST_CHECKED);
  for (int box : {IDC_OPT_SUPPRESS_FOLDERS, IDC_OPT_RESTORE_ATTRIBUTES, IDC_OPT_OVERWRITE, IDC_OPT_AUTORUN})
    SendMessageA(GetDlgItem(options.window, box), BM_CLICK, 0, 0);
  ChildProcess::Press(options.window, IDOK);
  WaitGone(options.window);
  ExtractInto(main.window);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\inner.txt"), "inner");
  EXPECT_FALSE(Exists(dest_ + "\\sub"));
  EXPECT_EQ(ReadWholeFile(dest_ + "\\ro.txt"), "ro");
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  Sleep(500);
  EXPECT_FALSE(Exists(dest_ + "\\ran.txt"));
}

TEST_F(EndToEnd, AutoRunStartsInTheDestination) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({"--run", "cmd.exe /c echo ran> ran.txt"}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  ExtractInto(main.window);
  EXPECT_EQ(stub.WaitForExit(), 1);
  // The command creates its file before it writes to it.
  for (int i = 0; i < 200 && ReadWholeFile(dest_ + "\\ran.txt").size() < 3; ++i) Sleep(50);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\ran.txt").substr(0, 3), "ran");
}

TEST_F(EndToEnd, DamagedArchiveNamesTheExecutable) {
  WriteSource("a.txt", std::string(5000, 'a'), kStamp);
  WriteSource("b.txt", Random(5000), kStamp);
  ASSERT_TRUE(Pack({"--method", "lh0"}));
  const std::string good = ReadWholeFile(exe_);
  // The first header broken: start-up ends after the message, exit code 0.
  std::string bad = good;
  bad[ArchiveOffset(good) + 10] ^= 0x55;
  WriteFileAt(exe_, bad);
  {
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_)));
    SeenWindow box;
    const std::string boxText = WaitForBoxText(stub, box);
    ASSERT_FALSE(boxText.empty());
    EXPECT_EQ(boxText, "\"" + exe_ + "\" " + Text(IDS_DAMAGED));
    ChildProcess::Press(box.window, IDOK);
    EXPECT_EQ(stub.WaitForExit(), 0);
  }
  // The second member's data broken: found by its CRC after extraction began,
  // named by its destination path, exit code 1; the member before it stays.
  bad = good;
  bad[bad.size() - 100] ^= 0x55;
  WriteFileAt(exe_, bad);
  {
    ChildProcess stub;
    SeenWindow main = StartToMainDialog(stub);
    ExtractInto(main.window);
    SeenWindow box;
    const std::string boxText = WaitForBoxText(stub, box);
    ASSERT_FALSE(boxText.empty());
    EXPECT_NE(boxText.find("b.txt\" " + Text(IDS_DAMAGED)), std::string::npos)
        << boxText;
    ChildProcess::Press(box.window, IDOK);
    EXPECT_EQ(stub.WaitForExit(), 1);
    EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), std::string(5000, 'a'));
    EXPECT_FALSE(Exists(dest_ + "\\b.txt"));
  }
  // The second member's header broken: the Test pass names the executable, no
  // file is written, exit code 1.
  RemoveTree(dest_);
  CreateDirectoryA(dest_.c_str(), nullptr);
  bad = good;
  const std::uint32_t first = ArchiveOffset(good);
  std::uint16_t headerBytes;
  std::uint32_t dataBytes;
  std::memcpy(&headerBytes, &good[first], 2);
  std::memcpy(&dataBytes, &good[first + 7], 4);
  const std::size_t second = first + headerBytes + dataBytes;
  bad[second + 12] ^= 0x55;
  WriteFileAt(exe_, bad);
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  ExtractInto(main.window);
  SeenWindow box;
  const std::string boxText = WaitForBoxText(stub, box);
  ASSERT_FALSE(boxText.empty());
  EXPECT_EQ(boxText, "\"" + exe_ + "\" " + Text(IDS_DAMAGED));
  ChildProcess::Press(box.window, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 1);
  EXPECT_FALSE(Exists(dest_ + "\\a.txt"));
}

}  // namespace
