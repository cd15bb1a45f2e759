// The stub's command-line switches, for installers and scripts that run it
// without a person, and the exit codes such runs end with (7-Zip's, which
// deployment tools already read).
#pragma once

// A tail that begins with '/' or '-' and an ASCII letter or '?' is read as
// switches. Anything else is the destination folder, as it always was: such
// a text was never a full path.
enum StubSwitch : unsigned {
  kSwitchSilent = 1u << 0,        // /S: no window and no box
  kSwitchAcceptNotice = 1u << 1,  // /Y: the notice counts as accepted
  kSwitchOverwrite = 1u << 2,     // /O: existing files are overwritten without a question
  kSwitchNoCommand = 1u << 3,     // /N: the configured command is not started
  kSwitchVerify = 1u << 4,        // /T: every member decoded and checked, nothing written
  kSwitchHelp = 1u << 5,          // /?: the list of switches
  kSwitchFolder = 1u << 6,        // /D=FOLDER
  kSwitchInvalid = 1u << 7,       // an unknown switch, or a /D= without a folder
};

// Exit codes of a run with /S or /T, and of a temporary-folder run.
constexpr int kExitDone = 0;
constexpr int kExitWarning = 1;       // some existing files were kept
constexpr int kExitFatal = 2;         // damaged archive, unsupported method, read or write error, refused path
constexpr int kExitCommandLine = 7;   // unknown switch, unusable destination
constexpr int kExitNoMemory = 8;
constexpr int kExitCancelled = 255;   // cancelled, or the notice not accepted

// The switches of a command-line tail (blanks before it already skipped), or
// 0 when the tail is a folder. Switches are case-insensitive and separated by
// blanks or tabs. /D= takes the rest of the line, taken then as a folder
// argument is (quotes around it dropped when the folder is used); folder
// points at it, or at an empty text without /D=. An empty folder is
// invalid; a long one is the destination's to refuse, as any folder is. For
// bytes and UTF-16 alike (common/dbcs.h).
template <typename Unit>
unsigned ParseStubSwitches(const Unit* tail, const Unit** folder);
