#include "app/win_startup.h"

#include "app/win_extraction_pass.h"
#include "app/win_main_dialog.h"
#include "app/win_own_file.h"
#include "app/win_temporary_folder.h"
#include "common/dbcs.h"
#include "common/stub_switches.h"
#include "paths/win_folder_macros.h"
#include "ui/resource_ids.h"

namespace {
#if !defined(_WIN64)
// The 64-bit stub reads the archive's byte names as code page 932 whatever
// the system's code page (the lead-byte test's start value); the 32-bit one
// in the system's, as the ANSI calls that create them do.
bool WindowsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }
#endif

// The language of the run: the block's choice (kLanguageJapanese,
// kLanguageEnglish), else the user's: Japanese where the user's interface
// language is Japanese (64-bit stub) or the ANSI code page is 932 (32-bit
// stub: Windows 95 cannot tell the interface language).
UiLanguage ChooseUiLanguage(std::uint32_t configLanguage) {
  if (configLanguage == kLanguageJapanese) return UiLanguage::Japanese;
  if (configLanguage == kLanguageEnglish) return UiLanguage::English;
#if defined(_WIN64)
  const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
#else
  const bool japanese = GetACP() == 932;
#endif
  return japanese ? UiLanguage::Japanese : UiLanguage::English;
}
}  // namespace

#if !defined(_WIN64)
void InstallSystemLeadByteTest() { LeadByteTest = WindowsLeadByte; }
#endif

bool IsSupportedPlatform() { return IsSupportedVersion(GetVersion()); }

void InitCommonControlsFromSystem() {
  // comctl32 is not one of the system's known DLLs: a copy planted beside a
  // downloaded executable would win a plain load. Narrow the search path
  // first, then load it by its full path in the system directory.
  HMODULE kernel = GetModuleHandleA(kKernel32Dll);
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
  SysChar path[kPathBytes];
  const UINT n = SYS_API(GetSystemDirectory)(path, kPathBytes - 14);
  if (n == 0 || n >= kPathBytes - 14) return;
  SYS_API(lstrcat)(path, SYS_TEXT("\\comctl32.dll"));
  HMODULE comctl = SYS_API(LoadLibrary)(path);
  if (!comctl) return;
  using InitFn = void(WINAPI*)();
  auto init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(GetProcAddress(comctl, MAKEINTRESOURCEA(17))));
  if (init) init();
}

bool ReadSfxConfig(HANDLE file, SfxConfig& config) {
  ZeroMemory(&config, sizeof config);
  DWORD got = 0;
  const bool read =
      SetFilePointer(file, exe_layout::kConfigOffset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
      ReadFile(file, &config, sizeof config, &got, nullptr) && got == sizeof config;
  if (read) TerminateConfigTexts(config);
  return read;
}

bool ReadSfxConfig(const SysChar* path, SfxConfig& config) {
  HANDLE file = SYS_API(CreateFile)(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool read = ReadSfxConfig(file, config);
  CloseHandle(file);
  return read;
}

void PrepareRunSettings(const SfxConfig& config, const SysChar* commandLineFolder, unsigned switches,
                        RunSettings& settings) {
  const std::uint32_t flags = ConfigFlags(config);
  const UINT codePage = ConfigTextCodePage(config);
  SysChar text[kLoadTextBytes];
  DecodeText(config.title, codePage, settings.title, UnitsOf(settings.title));
  if (!settings.title[0]) CopyTextBounded(settings.title, LoadText(IDS_TITLE, text, kLoadTextBytes), UnitsOf(settings.title));
  DecodeText(config.folderLabel, codePage, settings.folderLabel, UnitsOf(settings.folderLabel));
  DecodeText(config.autoRunCommand, codePage, settings.command, UnitsOf(settings.command));

  // A folder given on the command line wins over the configured one. One
  // longer than a destination folder may be is cut on a character boundary
  // to kPathBytes - 1 units, still too long: it is offered as it is and
  // refused when it is accepted, never cut to a shorter, other folder.
  SysChar offered[kPathBytes];
  DecodeText(config.defaultFolder, codePage, offered, kPathBytes);
  if (*commandLineFolder) CopyTextBounded(offered, commandLineFolder, kPathBytes);
  SysChar folder[kPathBytes];
  if (offered[0] == '\0') {
    // A current directory that does not fit the field is not offered at all.
    const DWORD n = SYS_API(GetCurrentDirectory)(kDestinationFolderBytes, folder);
    if (n == 0 || n >= kDestinationFolderBytes) folder[0] = '\0';
  } else {
    // The destination-folder macros stay as written: there is no destination yet.
    SysChar expanded[1024];
    ExpandCommandText(offered, expanded, UnitsOf(expanded), nullptr);
    CopyTextBounded(folder, expanded, kPathBytes);
  }
  QuoteIfBlank(folder, settings.offeredFolder, UnitsOf(settings.offeredFolder));

  DecodeText(config.message, codePage, settings.message, UnitsOf(settings.message));
  if (!settings.message[0] && (flags & kFlagOverwriteWithoutAsking))
    CopyTextBounded(settings.message, LoadText(IDS_OVERWRITE_MESSAGE, text, kLoadTextBytes), UnitsOf(settings.message));

  const bool noCommand = (switches & kSwitchNoCommand) != 0;
  settings.options.restoreAttributes = (flags & kFlagRestoreAttributes) != 0;
  settings.options.overwriteWithoutAsking = (flags & kFlagOverwriteWithoutAsking) || (switches & kSwitchOverwrite);
  settings.options.suppressFolders = false;
  settings.options.autoRun = settings.command[0] && !noCommand;
  settings.acceptNotice = (switches & kSwitchAcceptNotice) != 0;
  // With /N the command does not start, and a temporary folder stays to be
  // looked at.
  settings.waitForCommand = (flags & kFlagTemporaryFolder) && !noCommand;
}

namespace {
// What a run does, decided once, from the switches; a temporary folder
// (bit 2 of the block's flags) wraps the dialog or the silent run. Each mode
// is a function below, with its exit-code rule beside it.
enum class Mode { Help, Verify, Silent, Dialog };

Mode ModeOf(unsigned switches) {
  if (switches & (kSwitchHelp | kSwitchInvalid)) return Mode::Help;
  if (switches & kSwitchVerify) return Mode::Verify;
  if (switches & kSwitchSilent) return Mode::Silent;
  return Mode::Dialog;
}

// Help (/? or an unknown switch): the list of switches in a box of its own.
// Exit code 0 for /?; 7 for an unknown switch, which shows the box only when
// the run is not unattended.
int ShowSwitches(unsigned switches, bool unattended, const SysChar* caption) {
  const int code = (switches & kSwitchInvalid) ? kExitCommandLine : kExitDone;
  SysChar usage[kLoadTextBytes];
  if (!code || !unattended)
    SYS_API(MessageBox)(nullptr, LoadText(IDS_USAGE, usage, kLoadTextBytes), caption,
                        code ? MB_ICONERROR : MB_ICONINFORMATION);
  return code;
}

// Verify (/T): every member decoded and checked, nothing written, nothing
// asked. Exit code: the outcome's.
int RunVerify(Run& run) {
  RunExtractionPass(run, nullptr, ExtractMode::Verify);
  return run.OutcomeExitCode();
}

// The archive's notice, if it has one, asked before anything else (the
// Probe pass). False when it was declined or the pass failed; the pass has
// shown why.
bool AskNotice(Run& run) { return RunExtractionPass(run, nullptr, ExtractMode::Probe); }

// The extract button's work with nobody to ask, into the offered folder
// (the /D= one, or the configured one). False when that is no full path.
bool ExtractUnattended(Run& run) {
  if (!AcceptDestination(run, run.settings.offeredFolder)) return false;
  ExtractIntoDestination(run, nullptr);
  return true;
}

// Silent (/S). Exit code: 7 when the folder is no full path, else the
// outcome's.
int RunSilent(Run& run) {
  if (!AskNotice(run)) return run.OutcomeExitCode();
  return ExtractUnattended(run) ? run.OutcomeExitCode() : kExitCommandLine;
}

// The dialog. Exit code: 0 when the notice was declined or the first header
// failed, else the dialog's (1 once the extract button ran its passes, 0 when
// closed before, -1 when it could not be created).
int RunDialog(Run& run) {
  if (!AskNotice(run)) return 0;
  return RunMainDialog(run);
}

// A temporary folder around the dialog or the silent run: after the notice,
// a new folder under the user's temporary folder is offered (and the dialog
// extracts into it at once); a command waited for then ends the run with its
// own exit code, and the folder goes with everything in it. Exit code
// otherwise the outcome's, a dialog closed before it extracted counting as
// cancelled (255); 2 when no folder can be made, 7 when it is no full path.
int RunInTemporaryFolder(Run& run, Mode mode) {
  if (!AskNotice(run)) return run.OutcomeExitCode();
  // The only folder this run ever deletes, whatever becomes of the offered
  // folder's text in between.
  SysChar folder[kDestinationFolderBytes];
  if (!MakeTemporaryFolder(folder)) {
    run.ReportFileError(nullptr, IDS_WRITE_ERROR, folder);
    return kExitFatal;
  }
  QuoteIfBlank(folder, run.settings.offeredFolder, UnitsOf(run.settings.offeredFolder));
  run.ownFolder = true;
  if (mode == Mode::Silent) {
    if (!ExtractUnattended(run)) return kExitCommandLine;
  } else {
    RunMainDialog(run);
    // Closed before the extraction began: nothing was done, as after Cancel.
    if (!run.extracting) run.aborted = true;
  }
  int code = run.OutcomeExitCode();
  if (run.commandProcess) {
    code = static_cast<int>(WaitForCommandJob(run.commandJob, run.commandProcess, kExitFatal));
    CloseHandle(run.commandProcess);
  }
  // A command that runs with nothing to wait for keeps its folder; so does
  // a run without the command (/N), to be looked at, unless it failed.
  if ((run.settings.waitForCommand && !run.commandUnwatched) || run.failureExitCode) DeleteTemporaryFolder(folder);
  ReleaseLedger(run.ledger);
  return code;
}
}  // namespace

int RunStartup(HINSTANCE instance, const SysChar* commandLineText) {
  AppInstance = instance;
  // Switches, or a folder as the whole tail; a /D= folder stands in for it.
  const SysChar* folder;
  const unsigned switches = ParseStubSwitches(commandLineText, &folder);
  if (switches) commandLineText = folder;
  const Mode mode = ModeOf(switches);
  Run run;
  ZeroMemory(&run, sizeof run);
  run.settings.unattended = (switches & (kSwitchSilent | kSwitchVerify)) != 0;
  InitCommonControlsFromSystem();
  // The block first: its language choice holds for every text, the switch
  // list's too. One that cannot be read leaves the choice to the system.
  run.ownFile = OpenOwnFile(instance, run.executablePath, run.zone);
  const bool configRead = run.ownFile != INVALID_HANDLE_VALUE && ReadSfxConfig(run.ownFile, run.config);
  AppLanguage = ChooseUiLanguage(configRead ? ConfigLanguage(ConfigFlags(run.config)) : kLanguageAuto);
  // Start-up's own boxes take string 7 as caption: the block may be
  // unusable.
  SysChar caption[128];
  LoadText(IDS_TITLE, caption, UnitsOf(caption));
  if (mode == Mode::Help) return ShowSwitches(switches, run.settings.unattended, caption);
  UINT startupFailure = IDS_OLD_PLATFORM;
  if (IsSupportedPlatform()) startupFailure = configRead ? 0 : IDS_DAMAGED;
  if (startupFailure) {
    SysChar text[kLoadTextBytes];
    run.ShowFailure(nullptr, LoadText(startupFailure, text, kLoadTextBytes), caption, kExitFatal);
    return run.settings.unattended ? kExitFatal : 0;
  }
  PrepareRunSettings(run.config, commandLineText, switches, run.settings);
  if (mode == Mode::Verify) return RunVerify(run);
  if (ConfigFlags(run.config) & kFlagTemporaryFolder) {
    // The folder is the program's own choice: a /D= folder is a mistake in
    // the command line, said in the switch list's words.
    if (switches & kSwitchFolder) return ShowSwitches(kSwitchInvalid, run.settings.unattended, caption);
    return RunInTemporaryFolder(run, mode);
  }
  return mode == Mode::Silent ? RunSilent(run) : RunDialog(run);
}
