// Start-up under Wine: the configuration block read from a file, its defaults
// from the real system, and the platform refusal seen as the user sees it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/win_startup.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"
#include "paths/win_folder_macros.h"
#include "ui/resource_ids.h"
#include "win_child_process.h"
#include "win_sys_text.h"

namespace {
// An executable-shaped file: header area, the block at 512, some image bytes.
std::string WithBlock(const SfxConfig& block) {
  std::string file(2048, '\0');
  file[0] = 'M', file[1] = 'Z';
  std::memcpy(&file[512], &block, sizeof block);
  return file;
}

class LoadConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    path_ = TempPath("quorvel-config-test.exe");
    std::memset(&block_, 0, sizeof block_);
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }
  // The block read back from a file and the settings a run prepares from it.
  bool Load(const char* commandLine = "", unsigned switches = 0) {
    EXPECT_TRUE(WriteWholeFile(path_, WithBlock(block_)));
    if (!ReadSfxConfig(ToSys(path_).c_str(), read_)) return false;
    std::memset(&settings_, 0x55, sizeof settings_);  // whatever was there before
    PrepareRunSettings(read_, ToSys(commandLine).c_str(), switches, settings_);
    return true;
  }
  std::string path_;
  SfxConfig block_, read_;
  RunSettings settings_;
};

TEST_F(LoadConfig, EmptyFieldsTakeTheirDefaults) {
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(sizeof cwd, cwd);
  ASSERT_TRUE(Load());
  EXPECT_EQ(AnsiFromSys(settings_.title), TableText(IDS_TITLE));
  EXPECT_EQ(FromSys(settings_.offeredFolder), cwd);  // not expanded, no blank here so not quoted
  EXPECT_EQ(FromSys(settings_.message), "");
  EXPECT_FALSE(settings_.options.autoRun);
  EXPECT_FALSE(settings_.options.suppressFolders);
  EXPECT_FALSE(settings_.options.restoreAttributes);
  EXPECT_FALSE(settings_.options.overwriteWithoutAsking);
  EXPECT_FALSE(settings_.acceptNotice);
  EXPECT_FALSE(settings_.waitForCommand);
  // The block itself keeps its empty fields.
  EXPECT_STREQ(read_.title, "");
  EXPECT_STREQ(read_.defaultFolder, "");
}

TEST_F(LoadConfig, ConfiguredValuesAndTheOverwriteMessage) {
  lstrcpyA(block_.title, "My Product");
  lstrcpyA(block_.defaultFolder, "%windir%\\Target Dir");
  lstrcpyA(block_.autoRunCommand, "setup.exe");
  SetConfigFlags(block_, kFlagOverwriteWithoutAsking | kFlagRestoreAttributes);
  ASSERT_TRUE(Load());
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  EXPECT_EQ(FromSys(settings_.title), "My Product");
  EXPECT_EQ(FromSys(settings_.offeredFolder), "\"" + std::string(windows) + "\\Target Dir\"");
  EXPECT_EQ(AnsiFromSys(settings_.message), TableText(IDS_OVERWRITE_MESSAGE));
  EXPECT_TRUE(settings_.options.autoRun);
  EXPECT_TRUE(settings_.options.restoreAttributes);
  EXPECT_TRUE(settings_.options.overwriteWithoutAsking);
  // The block as read is not rewritten by what the run made of it.
  EXPECT_STREQ(read_.defaultFolder, "%windir%\\Target Dir");
  EXPECT_STREQ(read_.message, "");
}

// What each switch changes in the run's settings, and what the block's
// temporary-folder bit adds; the block's message follows the block alone.
TEST_F(LoadConfig, SwitchesChangeTheirSettingsOnly) {
  lstrcpyA(block_.autoRunCommand, "setup.exe");
  struct Case {
    unsigned switches;
    std::uint32_t flags;
    bool overwrite, autoRun, acceptNotice, waitForCommand;
  } cases[] = {
      {0, 0, false, true, false, false},
      {kSwitchOverwrite, 0, true, true, false, false},
      {kSwitchNoCommand, 0, false, false, false, false},
      {kSwitchAcceptNotice, 0, false, true, true, false},
      {0, kFlagTemporaryFolder, false, true, false, true},
      {kSwitchNoCommand, kFlagTemporaryFolder, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.switches * 16 + c.flags);
    SetConfigFlags(block_, c.flags);
    ASSERT_TRUE(Load("", c.switches));
    EXPECT_EQ(settings_.options.overwriteWithoutAsking, c.overwrite);
    EXPECT_EQ(settings_.options.autoRun, c.autoRun);
    EXPECT_EQ(settings_.acceptNotice, c.acceptNotice);
    EXPECT_EQ(settings_.waitForCommand, c.waitForCommand);
    EXPECT_EQ(FromSys(settings_.message), "");  // /O is no reason for the block's message
  }
}

TEST_F(LoadConfig, MessageStaysEmptyWithoutTheOverwriteBitAndIsNeverReplaced) {
  SetConfigFlags(block_, kFlagRestoreAttributes);
  ASSERT_TRUE(Load());
  EXPECT_EQ(FromSys(settings_.message), "");
  lstrcpyA(block_.message, "Read me");
  SetConfigFlags(block_, kFlagOverwriteWithoutAsking);
  ASSERT_TRUE(Load());
  EXPECT_EQ(FromSys(settings_.message), "Read me");
}

TEST_F(LoadConfig, CommandLineReplacesTheFolderAndDestinationMacrosStay) {
  lstrcpyA(block_.defaultFolder, "C:\\configured");
  ASSERT_TRUE(Load("%ExtractDir%\\sub"));
  EXPECT_EQ(FromSys(settings_.offeredFolder), "%ExtractDir%\\sub");
  // A command line longer than a folder may be stays too long (cut to 259
  // units, never to a shorter folder of 255), and is refused when accepted.
  const std::string longFolder = "C:\\" + std::string(400, 'x');
  ASSERT_TRUE(Load(longFolder.c_str()));
  EXPECT_EQ(FromSys(settings_.offeredFolder), longFolder.substr(0, 259));
  ::Run run{};
  EXPECT_FALSE(AcceptDestination(run, settings_.offeredFolder));
  // The quotes around a folder with blanks are not counted: 255 units fit.
  const std::string blank = "C:\\a b" + std::string(249, 'x');
  EXPECT_TRUE(AcceptDestination(run, ToSys("\"" + blank + "\"").c_str()));
  EXPECT_EQ(FromSys(run.destinationFolder), blank);
  EXPECT_FALSE(AcceptDestination(run, ToSys("\"" + blank + "y\"").c_str()));
}

TEST_F(LoadConfig, CurrentDirectoryWithABlankIsQuoted) {
  char saved[MAX_PATH];
  GetCurrentDirectoryA(sizeof saved, saved);
  const std::string dir = TempPath("quorvel dir with blank");
  CreateDirectoryA(dir.c_str(), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  const bool loaded = Load();
  SetCurrentDirectoryA(saved);
  RemoveDirectoryA(dir.c_str());
  ASSERT_TRUE(loaded);
  EXPECT_EQ(FromSys(settings_.offeredFolder), "\"" + dir + "\"");
}

TEST_F(LoadConfig, FailsWhenTheBlockCannotBeReadWhole) {
  SfxConfig config;
  EXPECT_FALSE(ReadSfxConfig(ToSys(TempPath("no-such-file.exe")).c_str(), config));
  ASSERT_TRUE(WriteWholeFile(path_, std::string(512 + 716, '\0')));  // one byte short
  EXPECT_FALSE(ReadSfxConfig(ToSys(path_).c_str(), config));
}

std::string RegistryString(HKEY root, const char* subkey, const char* name) {
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return value;
}

TEST(SystemFolderMacros, ValuesComeFromTheSystemAndTheRegistry) {
  SysChar out[1024];
  char expected[MAX_PATH];
  GetSystemDirectoryA(expected, sizeof expected);
  ExpandCommandText(SYS_TEXT("%SystemDir%"), out, 1024, nullptr);
  EXPECT_EQ(FromSys(out), expected);
  GetTempPathA(sizeof expected, expected);
  SetEnvironmentVariableA("TEMP", nullptr);  // so the table, not the environment, answers
  ExpandCommandText(SYS_TEXT("%TEMP%"), out, 1024, nullptr);
  EXPECT_EQ(FromSys(out), expected);

  const char* version = "software\\Microsoft\\Windows\\CurrentVersion";
  const std::string programFiles = RegistryString(HKEY_LOCAL_MACHINE, version, "ProgramFilesDir");
  ASSERT_FALSE(programFiles.empty());
  ExpandCommandText(SYS_TEXT("%ProgramFilesDir%\\App"), out, 1024, nullptr);
  EXPECT_EQ(FromSys(out), programFiles + "\\App");

  // A value missing from the registry leaves the fallback.
  HKEY key;
  const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, shellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  char saved[MAX_PATH] = {};
  DWORD size = sizeof saved;
  const bool had = RegQueryValueExA(key, "Personal", nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(saved), &size) == ERROR_SUCCESS;
  RegDeleteValueA(key, "Personal");
  SysChar folder[MAX_PATH];
  GetShellFolder(folder, ShellFolder::MyDocuments);
  EXPECT_EQ(FromSys(folder), "C:\\My Documents");
  RegSetValueExA(key, "Personal", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  ExpandCommandText(SYS_TEXT("[%MyDocuments%]"), out, 1024, nullptr);
  EXPECT_EQ(FromSys(out), "[]");  // a present but empty value makes the macro disappear
  if (had) RegSetValueExA(key, "Personal", 0, REG_SZ, reinterpret_cast<BYTE*>(saved), size);
  RegCloseKey(key);
}

TEST(SystemFolderMacros, ShortFormOfTheDestination) {
  SysChar out[1024];
  const std::string dir = TempPath("quorvel long folder name");
  CreateDirectoryA(dir.c_str(), nullptr);
  char shortForm[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(dir.c_str(), shortForm, sizeof shortForm), 0u);
  ExpandCommandText(SYS_TEXT("%ExtractDirX%\\run.exe"), out, 1024, ToSys(dir).c_str());
  EXPECT_EQ(FromSys(out), std::string(shortForm) + "\\run.exe");
  // Without a short form (the folder does not exist) the folder itself is used.
  ExpandCommandText(SYS_TEXT("%ExtractDirX%"), out, 1024, SYS_TEXT("C:\\no such folder here"));
  EXPECT_EQ(FromSys(out), "C:\\no such folder here");
  RemoveDirectoryA(dir.c_str());
}

// Copies the stub under a name of its own, so that Wine's per-program
// settings can make it see an old Windows version.
class OldPlatform : public ::testing::TestWithParam<const char*> {};

TEST_P(OldPlatform, IsRefusedWithStringThirteenAndExitCodeZero) {
  const std::string name = std::string("quorvel-old-") + GetParam() + ".exe";
  const std::string copy = TempPath(name);
  ASSERT_TRUE(CopyFileA(BuildFile("quorvel-sfx.exe").c_str(), copy.c_str(), FALSE));
  const std::string key = "Software\\Wine\\AppDefaults\\" + name;
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(GetParam()),
                 lstrlenA(GetParam()) + 1);
  RegCloseKey(k);

  ChildProcess child;
  ASSERT_TRUE(child.Start("\"" + copy + "\""));
  SeenWindow box;
  ASSERT_TRUE(child.WaitForWindow(box)) << "no message box";
  EXPECT_EQ(box.className, "#32770");
  EXPECT_EQ(box.caption, TableText(IDS_TITLE));
  ASSERT_EQ(box.staticTexts.size(), 1u);
  EXPECT_EQ(box.staticTexts[0], TableText(IDS_OLD_PLATFORM));
  ChildProcess::Press(box.window, IDOK);
  EXPECT_EQ(child.WaitForExit(), 0);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  DeleteFileA(copy.c_str());
}

INSTANTIATE_TEST_SUITE_P(WineVersions, OldPlatform, ::testing::Values("win31", "win20"));
}  // namespace
