#include "app/win_extraction_pass.h"

#include <new>

#include "app/win_engine_host.h"
#include "app/win_file_replace.h"
#include "app/win_run.h"
#include "archive/member_name.h"
#include "common/dbcs.h"
#include "paths/path_text.h"
#include "ui/resource_ids.h"
#include "ui/win_dialogs.h"

namespace {
// Each step below returns how it ended; the walk stops at the first step
// that does not say Next, and the pass names a failure once, at its end.

// A skipped member still moves the bar by its size; a cancellation seen
// there ends the pass.
bool AdvancePastSkipped(ExtractionPass& pass) {
  pass.done += static_cast<std::uint64_t>(pass.engine.header.originalSize);
  return ReportPassProgress(pass);
}

// Decodes the member's data to the engine's sink.
Step DecodeCurrentMember(ExtractionPass& pass) {
  pass.memberStart = pass.done;
  return StepOf(DecodeMemberData(pass.engine));
}

bool NoteMemberDataStart(ExtractionPass& pass) {
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(pass.archive, 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
  pass.memberDataStart = (static_cast<std::int64_t>(high) << 32) | low;
  pass.memberDataBytes = pass.engine.header.compressedRemaining;
  return true;
}

// Moves the archive to the end of the member's data, where the next header
// stands, past whatever of the data is unread.
Step SkipMemberData(ExtractionPass& pass) {
  const std::int64_t next = pass.memberDataStart + pass.memberDataBytes;
  LONG high = static_cast<LONG>(next >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(pass.archive, static_cast<LONG>(next & 0xFFFFFFFF), &high, FILE_BEGIN);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return Step::Damaged;
  pass.engine.header.compressedRemaining = 0;
  return Step::Next;
}

// A skipped member: the bar moves past it, then the archive does.
Step SkipMember(ExtractionPass& pass) {
  return AdvancePastSkipped(pass) ? SkipMemberData(pass) : Step::Cancelled;
}

// How many bytes of destinationPath name the member's folder: up to its last
// '/' after the root, else the destination folder as every member path
// begins (the volume's root).
unsigned MemberFolderBytes(const ExtractionPass& pass) {
  if (pass.memberFolderBytes) return pass.memberFolderBytes;
  unsigned n = 0;
  while (pass.folderPrefix[n]) ++n;
  return n;
}

// The last guard before anything is created: the path, as Windows resolves
// it, lies strictly below the destination folder.
bool ResolvesInsideDestination(const ExtractionPass& pass, const SysChar* path) {
  if (pass.fullFolderPrefixLength == 0) return false;
  SysChar full[kFullPathBytes];
  SysChar* filePart;
  const DWORD n = SYS_API(GetFullPathName)(path, kFullPathBytes, full, &filePart);
  if (n == 0 || n >= sizeof full || n <= pass.fullFolderPrefixLength) return false;
  const int length = static_cast<int>(pass.fullFolderPrefixLength);
  return SYS_API(CompareString)(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, full, length, pass.fullFolderPrefix, length) ==
         CSTR_EQUAL;
}

void PrepareDestination(ExtractionPass& pass) {
  const SysChar* folder = pass.run->destinationFolder;
  SysChar root[kPathRootBytes];
  GetPathRoot(root, folder);
  pass.rules = SelectNameRules(root);
  const unsigned rootLength = TextLength(root);
  pass.folderPrefixReady =
      PrepareFolderPrefix(pass.folderPrefix, kMemberPathBytes, folder, rootLength, pass.rules);
  if (!pass.folderPrefixReady) return;
  SysChar* filePart;
  SysChar* full = pass.fullFolderPrefix;
  const DWORD n = SYS_API(GetFullPathName)(pass.folderPrefix, kFullPathBytes - 1, full, &filePart);
  if (n == 0 || n >= kFullPathBytes - 1) return;
  // Compared as a whole folder: "C:\dest\" must not admit "C:\destination".
  if (full[n - 1] != '\\' && !AddBackslash(full, kFullPathBytes)) return;
  pass.fullFolderPrefixLength = TextLength(full);
  // In the run's own folder every entry it creates is recorded, and one
  // that it finds before it creates it was put there by someone else.
  if (pass.run->ownFolder) {
    pass.madeFolder.ledger = &pass.run->ledger;
    pass.madeFolder.ledgerBase = TextLength(pass.folderPrefix);
  }
}

// The member's path relative to the destination folder, as the ledger keeps it.
const SysChar* RelativeMemberPath(const ExtractionPass& pass) {
  return pass.destinationPath + pass.madeFolder.ledgerBase;
}

// In the run's own folder: records an entry the pass has just created (true),
// or tells whether one it found existing is its own; anything else there
// is foreign, and the pass does not touch it.
bool IsOwnEntry(ExtractionPass& pass, bool created) {
  if (!pass.madeFolder.ledger) return true;
  EntryLedger& ledger = *pass.madeFolder.ledger;
  return created ? RecordEntry(ledger, RelativeMemberPath(pass)) : HoldsEntry(ledger, RelativeMemberPath(pass));
}

// Only read-only, hidden, system and archive come from the archive; the
// other bits (offline, temporary, sparse, ...) are the file system's to set
// and would mislead whoever reads them.
DWORD MemberAttributes(const ExtractionPass& pass) {
  constexpr DWORD kArchiveAttributes =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const DWORD attributes = pass.engine.header.attributes & kArchiveAttributes;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

FILETIME ModifiedFileTime(const ExtractionPass& pass) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(pass.engine.header.modifiedTime);
  time.dwHighDateTime = static_cast<DWORD>(pass.engine.header.modifiedTime >> 32);
  return time;
}

// Keeps the notice's first piece as text, up to its first zero byte and at
// most kNoticeTextMaxBytes, and wants no more: decoding the rest of a notice
// (its header may claim gigabytes) would only keep the user waiting.
SinkReply CaptureNotice(void* context, const void* piece, unsigned long length) {
  char* notice = static_cast<ExtractionPass*>(context)->notice;
  const char* text = static_cast<const char*>(piece);
  unsigned long n = 0;
  for (; n < length && n < kNoticeTextMaxBytes && text[n]; ++n) notice[n] = text[n];
  notice[n] = '\0';
  return SinkReply::Enough;
}

Step ProbeMember(ExtractionPass& pass) {
  if (lstrcmpA(pass.engine.joinedName, kNoticeMemberName) != 0) return Step::Leave;
  // An empty notice shows an empty question: the text starts empty.
  pass.engine.host.writeOutput = CaptureNotice;
  const Step decoded = DecodeCurrentMember(pass);
  if (decoded != Step::Next) return decoded;
  // Accepted beforehand (/Y), the notice is not asked; unattended without
  // that, it counts as declined.
  const RunSettings& settings = pass.run->settings;
  if (settings.acceptNotice) return Step::Leave;
  if (settings.unattended) return Step::Cancelled;
  SysChar text[kNoticeTextMaxBytes + 1];
  DecodeText(pass.notice, ConfigTextCodePage(pass.run->config), text, UnitsOf(text));
  return SYS_API(MessageBox)(pass.window, text, settings.title, MB_ICONQUESTION | MB_YESNO) == IDNO ? Step::Cancelled
                                                                                                 : Step::Leave;
}

#if defined(_WIN64)
bool ConvertCodePage(void*, std::uint32_t codePage, const char* text, unsigned count, Utf16Unit* dest,
                     unsigned destUnits) {
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, static_cast<int>(count), dest,
                                    static_cast<int>(destUnits) - 1);
  if (n <= 0) return false;
  dest[n] = '\0';
  return true;
}

// A header that stores its name, or part of it, in UTF-16, or its byte
// names in a code page of their own.
bool HasOwnNameEncoding(const MemberHeaderRecord& header) {
  const UnicodeNameFields fields = FindUnicodeNameFields(header);
  return fields.fileBytes || fields.directoryBytes || fields.codePage != lzh::kCodePageShiftJis;
}
#endif

// The member's name as the person reads it: the 64-bit stub's in Unicode,
// from the header's UTF-16 fields where it has them, else its code page 932
// bytes converted; the 32-bit stub's the bytes themselves. False when a
// Unicode name is unusable (an odd field, bytes that are no text of their
// code page, too long): the header is damaged.
bool DecodeMemberName(ExtractionPass& pass) {
  const Engine& engine = pass.engine;
#if defined(_WIN64)
  if (HasOwnNameEncoding(engine.header))
    return BuildUtf16MemberName(engine.header, engine.joinedName, pass.run->settings.options.suppressFolders,
                                ConvertCodePage, nullptr, pass.memberName, UnitsOf(pass.memberName));
#endif
  DecodeText(engine.joinedName, lzh::kCodePageShiftJis, pass.memberName, UnitsOf(pass.memberName));
  return true;
}

// The member's path below the destination folder, from the name as the
// person reads it. The 64-bit stub applies the rules to the name in UTF-16,
// after the conversion of code page 932 bytes, which keeps each character's
// two bytes together (a trail byte 0x5C is no separator); the 32-bit stub
// to the bytes themselves.
MemberPathResult BuildDestinationPath(ExtractionPass& pass) {
  return BuildMemberPath(pass.destinationPath, kDestinationPathBytes, pass.folderPrefix, pass.memberName, pass.rules);
}

// Lets the person act when the drain is due; true when Cancel was pressed.
bool CancelSeen(ExtractionPass& pass) {
  DrainQueueWhenDue(pass);
  return pass.run->cancelRequested;
}

Step TestMember(ExtractionPass& pass) {
  ShowMemberStatus(pass, IDS_STATUS_TESTING, pass.memberName);
  if (CancelSeen(pass)) return Step::Cancelled;
  pass.run->progressTotal += static_cast<std::uint64_t>(pass.engine.header.originalSize);
  return SkipMemberData(pass);
}

bool RestoreAttributes(const ExtractionPass& pass) { return pass.run->settings.options.restoreAttributes; }

Step ExtractDirectoryEntry(ExtractionPass& pass) {
  SysChar* path = pass.destinationPath;
  // The stored name ends in its separator; an entry whose name does not
  // still names the directory itself.
  const unsigned length = TextLength(path);
  if (length > 0 && path[length - 1] == '/') path[length - 1] = '\0';
  if (!IsOwnEntry(pass, SYS_API(CreateDirectory)(path, nullptr) != FALSE)) return Step::WriteError;
  // Directories take a time only on the NT family.
  if (!(GetVersion() & 0x80000000u)) {
    HANDLE directory = SYS_API(CreateFile)(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory != INVALID_HANDLE_VALUE) {
      const FILETIME time = ModifiedFileTime(pass);
      SetFileTime(directory, nullptr, nullptr, &time);
      CloseHandle(directory);
    }
  }
  if (RestoreAttributes(pass)) SYS_API(SetFileAttributes)(path, MemberAttributes(pass));
  // The format gives directory entries no data; data that is there anyway is
  // passed over so the next header is read where it stands.
  return SkipMemberData(pass);
}

// The member's file (or the temporary one beside an old file) goes when
// anything failed; failure says how.
Step DropWrittenFile(ExtractionPass& pass, Step failure) {
  SYS_API(DeleteFile)(pass.replacing ? pass.writtenPath : pass.destinationPath);
  return failure;
}

// The old file gives way to the complete new one. Read-only, hidden and
// system would make the replacement fail; an old file that stays gets its
// attributes back.
bool ReplaceOldFile(ExtractionPass& pass) {
  SYS_API(SetFileAttributes)(pass.destinationPath, FILE_ATTRIBUTE_NORMAL);
  const Replacement replaced = ReplaceFileWith(pass.writtenPath, pass.destinationPath);
  // An old file left beside the new one is said in the exit code.
  if (replaced == Replacement::OldLeft) pass.run->leftOldFile = true;
  if (replaced != Replacement::Failed) return true;
  SYS_API(SetFileAttributes)(pass.destinationPath, pass.oldAttributes);
  return false;
}

// A file that replaced an old one is marked once it has the old one's name
// (Wine keeps a stream as a file of its own, which would not move with it),
// and its time set again, since the stream moved it.
void MarkReplacingFile(const ExtractionPass& pass, const FILETIME& time) {
  if (!pass.run->zone.size) return;
  MarkWithOwnZone(pass.run->zone, pass.destinationPath);
  HANDLE file = SYS_API(CreateFile)(pass.destinationPath, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

bool WritesBehind(const ExtractionPass& pass) { return kWritesBehind && pass.behind.Running(); }

// Waits until the writing thread has done everything handed to it; false
// when some of it failed.
bool WrittenBehind(ExtractionPass& pass) { return !WritesBehind(pass) || pass.behind.Wait(); }

// Leaves the file's bytes on disk only when all of them arrived intact; an
// old file of the same name is touched only then.
Step FinishWrittenFile(ExtractionPass& pass, Step decoded) {
  const FILETIME time = ModifiedFileTime(pass);
  const bool crcMatches = pass.engine.crc == pass.engine.header.dataCrc;
  // A new file that arrived intact: the rest of its way is the writing
  // thread's.
  if (WritesBehind(pass) && decoded == Step::Next && !pass.replacing && crcMatches &&
      pass.behind.Finish(pass.outputId, pass.output, time, pass.destinationPath,
                         RestoreAttributes(pass) ? MemberAttributes(pass) : kKeepAttributes)) {
    pass.output = INVALID_HANDLE_VALUE;
    return SkipMemberData(pass);
  }
  // Anything else in order, once the thread has written every piece of this
  // file and done everything handed over before it. A failure there is the
  // member's unless the decoding failed first.
  if (!WrittenBehind(pass) && decoded == Step::Next) decoded = Step::WriteError;
  if (decoded == Step::Next && crcMatches) {
    // The stream first: on NTFS a write to any stream of a file moves its
    // last-write time.
    if (!pass.replacing) MarkWithOwnZone(pass.run->zone, pass.destinationPath);
    SetFileTime(pass.output, nullptr, nullptr, &time);
  }
  const BOOL closed = CloseHandle(pass.output);
  pass.output = INVALID_HANDLE_VALUE;
  if (decoded != Step::Next) return DropWrittenFile(pass, decoded);
  if (!closed) return DropWrittenFile(pass, Step::WriteError);
  if (!crcMatches) return DropWrittenFile(pass, Step::DamagedMember);
  if (pass.replacing && !ReplaceOldFile(pass)) return DropWrittenFile(pass, Step::WriteError);
  if (pass.replacing) MarkReplacingFile(pass, time);
  if (RestoreAttributes(pass)) SYS_API(SetFileAttributes)(pass.destinationPath, MemberAttributes(pass));
  // A decoder that finished before the member's compressed end leaves the
  // rest unread; the next header lies after it.
  return SkipMemberData(pass);
}

// The question before an existing file is replaced, after the status line
// that waits; nobody to ask (unattended) keeps the file.
int AskOverwrite(ExtractionPass& pass) {
  FlushMemberStatus(pass);
  const RunSettings& settings = pass.run->settings;
  return settings.unattended ? IDNO : RunOverwriteDialog(pass.window, settings.title, pass.destinationPath);
}

Step ExtractFile(ExtractionPass& pass) {
  // Creating the file is also the question whether one exists: one call
  // where the name is free, as it is for every file of a new folder.
  pass.replacing = false;
  pass.output = SYS_API(CreateFile)(pass.destinationPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (pass.output != INVALID_HANDLE_VALUE && !IsOwnEntry(pass, true)) {
    CloseHandle(pass.output);
    pass.output = INVALID_HANDLE_VALUE;
    return DropWrittenFile(pass, Step::WriteError);
  }
  if (pass.output == INVALID_HANDLE_VALUE) {
    if (!IsOwnEntry(pass, false)) return Step::WriteError;
    // The name may be a file of this archive still being written: it is
    // complete before anything is asked about it.
    if (!WrittenBehind(pass)) return Step::WriteError;
    const DWORD existing = SYS_API(GetFileAttributes)(pass.destinationPath);
    if (existing == INVALID_FILE_ATTRIBUTES) return Step::WriteError;
    // A folder is not replaced by a file, whatever the answer would be.
    if (existing & FILE_ATTRIBUTE_DIRECTORY) return Step::WriteError;
    if (!pass.overwriteAll) {
      const int answer = AskOverwrite(pass);
      if (answer == IDNO) {
        // The existing file stays, and an unattended run ends with a warning.
        pass.run->keptExisting = true;
        return SkipMember(pass);
      }
      if (answer == IDC_OVERWRITE_ALL)
        pass.overwriteAll = true;
      else if (answer != IDYES)
        return Step::Cancelled;  // Cancel, or a question that could not be asked
    }
    pass.oldAttributes = existing;
    pass.output = CreateFileBeside(pass.destinationPath, MemberFolderBytes(pass), pass.writtenPath,
                                   kDestinationPathBytes);
    if (pass.output == INVALID_HANDLE_VALUE) return Step::WriteError;
    pass.replacing = true;
  }
  ++pass.outputId;
  return FinishWrittenFile(pass, DecodeCurrentMember(pass));
}

Step ExtractMember(ExtractionPass& pass) {
  Engine& engine = pass.engine;
  // Directory entries and empty files report no progress: a Cancel is
  // looked for between members too.
  if (CancelSeen(pass)) return Step::Cancelled;
  if (lstrcmpA(engine.joinedName, kNoticeMemberName) == 0) return SkipMember(pass);
  // A directory entry whose stored folder was dropped (folders suppressed)
  // names no directory at all: there is nothing to make, and the destination
  // folder's own time and attributes are not the archive's to change.
  if (engine.header.method == lzh::kMethodDirectory && engine.joinedName[0] == '\0') return SkipMemberData(pass);

  if (!pass.folderPrefixReady) {
    // The destination folder itself is too long for any member: it is named.
    CopyTextBounded(pass.destinationPath, pass.run->destinationFolder, kDestinationPathBytes);
    return Step::WriteError;
  }
  const MemberPathResult built = BuildDestinationPath(pass);
  if (built == MemberPathResult::TooLong) return Step::WriteError;
  // A name that would leave the destination folder, or name a device or a
  // stream, is damage: nothing of it and nothing after it is written.
  if (built == MemberPathResult::Outside || !ResolvesInsideDestination(pass, pass.destinationPath))
    return Step::DamagedMember;

  ShowMemberStatus(pass, IDS_STATUS_EXTRACTING, pass.memberName);
  pass.memberFolderBytes = CreatePathDirectories(pass.madeFolder, pass.destinationPath);
  if (pass.madeFolder.foreign) return Step::WriteError;
  return engine.header.method == lzh::kMethodDirectory ? ExtractDirectoryEntry(pass) : ExtractFile(pass);
}

// Decodes a member's data into nothing and checks its CRC (/T).
Step VerifyMember(ExtractionPass& pass) {
  if (pass.engine.header.method == lzh::kMethodDirectory) return SkipMemberData(pass);
  const Step decoded = DecodeCurrentMember(pass);
  if (decoded != Step::Next) return decoded;
  if (pass.engine.crc != pass.engine.header.dataCrc) return Step::Damaged;
  return SkipMemberData(pass);
}

SinkReply DiscardOutput(void*, const void*, unsigned long) { return SinkReply::More; }

SinkReply WriteOutputBehind(void* context, const void* buffer, unsigned long length) {
  ExtractionPass& pass = *static_cast<ExtractionPass*>(context);
  return pass.behind.Write(pass.outputId, pass.output, buffer, length) ? SinkReply::More : SinkReply::Failed;
}

Step ReadNextMember(ExtractionPass& pass) {
  const Step read = StepOf(ReadMemberHeader(pass.engine, pass.run->settings.options.suppressFolders));
  if (read != Step::Next) return read;
  if (!DecodeMemberName(pass)) return Step::Damaged;
  return NoteMemberDataStart(pass) ? Step::Next : Step::Damaged;
}

Step WalkMembers(ExtractionPass& pass) {
  for (;;) {
    Step step = ReadNextMember(pass);
    if (step != Step::Next) return step;
    switch (pass.mode) {
      case ExtractMode::Probe: step = ProbeMember(pass); break;
      case ExtractMode::Test: step = TestMember(pass); break;
      case ExtractMode::Extract: step = ExtractMember(pass); break;
      case ExtractMode::Verify: step = VerifyMember(pass); break;
    }
    if (step != Step::Next) return step;
    FreeMemberHeader(pass.engine);
  }
}

// Moves to the archive at the configured offset of the program's own file
// (opened once, at start-up) and walks it.
Step OpenAndWalk(ExtractionPass& pass) {
  const Run& run = *pass.run;
  pass.archive = run.ownFile;
  if (pass.archive == INVALID_HANDLE_VALUE) return Step::ReadError;
  // The offset is trusted, not searched for; as a signed 32-bit distance an
  // offset beyond 2 GiB fails here.
  const LONG offset = static_cast<LONG>(ConfigArchiveOffset(run.config));
  Step step = Step::Damaged;
  if (SetFilePointer(pass.archive, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    // Only the Extract pass writes; the others need no name rules.
    if (pass.mode == ExtractMode::Extract) {
      PrepareDestination(pass);
      if (kWritesBehind && pass.behind.Start(&run.zone, pass.window))
        pass.engine.host.writeOutput = WriteOutputBehind;
    }
    step = WalkMembers(pass);
    // Every file handed over is complete (or gone) before the pass ends; a
    // failure there is the pass's unless an earlier one ended it.
    if (WritesBehind(pass) && !pass.behind.Stop() && step == Step::Leave) step = Step::WriteError;
    FreeMemberHeader(pass.engine);
  }
  return step;
}
}  // namespace

bool RunExtractionPass(Run& run, HWND window, ExtractMode mode) {
  // The pass's object lives as long as the pass; the system hands it out
  // zero-filled. Nothing of it stays for the next pass.
  void* memory = VirtualAlloc(nullptr, sizeof(ExtractionPass), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!memory) {
    ReportStep(run, window, Step::OutOfMemory, nullptr);
    run.aborted = true;
    return false;
  }
  ExtractionPass& pass = *new (memory) ExtractionPass;
  pass.run = &run;
  pass.window = window;
  pass.mode = mode;
  pass.output = INVALID_HANDLE_VALUE;
  pass.overwriteAll = run.settings.options.overwriteWithoutAsking;
  EngineHost host;
  MakeWin32EngineHost(pass, host);
  if (mode == ExtractMode::Verify) host.writeOutput = DiscardOutput;
  StartEngine(pass.engine, host);
  StartPacing(pass);
  const Step step = OpenAndWalk(pass);
  // The status line shows the member a message is about, and the last
  // member's name stays in it.
  FlushMemberStatus(pass);
  // A write error may be that of a file finished behind the decoder.
  const SysChar* memberFile = pass.destinationPath;
  if (step == Step::WriteError) memberFile = pass.behind.FailedPath(memberFile);
  ReportStep(run, window, step, memberFile);
  VirtualFree(memory, 0, MEM_RELEASE);
  run.aborted = step != Step::Leave;
  return !run.aborted;
}
