// What the stub shows and writes on the system it runs on: run once under a
// Japanese Wine (code page 932) and once under a Western one (code page
// 1252, English interface). Texts and names are read and written through
// the wide functions, so that the test sees what the person sees whatever
// the code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "ui/resource_ids.h"
#include "win_child_process.h"
#include "win_e2e_support.h"
#include "win_sys_text.h"

namespace {
using Tree = std::map<std::string, std::string>;  // UTF-8 relative path ('/') to bytes

bool JapaneseSystem() { return GetACP() == 932; }

// A string of the stub's table in UTF-8; the English one when english.
std::string TableTextUtf8(UINT id, bool english) {
  wchar_t text[512] = {};
  LoadStringW(GetModuleHandleW(nullptr), english ? id + IDS_ENGLISH : id, text, 512);
  return Utf8FromWide(text);
}

std::string WindowTextUtf8(HWND window) {
  wchar_t text[2048] = {};
  SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
  return Utf8FromWide(text);
}

void WriteTree(const std::string& root, const Tree& tree) {
  CreateDirectoryW(WideFromUtf8(root).c_str(), nullptr);
  for (const auto& [relative, bytes] : tree) {
    std::wstring path = WideFromUtf8(root + "\\" + relative);
    for (std::size_t i = root.size() + 1; i < path.size(); ++i)
      if (path[i] == L'/') {
        path[i] = L'\\';
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
      }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
}

// Every file below folder, by its exact name.
void ReadTree(const std::wstring& folder, const std::string& prefix, Tree& tree) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::string relative = prefix + Utf8FromWide(name.c_str());
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ReadTree(folder + L"\\" + name, relative + "/", tree);
      continue;
    }
    HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    std::string bytes(found.nFileSizeLow, '\0');
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], found.nFileSizeLow, &got, nullptr);
    CloseHandle(file);
    tree[relative] = bytes;
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

class Locale : public EndToEnd {
 protected:
  // Empty source and destination folders.
  void Clear() {
    for (const std::string& folder : {src_, dest_}) {
      RemoveTree(folder);
      CreateDirectoryA(folder.c_str(), nullptr);
    }
  }
  // Packs src_\tree with the Windows packer, started with a UTF-16 command
  // line (it walks the tree in UTF-16 too): no text passes through the
  // system's code page.
  bool PackTree(const Tree& tree, std::initializer_list<std::string> args) {
    WriteTree(src_ + "\\tree", tree);
    std::string line = Quoted(BuildFile("quorvel-pack.exe")) + " create --quiet -o " + Quoted(exe_) +
                       " --stub " + Quoted(StubFile());
    for (const std::string& a : args) line += " " + Quoted(a);
    std::wstring wide = WideFromUtf8(line + " " + Quoted(src_ + "\\tree"));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return false;
    DWORD code = 1;
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
  }
  Tree Extracted() {
    Tree tree;
    ReadTree(WideFromUtf8(dest_), "", tree);
    return tree;
  }
  static Tree Under(const char* folder, const Tree& tree) {
    Tree result;
    for (const auto& [relative, bytes] : tree) result[std::string(folder) + relative] = bytes;
    return result;
  }
};

// The switch list in the language of the system, or the one the block
// asks for; the caption is the same in both.
TEST_F(Locale, SwitchListSpeaksTheChosenLanguage) {
  const struct {
    const char* language;  // --language; nullptr: none (auto)
    bool english;
  } cases[] = {{nullptr, !JapaneseSystem()}, {"en", true}, {"ja", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language ? c.language : "auto");
    // The 32-bit stub shows through the ANSI code page: Japanese only on a
    // Japanese system.
    if (StubArchitecture() == "i686" && !c.english && !JapaneseSystem()) continue;
    Clear();
    if (c.language)
      ASSERT_TRUE(PackTree({{"a.txt", "a"}}, {"--language", c.language}));
    else
      ASSERT_TRUE(PackTree({{"a.txt", "a"}}, {}));
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_) + " /?"));
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT));
    EXPECT_EQ(WindowTextUtf8(box.window), TableTextUtf8(IDS_TITLE, c.english));
    const std::string usage = WindowTextUtf8(GetDlgItem(box.window, 0xFFFF));
    EXPECT_EQ(usage, TableTextUtf8(IDS_USAGE, c.english));
    EXPECT_EQ(usage.find("??"), std::string::npos);
    EXPECT_NE(usage.find(c.english ? "Extract without a window" : "ｳｨﾝﾄﾞｳを出さずに解凍"), std::string::npos);
    ChildProcess::Press(box.window, IDOK);
    EXPECT_EQ(stub.WaitForExit(), 0);
  }
}

// A notice and block texts are shown as they are on any system: in code
// page 932, or (outside it) in UTF-8, which only the 64-bit stub takes; the
// main dialog's own texts speak the system's language.
TEST_F(Locale, NoticeAndMainDialogTexts) {
  const bool english = !JapaneseSystem();
  if (StubArchitecture() == "i686" && english) GTEST_SKIP() << "the 32-bit stub shows code page 932 only there";
  const struct {
    const char *title, *notice, *message;
    bool utf8;  // texts outside code page 932: the packer refuses them for the 32-bit stub
  } cases[] = {{"E2E Title", "ご注意ください。同意しますか?", "表示テスト", false},
               {"Café Setup", "Ünïcödé ✓ 中文简体", "한국어 😀", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    if (StubArchitecture() == "i686" && c.utf8) continue;
    Clear();
    WriteTree(work_, {{"notice.txt", c.notice}});
    ASSERT_TRUE(PackTree({{"a.txt", "a"}},
                         {"--title", c.title, "--notice", work_ + "\\notice.txt", "--message", c.message}));
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_)));
    SeenWindow box;
    ASSERT_TRUE(stub.WaitForWindow(box, 20000, 0, 0, IDC_FOLDER_EDIT));
    EXPECT_EQ(WindowTextUtf8(GetDlgItem(box.window, 0xFFFF)), c.notice);
    EXPECT_EQ(WindowTextUtf8(box.window), c.title);
    ChildProcess::Press(box.window, IDYES);
    SeenWindow main;
    ASSERT_TRUE(stub.WaitForWindow(main, 20000, IDC_FOLDER_EDIT));
    EXPECT_EQ(WindowTextUtf8(GetDlgItem(main.window, IDOK)), english ? "&Extract" : "解凍(&E)");
    EXPECT_EQ(WindowTextUtf8(GetDlgItem(main.window, IDC_OPTIONS)), english ? "&Options..." : "ｵﾌﾟｼｮﾝ(&O)...");
    EXPECT_EQ(WindowTextUtf8(GetDlgItem(main.window, IDC_LABEL)),
              english ? "Extract to &folder:" : "解凍先ﾌｫﾙﾀﾞ/ﾃﾞｨﾚｸﾄﾘ(&F):");
    EXPECT_EQ(WindowTextUtf8(GetDlgItem(main.window, IDC_STATUS)), c.message);
    EXPECT_EQ(WindowTextUtf8(main.window), c.title);
    ChildProcess::Press(main.window, IDCANCEL);
    EXPECT_EQ(stub.WaitForExit(), 0);
  }
}

// Names written exactly, and every byte, on either system: code page 932
// names in their byte fields (a trail byte 0x5C in 表, a directory field),
// and names outside code page 932, which the packer stores in Unicode.
TEST_F(Locale, NamesAreWrittenExactly) {
  const struct {
    const char* what;
    Tree tree;
    bool needsUnicode;
  } cases[] = {
      {"code page 932", {{"ﾃｽﾄ/表.txt", "c"}, {"日本語.txt", "j"}, {"ソ/能/予.bin", Random(3000)}}, false},
      {"Unicode", {{"café.txt", "a"}, {"中文简体/한국어.txt", "b"}, {"😀.txt", Random(5000)}, {"ﾃｽﾄ/表.txt", "c"}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsUnicode && StubArchitecture() == "i686") continue;  // it writes stand-ins: the packer's test
    if (!c.needsUnicode && StubArchitecture() == "i686" && !JapaneseSystem()) continue;
    Clear();
    ASSERT_TRUE(PackTree(c.tree, {}));
    ChildProcess stub;
    ASSERT_TRUE(stub.Start(Quoted(exe_) + " /S /D=" + dest_));
    EXPECT_EQ(stub.WaitForExit(60000), 0);
    EXPECT_EQ(Extracted(), Under("tree/", c.tree));
  }
}
}  // namespace
