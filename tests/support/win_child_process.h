// Runs a program of ours as a child process and watches the top-level windows
// it opens, as a user would see them: caption, static texts, buttons.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SeenWindow {
  HWND window = nullptr;
  std::string className, caption;
  std::vector<std::string> staticTexts;
};

class ChildProcess {
 public:
  // Starts commandLine (program path first); false when it cannot be started.
  bool Start(const std::string& commandLine, const std::string& directory = "");
  // Waits up to timeoutMs for a visible top-level window of the child, polling;
  // only for one that has the controls `has` and `alsoHas` and lacks `lacks`
  // (0: no condition).
  bool WaitForWindow(SeenWindow& seen, DWORD timeoutMs = 20000, int has = 0, int alsoHas = 0,
                     int lacks = 0);
  // The text of a control of another process's window.
  static std::string ControlText(HWND window, int controlId);
  static void SetControlText(HWND window, int controlId, const std::string& text);
  bool Running() const;
  // Presses the button with this id in a window of the child.
  static void Press(HWND window, int buttonId);
  // Waits for the child to end; returns its exit code, or -1 on time-out (it is killed).
  int WaitForExit(DWORD timeoutMs = 20000);
  ~ChildProcess();

 private:
  PROCESS_INFORMATION info_{};
};

// The path of a file of the build tree as Wine sees it (drive Z: is the Linux root).
std::string BuildFile(const char* name);
// name in the Windows folder for temporary files.
std::string TempPath(const std::string& name);

// Writes bytes to a file, replacing it; false on failure.
bool WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);
bool Exists(const std::string& path);
// Deletes a folder and everything in it, read-only files included.
void RemoveTree(const std::string& folder);

// A text of this program's string table (the stub's, linked into the tests).
std::string TableText(UINT id);
