#include "app/win_startup.h"

#include "app/win_extraction_pass.h"
#include "app/win_main_dialog.h"
#include "app/win_temporary_folder.h"
#include "common/dbcs.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "common/stub_switches.h"
#include "paths/path_text.h"
#include "paths/win_auto_run.h"
#include "paths/win_folder_macros.h"
#include "ui/resource_ids.h"

namespace {
bool WindowsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
}  // namespace

bool IsSupportedPlatform() { return IsSupportedVersion(GetVersion()); }

void InitCommonControlsFromSystem() {
  // comctl32 is not one of the system's known DLLs: a copy planted beside a
  // downloaded executable would win a plain load. Narrow the search path
  // first, then load it by its full path in the system directory.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using SetDefaultDirsFn = BOOL(WINAPI*)(DWORD);
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
  auto setDefaultDirs = reinterpret_cast<SetDefaultDirsFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (!setDefaultDirs || !setDefaultDirs(kSearchSystem32)) {
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDllDirectory) setDllDirectory("");
  }
  char path[kPathBytes];
  const UINT n = GetSystemDirectoryA(path, kPathBytes - 14);
  if (n == 0 || n >= kPathBytes - 14) return;
  lstrcatA(path, "\\comctl32.dll");
  HMODULE comctl = LoadLibraryA(path);
  if (!comctl) return;
  using InitFn = void(WINAPI*)();
  auto init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(GetProcAddress(comctl, MAKEINTRESOURCEA(17))));
  if (init) init();
}

bool LoadSfxConfig(const char* commandLineText) {
  ZeroMemory(&Config, sizeof Config);
  HANDLE file = CreateFileA(ExecutablePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD got = 0;
  const bool read =
      SetFilePointer(file, exe_layout::kConfigOffset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
      ReadFile(file, &Config, sizeof Config, &got, nullptr) && got == sizeof Config;
  CloseHandle(file);
  if (!read) return false;
  TerminateConfigTexts(Config);

  if (Config.title[0] == '\0') CopyTextBounded(Config.title, LoadText(IDS_TITLE), sizeof Config.title);
  // A folder given on the command line wins over the configured one; one too
  // long for the field is cut on a character boundary, visibly, in the edit.
  if (*commandLineText)
    CopyTextBounded(Config.defaultFolder, commandLineText, sizeof Config.defaultFolder);

  char folder[kPathBytes];
  if (Config.defaultFolder[0] == '\0') {
    // A current directory that does not fit the field is not offered at all.
    const DWORD n = GetCurrentDirectoryA(sizeof Config.defaultFolder, folder);
    if (n == 0 || n >= sizeof Config.defaultFolder) folder[0] = '\0';
  } else {
    // The destination-folder macros stay as written: there is no destination yet.
    ExpandCommandText(Config.defaultFolder, GeneralText, sizeof GeneralText, nullptr);
    CopyTextBounded(folder, GeneralText, sizeof Config.defaultFolder);
  }
  QuoteIfBlank(folder, Config.defaultFolder, sizeof Config.defaultFolder);

  if (Config.message[0] == '\0' && (ConfigFlags(Config) & kFlagOverwriteWithoutAsking))
    CopyTextBounded(Config.message, LoadText(IDS_OVERWRITE_MESSAGE), sizeof Config.message);
  RunState.suppressFolders = 0;
  RunState.autoRun = Config.autoRunCommand[0] != '\0';
  return true;
}

namespace {
int OutcomeExitCode() {
  if (FailureExitCode) return FailureExitCode;
  if (RunState.aborted) return kExitCancelled;  // cancelled, or the notice declined
  return RunState.keptExisting ? kExitWarning : kExitDone;
}

// The list of switches, as a box of its own; an unknown switch shows it
// too, unless the run is unattended.
int ShowSwitches(unsigned switches, const char* caption) {
  const int code = (switches & kSwitchInvalid) ? kExitCommandLine : kExitDone;
  if (!code || !RunState.unattended)
    MessageBoxA(nullptr, LoadText(IDS_USAGE), caption, code ? MB_ICONERROR : MB_ICONINFORMATION);
  return code;
}
}  // namespace

int RunStartup(HINSTANCE instance, const char* commandLineText) {
  AppInstance = instance;
  LeadByteTest = WindowsLeadByte;
  // Switches, or a folder as the whole tail; a /D= folder stands in for it.
  const char* folder;
  const unsigned switches = ParseStubSwitches(commandLineText, &folder);
  if (switches) commandLineText = folder;
  RunState.unattended = (switches & (kSwitchSilent | kSwitchVerify)) != 0;
  InitCommonControlsFromSystem();
  char caption[128];
  caption[0] = '\0';
  LoadStringA(instance, IDS_TITLE, caption, sizeof caption);
  if (switches & (kSwitchHelp | kSwitchInvalid)) return ShowSwitches(switches, caption);
  UINT startupFailure = IDS_OLD_PLATFORM;
  if (IsSupportedPlatform()) {
    GetModuleFileNameA(instance, ExecutablePath, kPathBytes);
    startupFailure = LoadSfxConfig(commandLineText) ? 0 : IDS_DAMAGED;
  }
  if (startupFailure) {
    ShowFailure(LoadText(startupFailure), caption, kExitFatal);
    return RunState.unattended ? kExitFatal : 0;
  }
  // The flags' first byte holds every bit the stub knows (little-endian).
  if (switches & kSwitchOverwrite) Config.flags[0] |= kFlagOverwriteWithoutAsking;
  if (switches & kSwitchNoCommand) RunState.autoRun = 0;
  RunState.acceptNotice = (switches & kSwitchAcceptNotice) != 0;
  if (switches & kSwitchVerify) {
    RunExtractionPass(nullptr, ExtractMode::Verify);
    return OutcomeExitCode();
  }
  // Unattended and temporary-folder runs end with what happened; the dialog
  // with 0 or 1, as it always has.
  const bool temporary = (Config.flags[0] & kFlagTemporaryFolder) != 0;
  const bool outcomeCodes = RunState.unattended || temporary;
  // The archive's notice, if it has one, is asked before any dialog; a
  // failure there has been shown by the pass.
  if (!RunExtractionPass(nullptr, ExtractMode::Probe)) return outcomeCodes ? OutcomeExitCode() : 0;
  if (temporary) {
    if (!MakeTemporaryFolder()) {
      ReportFileError(LoadText(IDS_WRITE_ERROR), TemporaryFolder);
      return kExitFatal;
    }
    // With /N the command does not start, and the folder stays to be looked at.
    RunState.waitForCommand = !(switches & kSwitchNoCommand);
    QuoteIfBlank(TemporaryFolder, Config.defaultFolder, sizeof Config.defaultFolder);
  }
  if (RunState.unattended) {
    // The extract button's work, with nobody to ask.
    if (!ExtractIntoFolder(nullptr, Config.defaultFolder)) return kExitCommandLine;
  } else {
    // 1 once the extract button has run its passes, 0 when closed before, -1
    // when the dialog could not be created.
    const int code = static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0));
    if (!outcomeCodes) return code;
    // Closed before the extraction began: nothing was done, as after Cancel.
    if (!RunState.extracting) RunState.aborted = 1;
  }
  int code = OutcomeExitCode();
  // A temporary folder's run ends with the command's exit code, once it has
  // ended; then the folder goes, unless nothing could be waited for.
  if (AutoRunProcess) {
    DWORD exitCode = static_cast<DWORD>(kExitFatal);
    WaitForSingleObject(AutoRunProcess, INFINITE);
    GetExitCodeProcess(AutoRunProcess, &exitCode);
    CloseHandle(AutoRunProcess);
    code = static_cast<int>(exitCode);
  }
  if (RunState.waitForCommand) DeleteTemporaryFolder();
  return code;
}
