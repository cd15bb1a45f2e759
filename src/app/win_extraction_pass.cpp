#include "app/win_extraction_pass.h"

#include "app/win_engine_host.h"
#include "app/win_file_replace.h"
#include "app/win_write_behind.h"
#include "app/win_zone_mark.h"
#include "archive/engine.h"
#include "common/sfx_config.h"
#include "common/win_services.h"
#include "paths/path_text.h"
#include "paths/win_auto_run.h"
#include "paths/win_name_rules.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

static_assert(sizeof DestinationPath >= kMemberPathBytes,
              "every destination folder joined with every member name fits");
static_assert(kNoticeTextMaxBytes + 1 == sizeof GeneralText, "the notice's text fills the general text");

namespace {
// Longer than any path the pass builds, so a full path never fails for room.
constexpr unsigned kFullPathBytes = 1024;

// The engine that decodes the archive for every pass.
Engine engine;

// What the pass keeps from its set-up to its end.
NameRules passRules;
bool overwriteAll;
char folderPrefix[kMemberPathBytes];  // DestinationFolder as every member path begins
bool folderPrefixReady;
char fullFolderPrefix[kFullPathBytes];  // the same, as Windows resolves it
unsigned fullFolderPrefixLength;

// How a step leaves: on to the next member, or out of the loop.
enum class Next { Member, Leave };

Next Fail() {
  RunState.aborted = 1;
  return Next::Leave;
}

// The status line shows the member that a message is about.
void ReportMemberError(UINT messageId, const char* fileName) {
  FlushMemberStatus();
  ReportFileError(LoadText(messageId), fileName);
}

Next FailWithFile(UINT messageId, const char* fileName) {
  ReportMemberError(messageId, fileName);
  return Fail();
}

// A skipped member still moves the bar by its size; a cancellation seen
// there ends the pass.
bool AdvancePastSkipped() {
  ProgressTotals.done += static_cast<std::uint64_t>(engine.header.originalSize);
  return ReportPassProgress();
}

// Decodes the member's data to the engine's sink. A failure is shown (a
// cancellation shows nothing) and ends the pass.
bool DecodeCurrentMember() {
  ProgressTotals.memberStart = ProgressTotals.done;
  const EngineResult result = DecodeMemberData(engine);
  if (result == EngineResult::Ok) return true;
  ReportEngineResult(result);
  RunState.aborted = 1;
  return false;
}

// Where the current member's data begins and how long it is: the next header
// stands right after it, whatever the decoder has read.
std::int64_t memberDataStart;
std::int64_t memberDataBytes;

bool NoteMemberDataStart() {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(ArchiveHandle, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  memberDataStart = (static_cast<std::int64_t>(high) << 32) | low;
  memberDataBytes = engine.header.compressedRemaining;
  return true;
}

// Moves the archive to the end of the member's data, where the next header
// stands, past whatever of the data is unread.
Next SkipMemberData() {
  const std::int64_t next = memberDataStart + memberDataBytes;
  LONG high = static_cast<LONG>(next >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(ArchiveHandle, static_cast<LONG>(next & 0xFFFFFFFF), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
    return FailWithFile(IDS_DAMAGED, ExecutablePath);
  engine.header.compressedRemaining = 0;
  return Next::Member;
}

// How many bytes of DestinationPath name the member's folder: up to its last
// '/' after the root, else the destination folder as every member path
// begins (the volume's root).
unsigned memberFolderBytes;

unsigned MemberFolderBytes() {
  if (memberFolderBytes) return memberFolderBytes;
  unsigned n = 0;
  while (folderPrefix[n]) ++n;
  return n;
}

HANDLE CreateNewMemberFile() {
  return CreateFileA(DestinationPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The last guard before anything is created: the path, as Windows resolves
// it, lies strictly below the destination folder.
bool ResolvesInsideDestination(const char* path) {
  if (fullFolderPrefixLength == 0) return false;
  char full[kFullPathBytes];
  char* filePart;
  const DWORD n = GetFullPathNameA(path, sizeof full, full, &filePart);
  if (n == 0 || n >= sizeof full || n <= fullFolderPrefixLength) return false;
  return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, full,
                        static_cast<int>(fullFolderPrefixLength), fullFolderPrefix,
                        static_cast<int>(fullFolderPrefixLength)) == CSTR_EQUAL;
}

void PrepareDestination() {
  char root[kPathRootBytes];
  GetPathRoot(root, DestinationFolder);
  passRules = SelectNameRules(root);
  unsigned rootLength = 0;
  while (root[rootLength]) ++rootLength;
  folderPrefixReady =
      PrepareFolderPrefix(folderPrefix, sizeof folderPrefix, DestinationFolder, rootLength, passRules);
  fullFolderPrefixLength = 0;
  if (!folderPrefixReady) return;
  char* filePart;
  const DWORD n = GetFullPathNameA(folderPrefix, sizeof fullFolderPrefix - 1, fullFolderPrefix, &filePart);
  if (n == 0 || n >= sizeof fullFolderPrefix - 1) return;
  // Compared as a whole folder: "C:\dest\" must not admit "C:\destination".
  if (fullFolderPrefix[n - 1] != '\\' && !AddBackslash(fullFolderPrefix, sizeof fullFolderPrefix)) return;
  fullFolderPrefixLength = n;
  while (fullFolderPrefix[fullFolderPrefixLength]) ++fullFolderPrefixLength;
}

FILETIME ModifiedFileTime() {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(engine.header.modifiedTime);
  time.dwHighDateTime = static_cast<DWORD>(engine.header.modifiedTime >> 32);
  return time;
}

bool RestoreAttributes() { return (ConfigFlags(Config) & kFlagRestoreAttributes) != 0; }

// Keeps the notice's first piece as text, up to its first zero byte and at
// most kNoticeTextMaxBytes, and wants no more: decoding the rest of a notice
// (its header may claim gigabytes) would only keep the user waiting.
SinkReply CaptureNotice(void*, const void* piece, unsigned long length) {
  const char* text = static_cast<const char*>(piece);
  unsigned long n = 0;
  for (; n < length && n < kNoticeTextMaxBytes && text[n]; ++n) GeneralText[n] = text[n];
  GeneralText[n] = '\0';
  return SinkReply::Enough;
}

Next ProbeMember() {
  if (lstrcmpA(engine.joinedName, kNoticeMemberName) != 0) return Next::Leave;
  OutputHandle = INVALID_HANDLE_VALUE;
  // An empty notice shows an empty question, not a text left from before.
  GeneralText[0] = '\0';
  engine.host.writeOutput = CaptureNotice;
  if (!DecodeCurrentMember()) return Next::Leave;
  // Accepted beforehand (/Y), the notice is not asked; unattended without
  // that, it counts as declined.
  if (!RunState.acceptNotice &&
      (RunState.unattended ||
       MessageBoxA(PassWindow, GeneralText, Config.title, MB_ICONQUESTION | MB_YESNO) == IDNO))
    RunState.aborted = 1;
  return Next::Leave;
}

// Lets the user act when the drain is due; true when Cancel was pressed.
bool CancelSeen() {
  DrainQueueWhenDue();
  return RunState.cancelRequested == 1;
}

Next TestMember() {
  ShowMemberStatus(IDS_STATUS_TESTING, engine.joinedName);
  if (CancelSeen()) return Fail();
  ProgressTotals.total += static_cast<std::uint64_t>(engine.header.originalSize);
  return SkipMemberData();
}

Next ExtractDirectoryEntry() {
  // The stored name ends in its separator; an entry whose name does not
  // still names the directory itself.
  unsigned length = 0;
  while (DestinationPath[length]) ++length;
  if (length > 0 && DestinationPath[length - 1] == '/') DestinationPath[length - 1] = '\0';
  CreateDirectoryA(DestinationPath, nullptr);
  // Directories take a time only on the NT family.
  if (!(GetVersion() & 0x80000000u)) {
    HANDLE directory = CreateFileA(DestinationPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory != INVALID_HANDLE_VALUE) {
      const FILETIME time = ModifiedFileTime();
      SetFileTime(directory, nullptr, nullptr, &time);
      CloseHandle(directory);
    }
  }
  if (RestoreAttributes()) SetFileAttributesA(DestinationPath, engine.header.attributes);
  // The format gives directory entries no data; data that is there anyway is
  // passed over so the next header is read where it stands.
  return SkipMemberData();
}

// An existing file that the member replaces: its attributes when it was
// found, and the temporary file beside it that takes the member's bytes.
bool replacing;
DWORD oldAttributes;
char writtenPath[kDestinationPathBytes];

// The member's file (or the temporary one) goes when anything failed.
Next DropWrittenFile(UINT messageId) {
  if (messageId) ReportMemberError(messageId, DestinationPath);
  DeleteFileA(replacing ? writtenPath : DestinationPath);
  return Fail();
}

// The old file gives way to the complete new one. Read-only, hidden and
// system would make the replacement fail; an old file that stays gets its
// attributes back.
bool ReplaceOldFile() {
  SetFileAttributesA(DestinationPath, FILE_ATTRIBUTE_NORMAL);
  if (ReplaceFileWith(writtenPath, DestinationPath)) return true;
  SetFileAttributesA(DestinationPath, oldAttributes);
  return false;
}

bool WritesBehind() { return kWritesBehind && WritingBehind(); }

// Waits until the writing thread has done everything handed to it; false
// when some of it failed, which is reported when asked (not when a failure
// that ended the member was reported already).
bool WrittenBehind(bool report) {
  if (!WritesBehind() || WaitForWriteBehind()) return true;
  if (report) ReportMemberError(IDS_WRITE_ERROR, FailedWritePath(DestinationPath));
  return false;
}

// Leaves the file's bytes on disk only when all of them arrived intact; an
// old file of the same name is touched only then.
Next FinishWrittenFile(bool decoded) {
  bool whole = decoded && !RunState.aborted;
  const FILETIME time = ModifiedFileTime();
  // A new file that arrived intact: the rest of its way is the writing
  // thread's.
  if (WritesBehind() && whole && !replacing && engine.crc == engine.header.dataCrc &&
      FinishFileBehind(OutputHandle, time, DestinationPath,
                       RestoreAttributes() ? engine.header.attributes : kKeepAttributes)) {
    OutputHandle = INVALID_HANDLE_VALUE;
    return SkipMemberData();
  }
  // Anything else in order, once the thread has written every piece of this
  // file and done everything handed over before it.
  if (!WrittenBehind(whole)) whole = false;
  if (whole) SetFileTime(OutputHandle, nullptr, nullptr, &time);
  const BOOL closed = CloseHandle(OutputHandle);
  OutputHandle = INVALID_HANDLE_VALUE;
  if (!whole) return DropWrittenFile(0);
  if (!closed) return DropWrittenFile(IDS_WRITE_ERROR);
  if (engine.crc != engine.header.dataCrc) return DropWrittenFile(IDS_DAMAGED);
  if (replacing && !ReplaceOldFile()) return DropWrittenFile(IDS_WRITE_ERROR);
  // Before the attributes: a read-only file takes no new stream.
  MarkWithOwnZone(DestinationPath);
  if (RestoreAttributes()) SetFileAttributesA(DestinationPath, engine.header.attributes);
  // A decoder that finished before the member's compressed end leaves the
  // rest unread; the next header lies after it.
  return SkipMemberData();
}

Next ExtractFile() {
  // Creating the file is also the question whether one exists: one call
  // where the name is free, as it is for every file of a new folder.
  replacing = false;
  OutputHandle = CreateNewMemberFile();
  if (OutputHandle == INVALID_HANDLE_VALUE) {
    // The name may be a file of this archive still being written: it is
    // complete before anything is asked about it.
    if (!WrittenBehind(true)) return Fail();
    const DWORD existing = GetFileAttributesA(DestinationPath);
    if (existing == INVALID_FILE_ATTRIBUTES) return FailWithFile(IDS_WRITE_ERROR, DestinationPath);
    if (!overwriteAll) {
      FlushMemberStatus();
      // Nobody to ask: the existing file stays, and the run ends with a warning.
      const int answer = RunState.unattended ? IDNO : RunOverwriteDialog(PassWindow, DestinationPath);
      if (answer == IDNO) {
        RunState.keptExisting = 1;
        return AdvancePastSkipped() ? SkipMemberData() : Fail();
      }
      if (answer == IDC_OVERWRITE_ALL)
        overwriteAll = true;
      else if (answer != IDYES)
        return Fail();  // Cancel, or a question that could not be asked
    }
    // A folder is not replaced by a file.
    if (existing & FILE_ATTRIBUTE_DIRECTORY) return FailWithFile(IDS_WRITE_ERROR, DestinationPath);
    oldAttributes = existing;
    OutputHandle = CreateFileBeside(DestinationPath, MemberFolderBytes(), writtenPath, sizeof writtenPath);
    if (OutputHandle == INVALID_HANDLE_VALUE) return FailWithFile(IDS_WRITE_ERROR, DestinationPath);
    replacing = true;
  }
  return FinishWrittenFile(DecodeCurrentMember());
}

Next ExtractMember() {
  // Directory entries and empty files report no progress: a Cancel is
  // looked for between members too.
  if (CancelSeen()) return Fail();
  if (lstrcmpA(engine.joinedName, kNoticeMemberName) == 0)
    return AdvancePastSkipped() ? SkipMemberData() : Fail();
  // A directory entry whose stored folder was dropped (folders suppressed)
  // names no directory at all: there is nothing to make, and the destination
  // folder's own time and attributes are not the archive's to change.
  if (engine.header.method == lzh::kMethodDirectory && engine.joinedName[0] == '\0') return SkipMemberData();

  const MemberPathResult built =
      folderPrefixReady ? BuildMemberPath(DestinationPath, sizeof DestinationPath, folderPrefix,
                                          engine.joinedName, passRules)
                        : MemberPathResult::TooLong;
  if (built == MemberPathResult::TooLong)
    return FailWithFile(IDS_WRITE_ERROR, folderPrefixReady ? DestinationPath : DestinationFolder);
  // A name that would leave the destination folder, or name a device or a
  // stream, is damage: nothing of it and nothing after it is written.
  if (built == MemberPathResult::Outside || !ResolvesInsideDestination(DestinationPath))
    return FailWithFile(IDS_DAMAGED, DestinationPath);

  ShowMemberStatus(IDS_STATUS_EXTRACTING, engine.joinedName);
  memberFolderBytes = CreatePathDirectories(DestinationPath);
  return engine.header.method == lzh::kMethodDirectory ? ExtractDirectoryEntry() : ExtractFile();
}

// Decodes a member's data into nothing and checks its CRC (/T).
Next VerifyMember() {
  if (engine.header.method == lzh::kMethodDirectory) return SkipMemberData();
  if (!DecodeCurrentMember()) return Next::Leave;
  if (engine.crc != engine.header.dataCrc) return FailWithFile(IDS_DAMAGED, ExecutablePath);
  return SkipMemberData();
}

SinkReply DiscardOutput(void*, const void*, unsigned long) { return SinkReply::More; }

SinkReply WriteOutputBehind(void*, const void* buffer, unsigned long length) {
  return WritePieceBehind(OutputHandle, buffer, length) ? SinkReply::More : SinkReply::Failed;
}

Next ReadNextMember() {
  const EngineResult result = ReadMemberHeader(engine, RunState.suppressFolders != 0);
  if (result == EngineResult::EndOfArchive) return Next::Leave;
  if (result != EngineResult::Ok) {
    ReportEngineResult(result);
    return Fail();
  }
  if (!NoteMemberDataStart()) return FailWithFile(IDS_DAMAGED, ExecutablePath);
  return Next::Member;
}

void RunMemberLoop(ExtractMode mode) {
  for (;;) {
    if (ReadNextMember() == Next::Leave) return;
    Next next = Next::Leave;
    switch (mode) {
      case ExtractMode::Probe: next = ProbeMember(); break;
      case ExtractMode::Test: next = TestMember(); break;
      case ExtractMode::Extract: next = ExtractMember(); break;
      case ExtractMode::Verify: next = VerifyMember(); break;
    }
    if (next == Next::Leave) return;
    FreeMemberHeader(engine);
  }
}
}  // namespace

int RunExtractionPass(HWND window, ExtractMode mode) {
  PassWindow = window;
  RunState.aborted = 0;
  ProgressTotals.done = 0;
  overwriteAll = (ConfigFlags(Config) & kFlagOverwriteWithoutAsking) != 0;
  EngineHost host;
  SetWin32EngineHost(host);
  if (mode == ExtractMode::Verify) host.writeOutput = DiscardOutput;
  StartEngine(engine, host);
  OutputHandle = INVALID_HANDLE_VALUE;

  StartPacing();
  ForgetPathDirectories();

  ArchiveHandle = CreateFileA(ExecutablePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ArchiveHandle == INVALID_HANDLE_VALUE) {
    ReportFileError(LoadText(IDS_READ_ERROR), ExecutablePath);
    RunState.aborted = 1;
    return 0;
  }
  // The offset is trusted, not searched for; as a signed 32-bit distance an
  // offset beyond 2 GiB fails here.
  const LONG offset = static_cast<LONG>(ConfigArchiveOffset(Config));
  if (SetFilePointer(ArchiveHandle, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
    CloseHandle(ArchiveHandle);
    ArchiveHandle = INVALID_HANDLE_VALUE;
    ReportFileError(LoadText(IDS_DAMAGED), ExecutablePath);
    RunState.aborted = 1;
    return 0;
  }
  // Only the Extract pass writes; the others need no name rules.
  if (mode == ExtractMode::Extract) {
    PrepareDestination();
    ReadOwnZone();
    if (kWritesBehind && StartWriteBehind()) engine.host.writeOutput = WriteOutputBehind;
  }

  RunMemberLoop(mode);
  // Every file handed over is complete (or gone) before the pass ends.
  if (WritesBehind()) {
    if (!WrittenBehind(!RunState.aborted)) RunState.aborted = 1;
    StopWriteBehind();
  }
  // The last member's name stays in the status line.
  FlushMemberStatus();

  CloseHandle(ArchiveHandle);
  ArchiveHandle = INVALID_HANDLE_VALUE;
  FreeMemberHeader(engine);
  if (mode == ExtractMode::Extract) RunAutoCommand(mode);
  return RunState.aborted ? 0 : 1;
}
