// What the stub does against another program on the same machine and
// against files it finds in its way: something planted in its temporary
// folder while it writes, a link planted there, a command whose child
// outlives it, a renamed stub beside a decoy, a stray step-aside file, an
// over-long folder, a folder where a file goes, a program name in another
// code page.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <set>
#include <string>
#include <vector>

#include "ui/resource_ids.h"
#include "win_child_process.h"
#include "win_e2e_support.h"

namespace {

// The Linux name of a Windows path (Wine's own export), for a link planted
// with the system's ln.
std::string UnixName(const std::string& path) {
  using UnixNameFn = char*(__cdecl*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  char* name = unixName ? unixName(wide) : nullptr;
  std::string result = name ? name : "";
  if (name) HeapFree(GetProcessHeap(), 0, name);
  return result;
}

class Hardening : public EndToEnd {
 protected:
  int RunStub(const std::string& switches, const std::string& exe = "") {
    ChildProcess stub;
    EXPECT_TRUE(stub.Start(Quoted(exe.empty() ? exe_ : exe) + " " + switches));
    return stub.WaitForExit(60000);
  }
  std::string record() const { return work_ + "\\record.txt"; }
  // Starts exe_ under the command line given (which names the program as it
  // likes) and returns its exit code; 99 when it had to be stopped.
  static DWORD StartAs(const std::wstring& program, std::wstring line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return 98;
    // A dialog instead of the silent run would wait for ever.
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
  }
  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
};

// Something put into the temporary folder while the stub writes: a file of
// a member's name (which a silent run would keep and run) or another one
// (a DLL the command would load). The run ends with 2 before the command,
// and the folder goes.
TEST_F(Hardening, AnythingPlantedInTheTemporaryFolderEndsTheRun) {
  WriteSource("big.bin", Random(40 << 20), kStamp);
  WriteSource("setup.bat", "@echo genuine> " + record() + "\r\n", kStamp);
  ASSERT_TRUE(Pack({"--temp", "--method", "lh0", "--run", "setup.bat"}));
  for (const char* planted : {"setup.bat", "optional_helper.dll"}) {
    SCOPED_TRACE(planted);
    DeleteFileA(record().c_str());
    const std::set<std::string> before = TemporaryFolders();
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_) + " /S"));
    std::string folder;
    for (int i = 0; i < 20000 && folder.empty() && stub.Running(); ++i) {
      for (const std::string& f : TemporaryFolders())
        if (!before.count(f)) folder = f;
      if (folder.empty()) Sleep(1);
    }
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(WriteWholeFile(folder + "\\" + planted, "@echo planted> " + record() + "\r\n"));
    EXPECT_EQ(stub.WaitForExit(60000), 2);
    Sleep(300);
    EXPECT_FALSE(Exists(record())) << ReadWholeFile(record());
    EXPECT_FALSE(Exists(folder));
  }
}

// The folder is the user's, SYSTEM's and the administrators' alone, and
// takes nothing from the temporary folder above it.
TEST_F(Hardening, TheTemporaryFolderIsOpenOnlyToTheUser) {
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({"--temp", "--run", "cmd.exe /c exit 0"}));
  const std::set<std::string> before = TemporaryFolders();
  EXPECT_EQ(RunStub("/S /N"), 0);
  std::set<std::string> left = TemporaryFolders();
  for (const std::string& f : before) left.erase(f);
  ASSERT_EQ(left.size(), 1u);
  const std::string folder = *left.begin();
  EXPECT_EQ(folder.size(), TempPath("qv").size() + 12);  // 48 random bits in hex
  std::vector<char> buffer(4096), user(256);
  DWORD needed = 0;
  ASSERT_TRUE(GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, buffer.data(),
                               static_cast<DWORD>(buffer.size()), &needed));
  char* dacl = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer.data(), SDDL_REVISION_1,
                                                                   DACL_SECURITY_INFORMATION, &dacl, nullptr));
  const std::string text = dacl;
  LocalFree(dacl);
  HANDLE token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &needed));
  CloseHandle(token);
  char* sid = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid));
  // Allowed: the user, SYSTEM and the administrators (Wine keeps permissions
  // as a Linux mode, where the administrators' entry does not come back);
  // not Everyone, Users or Authenticated Users.
  EXPECT_NE(text.find(std::string(";;;") + sid + ")"), std::string::npos) << text;
  for (const char* other : {";;;WD)", ";;;BU)", ";;;AU)"}) EXPECT_EQ(text.find(other), std::string::npos) << text;
  LocalFree(sid);
  RemoveTree(folder);
}

// How a temporary-folder run ends around its command: a link the command
// plants is removed and never followed; a program the command starts and
// leaves running keeps the folder until it ends; /D= is a command-line
// error. No folder is left, and what a link pointed to stays.
TEST_F(Hardening, TheTemporaryFolderAroundItsCommand) {
  const std::string victim = work_ + "\\victim";
  CreateDirectoryA(victim.c_str(), nullptr);
  WriteFileAt(victim + "\\keep.txt", "keep");
  const std::string target = UnixName(victim);
  ASSERT_FALSE(target.empty());
  WriteSource("a.txt", "from the archive", kStamp);
  WriteSource("late.bat", "@ping -n 3 127.0.0.1 >nul\r\n@type a.txt> " + record() + "\r\n", kStamp);
  const struct {
    std::string command, switches;
    int exitCode;
    const char* recorded;
  } cases[] = {
      {"cmd.exe /c Z:\\bin\\ln -s " + target + " link& exit 3", "/S", 3, ""},
      {"cmd.exe /c start /b late.bat& exit 5", "/S", 5, "from the archive"},
      {"cmd.exe /c echo ran> " + record(), "/S /D=" + dest_, 7, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    DeleteFileA(record().c_str());
    ASSERT_TRUE(Pack({"--temp", "--run", c.command}));
    const std::set<std::string> before = TemporaryFolders();
    EXPECT_EQ(RunStub(c.switches), c.exitCode);
    Sleep(300);
    EXPECT_EQ(ReadWholeFile(record()), c.recorded);
    EXPECT_EQ(ReadWholeFile(victim + "\\keep.txt"), "keep");
    EXPECT_EQ(TemporaryFolders(), before);
    EXPECT_FALSE(Exists(dest_ + "\\a.txt"));
  }
}

// A genuine stub renamed with a character the ANSI code page lacks, beside
// another program whose name that character's look-alike gives: the stub
// reads its own file, or refuses (the 32-bit one), never the other's.
TEST_F(Hardening, ARenamedStubNeverReadsTheFileItsCodePageNameNames) {
  WriteSource("decoy.txt", "the other archive", kStamp);
  ASSERT_TRUE(Pack({}));
  ASSERT_TRUE(MoveFileA(exe_.c_str(), (work_ + "\\setup.exe").c_str()));
  RemoveTree(src_);
  CreateDirectoryA(src_.c_str(), nullptr);
  WriteSource("genuine.txt", "genuine", kStamp);
  ASSERT_TRUE(Pack({}));
  // U+00E9 becomes 'e' in code page 932, U+FF53 's' in 1252.
  const wchar_t lookAlike = GetACP() == 1252 ? 0xFF53 : 0x00E9;
  std::wstring renamed(work_.begin(), work_.end());
  renamed += GetACP() == 1252 ? std::wstring(L"\\") + lookAlike + L"etup.exe"
                              : std::wstring(L"\\s") + lookAlike + L"tup.exe";
  ASSERT_TRUE(MoveFileExW(Wide(exe_).c_str(), renamed.c_str(), MOVEFILE_REPLACE_EXISTING));
  const DWORD code = StartAs(renamed, L"\"" + renamed + L"\" /S /D=" + Wide(dest_));
  DeleteFileW(renamed.c_str());  // the tests' ANSI clean-up cannot name it
  EXPECT_FALSE(Exists(dest_ + "\\decoy.txt"));
  if (StubArchitecture() == "i686") {
    EXPECT_EQ(code, 2u);
  } else {
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadWholeFile(dest_ + "\\genuine.txt"), "genuine");
  }
}

// What the destination holds where a member goes, and how the run ends.
TEST_F(Hardening, WhatStandsInAMembersWay) {
  WriteSource("a.txt", "new", kStamp);
  WriteSource("b.txt", "b", kStamp);
  ASSERT_TRUE(Pack({}));
  struct Case {
    const char* name;
    const char* switches;
    bool folderAtA;  // a folder where a.txt goes; else an old a.txt
    const char* stray;  // a leftover step-aside file beside it
    int exitCode;
    const char* a;  // a.txt afterwards ("" for a folder)
  };
  const Case cases[] = {
      {"a stray step-aside file is left alone", "/S /O", false, "~qv00000.tmo", 0, "new"},
      {"a folder in a file's place, kept", "/S", true, nullptr, 2, ""},
      {"a folder in a file's place, overwritten", "/S /O", true, nullptr, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveTree(dest_);
    CreateDirectoryA(dest_.c_str(), nullptr);
    if (c.folderAtA)
      CreateDirectoryA((dest_ + "\\a.txt").c_str(), nullptr);
    else
      WriteFileAt(dest_ + "\\a.txt", "old");
    if (c.stray) WriteFileAt(dest_ + "\\" + c.stray, "someone's old file");
    EXPECT_EQ(RunStub(c.switches + (" /D=" + dest_)), c.exitCode);
    EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), c.a);
    if (c.stray) EXPECT_EQ(ReadWholeFile(dest_ + "\\" + c.stray), "someone's old file");
    if (!c.exitCode) EXPECT_EQ(ReadWholeFile(dest_ + "\\b.txt"), "b");
  }
}

// A folder longer than 255 bytes, however it comes, is refused before
// anything is created, not cut to a shorter one.
TEST_F(Hardening, AnOverLongFolderIsRefusedNotCut) {
  WriteSource("a.txt", "a", kStamp);
  // 299 bytes; named for this run, as a cut one that an older stub made
  // is too long for the tests' clean-up to delete.
  const std::string name = "x" + std::to_string(GetCurrentProcessId());
  const std::string deep = dest_ + "\\" + name + std::string(299 - dest_.size() - 1 - name.size(), 'x');
  SetEnvironmentVariableA("QUORVEL_E2E_LONG", deep.substr(0, 257).c_str());
  ASSERT_TRUE(Pack({"--folder", "%QUORVEL_E2E_LONG%"}));
  EXPECT_EQ(RunStub("/S"), 7);
  SetEnvironmentVariableA("QUORVEL_E2E_LONG", nullptr);
  EXPECT_EQ(RunStub("/S /D=" + deep), 7);
  // On the command line of the dialog, as the whole tail or as /D=: offered,
  // and refused with the box of string 15 (not the switch list).
  for (const std::string& tail : {deep, "/D=" + deep}) {
    SCOPED_TRACE(tail.substr(0, 3));
    ChildProcess stub;
    SeenWindow main = StartToMainDialog(stub, tail);
    ChildProcess::Press(main.window, IDOK);
    SeenWindow box;
    EXPECT_EQ(WaitForBoxText(stub, box), Text(IDS_NOT_FULL_PATH));
    ChildProcess::Press(box.window, IDOK);
    ChildProcess::Press(main.window, IDCANCEL);
    EXPECT_EQ(stub.WaitForExit(), 0);
  }
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dest_ + "\\" + name + "*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// On a Western Windows a program name that ends in a byte that code page 932
// takes for a lead byte still ends at its closing quote, and the switches
// after it count.
TEST_F(Hardening, TheProgramNameEndsAtItsQuoteInEveryCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252 (QUORVEL_WINE_LOCALE=C.UTF-8)";
  WriteSource("a.txt", "a", kStamp);
  ASSERT_TRUE(Pack({}));
  // é, a lead byte in code page 932, ends the name the command line gives.
  const DWORD code = StartAs(Wide(exe_), L"\"C:\\caf\x00E9\" /S /D=" + Wide(dest_));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadWholeFile(dest_ + "\\a.txt"), "a");
}

}  // namespace
