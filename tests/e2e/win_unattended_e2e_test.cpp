// The stub driven without a person: its switches, the exit codes they end
// with, the temporary-folder mode of an installer's launcher, and the
// download's zone carried to every file written. A silent run that opened a
// window would wait for ever; each one here must end by itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "ui/resource_ids.h"
#include "win_child_process.h"
#include "win_e2e_support.h"

namespace {

// The command the archives run: it records where it ran and what it found
// there, beside the work folder, then ends with code 7.
std::string RecordingCommand(const std::string& record) {
  return "cmd.exe /c cd> " + record + "& type a.txt>> " + record + "& exit 7";
}

class Unattended : public EndToEnd {
 protected:
  // Runs the stub with the switches and returns its exit code; nothing may
  // need an answer.
  int RunStub(const std::string& switches) {
    ChildProcess stub;
    EXPECT_TRUE(stub.Start(Quoted(exe_) + " " + switches));
    return stub.WaitForExit(60000);
  }
  std::string ran() const { return work_ + "\\ran.txt"; }
};

TEST_F(Unattended, SilentExtractsIntoTheFolderOfDAndRunsTheCommand) {
  WriteSource("a.txt", "a", kStamp);
  WriteSource("docs\\guide.txt", std::string(100000, 'g'), kStamp);
  ASSERT_TRUE(Pack({"--run", "cmd.exe /c echo ran> " + ran()}));
  // Blanks in the folder need no quotes; quotes around it are dropped.
  const std::string blank = dest_ + "\\with blank";
  EXPECT_EQ(RunStub("/S /D=" + blank), 0);
  EXPECT_EQ(ReadWholeFile(blank + "\\docs\\guide.txt"), std::string(100000, 'g'));
  EXPECT_EQ(LastWrite(blank + "\\a.txt"), kStamp);
  for (int i = 0; i < 100 && ReadWholeFile(ran()).size() < 3; ++i) Sleep(50);
  EXPECT_EQ(ReadWholeFile(ran()).substr(0, 3), "ran");
  // /N: the same, without the command.
  ASSERT_TRUE(DeleteFileA(ran().c_str()));
  const std::string quoted = dest_ + "\\quoted one";
  EXPECT_EQ(RunStub("-s -n -d=\"" + quoted + "\""), 0);
  EXPECT_EQ(ReadWholeFile(quoted + "\\a.txt"), "a");
  Sleep(500);
  EXPECT_FALSE(Exists(ran()));
}

TEST_F(Unattended, SilentTakesTheConfiguredFolderWhichMustBeAFullPath) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({"--folder", "%QUORVEL_E2E_DEST%\\sub"}));
  SetEnvironmentVariableA("QUORVEL_E2E_DEST", dest_.c_str());
  EXPECT_EQ(RunStub("/S"), 0);  // the stub inherits the variable
  EXPECT_EQ(ReadWholeFile(dest_ + "\\sub\\a.txt"), "a");
  SetEnvironmentVariableA("QUORVEL_E2E_DEST", nullptr);
  ASSERT_TRUE(Pack({"--folder", "relative\\folder"}));
  EXPECT_EQ(RunStub("/S"), 7);
  // Command-line errors: an unknown switch, /D= not a full path or empty.
  for (const char* bad : {"/S /X", "/S /D=relative", "/S /D=", "/S /D=\"\"", "/T /Q", "/S /SO"})
    EXPECT_EQ(RunStub(bad), 7) << bad;
  EXPECT_FALSE(Exists(work_ + "\\relative"));
}

TEST_F(Unattended, ExistingFilesAreKeptWithOneOrOverwrittenWithO) {
  WriteSource("a.txt", "new", kStamp);
  WriteSource("b.txt", "b", kStamp);
  ASSERT_TRUE(Pack({}));
  WriteFileAt(dest_ + "\\a.txt", "old");
  SetFileAttributesA((dest_ + "\\a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RunStub("/S /D=" + dest_), 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "old");
  EXPECT_EQ(ReadWholeFile(dest_ + "\\b.txt"), "b");
  EXPECT_EQ(RunStub("/S /O /D=" + dest_), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "new");
  // A stub that overwrites anyway has nothing to keep.
  ASSERT_TRUE(Pack({"--overwrite"}));
  WriteFileAt(dest_ + "\\a.txt", "old");
  EXPECT_EQ(RunStub("/S /D=" + dest_), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "new");
}

TEST_F(Unattended, NoticeMustBeAcceptedWithY) {
  WriteSource("a.txt", "a", kStamp);
  WriteFileAt(work_ + "\\notice.txt", "Do you agree?");
  ASSERT_TRUE(Pack({"--notice", work_ + "\\notice.txt"}));
  EXPECT_EQ(RunStub("/S /D=" + dest_), 255);
  EXPECT_FALSE(Exists(dest_ + "\\a.txt"));
  EXPECT_EQ(RunStub("/S /Y /D=" + dest_), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "a");
  EXPECT_FALSE(Exists(dest_ + "\\!"));
  // /Y with the dialog: the notice is not asked, the dialog comes at once.
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub, "/Y");
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 0);
}

TEST_F(Unattended, DamageIsFatalAndLeavesNothingHalfWritten) {
  WriteSource("a.txt", std::string(5000, 'a'), kStamp);
  WriteSource("b.txt", Random(300000), kStamp);
  ASSERT_TRUE(Pack({"--method", "lh0"}));
  const std::string good = ReadWholeFile(exe_);
  EXPECT_EQ(RunStub("/T"), 0);
  std::string bad = good;
  bad[bad.size() - 100] ^= 0x55;  // inside b.txt's data
  WriteFileAt(exe_, bad);
  EXPECT_EQ(RunStub("/T"), 2);
  EXPECT_EQ(RunStub("/S /D=" + dest_), 2);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), std::string(5000, 'a'));
  EXPECT_FALSE(Exists(dest_ + "\\b.txt"));
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dest_ + "\\~qv*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  // The first header broken: fatal before anything, also for /T.
  bad = good;
  bad[ArchiveOffset(good) + 10] ^= 0x55;
  WriteFileAt(exe_, bad);
  EXPECT_EQ(RunStub("/T"), 2);
  EXPECT_EQ(RunStub("/S /Y /D=" + dest_ + "\\never"), 2);
  EXPECT_FALSE(Exists(dest_ + "\\never"));
}

TEST_F(Unattended, VerifyWritesNothingAndStartsNothing) {
  WriteSource("a.txt", "a", kStamp);
  WriteSource("sub\\b.txt", Random(100000), kStamp);
  WriteFileAt(work_ + "\\notice.txt", "Do you agree?");
  ASSERT_TRUE(Pack({"--notice", work_ + "\\notice.txt", "--run", "cmd.exe /c echo ran> " + ran(), "--folder",
                    dest_}));
  EXPECT_EQ(RunStub("/t"), 0);
  Sleep(500);
  EXPECT_FALSE(Exists(dest_ + "\\a.txt"));
  EXPECT_FALSE(Exists(ran()));
}

TEST_F(Unattended, SwitchListBoxAndUnknownSwitches) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({}));
  for (const char* switches : {"/?", "/Q"}) {
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_) + " " + switches));
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT)) << switches;
    EXPECT_EQ(box.caption, Text(IDS_TITLE));
    ASSERT_FALSE(box.staticTexts.empty());
    EXPECT_EQ(box.staticTexts.back(), Text(IDS_USAGE));
    ChildProcess::Press(box.window, IDOK);
    EXPECT_EQ(stub.WaitForExit(), switches[1] == '?' ? 0 : 7) << switches;
  }
  // A folder argument is no switch, even when it begins with a slash.
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub, "//server/share");
  EXPECT_EQ(ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT), "//server/share");
  ChildProcess::Press(main.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 0);
}

TEST_F(Unattended, DFolderWithoutSOpensTheDialogWithIt) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({"--folder", "C:\\configured"}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub, "/O /D=\"" + dest_ + "\"");
  EXPECT_EQ(ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT), Quoted(dest_));
  ChildProcess::Press(main.window, IDOK);
  EXPECT_EQ(stub.WaitForExit(), 1);  // the dialog's own exit code
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "a");
}

TEST_F(Unattended, TemporaryFolderRunsTheCommandThereAndIsGoneAfterwards) {
  WriteSource("a.txt", "from the archive", kStamp);
  WriteSource("ro.txt", "read-only", kStamp);
  SetFileAttributesA((src_ + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const std::string record = work_ + "\\where.txt";
  ASSERT_TRUE(Pack({"--temp", "--restore-attributes", "--run", RecordingCommand(record)}));
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  for (const char* switches : {"", "/S"}) {
    SCOPED_TRACE(switches);
    DeleteFileA(record.c_str());
    const std::set<std::string> before = TemporaryFolders();
    // The command's exit code is the stub's.
    EXPECT_EQ(RunStub(switches), 7);
    const std::string seen = ReadWholeFile(record);
    const std::size_t line = seen.find("\r\n");
    ASSERT_NE(line, std::string::npos) << seen;
    const std::string folder = seen.substr(0, line);
    EXPECT_EQ(folder.rfind(std::string(temp) + "qv", 0), 0u) << folder;
    EXPECT_EQ(seen.substr(line + 2), "from the archive");
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(TemporaryFolders(), before);
  }
  // /N: no command, and the folder stays to be looked at.
  const std::set<std::string> before = TemporaryFolders();
  DeleteFileA(record.c_str());
  EXPECT_EQ(RunStub("/S /N"), 0);
  std::set<std::string> left = TemporaryFolders();
  for (const std::string& f : before) left.erase(f);
  ASSERT_EQ(left.size(), 1u);
  const std::string folder = *left.begin();
  EXPECT_EQ(ReadWholeFile(folder + "\\a.txt"), "from the archive");
  EXPECT_TRUE(GetFileAttributesA((folder + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists(record));
  RemoveTree(folder);
  // A program the command leaves running holds the folder as its current one
  // for a second after the command ends: the folder still goes, once it can.
  ASSERT_TRUE(Pack({"--temp", "--run", "cmd.exe /c start /b ping -n 2 127.0.0.1>nul& exit 5"}));
  EXPECT_EQ(RunStub("/S"), 5);
  EXPECT_EQ(TemporaryFolders(), before);
  // A command that cannot be started is fatal, and the folder goes.
  ASSERT_TRUE(Pack({"--temp", "--run", "no-such-program-here.exe"}));
  EXPECT_EQ(RunStub("/S"), 2);
  EXPECT_EQ(TemporaryFolders(), before);
}

// The dialog shows the extraction into the temporary folder with its folder,
// Browse and Options disabled. A failure there ends with 2, Cancel with 255;
// either way nothing is run and no folder is left.
TEST_F(Unattended, TemporaryFolderInTheDialogFailedOrCancelled) {
  const std::string record = work_ + "\\where.txt";
  WriteSource("a.txt", "a", kStamp);
  WriteSource("b.txt", Random(100000), kStamp);
  ASSERT_TRUE(Pack({"--temp", "--method", "lh0", "--run", RecordingCommand(record)}));
  std::string bad = ReadWholeFile(exe_);
  bad[bad.size() - 100] ^= 0x55;  // inside b.txt's data
  WriteFileAt(exe_, bad);
  const std::set<std::string> before = TemporaryFolders();
  {
    ChildProcess stub;
    SeenWindow main = StartToMainDialog(stub);
    SeenWindow box;
    const std::string text = WaitForBoxText(stub, box);
    EXPECT_NE(text.find("b.txt\" " + Text(IDS_DAMAGED)), std::string::npos) << text;
    std::string folder = ChildProcess::ControlText(main.window, IDC_FOLDER_EDIT);
    if (folder.size() > 1 && folder[0] == '"') folder = folder.substr(1, folder.size() - 2);
    EXPECT_EQ(folder.rfind(TempPath("qv"), 0), 0u) << folder;
    // The file in that folder is named (with '/' after the root, as the pass builds it).
    EXPECT_NE(text.find(folder.substr(folder.rfind('\\') + 1) + "/b.txt"), std::string::npos) << text;
    for (int id : {IDC_FOLDER_EDIT, IDC_BROWSE, IDC_OPTIONS, IDOK})
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main.window, id))) << id;
    ChildProcess::Press(box.window, IDOK);
    EXPECT_EQ(stub.WaitForExit(), 2);
    EXPECT_FALSE(Exists(folder));
  }
  // Two members of one name: the second one asks, and Cancel ends the run.
  const std::string one = work_ + "\\one.lzh", two = work_ + "\\two.lzh";
  for (const std::string& lzh : {one, two}) {
    RemoveTree(src_);
    CreateDirectoryA(src_.c_str(), nullptr);
    WriteSource("a.txt", lzh, kStamp);
    ChildProcess packer;
    ASSERT_TRUE(packer.Start(Quoted(BuildFile("quorvel-pack.exe")) + " create -q -o " + Quoted(lzh) + " " +
                             Quoted(src_ + "\\a.txt")));
    ASSERT_EQ(packer.WaitForExit(60000), 0);
  }
  const std::string first = ReadWholeFile(one);
  WriteFileAt(work_ + "\\both.lzh", first.substr(0, first.size() - 1) + ReadWholeFile(two));
  RemoveTree(src_);
  CreateDirectoryA(src_.c_str(), nullptr);
  ASSERT_TRUE(Pack({"--temp", "--run", RecordingCommand(record), "--archive", work_ + "\\both.lzh"}));
  ChildProcess stub;
  SeenWindow main = StartToMainDialog(stub);
  SeenWindow question;
  ASSERT_TRUE(stub.WaitForWindow(question, 20000, IDC_OVERWRITE_ALL, IDYES));
  ChildProcess::Press(question.window, IDCANCEL);
  EXPECT_EQ(stub.WaitForExit(), 255);
  EXPECT_EQ(TemporaryFolders(), before);
  Sleep(500);
  EXPECT_FALSE(Exists(record));
}

TEST_F(Unattended, ArchivesOfOlderLevelsAndMethodsBecomeSelfExtracting) {
  // Levels 0 and 1 with -lh1-, -lzs- and -lz5-, each member the first 2000
  // bytes of sample.txt: the packer rewrites them as level 2 in the stub's
  // methods, and the stub writes the same bytes.
  const std::string fixtures = std::string("Z:") + QUORVEL_SOURCE_DIR + "/tests/fixtures/";
  ASSERT_TRUE(Pack({"--archive", fixtures + "old-levels.lzh"}));
  EXPECT_EQ(RunStub("/S /D=" + dest_), 0);
  const std::string text = ReadWholeFile(fixtures + "sample.txt").substr(0, 2000);
  for (const char* name : {"lh1.txt", "lzs.txt", "old\\lz5.txt"})
    EXPECT_EQ(ReadWholeFile(dest_ + "\\" + name), text) << name;
}

TEST_F(Unattended, EveryFileWrittenTakesTheDownloadsZone) {
  WriteSource("a.txt", "a", kStamp);
  WriteSource("docs\\b.txt", "b", kStamp);
  WriteSource("ro.txt", "read-only", kStamp);
  SetFileAttributesA((src_ + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Pack({"--restore-attributes"}));
  // Without a zone of its own the stub marks nothing.
  EXPECT_EQ(RunStub("/S /D=" + dest_ + "\\plain"), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\plain\\a.txt"), "a");
  EXPECT_FALSE(Exists(dest_ + "\\plain\\a.txt:Zone.Identifier"));
  // Under Wine the stream sfx.exe:Zone.Identifier is a file of that name.
  const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/sfx.exe\r\n";
  WriteFileAt(exe_ + ":Zone.Identifier", zone);
  EXPECT_EQ(RunStub("/S /D=" + dest_), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "a");
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt:Zone.Identifier"), zone);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\docs\\b.txt:Zone.Identifier"), zone);
  // Marked before its attribute comes back: a read-only file takes no stream.
  EXPECT_EQ(ReadWholeFile(dest_ + "\\ro.txt:Zone.Identifier"), zone);
  EXPECT_TRUE(GetFileAttributesA((dest_ + "\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists(dest_ + "\\docs:Zone.Identifier"));  // folders are not marked
  // A file that replaces another is marked too, keeps the member's time, and
  // nothing is left beside it.
  WriteFileAt(dest_ + "\\a.txt:Zone.Identifier", "old zone");
  EXPECT_EQ(RunStub("/S /O /D=" + dest_), 0);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt:Zone.Identifier"), zone);
  EXPECT_EQ(LastWrite(dest_ + "\\a.txt"), kStamp);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dest_ + "\\~qv*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << found.cFileName;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

}  // namespace
