// The fixture of the end-to-end tests: a work folder with a source tree, the
// packer run on it, the stub started and its dialogs found.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>

#include "win_child_process.h"

// 2001-02-03 04:05:06 UTC as a FILETIME value.
constexpr std::uint64_t kStamp = 126257295060000000ull;

std::string Quoted(const std::string& s);
std::string Text(UINT id);  // a string of the stub's table, as the stub shows it
std::uint64_t FileSize(const std::string& path);
std::uint64_t LastWrite(const std::string& path);
std::string Random(std::size_t bytes);
void WriteFileAt(const std::string& path, const std::string& bytes);
std::uint32_t ArchiveOffset(const std::string& exe);
void WaitGone(HWND window);
// The folders named qv* under the temporary folder: a temporary run's.
std::set<std::string> TemporaryFolders();
// The stub under test, for the whole run: QUORVEL_STUB names it, "x86_64"
// (the default) or "i686"; every test runs the same against either.
std::string StubArchitecture();
// That stub as built, in its own tree.
std::string StubFile();
// Saves the screen as build/win64/screenshots/<name>.bmp (screenshots-i686
// for the 32-bit stub), or into folder; only the part that window covers,
// frame and title bar included, when given.
void SaveScreenshot(const char* name);
void SaveScreenshotTo(const std::string& folder, const char* name, HWND window = nullptr);
// Sets Wine's replacement of the dialogs' font by the installed IPA Gothic.
void UseJapaneseFont();

class EndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;
  // A file of the source tree with its last-write time.
  void WriteSource(const std::string& relative, const std::string& bytes, std::uint64_t time);
  // quorvel-pack create -o exe_ --stub StubFile() --title "E2E Title" args... src_/*
  bool Pack(std::initializer_list<std::string> args);
  // Starts exe_ and waits for its main dialog.
  SeenWindow StartToMainDialog(ChildProcess& stub, const std::string& arguments = "");
  // Types dest_ into the main dialog's folder edit and presses Extract.
  void ExtractInto(HWND main);
  // Waits for a message box of the stub (a window without the folder edit)
  // and returns the last of its texts; empty when none appears.
  static std::string WaitForBoxText(ChildProcess& stub, SeenWindow& box);

  std::string work_, src_, dest_, exe_;
};
