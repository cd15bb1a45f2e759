// The configuration block that the packer writes into the executable's header
// area at file offset 512, and the text rules of start-up that need no Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/exe_layout.h"

// 717 bytes, no padding, laid out exactly as in the file.
struct SfxConfig {
  std::uint8_t archiveOffset[4];  // LE: file offset of the first member header
  char title[51];                 // main and overwrite dialogs' title, error captions
  char folderLabel[41];           // label above the folder edit
  char defaultFolder[256];        // offered destination; macros and %VAR% allowed
  char message[101];              // message line before extraction
  char autoRunCommand[260];       // command started after a successful extraction
  std::uint8_t flags[4];          // LE, unaligned: the kFlag bits below
};

static_assert(sizeof(SfxConfig) == exe_layout::kConfigBytes, "the block is 717 bytes");
static_assert(offsetof(SfxConfig, title) == 4 && offsetof(SfxConfig, folderLabel) == 55 &&
                  offsetof(SfxConfig, defaultFolder) == 96 && offsetof(SfxConfig, message) == 352 &&
                  offsetof(SfxConfig, autoRunCommand) == 453 && offsetof(SfxConfig, flags) == 713,
              "field offsets are fixed by the file format");

// A first member of this name is the notice: its text is shown as a question
// before the dialog, and it is never written as a file.
constexpr char kNoticeMemberName[] = "!";
// The stub shows the notice's first bytes up to its first zero byte, at most
// this many (the text buffer it fills holds them and the closing zero).
constexpr unsigned kNoticeTextMaxBytes = 1023;

constexpr std::uint32_t kFlagRestoreAttributes = 1u << 0;
constexpr std::uint32_t kFlagOverwriteWithoutAsking = 1u << 1;
// Extract into a new folder under the user's temporary folder, run the
// command there, wait for it, delete the folder: an installer's launcher.
constexpr std::uint32_t kFlagTemporaryFolder = 1u << 2;
// The block's texts (title, label, folder, message, command) and the notice
// member's text are UTF-8, not code page 932. The packer sets it only when
// one of them has no code page 932 form; the i686 stub, which shows them
// through the ANSI functions, never gets it.
constexpr std::uint32_t kFlagUtf8Texts = 1u << 3;
// Bits 4 and 5: the language of the stub's own texts. Auto (0) follows the
// user's system; 3 is not written and reads as auto.
constexpr unsigned kLanguageShift = 4;
constexpr std::uint32_t kFlagLanguageMask = 3u << kLanguageShift;
constexpr std::uint32_t kLanguageAuto = 0, kLanguageJapanese = 1, kLanguageEnglish = 2;
constexpr std::uint32_t ConfigLanguage(std::uint32_t flags) {
  return (flags & kFlagLanguageMask) >> kLanguageShift;
}

std::uint32_t ConfigArchiveOffset(const SfxConfig& config);
std::uint32_t ConfigFlags(const SfxConfig& config);
void SetConfigFlags(SfxConfig& config, std::uint32_t flags);

// A text field must end inside its width. A field without a zero byte is cut
// at its width, on a character boundary, so no text is read past the record.
void TerminateConfigTexts(SfxConfig& config);

// The path in double quotes when it holds a blank and does not already start
// with a quote, else a copy. When the quoted form does not fit destSize (in
// units) the path is copied unquoted: the quotes only help the eye, and the
// folder edit takes an unquoted path with blanks as it stands. For bytes and
// UTF-16 alike (common/dbcs.h).
template <typename Unit>
Unit* QuoteIfBlank(const Unit* path, Unit* dest, unsigned destSize);

// The part of a process command line after the program's own name: a quoted
// name runs to its closing quote, an unquoted one to the first unit at or
// below 0x20; the units from 0x01 to 0x20 after it are skipped.
template <typename Unit>
const Unit* CommandLineTail(const Unit* commandLine);

// Windows 95 family from 4.0, NT family from 3.51, on a GetVersion value.
bool IsSupportedVersion(std::uint32_t version);
